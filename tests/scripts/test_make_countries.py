#!/usr/bin/env python3
"""scripts/make_countries: the names it writes are iso-codes' own, every listed country has one
in every shipped language, the staged files are its output, and bad inputs are refused.
Usage: test_make_countries.py SOURCE_DIR STAGED_CONFIG_DIR"""
import gettext
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SOURCE, STAGED = sys.argv[1], sys.argv[2]
SCRIPT = os.path.join(SOURCE, "scripts", "make_countries")
CONFIG = os.path.join(SOURCE, "dist", "config")
ISO = "/usr/share/iso-codes/json"
SHIPPED = ["en", "fr", "de", "es", "it", "nl"]


def run(config, out):
    return subprocess.run([sys.executable, SCRIPT, config, out], capture_output=True, text=True)


def names(trad_path):
    """{PAYxx: {lang: text}} of a VEK_Trad.xml."""
    root = ET.parse(trad_path).getroot()
    return {e.get("id"): {l.get("codeKSO"): l.text or "" for l in e.findall("Lang")}
            for e in root.findall("TraductionElement") if e.get("id", "").startswith("PAY")}


def iso_name(code, lang):
    """The name of code in lang read straight from iso-codes."""
    with open(os.path.join(ISO, "iso_3166-1.json"), encoding="utf-8") as f:
        entry = next(e for e in json.load(f)["3166-1"] if e["alpha_2"] == code)
    msgid = entry.get("common_name", entry["name"])
    if lang == "en":
        return msgid
    with open("/usr/share/locale/%s/LC_MESSAGES/iso_3166-1.mo" % lang, "rb") as f:
        return gettext.GNUTranslations(f).gettext(msgid)


def listed():
    with open(os.path.join(CONFIG, "countries.list"), encoding="utf-8") as f:
        return [l.split()[0] for l in f if l.split() and not l.startswith("#")]


class Generated(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.out = tempfile.mkdtemp()
        r = run(CONFIG, cls.out)
        assert r.returncode == 0, r.stderr
        cls.names = names(os.path.join(cls.out, "trad", "VEK_Trad.xml"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.out)

    def test_names_are_iso_codes_names(self):
        for code, lang, expected in [
            ("DE", "fr", "Allemagne"), ("GB", "de", "Vereinigtes Königreich"),
            ("BE", "nl", "België"), ("US", "es", "Estados Unidos"), ("CZ", "en", "Czechia"),
            ("CH", "it", "Svizzera"), ("NL", "fr", "Pays-Bas"), ("MA", "de", "Marokko"),
        ]:
            with self.subTest(code=code, lang=lang):
                self.assertEqual(iso_name(code, lang), expected)
                self.assertEqual(self.names["PAY" + code][lang], expected)

    def test_every_listed_country_is_named_in_every_language(self):
        codes = listed()
        self.assertEqual(len(codes), 24)
        self.assertEqual(sorted(self.names), sorted("PAY" + c for c in codes))
        for code in codes:
            for lang in SHIPPED:
                with self.subTest(code=code, lang=lang):
                    self.assertEqual(self.names["PAY" + code].get(lang), iso_name(code, lang))

    def test_table_puts_placed_countries_first(self):
        with open(os.path.join(self.out, "KSOCountries.csv"), encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertEqual(lines[0], "Code Langue KSO;ID_COUNTRY")
        by_lang = {}
        for line in lines[1:]:
            lang, country = line.split(";")
            by_lang.setdefault(lang, []).append(country[3:])
        self.assertEqual(list(by_lang), ["fr", "en", "de", "nl", "es", "it"])
        for lang, first in [("fr", "FR BE CH LU MC CA GB"), ("en", "GB IE US CA FR"),
                            ("de", "DE AT CH LU FR"), ("nl", "NL BE FR"), ("es", "ES FR"),
                            ("it", "IT CH FR")]:
            with self.subTest(lang=lang):
                self.assertEqual(by_lang[lang][:len(first.split())], first.split())
                self.assertEqual(sorted(by_lang[lang]), sorted(listed()))

    def test_language_labels(self):
        with open(os.path.join(self.out, "language.ini"), encoding="utf-8") as f:
            labels = dict(l.split("=", 1) for l in f.read().splitlines() if l.startswith("Label."))
        self.assertEqual(labels, {
            "Label.0": "Français", "Label.1": "English", "Label.2": "Deutsch",
            "Label.3": "Nederlands", "Label.4": "Español", "Label.5": "Italiano",
            "Label.6": "Français (Belgique)", "Label.7": "English (United Kingdom)"})

    def test_staged_files_are_the_output(self):
        for name in ["KSOCountries.csv", "language.ini", os.path.join("trad", "VEK_Trad.xml")]:
            with self.subTest(name=name):
                with open(os.path.join(self.out, name), "rb") as a, \
                        open(os.path.join(STAGED, name), "rb") as b:
                    made, staged = a.read(), b.read()
                if name.endswith(".xml"):
                    # The build merges the keyboard names in before the end of the table.
                    end = made.rindex(b"</Traductions>")
                    self.assertTrue(staged.startswith(made[:end]))
                    self.assertTrue(staged.endswith(made[end:]))
                else:
                    self.assertEqual(made, staged)


class Refused(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        shutil.copytree(CONFIG, os.path.join(self.dir, "config"))

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, data):
        with open(os.path.join(self.dir, "config", name), "wb") as f:
            f.write(data)

    def test_bad_inputs(self):
        trad = os.path.join("trad", "VEK_Trad.xml")
        with open(os.path.join(CONFIG, trad), "rb") as f:
            source_trad = f.read()
        for case, name, data, says in [
            ("unknown code", "countries.list", b"XX fr\n", "XX"),
            ("lower-case code", "countries.list", b"fr fr\n", "'fr'"),
            ("twice", "countries.list", b"FR fr\nFR en\n", "listed twice"),
            ("unknown language", "countries.list", b"FR pt\n", "'pt'"),
            ("no language", "countries.list", b"FR\n", "no language"),
            ("place 0", "countries.list", b"FR fr:0\n", "out of"),
            ("place taken", "countries.list", b"FR fr:1\nBE fr:1\n", "taken twice"),
            ("empty", "countries.list", b"# nothing\n", "no country"),
            ("not UTF-8", "countries.list", b"FR fr \xff\n", "not UTF-8"),
            ("too long", "countries.list", b"#" * 70000, "longer than"),
            ("too many lines", "countries.list", b"\n" * 1001, "more than"),
            ("hand-written name", trad, source_trad.replace(
                b"<!-- country names -->", b'<!-- country names --><TraductionElement id="PAYFR"/>'),
             "not by hand"),
            ("no marker", trad, source_trad.replace(b"<!-- country names -->", b""), "marker"),
            ("language iso-codes lacks", "language.ini",
             b"[LANGUAGE]\nCode.0=xx\nCountry.0=FR\n", "no name in iso-codes"),
            ("fallback to nothing", "language.ini",
             b"[LANGUAGE]\nCode.0=fr\nCountry.0=FR\nFallback.1=7\nCountry.1=BE\n", "entry 1"),
            ("fallback to an unknown country", "language.ini",
             b"[LANGUAGE]\nCode.0=fr\nCountry.0=FR\nFallback.1=0\nCountry.1=QQ\n", "QQ has no name"),
            ("language.ini not UTF-8", "language.ini", b"[LANGUAGE]\nCode.0=fr\xff\n", "not UTF-8"),
        ]:
            with self.subTest(case=case):
                self.tearDown()
                self.setUp()
                self.write(name, data)
                out = os.path.join(self.dir, "out")
                r = run(os.path.join(self.dir, "config"), out)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn(says, r.stderr)
                self.assertNotIn("Traceback", r.stderr)
                self.assertFalse(os.path.exists(out))

    def test_a_written_label_is_kept(self):
        self.write("countries.list", b"FR fr\n")
        self.write("language.ini", b"[LANGUAGE]\nCode.0=fr\nLabel.0=Own\nCountry.0=FR\n")
        out = os.path.join(self.dir, "out")
        r = run(os.path.join(self.dir, "config"), out)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(os.path.join(out, "language.ini"), encoding="utf-8") as f:
            self.assertEqual(f.read().count("Label.0="), 1)
        with open(os.path.join(out, "KSOCountries.csv"), encoding="utf-8") as f:
            self.assertEqual(f.read(), "Code Langue KSO;ID_COUNTRY\nfr;PAYFR\n")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

#!/usr/bin/env python3
"""The keyboard layouts as the build generated them from the XKB data, and the merge of
generated translations. Usage: test_keyboard_layouts.py SOURCE_DIR BUILD_DIR STAGE_DIR"""
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SOURCE, BUILD, STAGE = sys.argv[1:4]
SCRIPTS = os.path.join(SOURCE, "scripts")


def layouts():
    with open(os.path.join(SCRIPTS, "keyboard_layouts.txt"), encoding="utf-8") as f:
        return [tuple((line.split("#")[0].split() + [""])[:2]) for line in f
                if line.split("#")[0].strip()]


def picture(n):
    with open(os.path.join(STAGE, "pictures", "keyb%d.bmp" % n), "rb") as f:
        return f.read()


class Generated(unittest.TestCase):
    def test_de_swaps_z_and_y_of_us(self):
        with open(os.path.join(BUILD, "keyboards", "keycaps.json"), encoding="utf-8") as f:
            caps = {(c["layout"], c["variant"]): c["keys"] for c in json.load(f)}
        us, de = caps[("us", "")], caps[("de", "")]
        for key, us_cap, de_cap in (("AD06", "y", "z"), ("AB01", "z", "y")):
            with self.subTest(key=key):
                self.assertEqual(us[key][0], us_cap)
                self.assertEqual(de[key][0], de_cap)
        # The rest of the letter rows agree, so the pictures differ for the swap and not by chance.
        self.assertEqual(us["AD01"], de["AD01"])
        order = layouts()
        self.assertNotEqual(picture(order.index(("us", "")) + 1), picture(order.index(("de", "")) + 1))

    def test_every_picture_is_a_bmp_the_screen_can_show(self):
        for n in range(1, len(layouts()) + 1):
            with self.subTest(picture=n):
                data = picture(n)
                self.assertEqual(data[:2], b"BM")
                self.assertEqual(int.from_bytes(data[18:22], "little"), 659)
                self.assertEqual(int.from_bytes(data[22:26], "little"), 330)
                self.assertEqual(int.from_bytes(data[2:6], "little"), len(data))

    def test_every_layout_has_a_name_in_every_shipped_language(self):
        root = ET.parse(os.path.join(STAGE, "config", "trad", "VEK_Trad.xml")).getroot()
        languages = {lang.get("codeKSO") for lang in root.iter("Lang")}
        self.assertLessEqual({"en", "fr", "de", "es", "it", "nl"}, languages)
        entries = {e.get("id"): e for e in root.iter("TraductionElement")}
        for n, pair in enumerate(layouts()):
            entry = entries.get("id%04d" % (360 + n))
            self.assertIsNotNone(entry, pair)
            names = {lang.get("codeKSO"): (lang.text or "").strip() for lang in entry.iter("Lang")}
            for lang in languages:
                with self.subTest(layout=pair, language=lang):
                    self.assertTrue(names.get(lang), "no %s name" % lang)

    def test_the_keyboard_table_follows_the_list_of_the_pictures(self):
        with open(os.path.join(BUILD, "keyboards", "KeyboardTable.inc"), encoding="utf-8") as f:
            rows = re.findall(r'^\{"([^"]*)", "([^"]*)", "', f.read(), re.M)
        self.assertEqual([tuple(r) for r in rows], layouts())
        with open(os.path.join(BUILD, "keyboards", "keycaps.json"), encoding="utf-8") as f:
            shown = [(c["layout"], c["variant"]) for c in json.load(f)]
        self.assertEqual(shown, layouts())


def run_script(name, *args):
    return subprocess.run([sys.executable, os.path.join(SCRIPTS, name), *args],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)


TARGET = ('<?xml version="1.0" encoding="UTF-8"?>\n<Traductions>\n'
          '  <TraductionElement id="id0001">\n    <Lang codeKSO="en">One</Lang>\n  </TraductionElement>\n'
          '  <!-- kept -->\n'
          '  <TraductionElement id="id0002">\n    <Lang codeKSO="en">Two</Lang>\n  </TraductionElement>\n'
          '</Traductions>\n')


class Merge(unittest.TestCase):
    def merge(self, target, *fragments):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "t.xml")
            with open(path, "w", encoding="utf-8") as f:
                f.write(target)
            paths = []
            for i, text in enumerate(fragments):
                paths.append(os.path.join(d, "f%d.xml" % i))
                with open(paths[-1], "w", encoding="utf-8") as f:
                    f.write(text)
            done = run_script("merge_trad", path, *paths)
            with open(path, encoding="utf-8") as f:
                return done.returncode, f.read()

    def entry(self, ident, text):
        return ('<Traductions><TraductionElement id="%s"><Lang codeKSO="en">%s</Lang>'
                "</TraductionElement></Traductions>" % (ident, text))

    def test_entries_replace_by_id_or_are_added(self):
        cases = [
            ("replaces", [self.entry("id0002", "Deux")], ["One", "Deux"], ["Two"]),
            ("adds", [self.entry("id0003", "Three")], ["One", "Two", "Three"], []),
            ("two fragments compose", [self.entry("id0001", "Un"), self.entry("id0003", "Trois")],
             ["Un", "Two", "Trois"], ["One"]),
        ]
        for name, fragments, present, absent in cases:
            with self.subTest(name):
                code, out = self.merge(TARGET, *fragments)
                self.assertEqual(code, 0)
                root = ET.fromstring(out.encode())
                texts = [lang.text for lang in root.iter("Lang")]
                self.assertEqual(texts, present)
                for text in absent:
                    self.assertNotIn(text, out)
                self.assertIn("<!-- kept -->", out)

    def test_unusable_input_leaves_the_target_alone(self):
        cases = [
            ("target not XML", TARGET[:-20], self.entry("id0002", "Deux")),
            ("fragment not XML", TARGET, "<Traductions><TraductionElement id="),
            ("fragment id not an ID", TARGET, self.entry("id00\"x", "Deux")),
            ("binary fragment", TARGET, "\x00\xff" * 50),
        ]
        for name, target, fragment in cases:
            with self.subTest(name):
                code, out = self.merge(target, fragment)
                self.assertNotEqual(code, 0)
                self.assertEqual(out, target)


class List(unittest.TestCase):
    def test_lines_that_are_not_layouts_are_refused(self):
        for name, text in (("three words", "us intl extra\n"), ("a path", "../us\n"),
                           ("empty", "# nothing\n"), ("unknown layout", "zz\n")):
            with self.subTest(name), tempfile.TemporaryDirectory() as d:
                path = os.path.join(d, "list.txt")
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text)
                done = run_script("xkb_layouts", "names", path, os.path.join(d, "out.xml"))
                self.assertEqual(done.returncode, 1)
                self.assertFalse(os.path.exists(os.path.join(d, "out.xml")))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[4:])

#!/usr/bin/env python3
"""bench/bench_countries: the list it makes fits the country table, the staged table taken
apart gives make_countries its input again, and the generated copy lists every chosen country
in every language with the hand-written and keyboard texts kept.
Usage: test_bench_countries.py SOURCE_DIR STAGED_CONFIG_DIR TRAD_INDEX"""
import os
import runpy
import shutil
import subprocess
import sys
import tempfile
import types
import unittest
import xml.etree.ElementTree as ET

SOURCE, STAGED, TRAD_INDEX = sys.argv[1], sys.argv[2], sys.argv[3]
bc = types.SimpleNamespace(**runpy.run_path(os.path.join(SOURCE, "bench", "bench_countries")))


def texts(path):
    """{id: {lang: text}} of a VEK_Trad.xml."""
    return {e.get("id"): {l.get("codeKSO"): l.text or "" for l in e.findall("Lang")}
            for e in ET.parse(path).getroot().findall("TraductionElement")}


class Choose(unittest.TestCase):
    def test_lists(self):
        iso = ["AW", "FR", "AF", "BE", "AO", "AI"]
        for case, shipped, codes, rows, expected in [
            ("shipped first, then iso's order without the shipped", [("BE", ["fr:1", "en"])],
             ["fr", "en"], 220, ["BE fr:1 en", "AW fr en", "FR fr en", "AF fr en", "AO fr en",
                                 "AI fr en"]),
            ("a missing language added, a place kept", [("FR", ["en:2"])], ["fr", "en", "de"],
             220, ["FR en:2 fr de", "AW fr en de", "AF fr en de", "BE fr en de", "AO fr en de",
                   "AI fr en de"]),
            ("whole countries only", [], ["fr", "en", "de"], 7, ["AW fr en de", "FR fr en de"]),
            ("the shipped cut too", [("FR", ["fr"]), ("BE", ["fr"])], ["fr"], 1, ["FR fr"]),
            ("more lists than rows", [("FR", ["fr"])], ["fr", "en"], 1, []),
        ]:
            with self.subTest(case=case):
                got = bc.choose(shipped, iso, codes, rows)
                self.assertEqual(got, expected)
                self.assertLessEqual(len(got) * len(codes), rows)


class Generated(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.config = os.path.join(self.dir, "config")
        shutil.copytree(STAGED, self.config)
        self.table = os.path.join(self.config, "trad", "VEK_Trad.xml")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def test_unmerged_table_is_the_input_of_the_staged_one(self):
        # With the shipped list, make_countries must write the staged table byte for byte.
        with open(self.table, "rb") as f:
            staged = f.read()
        bc.write(self.table, bc.unmerged(staged.decode("utf-8")))
        r = subprocess.run([sys.executable, bc.MAKE_COUNTRIES, self.config, self.config],
                           capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.table, "rb") as f:
            self.assertEqual(f.read(), staged)

    def test_copy_lists_every_chosen_country(self):
        before = texts(self.table)
        figures = bc.generate(self.config, TRAD_INDEX)
        codes = figures["codes"]
        self.assertEqual(figures["rows"], figures["countries"] * len(codes))
        self.assertLessEqual(figures["rows"], bc.MC.MAX_ROWS)
        # No room left for one more country in every list.
        self.assertLess(bc.MC.MAX_ROWS - figures["rows"], len(codes))
        self.assertEqual(figures["left_out"], figures["iso"] - figures["countries"])
        with open(os.path.join(self.config, "KSOCountries.csv"), encoding="utf-8") as f:
            rows = [l.split(";") for l in f.read().splitlines()[1:]]
        by_code = {c: [i[3:] for l, i in rows if l == c] for c in codes}
        chosen = [c for c, _ in bc.shipped_lines(bc.read(os.path.join(self.config,
                                                                      "countries.list")))]
        after = texts(self.table)
        for code in codes:
            with self.subTest(code=code):
                self.assertEqual(sorted(by_code[code]), sorted(chosen))
                for country in chosen:
                    self.assertTrue(after["PAY" + country].get(code), country)
        # The hand-written and keyboard texts stay as staged.
        self.assertEqual({i: t for i, t in after.items() if not i.startswith("PAY")},
                         {i: t for i, t in before.items() if not i.startswith("PAY")})
        index = self.table + ".idx"
        self.assertGreater(os.path.getsize(index), 0)
        self.assertGreaterEqual(os.path.getmtime(index), os.path.getmtime(self.table))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

#!/usr/bin/env python3
"""The package on a Debian 12 root (label deploy).

  test_deploy.py SOURCE BUILD install    dpkg -i, the unattended installation with TargetRoot=/
                                         and the reconfiguration, checked with the root's tools
  test_deploy.py SOURCE BUILD firstboot  the first-boot unit's command line in the kiosk
                                         compositor (headless), as the setup user; its stamp
  test_deploy.py SOURCE BUILD units      systemd-analyze verify of the package's units
  test_deploy.py SOURCE BUILD ansible    the Ansible role rolling shops out to fresh roots

Needs root; exits 77 (skipped) without it or when no mirror can be reached for the root."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import deploy_root  # noqa: E402
import rollout  # noqa: E402
import units  # noqa: E402

SOURCE, BUILD, PHASE = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)
TREE = "/usr/lib/quilvane-setup"
WIZARD = TREE + "/bin/QuilvaneWizApp"
QVTOOL = "/usr/bin/qvtool"
STAMP = "/var/lib/quilvane-setup/installation.done"
UNIT_DIR = "/lib/systemd/system"

# What the demo answer files choose (dist/config/answers_*.ini).
INSTALLED = {
    "keyboard": 'XKBLAYOUT="be"',
    "lang": "LANG=en_IE.UTF-8",
    "proxy_host": "@proxy.example.net:3128/",
    "record": ["RaisonSociale=Caf\u00e9 \u00d6d\u00f6n", "CodePostal=D02 X285", "Pays=IE"],
}
RECONFIGURED_PROXY = "http://proxy2.example.net:8080/"

# The setup plug-in runs locale-gen in the root: the root's own locale program must take the
# chosen LANG.
CHECK_LOCALE_COMMAND = True


Context = units.Context

def wizard(root, *args, timeout=240):
    start = time.monotonic()
    status, out = root.run([WIZARD] + list(args), timeout=timeout, check=False)
    deploy_root.log("%s took %.1f s" % (" ".join(args[:2]), time.monotonic() - start))
    return status, out


class InstalledWorkstation(units.InstalledRoot):
    """One root for the whole class: installation, then reconfiguration, then removal."""

    def check_proxy(self, expected):
        _, dump = self.root.run(["apt-config", "dump"])
        lines = [line for line in dump.splitlines() if line.startswith("Acquire::http::Proxy")]
        self.assertEqual(len(lines), 1, dump[-2000:])
        self.assertIn(expected, lines[0])

    def check_locale_generated(self):
        # The root's own locale program, in the chosen LANG: it complains when no locale-gen
        # made that locale.
        lang = INSTALLED["lang"].split("=", 1)[1]
        _, out = self.root.run(["locale"], env={"LANG": lang})
        self.assertNotIn("Cannot set", out)
        self.assertIn('LC_CTYPE="%s"' % lang, out)
        _, out = self.root.run(["locale", "-a"])
        self.assertIn(lang.replace("UTF-8", "utf8"), out)

    def test_1_layout(self):
        root = self.root
        for path in (WIZARD, TREE + "/bin/noxAgent", QVTOOL, "/usr/bin/quilvane-setup-reconfigure",
                     "/usr/share/man/man1/qvtool.1.gz", "/usr/share/man/man1/QuilvaneWizApp.1.gz",
                     "/etc/quilvane-setup/QV/QV_params.ini", "/etc/pam.d/quilvane-setup",
                     UNIT_DIR + "/quilvane-setup-firstboot.service",
                     UNIT_DIR + "/quilvane-setup-agent.service",
                     "/usr/share/applications/quilvane-setup-reconfigure.desktop"):
            self.assertTrue(root.exists(path), path)
        # The tree's writable and configurable parts are links to where Debian keeps them.
        for link, target in (("config", "/etc/quilvane-setup"), ("data", "/var/lib/quilvane-setup"),
                             ("Log", "/var/log/quilvane-setup")):
            self.assertEqual(os.readlink(root.file(TREE + "/" + link)), target)
            self.assertTrue(os.path.isdir(root.file(target)), target)
        for params in ("QV/QV_params.ini", "RW/RW_params.ini"):
            text = root.read("/etc/quilvane-setup/" + params)
            self.assertIn("TargetRoot=/\n", text)
            self.assertIn("Modal=true", text)
        _, out = root.run(["dpkg-query", "-W", "-f", "${Conffiles}", "quilvane-setup"])
        self.assertIn("/etc/quilvane-setup/QV/QV_params.ini", out)
        # Enabled at install: the agent and the first boot; the reconfiguration only on demand.
        wants = "/etc/systemd/system/%s.target.wants/%s"
        self.assertTrue(root.exists(wants % ("multi-user", "quilvane-setup-agent.service")))
        self.assertTrue(root.exists(wants % ("graphical", "quilvane-setup-firstboot.service")))
        self.assertFalse(root.exists(wants % ("graphical", "quilvane-setup-reconfigure.service")))
        _, out = root.run(["getent", "passwd", "quilvane-setup"])
        self.assertIn("/var/lib/quilvane-setup", out)
        _, out = root.run(["stat", "-c", "%U:%G %a", TREE + "/bin", "/var/lib/quilvane-setup"])
        self.assertEqual(out.split("\n")[:2], ["root:quilvane-setup 1775",
                                               "quilvane-setup:quilvane-setup 750"])

    def test_2_installation(self):
        root = self.root
        status, out = wizard(root, "--answers", TREE + "/config/answers_installation.ini")
        self.assertEqual(status, 0, out[-3000:])
        keyboard = root.read("/etc/default/keyboard")
        self.assertIn(INSTALLED["keyboard"], keyboard)
        self.assertTrue(root.read("/etc/default/locale").startswith(INSTALLED["lang"]))
        if CHECK_LOCALE_COMMAND:
            self.check_locale_generated()
        self.check_proxy(INSTALLED["proxy_host"])
        _, record = root.run([QVTOOL, "record"])
        for field in INSTALLED["record"]:
            self.assertIn(field, record)
        self.assertTrue(root.exists("/var/log/quilvane-setup/1_QV.log"))
        self.assertIn("installation]", root.read("/etc/quilvane/setup-summary"))

    def test_3_reconfiguration(self):
        root = self.root
        status, out = wizard(root, "-reconfig", "--answers",
                             TREE + "/config/answers_reconfiguration.ini")
        self.assertEqual(status, 0, out[-3000:])
        self.check_proxy(RECONFIGURED_PROXY)
        # The rest of the installation stays as it was.
        self.assertIn(INSTALLED["keyboard"],
                      root.read("/etc/default/keyboard"))
        _, record = root.run([QVTOOL, "record"])
        for field in INSTALLED["record"]:
            self.assertIn(field, record)
        self.assertIn("reconfiguration]", root.read("/etc/quilvane/setup-summary"))

    def test_4_removal(self):
        # Removed, the package leaves nothing but its conffiles and what lies under /var.
        root = self.root
        _, listed = root.run(["dpkg-query", "-L", "quilvane-setup"])
        _, conffiles = root.run(["dpkg-query", "-W", "-f=${Conffiles}", "quilvane-setup"])
        kept = {line.split()[0] for line in conffiles.splitlines() if line.strip()}
        root.run(["dpkg", "-r", "quilvane-setup"])
        left = [path for path in listed.splitlines()
                if path.startswith("/") and path not in kept and not path.startswith("/var/")
                and root.exists(path) and not os.path.isdir(root.file(path))]
        self.assertEqual(left, [])
        for folder in ("/usr/lib/quilvane-setup", "/usr/share/doc/quilvane-setup"):
            self.assertFalse(root.exists(folder), folder + " is left")


def main():
    if PHASE not in ("install", "firstboot", "units", "ansible"):
        sys.stderr.write(__doc__)
        return 2
    Context.deb, Context.tarball = deploy_root.prepare(sys.argv[1:] and [sys.argv[0]] +
                                                      sys.argv[1:], SOURCE, BUILD)
    start = time.monotonic()
    cases = {"install": [InstalledWorkstation], "firstboot": [units.FirstBoot],
             "units": [units.Verify], "ansible": [rollout.Rollout]}[PHASE]
    units.BUILD = BUILD
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(c) for c in cases)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    deploy_root.log("%s: %.1f s" % (PHASE, time.monotonic() - start))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())

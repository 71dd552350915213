"""The Ansible role of deploy/ansible rolling two shops out to two fresh roots (and one shop whose
answers are wrong), through the chroot connection, with the secrets in an encrypted vault."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

import deploy_root
import units

PLAYBOOK_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "deploy",
                            "ansible")
VAULT_PASSWORD = "rollout-test"
SECRETS = {"quilvane_proxy_password": "Vault-s3cret", "quilvane_account_password": "c0unt3r-1"}
SHOPS = {
    "shop-dublin": {"quilvane_shop_name": "Café Ödön", "quilvane_shop_address": "12 rue des Lilas",
                    "quilvane_shop_postcode": "D02 X285", "quilvane_shop_city": "Dublin",
                    "quilvane_shop_phone": "0142000000", "quilvane_country": "#2",
                    "quilvane_keyboard_pages": "2", "quilvane_customer_code": "123456",
                    "quilvane_site_code": "SITE7", "quilvane_proxy_host": "proxy.example.net",
                    "quilvane_proxy_port": "3128", "quilvane_proxy_user": "till1"},
    "shop-london": {"quilvane_shop_name": "Corner Shop", "quilvane_shop_address": "10 High Street",
                    "quilvane_shop_postcode": "SW1A 1AA", "quilvane_shop_city": "London",
                    "quilvane_shop_phone": "+44 20 7946 0000",
                    "quilvane_country": "United Kingdom", "quilvane_customer_code": "204060",
                    "quilvane_site_code": "LON01", "quilvane_proxy_host": "proxy.example.co.uk",
                    "quilvane_proxy_port": "8080"},
    # A postcode the country refuses: the record screen comes back until the run gives up.
    "shop-wrong": {"quilvane_shop_name": "Wrong Postcode", "quilvane_shop_postcode": "12345",
                   "quilvane_shop_city": "Leeds", "quilvane_shop_phone": "+44 20 7946 0002",
                   "quilvane_country": "United Kingdom", "quilvane_customer_code": "204061",
                   "quilvane_site_code": "LDS01", "quilvane_proxy_host": "proxy.example.co.uk",
                   "quilvane_proxy_port": "8080"},
}
EXPECTED = {
    "shop-dublin": {"layout": 'XKBLAYOUT="be"', "proxy": "till1:Vault-s3cret@proxy.example.net:3128",
                    "record": "RaisonSociale=Café Ödön", "country": "Pays=IE"},
    "shop-london": {"layout": 'XKBLAYOUT="gb"', "proxy": "http://proxy.example.co.uk:8080/",
                    "record": "RaisonSociale=Corner Shop", "country": "Pays=GB"},
}


def quoted(value):
    return '"%s"' % value.replace("\\", "\\\\").replace('"', '\\"')


class Rollout(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not shutil.which("ansible-playbook"):
            raise unittest.SkipTest("ansible is missing (scripts/setup installs it)")
        work_root = os.path.join(units.BUILD, "deploy")
        cls.roots = {name: deploy_root.Root(units.Context.tarball, work_root) for name in SHOPS}
        cls.work = tempfile.mkdtemp(prefix="ansible-", dir=work_root)
        lines = ["[workstations]"]
        for name, variables in SHOPS.items():
            fields = ["ansible_connection=community.general.chroot",
                      "ansible_host=" + cls.roots[name].path]
            fields += ["%s=%s" % (k, quoted(v)) for k, v in variables.items()]
            lines.append(" ".join([name] + fields))
        with open(os.path.join(cls.work, "inventory.ini"), "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        vault_dir = os.path.join(cls.work, "group_vars", "workstations")
        os.makedirs(vault_dir)
        vault = os.path.join(vault_dir, "vault.yml")
        with open(vault, "w", encoding="utf-8") as f:
            f.write("".join("%s: %s\n" % (k, quoted(v)) for k, v in SECRETS.items()))
        password = os.path.join(cls.work, "vault-password")
        with open(password, "w", encoding="utf-8") as f:
            f.write(VAULT_PASSWORD + "\n")
        # One host at a time: the roots share this machine's process table, where a second
        # wizard would count as another copy running.
        env = dict(os.environ, HOME=cls.work, ANSIBLE_NOCOLOR="1",
                   ANSIBLE_LOCAL_TEMP=os.path.join(cls.work, "tmp"), ANSIBLE_REMOTE_TMP="/tmp",
                   ANSIBLE_PYTHON_INTERPRETER="/usr/bin/python3", ANSIBLE_FORKS="1")
        subprocess.run(["ansible-vault", "encrypt", "--vault-password-file", password, vault],
                       check=True, env=env, stdout=subprocess.DEVNULL)
        cls.results = os.path.join(cls.work, "results")
        start = time.monotonic()
        done = subprocess.run(
            ["ansible-playbook", "-i", os.path.join(cls.work, "inventory.ini"),
             os.path.join(PLAYBOOK_DIR, "site.yml"), "--vault-password-file", password,
             "-e", "quilvane_deb=" + units.Context.deb, "-e", "quilvane_results_dir=" + cls.results],
            env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        cls.status = done.returncode
        cls.output = done.stdout.decode(errors="replace")
        deploy_root.log("ansible-playbook: status %d in %.1f s" % (cls.status,
                                                                   time.monotonic() - start))

    @classmethod
    def tearDownClass(cls):
        for root in cls.roots.values():
            root.close()
        if os.environ.get("QV_DEPLOY_KEEP") != "1":
            shutil.rmtree(cls.work, ignore_errors=True)

    def result(self, host, name):
        with open(os.path.join(self.results, host, name), encoding="utf-8") as f:
            return f.read()

    def test_vault_is_encrypted(self):
        with open(os.path.join(self.work, "group_vars", "workstations", "vault.yml")) as f:
            text = f.read()
        self.assertTrue(text.startswith("$ANSIBLE_VAULT"))
        self.assertNotIn(SECRETS["quilvane_proxy_password"], text)

    def test_each_shop_is_set_up(self):
        # The wrong shop fails; the playbook says so with its own status.
        self.assertEqual(self.status, 2, self.output[-4000:])
        for host, expected in EXPECTED.items():
            with self.subTest(host=host):
                root = self.roots[host]
                self.assertIn(expected["layout"], root.read("/etc/default/keyboard"))
                _, dump = root.run(["apt-config", "dump"])
                proxy = [line for line in dump.splitlines()
                         if line.startswith("Acquire::http::Proxy")]
                self.assertEqual(len(proxy), 1, dump[-1500:])
                self.assertIn(expected["proxy"], proxy[0])
                _, record = root.run(["/usr/bin/qvtool", "record"])
                self.assertIn(expected["record"], record)
                self.assertIn(expected["country"], record)
                # The answer file held the passwords: gone after the run.
                self.assertFalse(root.exists("/etc/quilvane-setup/answers_site.ini"))

    def test_results_reach_the_controller(self):
        for host in EXPECTED:
            with self.subTest(host=host):
                self.assertEqual(self.result(host, "exit-code").split("\n")[0], "0")
                self.assertIn("installation]", self.result(host, "setup-summary"))
                self.assertTrue("Init Log" in self.result(host, "1_QV.log"))
        wrong = self.result("shop-wrong", "exit-code")
        self.assertEqual(wrong.split("\n")[0], "6", wrong)
        self.assertIn("ERR state=StateQvInfoPdv", wrong)
        self.assertFalse(os.path.exists(os.path.join(self.results, "shop-wrong", "setup-summary")))
        # The play's recap names every host with its outcome.
        self.assertRegex(self.output, r"shop-dublin\s*: ok=\d+ +changed=\d+ +unreachable=0 +failed=0")
        self.assertRegex(self.output, r"shop-wrong\s*: ok=\d+ +changed=\d+ +unreachable=0 +failed=1")
        self.assertIn("shop-london: Corner Shop set up", self.output)

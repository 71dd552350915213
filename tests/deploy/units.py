"""The package's system units: what systemd would run for them, and their checks.

A unit file is read with systemd's rules for what these units use (sections, repeated keys,
an empty assignment resetting a list, backslash continuation, Exec prefixes, $VAR and ${VAR}),
so a test runs exactly the unit's own command lines, in its order: conditions, ExecStart,
ExecStartPost after a start that ended with 0, ExecStopPost always."""

import os
import re
import shlex
import subprocess
import time
import unittest

import deploy_root

UNIT_DIR = "/lib/systemd/system"
LIST_KEYS = {"ExecStart", "ExecStartPost", "ExecStopPost", "Environment", "EnvironmentFile",
             "ReadWritePaths", "ConditionPathExists", "After", "Before", "Wants", "Conflicts",
             "SupplementaryGroups", "AmbientCapabilities", "CapabilityBoundingSet", "OnSuccess",
             "OnFailure", "WantedBy"}


def parse_unit(text):
    """{section: {key: value or [values]}}; list keys accumulate and reset on an empty value."""
    sections = {}
    current = None
    pending = ""
    for raw in text.splitlines():
        line = pending + raw.strip()
        pending = ""
        if line.endswith("\\"):
            pending = line[:-1] + " "
            continue
        if not line or line[0] in "#;":
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
            continue
        if current is None or "=" not in line:
            raise ValueError("not a unit line: %r" % line)
        key, value = (part.strip() for part in line.split("=", 1))
        if key in LIST_KEYS:
            if value == "":
                current[key] = []
            else:
                current.setdefault(key, []).append(value)
        else:
            current[key] = value
    return sections


def parse_environment(values):
    """Environment= assignments: blank-separated KEY=VALUE words, quotes group."""
    env = {}
    for value in values:
        for word in shlex.split(value):
            key, _, val = word.partition("=")
            env[key] = val
    return env


def parse_environment_file(text):
    env = {}
    for line in text.splitlines():
        line = line.strip()
        if not line or line[0] in "#;" or "=" not in line:
            continue
        key, _, value = line.partition("=")
        value = value.strip()
        if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
            value = value[1:-1]
        env[key.strip()] = value
    return env


class Command:
    """One Exec line: its prefixes and its argument vector, variables expanded."""

    def __init__(self, line, env):
        match = re.match(r"([-+@!:]*)(.*)", line)
        self.prefixes = match.group(1)
        self.ignore_failure = "-" in self.prefixes
        self.privileged = "+" in self.prefixes
        self.argv = []
        for word in shlex.split(match.group(2)):
            whole = re.fullmatch(r"\$([A-Za-z_][A-Za-z0-9_]*)", word)
            if whole:  # $VAR: its value split at blanks, nothing when empty
                self.argv += env.get(whole.group(1), "").split()
            else:
                self.argv.append(re.sub(r"\$\{([A-Za-z_][A-Za-z0-9_]*)\}",
                                        lambda m: env.get(m.group(1), ""), word))


class Unit:
    def __init__(self, root, name):
        self.root = root
        self.name = name
        self.sections = parse_unit(root.read(UNIT_DIR + "/" + name))
        self.unit = self.sections.get("Unit", {})
        self.service = self.sections.get("Service", {})

    def conditions_hold(self):
        for condition in self.unit.get("ConditionPathExists", []):
            negated = condition.startswith("!")
            present = self.root.exists(condition.lstrip("!"))
            if present == negated:
                return False
        return True

    def environment(self):
        env = parse_environment(self.service.get("Environment", []))
        for name in self.service.get("EnvironmentFile", []):
            optional = name.startswith("-")
            name = name.lstrip("-")
            if not self.root.exists(name):
                if optional:
                    continue
                raise AssertionError("%s: environment file %s missing" % (self.name, name))
            env.update(parse_environment_file(self.root.read(name)))
        return env

    def commands(self, key, extra_env=None):
        env = dict(self.environment(), **(extra_env or {}))
        return [Command(line, env) for line in self.service.get(key, [])]

    def caps(self):
        names = " ".join(self.service.get("AmbientCapabilities", [])).split()
        return ",".join("+" + n.lower().replace("cap_", "") for n in names)

    def as_user(self, argv):
        """argv run as the unit's user, groups and ambient capabilities (setpriv)."""
        user = self.service.get("User")
        if not user:
            return argv
        wrap = ["setpriv", "--reuid=" + user, "--regid=" + self.service.get("Group", user),
                "--init-groups"]
        caps = self.caps()
        if caps:
            wrap += ["--inh-caps=" + caps, "--ambient-caps=" + caps]
        return wrap + ["--"] + argv

    def in_directory(self, argv):
        directory = self.service.get("WorkingDirectory")
        return ["/usr/bin/env", "--chdir=" + directory] + argv if directory else argv

    def start(self, extra_env=None, timeout=300):
        """What systemctl start does for a oneshot unit: the status of ExecStart, or None when
        a condition kept it from running."""
        if not self.conditions_hold():
            return None
        env = dict(self.environment(), **(extra_env or {}))
        status = 0
        for command in self.commands("ExecStart", extra_env):
            argv = self.in_directory(self.as_user(command.argv))
            status, out = self.root.run(argv, env=env, timeout=timeout, check=False)
            self.last_output = out
            if status != 0 and not command.ignore_failure:
                break
            status = 0
        if status == 0:
            for command in self.commands("ExecStartPost", extra_env):
                self._post(command, env)
        stop_env = dict(env, EXIT_STATUS=str(status), SERVICE_RESULT="success" if status == 0
                        else "exit-code")
        for command in self.commands("ExecStopPost", extra_env):
            self._post(command, stop_env)
        return status

    def _post(self, command, env):
        argv = command.argv if command.privileged else self.as_user(command.argv)
        status, out = self.root.run(self.in_directory(argv), env=env, check=False)
        if status != 0 and not command.ignore_failure:
            raise AssertionError("%s: %s failed (%d): %s" % (self.name, " ".join(command.argv),
                                                             status, out))

    def spawn(self, env=None):
        """A long-running unit started in the background (the agent's service)."""
        argv = self.in_directory(self.as_user(self.commands("ExecStart")[0].argv))
        return self.root.spawn(argv, env=env)


class Context:  # set by test_deploy.main
    deb = None
    tarball = None


BUILD = None
FIRSTBOOT = "quilvane-setup-firstboot.service"
RECONFIGURE = "quilvane-setup-reconfigure.service"
AGENT = "quilvane-setup-agent.service"
STAMP = "/var/lib/quilvane-setup/installation.done"
ENV_FILE = "/etc/default/quilvane-setup"


def kiosk_environment(root, user):
    """The headless compositor's environment, with a runtime directory of the user's."""
    runtime = "/run/kiosk-test"
    os.makedirs(root.file(runtime), mode=0o700, exist_ok=True)
    root.run(["chown", user + ":" + user, runtime])
    return {"XDG_RUNTIME_DIR": runtime, "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman",
            "WLR_LIBINPUT_NO_DEVICES": "1", "HOME": "/var/lib/quilvane-setup"}


def agent_pids(root):
    _, out = root.run(["pgrep", "-x", "noxAgent"], check=False)
    return sorted(out.split())


class FirstBoot(unittest.TestCase):
    """The first-boot unit on a fresh workstation: a failed run, a good one, then nothing."""

    @classmethod
    def setUpClass(cls):
        cls.root = deploy_root.Root(Context.tarball, os.path.join(BUILD, "deploy"))
        cls.root.install(Context.deb)
        cls.unit = Unit(cls.root, FIRSTBOOT)
        cls.env = kiosk_environment(cls.root, cls.unit.service["User"])
        # The agent's service runs before the wizard (Wants= and After=).
        cls.agent = Unit(cls.root, AGENT).spawn(env={"HOME": "/var/lib/quilvane-setup"})
        deadline = time.monotonic() + 10
        while not agent_pids(cls.root) and time.monotonic() < deadline:
            time.sleep(0.1)
        cls.agent_at_start = agent_pids(cls.root)

    @classmethod
    def tearDownClass(cls):
        cls.agent.terminate()
        cls.agent.wait()
        cls.root.close()

    def set_arguments(self, args):
        with open(self.root.file(ENV_FILE), "w", encoding="utf-8") as f:
            f.write("QV_INSTALL_ARGS=%s\n" % args)

    def start(self):
        started = time.monotonic()
        status = self.unit.start(extra_env=self.env)
        deploy_root.log("%s: status %s in %.1f s" % (FIRSTBOOT, status,
                                                      time.monotonic() - started))
        return status

    def test_1_unit(self):
        self.assertEqual(self.unit.service["Type"], "oneshot")
        self.assertIn("getty@tty1.service", self.unit.unit["Conflicts"])
        self.assertIn("display-manager.service", " ".join(self.unit.unit["Before"]))
        self.assertEqual(self.unit.unit["ConditionPathExists"], ["!" + STAMP])
        argv = self.unit.commands("ExecStart")[0].argv
        self.assertEqual(argv[0], "/usr/bin/cage")
        self.assertTrue(self.root.exists(argv[0]))
        self.assertEqual(len(self.agent_at_start), 1, "the agent's service did not start")

    def test_2_failed_run_leaves_no_stamp(self):
        # An answer file naming a state the table lacks: refused before anything starts.
        with open(self.root.file("/etc/quilvane-setup/broken.ini"), "w") as f:
            f.write("[NoSuchState]\nPush=1\n")
        self.set_arguments("--answers /etc/quilvane-setup/broken.ini")
        # The compositor ends with 0 whatever its client did: the session says the wizard's.
        self.assertEqual(self.start(), 0, self.unit.last_output[-3000:])
        self.assertIn("QuilvaneWizApp ended with 2", self.unit.last_output)
        self.assertFalse(self.root.exists(STAMP))
        self.assertTrue(self.unit.conditions_hold(), "the next boot must try again")

    def test_3_run_in_kiosk_writes_stamp(self):
        self.set_arguments("--answers /etc/quilvane-setup/answers_installation.ini")
        self.assertEqual(self.start(), 0, self.unit.last_output[-3000:])
        self.assertIn("QuilvaneWizApp ended with 0", self.unit.last_output)
        self.assertTrue(self.root.exists(STAMP))
        out = self.unit.last_output
        self.assertNotIn("Could not load the Qt platform plugin", out)
        # It ran on Wayland, in the compositor, and found the service's agent.
        log = self.root.read("/var/log/quilvane-setup/1_QV.log")
        self.assertIn("Init Log", log)
        self.assertEqual(agent_pids(self.root), self.agent_at_start)
        self.assertIn("XKBLAYOUT=", self.root.read("/etc/default/keyboard"))
        # The files it wrote in /etc are root's again.
        _, owners = self.root.run(["stat", "-c", "%U %n", "/etc/default/keyboard",
                                   "/etc/quilvane/setup-summary"])
        for line in owners.splitlines():
            self.assertTrue(line.startswith("root "), owners)

    def test_4_second_start_does_nothing(self):
        summary = self.root.read("/etc/quilvane/setup-summary")
        self.assertIsNone(self.start())
        self.assertEqual(self.root.read("/etc/quilvane/setup-summary"), summary)


class InstalledRoot(unittest.TestCase):
    """One fresh root with the package installed, for the whole class."""

    @classmethod
    def setUpClass(cls):
        cls.root = deploy_root.Root(Context.tarball, os.path.join(BUILD, "deploy"))
        cls.root.install(Context.deb)

    @classmethod
    def tearDownClass(cls):
        cls.root.close()


class Verify(InstalledRoot):
    """systemd-analyze verify of every unit, against the root it is installed in."""

    def test_units_verify(self):
        for name in (AGENT, FIRSTBOOT, RECONFIGURE):
            with self.subTest(unit=name):
                done = subprocess.run(["systemd-analyze", "verify", "--man=no",
                                       "--root=" + self.root.path, UNIT_DIR + "/" + name],
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                out = done.stdout.decode(errors="replace")
                self.assertEqual(done.returncode, 0, out)
                self.assertEqual(out.strip(), "", out)

    def test_lintian_clean(self):
        # Overrides (debian/quilvane-setup.lintian-overrides) each carry their reason.
        done = subprocess.run(["lintian", "--fail-on", "error,warning", Context.deb],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        out = done.stdout.decode(errors="replace")
        self.assertEqual(done.returncode, 0, out)
        self.assertNotRegex(out, r"(?m)^[EW]: ", out)

    def test_unit_reader(self):
        # The reader must read these files as systemd does, or the kiosk test runs other lines.
        sections = parse_unit("[Service]\nExecStart=/a \\\n  b\nExecStart=\nExecStart=-+/c $X "
                              "${Y}z\nEnvironment=A=1 \"B=two words\"\n")
        self.assertEqual(sections["Service"]["ExecStart"], ["-+/c $X ${Y}z"])
        command = Command(sections["Service"]["ExecStart"][0], {"X": "p  q", "Y": "y"})
        self.assertEqual((command.ignore_failure, command.privileged), (True, True))
        self.assertEqual(command.argv, ["/c", "p", "q", "yz"])
        self.assertEqual(Command("/c $EMPTY", {}).argv, ["/c"])
        self.assertEqual(parse_environment(sections["Service"]["Environment"]),
                         {"A": "1", "B": "two words"})
        self.assertEqual(parse_environment_file("# c\nA=\"x y\"\nB= z\n\nbad\n"),
                         {"A": "x y", "B": "z"})

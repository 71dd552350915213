"""A Debian 12 root with the package installed, for the deploy tests.

The package (built by scripts/package into build-deb/ and kept under the cache folder by a
digest of the sources it is built from) and a minimal root holding its dependencies (made once by mmdebstrap, kept as a
tarball keyed by its package list) come from outside; every test then unpacks a fresh root,
installs the package there with dpkg and runs inside it through chroot, in namespaces of its
own (processes, mounts, System V IPC, network), so nothing of the machine is touched.

No shell starts a program: every command is an argument vector."""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77  # CTest's SKIP_RETURN_CODE

# Programs the checks run inside the root, beyond the package's own dependencies;
# python3: what Ansible's modules run with on a target.
EXTRA_PACKAGES = ["apt", "util-linux", "passwd", "procps", "systemd", "python3", "locales"]
SUITE = "bookworm"
MIRRORS = [
    "deb http://deb.debian.org/debian bookworm main",
    "deb http://deb.debian.org/debian bookworm-updates main",
    "deb http://deb.debian.org/debian-security bookworm-security main",
]
# Paths whose change makes a new package; tests and docs do not.
PACKAGE_INPUTS_SKIPPED = ("tests/", "bench/", "docs/", "deploy/", "README.md", ".ci/",
                          ".gitignore")


def log(message):
    sys.stdout.write("deploy: %s\n" % message)
    sys.stdout.flush()


def run(argv, check=True, **kw):
    done = subprocess.run(argv, **kw)
    if check and done.returncode != 0:
        raise SystemExit("deploy: %s exited with %d" % (" ".join(argv), done.returncode))
    return done


def source_key(source):
    """A digest of the files the package is built from (their names and contents)."""
    files = subprocess.run(["git", "-C", source, "ls-files", "-z", "--cached", "--others",
                            "--exclude-standard"], stdout=subprocess.PIPE, check=True).stdout
    digest = hashlib.sha256()
    for name in sorted(files.decode(errors="surrogateescape").split("\0")):
        if not name or name.startswith(PACKAGE_INPUTS_SKIPPED):
            continue
        path = os.path.join(source, name)
        if os.path.islink(path):
            content = os.readlink(path).encode(errors="surrogateescape")
        elif os.path.isfile(path):
            with open(path, "rb") as f:
                content = f.read()
        else:
            continue
        digest.update(name.encode(errors="surrogateescape") + b"\0")
        digest.update(hashlib.sha256(content).digest())
    return digest.hexdigest()[:16]


def prune(cache_dir, prefix, keep):
    """Leaves the `keep` most recently used entries of a kind in the cache."""
    entries = [os.path.join(cache_dir, n) for n in os.listdir(cache_dir)
               if n.startswith(prefix) and not n.endswith(".partial")]
    entries.sort(key=os.path.getmtime, reverse=True)
    for old in entries[keep:]:
        log("dropping %s from the cache" % old)
        if os.path.isdir(old):
            shutil.rmtree(old, ignore_errors=True)
        else:
            os.remove(old)


def package_in(folder):
    if not os.path.isdir(folder):
        return None
    debs = sorted(f for f in os.listdir(folder)
                  if re.fullmatch(r"quilvane-setup_[^_]+_[^_]+\.deb", f))
    return os.path.join(folder, debs[-1]) if debs else None


def find_package(source, deb_dir, cache_dir, build_missing=True):
    """The package of these sources: kept in the cache by their digest, built when missing
    (scripts/package leaves it in deb_dir)."""
    kept = os.path.join(cache_dir, "deb-" + source_key(source))
    deb = package_in(kept)
    if deb:
        os.utime(kept)
    if deb or not build_missing:
        return deb
    os.makedirs(deb_dir, exist_ok=True)
    build_log = os.path.join(deb_dir, "package.log")
    log("building the package (scripts/package, its output in %s)" % build_log)
    start = time.monotonic()
    with open(build_log, "wb") as out:
        done = subprocess.run([os.path.join(source, "scripts", "package"), "--no-lintian"],
                              stdout=out, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        with open(build_log, "rb") as f:
            sys.stdout.write(f.read()[-4000:].decode(errors="replace"))
        raise SystemExit("deploy: scripts/package exited with %d" % done.returncode)
    log("package built in %.0f s" % (time.monotonic() - start))
    built = package_in(deb_dir)
    if not built:
        raise SystemExit("deploy: scripts/package left no package in " + deb_dir)
    os.makedirs(kept + ".partial", exist_ok=True)
    shutil.copy(built, kept + ".partial")
    shutil.rmtree(kept, ignore_errors=True)
    os.replace(kept + ".partial", kept)
    prune(cache_dir, "deb-", 3)
    return package_in(kept)


def depends_of(deb):
    """Package names of Depends and Recommends (the first of alternatives)."""
    names = set()
    for field in ("Depends", "Recommends"):
        text = subprocess.run(["dpkg-deb", "-f", deb, field], stdout=subprocess.PIPE,
                              check=True).stdout.decode()
        for item in text.split(","):
            first = item.split("|")[0].strip()
            name = re.match(r"[a-z0-9][a-z0-9+.-]*", first)
            if name:
                names.add(name.group(0))
    return sorted(names)


def cached_root(deb, cache_dir):
    """The tarball of a root holding the package's dependencies; made when missing."""
    packages = sorted(set(depends_of(deb)) | set(EXTRA_PACKAGES))
    key = hashlib.sha256(("\n".join([SUITE] + MIRRORS + packages)).encode()).hexdigest()[:16]
    tarball = os.path.join(cache_dir, "root-%s-%s.tar" % (SUITE, key))
    if os.path.exists(tarball):
        os.utime(tarball)  # most recently used, for the pruning
        return tarball
    os.makedirs(cache_dir, exist_ok=True)
    log("making the root with mmdebstrap (%d packages); a first time takes minutes" %
        len(packages))
    start = time.monotonic()
    partial = tarball + ".partial"
    done = run(["mmdebstrap", "--variant=apt", "--mode=root", "--format=tar",
                "--include=" + ",".join(packages), SUITE, partial] + MIRRORS,
               check=False, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if done.returncode != 0:
        tail = done.stderr.decode(errors="replace")[-2000:]
        if re.search(r"Could not resolve|Failed to fetch|Temporary failure|Unable to connect|"
                     r"Network is unreachable", tail):
            log("mmdebstrap cannot reach a mirror; skipped:\n" + tail)
            sys.exit(SKIPPED)
        raise SystemExit("deploy: mmdebstrap failed:\n" + tail)
    os.replace(partial, tarball)
    prune(cache_dir, "root-", 2)
    log("root made in %.0f s: %s" % (time.monotonic() - start, tarball))
    return tarball


def enter_namespaces(argv):
    """Runs argv again in namespaces of its own, unless it already runs there."""
    if os.environ.get("QV_DEPLOY_NAMESPACES") == "1":
        return
    env = dict(os.environ, QV_DEPLOY_NAMESPACES="1")
    unshare = ["unshare", "--pid", "--fork", "--mount", "--ipc", "--net", "--uts",
               "--mount-proc", "--propagation", "private"]
    sys.stdout.flush()
    os.execvpe("unshare", unshare + [sys.executable] + argv, env)


class Root:
    """A fresh root unpacked from the tarball, with /proc, /dev and a /dev/shm of its own."""

    def __init__(self, tarball, work_dir):
        os.makedirs(work_dir, exist_ok=True)
        self.path = tempfile.mkdtemp(prefix="root-", dir=work_dir)
        start = time.monotonic()
        run(["tar", "-xf", tarball, "-C", self.path, "--numeric-owner"])
        log("root unpacked in %.1f s" % (time.monotonic() - start))
        self.mounts = []
        self._mount(["--rbind", "/dev"], "dev")
        self._mount(["-t", "tmpfs", "-o", "mode=1777,nosuid,nodev", "tmpfs"], "dev/shm")
        self._mount(["-t", "proc", "proc"], "proc")
        self._mount(["-t", "tmpfs", "-o", "mode=0755,nosuid,nodev", "tmpfs"], "run")

    def _mount(self, how, where):
        target = os.path.join(self.path, where)
        os.makedirs(target, exist_ok=True)
        run(["mount"] + how + [target])
        self.mounts.append(target)

    def file(self, path):
        return os.path.join(self.path, path.lstrip("/"))

    def read(self, path):
        with open(self.file(path), encoding="utf-8", errors="replace") as f:
            return f.read()

    def exists(self, path):
        return os.path.lexists(self.file(path))

    def command(self, argv, env=None):
        """argv in the root, with a clean environment of env and a few basics."""
        base = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "HOME": "/root", "LANG": "C.UTF-8"}
        base.update(env or {})
        return (["chroot", self.path, "/usr/bin/env", "-i"] +
                ["%s=%s" % kv for kv in base.items()] + argv)

    def run(self, argv, env=None, timeout=300, check=True):
        """Runs argv in the root; returns (status, output of stdout and stderr)."""
        done = subprocess.run(self.command(argv, env), stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=timeout)
        out = done.stdout.decode(errors="replace")
        if check and done.returncode != 0:
            raise AssertionError("%s exited with %d:\n%s" % (" ".join(argv), done.returncode,
                                                             out[-3000:]))
        return done.returncode, out

    def spawn(self, argv, env=None):
        """Starts argv in the root in the background."""
        return subprocess.Popen(self.command(argv, env), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def install(self, deb):
        shutil.copy(deb, self.file("/tmp/quilvane-setup.deb"))
        start = time.monotonic()
        self.run(["dpkg", "-i", "/tmp/quilvane-setup.deb"])
        log("package installed in %.1f s" % (time.monotonic() - start))

    def mounted_below(self):
        with open("/proc/self/mountinfo", encoding="utf-8", errors="replace") as f:
            points = [line.split()[4] for line in f if len(line.split()) > 4]
        return [p for p in points if p == self.path or p.startswith(self.path + "/")]

    def close(self):
        for target in reversed(self.mounts):
            subprocess.run(["umount", "-R", "-l", target])
        if os.environ.get("QV_DEPLOY_KEEP") == "1":
            log("root kept: " + self.path)
            return
        # /dev is the machine's own, bound in: never remove through a mount left behind.
        left = self.mounted_below()
        if left:
            log("root not removed, still mounted: %s" % ", ".join(left))
            return
        shutil.rmtree(self.path, ignore_errors=True)


def prepare(argv, source, build_dir):
    """Outside the namespaces: root check, the package and the cached root (network); then
    re-enters itself in namespaces. Returns (deb, tarball) inside them."""
    if os.geteuid() != 0:
        log("needs root (mmdebstrap, chroot, namespaces); skipped")
        sys.exit(SKIPPED)
    for tool in ("mmdebstrap", "unshare", "chroot", "dpkg-deb"):
        if not shutil.which(tool):
            log("%s is missing (scripts/setup installs it); skipped" % tool)
            sys.exit(SKIPPED)
    deb_dir = os.environ.get("QV_DEPLOY_DEB_DIR", os.path.join(source, "build-deb"))
    cache = os.environ.get("QV_DEPLOY_CACHE", "/var/cache/quilvane-setup-tests")
    inside = os.environ.get("QV_DEPLOY_NAMESPACES") == "1"
    deb = find_package(source, deb_dir, cache, build_missing=not inside)
    if not deb:
        raise SystemExit("deploy: no package in " + deb_dir)
    tarball = cached_root(deb, cache)
    enter_namespaces(argv)
    return deb, tarball

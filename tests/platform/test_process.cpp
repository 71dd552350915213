#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/Desktop.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "tests/platform/ProcessTestSupport.h"
#include "tests/support/TempTree.h"

using platform::ExecutableNameMatches;

namespace {

std::map<std::string, std::string> ReadReport(const std::string& path) {
    std::map<std::string, std::string> out;
    std::string text = ReadFile(path);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl - pos);
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            out[line.substr(0, eq)] = line.substr(eq + 1);
        pos = nl == std::string::npos ? text.size() : nl + 1;
    }
    return out;
}

}  // namespace

TEST(ProcessMatch, AskedNameBeginsWithTheProcessNameUpToADot) {
    struct Case {
        const char* asked;
        const char* process;
        bool match;
    } cases[] = {
        {"shop.exe", "shop", true},
        {"SHOP.EXE", "shop", true},
        {"shop.exe", "Shop", true},
        {"shop.exe", "shop.exe", true},
        {"shop.exe", "sh", false},  // the sound change: "sh" is not "shop"
        {"shop", "shop", true},
        {"shop", "shopper", false},
        {"noxAgent.exe", "noxagent", true},
        {"a.b.exe", "a.b", true},
        {"a.b.exe", "a", true},  // a '.' follows the prefix
        {"x", "", false},
        {"", "x", false},
        {"", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExecutableNameMatches(c.asked, c.process), c.match)
            << c.asked << " / " << c.process;
    // Only the first 256 characters of the asked name take part.
    std::string longName(300, 'a');
    EXPECT_TRUE(ExecutableNameMatches(longName, std::string(256, 'a')));
    EXPECT_FALSE(ExecutableNameMatches(longName, std::string(257, 'a')));
}

TEST(ProcessCommandLine, SplitsLikeTheLauncherBuildsIt) {
    using V = std::vector<std::string>;
    struct Case {
        const char* line;
        V words;
    } cases[] = {
        {"", V{}},
        {"   ", V{}},
        {"a b  c", V{"a", "b", "c"}},
        {"\"/opt/my dir/noxAgent.exe\"", V{"/opt/my dir/noxAgent.exe"}},
        {"\"/a b\\noxStart.exe\" \"/a b\\noxAgent.exe\"",
         V{"/a b\\noxStart.exe", "/a b\\noxAgent.exe"}},
        {"x\"y z\"w", V{"xy zw"}},
        {"\"\" b", V{"", "b"}},
        {"say \\\"hi\\\"", V{"say", "\"hi\""}},
        {"unclosed \"a b", V{"unclosed", "a b"}},
        {"tab\there", V{"tab", "here"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::SplitCommandLine(c.line), c.words) << c.line;
}

TEST(ProcessPath, ProgramPathHonoursTheBufferLimits) {
    std::string exe = platform::ExecutablePath();
    char buf[1100];
    std::memset(buf, 'z', sizeof buf);
    EXPECT_EQ(platform::ProgramPath(buf, 1025), 0);
    EXPECT_EQ(buf[0], 'z');
    EXPECT_EQ(platform::ProgramPath(buf, 0), 0);
    EXPECT_EQ(platform::ProgramPath(buf, 1024), static_cast<int>(exe.size()));
    EXPECT_EQ(std::string(buf), exe);
    EXPECT_EQ(platform::ProgramPath(buf, 5), 4);
    EXPECT_EQ(std::string(buf), exe.substr(0, 4));
}

TEST(ProcessPath, ExeSuffixFallsBackToTheBareProgram) {
    TempTree tree;
    tree.Write("bin/prog", "");
    tree.Write("bin/other.exe", "");
    const std::string bin = tree.Bin();
    EXPECT_EQ(platform::ResolveProgramFile(bin + "\\prog.exe"), bin + "/prog");
    EXPECT_EQ(platform::ResolveProgramFile("prog.EXE", bin), bin + "/prog");
    EXPECT_EQ(platform::ResolveProgramFile("other.exe", bin), bin + "/other.exe");
    EXPECT_EQ(platform::ResolveProgramFile("none.exe", bin), bin + "/none.exe");
    EXPECT_EQ(platform::ResolveProgramFile("prog"), bin + "/prog");  // the current directory
}

TEST(ProcessTable, TwoCopiesCountAsTwoAndTerminateByName) {
    TempTree tree;
    ProcessSweeper sweeper(tree.Root());
    const std::string name = "qvph" + std::to_string(getpid());
    const std::string prog = CopyProgram(HELPER_PATH, tree.Bin(), name);
    platform::ChildProcess a, b;
    ASSERT_EQ(a.Start({prog, "sleep", "-1"}), 0);
    ASSERT_EQ(b.Start({prog, "sleep", "-1"}), 0);
    EXPECT_EQ(platform::CountProcesses(name), 2);
    EXPECT_EQ(platform::CountProcesses(name + ".exe"), 2);
    EXPECT_EQ(platform::CountProcesses(name + "x"), 0);

    EXPECT_EQ(platform::TerminateProcess(name + ".exe"), 0);
    EXPECT_TRUE(WaitFor([&] { return platform::CountProcesses(name) == 1; }, 3000));
    EXPECT_EQ(platform::TerminateProcess(name), 0);
    // Both were reaped by the waiter: no zombie is left behind.
    EXPECT_TRUE(a.Wait(3000));
    EXPECT_TRUE(b.Wait(3000));
    EXPECT_EQ(a.ExitCode(), 128 + SIGTERM);
    EXPECT_FALSE(platform::IsProcessAlive(a.Pid()));
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(a.Pid())));
    EXPECT_EQ(platform::CountProcesses(name), 0);
    EXPECT_EQ(platform::TerminateProcess(name), 1);
}

TEST(ProcessTable, ShIsNotCountedAsShop) {
    TempTree tree;
    ProcessSweeper sweeper(tree.Root());
    const std::string prog = CopyProgram(HELPER_PATH, tree.Bin(), "sh");
    platform::ChildProcess sh;
    ASSERT_EQ(sh.Start({prog, "sleep", "-1"}), 0);
    std::vector<platform::ProcessEntry> table;
    ASSERT_TRUE(platform::ListProcesses(table));
    bool seen = false;
    for (const auto& p : table)
        seen |= p.pid == sh.Pid() && p.name == "sh" && p.path == prog;
    EXPECT_TRUE(seen);
    EXPECT_GE(platform::CountProcesses("sh.exe"), 1);
    EXPECT_EQ(platform::CountProcesses("shop.exe"), 0);
    EXPECT_EQ(platform::TerminateProcess("shop.exe"), 1);
    EXPECT_TRUE(sh.HasExited() == false);
}

TEST(ProcessStart, DetachedInItsDirectoryWithNothingInherited) {
    TempTree tree;
    ProcessSweeper sweeper(tree.Root());
    std::string work = tree.Path("data");
    platform::ChildProcess child;
    ASSERT_EQ(child.Start({HELPER_PATH, "report", "report.txt", "two words", ""}, work), 0);
    ASSERT_TRUE(child.Wait(5000));
    EXPECT_EQ(child.ExitCode(), 0);
    auto r = ReadReport(work + "/report.txt");
    EXPECT_EQ(r["cwd"], work);
    EXPECT_EQ(r["leader"], "1");
    EXPECT_EQ(r["stdin"], "/dev/null");
    EXPECT_EQ(r["stdout"], "/dev/null");
    EXPECT_EQ(r["stderr"], "/dev/null");
    EXPECT_EQ(r["extra"], "0");
    EXPECT_EQ(r["arg2"], "report.txt");
    EXPECT_EQ(r["arg3"], "two words");
    EXPECT_EQ(r["arg4"], "");
}

TEST(ProcessStart, ExitCodesAndFailures) {
    platform::ChildProcess none;
    EXPECT_EQ(none.ExitCode(), -1);
    platform::ChildProcess exits;
    ASSERT_EQ(exits.Start({HELPER_PATH, "exit", "7"}), 0);
    ASSERT_TRUE(exits.Wait(5000));
    EXPECT_EQ(exits.ExitCode(), 7);

    platform::ChildProcess sleeps;
    ASSERT_EQ(sleeps.Start({HELPER_PATH, "sleep", "-1"}), 0);
    EXPECT_EQ(sleeps.ExitCode(), platform::kStillActive);
    EXPECT_TRUE(platform::TerminatePid(sleeps.Pid()));
    EXPECT_TRUE(sleeps.Wait(3000));

    platform::ChildProcess missing;
    EXPECT_EQ(missing.Start({"/no/such/program"}), ENOENT);
    EXPECT_EQ(missing.Pid(), 0);
    EXPECT_EQ(missing.Start({}), EINVAL);
    EXPECT_EQ(missing.Start({HELPER_PATH}, "/no/such/dir"), ENOENT);
}

TEST(ProcessStart, TerminateEscalatesToKillAfterTheGrace) {
    platform::ChildProcess stubborn;
    ASSERT_EQ(stubborn.Start({HELPER_PATH, "ignore-term"}), 0);
    // Give it time to install its disposition.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(platform::TerminatePid(stubborn.Pid(), 300));
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_GE(ms, 300);
    ASSERT_TRUE(stubborn.Wait(3000));
    EXPECT_EQ(stubborn.ExitCode(), 128 + SIGKILL);
    EXPECT_FALSE(platform::TerminatePid(getpid()));  // never itself
}

TEST(ProcessStart, ShellStartTakesAQuotedProgramAndItsParameters) {
    TempTree tree;
    ProcessSweeper sweeper(tree.Root());
    CopyProgram(HELPER_PATH, tree.Bin(), "my helper");
    const std::string file = "\"" + tree.Bin() + "\\my helper.exe\"";
    ASSERT_EQ(platform::ShellStart("open", file, "report out.txt \"a b\"", tree.Bin()), 0);
    ASSERT_TRUE(WaitFor([&] { return tree.Exists("bin/out.txt"); }, 5000));
    ASSERT_TRUE(WaitFor([&] { return ReadReport(tree.Path("bin/out.txt")).count("arg3"); }, 5000));
    auto r = ReadReport(tree.Path("bin/out.txt"));
    EXPECT_EQ(r["cwd"], tree.Bin());
    EXPECT_EQ(r["arg0"], tree.Bin() + "/my helper");
    EXPECT_EQ(r["arg3"], "a b");

    EXPECT_EQ(platform::ShellStart("print", file, "", tree.Bin()), EINVAL);
    EXPECT_EQ(platform::ShellStart("open", std::string(512, 'a'), "", ""), ENAMETOOLONG);
    EXPECT_EQ(platform::ShellStart("open", file, std::string(512, 'a'), ""), ENAMETOOLONG);
    EXPECT_EQ(platform::ShellStart("open", "\"\"", "", ""), ENOENT);
    EXPECT_EQ(platform::ShellStart("open", "\"/no/such/noxStart.exe\"", "", ""), ENOENT);
}

TEST(Desktop, UserDirsFileIsParsedLikeTheShellReadsIt) {
    struct Case {
        const char* text;
        const char* dir;
    } cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", "/home/u/Bureau"},
        {"# c\nXDG_DESKTOP_DIR=\"/srv/desk/\"\r\n", "/srv/desk"},
        {"XDG_DESKTOP_DIR=\"$HOME\"", "/home/u"},
        {"XDG_DESKTOP_DIR=\"a\"\nXDG_DESKTOP_DIR=\"$HOME/b\"", "/home/u/b"},
        {"XDG_DESKTOP_DIR=\"relative\"", ""},
        {"XDG_DESKTOP_DIR=\"$HOMEX/a\"", ""},
        {"XDG_DESKTOP_DIR=\"$HOME/unclosed", ""},
        {"XDG_DOWNLOAD_DIR=\"$HOME/d\"", ""},
        {"XDG_DESKTOP_DIR=\"$HOME/with \\\"q\\\"\"", "/home/u/with \"q\""},
        {"", ""},
        {"XDG_DESKTOP_DIR=", ""},
        {"XDG_DESKTOP_DIR=\"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::ParseUserDirsDesktop(c.text, "/home/u"), c.dir) << c.text;
}

TEST(Desktop, DirectoryComesFromTheOverrideThenXdgThenHome) {
    TempTree tree;
    std::string saved[4];
    const char* vars[] = {platform::kDesktopDirVariable, "XDG_CONFIG_HOME", "HOME",
                          "XDG_DESKTOP_DIR"};
    bool had[4];
    for (int i = 0; i < 4; ++i) {
        const char* v = std::getenv(vars[i]);
        had[i] = v != nullptr;
        saved[i] = v ? v : "";
        unsetenv(vars[i]);
    }
    setenv("HOME", tree.Root().c_str(), 1);
    EXPECT_EQ(platform::DesktopDirectory(), tree.Root() + "/Desktop");
    setenv("XDG_DESKTOP_DIR", "$HOME/Env", 1);
    EXPECT_EQ(platform::DesktopDirectory(), tree.Root() + "/Env");
    tree.Write("cfg/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    setenv("XDG_CONFIG_HOME", tree.Path("cfg").c_str(), 1);
    EXPECT_EQ(platform::DesktopDirectory(), tree.Root() + "/Schreibtisch");
    setenv(platform::kDesktopDirVariable, "/elsewhere", 1);
    EXPECT_EQ(platform::DesktopDirectory(), "/elsewhere");
    for (int i = 0; i < 4; ++i) {
        if (had[i])
            setenv(vars[i], saved[i].c_str(), 1);
        else
            unsetenv(vars[i]);
    }
}

// The writer that leaves the flush to its caller keeps every other promise of the atomic one.
TEST(Desktop, UnflushedReplaceReplacesOrLeavesTheOldFile) {
    TempTree tree;
    const std::string path = tree.Path("data/file.txt");
    for (const char* text : {"one", "", "three, longer than the others"}) {
        ASSERT_EQ(platform::ReplaceFileUnflushed(path, text, 0600), 0) << text;
        EXPECT_EQ(ReadFile(path), text);
    }
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree.Path("data")),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_NE(platform::ReplaceFileUnflushed(tree.Path("none/file.txt"), "x", 0600), 0);
    EXPECT_EQ(platform::ReplaceFileUnflushed(tree.Path("data/"), "x", 0600), EINVAL);
    EXPECT_EQ(ReadFile(path), "three, longer than the others");
    platform::FlushDirectoryOf(path);  // a directory to flush or none: nothing to report
    platform::FlushDirectoryOf(tree.Path("none/file.txt"));
}

TEST(Desktop, AtomicWriteReplacesOrLeavesTheOldFile) {
    TempTree tree;
    const std::string path = tree.Path("data/file.txt");
    EXPECT_EQ(platform::WriteFileAtomically(path, "one", 0600), 0);
    EXPECT_EQ(platform::WriteFileAtomically(path, "two", 0640), 0);
    EXPECT_EQ(ReadFile(path), "two");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Nothing but the file itself is left in the directory.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(tree.Path("data"))) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_NE(platform::WriteFileAtomically(tree.Path("none/file.txt"), "x", 0600), 0);
    EXPECT_EQ(platform::WriteFileAtomically(tree.Path("data/"), "x", 0600), EINVAL);
    if (geteuid() != 0) {
        std::filesystem::permissions(tree.Path("data"), std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
        EXPECT_NE(platform::WriteFileAtomically(path, "three", 0600), 0);
        EXPECT_EQ(ReadFile(path), "two");
        std::filesystem::permissions(tree.Path("data"), std::filesystem::perms::owner_all);
    }
}

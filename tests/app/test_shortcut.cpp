#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ShortCut.h"
#include "base/Log.h"
#include "base/Text.h"
#include "platform/Desktop.h"
#include "tests/support/TempTree.h"

namespace {

const wchar_t kLink[] = L"C:\\Documents and Settings\\All Users\\Desktop\\Quilvane Setup.lnk";

struct DesktopDir {
    explicit DesktopDir(const std::string& dir) {
        const char* old = std::getenv(platform::kDesktopDirVariable);
        had = old != nullptr;
        saved = old ? old : "";
        setenv(platform::kDesktopDirVariable, dir.c_str(), 1);
    }
    ~DesktopDir() {
        if (had)
            setenv(platform::kDesktopDirVariable, saved.c_str(), 1);
        else
            unsetenv(platform::kDesktopDirVariable);
    }
    bool had;
    std::string saved;
};

// Sets the variables the desktop directory comes from (null: unset) and restores them.
struct DesktopEnvironment {
    explicit DesktopEnvironment(const std::map<std::string, const char*>& values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name.c_str());
            saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            if (value)
                setenv(name.c_str(), value, 1);
            else
                unsetenv(name.c_str());
        }
    }
    ~DesktopEnvironment() {
        for (const auto& [name, value] : saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

int Entries(const std::string& dir) {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

}  // namespace

TEST(ShortCut, WritesTheDesktopEntryAndReplacesItOnTheNextRun) {
    TempTree tree;
    tree.Write("desk/.keep", "");
    std::filesystem::remove(tree.Path("desk/.keep"));
    tree.Write("bin/QuilvaneWizApp", "");
    DesktopDir desktop(tree.Path("desk"));
    CLog log("..\\Log\\", "QV.log", 0, "QuilvaneWizApp", 3, LOG_DEBUG);
    CShortCut shortcut(&log);
    const std::wstring bin = Widen(tree.Bin());

    ASSERT_EQ(shortcut.CreateShortcut(bin + L"\\QuilvaneWizApp.exe", L"Quilvane Setup", kLink, bin),
              0);
    const std::string path = tree.Path("desk/Quilvane Setup.desktop");
    EXPECT_EQ(shortcut.CurrentFile(), path);
    std::string entry = ReadFile(path);
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
    for (const std::string& line :
         {std::string("Type=Application\n"), std::string("Name=Quilvane Setup\n"),
          std::string("Comment=Quilvane Setup\n"), "Exec=\"" + tree.Bin() + "/QuilvaneWizApp\"\n",
          "Path=" + tree.Bin() + "\n"})
        EXPECT_NE(entry.find(line), std::string::npos) << line << entry;
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A second run replaces the entry and leaves nothing else behind.
    ASSERT_EQ(shortcut.CreateShortcut(bin + L"/./QuilvaneWizApp", L"Second run", kLink, bin), 0);
    entry = ReadFile(path);
    EXPECT_NE(entry.find("Comment=Second run\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Exec=\"" + tree.Bin() + "/QuilvaneWizApp\"\n"), std::string::npos);
    EXPECT_EQ(Entries(tree.Path("desk")), 1);

    // A native link path chooses its own directory.
    ASSERT_EQ(shortcut.CreateShortcut(L"QuilvaneWizApp", L"d", Widen(tree.Path("data/x.LNK")), L""),
              0);
    entry = tree.Read("data/x.desktop");
    EXPECT_NE(entry.find("Name=x\n"), std::string::npos);
    EXPECT_EQ(entry.find("Path="), std::string::npos);
}

TEST(ShortCut, FailuresAreLoggedAndReturned) {
    TempTree tree;
    DesktopDir desktop(tree.Path("no-desktop"));
    CLog log("..\\Log\\", "QV.log", 0, "QuilvaneWizApp", 3, LOG_DEBUG);
    CShortCut shortcut(&log);
    const std::wstring bin = Widen(tree.Bin());
    struct Case {
        std::wstring target, description, link, workDir;
        int32_t status;
        const char* line;
    } cases[] = {
        {L"", L"d", kLink, bin, kShortcutFail, "Full path name not found"},
        {bin + L"/a\nb", L"d", kLink, bin, kShortcutInvalidArg, "SetPath failed"},
        {bin + L"/app", L"d", kLink, bin + L"\r", kShortcutInvalidArg,
         "SetWorkingDirectory failed"},
        {bin + L"/app", std::wstring(1025, L'd'), kLink, bin, kShortcutInvalidArg,
         "SetDescription failed"},
        {bin + L"/app", L"d", kLink, bin, ShortcutErrorStatus(ENOENT), "Save failed"},
        {bin + L"/app", L"d", L"C:\\Desktop\\..", bin, kShortcutInvalidArg, "Save failed"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shortcut.CreateShortcut(c.target, c.description, c.link, c.workDir), c.status)
            << c.line;
        EXPECT_LT(c.status, 0);
        EXPECT_NE(tree.Read("Log/1_QV.log")
                      .find(std::string("(ERR) [CShortCut::CreateShortcut] Error : ") + c.line),
                  std::string::npos)
            << c.line << "\n"
            << tree.Read("Log/1_QV.log");
    }
    EXPECT_FALSE(tree.Exists("no-desktop"));
}

TEST(ShortCut, ExecQuotesEveryReservedCharacter) {
    std::string text = DesktopEntryText("N\\a", "line1\nline2", "/opt/a b/$x`y\"z\\w%", "/w\\d");
    EXPECT_NE(text.find("Name=N\\\\a\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Comment=line1\\nline2\n"), std::string::npos);
    EXPECT_NE(text.find("Exec=\"/opt/a b/\\\\$x\\\\`y\\\\\"z\\\\\\\\w%%\"\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("Path=/w\\\\d\n"), std::string::npos);
}

// A fresh account has no desktop folder yet: the entry goes there all the same, the folder made
// below the home; where it cannot be, the ERR line gives the system's reason and the path.
TEST(ShortCut, TheUsersDesktopFolderIsMadeBelowTheHomeOnly) {
    struct Row {
        const char* name;
        const char* home;      // below the tree
        const char* userDirs;  // user-dirs.dirs, null: none
        const char* setup;     // a file to write first, null: none
        const char* desktop;   // where the entry is expected, below the tree
        int err;               // 0: written
    } rows[] = {
        {"default folder", "home", nullptr, nullptr, "home/Desktop", 0},
        {"folders of user-dirs", "home", "XDG_DESKTOP_DIR=\"$HOME/Bureau/Raccourcis\"\n", nullptr,
         "home/Bureau/Raccourcis", 0},
        {"no home", "nohome", nullptr, nullptr, "nohome/Desktop", ENOENT},
        {"a file in the way", "home", nullptr, "home/Desktop", "home/Desktop", ENOTDIR},
        {"out of the home", "home", "XDG_DESKTOP_DIR=\"$HOME/../elsewhere\"\n", nullptr,
         "home/../elsewhere", ENOENT},
        {"outside any home", "home", "XDG_DESKTOP_DIR=\"/nonexistent-qv/Desktop\"\n", nullptr,
         nullptr, ENOENT},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempTree tree;
        tree.Write("bin/QuilvaneWizApp", "");
        if (std::string(row.home) == "home")
            std::filesystem::create_directories(tree.Path("home"));
        if (row.userDirs)
            tree.Write("xdg/user-dirs.dirs", row.userDirs);
        if (row.setup)
            tree.Write(row.setup, "");
        const std::string home = tree.Path(row.home);
        const std::string xdg = tree.Path("xdg");
        DesktopEnvironment env({{platform::kDesktopDirVariable, nullptr},
                                {"HOME", home.c_str()},
                                {"XDG_CONFIG_HOME", xdg.c_str()},
                                {"XDG_DESKTOP_DIR", nullptr}});
        const std::string dir = row.desktop ? tree.Path(row.desktop) : "/nonexistent-qv/Desktop";
        const std::string path = dir + "/Quilvane Setup.desktop";
        CLog log("..\\Log\\", "QV.log", 0, "QuilvaneWizApp", 3, LOG_DEBUG);
        CShortCut shortcut(&log);
        const int32_t status = shortcut.CreateShortcut(Widen(tree.Bin()) + L"/QuilvaneWizApp",
                                                       L"Quilvane Setup", kLink, Widen(tree.Bin()));
        if (row.err == 0) {
            EXPECT_EQ(status, kShortcutOk) << shortcut.LastError();
            EXPECT_EQ(shortcut.CurrentFile(), path);
            EXPECT_TRUE(std::filesystem::is_regular_file(path));
            EXPECT_EQ(shortcut.LastError(), "");
            continue;
        }
        EXPECT_EQ(status, ShortcutErrorStatus(row.err));
        const std::string reason =
            std::string("Save failed: ") + std::strerror(row.err) + " (" + path + ")";
        EXPECT_EQ(shortcut.LastError(), reason);
        const std::string written = tree.Exists("Log/1_QV.log") ? tree.Read("Log/1_QV.log") : "";
        EXPECT_NE(written.find("(ERR) [CShortCut::CreateShortcut] Error : " + reason),
                  std::string::npos)
            << written;
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_FALSE(tree.Exists("elsewhere"));
        EXPECT_FALSE(tree.Exists("nohome"));
    }
}

// The point-of-service record when its storage fails during a write, or when the plug-in dies
// inside RequestService: the record is never half written, and the log says what happened.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/Log.h"
#include "base/Text.h"
#include "clients/PointServiceClient.h"
#include "tests/support/FaultSupport.h"
#include "tests/support/TempTree.h"

namespace fs = std::filesystem;

namespace {

constexpr char kDatabase[] = "data/LMQPointService.db";

struct Bound {
    Bound() {
        client.SetLibraryPath(Widen(POINT_PLUGIN));
        CLog log("..\\Log\\", "QV.log", 3072, "QVApp", 3, LOG_DEBUG);
        client.SetLogSettingsFrom(log, pointservice::kModuleName);
    }
    PointServiceClient client;
};

int Write(const char* field, std::wstring_view value) {
    Bound b;
    return b.client.WriteDataPoint(field, value);
}

std::wstring Read(const char* field) {
    Bound b;
    std::wstring value;
    EXPECT_EQ(b.client.ReadDataPoint(field, value), 0) << Narrow(b.client.GetLastMessage());
    return value;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const char kFailedWrite[] =
    "[PointServicePlugin]  (ERR) WriteDataPointService failed (6): Storage failure: ";

}  // namespace

TEST(PointServiceFaults, AReadOnlyStoreRefusesTheWriteAndKeepsTheRecord) {
    TempTree tree;
    SmallTmpfs data(tree.Path("data"), 1024);
    if (!data.Mounted() && geteuid() == 0)
        GTEST_SKIP() << "root without mount: file modes do not bind";
    ASSERT_EQ(Write("CodeClient", L"before"), 0);
    if (data.Mounted()) {
        ASSERT_TRUE(data.SetReadOnly(true));
    } else {
        fs::permissions(tree.Path(kDatabase), fs::perms::owner_read);
        fs::permissions(tree.Path("data"), fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_EQ(Write("CodeClient", L"after"), 6);
    EXPECT_EQ(Read("CodeClient"), L"before");
    std::string log = tree.Read("Log/1_QV.log");
    EXPECT_EQ(Count(log, kFailedWrite), 1u) << log;
    EXPECT_NE(log.find("readonly database\r\n"), std::string::npos) << log;
    if (!data.Mounted()) {
        fs::permissions(tree.Path("data"), fs::perms::owner_all);
        fs::permissions(tree.Path(kDatabase), fs::perms::owner_read | fs::perms::owner_write);
    }
}

TEST(PointServiceFaults, AFullDiskDuringAWriteKeepsTheRecord) {
    TempTree tree;
    SmallTmpfs data(tree.Path("data"), 256);
    ASSERT_EQ(Write("CodeClient", L"before"), 0);
    ASSERT_EQ(Write("Ville", L"Nantes"), 0);
    const std::wstring big(1000, L'v');
    if (data.Mounted()) {
        data.Fill();
        EXPECT_EQ(Write("Adresse", big), 6);
        data.Drain();
    } else {
        // No file system of our own: the child's files may not grow past 1 KB, so the write's
        // journal cannot be written, as on a full disk.
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{1024, 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
            _exit(Write("Adresse", big));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 6);
    }
    EXPECT_EQ(Read("CodeClient"), L"before");
    EXPECT_EQ(Read("Ville"), L"Nantes");
    EXPECT_EQ(Read("Adresse"), L"");
    EXPECT_EQ(Count(tree.Read("Log/1_QV.log"), kFailedWrite), 1u) << tree.Read("Log/1_QV.log");
    // Room again: the next write goes through.
    EXPECT_EQ(Write("Adresse", big), 0);
    EXPECT_EQ(Read("Adresse"), big);
}

namespace {

int gFault = 0;

// Inside the plug-in's COMMIT, the journal written: the plug-in crashes or hangs there.
int FailInCommit(void*) {
    if (gFault == SIGSEGV)
        raise(SIGSEGV);
    for (;;)
        pause();
    return 0;
}

int InstallFault(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_commit_hook(db, &FailInCommit, nullptr);
    return SQLITE_OK;
}

}  // namespace

// A plug-in that crashes (SIGSEGV) or hangs inside RequestService cannot be survived in the
// process that called it; run in a child, it shows what is left: the record as it was before,
// and a log that names the call that never ended.
TEST(PointServiceFaults, APluginThatCrashesOrHangsInsideAWriteLeavesTheRecordWhole) {
    for (int fault : {SIGSEGV, SIGKILL}) {
        SCOPED_TRACE(fault == SIGSEGV ? "crash" : "hang, then killed");
        TempTree tree;
        ASSERT_EQ(Write("LanguePays", L"itIT"), 0);
        ASSERT_EQ(Write("CodeClient", L"old code"), 0);
        std::wstring time = Read("HeureModif");

        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGSEGV, SIG_DFL);  // no sanitizer report: the crash is the point
            gFault = fault;
            sqlite3_auto_extension(reinterpret_cast<void (*)()>(&InstallFault));
            Bound b;
            b.client.WriteLanguePays(L"ja", L"JP");
            _exit(3);
        }
        if (fault == SIGKILL) {
            usleep(300 * 1000);  // the time a watchdog would give it
            kill(child, SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), fault);

        std::string log = tree.Read("Log/1_QV.log");
        EXPECT_EQ(Count(log, "(DEBUG) Request WriteDataPointService sent to "), 3u) << log;
        EXPECT_EQ(Count(log, "(DEBUG) Call RequestService WriteDataPointService"), 3u) << log;
        EXPECT_EQ(Count(log, "End RequestService WriteDataPointService"), 2u) << log;
        EXPECT_EQ(Read("Langue"), L"it");
        EXPECT_EQ(Read("Pays"), L"IT");
        EXPECT_EQ(Read("CodeClient"), L"old code");
        EXPECT_EQ(Read("HeureModif"), time);
        ASSERT_EQ(Write("LanguePays", L"esES"), 0);
        EXPECT_EQ(Read("Pays"), L"ES");
    }
}

TEST(PointServiceFaults, TheDatabaseAndItsJournalAreOwnerOnly) {
    TempTree tree;
    mode_t old = umask(0);
    EXPECT_EQ(Write("CodeClient", L"x"), 0);
    umask(old);
    struct stat st {};
    ASSERT_EQ(stat(tree.Path(kDatabase).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// An installed tree keeps data/ as a link to /var/lib: a linked folder is followed, and the
// record lands (owner-only) in the folder it names.
TEST(PointServiceFaults, ALinkedDataFolderIsFollowed) {
    TempTree tree;
    fs::create_directory(tree.Path("var-lib"));
    fs::remove_all(tree.Path("data"));
    fs::create_directory_symlink(tree.Path("var-lib"), tree.Path("data"));
    EXPECT_EQ(Write("CodeClient", L"linked"), 0);
    struct stat st {};
    ASSERT_EQ(lstat(tree.Path("var-lib/LMQPointService.db").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // The file itself as a link stays refused behind a linked folder too.
    fs::remove(tree.Path("var-lib/LMQPointService.db"));
    fs::create_symlink(tree.Path("outside.db"), tree.Path("var-lib/LMQPointService.db"));
    EXPECT_EQ(Write("CodeClient", L"leaked"), 6);
    EXPECT_FALSE(fs::exists(tree.Path("outside.db")));
}

// A database that is a link, a FIFO or a directory is refused: the record is never written to
// a file outside the tree, and nothing waits on a FIFO.
TEST(PointServiceFaults, ADatabaseThatIsNotARegularFileIsRefused) {
    TempTree tree;
    const std::string outside = tree.Path("outside.db");
    struct Row {
        const char* name;
        std::function<void(const std::string&)> make;
    } rows[] = {
        {"link", [&](const std::string& p) { fs::create_symlink(outside, p); }},
        {"dangling link", [&](const std::string& p) { fs::create_symlink(outside + ".none", p); }},
        {"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
        {"directory", [](const std::string& p) { fs::create_directory(p); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(tree.Path(kDatabase));
        std::ofstream(outside, std::ios::trunc) << "";
        row.make(tree.Path(kDatabase));
        EXPECT_EQ(Write("CodeClient", L"leaked"), 6);
        EXPECT_EQ(fs::file_size(outside), 0u);
        EXPECT_FALSE(fs::exists(outside + ".none"));
    }
    EXPECT_NE(tree.Read("Log/1_QV.log").find("it is a symbolic link"), std::string::npos);
    EXPECT_NE(tree.Read("Log/1_QV.log").find("not a regular file"), std::string::npos);
}

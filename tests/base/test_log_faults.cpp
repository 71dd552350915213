// The logger when its directory is missing, read-only or full: the run goes on, what was
// written stays whole, and the failure is said once (never once per line).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/Log.h"
#include "tests/support/FaultSupport.h"
#include "tests/support/TempTree.h"

namespace fs = std::filesystem;

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Every line of a log file is whole: time stamp, tag, level, text, CR LF. A file cut by a
// full disk may end in one partial line; full lines counts the whole ones.
void ExpectWholeLines(const std::string& file, size_t* fullLines) {
    size_t begin = 0;
    *fullLines = 0;
    while (begin < file.size()) {
        size_t end = file.find("\r\n", begin);
        if (end == std::string::npos)
            break;  // the partial last line
        std::string line = file.substr(begin, end - begin);
        EXPECT_NE(line.find("[Fault]  (INFO) line "), std::string::npos) << line;
        ++*fullLines;
        begin = end + 2;
    }
}

}  // namespace

TEST(LogFaults, AMissingOrReadOnlyDirectoryIsToldOnceAndTheRunGoesOn) {
    struct Row {
        const char* name;
        bool needsMount;
    };
    for (Row row : {Row{"missing", false}, Row{"read-only", true}}) {
        SCOPED_TRACE(row.name);
        TempTree tree;
        std::unique_ptr<SmallTmpfs> fsys;
        if (row.needsMount) {
            fs::create_directories(tree.Path("ro"));
            fsys = std::make_unique<SmallTmpfs>(tree.Path("ro"), 64);
            if (fsys->Mounted()) {
                ASSERT_TRUE(fsys->SetReadOnly(true));
            } else if (geteuid() != 0) {
                fs::permissions(tree.Path("ro"), fs::perms::owner_read | fs::perms::owner_exec);
            } else {
                continue;  // root without mount: file modes do not bind, nothing to show
            }
        }
        testing::internal::CaptureStderr();
        {
            CLog log(row.needsMount ? "..\\ro\\" : "..\\NoSuchDir\\", "QV.log", 3072, "Fault", 3,
                     LOG_DEBUG);
            for (int i = 0; i < 50; ++i)
                log.Info("line " + std::to_string(i));
        }
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(Count(err, "Log: Unable to open Log file for writing ["), 1u) << err;
        EXPECT_EQ(Count(err, "\n"), 1u) << err;
        if (row.needsMount && !fsys->Mounted())
            fs::permissions(tree.Path("ro"), fs::perms::owner_all);
    }
}

TEST(LogFaults, AFullDiskKeepsTheWrittenLinesAndSaysSoOnce) {
    TempTree tree;
    fs::create_directories(tree.Path("full"));
    SmallTmpfs fsys(tree.Path("full"), 64);
    std::string logFile;
    if (!fsys.Mounted()) {
        // Without a file system of our own, writes fail the same way on /dev/full.
        fs::create_symlink("/dev/full", tree.Path("full/1_QV.log"));
    }
    testing::internal::CaptureStderr();
    {
        CLog log("..\\full\\", "QV.log", 3072, "Fault", 1, LOG_DEBUG);
        for (int i = 0; i < 3000; ++i)
            log.Info("line " + std::to_string(i) + " " + std::string(40, 'x'));
    }
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(err, "Log: cannot write to ..\\full\\1_QV.log"), 1u) << err;
    EXPECT_EQ(Count(err, "No space left on device"), 1u) << err;
    EXPECT_EQ(Count(err, "\n"), 1u) << err;
    if (fsys.Mounted()) {
        size_t lines = 0;
        ExpectWholeLines(tree.Read("full/1_QV.log"), &lines);
        EXPECT_GT(lines, 500u);  // everything before the disk filled
        EXPECT_LT(lines, 3000u);
    }
}

TEST(LogFaults, LogFilesAreOwnerOnlyWhateverTheUmask) {
    TempTree tree;
    mode_t old = umask(0);
    {
        CLog log("..\\Log\\", "QV.log", 1, "Fault", 2, LOG_DEBUG);
        for (int i = 0; i < 40; ++i)  // past the first file's 1 KB: the second is made too
            log.Info("line " + std::to_string(i));
    }
    umask(old);
    for (const char* name : {"Log/1_QV.log", "Log/2_QV.log"}) {
        struct stat st {};
        ASSERT_EQ(stat(tree.Path(name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

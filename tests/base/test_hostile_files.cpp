// Every reader of the tree refuses what is not a regular file, at once and within a memory cap:
// a FIFO nobody writes to, a link to /dev/zero, a directory, a file over the reader's limit.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/DelimitedFile.h"
#include "base/Log.h"
#include "base/Profile.h"
#include "base/XmlDocument.h"
#include "platform/Files.h"
#include "services/Translator.h"
#include "xmlgui/DlgTemplate.h"

namespace fs = std::filesystem;

namespace {

struct Reader {
    const char* name;
    // True when the reader took the file as readable.
    std::function<bool(const std::string& path)> reads;
};

const Reader kReaders[] = {
    {"xml document",
     [](const std::string& p) {
         XmlPlatform platform;
         std::string error;
         return XmlDocument::ParseFile(p, &error) != nullptr;
     }},
    {"translations",
     [](const std::string& p) {
         ZFQTranslator translator(p);
         return translator.LoadLanguage("en") >= 0;
     }},
    {"delimited file",
     [](const std::string& p) {
         CDelimitedFile file;
         return file.ReadFile(p, READ_AS_STRING);
     }},
    {"profile", [](const std::string& p) { return ListProfile(p).has_value(); }},
    {"dialog",
     [](const std::string& p) {
         xmlgui::CDlgTemplate dialog;
         return dialog.SerializeFrom(p) != 0;
     }},
    {"log",
     [](const std::string& p) {
         CLogFile log(p, 1);
         return log.IsOpen();
     }},
};

class HostileFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qv_hostile_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs every reader on path in a child with an address-space cap and a time limit; a hang,
    // a crash or the memory running out fails the row.
    void ExpectRefusedByAll(const std::string& path) {
        for (const Reader& r : kReaders) {
            SCOPED_TRACE(r.name);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__)
                rlimit cap{1u << 30, 1u << 30};
                setrlimit(RLIMIT_AS, &cap);
#endif
                alarm(10);
                _exit(r.reads(path) ? 1 : 0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
            EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "read " << path;
        }
    }

    fs::path dir_;
};

TEST_F(HostileFiles, AFifoIsRefusedWithoutWaitingForAWriter) {
    const std::string path = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    ExpectRefusedByAll(path);
}

TEST_F(HostileFiles, ALinkToAnEndlessDeviceIsRefused) {
    const fs::path path = dir_ / "zero";
    fs::create_symlink("/dev/zero", path);
    ExpectRefusedByAll(path.string());
}

TEST_F(HostileFiles, ADirectoryIsRefused) {
    ExpectRefusedByAll(dir_.string());
}

TEST_F(HostileFiles, ReadRegularFileTellsWhyAndKeepsToItsLimit) {
    const std::string file = (dir_ / "file").string();
    std::ofstream(file) << "0123456789";
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = (dir_ / "link").string();
    fs::create_symlink(file, link);
    struct Row {
        std::string path;
        size_t max;
        platform::FileLinks links;
        bool read;
        const char* reason;
    } rows[] = {
        {file, 10, platform::FileLinks::Follow, true, ""},
        {file, 9, platform::FileLinks::Follow, false, "larger than 9 bytes"},
        {fifo, 100, platform::FileLinks::Follow, false, "is not a regular file"},
        {"/dev/zero", 100, platform::FileLinks::Follow, false, "is not a regular file"},
        {dir_.string(), 100, platform::FileLinks::Follow, false, "is a directory"},
        {link, 100, platform::FileLinks::Follow, true, ""},
        {link, 100, platform::FileLinks::Refuse, false, "is a symbolic link"},
        {(dir_ / "missing").string(), 100, platform::FileLinks::Follow, false, "cannot open"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path + " max " + std::to_string(row.max));
        std::string bytes = "old", error;
        EXPECT_EQ(platform::ReadRegularFile(row.path, row.max, &bytes, &error, row.links),
                  row.read);
        EXPECT_EQ(bytes, row.read ? "0123456789" : "");
        EXPECT_NE(error.find(row.reason), std::string::npos) << error;
    }
}

TEST_F(HostileFiles, AppendRefusesLinksFifosAndDevices) {
    const std::string outside = (dir_ / "outside").string();
    std::ofstream(outside) << "";
    fs::create_symlink(outside, dir_ / "log");
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {(dir_ / "log").string(), fifo, std::string("/dev/null")}) {
        std::string error;
        EXPECT_LT(platform::OpenForAppend(path, 0600, &error), 0) << path;
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    const int fd = platform::OpenForAppend((dir_ / "new").string(), 0600, &error);
    ASSERT_GE(fd, 0) << error;
    struct stat st {};
    ASSERT_EQ(fstat(fd, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    close(fd);
}

}  // namespace

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "base/Log.h"
#include "platform/MessageBox.h"
#include "tests/support/TempTree.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t e = text.find("\r\n", pos);
        if (e == std::string::npos) {
            out.push_back(text.substr(pos));
            break;
        }
        out.push_back(text.substr(pos, e - pos));
        pos = e + 2;
    }
    return out;
}

std::unique_ptr<CLog> MakeLog(const std::string& tag, uint32_t level, int32_t sizeKb = 3072) {
    return std::make_unique<CLog>("..\\Log\\", "QV.log", sizeKb, tag, 3, level);
}

int g_boxes = 0;
void CountBox(const std::string&, const std::string&) {
    ++g_boxes;
}

}  // namespace

TEST(Log, LineFormatByteForByte) {
    TempTree tree;
    MakeLog("QVApp", 7)->Debug("Init Log");
    std::string text = tree.Read("Log/1_QV.log");
    EXPECT_TRUE(std::regex_match(
        text, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d  \[QVApp\]  \(DEBUG\) Init Log\r\n)")))
        << text;
}

TEST(Log, WideTextIsWrittenAsUtf8) {
    TempTree tree;
    MakeLog("CAutomate", 7)->Info(L"%d \u00e9tats dans l'automate");
    std::string text = tree.Read("Log/1_QV.log");
    EXPECT_NE(text.find("(INFO) %d \xC3\xA9tats dans l'automate\r\n"), std::string::npos) << text;
}

TEST(Log, LevelFiltering) {
    const char* names[] = {"EMERG", "ALERT", "CRIT", "ERR", "WARNING", "NOTICE", "INFO", "DEBUG"};
    for (uint32_t level = 0; level <= 8; ++level) {
        TempTree tree;
        {
            auto log = MakeLog("T", level);
            log->Emerg("m");
            log->Alert("m");
            log->Crit("m");
            log->Err("m");
            log->Warning("m");
            log->Notice("m");
            log->Info("m");
            log->Debug("m");
        }
        auto lines = Lines(tree.Read("Log/1_QV.log"));
        ASSERT_EQ(lines.size(), std::min<size_t>(level + 1, 8)) << "level " << level;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_NE(lines[i].find(std::string("(") + names[i] + ") m"), std::string::npos);
        }
    }
}

TEST(Log, LongLineIsCutAt1024BytesKeepingItsLineEnd) {
    TempTree tree;
    {
        auto log = MakeLog("T", 7);
        log->Debug(std::string(3000, 'x'));
        log->Debug("next");
    }
    auto lines = Lines(tree.Read("Log/1_QV.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size() + 2, CLog::kMaxLineBytes);
    EXPECT_NE(lines[1].find("(DEBUG) next"), std::string::npos);
}

TEST(Log, CutNeverSplitsACharacter) {
    std::string multi;
    for (int i = 0; i < 700; ++i)
        multi += "\xC3\xA9";
    TempTree tree2;
    MakeLog("T", 7)->Debug(multi);
    std::string line = Lines(tree2.Read("Log/1_QV.log"))[0];
    size_t body = line.find(") ") + 2;
    EXPECT_EQ((line.size() - body) % 2, 0u);
}

TEST(Log, RotationGoesRoundTheSet) {
    TempTree tree;
    // 1 KB files: a 600-byte line fills a file in two writes.
    auto log = MakeLog("T", 7, 1);
    std::vector<uint32_t> indexes;
    for (int i = 0; i < 8; ++i) {
        log->Debug(std::string(600, 'a' + i));
        indexes.push_back(log->CurrentIndex());
    }
    EXPECT_EQ(indexes, (std::vector<uint32_t>{1, 2, 2, 3, 3, 1, 1, 2}));
    // File 1 was emptied when rotation came back to it full: it holds g and h only.
    auto lines = Lines(tree.Read("Log/1_QV.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].back(), 'g');
    EXPECT_EQ(lines[1].back(), 'h');
}

TEST(Log, SizeLimitZeroMeans1000Kb) {
    TempTree tree;
    tree.Write("Log/1_QV.log", std::string(1000 * 1024 - 10, 'z'));
    auto log = MakeLog("T", 7, 0);
    log->Debug("fills it");
    EXPECT_EQ(log->CurrentIndex(), 2u);
}

TEST(Log, NewLoggerSkipsFullFilesWithoutEmptyingThem) {
    TempTree tree;
    tree.Write("Log/1_QV.log", std::string(2048, 'o'));
    auto log = MakeLog("T", 7, 2);
    log->Debug("first");
    EXPECT_EQ(tree.Read("Log/1_QV.log").size(), 2048u);
    EXPECT_NE(tree.Read("Log/2_QV.log").find("first"), std::string::npos);
}

TEST(Log, FillingFile2WithFile3FullFromEarlierRunEmptiesFile3) {
    TempTree tree;
    tree.Write("Log/1_QV.log", std::string(2048, 'o'));
    tree.Write("Log/3_QV.log", std::string(2048, 'o'));
    auto log = MakeLog("T", 7, 2);
    log->Debug(std::string(1500, 'a'));  // into file 2
    log->Debug(std::string(1500, 'b'));  // fills file 2, rotation lands on full file 3
    EXPECT_EQ(tree.Read("Log/3_QV.log").size(), 0u);
    log->Debug("after");
    auto lines = Lines(tree.Read("Log/3_QV.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("after"), std::string::npos);
}

TEST(Log, TwoLoggersShareTheFileSetLineByLine) {
    TempTree tree;
    auto a = MakeLog("A", 7);
    auto b = MakeLog("B", 7);
    for (int i = 0; i < 50; ++i) {
        a->Debug("from a " + std::to_string(i));
        b->Debug("from b " + std::to_string(i));
    }
    auto lines = Lines(tree.Read("Log/1_QV.log"));
    ASSERT_EQ(lines.size(), 100u);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string want =
            (i % 2 == 0 ? "[A]  (DEBUG) from a " : "[B]  (DEBUG) from b ") + std::to_string(i / 2);
        EXPECT_NE(lines[i].find(want), std::string::npos) << lines[i];
    }
}

TEST(Log, EmptyBaseNameWritesNothing) {
    TempTree tree;
    {
        CLog log("..\\Log\\", "", 3072, "T", 3, 7);
        log.Emerg("never");
    }
    EXPECT_TRUE(tree.Exists("Log/1_"));
    EXPECT_EQ(tree.Read("Log/1_").size(), 0u);
}

TEST(Log, TheQuietLoggerOpensNothingAndWritesNothing) {
    TempTree tree;
    g_boxes = 0;
    auto previous = platform::SetMessageBoxHook(&CountBox);
    CLog& quiet = CLog::Quiet();
    for (unsigned level = LOG_EMERG; level <= LOG_DEBUG; ++level)
        quiet.Write(level, "never");
    quiet.Err(L"never");
    platform::SetMessageBoxHook(previous);
    EXPECT_EQ(&quiet, &CLog::Quiet());
    EXPECT_EQ(g_boxes, 0);
    for (const char* file : {"bin/1_", "Log/1_", "1_"})
        EXPECT_FALSE(tree.Exists(file)) << file;
}

TEST(Log, MissingDirectoryDropsLinesAndWarnsOnce) {
    TempTree tree;
    g_boxes = 0;
    auto previous = platform::SetMessageBoxHook(&CountBox);
    {
        CLog log("..\\NoSuchDir\\", "QV.log", 3072, "T", 3, 7);
        for (int i = 0; i < 20; ++i)
            log.Debug("dropped");
    }
    platform::SetMessageBoxHook(previous);
    EXPECT_EQ(g_boxes, 1);
}

TEST(Log, ReadOnlyDirectoryDoesNotHang) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    TempTree tree;
    chmod(tree.Path("Log").c_str(), 0500);
    auto previous = platform::SetMessageBoxHook(&CountBox);
    MakeLog("T", 7)->Debug("dropped");
    platform::SetMessageBoxHook(previous);
    chmod(tree.Path("Log").c_str(), 0700);
}

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "automate/AutomateContext.h"
#include "tests/support/TempTree.h"

namespace {

class ContextTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(ctx.Initialize(), 0); }
    void TearDown() override { ctx.ReleaseValues(); }
    void Load(const std::string& contextSection) {
        tree.Write("config/QV/QV_automate.ini", "[CONTEXT]\n" + contextSection);
        result = ctx.LoadContext("..\\config\\QV\\QV_automate.ini");
    }
    std::string LogText() { return tree.Read("Log/1_QV.log"); }

    TempTree tree;
    CAutomateContext ctx{"QV.log", 7};
    int result = 0;
};

}  // namespace

TEST_F(ContextTest, OccurrencesAcrossAMultiCountLine) {
    Load("1=LastEvent:INT:1\n2=Field:STRING:3\n");
    EXPECT_EQ(result, 0);
    ASSERT_EQ(ctx.Count(), 4);
    EXPECT_EQ(ctx.SetString("Field", 3, "third"), 0);
    char buf[200] = "";
    EXPECT_EQ(ctx.GetString("Field", 3, buf), 3);
    EXPECT_STREQ(buf, "third");
    EXPECT_EQ(ctx.GetString("Field", 1, buf), 1);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(ctx.GetString("Field", 4, buf), -1);
    EXPECT_NE(LogText().find("(INFO) Get string : Field Not Found"), std::string::npos);
    EXPECT_NE(LogText().find("(INFO) Add Properties : Field Type : STRING Nombre : 3"),
              std::string::npos);
}

TEST_F(ContextTest, DefinitionEndsAtAtSignOrMissingKey) {
    Load("1=A:INT:1\n2=@end:INT:1\n3=B:INT:1\n");
    EXPECT_EQ(ctx.Count(), 1);
    ContextTest::TearDown();
    ctx.Initialize();
    Load("1=A:INT:1\n3=B:INT:1\n");
    EXPECT_EQ(ctx.Count(), 1);
}

TEST_F(ContextTest, DefinitionFieldsAndDecisions) {
    struct Row {
        const char* line;
        int count;   // properties added
        int result;  // LoadContext result
        int32_t size;
    };
    const Row rows[] = {
        {"1=A:INT:2", 2, 0, 4},
        {"1=A:LONG:1:ignored:too", 1, 0, 4},
        {"1=A:PTR:1", 1, 0, static_cast<int32_t>(sizeof(void*))},
        {"1=A:VOID:1", 1, 0, 800},
        {"1=A:int:1", 0, -1, 0},    // type names are case-sensitive
        {"1=A:FLOAT:1", 0, -1, 0},  // unknown type refused
        {"1=A:INT:0", 0, 0, 0},     // a count below 1 adds nothing
        {"1=A:INT:-3", 0, 0, 0},
        {"1=A:INT:2x", 2, 0, 4},  // atoi
        {"1=", 0, -1, 0},
    };
    for (const Row& r : rows) {
        ctx.ReleaseValues();
        ctx.Initialize();
        Load(std::string(r.line) + "\n");
        EXPECT_EQ(ctx.Count(), r.count) << r.line;
        EXPECT_EQ(result, r.result) << r.line;
        if (r.count > 0) {
            EXPECT_EQ(ctx.GetImage()->sizes[0], r.size) << r.line;
        }
    }
    EXPECT_NE(LogText().find("(WARNING) Unknown property type : FLOAT"), std::string::npos);
}

TEST_F(ContextTest, UnknownTypeStopsLoading) {
    Load("1=A:INT:1\n2=B:BOOL:1\n3=C:INT:1\n");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ctx.Count(), 1);
}

TEST_F(ContextTest, TableHolds400Properties) {
    Load("1=A:VOID:399\n2=B:INT:1\n3=C:INT:1\n");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ctx.Count(), 400);
    int32_t v = 7;
    EXPECT_EQ(ctx.SetInt("B", 1, 42), 0);
    EXPECT_EQ(ctx.GetInt("B", 1, &v), 399);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(ctx.addPropertiesContext("D", "INT", 1), -1);
    EXPECT_EQ(ctx.Count(), 400);
}

TEST_F(ContextTest, PartialLineWhenTableFills) {
    Load("1=A:INT:398\n2=B:STRING:5\n");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ctx.Count(), 400);
    char buf[200];
    EXPECT_EQ(ctx.GetString("B", 2, buf), 399);
    EXPECT_EQ(ctx.GetString("B", 3, buf), -1);
}

TEST_F(ContextTest, VoidIs800BytesAndZeroAtCreation) {
    Load("1=Blob:VOID:1\n2=I:INT:1\n");
    unsigned char out[800];
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(ctx.GetVoid("Blob", 1, out), 0);
    for (unsigned char b : out)
        ASSERT_EQ(b, 0);
    unsigned char in[800];
    for (int i = 0; i < 800; ++i)
        in[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(ctx.SetVoid("Blob", 1, in), 0);
    EXPECT_EQ(ctx.GetVoid("Blob", 1, out), 0);
    EXPECT_EQ(std::memcmp(in, out, 800), 0);
    // The neighbour was not touched.
    int32_t i = -1;
    ctx.GetInt("I", 1, &i);
    EXPECT_EQ(i, 0);
}

TEST_F(ContextTest, TypesAreNotCheckedByAccessors) {
    Load("1=S:STRING:1\n");
    EXPECT_EQ(ctx.SetInt("S", 1, 0x41424344), 0);
    char buf[200];
    ctx.GetString("S", 1, buf);
    EXPECT_STREQ(buf, "DCBA");
}

TEST_F(ContextTest, StringLimits) {
    Load("1=S:STRING:1\n2=After:INT:1\n");
    std::string t199(199, 'a');
    EXPECT_EQ(ctx.SetString("S", 1, t199.c_str()), 0);
    char buf[200];
    ctx.GetString("S", 1, buf);
    EXPECT_EQ(std::string(buf), t199);
    std::string t500(500, 'b');
    EXPECT_EQ(ctx.SetString("S", 1, t500.c_str()), 0);
    ctx.GetString("S", 1, buf);
    EXPECT_EQ(std::string(buf), std::string(199, 'b'));
    int32_t after = -1;
    ctx.GetInt("After", 1, &after);
    EXPECT_EQ(after, 0);
}

TEST_F(ContextTest, LongNamesAreCutTo199) {
    std::string name(250, 'n');
    Load("1=" + name + ":INT:1\n");
    ASSERT_EQ(ctx.Count(), 1);
    EXPECT_EQ(std::strlen(ctx.GetImage()->names[0]), 199u);
    EXPECT_EQ(ctx.SetInt(name.substr(0, 199).c_str(), 1, 5), 0);
}

TEST_F(ContextTest, NotFoundLinesAndOutArgumentKept) {
    Load("1=A:INT:1\n2=B:INT:1\n");
    EXPECT_EQ(ctx.SetInt("Nope", 1, 1), -1);
    int32_t v = 99;
    EXPECT_EQ(ctx.GetInt("Nope", 1, &v), -1);
    EXPECT_EQ(v, 99);
    EXPECT_EQ(ctx.GetPtr("Nope", 1), nullptr);
    std::string log = LogText();
    EXPECT_NE(log.find("(DEBUG) Set [Nope] INT = 1"), std::string::npos);
    EXPECT_NE(log.find("(DEBUG) Not Found Nb handle 2"), std::string::npos);
    EXPECT_NE(log.find("(DEBUG) Get int Properties : Nope not found"), std::string::npos);
}

TEST_F(ContextTest, SetImageMakesTwoObjectsShareValues) {
    Load("1=LastEvent:INT:1\n2=Gui:STRING:1\n");
    CAutomateContext gui("QV.log", 7);
    EXPECT_EQ(gui.SetImage(ctx.GetImage()), 0);
    EXPECT_EQ(gui.SetInt("LastEvent", 1, 4), 0);
    int32_t e = 0;
    EXPECT_EQ(ctx.GetInt("LastEvent", 1, &e), 0);
    EXPECT_EQ(e, 4);
    ctx.SetString("Gui", 1, "Language");
    char buf[200];
    gui.GetString("Gui", 1, buf);
    EXPECT_STREQ(buf, "Language");
}

TEST_F(ContextTest, WideTextInVoid) {
    Load("1=W:VOID:1\n");
    std::wstring text = L"\u00e9t\u00e9 \U0001F600";
    EXPECT_EQ(ctx.SetWide("W", 1, text), 0);
    std::wstring back;
    EXPECT_EQ(ctx.GetWide("W", 1, &back), 0);
    EXPECT_EQ(back, text);
    // 399 code units at most: the terminator always fits.
    EXPECT_EQ(ctx.SetWide("W", 1, std::wstring(1000, L'x')), 0);
    ctx.GetWide("W", 1, &back);
    EXPECT_EQ(back.size(), 399u);
    unsigned char raw[800];
    ctx.GetVoid("W", 1, raw);
    EXPECT_EQ(raw[798], 0);
    EXPECT_EQ(raw[799], 0);
}

TEST_F(ContextTest, DumpPropertiesLogsEachOne) {
    Load("1=Gui:STRING:2\n");
    EXPECT_EQ(ctx.DumpProperties(), 2);
    EXPECT_NE(LogText().find("(DEBUG) Index 1 Name: Gui longueur :3"), std::string::npos);
}

TEST(ContextImage, LayoutOfThisBuild) {
    EXPECT_EQ(sizeof(ContextImage), sizeof(void*) == 8 ? 84820u : 83212u);
}

#include <gtest/gtest.h>

#include <cstring>

#include "automate/AutomateContext.h"
#include "tests/support/TempTree.h"

extern "C" int qv_c_check(QvContextImage* image);

TEST(SdkC, HelpersReadAndWriteWhatCppWrote) {
    TempTree tree;
    tree.Write("config/a.ini",
               "[CONTEXT]\n1=LastEvent:INT:1\n2=Field:STRING:2\n3=Gui:STRING:1\n"
               "4=Message:VOID:1\n");
    CAutomateContext ctx("QV.log", 7);
    ctx.Initialize();
    ASSERT_EQ(ctx.LoadContext("..\\config\\a.ini"), 0);
    ctx.SetInt("LastEvent", 1, 7);
    ctx.SetString("Field", 2, "second");
    ctx.SetWide("Message", 1, L"caf\u00e9 \U0001F600");

    ASSERT_EQ(qv_c_check(ctx.GetImage()), 0);

    int32_t e = 0;
    ctx.GetInt("LastEvent", 1, &e);
    EXPECT_EQ(e, -1);
    char buf[200];
    ctx.GetString("Gui", 1, buf);
    EXPECT_STREQ(buf, "Language");
    std::wstring w;
    ctx.GetWide("Message", 1, &w);
    EXPECT_EQ(w, L"\u00e0 bient\u00f4t");
    // UTF-16LE on the wire: the emoji took a surrogate pair before it was replaced.
    unsigned char raw[800];
    ctx.GetVoid("Message", 1, raw);
    EXPECT_EQ(raw[0], 0xE0);
    EXPECT_EQ(raw[1], 0x00);
    ctx.ReleaseValues();
}

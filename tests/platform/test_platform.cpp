#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/Module.h"
#include "platform/Paths.h"

TEST(Paths, NativePathTurnsBackslashes) {
    EXPECT_EQ(platform::NativePath("..\\config\\QV\\QV_automate.ini"),
              "../config/QV/QV_automate.ini");
    EXPECT_EQ(platform::NativePath("/already/native"), "/already/native");
    EXPECT_EQ(platform::NativePath(""), "");
}

TEST(Paths, ProgramDirectoryIsTheExecutablesDirectoryWithCaseKept) {
    std::string exe = platform::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    std::string dir = platform::ProgramDirectory();
    EXPECT_EQ(exe.substr(0, exe.rfind('/')), dir);
    EXPECT_NE(dir.back(), '/');
    platform::SetProgramDirectory("/tmp/Some/Mixed/Case/");
    EXPECT_EQ(platform::ProgramDirectory(), "/tmp/Some/Mixed/Case");
    platform::SetProgramDirectory("");
    EXPECT_EQ(platform::ProgramDirectory(), dir);
}

TEST(Module, ConfiguredNamesMapToSharedObjects) {
    const std::pair<const char*, const char*> cases[] = {
        {"noxMiscPluginu.dll", "noxMiscPluginu.so"},
        {".\\LMQPointServicePluginu.DLL", ".\\LMQPointServicePluginu.so"},
        {"plain.so", "plain.so"},
        {"dll", "dll"},
        {"a.dll.bak", "a.dll.bak"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(platform::ModuleFileName(in), out) << in;
}

TEST(Module, LoadsOnlyByPathAndReportsFailures) {
    std::string error;
    // A bare name is looked up in the current directory, never the library search path:
    // libc is on the search path but not here.
    char tmpl[] = "/tmp/qvmod-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    ASSERT_EQ(chdir(tmpl), 0);
    EXPECT_EQ(platform::Module::Load("libc.so.6", &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(platform::Module::Load("", &error), nullptr);
    ASSERT_EQ(chdir("/"), 0);
    rmdir(tmpl);
}

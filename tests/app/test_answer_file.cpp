// The answer file of an unattended run: what it accepts, and every way it is refused before
// the wizard starts.
#include <gtest/gtest.h>

#include <string>

#include "app/AnswerFile.h"
#include "tests/support/TempTree.h"

namespace {

bool AnyState(const std::wstring& name) {
    return name != L"Nowhere";
}

TEST(AnswerFile, ReadsFieldsChoiceAndLeaveByStateOrScreen) {
    TempTree tree;
    tree.Write("a.ini",
               "; comment\n[Language]\nPush=English (United Kingdom)\n"
               "[StateConfProxy]\n1102=proxy.example.net\n1101=\nLeave=F3\n");
    answers::AnswerFile file;
    answers::Problem problem;
    ASSERT_TRUE(file.Load(tree.Path("a.ini"), AnyState, &problem)) << ErrLine(problem);
    const answers::ScreenAnswer* language = file.Find("Language", "StateLanguage");
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(language->push, L"English (United Kingdom)");
    const answers::ScreenAnswer* proxy = file.Find("StateConfProxy", "StateConfProxy");
    ASSERT_NE(proxy, nullptr);
    ASSERT_EQ(proxy->fields.size(), 2u);
    EXPECT_EQ(proxy->fields[0].id, 1102);
    EXPECT_EQ(proxy->fields[1].value, L"");  // an empty value clears the field
    EXPECT_EQ(file.Find("GuiKeyBoard", "StateGuiKeyBoard"), nullptr);
    // Found by the screen name when the state is not a section.
    EXPECT_EQ(file.Find("Other", "Language"), language);
}

TEST(AnswerFile, RefusesBadFilesWithTheStateAndKey) {
    struct Row {
        const char* name;
        std::string text;
        const char* state;
        const char* control;
        const char* reason;
    } rows[] = {
        {"not INI", "just some words\n", "-", "just some words", "not INI"},
        {"unclosed", "[Language\n1100=x\n", "-", "-", "not INI"},
        {"no equals", "[Language]\nPush\n", "Language", "Push", "not INI"},
        {"unknown state", "[Nowhere]\nPush=1007\n", "Nowhere", "-", "no such state"},
        {"unknown key", "[Language]\nClick=1007\n", "Language", "Click", "unknown key"},
        {"ID out of range", "[Language]\n70000=x\n", "Language", "70000", "unknown key"},
        {"long value", "[StateInfo2]\n1100=" + std::string(100000, 'x') + "\n", "StateInfo2",
         "1100", "100000 characters"},
        {"twice", "[Language]\n[language]\n", "language", "-", "second section"},
        {"field twice", "[StateInfo2]\n1100=a\n1100=b\n", "StateInfo2", "1100", "twice"},
    };
    for (const Row& row : rows) {
        TempTree tree;
        tree.Write("a.ini", row.text);
        answers::AnswerFile file;
        answers::Problem problem;
        EXPECT_FALSE(file.Load(tree.Path("a.ini"), AnyState, &problem)) << row.name;
        EXPECT_EQ(problem.code, answers::kExitBadFile) << row.name;
        const std::string line = ErrLine(problem);
        EXPECT_EQ(
            line.rfind(std::string("ERR state=") + row.state + " control=" + row.control + ": ", 0),
            0u)
            << row.name << ": " << line;
        EXPECT_NE(line.find(row.reason), std::string::npos) << row.name << ": " << line;
        EXPECT_LT(line.size(), 400u) << row.name;  // the value itself is never echoed
    }
    answers::AnswerFile file;
    answers::Problem problem;
    EXPECT_FALSE(file.Load("/nonexistent/answers.ini", AnyState, &problem));
    EXPECT_EQ(problem.code, answers::kExitBadFile);
    EXPECT_NE(ErrLine(problem).find("cannot read"), std::string::npos);
}

TEST(AnswerFile, LeaveTakesOneItemPerVisitThenKeepsTheLast) {
    answers::ScreenAnswer answer;
    answer.leave = L"Right, Right ,Return";
    const wchar_t* expected[] = {L"Right", L"Right", L"Return", L"Return"};
    for (int visit = 1; visit <= 4; ++visit)
        EXPECT_EQ(answers::LeaveFor(answer, visit), expected[visit - 1]) << visit;
    answer.leave.clear();
    EXPECT_EQ(answers::LeaveFor(answer, 2), L"");
}

TEST(AnswerFile, ControlIdsAndPositions) {
    struct Row {
        const wchar_t* text;
        int id;        // 0: not an ID
        int position;  // 0: not a position
    } rows[] = {{L"1100", 1100, 0}, {L"0", 0, 0},      {L"65536", 0, 0}, {L"12a", 0, 0},
                {L"", 0, 0},        {L"#2", 0, 2},     {L"#0", 0, 0},    {L"#", 0, 0},
                {L"#x", 0, 0},      {L"999999", 0, 0}, {L"-3", 0, 0}};
    for (const Row& row : rows) {
        int id = 0;
        EXPECT_EQ(answers::ParseControlId(row.text, &id) ? id : 0, row.id);
        EXPECT_EQ(answers::ParsePosition(row.text), row.position);
    }
}

// What the recorder writes reads back the same: blanks and quotes at the ends survive.
TEST(AnswerFile, RecordedValuesReadBackUnchanged) {
    const wchar_t* values[] = {L"plain",   L" Café ", L"\"quoted\"", L"'single'",
                               L"s3cr'ét", L"a;b=c",  L"\t tab",     L"\"",
                               L"",        L"x\"",    L"\"mixed'",   L"#2 first"};
    for (const wchar_t* value : values) {
        TempTree tree;
        tree.Write("a.ini", "[StateInfo2]\n1100=" + answers::AnswerValue(value) + "\n");
        answers::AnswerFile file;
        answers::Problem problem;
        ASSERT_TRUE(file.Load(tree.Path("a.ini"), AnyState, &problem)) << ErrLine(problem);
        const answers::ScreenAnswer* answer = file.Find("StateInfo2", "");
        ASSERT_NE(answer, nullptr);
        ASSERT_EQ(answer->fields.size(), 1u);
        EXPECT_EQ(answer->fields[0].value, value);
    }
}

}  // namespace

// Each answer-file program tells the other's files by their keys, and only when no key of its
// own is there.
TEST(AnswerFile, TellsTheTwoKindsOfAnswerFilesApart) {
    struct Row {
        const char* name;
        std::string text;
        answers::AnswerKeys kind;
    } rows[] = {
        {"control ID", "[Language]\n1100=x\n", answers::AnswerKeys::Wizard},
        {"Push and Leave", "[Language]\nPUSH=1007\nleave=F3\n", answers::AnswerKeys::Wizard},
        {"Event", "[StateLanguage]\nEvent=1\n", answers::AnswerKeys::Automaton},
        {"Set.N", "[StateLanguage]\nSet.12=Langue=DE\n", answers::AnswerKeys::Automaton},
        {"both", "[StateLanguage]\nEvent=1\n[StateInfo2]\n1100=x\n", answers::AnswerKeys::Mixed},
        {"neither", "[StateLanguage]\nSet.x=1\nSet.=1\nClick=1\n", answers::AnswerKeys::None},
        {"empty", "", answers::AnswerKeys::None},
        {"not INI", "Event=1\n[broken\n", answers::AnswerKeys::Automaton},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempTree tree;
        tree.Write("a.ini", row.text);
        EXPECT_EQ(answers::KindOfAnswerKeys(tree.Path("a.ini")), row.kind);
        answers::AnswerFile file;
        answers::Problem problem;
        const bool loaded = file.Load(tree.Path("a.ini"), AnyState, &problem);
        const bool told = problem.reason.find("`qvtool run`") != std::string::npos;
        EXPECT_EQ(told, row.kind == answers::AnswerKeys::Automaton) << ErrLine(problem);
        if (told) {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(problem.code, answers::kExitBadFile);
            EXPECT_EQ(ErrLine(problem), "ERR state=- control=-: " + tree.Path("a.ini") + ": " +
                                            answers::kFileForQvtoolRun);
        }
    }
    EXPECT_EQ(answers::KindOfAnswerKeys("/nonexistent/a.ini"), answers::AnswerKeys::None);
}

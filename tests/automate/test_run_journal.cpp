// The run's journal: its format (every context type back as it was, any damage refused), the
// files it refuses to read, and the automaton taking up a run that did not end.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "automate/Automate.h"
#include "automate/AutomateContext.h"
#include "automate/RunJournal.h"
#include "base/Profile.h"
#include "tests/automate/AutomateTestSupport.h"
#include "tests/support/TempTree.h"

namespace fs = std::filesystem;

namespace {

unsigned Mode(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A context owns a value area that only ReleaseValues frees.
struct Release {
    void operator()(CAutomateContext* c) const {
        c->ReleaseValues();
        delete c;
    }
};
using Context = std::unique_ptr<CAutomateContext, Release>;

Context Empty() {
    Context c(new CAutomateContext("", 0));
    c->Initialize();
    return c;
}

// A context of every type, each with a value that tells a cut or a shift apart.
Context EveryType() {
    Context c = Empty();
    for (auto [name, type, count] : {std::tuple{"LastEvent", "INT", 1},
                                     {"NextState", "INT", 1},
                                     {"Gui", "STRING", 1},
                                     {"Count", "INT", 1},
                                     {"Big", "LONG", 1},
                                     {"Handle", "PTR", 1},
                                     {"Name", "STRING", 2},
                                     {"Blob", "VOID", 1},
                                     {"Label", "VOID", 1}})
        c->addPropertiesContext(name, type, count);
    return c;
}

void Fill(CAutomateContext& c) {
    c.SetInt("LastEvent", 1, 4);
    c.SetInt("NextState", 1, 2);
    c.SetString("Gui", 1, "..\\gui\\StateX.gui");
    c.SetInt("Count", 1, -7);
    c.SetLong("Big", 1, 2147483647);
    c.SetPtr("Handle", 1, &c);
    c.SetString("Name", 2, "second occurrence");
    // Zeros inside, a high byte at the very end: only trailing zeros may be left out.
    unsigned char blob[QV_VOID_SIZE] = {};
    blob[0] = 1;
    blob[400] = 0xff;
    blob[QV_VOID_SIZE - 1] = 0x80;
    c.SetVoid("Blob", 1, blob, sizeof blob);
    c.SetWide("Label", 1, L"Caf\u00e9 \u20ac p\u00e2ssw0rd");
}

JournalContents Journal(const CAutomateContext& c) {
    return {"installation", 0x0123456789abcdefULL, 1700000000, 17, 13, 1, CaptureProperties(c)};
}

TEST(JournalFormat, EveryTypeComesBackAndPointersComeBackNull) {
    auto written = EveryType();
    Fill(*written);
    JournalContents decoded;
    ASSERT_EQ(DecodeJournal(EncodeJournal(Journal(*written)), &decoded), "");
    EXPECT_EQ(decoded.mode, "installation");
    EXPECT_EQ(decoded.configuration, 0x0123456789abcdefULL);
    EXPECT_EQ(decoded.writtenAt, 1700000000);
    EXPECT_EQ(decoded.currentState, 17);
    EXPECT_EQ(decoded.lastState, 13);
    EXPECT_EQ(decoded.resumes, 1);

    auto read = EveryType();
    ASSERT_EQ(RestoreProperties(decoded.properties, *read), "");
    int32_t n = 0;
    read->GetInt("Count", 1, &n);
    EXPECT_EQ(n, -7);
    read->GetLong("Big", 1, &n);
    EXPECT_EQ(n, 2147483647);
    char text[CAutomateContext::kStringBufferBytes] = "";
    read->GetString("Name", 2, text);
    EXPECT_STREQ(text, "second occurrence");
    unsigned char before[QV_VOID_SIZE], after[QV_VOID_SIZE];
    written->GetVoid("Blob", 1, before);
    read->GetVoid("Blob", 1, after);
    EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
    std::wstring label;
    read->GetWide("Label", 1, &label);
    EXPECT_EQ(label, L"Caf\u00e9 \u20ac p\u00e2ssw0rd");
    EXPECT_EQ(read->GetPtr("Handle", 1), nullptr);
    // The events and the screen asked for are the re-entered state's to set.
    for (const char* transient : {"LastEvent", "NextState"}) {
        n = 99;
        read->GetInt(transient, 1, &n);
        EXPECT_EQ(n, 0) << transient;
    }
    read->GetString("Gui", 1, text);
    EXPECT_STREQ(text, "");
}

TEST(JournalFormat, EveryCutOfAJournalIsRefused) {
    auto c = EveryType();
    Fill(*c);
    const std::string whole = EncodeJournal(Journal(*c));
    JournalContents out;
    for (size_t n = 0; n < whole.size(); ++n)
        ASSERT_NE(DecodeJournal(std::string_view(whole).substr(0, n), &out), "") << n;
}

TEST(JournalFormat, DamageIsRefused) {
    auto c = EveryType();
    Fill(*c);
    const std::string good = EncodeJournal(Journal(*c));
    // Each row replaces the first "from" by "to".
    const struct {
        const char* from;
        const char* to;
        const char* why;
    } cases[] = {
        {"VOID 426c6f62 01", "VOID 426c6f62 02", "bad checksum"},
        {"states 17", "states 18", "bad checksum"},
        {"VOID 426c6f62 01", "VOID 426c6f62 1", "bad property"},
        {"VOID 426c6f62 01", "VOID 426c6f62 0A", "bad property"},
        {"VOID 426c6f62", "VOIX 426c6f62", "bad property type"},
        {"mode installation", "mode installatiom", "no mode"},
        {"states 17", "states 901", "no states"},
        {"resumes 1", "resumes -1", "no resume count"},
        {"end 10", "end 99", "cut short"},
    };
    JournalContents out;
    for (const auto& t : cases) {
        std::string bad = good;
        ASSERT_NE(bad.find(t.from), std::string::npos) << t.from;
        bad.replace(bad.find(t.from), std::strlen(t.from), t.to);
        EXPECT_EQ(DecodeJournal(bad, &out), t.why) << t.from << " -> " << t.to;
    }
    EXPECT_EQ(DecodeJournal(good + "x", &out), "cut short");
    std::string many =
        "quilvane-journal 1\nmode installation\nconfiguration 0000000000000000\n"
        "written 0\nstates 1 -1\nresumes 0\n";
    for (int i = 0; i <= QV_MAX_PROPERTIES; ++i)
        many += "property INT 41 -\n";
    EXPECT_EQ(DecodeJournal(many, &out), "too many properties");
}

TEST(JournalFormat, ValuesThatDoNotFitTheContextChangeNothing) {
    auto c = EveryType();
    Fill(*c);
    const std::vector<JournalProperty> good = CaptureProperties(*c);
    using Edit = std::function<void(std::vector<JournalProperty>&)>;
    const struct {
        const char* name;
        Edit edit;
    } cases[] = {
        {"one property less", [](auto& p) { p.pop_back(); }},
        {"another name", [](auto& p) { p[3].name = "Counts"; }},
        {"another type", [](auto& p) { p[4].type = "INT"; }},
        {"a value longer than its property", [](auto& p) { p[3].value = "12345"; }},
    };
    for (const auto& t : cases) {
        std::vector<JournalProperty> edited = good;
        t.edit(edited);
        auto target = EveryType();
        target->SetInt("Count", 1, 5);
        EXPECT_NE(RestoreProperties(edited, *target), "") << t.name;
        int32_t n = 0;
        target->GetInt("Count", 1, &n);
        EXPECT_EQ(n, 5) << t.name;
    }
}

TEST(JournalFormat, TheConfigurationHashFollowsWhatTheValuesMean) {
    std::vector<AutomateState> states(5);
    states[1].action = "ShowOne";
    states[1].events[1] = "2";
    states[2].action = "ShowTwo";
    auto base = EveryType();
    const uint64_t h = ConfigurationHash(states, *base);
    EXPECT_EQ(h, ConfigurationHash(states, *EveryType()));
    const struct {
        const char* name;
        std::function<void(std::vector<AutomateState>&)> states;
        std::function<void(CAutomateContext&)> context;
    } cases[] = {
        {"an event leads elsewhere", [](auto& s) { s[1].events[1] = "3"; }, nullptr},
        {"a state more", [](auto& s) { s[3].action = "ShowTwo"; }, nullptr},
        {"a property more", nullptr,
         [](CAutomateContext& c) { c.addPropertiesContext("X", "INT", 1); }},
    };
    for (const auto& t : cases) {
        std::vector<AutomateState> s = states;
        auto c = EveryType();
        if (t.states)
            t.states(s);
        if (t.context)
            t.context(*c);
        EXPECT_NE(ConfigurationHash(s, *c), h) << t.name;
    }
    // The same sizes with another type: a LONG is not an INT.
    Context other = Empty(), same = Empty();
    other->addPropertiesContext("N", "LONG", 1);
    same->addPropertiesContext("N", "INT", 1);
    EXPECT_NE(ConfigurationHash(states, *other), ConfigurationHash(states, *same));
}

// ---- The files

class JournalFiles : public ::testing::Test {
  public:
    std::string Path(const char* name = "data/QV_run.journal") { return tree.Path(name); }
    CRunJournal Make(uint64_t configuration = 42) {
        return CRunJournal(Path(), "installation", configuration, *context, nullptr);
    }
    TempTree tree;
    Context context = EveryType();
};

TEST_F(JournalFiles, SavedOwnerOnlyWholeAndRemoved) {
    Fill(*context);
    fs::remove_all(tree.Path("data"));
    CRunJournal journal = Make();
    ASSERT_EQ(journal.Save(5, 3), 0);
    EXPECT_EQ(Mode(Path()), 0600u);
    ASSERT_EQ(journal.Save(6, 5), 0);
    // Nothing of the writes is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(tree.Path("data")), fs::directory_iterator()),
              1);
    JournalContents out;
    ASSERT_EQ(journal.Load(10, std::time(nullptr), &out), CRunJournal::Found::Usable);
    EXPECT_EQ(out.currentState, 6);
    EXPECT_EQ(out.lastState, 5);
    journal.Remove();
    EXPECT_FALSE(fs::exists(Path()));
    EXPECT_EQ(journal.Load(10, std::time(nullptr), &out), CRunJournal::Found::None);
    EXPECT_FALSE(fs::exists(Path() + ".rejected"));
}

// The disk is flushed behind the writes: every write is whole at once, the last one is what
// stays, and a journal removed or gone away meanwhile leaves the flush nothing to trip on.
TEST_F(JournalFiles, WritesInQuickSuccessionLeaveTheLastWhole) {
    Fill(*context);
    {
        CRunJournal journal = Make();
        for (int state = 1; state <= 50; ++state) {
            ASSERT_EQ(journal.Save(state, state - 1), 0);
            JournalContents out;
            ASSERT_EQ(journal.Load(10, std::time(nullptr), &out), CRunJournal::Found::Usable);
            ASSERT_EQ(out.currentState, state);
        }
    }
    JournalContents out;
    ASSERT_EQ(Make().Load(10, std::time(nullptr), &out), CRunJournal::Found::Usable);
    EXPECT_EQ(out.currentState, 50);
    EXPECT_EQ(std::distance(fs::directory_iterator(tree.Path("data")), fs::directory_iterator()),
              1);
    {
        CRunJournal journal = Make();
        ASSERT_EQ(journal.Save(7, 6), 0);
        journal.Remove();
        ASSERT_EQ(journal.Save(8, 7), 0);
        fs::remove_all(tree.Path("data"));
    }
    EXPECT_FALSE(fs::exists(Path()));
}

TEST_F(JournalFiles, WhatIsNotToBeTrustedIsSetAside) {
    const int64_t now = std::time(nullptr);
    const struct {
        const char* name;
        std::function<void(JournalFiles&)> make;
        int64_t now;
    } cases[] = {
        {"another configuration", [](JournalFiles& t) { t.Make(43).Save(5, 3); }, now},
        {"older than the limit", [](JournalFiles& t) { t.Make().Save(5, 3); }, now + 11 * 60},
        {"written in the future", [](JournalFiles& t) { t.Make().Save(5, 3); }, now - 3600},
        {"of the other mode",
         [](JournalFiles& t) {
             CRunJournal(t.Path(), "reconfiguration", 42, *t.context, nullptr).Save(5, 3);
         },
         now},
        {"torn",
         [](JournalFiles& t) { t.tree.Write("data/QV_run.journal", "quilvane-journal 1\nmo"); },
         now},
        {"a link to a good one",
         [](JournalFiles& t) {
             CRunJournal(t.Path("data/good"), "installation", 42, *t.context, nullptr).Save(5, 3);
             fs::create_symlink(t.Path("data/good"), t.Path());
         },
         now},
        {"a FIFO", [](JournalFiles& t) { ASSERT_EQ(mkfifo(t.Path().c_str(), 0600), 0); }, now},
        {"a folder", [](JournalFiles& t) { fs::create_directories(t.Path()); }, now},
        {"oversized",
         [](JournalFiles& t) {
             t.Make().Save(5, 3);
             fs::resize_file(t.Path(), kJournalMaxBytes + 1);
         },
         now},
    };
    for (const auto& t : cases) {
        fs::remove_all(tree.Path("data"));
        fs::create_directories(tree.Path("data"));
        t.make(*this);
        JournalContents out;
        // A FIFO with no writer would block a plain open for ever.
        EXPECT_EQ(Make().Load(10, t.now, &out), CRunJournal::Found::Rejected) << t.name;
        EXPECT_FALSE(fs::exists(fs::symlink_status(Path()))) << t.name;
        EXPECT_TRUE(fs::exists(fs::symlink_status(Path() + ".rejected"))) << t.name;
    }
}

// Any bytes end in bounded time and memory, under an address-space cap in a child.
TEST_F(JournalFiles, HostileBytesStayBounded) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' shadow memory leaves no room for an address-space cap";
#else
    std::string huge =
        "quilvane-journal 1\nmode installation\nconfiguration 0000000000000000\n"
        "written 0\nstates 1 -1\nresumes 0\n";
    while (huge.size() < kJournalMaxBytes)
        huge += "property VOID 41 " + std::string(QV_VOID_SIZE * 2, 'f') + "\n";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit cap{256u << 20, 256u << 20};
        setrlimit(RLIMIT_AS, &cap);
        JournalContents out;
        bool ok = !DecodeJournal(huge, &out).empty();
        ok = ok && !DecodeJournal(std::string(kJournalMaxBytes, '\n'), &out).empty();
        ok = ok && !DecodeJournal(huge.substr(0, kJournalMaxBytes - 1), &out).empty();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

// ---- The automaton taking up a run

// Three screens; the frame stand-in answers only what it is given, so a run without an answer
// stops where a kill would have.
constexpr const char kThreeScreens[] =
    "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Screen.One\nEvent_1=2\n"
    "[2]\nActionToRun=Screen.Two\nEvent_1=3\nEvent_2=1\n[3]\nActionToRun=Screen.Three\nEvent_1=-"
    "1\n";

class Resume : public ::testing::Test {
  protected:
    void SetUp() override {
        at.Write(kThreeScreens, {"Screen.One", "Screen.Two", "Screen.Three"});
        Params("Resume=1\n");
    }
    void Params(const std::string& keys) {
        at.tree.Write("config/QV/QV_params.ini",
                      "[DLLS]\n1=testActions.dll\n[PARAMS]\nModal=false\n" + keys);
        ClearProfileCache();
    }
    // One run: answers per screen, screens shown.
    std::vector<std::string> Run(std::map<std::string, std::vector<int>> answers,
                                 CAutomate::JournalStart* start = nullptr, bool unattended = false,
                                 int32_t target = 0) {
        auto a = at.Make();
        FrameHook hook;
        hook.answers = std::move(answers);
        hook.passLimit = 60;
        a->SetEngineHook(&hook);
        CAutomate::JournalStart s =
            a->StartJournal(journal, "installation", ReadJournalSettings(kParams), unattended);
        if (start)
            *start = s;
        if (target)
            CAutomate::Context()->SetInt("Target", 1, target);
        a->Run();
        CAutomate::Context()->GetInt("Target", 1, &seen);
        a->SetEngineHook(nullptr);
        return hook.screens;
    }
    AutomatonTree at;
    std::string journal = at.tree.Path("data/QV_run.journal");
    int32_t seen = 0;
};

using Screens = std::vector<std::string>;

TEST_F(Resume, ARunThatStoppedGoesOnAtItsStateWithItsValuesAndEndsWithoutAJournal) {
    CAutomate::JournalStart start;
    EXPECT_EQ(Run({{"One", {1}}}, &start, false, 42), (Screens{"One", "Two"}));
    EXPECT_EQ(start, CAutomate::JournalStart::Fresh);
    ASSERT_TRUE(fs::exists(journal));
    EXPECT_EQ(Mode(journal), 0600u);

    EXPECT_EQ(Run({{"Two", {1}}, {"Three", {1}}}, &start), (Screens{"Two", "Three"}));
    EXPECT_EQ(start, CAutomate::JournalStart::Resumed);
    EXPECT_EQ(seen, 42);
    EXPECT_FALSE(fs::exists(journal));
    int resumed = 0;
    for (const std::string& line : at.AutomateLines())
        resumed +=
            line.rfind("(INFO) Run resumed at state 2 (Screen.Two) from the journal ", 0) == 0;
    EXPECT_EQ(resumed, 1);
    // A new run starts at the beginning again.
    EXPECT_EQ(Run({{"One", {1}}, {"Two", {1}}, {"Three", {1}}}, &start),
              (Screens{"One", "Two", "Three"}));
    EXPECT_EQ(start, CAutomate::JournalStart::Fresh);
}

TEST_F(Resume, AStateThatKeepsEndingResumedRunsIsNotEnteredAgain) {
    Run({{"One", {1}}});
    for (int i = 0; i < kJournalMaxResumes; ++i)
        EXPECT_EQ(Run({}), (Screens{"Two"})) << i;
    CAutomate::JournalStart start;
    EXPECT_EQ(Run({}, &start), (Screens{"One"}));
    EXPECT_EQ(start, CAutomate::JournalStart::Fresh);
    EXPECT_TRUE(fs::exists(journal + ".rejected"));
}

TEST_F(Resume, GettingFurtherCountsAfresh) {
    Run({{"One", {1}}});
    for (int i = 0; i < kJournalMaxResumes + 1; ++i)
        EXPECT_EQ(Run({{"Two", {2}}, {"One", {1}}}), (Screens{"Two", "One", "Two"})) << i;
}

TEST_F(Resume, OffWithoutTheKeyAndForAnUnattendedRun) {
    Run({{"One", {1}}});
    ASSERT_TRUE(fs::exists(journal));
    CAutomate::JournalStart start;
    Params("");
    EXPECT_EQ(Run({{"One", {1}}}, &start), (Screens{"One", "Two"}));
    EXPECT_EQ(start, CAutomate::JournalStart::Off);
    EXPECT_TRUE(fs::exists(journal)) << "a configuration without the key leaves the file alone";

    Params("Resume=1\n");
    EXPECT_EQ(Run({{"One", {1}}}, &start, true), (Screens{"One", "Two"}));
    EXPECT_EQ(start, CAutomate::JournalStart::Off);
    EXPECT_FALSE(fs::exists(journal)) << "an unattended run neither keeps nor writes one";
    EXPECT_EQ(CountOf(at.AutomateLines(),
                      "(INFO) Journal " + journal +
                          " removed : an unattended run replays its answers from the start"),
              1);
}

}  // namespace

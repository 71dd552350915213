#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "automate/Automate.h"
#include "tests/automate/AutomateTestSupport.h"

namespace {

struct RunCase {
    const char* name;
    const char* states;
    std::vector<std::string> services;
    std::map<std::string, std::vector<int>> answers;
    std::vector<std::string> log;       // CAutomate lines, in this order
    std::vector<std::string> requests;  // services the plug-in ran, exactly
    int32_t finalState;
    int32_t finalEvent;
};

const std::vector<RunCase>& Cases() {
    static const std::vector<RunCase> cases = {
        {"StartsAtZeroWithoutItsAction",
         "[0]\nActionToRun=Screen.Zero\nEvent_1=3\n[3]\nActionToRun=Event.1\nEvent_1=-1\n",
         {"Screen.Zero", "Event.1"},
         {},
         {"(DEBUG) Run of the Automate", "(DEBUG) Call CAutomateEngine WaitEvents",
          "(DEBUG) Call CAutomateEngine SetNewState", "(DEBUG) Current State 0  New State 3",
          "(DEBUG) End CAutomateEngine SetNewState", "(DEBUG) Reset to 0 the event",
          "(DEBUG) Call CAutomateEngine ExecuteAction",
          "(DEBUG) Action Manager Request Service : Event.1", "(DEBUG) Call RequestService",
          "(INFO) DLL Found", "(DEBUG) Request Service : Event.1", "(DEBUG) Request Service end",
          "(DEBUG) End RequestService", "(DEBUG) End CAutomateEngine ExecuteAction",
          "(DEBUG) New Event1", "(DEBUG) Current State 3  New State -1",
          "(DEBUG) Reset to 0 the event", "(DEBUG) End Run Automate"},
         {"Event.1"},
         -1,
         0},
        {"DefaultTransitions",
         "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Event.5\nEvent_Default=2\n"
         "[2]\nActionToRun=Event.5\n",
         {"Event.5"},
         {},
         {"(DEBUG) Current State 0  New State 1",
          "(DEBUG) Current State 1  New State is a Default State 2", "(DEBUG) New Event5",
          "(DEBUG) Current State 2  New State is a Default State -1"},
         {"Event.5", "Event.5"},
         -1,
         0},
        {"VariableLastStateReturnsToWhereTheStateWasEnteredFrom",
         "[0]\nActionToRun=\nEvent_1=5\n[5]\nActionToRun=Event.1\nEvent_1=7\n"
         "[7]\nActionToRun=Screen.Seven\nEvent_1=-1\nEvent_2=${LastState}\n",
         {"Event.1", "Screen.Seven"},
         {{"Seven", {2, 1}}},
         {"(DEBUG) Current State 5  New State 7", "(DEBUG) New Event2",
          "(DEBUG) Var event found LastState", "(DEBUG) NextState Var event found 5",
          "(DEBUG) Current State 7  New State 5", "(DEBUG) Current State 5  New State 7",
          "(DEBUG) Current State 7  New State -1"},
         {"Event.1", "Screen.Seven", "Event.1", "Screen.Seven"},
         -1,
         0},
        {"Event20IsAFailedRequest",
         "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Screen.One\nEvent_2=-1\n",
         {"Screen.One"},
         {{"One", {20}}},
         {"(DEBUG) New Event20",
          "(ERR) Event 20 raised in State 1 is outside 1-19 : taken as a failed request (event 2)",
          "(DEBUG) Current State 1  New State -1"},
         {"Screen.One"},
         -1,
         0},
        {"LastEventMinusOneEndsTheRun",
         "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Event.-1\nEvent_1=2\n"
         "[2]\nActionToRun=Event.1\n",
         {"Event.-1", "Event.1"},
         {},
         {"(DEBUG) New Event-1", "(DEBUG) Event -1 From State", "(DEBUG) End Run Automate"},
         {"Event.-1"},
         1,
         -1},
        {"UndefinedStateRaisesEvent2ThroughDllNotFound",
         "[0]\nActionToRun=\nEvent_1=4\n[6]\nActionToRun=Event.1\n",
         {"Event.1"},
         {},
         {"(DEBUG) Current State 0  New State 4",
          "(DEBUG) Action Manager Request Service : ", "(DEBUG) Call RequestService",
          "(ERR) Dll Not Found", "(DEBUG) End CAutomateEngine ExecuteAction", "(DEBUG) New Event2",
          "(DEBUG) Current State 4  New State is a Default State -1"},
         {},
         -1,
         0},
        {"StateAboveTheHighestIsUndefined",
         "[0]\nActionToRun=\nEvent_1=650\n[6]\nActionToRun=Event.1\n",
         {"Event.1"},
         {},
         {"(DEBUG) Current State 0  New State 650", "(ERR) Dll Not Found", "(DEBUG) New Event2",
          "(DEBUG) Current State 650  New State is a Default State -1"},
         {},
         -1,
         0},
        {"NumbersAreReadLikeAtoi",
         "[0]\nActionToRun=\nEvent_1=12abc\n[12]\nActionToRun=Event.1\nEvent_1=abc\n",
         {"Event.1"},
         {},
         {"(DEBUG) Current State 0  New State 12", "(DEBUG) Current State 12  New State 0",
          "(ERR) Dll Not Found", "(DEBUG) Current State 0  New State is a Default State -1"},
         {"Event.1"},
         -1,
         0},
        {"NextStateOutsideTheTableIsRefused",
         "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Screen.One\nEvent_1=701\n"
         "Event_2=-2\nEvent_3=99999999999\nEvent_4=-1\n",
         {"Screen.One"},
         {{"One", {1, 2, 3, 4}}},
         {"(DEBUG) New Event1", "(ERR) New State 701 out of range : State 1 kept",
          "(DEBUG) Reset to 0 the event", "(ERR) New State -2 out of range : State 1 kept",
          "(ERR) New State 2147483647 out of range : State 1 kept",
          "(DEBUG) Current State 1  New State -1"},
         {"Screen.One", "Screen.One", "Screen.One", "Screen.One"},
         -1,
         0},
        {"NegativeEventIsAFailedRequest",
         "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Screen.One\nEvent_2=-1\n",
         {"Screen.One"},
         {{"One", {-7}}},
         {"(ERR) Event -7 raised in State 1 is outside 1-19 : taken as a failed request (event 2)",
          "(DEBUG) Current State 1  New State -1"},
         {"Screen.One"},
         -1,
         0},
        {"UnknownVariableKeepsTheState",
         "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Screen.One\nEvent_1=${Nope}\n"
         "Event_2=${}\nEvent_3=$Target\n[0]\nEvent_9=2\n",
         {"Screen.One"},
         {{"One", {1, 2, 3}}},
         {"(DEBUG) Var event found Nope", "(ERR) Var event Nope unknown : State 1 kept",
          "(DEBUG) Var event found ", "(ERR) Var event  unknown : State 1 kept",
          "(DEBUG) Var event found Target", "(DEBUG) NextState Var event found 0",
          "(DEBUG) Current State 1  New State 0", "(ERR) Dll Not Found",
          "(DEBUG) Current State 0  New State is a Default State -1"},
         {"Screen.One", "Screen.One", "Screen.One"},
         -1,
         0},
    };
    return cases;
}

class WholeRun : public ::testing::TestWithParam<RunCase> {};

}  // namespace

TEST_P(WholeRun, FollowsTheStateTable) {
    const RunCase& c = GetParam();
    AutomatonTree t;
    t.Write(c.states, c.services);
    auto automate = t.Make();
    FrameHook hook;
    hook.answers = c.answers;
    automate->SetEngineHook(&hook);
    EXPECT_EQ(automate->Run(), 0);
    EXPECT_LT(hook.passes, hook.passLimit) << "the run did not end by itself";
    int32_t state = 99, event = 99;
    CAutomate::SharedBlock()->GetCurrentState(&state);
    CAutomate::SharedBlock()->GetEvent(&event);
    EXPECT_EQ(state, c.finalState);
    EXPECT_EQ(event, c.finalEvent);
    automate.reset();

    EXPECT_TRUE(InOrder(t.AutomateLines(), c.log));
    std::vector<std::string> requests;
    for (const std::string& line : t.Trace()) {
        if (line.rfind("full R ", 0) == 0)
            requests.push_back(line.substr(7));
    }
    EXPECT_EQ(requests, c.requests);
}

INSTANTIATE_TEST_SUITE_P(Automaton, WholeRun, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Automate, ConstructionLogsAndRegisters) {
    AutomatonTree t;
    t.Write("[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Event.1\n[2]\nActionToRun=\n",
            {"Event.1"});
    auto automate = t.Make();
    int32_t state = 99, event = 99, last = 99;
    CAutomate::SharedBlock()->GetCurrentState(&state);
    CAutomate::SharedBlock()->GetEvent(&event);
    CAutomate::SharedBlock()->GetLastState(&last);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(event, 1);
    EXPECT_EQ(last, -1);
    ASSERT_NE(automate->GetContextImage(), nullptr);
    EXPECT_EQ(automate->GetContextImage(), CAutomate::Context()->GetImage());
    EXPECT_EQ(automate->GetContextImage()->count, 9);
    automate.reset();
    EXPECT_EQ(CAutomate::Logger(), nullptr);
    EXPECT_EQ(CAutomate::Context(), nullptr);
    EXPECT_EQ(CAutomate::SharedBlock(), nullptr);

    EXPECT_TRUE(InOrder(t.AutomateLines(), {"(INFO) Initialize Context",
                                            "(INFO) Create Shared Memory :",
                                            "(DEBUG) Call CreateSharedMemory",
                                            "(DEBUG) Call InitSharedMemory",
                                            "(DEBUG) Initialisation of the Shared Memory",
                                            "(DEBUG) End InitSharedMemory",
                                            "(DEBUG) End CreateSharedMemory",
                                            "(INFO) Load Automate Ini File",
                                            "(DEBUG) Call LoadingIniFile",
                                            "(INFO) 3 \xC3\xA9tats dans l'automate",
                                            "(DEBUG) End LoadingIniFile",
                                            "(INFO) Initialize AutomateEngine",
                                            "(DEBUG) Call CAutomateEngine Initialize",
                                            "(DEBUG) Loading Action Manager",
                                            "(DEBUG) Call CAutomateEngine LoadActionManager",
                                            "(DEBUG) Call CActionManager",
                                            "(DEBUG) Call LoadDlls",
                                            "(DEBUG) End LoadDlls",
                                            "(DEBUG) End CActionManager",
                                            "(DEBUG) End CAutomateEngine LoadActionManager",
                                            "(DEBUG) End CAutomateEngine Initialize",
                                            "(DEBUG) Initialize Finished",
                                            "(DEBUG) Call ~Cautomate",
                                            "(DEBUG) Close Automate Engine"}));
    // Initialize once at load; Release once at destruction.
    EXPECT_EQ(t.Trace(), (std::vector<std::string>{"full I", "full X"}));
    for (const auto& entry : std::filesystem::directory_iterator(t.tree.Bin()))
        EXPECT_EQ(entry.path().filename().string().find("QVMemoryFile"), std::string::npos);
}

TEST(Automate, StateTableRecords) {
    AutomatonTree t;
    std::string longEvent(900, '7');
    std::string longAction(250, 'a');
    t.Write(
        "[0]\nActionToRun=Start\nEvent_0=4\nEvent_1=1\nEvent_19=19\nEvent_Default=8x\n"
        "[1]\nActionToRun=\nEvent_2=\"@1@\"\n"
        "[2]\nActionToRun=@1@\nEvent_1=5\n"
        "[3]\nEvent_1=2\n"
        "[10]\nActionToRun=" +
            longAction + "\nEvent_1=" + longEvent +
            "\n"
            "[0010]\nActionToRun=X\n[701]\nActionToRun=Y\n[-1]\nActionToRun=Z\n",
        {});
    auto automate = t.Make();
    EXPECT_EQ(automate->DefinedStates(), 3);
    EXPECT_EQ(automate->HighestState(), 10);
    const AutomateState& s0 = automate->State(0);
    EXPECT_EQ(s0.action, "Start");
    EXPECT_EQ(s0.events[0], "4");
    EXPECT_EQ(s0.events[1], "1");
    EXPECT_EQ(s0.events[19], "19");
    EXPECT_EQ(s0.events[2], "");
    EXPECT_EQ(s0.eventDefault, 8);
    // An empty ActionToRun defines a state; "@1@" counts as absent.
    EXPECT_EQ(automate->State(1).action, "");
    EXPECT_EQ(automate->State(1).events[2], "");
    EXPECT_EQ(automate->State(1).eventDefault, -1);
    EXPECT_EQ(automate->State(2).events[1], "");
    EXPECT_EQ(automate->State(3).events[1], "");
    EXPECT_EQ(automate->State(10).action.size(), 199u);
    EXPECT_EQ(automate->State(10).events[1].size(), 799u);
    automate.reset();
    auto lines = t.AutomateLines();
    EXPECT_TRUE(InOrder(lines, {"(WARNING) State 10 ActionToRun cut to 199 characters",
                                "(WARNING) State 10 Event_1 cut to 799 characters",
                                "(INFO) 3 \xC3\xA9tats dans l'automate"}));
}

TEST(Automate, DefinedStateCountSkipsGaps) {
    AutomatonTree t;
    t.Write("[0]\nActionToRun=\n[1]\nActionToRun=\n[2]\nActionToRun=\n[10]\nActionToRun=\n", {});
    auto automate = t.Make();
    EXPECT_EQ(automate->DefinedStates(), 4);
    EXPECT_EQ(automate->HighestState(), 10);
    EXPECT_EQ(automate->Engine().HighestState(), 10);
    automate.reset();
    EXPECT_TRUE(InOrder(t.AutomateLines(), {"(INFO) 4 \xC3\xA9tats dans l'automate"}));
}

TEST(Automate, RegisterAccessAndImageUpdate) {
    AutomatonTree t;
    t.Write("[0]\nActionToRun=\n", {});
    auto automate = t.Make();
    CAutomateEngine& engine = automate->Engine();
    EXPECT_EQ(engine.setCurrentState(5), 0);
    EXPECT_EQ(engine.getCurrentState(), 5);
    EXPECT_EQ(engine.setCurrentState(6), 0);
    int32_t last = 0, lastState = 0;
    CAutomate::SharedBlock()->GetLastState(&last);
    CAutomate::Context()->GetInt("LastState", 1, &lastState);
    EXPECT_EQ(last, 5);
    EXPECT_EQ(lastState, 5);

    // A second view of the same values: publishing it copies it into the block once.
    CAutomateContext screen("QV.log", 7);
    screen.SetImage(automate->GetContextImage());
    screen.SetInt("NextState", 1, 3);
    EXPECT_EQ(automate->UpdateContextImage(screen.GetImage()), 0);
    EXPECT_EQ(automate->GetContextImage(), screen.GetImage());
    QvContextImage copy{};
    ASSERT_EQ(CAutomate::SharedBlock()->ReadImage(&copy), 0);
    EXPECT_EQ(std::memcmp(&copy, screen.GetImage(), sizeof copy), 0);
    EXPECT_EQ(automate->UpdateContextImage(screen.GetImage()), 0);
    EXPECT_EQ(automate->UpdateContextImage(nullptr), -1);
    automate.reset();
    EXPECT_TRUE(InOrder(t.AutomateLines(),
                        {"(DEBUG) Call setCurrentState", "(DEBUG) End setCurrentState",
                         "(DEBUG) Call getCurrentState", "(DEBUG) End getCurrentState"}));
}

TEST(Automate, RunWithoutSharedBlockEndsAtOnce) {
    AutomatonTree t;
    t.Write("[0]\nActionToRun=\nEvent_1=1\n", {});
    std::string file = "QVMemoryFileBusy" + std::to_string(getpid()) + ".def";
    t.tree.Write("bin/" + file, "taken");
    CAutomate automate("QVMemoryKeyBusy.def", file, kStateTable, kServiceList, kParams, "QV.log",
                       7);
    EXPECT_EQ(automate.GetContextImage(), nullptr);
    FrameHook hook;
    automate.SetEngineHook(&hook);
    EXPECT_EQ(automate.Run(), 0);
    EXPECT_EQ(hook.passes, 0);
    EXPECT_TRUE(InOrder(
        t.AutomateLines(),
        {"(ERR) Error during CreateSharedMemory", "(INFO) Load Automate Ini File",
         "(ERR) Shared Memory not available : end of the run", "(DEBUG) End Run Automate"}));
}

TEST(Automate, DefaultHookSleepsBetweenPolls) {
    // One pass with an action: 200 ms after the request, 20 ms after the pass.
    struct CountingHook : CEngineHook {
        std::vector<int> pauses;
        void Pause(int ms) override { pauses.push_back(ms); }
    } hook;
    AutomatonTree t;
    t.Write("[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Event.-1\n", {"Event.-1"});
    auto automate = t.Make();
    automate->SetEngineHook(&hook);
    automate->Run();
    EXPECT_EQ(hook.pauses, (std::vector<int>{200, 20, 20}));
    EXPECT_EQ(automate->Engine().Steps(), 1);
}

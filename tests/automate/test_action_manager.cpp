#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automate/Automate.h"
#include "tests/automate/AutomateTestSupport.h"

namespace {

// An automaton that is built but not run: its action manager is called directly.
struct Manager {
    Manager(const std::string& dlls, const std::string& serviceXml) {
        t.Write("[0]\nActionToRun=\nEvent_1=1\n", dlls, serviceXml);
        automate = t.Make();
    }
    CActionManager& actions() { return *automate->Engine().ActionManager(); }
    int Request(const std::string& service) {
        return actions().RequestService(service, "QV.log", kParams, automate->GetContextImage());
    }
    int32_t LastEvent() {
        int32_t v = 99;
        CAutomate::Context()->GetInt("LastEvent", 1, &v);
        return v;
    }
    std::vector<std::string> Lines() {
        automate.reset();
        return t.AutomateLines();
    }
    AutomatonTree t;
    std::unique_ptr<CAutomate> automate;
};

}  // namespace

TEST(ActionManager, DllNamesMatchWithoutRegardToCase) {
    Manager m("1=testActions.DLL\n", ServiceXml({{"Event.3", "TESTACTIONS.dll"}}));
    EXPECT_EQ(m.actions().DllCount(), 1);
    EXPECT_EQ(m.actions().DllName(0), "testActions.DLL");
    EXPECT_EQ(m.Request("Event.3"), 0);
    EXPECT_EQ(m.LastEvent(), 3);
    EXPECT_TRUE(InOrder(m.Lines(), {"(DEBUG) Call RequestService", "(INFO) DLL Found",
                                    "(DEBUG) Request Service : Event.3",
                                    "(DEBUG) Request Service end", "(DEBUG) End RequestService"}));
    // Initialize at load, then Initialize / RequestService / Release per request, Release at end.
    EXPECT_EQ(m.t.Trace(),
              (std::vector<std::string>{"full I", "full I", "full R Event.3", "full X", "full X"}));
}

TEST(ActionManager, DllListEndsAtTheFirstMissingKey) {
    Manager m("1=testActions.dll\n3=testActionsNoRelease.dll\n", ServiceXml({}));
    EXPECT_EQ(m.actions().DllCount(), 1);
    EXPECT_EQ(m.t.Trace(), (std::vector<std::string>{"full I"}));
}

TEST(ActionManager, ADllThatFailsToLoadStopsTheList) {
    Manager m("1=testActions.dll\n2=missing.dll\n3=testActionsNoRelease.dll\n4=../bin/x.dll\n",
              ServiceXml({}));
    EXPECT_EQ(m.actions().DllCount(), 1);
    std::string bin = m.t.tree.Bin();
    EXPECT_EQ(m.actions().LoadDlls(kParams), -1);
    auto lines = m.Lines();
    EXPECT_TRUE(InOrder(lines, {"(DEBUG) Call LoadDlls",
                                "(ERR) Dll missing.dll Not Found in " + bin + "/missing.dll"}));
    EXPECT_EQ(CountOf(lines, "(DEBUG) End LoadDlls"), 0);
}

TEST(ActionManager, NamesWithADirectoryAreRefused) {
    Manager m("1=../bin/testActions.dll\n", ServiceXml({}));
    EXPECT_EQ(m.actions().DllCount(), 0);
    std::string bin = m.t.tree.Bin();
    EXPECT_TRUE(InOrder(m.Lines(), {"(ERR) Dll ../bin/testActions.dll Not Found in " + bin +
                                    "/../bin/testActions.dll"}));
}

TEST(ActionManager, MissingExportsFailWithoutEvent) {
    Manager m("1=testActionsNoRelease.dll\n2=testActionsNoInit.dll\n",
              ServiceXml({{"A", "testActionsNoRelease.dll"}, {"B", "testActionsNoInit.dll"}}));
    EXPECT_EQ(m.actions().DllCount(), 2);
    EXPECT_EQ(m.Request("A"), -1);
    EXPECT_EQ(m.Request("B"), -1);
    EXPECT_EQ(m.LastEvent(), 0);
    auto lines = m.Lines();
    EXPECT_EQ(CountOf(lines, "(INFO) DLL Found"), 2);
    EXPECT_EQ(CountOf(lines, "(DEBUG) End RequestService"), 0);
    for (const auto& l : lines)
        EXPECT_NE(l.rfind("(ERR)", 0), 0u) << l;
    // Loaded (Initialize where exported) but never requested; Release where exported.
    EXPECT_EQ(m.t.Trace(), (std::vector<std::string>{"norelease I", "noinit X"}));
}

TEST(ActionManager, FailedRequestsRaiseEvent2) {
    struct Row {
        const char* service;
        std::vector<std::string> log;
    };
    const Row rows[] = {
        {"Unknown", {"(DEBUG) Call RequestService", "(ERR) Dll Not Found"}},
        {"", {"(DEBUG) Call RequestService", "(ERR) Dll Not Found"}},
        {"Elsewhere",
         {"(DEBUG) Call RequestService", "(ERR) DLL Not Found",
          "(ERR) Unable to load Dll other.dll Not Found"}},
        {"event.1", {"(ERR) Dll Not Found"}},  // service names compare exactly
    };
    for (const Row& row : rows) {
        Manager m("1=testActions.dll\n",
                  ServiceXml({{"Event.1", "testActions.dll"}, {"Elsewhere", "other.dll"}}));
        EXPECT_EQ(m.Request(row.service), -1) << row.service;
        EXPECT_EQ(m.LastEvent(), 2) << row.service;
        EXPECT_TRUE(InOrder(m.Lines(), row.log)) << row.service;
    }
}

TEST(ActionManager, ServiceListRules) {
    struct Row {
        const char* name;
        std::string xml;
        std::vector<std::string> services;  // service names read, in order
        std::vector<std::string> libraries;
    };
    const std::string entry =
        "<service><name>%N</name><component><name>C</name>"
        "<library-location>%L</library-location></component></service>";
    auto e = [&](const std::string& n, const std::string& l) {
        std::string s = entry;
        s.replace(s.find("%N"), 2, n);
        s.replace(s.find("%L"), 2, l);
        return s;
    };
    const Row rows[] = {
        {"AnyDepthAnyRoot",
         "<root><group>" + e("A", "a.dll") + "<deeper>" + e("B", "b.dll") + "</deeper></group>" +
             e("C", "c.dll") + "</root>",
         {"A", "B", "C"},
         {"a.dll", "b.dll", "c.dll"}},
        {"IncompleteEntryStops",
         "<s>" + e("A", "a.dll") +
             "<service><name>B</name><component><name>C</name></component></service>" +
             e("C", "c.dll") + "</s>",
         {"A"},
         {"a.dll"}},
        {"ComponentWithoutNameStops",
         "<s>" + e("A", "a.dll") +
             "<service><name>B</name><component><library-location>b.dll</library-location>"
             "</component></service>" +
             e("C", "c.dll") + "</s>",
         {"A"},
         {"a.dll"}},
        {"ServiceWithoutComponentStops",
         "<s><service><name>A</name></service>" + e("B", "b.dll") + "</s>",
         {},
         {}},
        {"NameBeforeComponentIsTheServiceName",
         "<s><service><component><name>Comp</name><library-location>x.dll</library-location>"
         "</component><name>Late</name></service></s>",
         {"Comp"},
         {"x.dll"}},
        {"TextsAreCut",
         "<s>" + e(std::string(300, 'n'), "a.dll") + "</s>",
         {std::string(199, 'n')},
         {"a.dll"}},
        {"NotXml", "<s><service>", {}, {}},
        {"NoServices", "<s/>", {}, {}},
    };
    for (const Row& row : rows) {
        Manager m("1=testActions.dll\n", row.xml);
        CActionManager& a = m.actions();
        ASSERT_EQ(a.ServiceCount(), static_cast<int>(row.services.size())) << row.name;
        for (size_t i = 0; i < row.services.size(); ++i) {
            EXPECT_EQ(a.Service(static_cast<int>(i)).service, row.services[i]) << row.name;
            EXPECT_EQ(a.Service(static_cast<int>(i)).library, row.libraries[i]) << row.name;
        }
    }
}

TEST(ActionManager, FirstOfTwoEqualServiceNamesIsUsed) {
    Manager m("1=testActions.dll\n2=testActionsNoInit.dll\n",
              ServiceXml({{"Event.4", "testActions.dll"}, {"Event.4", "testActionsNoInit.dll"}}));
    EXPECT_EQ(m.Request("Event.4"), 0);
    EXPECT_EQ(m.LastEvent(), 4);
}

TEST(ActionManager, CapacitiesAreLimits) {
    std::string dlls;
    for (int i = 1; i <= 22; ++i)
        dlls += std::to_string(i) + "=testActions.dll\n";
    std::vector<std::pair<std::string, std::string>> services;
    for (int i = 0; i < 505; ++i)
        services.emplace_back("S" + std::to_string(i), "testActions.dll");
    Manager m(dlls, ServiceXml(services));
    EXPECT_EQ(m.actions().DllCount(), 20);
    EXPECT_EQ(m.actions().ServiceCount(), 501);
    EXPECT_EQ(m.actions().Service(500).service, "S500");
    EXPECT_EQ(m.Request("S500"), 0);
    EXPECT_EQ(m.Request("S501"), -1);
    auto lines = m.Lines();
    EXPECT_TRUE(InOrder(
        lines, {"(WARNING) More than 20 DLLs listed: testActions.dll and the following ones are "
                "ignored",
                "(WARNING) More than 501 services listed: 4 services are ignored"}));
    // Every listed slot gets its Initialize at load and its Release at the end.
    int inits = 0, releases = 0;
    for (const auto& l : m.t.Trace()) {
        inits += l == "full I";
        releases += l == "full X";
    }
    EXPECT_EQ(inits, 20 + 1);
    EXPECT_EQ(releases, 1 + 20);
}

#pragma once
// A runtime tree for automaton tests: the test action plug-ins in bin/, a state table, a
// parameters file and a service list in config/QV/, and a hook that plays the main frame.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "automate/Automate.h"
#include "tests/support/TempTree.h"

inline constexpr const char kStateTable[] = "..\\config\\QV\\QV_automate.ini";
inline constexpr const char kServiceList[] = "..\\config\\QV\\QV_serv.xml";
inline constexpr const char kParams[] = "..\\config\\QV\\QV_params.ini";

// The context every test table declares.
extern const char kContextSection[];

// <services> with one entry per (service name, library location).
std::string ServiceXml(const std::vector<std::pair<std::string, std::string>>& services);

class AutomatonTree {
  public:
    AutomatonTree();

    // Writes the state table (kContextSection followed by states), the "DLLS" section and the
    // service list.
    void Write(const std::string& states, const std::string& dllsSection,
               const std::string& serviceXml) const;
    // Same, every listed service provided by testActions.dll.
    void Write(const std::string& states, const std::vector<std::string>& services) const;

    // A CAutomate on the tree's files with a memory name no other test process uses.
    std::unique_ptr<CAutomate> Make() const;

    // Lines of the log tagged CAutomate, without time stamp and tag: "(DEBUG) Run of ...".
    std::vector<std::string> AutomateLines() const;
    // Lines the plug-ins appended to plugin_trace.txt.
    std::vector<std::string> Trace() const;

    TempTree tree;
};

// Plays the main frame: a requested screen is recorded, Gui cleared, and the next event queued
// for that screen raised. Stops the run after a number of passes so a faulty run cannot hang.
class FrameHook : public CNoSleepHook {
  public:
    bool Pump() override;

    std::map<std::string, std::vector<int>> answers;
    std::vector<std::string> screens;
    int passes = 0;
    int passLimit = 500;
};

// Every expected line appears in lines, in this order (other lines may come between).
::testing::AssertionResult InOrder(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& expected);
int CountOf(const std::vector<std::string>& lines, const std::string& line);

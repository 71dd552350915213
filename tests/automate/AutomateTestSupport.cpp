#include "tests/automate/AutomateTestSupport.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <sstream>

#include "base/Profile.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

const char kContextSection[] =
    "[CONTEXT]\n1=LastEvent:INT:1\n2=LastState:INT:1\n3=NextState:INT:1\n4=Gui:STRING:1\n"
    "5=NameState:STRING:1\n6=PathGui:STRING:1\n7=Target:INT:1\n8=Name:STRING:2\n";

std::string ServiceXml(const std::vector<std::pair<std::string, std::string>>& services) {
    std::string xml = "<?xml version=\"1.0\"?>\n<services>\n";
    for (const auto& [name, library] : services) {
        xml += "  <service><name>" + name +
               "</name><component><name>Test</name>"
               "<library-location>" +
               library + "</library-location></component></service>\n";
    }
    return xml + "</services>\n";
}

AutomatonTree::AutomatonTree() {
    for (const char* name : {"testActions.so", "testActionsNoRelease.so", "testActionsNoInit.so"})
        fs::copy_file(std::string(TEST_PLUGIN_DIR) + "/" + name, tree.Bin() + "/" + name);
    platform::SetProgramDirectory(tree.Bin());
    ClearProfileCache();
}

void AutomatonTree::Write(const std::string& states, const std::string& dllsSection,
                          const std::string& serviceXml) const {
    tree.Write("config/QV/QV_automate.ini", std::string(kContextSection) + states);
    tree.Write("config/QV/QV_params.ini", "[DLLS]\n" + dllsSection + "\n[PARAMS]\nModal=false\n");
    tree.Write("config/QV/QV_serv.xml", serviceXml);
}

void AutomatonTree::Write(const std::string& states,
                          const std::vector<std::string>& services) const {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& s : services)
        entries.emplace_back(s, "testActions.dll");
    Write(states, "1=testActions.dll\n", ServiceXml(entries));
}

std::unique_ptr<CAutomate> AutomatonTree::Make() const {
    static std::atomic<int> serial{0};
    std::string n = std::to_string(getpid()) + "_" + std::to_string(serial++);
    return std::make_unique<CAutomate>("QVMemoryKeyT" + n + ".def", "QVMemoryFileT" + n + ".def",
                                       kStateTable, kServiceList, kParams, "QV.log", 7);
}

std::vector<std::string> AutomatonTree::AutomateLines() const {
    std::vector<std::string> out;
    std::istringstream in(tree.Read("Log/1_QV.log"));
    const std::string tag = "[CAutomate]  ";
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t at = line.find(tag);
        if (at != std::string::npos)
            out.push_back(line.substr(at + tag.size()));
    }
    return out;
}

std::vector<std::string> AutomatonTree::Trace() const {
    std::vector<std::string> out;
    std::istringstream in(tree.Read("bin/plugin_trace.txt"));
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

bool FrameHook::Pump() {
    if (++passes > passLimit)
        return false;
    CAutomateContext* context = CAutomate::Context();
    char gui[CAutomateContext::kStringBufferBytes] = "";
    if (!context || context->Find("Gui", 1) < 0 || context->GetString("Gui", 1, gui) < 0 ||
        gui[0] == '\0')
        return true;
    std::string name(gui);
    name = name.substr(name.rfind('\\') + 1);
    name = name.substr(0, name.rfind('.'));
    context->SetString("Gui", 1, "");
    screens.push_back(name);
    auto& queue = answers[name];
    if (!queue.empty()) {
        context->SetInt("LastEvent", 1, queue.front());
        queue.erase(queue.begin());
    }
    return true;
}

::testing::AssertionResult InOrder(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& expected) {
    size_t at = 0;
    for (const std::string& want : expected) {
        while (at < lines.size() && lines[at] != want)
            ++at;
        if (at == lines.size()) {
            std::string dump;
            for (const auto& l : lines)
                dump += "  " + l + "\n";
            return ::testing::AssertionFailure() << "missing (in order): " << want << "\nlog:\n"
                                                 << dump;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

int CountOf(const std::vector<std::string>& lines, const std::string& line) {
    int n = 0;
    for (const auto& l : lines)
        n += l == line;
    return n;
}

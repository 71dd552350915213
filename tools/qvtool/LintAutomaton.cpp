// The automaton's part of the check: the context definition and the states of a state table,
// the DLLs of a parameters file and a service list.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "automate/ActionManager.h"
#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "tools/qvtool/LintInternal.h"
#include "tools/qvtool/StateModel.h"

namespace fs = std::filesystem;
using xercesc::DOMElement;

namespace authoring::lint {

// Section CONTEXT, read as the context reads it; returns each property's value size.
std::map<std::string, int32_t> Linter::LintContext(const IniFile& table) {
    std::map<std::string, int32_t> sizes;
    if (!table.Readable())
        return sizes;
    const std::string& file = table.Display();
    std::map<std::string, int> firstLine;
    int total = 0;
    int key = 1;
    char value[kProfileValueMax + 1];
    for (;; ++key) {
        std::string k = std::to_string(key);
        if (ReadIniString(table.Relative().c_str(), "CONTEXT", k.c_str(), value) != 0)
            break;
        int line = table.KeyLine("CONTEXT", k);
        ContextDefinition def = SplitContextDefinition(value);
        if (!def.name.empty() && def.name.front() == '@') {
            ++key;
            break;
        }
        int32_t size = CAutomateContext::TypeSize(def.type);
        if (size == 0) {
            report_.Error(file, line,
                          StrFormat("property %s has unknown type %s (INT, LONG, PTR, "
                                    "STRING, VOID): the definition stops here",
                                    Quote(def.name).c_str(), Quote(def.type).c_str()));
            ++key;
            break;
        }
        if (def.name.empty())
            report_.Error(file, line, "property without a name");
        if (def.name.size() > CAutomateContext::kMaxNameChars)
            report_.Warning(file, line,
                            StrFormat("property name longer than %zu characters is cut",
                                      CAutomateContext::kMaxNameChars));
        if (def.count < 1)
            report_.Warning(
                file, line,
                StrFormat("count %d adds no property %s", def.count, Quote(def.name).c_str()));
        auto [it, inserted] = firstLine.try_emplace(def.name, line);
        if (!inserted) {
            report_.Error(file, line,
                          StrFormat("property %s is defined again (line %d): readers by "
                                    "name only ever see the first",
                                    Quote(def.name).c_str(), it->second));
        }
        total += std::max(0, def.count);
        if (total > QV_MAX_PROPERTIES) {
            report_.Error(
                file, line,
                StrFormat("more than %d properties: the definition stops here", QV_MAX_PROPERTIES));
            ++key;
            break;
        }
        if (def.count > 0)
            sizes.try_emplace(def.name, size);
    }
    // Numbers past the end are never read.
    for (const ProfileLine* k : table.Keys("CONTEXT")) {
        std::string name = Narrow(k->name);
        int n = ParseDecimal(name);
        if (name == std::to_string(n) && n >= key) {
            report_.Warning(file, k->line,
                            StrFormat("context key %d is never read: the definition ends "
                                      "before it",
                                      n));
            break;
        }
    }
    if (!table.HasSection("CONTEXT")) {
        report_.Error(file, 0, "no section CONTEXT: the automaton has no property");
    } else if (!sizes.count(ctx::kLastEvent)) {
        report_.Error(file, table.SectionLine("CONTEXT"),
                      "no property LastEvent: no event ever reaches the automaton");
    } else {
        for (const char* name :
             {ctx::kLastState, ctx::kNextState, ctx::kGui, ctx::kNameState, ctx::kPathGui}) {
            if (!sizes.count(name))
                report_.Warning(file, table.SectionLine("CONTEXT"),
                                StrFormat("no property %s", name));
        }
    }
    return sizes;
}

// Section DLLS and the service list; returns the services whose DLL is listed.
std::set<std::string> Linter::LintServices(const FileSet& files) {
    std::set<std::string> found;
    IniFile params(files.parameters);
    std::vector<std::string> dlls;
    if (!params.Readable()) {
        report_.Error(params.Display(), 0, "parameters file cannot be read");
    } else {
        params.CheckShape(report_);
        params.CheckNumbered(report_, "DLLS", "", 1);
        char value[kProfileValueMax + 1];
        for (int key = 1;; ++key) {
            std::string k = std::to_string(key);
            if (ReadIniString(params.Relative().c_str(), "DLLS", k.c_str(), value) != 0)
                break;
            int line = params.KeyLine("DLLS", k);
            if (key > CActionManager::kMaxDlls) {
                report_.Error(params.Display(), line,
                              StrFormat("more than %d DLLs: this one and later ones are not "
                                        "loaded",
                                        CActionManager::kMaxDlls));
                break;
            }
            std::string name = value;
            dlls.push_back(name);
            CheckDll(params.Display(), line, name);
        }
    }

    std::string display = DisplayPath(files.serviceList);
    if (!IsRegularFile(files.serviceList)) {
        report_.Error(display, 0, "service list cannot be read");
        return found;
    }
    std::string error;
    auto doc = ParseWithLines(files.serviceList, &error);
    if (!doc) {
        report_.Error(display, LineOfError(error), "service list is not readable: " + error);
        return found;
    }
    // The manager reads the list; nothing is loaded without a parameters file.
    CActionManager manager("", nullptr, nullptr);
    manager.LoadServices(files.serviceList);
    std::vector<DOMElement*> elements = ElementsUnder(doc->Root(), "service");
    if (elements.size() > static_cast<size_t>(CActionManager::kMaxServices)) {
        report_.Error(display, XmlLineOf(elements[CActionManager::kMaxServices]),
                      StrFormat("more than %d services: this one and later ones are never "
                                "found",
                                CActionManager::kMaxServices));
    } else if (static_cast<size_t>(manager.ServiceCount()) < elements.size()) {
        report_.Error(display, XmlLineOf(elements[manager.ServiceCount()]),
                      "service without name, component, component name or "
                      "library-location: the list ends here");
    }
    std::map<std::string, int> seen;
    for (int i = 0; i < manager.ServiceCount(); ++i) {
        const CActionManager::ServiceEntry& s = manager.Service(i);
        int line = XmlLineOf(elements[static_cast<size_t>(i)]);
        auto [it, inserted] = seen.try_emplace(s.service, line);
        if (!inserted) {
            report_.Warning(display, line,
                            StrFormat("service %s is listed again (line %d): the first one "
                                      "is used",
                                      Quote(s.service).c_str(), it->second));
            continue;
        }
        bool listed = std::any_of(dlls.begin(), dlls.end(),
                                  [&](const std::string& d) { return EqualsNoCase(d, s.library); });
        if (!listed && params.Readable()) {
            report_.Error(display, line,
                          StrFormat("service %s names DLL %s, which section DLLS of %s does "
                                    "not list",
                                    Quote(s.service).c_str(), Quote(s.library).c_str(),
                                    fs::path(params.Display()).filename().c_str()));
        }
        found.insert(s.service);
    }
    return found;
}

void Linter::CheckDll(const std::string& file, int line, const std::string& name) {
    if (name.empty() || name.find_first_of("/\\") != std::string::npos) {
        report_.Error(file, line,
                      "DLL " + Quote(name) +
                          " is refused: a plain file name is loaded from "
                          "the program directory");
        return;
    }
    std::string path = platform::ProgramDirectory() + "/" + platform::ModuleFileName(name);
    auto cached = dlls_.find(path);
    if (cached == dlls_.end()) {
        std::string problem;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            problem = "is missing (" + path + ")";
        } else {
            std::string error;
            auto module = platform::Module::Load(path, &error);
            if (!module) {
                problem = "cannot be loaded: " + error;
            } else {
                std::string lacking;
                for (const char* entry : {"Initialize", "RequestService", "Release"}) {
                    if (!module->Symbol(entry))
                        lacking += lacking.empty() ? entry : std::string(", ") + entry;
                }
                if (!lacking.empty())
                    problem = "does not export " + lacking + ": its services always fail";
            }
        }
        cached = dlls_.emplace(path, problem).first;
    }
    if (!cached->second.empty())
        report_.Error(file, line, "DLL " + Quote(name) + " " + cached->second);
}

void Linter::LintStates(const IniFile& table, const std::map<std::string, int32_t>& properties,
                        const std::set<std::string>& services) {
    const std::string& file = table.Display();
    StateModel m = BuildStateModel(table.Relative());
    if (m.defined == 0) {
        report_.Error(file, 0, "no state: no section 0 to 700 has ActionToRun");
        return;
    }
    if (!m.Defined(0))
        report_.Error(file, 0, "no state 0: the run starts there");

    // Sections that are not states.
    int ignored = 0;
    int ignoredLine = 0;
    std::string ignoredName;
    for (const std::string& name : table.SectionNames()) {
        if (EqualsNoCase(name, "CONTEXT"))
            continue;
        int n = ParseDecimal(name);
        bool number = name == std::to_string(n);
        if (number && n >= 0 && n <= kMaxStateNumber) {
            if (!m.Defined(n))
                report_.Warning(file, table.SectionLine(name),
                                StrFormat("section %d has no ActionToRun: it defines no "
                                          "state",
                                          n));
            continue;
        }
        if (ignored++ == 0) {
            ignoredLine = table.SectionLine(name);
            ignoredName = name;
        }
    }
    if (ignored > 0) {
        report_.Warning(
            file, ignoredLine,
            StrFormat("section %s is not a state (0 to 700) and is never read%s",
                      Quote(ignoredName).c_str(),
                      ignored > 1 ? StrFormat(" (nor %d more like it)", ignored - 1).c_str() : ""));
    }

    for (int n = 0; n <= m.highest; ++n) {
        if (!m.Defined(n))
            continue;
        std::string section = std::to_string(n);
        int sectionLine = table.SectionLine(section);
        const AutomateState& s = m.states[static_cast<size_t>(n)];
        int actionLine = table.KeyLine(section, "ActionToRun");
        // State 0's action never runs: the start follows its event 1 at once.
        if (n != 0) {
            if (s.action.empty()) {
                report_.Warning(file, actionLine,
                                StrFormat("state %d has an empty ActionToRun: entering it "
                                          "fails and raises event 2",
                                          n));
            } else if (!services.count(s.action)) {
                report_.Error(file, actionLine,
                              StrFormat("state %d runs %s, which the service list does not "
                                        "provide",
                                        n, Quote(s.action).c_str()));
            }
        }
        for (const ProfileLine* k : table.Keys(section)) {
            std::string key = Narrow(k->name);
            if (EqualsNoCase(key, "ActionToRun") || EqualsNoCase(key, "Event_Default"))
                continue;
            if (key.size() > 6 && EqualsNoCase(key.substr(0, 6), "Event_")) {
                std::string digits = key.substr(6);
                int e = ParseDecimal(digits);
                if (digits == std::to_string(e) && e >= 1 && e < AutomateState::kEvents)
                    continue;
                if (digits == "0") {
                    report_.Warning(file, k->line,
                                    "Event_0 is never followed: event 0 means no event");
                } else {
                    report_.Error(
                        file, k->line,
                        StrFormat("%s is never followed: events are 1 to 19", key.c_str()));
                }
                continue;
            }
            report_.Warning(file, k->line,
                            StrFormat("key %s is not read in a state", Quote(key).c_str()));
        }
        if (!m.reachable[n] && n != 0)
            report_.Warning(file, sectionLine,
                            StrFormat("state %d is unreachable from state 0", n));
        if (!m.canEnd[n])
            report_.Warning(file, sectionLine,
                            StrFormat("state %d is a trap: none of its transitions leads to "
                                      "the end (-1)",
                                      n));
    }

    for (const StateEdge& e : m.edges) {
        std::string section = std::to_string(e.from);
        std::string key = e.event == 0 ? "Event_Default" : StrFormat("Event_%d", e.event);
        int line = table.KeyLine(section, key);
        if (e.event == 0 && line == 0)
            continue;  // the implicit default, -1
        const AutomateState& s = m.states[static_cast<size_t>(e.from)];
        const std::string& text =
            e.event == 0 ? std::to_string(s.eventDefault) : s.events[static_cast<size_t>(e.event)];
        if (e.form == NextStateText::Form::Variable) {
            auto p = properties.find(e.variable);
            if (e.variable.empty()) {
                report_.Error(
                    file, line,
                    StrFormat("%s %s names no property", key.c_str(), Quote(text).c_str()));
            } else if (p == properties.end()) {
                report_.Error(file, line,
                              StrFormat("%s names property %s, which section CONTEXT does "
                                        "not define",
                                        key.c_str(), Quote(e.variable).c_str()));
            } else if (p->second != QV_INT_SIZE) {
                report_.Warning(file, line,
                                StrFormat("%s names property %s, which is not an INT", key.c_str(),
                                          Quote(e.variable).c_str()));
            }
            continue;
        }
        if (e.to == kOutOfRange) {
            report_.Error(file, line,
                          StrFormat("%s leads to %s, outside -1 to 700: the engine keeps "
                                    "the state",
                                    key.c_str(), Quote(text).c_str()));
            continue;
        }
        if (e.form == NextStateText::Form::Number) {
            std::string trimmed = text;
            if (trimmed != std::to_string(e.to))
                report_.Warning(
                    file, line,
                    StrFormat("%s %s is read as state %d", key.c_str(), Quote(text).c_str(), e.to));
        }
        if (e.to >= 0 && !m.Defined(e.to)) {
            report_.Error(file, line,
                          StrFormat("%s leads to state %d, which has no section with "
                                    "ActionToRun",
                                    key.c_str(), e.to));
        }
    }
    LintBackTransitions(table, m);
}

}  // namespace authoring::lint

#pragma once
// What the parts of "qvtool lint" share; private to tools/qvtool. Lint.cpp runs the parts in
// order, LintIni.cpp reads profile files with their lines, and each other Lint*.cpp checks one
// part of a configuration: Linter's members are grouped below by the file that defines them.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/FileSet.h"
#include "base/Profile.h"
#include "base/XmlDocument.h"
#include "screens/ControlKind.h"
#include "tools/qvtool/Lint.h"
#include "tools/qvtool/Report.h"
#include "tools/qvtool/StateModel.h"
#include "xmlgui/DlgTemplate.h"

namespace authoring::lint {

// The setup plug-in's country rules, beside the country table.
inline constexpr char kCountryRulesFile[] = "..\\config\\country_rules.ini";

bool IsRegularFile(const std::string& relative);

// Short enough to quote in a one-line message.
std::string Quote(std::string_view text);

// The "line N:" that the XML readers put in front of a parse error; 0 when there is none.
int LineOfError(const std::string& error);

// The elements of an XML file with their lines, parsed the way the readers parse it.
std::unique_ptr<XmlDocument> ParseWithLines(const std::string& relative, std::string* error);

std::vector<xercesc::DOMElement*> ElementsUnder(const xercesc::DOMElement* parent, const char* tag);

// The IDs a screen gives that kind of control, as "1001-1040".
std::string KindRange(screens::ControlKind kind);

// A profile file listed line by line: where sections and keys are, and what the reads never
// see.
class IniFile {
  public:
    explicit IniFile(std::string relative);

    bool Readable() const { return readable_; }
    const std::string& Relative() const { return relative_; }
    const std::string& Display() const { return display_; }

    bool HasSection(std::string_view section) const;
    int SectionLine(std::string_view section) const;
    // Line of the key the reads return; 0 when there is none.
    int KeyLine(std::string_view section, std::string_view key) const;
    // Keys of the section the reads use, in file order.
    std::vector<const ProfileLine*> Keys(std::string_view section) const;
    // Section names as written, first occurrences in file order.
    const std::vector<std::string>& SectionNames() const { return order_; }

    // What a person does by mistake in any profile file.
    void CheckShape(Report& report) const;

    // Numbered keys "<prefix><n>" of a section from start: the reads stop at the first missing
    // number, so any after it are dead.
    void CheckNumbered(Report& report, std::string_view section, std::string_view prefix,
                       int start) const;

  private:
    struct Section {
        int line = 0;
        std::vector<size_t> keys;
        std::map<std::wstring, int> keyLines;
    };
    struct Repeat {
        bool section = false;
        std::string name;
        int line = 0;
        int first = 0;
    };

    void Index();

    std::string relative_;
    std::string display_;
    bool readable_ = false;
    std::vector<ProfileLine> lines_;
    std::map<std::wstring, Section> sections_;
    std::vector<std::string> order_;
    std::vector<Repeat> repeats_;
    int firstOrphan_ = 0;
};

// A translation ID a screen uses, and where.
struct TradUse {
    std::string id;
    std::string file;
    int line = 0;
};

// A screen's dialog: its controls and the line of each.
struct Dialog {
    bool loaded = false;
    std::string display;  // the file as messages name it
    xmlgui::DialogTemplate tmpl;
    std::map<int, int> lines;  // control ID -> line

    bool Has(int id) const { return loaded && tmpl.Find(id) != nullptr; }
    int Line(int id) const {
        auto it = lines.find(id);
        return it == lines.end() ? 0 : it->second;
    }
};

// What a screen's hints and event buttons say, to check that a hint names the buttons as the
// screen labels them.
struct ScreenTexts {
    std::vector<TradUse> hints;               // the labels' translation IDs
    std::map<int, std::string> buttonTrads;   // event button -> translation ID
    std::map<int, std::wstring> buttonTexts;  // event button -> its dialog text
    std::set<int> buttons;                    // the event buttons of its dialog
};

// Language code -> translation ID -> text.
using TextTables = std::map<std::string, std::map<std::string, std::wstring>>;

// The whole check; Run gives the order of the parts.
class Linter {
  public:
    Linter(const LintOptions& options, Report& report) : options_(options), report_(report) {}

    void Run();

  private:
    // Lint.cpp: one mode, its state table, services and screens.
    void LintMode(Mode mode);

    // LintAutomaton.cpp: the state table's context and states, the DLLs and the service list.
    std::map<std::string, int32_t> LintContext(const IniFile& table);
    std::set<std::string> LintServices(const FileSet& files);
    void CheckDll(const std::string& file, int line, const std::string& name);
    void LintStates(const IniFile& table, const std::map<std::string, int32_t>& properties,
                    const std::set<std::string>& services);

    // LintFlow.cpp: where Back leads, and what the hints name.
    void LintBackTransitions(const IniFile& table, const StateModel& model);
    void LintHints(const TextTables& tables);

    // LintScreens.cpp: the screens a mode names or the screen folder holds, their dialog and
    // settings files.
    struct ModeScreens {
        const IniFile* pictures = nullptr;
        const IniFile* labels = nullptr;
        const IniFile* combos = nullptr;
    };
    void LintScreens(const FileSet& files);
    void LintGuiDirectory();
    Dialog LoadDialog(const std::string& relative);
    void LintScreen(const std::string& name, const IniFile* mentionedIn, int mentionLine,
                    const ModeScreens& profiles);
    void LintSettings(const std::string& name, const std::string& relative,
                      const std::string& whereFile, int whereLine, const Dialog& dialog);

    // LintScreenProfiles.cpp: what the mode's profile files say of a screen, and pictures.
    void CheckPicture(const std::string& file, int line, const std::string& what,
                      const std::string& relative, bool required = true);
    void CheckBackground(const IniFile& pictures, const std::string& screen);
    void LintScreenProfiles(const std::string& screen, const ModeScreens& p, const Dialog& dialog);
    void AddTrad(const std::string& id, const std::string& file, int line);

    // LintTranslations.cpp: languages, the translation IDs the screens use, countries.
    void LintTranslations();
    void LintCountries(const TextTables& tables, const std::map<std::string, int>& codes);
    void LintCountryRules(const std::set<std::string>& countries);

    const LintOptions& options_;
    Report& report_;
    std::map<std::string, std::string> pictures_;  // path -> problem
    std::map<std::string, std::string> dlls_;
    std::set<std::string> screensSeen_;
    std::set<std::string> checkedScreens_;
    std::map<std::string, Dialog> dialogs_;
    std::vector<TradUse> trads_;
    std::map<std::string, ScreenTexts> screenTexts_;
    bool countryScreen_ = false;
};

}  // namespace authoring::lint

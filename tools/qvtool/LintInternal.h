#pragma once
// What the parts of "qvtool lint" share; private to tools/qvtool. LintIni.cpp reads profile
// files with their lines, the other Lint*.cpp files check one kind of file each.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Profile.h"
#include "base/XmlDocument.h"
#include "tools/qvtool/Report.h"
#include "xmlgui/DlgTemplate.h"

namespace authoring::lint {

bool IsRegularFile(const std::string& relative);

// Short enough to quote in a one-line message.
std::string Quote(std::string_view text);

// The "line N:" that the XML readers put in front of a parse error; 0 when there is none.
int LineOfError(const std::string& error);

// The elements of an XML file with their lines, parsed the way the readers parse it.
std::unique_ptr<XmlDocument> ParseWithLines(const std::string& relative, std::string* error);

std::vector<xercesc::DOMElement*> ElementsUnder(const xercesc::DOMElement* parent, const char* tag);

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
    xmlgui::DialogTemplate tmpl;
    std::map<int, int> lines;  // control ID -> line

    bool Has(int id) const { return loaded && tmpl.Find(id) != nullptr; }
    int Line(int id) const {
        auto it = lines.find(id);
        return it == lines.end() ? 0 : it->second;
    }
};

}  // namespace authoring::lint

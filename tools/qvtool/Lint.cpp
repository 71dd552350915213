// The entry of "qvtool lint": the order of the checks, and the helpers all parts use.
#include "tools/qvtool/Lint.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <xercesc/dom/DOM.hpp>

#include "app/FileSet.h"
#include "base/Text.h"
#include "base/XmlDocument.h"
#include "platform/Paths.h"
#include "tools/qvtool/LintInternal.h"

namespace fs = std::filesystem;
using xercesc::DOMElement;
using xercesc::DOMNodeList;

namespace authoring {

std::string DisplayPath(const std::string& relative) {
    fs::path p(platform::NativePath(relative));
    if (p.is_relative())
        p = fs::path(platform::ProgramDirectory()) / p;
    return p.lexically_normal().string();
}

namespace lint {

bool IsRegularFile(const std::string& relative) {
    struct stat st {};
    return stat(platform::NativePath(relative).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Quote(std::string_view text) {
    std::string cut(CutUtf8(text, 60));
    return "\"" + cut + (cut.size() < text.size() ? "...\"" : "\"");
}

int LineOfError(const std::string& error) {
    size_t at = error.find("line ");
    return at == std::string::npos ? 0 : std::max(0, ParseDecimal(error.substr(at + 5)));
}

std::unique_ptr<XmlDocument> ParseWithLines(const std::string& relative, std::string* error) {
    XmlParseOptions options;
    options.createEntityReferenceNodes = false;
    options.recordLines = true;
    return XmlDocument::ParseFile(relative, error, options);
}

std::vector<DOMElement*> ElementsUnder(const DOMElement* parent, const char* tag) {
    std::vector<DOMElement*> out;
    if (!parent)
        return out;
    std::u16string name = NarrowToXml(tag);
    DOMNodeList* list = parent->getElementsByTagName(name.c_str());
    for (XMLSize_t i = 0; list && i < list->getLength(); ++i) {
        if (auto* e = dynamic_cast<DOMElement*>(list->item(i)))
            out.push_back(e);
    }
    return out;
}

void Linter::Run() {
    for (const std::string& mode : options_.modes)
        LintMode(mode == "RW" ? Mode::Reconfiguration : Mode::Installation);
    LintGuiDirectory();
    LintTranslations();
}

void Linter::LintMode(Mode mode) {
    FileSet files = FileSet::For(mode);
    IniFile table(files.stateTable);
    if (!table.Readable()) {
        report_.Error(table.Display(), 0, "state table cannot be read");
    } else {
        table.CheckShape(report_);
    }
    std::map<std::string, int32_t> properties = LintContext(table);
    std::set<std::string> services = LintServices(files);
    if (table.Readable())
        LintStates(table, properties, services);
    LintScreens(files);
}

}  // namespace lint

void LintConfiguration(const LintOptions& options, Report& report) {
    XmlPlatform xml;
    lint::Linter(options, report).Run();
}

}  // namespace authoring
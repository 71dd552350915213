// qvtool trad: the translation table to and from gettext PO files, so translators work in the
// editors they know.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>

#include "base/Text.h"
#include "base/XmlDocument.h"
#include "platform/Paths.h"
#include "services/Translator.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"
#include "tools/qvtool/Lint.h"
#include "tools/qvtool/Po.h"

using namespace xercesc;

namespace {

const char kUsage[] =
    "usage: qvtool trad export [--root BINDIR] --lang CODE FILE.po\n"
    "       qvtool trad import [--root BINDIR] [--lang CODE] FILE.po\n";
// The language every msgid is written in.
const char kSourceLanguage[] = "en";
// Largest PO file taken.
constexpr std::streamsize kMaxPoBytes = 64 << 20;

std::map<std::string, std::wstring> LoadTable(ZFQTranslator& translator, const std::string& code,
                                              bool* ok) {
    *ok = translator.LoadLanguage(code.c_str()) >= 0;
    return *ok ? translator.Table() : std::map<std::string, std::wstring>{};
}

int Export(const std::string& code, const std::string& poPath) {
    ZFQTranslator translator;
    translator.SetWarningStream(stderr);
    bool ok = false;
    auto english = LoadTable(translator, kSourceLanguage, &ok);
    auto target = ok ? LoadTable(translator, code, &ok) : english;
    if (!ok) {
        std::fprintf(stderr, "qvtool trad: cannot read %s\n",
                     platform::NativePath(kTranslationFile).c_str());
        return kStatusUsage;
    }
    std::set<std::string> ids;
    for (const auto& [id, text] : english)
        ids.insert(id);
    for (const auto& [id, text] : target)
        ids.insert(id);
    std::string out = "# Texts of the wizard: the identifier as msgctxt, English as msgid.\n";
    out += authoring::PoHeader(code);
    for (const std::string& id : ids) {
        out += "\n";
        auto en = english.find(id);
        std::string source = en == english.end() ? std::string() : Narrow(en->second);
        if (source.empty()) {
            out += "#. no English text: the identifier stands in\n";
            source = id;
        }
        auto t = target.find(id);
        out += authoring::PoString("msgctxt", id);
        out += authoring::PoString("msgid", source);
        out += authoring::PoString("msgstr", t == target.end() ? std::string() : Narrow(t->second));
    }
    std::ofstream file(poPath, std::ios::binary | std::ios::trunc);
    file << out;
    file.close();
    if (!file) {
        std::fprintf(stderr, "qvtool trad: cannot write %s\n", poPath.c_str());
        return kStatusUsage;
    }
    std::printf("%zu texts exported to %s\n", ids.size(), poPath.c_str());
    return 0;
}

DOMElement* FirstLang(DOMElement* entry, const std::u16string& code) {
    std::u16string lang = NarrowToXml("Lang");
    std::u16string attr = NarrowToXml("codeKSO");
    DOMNodeList* list = entry->getElementsByTagName(lang.c_str());
    for (XMLSize_t i = 0; list && i < list->getLength(); ++i) {
        auto* e = dynamic_cast<DOMElement*>(list->item(i));
        if (e && std::u16string(e->getAttribute(attr.c_str())) == code)
            return e;
    }
    return nullptr;
}

// A new Lang element at the end of entry, indented like the one before it.
DOMElement* AddLang(DOMDocument* doc, DOMElement* entry, const std::u16string& code) {
    std::u16string lang = NarrowToXml("Lang");
    std::u16string attr = NarrowToXml("codeKSO");
    DOMElement* e = doc->createElement(lang.c_str());
    e->setAttribute(attr.c_str(), code.c_str());
    DOMNode* last = entry->getLastChild();
    std::u16string indent = u"\n    ";
    std::u16string closing = u"\n  ";
    if (last && last->getNodeType() == DOMNode::TEXT_NODE) {
        closing = last->getNodeValue();
        DOMNode* before = last->getPreviousSibling();
        DOMNode* gap = before ? before->getPreviousSibling() : nullptr;
        if (gap && gap->getNodeType() == DOMNode::TEXT_NODE)
            indent = gap->getNodeValue();
        entry->insertBefore(doc->createTextNode(indent.c_str()), last);
        entry->insertBefore(e, last);
    } else {
        entry->appendChild(doc->createTextNode(indent.c_str()));
        entry->appendChild(e);
        entry->appendChild(doc->createTextNode(closing.c_str()));
    }
    return e;
}

bool Serialize(DOMDocument* doc, std::string* bytes) {
    static const XMLCh kLs[] = {u'L', u'S', 0};
    DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(kLs);
    if (!impl)
        return false;
    DOMLSSerializer* serializer = impl->createLSSerializer();
    DOMLSOutput* output = impl->createLSOutput();
    MemBufFormatTarget target;
    output->setByteStream(&target);
    std::u16string utf8 = NarrowToXml("UTF-8");
    output->setEncoding(utf8.c_str());
    bool ok = false;
    try {
        ok = serializer->write(doc, output);
    } catch (...) {
        ok = false;
    }
    if (ok)
        bytes->assign(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
    output->release();
    serializer->release();
    return ok;
}

// Start of the root element's tag in XML bytes (after the prolog), or npos.
size_t RootStart(const std::string& bytes, const std::string& root) {
    size_t pos = 0;
    while ((pos = bytes.find("<" + root, pos)) != std::string::npos) {
        char next = pos + 1 + root.size() < bytes.size() ? bytes[pos + 1 + root.size()] : '\0';
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' ||
            next == '\n')
            return pos;
        ++pos;
    }
    return std::string::npos;
}

// The serializer writes its own declaration and drops what follows the root; the file keeps
// the author's prolog and ending.
std::string KeepProlog(const std::string& original, const std::string& written,
                       const std::string& root) {
    size_t a = RootStart(original, root);
    size_t b = RootStart(written, root);
    std::string close = "</" + root + ">";
    size_t endA = original.rfind(close);
    size_t endB = written.rfind(close);
    if (a == std::string::npos || b == std::string::npos || endA == std::string::npos ||
        endB == std::string::npos || endB < b)
        return written;
    return original.substr(0, a) + written.substr(b, endB + close.size() - b) +
           original.substr(endA + close.size());
}

// Writes bytes over path through a temporary file beside it, so a failure leaves the old file.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
    std::string tmp = path + ".tmp";
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
              fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

int Import(std::string code, const std::string& poPath) {
    std::ifstream in(poPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "qvtool trad: cannot read %s\n", poPath.c_str());
        return kStatusUsage;
    }
    std::string text;
    {
        std::ostringstream buffer;
        buffer << in.rdbuf();
        text = buffer.str();
    }
    if (static_cast<std::streamsize>(text.size()) > kMaxPoBytes) {
        std::fprintf(stderr, "%s: error: larger than %lld bytes\n", poPath.c_str(),
                     static_cast<long long>(kMaxPoBytes));
        return 1;
    }
    authoring::PoFile po;
    std::vector<authoring::PoMessage> errors;
    if (!authoring::ParsePo(text, &po, &errors)) {
        for (const auto& e : errors)
            std::fprintf(stderr, "%s:%d: error: %s\n", poPath.c_str(), e.line, e.text.c_str());
        std::fprintf(stderr, "qvtool trad: nothing imported\n");
        return 1;
    }
    if (code.empty())
        code = po.language;
    if (Widen(code).size() != 2) {
        std::fprintf(stderr, "%s: error: language %s is not a two-letter code (give --lang CODE)\n",
                     poPath.c_str(), code.empty() ? "(none)" : code.c_str());
        return 1;
    }

    XmlPlatform xml;
    std::string error;
    std::string xmlPath = authoring::DisplayPath(kTranslationFile);
    std::string original;
    {
        std::ifstream xmlIn(xmlPath, std::ios::binary);
        std::ostringstream buffer;
        buffer << xmlIn.rdbuf();
        original = buffer.str();
    }
    // Entity references stay as written, so an untouched part is written back as it was.
    auto doc = XmlDocument::ParseFile(kTranslationFile, &error);
    if (!doc) {
        std::fprintf(stderr, "%s: error: %s\n", xmlPath.c_str(), error.c_str());
        return kStatusUsage;
    }
    std::map<std::string, DOMElement*> entries;  // first entry of each ID, as the reader has it
    std::u16string tag = NarrowToXml("TraductionElement");
    std::u16string idAttr = NarrowToXml("id");
    DOMNodeList* list = doc->Root()->getElementsByTagName(tag.c_str());
    for (XMLSize_t i = 0; list && i < list->getLength(); ++i) {
        if (auto* e = dynamic_cast<DOMElement*>(list->item(i)))
            entries.try_emplace(XmlToNarrow(e->getAttribute(idAttr.c_str())), e);
    }

    int problems = 0;
    std::map<std::string, int> seen;
    for (const authoring::PoEntry& entry : po.entries) {
        if (!entry.hasContext) {
            std::fprintf(stderr, "%s:%d: error: entry without msgctxt (the text's identifier)\n",
                         poPath.c_str(), entry.line);
            ++problems;
        } else if (!entries.count(entry.context)) {
            std::fprintf(stderr, "%s:%d: error: identifier %s is not in %s\n", poPath.c_str(),
                         entry.line, entry.context.c_str(), xmlPath.c_str());
            ++problems;
        } else if (auto [it, inserted] = seen.try_emplace(entry.context, entry.line); !inserted) {
            std::fprintf(stderr, "%s:%d: error: identifier %s again (line %d)\n", poPath.c_str(),
                         entry.line, entry.context.c_str(), it->second);
            ++problems;
        }
    }
    if (problems > 0) {
        std::fprintf(stderr, "qvtool trad: nothing imported\n");
        return 1;
    }

    std::u16string xcode = NarrowToXml(code);
    int changed = 0;
    int kept = 0;
    for (const authoring::PoEntry& entry : po.entries) {
        DOMElement* element = entries[entry.context];
        DOMElement* lang = FirstLang(element, xcode);
        std::wstring existing = lang ? XmlTextContent(lang) : std::wstring();
        std::wstring wanted = Widen(entry.str);
        if (entry.fuzzy || entry.str.empty()) {
            // An empty or unconfirmed text never replaces one the table has.
            if (!existing.empty() && wanted != existing) {
                std::fprintf(stderr, "%s:%d: warning: %s kept as it was (%s in the PO file)\n",
                             poPath.c_str(), entry.line, entry.context.c_str(),
                             entry.fuzzy ? "fuzzy" : "empty");
                ++kept;
            }
            continue;
        }
        if (lang && wanted == existing)
            continue;
        if (!lang)
            lang = AddLang(element->getOwnerDocument(), element, xcode);
        while (DOMNode* child = lang->getFirstChild())
            lang->removeChild(child)->release();
        std::u16string value = WideToXml(wanted);
        lang->appendChild(element->getOwnerDocument()->createTextNode(value.c_str()));
        ++changed;
    }
    if (changed == 0) {
        std::printf("no text changed; %s left as it was%s\n", xmlPath.c_str(),
                    kept ? StrFormat(" (%d kept)", kept).c_str() : "");
        return 0;
    }
    std::string bytes;
    bool serialized = Serialize(doc->Root()->getOwnerDocument(), &bytes);
    if (serialized)
        bytes = KeepProlog(original, bytes, XmlToNarrow(doc->Root()->getTagName()));
    if (!serialized || !ReplaceFile(xmlPath, bytes)) {
        std::fprintf(stderr, "qvtool trad: cannot write %s; it is left as it was\n",
                     xmlPath.c_str());
        return kStatusUsage;
    }
    std::printf("%d text%s of %s imported into %s\n", changed, changed == 1 ? "" : "s",
                code.c_str(), xmlPath.c_str());
    return 0;
}

}  // namespace

int CmdTrad(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {"--lang"}, {});
    if (args.Has("--help")) {
        std::printf(
            "%s"
            "export: writes every text of ..\\config\\trad\\VEK_Trad.xml as a PO entry: the\n"
            "  identifier as msgctxt, English as msgid, language CODE as msgstr.\n"
            "import: writes the msgstr texts back as language CODE (default: the PO header's\n"
            "  Language). A file naming an unknown identifier is refused whole; an empty or\n"
            "  fuzzy msgstr keeps the existing text; nothing is written when nothing changed.\n",
            kUsage);
        return 0;
    }
    bool usage = !args.error.empty() || args.positional.size() != 2;
    std::string verb = usage ? "" : args.positional[0];
    if (!usage && verb != "export" && verb != "import")
        usage = true;
    if (!usage && verb == "export" && Widen(args.Get("--lang")).size() != 2)
        usage = true;
    if (usage) {
        std::fprintf(stderr, "qvtool trad: %s%s", args.error.empty() ? "" : args.error.c_str(),
                     args.error.empty() ? kUsage : "\n");
        return kStatusUsage;
    }
    // The PO file is named from where the command was given.
    std::string po = std::filesystem::absolute(args.positional[1]).lexically_normal().string();
    if (!EnterProgramDirectory(args))
        return kStatusUsage;
    return verb == "export" ? Export(args.Get("--lang"), po) : Import(args.Get("--lang"), po);
}

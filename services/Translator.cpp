#include "services/Translator.h"

#include <sys/stat.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <set>
#include <utility>

#include <xercesc/dom/DOM.hpp>

#include "base/Text.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "services/TranslationIndex.h"

using namespace xercesc;

namespace {

bool SameXml(const XMLCh* a, const std::u16string& b) {
    if (!a)
        return b.empty();
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return a[i] == 0 && i == b.size();
}

// The node after node in document order within root's subtree, past node's children unless
// descend. No recursion and no node lists: Xerces keeps every list a document hands out and
// looks each new one up among them, which made one list per entry quadratic.
const DOMNode* NextInOrder(const DOMNode* node, const DOMNode* root, bool descend) {
    if (descend && node->getFirstChild())
        return node->getFirstChild();
    while (node && node != root && !node->getNextSibling())
        node = node->getParentNode();
    return node && node != root ? node->getNextSibling() : nullptr;
}

bool IsElement(const DOMNode* node, const std::u16string& tag) {
    return node->getNodeType() == DOMNode::ELEMENT_NODE &&
           SameXml(static_cast<const DOMElement*>(node)->getTagName(), tag);
}

int CopyOut(const std::wstring& text, wchar_t* out, size_t outChars) {
    if (!out || outChars == 0)
        return 0;
    size_t n = text.size() < outChars - 1 ? text.size() : outChars - 1;
    std::wmemcpy(out, text.data(), n);
    out[n] = L'\0';
    return static_cast<int>(n);
}

// The tables of the entries under root: of the language wanted, or of every language when
// wanted is null. An entry's first Lang of a language gives its text; an identifier keeps the
// text of its first entry that has one in that language.
void CollectTables(const DOMElement* root, const std::u16string* wanted,
                   std::map<std::u16string, std::map<std::string, std::wstring>>* tables) {
    const std::u16string entryTag = NarrowToXml("TraductionElement");
    const std::u16string langTag = NarrowToXml("Lang");
    const std::u16string idAttr = NarrowToXml("id");
    const std::u16string codeAttr = NarrowToXml("codeKSO");
    const DOMNode* node = root->getFirstChild();
    while (node) {
        if (!IsElement(node, entryTag)) {
            node = NextInOrder(node, root, true);
            continue;
        }
        const auto* entry = static_cast<const DOMElement*>(node);
        std::string id = XmlToNarrow(entry->getAttribute(idAttr.c_str()));
        // Beyond the loader's conversion buffer: such an identifier could never be found.
        if (id.size() < kTranslationIdBuffer) {
            for (const DOMNode* n = entry->getFirstChild(); n;
                 n = NextInOrder(n, entry, !IsElement(n, langTag))) {
                if (!IsElement(n, langTag))
                    continue;
                const XMLCh* code =
                    static_cast<const DOMElement*>(n)->getAttribute(codeAttr.c_str());
                if (wanted && !SameXml(code, *wanted))
                    continue;
                auto& table = (*tables)[wanted ? *wanted : std::u16string(code ? code : u"")];
                if (!table.count(id))
                    table.emplace(id, XmlTextContent(n));
                if (wanted)
                    break;
            }
        }
        // An entry inside an entry is not one of the table's.
        node = NextInOrder(node, root, false);
    }
}

}  // namespace

ZFQTranslator::ZFQTranslator(std::string file) : file_(std::move(file)) {
    if (!platform_.Ok())
        Warn("ZFQTranslator", "Unable to initialize XML platform");
}

// The platform reference is released by its own destructor; Xerces reports no failure there.
ZFQTranslator::~ZFQTranslator() = default;

void ZFQTranslator::Warn(const char* operation, const char* reason) const {
    std::fprintf(warnings_, "WARNING IN ZFQTranslator::%s : %s\n", operation, reason);
    std::fflush(warnings_);
}

int ZFQTranslator::LoadLanguage(const char* code) {
    if (!code || std::strlen(code) != 2) {
        Warn("LoadLanguage", "Invalid code language");
        return -1;
    }
    std::wstring wide = Widen(code);
    return LoadLanguage(wide.c_str());
}

int ZFQTranslator::LoadLanguage(const wchar_t* code) {
    if (!code || std::wcslen(code) != 2) {
        Warn("LoadLanguage", "Invalid code language");
        return -1;
    }
    if (!platform_.Ok()) {
        Warn("LoadLanguage", "Unable to parse traductions file");
        return -1;
    }
    const std::u16string wanted = WideToXml(code);
    std::map<std::u16string, std::map<std::string, std::wstring>> tables;
    std::string bytes, why;
    if (!ReadTables(&wanted, &tables, &bytes, &why)) {
        lastError_ = why;
        Warn("LoadLanguage", "Unable to parse traductions file");
        return -1;
    }
    lastError_.clear();
    table_.swap(tables[wanted]);
    return static_cast<int>(table_.size());
}

bool ZFQTranslator::ReadTables(
    const std::u16string* wanted,
    std::map<std::u16string, std::map<std::string, std::wstring>>* tables, std::string* bytes,
    std::string* why) {
    const std::string native = platform::NativePath(file_);
    if (native.empty()) {
        *why = file_ + ": empty path";
        return false;
    }
    const std::string indexPath = native + tradindex::kSuffix;
    // Taken before the reads: a change during them shows at the next load.
    const FileStamp fileStamp = Stamp(native), indexStamp = Stamp(indexPath);
    std::string reason, index;
    if (wanted && fileStamp.present && fileStamp == matchedFile_ && indexStamp == matchedIndex_ &&
        platform::ReadRegularFile(indexPath, tradindex::kMaxBytes, &index, &reason)) {
        if (auto table =
                tradindex::ReadWithSource(index, matchedSource_, XmlToNarrow(wanted->c_str()))) {
            (*tables)[*wanted].swap(*table);
            return true;
        }
    }
    matchedFile_ = matchedIndex_ = {};
    if (!platform::ReadRegularFile(native, XmlParseOptions::kDefaultMaxBytes, bytes, &reason)) {
        *why = file_ + ": " + reason;
        return false;
    }
    // The build's index of this very file gives the same table without parsing the file.
    if (wanted && platform::ReadRegularFile(indexPath, tradindex::kMaxBytes, &index, &reason)) {
        if (auto table = tradindex::Read(index, *bytes, XmlToNarrow(wanted->c_str()))) {
            (*tables)[*wanted].swap(*table);
            matchedSource_ = tradindex::Source(*bytes);
            matchedFile_ = fileStamp;
            matchedIndex_ = indexStamp;
            return true;
        }
    }
    try {
        XmlParseOptions options;
        options.createEntityReferenceNodes = false;
        std::string error;
        std::unique_ptr<XmlDocument> doc = XmlDocument::ParseMemory(*bytes, &error, options);
        DOMElement* root = doc ? doc->Root() : nullptr;
        if (!root) {
            *why = file_ + ": " + (error.empty() ? std::string("no root element") : error);
            return false;
        }
        CollectTables(root, wanted, tables);
    } catch (...) {
        *why = file_ + ": cannot be read";
        return false;
    }
    return true;
}

ZFQTranslator::FileStamp ZFQTranslator::Stamp(const std::string& path) {
    struct stat st {};
    FileStamp stamp;
    if (stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.present = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.modified = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.changed = st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    return stamp;
}

bool ZFQTranslator::WriteIndex(const std::string& indexPath, std::string* error) {
    std::map<std::u16string, std::map<std::string, std::wstring>> tables;
    std::string bytes;
    if (!platform_.Ok() || !ReadTables(nullptr, &tables, &bytes, error))
        return false;
    std::map<std::string, tradindex::Table> byCode;
    std::set<std::string> clashing;
    for (auto& [code, table] : tables) {
        std::string narrow = XmlToNarrow(code.c_str());
        // Two codes that read the same in 8-bit text stay out: the XML file tells them apart.
        if (!byCode.emplace(narrow, std::move(table)).second)
            clashing.insert(narrow);
    }
    for (const std::string& code : clashing)
        byCode.erase(code);
    const std::string index = tradindex::Write(bytes, byCode);
    if (int failed = platform::WriteFileAtomically(indexPath, index, 0644); failed != 0) {
        *error = indexPath + ": " + std::strerror(failed);
        return false;
    }
    return true;
}

std::wstring ZFQTranslator::GetTraduction(const char* id) {
    if (!id || !*id || std::strlen(id) > kTranslationIdMax) {
        Warn("GetTraduction", "Invalid idTraduction");
        return {};
    }
    if (table_.empty()) {
        Warn("GetTraduction", "Traductions not initialized");
        return {};
    }
    auto it = table_.find(id);
    if (it == table_.end() || it->second.empty()) {
        Warn("GetTraduction", "Traduction not found");
        return {};
    }
    return it->second;
}

std::wstring ZFQTranslator::GetTraduction(const wchar_t* id) {
    if (!id || !*id || std::wcslen(id) > kTranslationIdMax) {
        Warn("GetTraduction", "Invalid idTraduction");
        return {};
    }
    std::string narrow = Narrow(id);
    return GetTraduction(narrow.c_str());
}

int ZFQTranslator::GetTraduction(const wchar_t* id, wchar_t* out, size_t outChars) {
    return CopyOut(GetTraduction(id), out, outChars);
}

int ZFQTranslator::GetTraduction(const char* id, wchar_t* out, size_t outChars) {
    return CopyOut(GetTraduction(id), out, outChars);
}

#include "services/Translator.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <utility>

#include <xercesc/dom/DOM.hpp>

#include "base/Text.h"

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
    const std::u16string entryTag = NarrowToXml("TraductionElement");
    const std::u16string langTag = NarrowToXml("Lang");
    const std::u16string idAttr = NarrowToXml("id");
    const std::u16string codeAttr = NarrowToXml("codeKSO");

    std::map<std::string, std::wstring> table;
    try {
        XmlParseOptions options;
        options.createEntityReferenceNodes = false;
        std::string error;
        std::unique_ptr<XmlDocument> doc = XmlDocument::ParseFile(file_, &error, options);
        DOMElement* root = doc ? doc->Root() : nullptr;
        if (!root) {
            lastError_ = file_ + ": " + (error.empty() ? std::string("no root element") : error);
            Warn("LoadLanguage", "Unable to parse traductions file");
            return -1;
        }
        const DOMNode* node = root->getFirstChild();
        while (node) {
            if (!IsElement(node, entryTag)) {
                node = NextInOrder(node, root, true);
                continue;
            }
            const auto* entry = static_cast<const DOMElement*>(node);
            std::string id = XmlToNarrow(entry->getAttribute(idAttr.c_str()));
            // Beyond the loader's conversion buffer: such an identifier could never be found.
            if (id.size() < kTranslationIdBuffer && !table.count(id)) {
                for (const DOMNode* n = entry->getFirstChild(); n;
                     n = NextInOrder(n, entry, !IsElement(n, langTag))) {
                    if (IsElement(n, langTag) &&
                        SameXml(static_cast<const DOMElement*>(n)->getAttribute(codeAttr.c_str()),
                                wanted)) {
                        table.emplace(std::move(id), XmlTextContent(n));
                        break;
                    }
                }
            }
            // An entry inside an entry is not one of the table's.
            node = NextInOrder(node, root, false);
        }
    } catch (...) {
        lastError_ = file_ + ": cannot be read";
        Warn("LoadLanguage", "Unable to parse traductions file");
        return -1;
    }
    lastError_.clear();
    table_.swap(table);
    return static_cast<int>(table_.size());
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

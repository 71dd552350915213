#include "xmlgui/DlgTemplate.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "base/Log.h"
#include "base/Text.h"
#include "platform/Files.h"
#include "platform/Paths.h"

using namespace xercesc;

namespace xmlgui {

namespace {

struct ClassName {
    ControlClass cls;
    const char* name;
};

constexpr ClassName kClassNames[] = {
    {ControlClass::Button, "BUTTON"},     {ControlClass::Static, "STATIC"},
    {ControlClass::Edit, "EDIT"},         {ControlClass::ListBox, "LISTBOX"},
    {ControlClass::ComboBox, "COMBOBOX"}, {ControlClass::Picture, "PICTURE"},
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A 32-bit number of a style attribute: decimal or 0x hexadecimal.
bool ParseStyleNumber(std::string_view token, uint32_t* out) {
    int base = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        token.remove_prefix(2);
        base = 16;
    }
    if (token.empty() || token.size() > 10)
        return false;
    uint64_t value = 0;
    for (char c : token) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull)
            return false;
    }
    *out = static_cast<uint32_t>(value);
    return true;
}

const std::vector<StyleWord>& CommonWords() {
    static const std::vector<StyleWord> words = {
        {"visible", kWsVisible}, {"hidden", kWsVisible, true}, {"disabled", kWsDisabled},
        {"border", kWsBorder},   {"vscroll", kWsVScroll},      {"hscroll", kWsHScroll},
        {"group", kWsGroup},     {"tabstop", kWsTabStop},
    };
    return words;
}

// Attribute text of el, and whether the attribute is present.
bool Attribute(const DOMElement* el, const char* name, std::string* out) {
    std::u16string xmlName = NarrowToXml(name);
    const DOMAttr* attr = el->getAttributeNode(xmlName.c_str());
    if (!attr)
        return false;
    *out = XmlToNarrow(attr->getValue());
    return true;
}

bool WideAttribute(const DOMElement* el, const char* name, std::wstring* out) {
    std::u16string xmlName = NarrowToXml(name);
    const DOMAttr* attr = el->getAttributeNode(xmlName.c_str());
    if (!attr)
        return false;
    *out = XmlToWide(attr->getValue());
    return true;
}

bool IsElement(const DOMNode* node, const char16_t* name) {
    if (node->getNodeType() != DOMNode::ELEMENT_NODE)
        return false;
    return XMLString::equals(node->getNodeName(), name);
}

class Reader {
  public:
    Reader(std::string* error, std::vector<std::string>* warnings)
        : error_(error), warnings_(warnings) {}

    bool Read(const DOMElement* root, DialogTemplate* out) {
        if (!XMLString::equals(root->getNodeName(), u"dialog"))
            return Fail(StrFormat("root element is <%s>, not <dialog>",
                                  XmlToNarrow(root->getNodeName()).c_str()));
        DialogTemplate t;
        if (!Number(root, "width", 0, kMaxExtent, true, &t.cx, "dialog") ||
            !Number(root, "height", 0, kMaxExtent, true, &t.cy, "dialog"))
            return false;
        std::string text;
        if (Attribute(root, "style", &text) && !Style(text, DialogStyleWords(), &t.style, "dialog"))
            return false;
        if (WideAttribute(root, "caption", &t.caption))
            Cut(&t.caption, kMaxCaptionChars, "dialog caption");

        bool fontSeen = false;
        std::unordered_set<int> ids;
        size_t index = 0;
        for (const DOMNode* node = root->getFirstChild(); node; node = node->getNextSibling()) {
            const auto* el = dynamic_cast<const DOMElement*>(node);
            if (!el)
                continue;
            if (IsElement(node, u"font")) {
                if (fontSeen) {
                    Warn("second <font> ignored");
                    continue;
                }
                fontSeen = true;
                if (!Font(el, &t))
                    return false;
            } else if (IsElement(node, u"control")) {
                if (index == kMaxControls)
                    return Fail(StrFormat("more than %zu controls", kMaxControls));
                DlgControl c;
                if (!Control(el, index, &c))
                    return false;
                ++index;
                if (c.id != kNoId && !ids.insert(c.id).second) {
                    Warn(StrFormat("control %zu: id %d used before, control dropped", index - 1,
                                   c.id));
                    continue;
                }
                t.controls.push_back(std::move(c));
            }
        }
        *out = std::move(t);
        return true;
    }

  private:
    bool Fail(std::string reason) {
        if (error_)
            *error_ = std::move(reason);
        return false;
    }

    void Warn(std::string text) {
        if (warnings_)
            warnings_->push_back(std::move(text));
    }

    void Cut(std::wstring* text, size_t max, const std::string& what) {
        if (text->size() > max) {
            text->resize(max);
            Warn(StrFormat("%s cut to %zu characters", what.c_str(), max));
        }
    }

    bool Number(const DOMElement* el, const char* name, int min, int max, bool required, int* out,
                const std::string& where) {
        std::string text;
        if (!Attribute(el, name, &text)) {
            if (required)
                return Fail(StrFormat("%s: no %s", where.c_str(), name));
            return true;
        }
        if (!ParseInt(text, min, max, out))
            return Fail(StrFormat("%s: %s \"%s\" is not a number from %d to %d", where.c_str(),
                                  name, std::string(CutUtf8(text, 40)).c_str(), min, max));
        return true;
    }

    bool Style(const std::string& text, const std::vector<StyleWord>& words, uint32_t* style,
               const std::string& where) {
        std::string reason;
        if (!ApplyStyle(text, words, style, &reason))
            return Fail(StrFormat("%s: %s", where.c_str(), reason.c_str()));
        return true;
    }

    bool Font(const DOMElement* el, DialogTemplate* t) {
        std::wstring face;
        if (!WideAttribute(el, "face", &face) || face.empty())
            return Fail("font: no face");
        Cut(&face, kMaxFaceChars, "font face");
        if (!Number(el, "size", kMinPointSize, kMaxPointSize, true, &t->pointSize, "font"))
            return false;
        t->fontFace = std::move(face);
        return true;
    }

    bool Control(const DOMElement* el, size_t index, DlgControl* c) {
        std::string where = StrFormat("control %zu", index);
        std::string text;
        if (!Attribute(el, "class", &text))
            return Fail(where + ": no class");
        if (!ParseControlClass(Trim(text), &c->cls))
            return Fail(StrFormat("%s: unknown class \"%s\"", where.c_str(),
                                  std::string(CutUtf8(text, 40)).c_str()));
        if (!Number(el, "id", kNoId, kMaxId, false, &c->id, where))
            return false;
        if (c->id != kNoId)
            where += StrFormat(" (id %d)", c->id);
        if (!Number(el, "x", kMinPosition, kMaxPosition, true, &c->x, where) ||
            !Number(el, "y", kMinPosition, kMaxPosition, true, &c->y, where) ||
            !Number(el, "width", 0, kMaxExtent, true, &c->cx, where) ||
            !Number(el, "height", 0, kMaxExtent, true, &c->cy, where))
            return false;
        if (WideAttribute(el, "text", &c->text))
            Cut(&c->text, kMaxTextChars, where + " text");
        if (Attribute(el, "style", &text) && !Style(text, StyleWords(c->cls), &c->style, where))
            return false;
        return true;
    }

    std::string* error_;
    std::vector<std::string>* warnings_;
};

// The whole file when it is a regular file of at most kMaxFileBytes.
bool ReadLimited(const std::string& path, std::string* bytes, std::string* error) {
    return platform::ReadRegularFile(path, kMaxFileBytes, bytes, error);
}

}  // namespace

const char* ControlClassName(ControlClass cls) {
    for (const ClassName& c : kClassNames) {
        if (c.cls == cls)
            return c.name;
    }
    return "";
}

bool ParseControlClass(std::string_view name, ControlClass* out) {
    for (const ClassName& c : kClassNames) {
        if (EqualsNoCase(name, c.name)) {
            *out = c.cls;
            return true;
        }
    }
    return false;
}

const DlgControl* DialogTemplate::Find(int id) const {
    if (id == kNoId)
        return nullptr;
    for (const DlgControl& c : controls) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

DialogTemplate EmptyDialog() {
    DialogTemplate t;
    t.fontFace = L"Arial Unicode MS";
    t.pointSize = 12;
    t.cx = 92;
    t.cy = 46;
    t.style = kWsChild | kDsSetFont;
    return t;
}

std::vector<StyleWord> StyleWords(ControlClass cls) {
    std::vector<StyleWord> words = CommonWords();
    switch (cls) {
        case ControlClass::Button:
            words.insert(words.end(), {{"default", kBsDefPushButton},
                                       {"multiline", kBsMultiline},
                                       {"notify", kBsNotify}});
            break;
        case ControlClass::Static:
            words.insert(words.end(), {{"left", 0},
                                       {"center", kSsCenter},
                                       {"right", kSsRight},
                                       {"notify", kSsNotify},
                                       {"centerimage", kSsCenterImage},
                                       {"endellipsis", kSsEndEllipsis}});
            break;
        case ControlClass::Picture:
            words.insert(words.end(), {{"notify", kSsNotify}, {"centerimage", kSsCenterImage}});
            break;
        case ControlClass::Edit:
            words.insert(words.end(), {{"left", 0},
                                       {"center", kEsCenter},
                                       {"right", kEsRight},
                                       {"multiline", kEsMultiline},
                                       {"uppercase", kEsUppercase},
                                       {"lowercase", kEsLowercase},
                                       {"password", kEsPassword},
                                       {"autohscroll", kEsAutoHScroll},
                                       {"readonly", kEsReadOnly},
                                       {"number", kEsNumber}});
            break;
        case ControlClass::ListBox:
            words.insert(words.end(), {{"notify", kLbsNotify},
                                       {"sort", kLbsSort},
                                       {"nointegralheight", kLbsNoIntegralHeight}});
            break;
        case ControlClass::ComboBox:
            words.insert(words.end(), {{"simple", kCbsSimple},
                                       {"dropdown", kCbsDropDown},
                                       {"dropdownlist", kCbsDropDownList},
                                       {"autohscroll", kCbsAutoHScroll},
                                       {"sort", kCbsSort}});
            break;
    }
    return words;
}

std::vector<StyleWord> DialogStyleWords() {
    return {
        {"child", kWsChild},       {"popup", kWsPopup},           {"visible", kWsVisible},
        {"disabled", kWsDisabled}, {"caption", kWsCaption},       {"border", kWsBorder},
        {"sysmenu", kWsSysMenu},   {"modalframe", kDsModalFrame}, {"control", kDsControl},
        {"center", kDsCenter},     {"setfont", kDsSetFont},
    };
}

bool ApplyStyle(std::string_view text, const std::vector<StyleWord>& words, uint32_t* style,
                std::string* error) {
    uint32_t set = 0, clear = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (IsBlank(c) || c == '|' || c == ',') {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !IsBlank(text[end]) && text[end] != '|' && text[end] != ',')
            ++end;
        std::string_view token = text.substr(i, end - i);
        i = end;
        if (token[0] >= '0' && token[0] <= '9') {
            uint32_t bits;
            if (!ParseStyleNumber(token, &bits)) {
                if (error)
                    *error = StrFormat("bad style number \"%s\"",
                                       std::string(CutUtf8(token, 40)).c_str());
                return false;
            }
            set |= bits;
            continue;
        }
        const StyleWord* found = nullptr;
        for (const StyleWord& w : words) {
            if (EqualsNoCase(token, w.name)) {
                found = &w;
                break;
            }
        }
        if (!found) {
            if (error)
                *error = StrFormat("unknown style \"%s\"", std::string(CutUtf8(token, 40)).c_str());
            return false;
        }
        if (found->clears)
            clear |= found->bits;
        else
            set |= found->bits;
    }
    *style = (*style | set) & ~clear;
    return true;
}

bool ParseInt(std::string_view text, int min, int max, int* out) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 10)
        return false;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value < min || value > max)
        return false;
    *out = static_cast<int>(value);
    return true;
}

bool ParseDialogXml(const std::string& bytes, DialogTemplate* out, std::string* error,
                    std::vector<std::string>* warnings) {
    if (bytes.size() > kMaxFileBytes) {
        if (error)
            *error = StrFormat("larger than %zu bytes", kMaxFileBytes);
        return false;
    }
    std::string reason;
    XmlParseOptions options;
    options.createEntityReferenceNodes = false;
    auto doc = XmlDocument::ParseMemory(bytes, &reason, options);
    if (!doc) {
        if (error)
            *error = "not well-formed XML: " + reason;
        return false;
    }
    try {
        return Reader(error, warnings).Read(doc->Root(), out);
    } catch (...) {
        // The DOM may throw on a broken tree; the file is refused like any other bad one.
        if (error)
            *error = "unexpected failure reading the document";
        return false;
    }
}

CDlgTemplate::CDlgTemplate() = default;
CDlgTemplate::~CDlgTemplate() = default;

int CDlgTemplate::SerializeFrom(const std::wstring& path) {
    return SerializeFrom(Narrow(path));
}

int CDlgTemplate::SerializeFrom(const std::string& path) {
    error_.clear();
    warnings_.clear();
    DialogTemplate parsed;
    std::string native = platform::NativePath(path);
    std::string bytes;
    bool ok = false;
    if (native.empty())
        error_ = "empty path";
    else if (!xml_.Ok())
        error_ = "XML parser unavailable: " + xml_.Error();
    else if (ReadLimited(native, &bytes, &error_))
        ok = ParseDialogXml(bytes, &parsed, &error_, &warnings_);
    return Finish(ok, parsed, path);
}

int CDlgTemplate::SerializeFromMemory(const std::string& bytes) {
    error_.clear();
    warnings_.clear();
    DialogTemplate parsed;
    bool ok = false;
    if (!xml_.Ok())
        error_ = "XML parser unavailable: " + xml_.Error();
    else
        ok = ParseDialogXml(bytes, &parsed, &error_, &warnings_);
    return Finish(ok, parsed, "(memory)");
}

int CDlgTemplate::Finish(bool ok, DialogTemplate& parsed, const std::string& source) {
    if (log_) {
        for (const std::string& w : warnings_)
            log_->Warning(StrFormat("Dialog file %s: %s", source.c_str(), w.c_str()));
    }
    if (!ok) {
        if (log_)
            log_->Err(StrFormat("Dialog file %s refused: %s", source.c_str(), error_.c_str()));
        return 0;
    }
    template_ = std::move(parsed);
    loaded_ = true;
    if (log_)
        log_->Debug(StrFormat("Dialog file %s read: %zu controls", source.c_str(),
                              template_.controls.size()));
    return 1;
}

int CDlgTemplate::LoadBuiltIn(int resource) {
    if (resource != kEmptyDialogResource)
        return 0;
    template_ = EmptyDialog();
    loaded_ = true;
    error_.clear();
    warnings_.clear();
    return 1;
}

}  // namespace xmlgui

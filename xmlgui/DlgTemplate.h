#pragma once
// Dialog templates read from the screens' dialog files (*.gui). A template is a dialog (font,
// size in dialog units, style, caption) and its controls (ID, class, position, size, text,
// style flags). Reading is Qt-free; xmlgui/DialogForm.h turns a template into widgets.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/XmlDocument.h"

class CLog;

namespace xmlgui {

// Style bits keep their values of the original platform, so code that tests or sets a bit
// (the view sets kWsChild before creating its window) means the same thing.
inline constexpr uint32_t kWsPopup = 0x80000000u;
inline constexpr uint32_t kWsChild = 0x40000000u;
inline constexpr uint32_t kWsVisible = 0x10000000u;
inline constexpr uint32_t kWsDisabled = 0x08000000u;
inline constexpr uint32_t kWsCaption = 0x00C00000u;
inline constexpr uint32_t kWsBorder = 0x00800000u;
inline constexpr uint32_t kWsVScroll = 0x00200000u;
inline constexpr uint32_t kWsHScroll = 0x00100000u;
inline constexpr uint32_t kWsSysMenu = 0x00080000u;
inline constexpr uint32_t kWsGroup = 0x00020000u;
inline constexpr uint32_t kWsTabStop = 0x00010000u;

inline constexpr uint32_t kDsSetFont = 0x0040u;
inline constexpr uint32_t kDsModalFrame = 0x0080u;
inline constexpr uint32_t kDsControl = 0x0400u;
inline constexpr uint32_t kDsCenter = 0x0800u;

inline constexpr uint32_t kBsDefPushButton = 0x0001u;
inline constexpr uint32_t kBsMultiline = 0x2000u;
inline constexpr uint32_t kBsNotify = 0x4000u;

inline constexpr uint32_t kSsCenter = 0x0001u;
inline constexpr uint32_t kSsRight = 0x0002u;
inline constexpr uint32_t kSsNotify = 0x0100u;
inline constexpr uint32_t kSsCenterImage = 0x0200u;
inline constexpr uint32_t kSsEndEllipsis = 0x4000u;

inline constexpr uint32_t kEsCenter = 0x0001u;
inline constexpr uint32_t kEsRight = 0x0002u;
inline constexpr uint32_t kEsMultiline = 0x0004u;
inline constexpr uint32_t kEsUppercase = 0x0008u;
inline constexpr uint32_t kEsLowercase = 0x0010u;
inline constexpr uint32_t kEsPassword = 0x0020u;
inline constexpr uint32_t kEsAutoHScroll = 0x0080u;
inline constexpr uint32_t kEsReadOnly = 0x0800u;
inline constexpr uint32_t kEsNumber = 0x2000u;

inline constexpr uint32_t kLbsNotify = 0x0001u;
inline constexpr uint32_t kLbsSort = 0x0002u;
inline constexpr uint32_t kLbsNoIntegralHeight = 0x0100u;

inline constexpr uint32_t kCbsSimple = 0x0001u;
inline constexpr uint32_t kCbsDropDown = 0x0002u;
inline constexpr uint32_t kCbsDropDownList = 0x0003u;
inline constexpr uint32_t kCbsTypeMask = 0x0003u;
inline constexpr uint32_t kCbsAutoHScroll = 0x0040u;
inline constexpr uint32_t kCbsSort = 0x0100u;

// Limits of a dialog file. Anything beyond them refuses the file, except texts, which are cut.
inline constexpr size_t kMaxFileBytes = 1024 * 1024;
inline constexpr size_t kMaxControls = 512;
inline constexpr size_t kMaxTextChars = 799;
inline constexpr size_t kMaxCaptionChars = 199;
inline constexpr size_t kMaxFaceChars = 31;
inline constexpr int kMinPosition = -32768;
inline constexpr int kMaxPosition = 32767;
inline constexpr int kMaxExtent = 32767;
inline constexpr int kMinPointSize = 1;
inline constexpr int kMaxPointSize = 144;
// A control without an ID, never found by ID; several controls may have it.
inline constexpr int kNoId = -1;
inline constexpr int kMaxId = 65535;

// The built-in empty dialog: a child window with its own font and no controls.
inline constexpr int kEmptyDialogResource = 102;

enum class ControlClass : uint8_t { Button, Static, Edit, ListBox, ComboBox, Picture };

// "BUTTON", "STATIC", "EDIT", "LISTBOX", "COMBOBOX", "PICTURE".
const char* ControlClassName(ControlClass cls);
// Case ignored; false for any other name.
bool ParseControlClass(std::string_view name, ControlClass* out);

struct DlgControl {
    int id = kNoId;
    ControlClass cls = ControlClass::Static;
    // Dialog units.
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    std::wstring text;
    uint32_t style = kWsChild | kWsVisible;
};

struct DialogTemplate {
    std::wstring fontFace = L"Arial Unicode MS";
    int pointSize = 12;
    // Dialog units.
    int cx = 0;
    int cy = 0;
    uint32_t style = kDsSetFont;
    std::wstring caption;
    std::vector<DlgControl> controls;

    // The control with that ID, or null (kNoId is never found).
    const DlgControl* Find(int id) const;
};

// Resource 102: child window with its own font, "Arial Unicode MS" 12 pt, 92 x 46 dialog units.
DialogTemplate EmptyDialog();

// Reads dialog-file bytes into out. False, with the reason in error, when the bytes are not a
// dialog file or break a limit; out is then left as it was. Cut texts and dropped controls are
// reported in warnings. Needs a live XmlPlatform.
bool ParseDialogXml(const std::string& bytes, DialogTemplate* out, std::string* error,
                    std::vector<std::string>* warnings);

// The style words of a control class (or of the dialog when dialog is true), for the docs and
// the tests: name and bits.
struct StyleWord {
    const char* name;
    uint32_t bits;
    // The word removes its bits instead of adding them ("hidden").
    bool clears = false;
};
std::vector<StyleWord> StyleWords(ControlClass cls);
std::vector<StyleWord> DialogStyleWords();

// Applies a style attribute ("tabstop password", "0x20 | border") to style: words and numbers
// add their bits, clearing words remove theirs. False, style unchanged, for an unknown word or a
// bad number.
bool ApplyStyle(std::string_view text, const std::vector<StyleWord>& words, uint32_t* style,
                std::string* error);

// Reads a whole decimal number within [min, max] (blanks around it allowed). False otherwise.
bool ParseInt(std::string_view text, int min, int max, int* out);

// The template object the screen view holds: empty after construction, filled by SerializeFrom.
class CDlgTemplate {
  public:
    CDlgTemplate();
    ~CDlgTemplate();
    CDlgTemplate(const CDlgTemplate&) = delete;
    CDlgTemplate& operator=(const CDlgTemplate&) = delete;

    // Failures and cuts are logged here when set (the caller keeps the logger alive).
    void SetLog(CLog* log) { log_ = log; }

    // Reads the dialog file (wide or 8-bit path, backslashes allowed). Non-zero when the file
    // was read and a template built; 0 when it is missing, too large or malformed, and the
    // template is then left as it was.
    int SerializeFrom(const std::wstring& path);
    int SerializeFrom(const std::string& path);
    // Same for dialog-file bytes in memory.
    int SerializeFromMemory(const std::string& bytes);
    // Replaces the template by a built-in dialog; non-zero for a known resource (102).
    int LoadBuiltIn(int resource);

    bool Loaded() const { return loaded_; }
    const DialogTemplate& Template() const { return template_; }
    DialogTemplate& Template() { return template_; }
    operator const DialogTemplate*() const { return loaded_ ? &template_ : nullptr; }
    uint32_t Style() const { return template_.style; }
    void SetStyle(uint32_t style) { template_.style = style; }

    // Why the last read returned 0 (empty after success).
    const std::string& Error() const { return error_; }
    const std::vector<std::string>& Warnings() const { return warnings_; }

  private:
    int Finish(bool ok, DialogTemplate& parsed, const std::string& source);

    XmlPlatform xml_;
    DialogTemplate template_;
    bool loaded_ = false;
    std::string error_;
    std::vector<std::string> warnings_;
    CLog* log_ = nullptr;
};

}  // namespace xmlgui

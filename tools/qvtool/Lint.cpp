#include "tools/qvtool/Lint.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include <xercesc/dom/DOM.hpp>

#include "app/FileSet.h"
#include "base/DelimitedFile.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "base/XmlDocument.h"
#include "controls/GifWalk.h"
#include "platform/Paths.h"
#include "screens/ControlKind.h"
#include "screens/CountryTable.h"
#include "screens/ScreenProfiles.h"
#include "screens/ScreenSettings.h"
#include "screens/StateSetup.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"
#include "tools/qvtool/LintInternal.h"
#include "xmlgui/DlgTemplate.h"

#ifdef QV_LINT_DECODE
#include <QImageReader>
#include <QString>
#endif

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

namespace {

const char* KindName(screens::ControlKind kind) {
    switch (kind) {
        case screens::ControlKind::Button:
            return "BUTTON";
        case screens::ControlKind::Label:
            return "STATIC";
        case screens::ControlKind::Edit:
            return "EDIT";
        case screens::ControlKind::ListBox:
            return "LISTBOX";
        case screens::ControlKind::ComboBox:
            return "COMBOBOX";
        case screens::ControlKind::Picture:
            return "PICTURE";
        case screens::ControlKind::Plain:
            break;
    }
    return "plain";
}

const char* KindRange(screens::ControlKind kind) {
    switch (kind) {
        case screens::ControlKind::Button:
            return "1001-1040";
        case screens::ControlKind::Label:
            return "1041-1090";
        case screens::ControlKind::Edit:
            return "1100-1139";
        case screens::ControlKind::ListBox:
            return "1200-1204";
        case screens::ControlKind::ComboBox:
            return "1300-1304";
        case screens::ControlKind::Picture:
            return "1500-1509";
        case screens::ControlKind::Plain:
            break;
    }
    return "";
}

std::optional<screens::ControlKind> KindOfClass(xmlgui::ControlClass cls) {
    switch (cls) {
        case xmlgui::ControlClass::Button:
            return screens::ControlKind::Button;
        case xmlgui::ControlClass::Static:
            return screens::ControlKind::Label;
        case xmlgui::ControlClass::Edit:
            return screens::ControlKind::Edit;
        case xmlgui::ControlClass::ListBox:
            return screens::ControlKind::ListBox;
        case xmlgui::ControlClass::ComboBox:
            return screens::ControlKind::ComboBox;
        case xmlgui::ControlClass::Picture:
            return screens::ControlKind::Picture;
    }
    return std::nullopt;
}

std::optional<screens::ControlKind> KindOfType(const std::string& type) {
    xmlgui::ControlClass cls;
    if (type == "LABEL")
        return screens::ControlKind::Label;
    if (!xmlgui::ParseControlClass(type, &cls))
        return std::nullopt;
    return KindOfClass(cls);
}

bool KnownNavigationKey(const std::string& key) {
    static const char* const kKeys[] = {"Tab", "return", "Left", "Up", "Right", "Down"};
    for (const char* k : kKeys) {
        if (EqualsNoCase(key, k))
            return true;
    }
    if (key.size() >= 2 && (key[0] == 'f' || key[0] == 'F')) {
        int n = ParseDecimal(key.substr(1));
        return n >= 1 && n <= 24 && key.substr(1) == std::to_string(n);
    }
    return false;
}

std::string PictureProblem(const std::string& relative) {
    std::string native = platform::NativePath(relative);
    if (!IsRegularFile(relative))
        return "does not exist";
    std::ifstream in(native, std::ios::binary);
    std::vector<uint8_t> bytes;
    char buf[65536];
    while (in && bytes.size() < (64u << 20)) {
        in.read(buf, sizeof buf);
        bytes.insert(bytes.end(), buf, buf + in.gcount());
    }
    if (bytes.empty())
        return "is empty";
    if (controls::IsGif(bytes)) {
        // The animated picture walks the frames itself.
        controls::GifHeader header;
        if (!controls::ReadGifHeader(bytes, header) || controls::CountGifFrames(bytes, header) == 0)
            return "cannot be decoded: no GIF frame found";
    }
#ifdef QV_LINT_DECODE
    QImageReader reader(QString::fromStdString(native));
    if (reader.read().isNull())
        return "cannot be decoded: " + reader.errorString().toStdString();
#endif
    return {};
}

// Whether language code gives id a text; an empty one counts as none.
bool HasText(const TextTables& tables, const std::string& code, const std::string& id) {
    auto t = tables.find(code);
    if (t == tables.end())
        return false;
    auto it = t->second.find(id);
    return it != t->second.end() && !it->second.empty();
}

}  // namespace

void Linter::Run() {
    for (const std::string& mode : options_.modes)
        LintMode(mode == "RW" ? Mode::Reconfiguration : Mode::Installation);
    LintGuiDirectory();
    LintTranslations();
}

void Linter::CheckPicture(const std::string& file, int line, const std::string& what,
                          const std::string& relative, bool required) {
    auto cached = pictures_.find(relative);
    std::string problem;
    if (cached != pictures_.end()) {
        problem = cached->second;
    } else {
        problem = PictureProblem(relative);
        pictures_[relative] = problem;
    }
    if (!problem.empty())
        report_.Add(file, line, required ? Severity::Error : Severity::Warning,
                    what + " " + Quote(relative) + " " + problem);
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

void Linter::LintScreens(const FileSet& files) {
    IniFile pictures(files.pictures);
    IniFile labels(files.infos);
    IniFile combos(files.comboBox);
    std::map<std::string, std::pair<const IniFile*, int>> screens;  // name -> first mention
    for (const IniFile* f : {&pictures, &labels, &combos}) {
        if (!f->Readable())
            continue;
        f->CheckShape(report_);
        for (const std::string& s : f->SectionNames()) {
            // The first, empty view takes its background from here and is never built.
            if (s == "Initialisation") {
                if (f == &pictures)
                    CheckBackground(pictures, s);
                continue;
            }
            screens.try_emplace(s, f, f->SectionLine(s));
        }
    }
    for (const auto& [name, where] : screens) {
        screensSeen_.insert(name);
        LintScreen(name, where.first, where.second, ModeScreens{&pictures, &labels, &combos});
    }
}

void Linter::LintGuiDirectory() {
    std::string dir = platform::NativePath(options_.guiDir);
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    std::set<std::string> names;
    while (dirent* e = readdir(d)) {
        std::string f = e->d_name;
        for (const char* suffix : {".config.xml", ".gui"}) {
            std::string sfx = suffix;
            if (f.size() > sfx.size() && f.compare(f.size() - sfx.size(), sfx.size(), sfx) == 0) {
                names.insert(f.substr(0, f.size() - sfx.size()));
                break;
            }
        }
    }
    closedir(d);
    for (const std::string& name : names) {
        if (!screensSeen_.count(name))
            LintScreen(name, nullptr, 0, ModeScreens{});
    }
}

Dialog Linter::LoadDialog(const std::string& relative) {
    Dialog dialog;
    xmlgui::CDlgTemplate tmpl;
    std::string display = DisplayPath(relative);
    if (!tmpl.SerializeFrom(relative)) {
        report_.Error(display, LineOfError(tmpl.Error()),
                      "dialog file cannot be used: " + tmpl.Error());
        return dialog;
    }
    for (const std::string& w : tmpl.Warnings())
        report_.Warning(display, LineOfError(w), w);
    dialog.loaded = true;
    dialog.tmpl = tmpl.Template();
    std::string error;
    if (auto doc = ParseWithLines(relative, &error)) {
        std::u16string idName = NarrowToXml("id");
        for (DOMElement* c : ElementsUnder(doc->Root(), "control")) {
            int id = 0;
            if (xmlgui::ParseInt(XmlToNarrow(c->getAttribute(idName.c_str())), -1, xmlgui::kMaxId,
                                 &id))
                dialog.lines.try_emplace(id, XmlLineOf(c));
        }
    }
    for (const xmlgui::DlgControl& c : dialog.tmpl.controls) {
        if (c.id == xmlgui::kNoId)
            continue;
        screens::ControlKind kind = screens::KindOfControl(c.id);
        std::optional<screens::ControlKind> cls = KindOfClass(c.cls);
        if (kind == screens::ControlKind::Plain) {
            if (cls && c.cls != xmlgui::ControlClass::Static)
                report_.Warning(display, dialog.Line(c.id),
                                StrFormat("%s %d is outside %s: the screen gives it a plain "
                                          "widget",
                                          xmlgui::ControlClassName(c.cls), c.id, KindRange(*cls)));
        } else if (cls && *cls != kind) {
            report_.Warning(
                display, dialog.Line(c.id),
                StrFormat("control %d is a %s, but IDs %s make %s controls", c.id,
                          xmlgui::ControlClassName(c.cls), KindRange(kind), KindName(kind)));
        }
    }
    return dialog;
}

void Linter::LintScreen(const std::string& name, const IniFile* mentionedIn, int mentionLine,
                        const ModeScreens& profiles) {
    std::string dialogRel = options_.guiDir + name + ".gui";
    std::string settingsRel = screens::SettingsFilePath(options_.guiDir, name);
    std::string whereFile = mentionedIn
                                ? mentionedIn->Display()
                                : DisplayPath(IsRegularFile(dialogRel) ? dialogRel : settingsRel);
    Dialog dialog;
    bool checked = checkedScreens_.count(name) != 0;
    if (!IsRegularFile(dialogRel)) {
        report_.Error(whereFile, mentionLine,
                      StrFormat("screen %s has no dialog file %s", name.c_str(),
                                DisplayPath(dialogRel).c_str()));
    } else {
        dialog = checked ? dialogs_[name] : LoadDialog(dialogRel);
        dialogs_[name] = dialog;
    }
    if (!checked) {
        checkedScreens_.insert(name);
        LintSettings(name, settingsRel, whereFile, mentionLine, dialog);
    }
    if (profiles.pictures)
        LintScreenProfiles(name, profiles, dialog);
}

void Linter::LintSettings(const std::string& name, const std::string& relative,
                          const std::string& whereFile, int whereLine, const Dialog& dialog) {
    std::string display = DisplayPath(relative);
    bool hasValidate = dialog.Has(1001);
    if (!IsRegularFile(relative)) {
        if (hasValidate)
            report_.Error(whereFile, whereLine,
                          StrFormat("screen %s has no settings file %s: no navigation rule, "
                                    "so button 1001 cannot be reached by keyboard",
                                    name.c_str(), display.c_str()));
        else
            report_.Warning(whereFile, whereLine,
                            StrFormat("screen %s has no settings file %s: no keyboard "
                                      "navigation",
                                      name.c_str(), display.c_str()));
        return;
    }
    std::string error;
    auto doc = ParseWithLines(relative, &error);
    if (!doc) {
        report_.Error(display, LineOfError(error), "settings file is not readable: " + error);
        return;
    }
    screens::ScreenSettings settings;
    screens::ParseScreenSettings(doc.get(), &settings, nullptr, relative);
    const DOMElement* root = doc->Root();
    const DOMElement* navigate = FirstElementByTag(root, "key_navigate");
    const DOMElement* widgetsElement = FirstElementByTag(root, "widget_settings");
    std::vector<DOMElement*> ruleElements = ElementsUnder(navigate, "key_rule");
    std::vector<DOMElement*> widgetElements = ElementsUnder(widgetsElement, "widget_id");
    if (!navigate) {
        report_.Warning(display, XmlLineOf(root),
                        "no key_navigate: no navigation rule and no widget setting is read");
    } else if (settings.rules.size() < ruleElements.size() &&
               settings.rules.size() < screens::ScreenSettings::kMaxRules) {
        report_.Error(display, XmlLineOf(ruleElements[settings.rules.size()]),
                      "key_rule lacks input, output, key or widget_id: the rules after it "
                      "and every widget setting are ignored");
    } else if (ruleElements.size() > screens::ScreenSettings::kMaxRules) {
        report_.Error(display, XmlLineOf(ruleElements[screens::ScreenSettings::kMaxRules]),
                      StrFormat("more than %zu navigation rules: the rest are dropped",
                                screens::ScreenSettings::kMaxRules));
    } else if (!widgetsElement) {
        report_.Warning(display, XmlLineOf(navigate),
                        "no widget_settings: no widget type, mandatory flag or picture");
    } else if (settings.widgets.size() < widgetElements.size() &&
               settings.widgets.size() < screens::ScreenSettings::kMaxWidgets) {
        report_.Error(display, XmlLineOf(widgetElements[settings.widgets.size()]),
                      "widget entry lacks value or widget_type: the entries after it are "
                      "ignored");
    } else if (widgetElements.size() > screens::ScreenSettings::kMaxWidgets) {
        report_.Error(display, XmlLineOf(widgetElements[screens::ScreenSettings::kMaxWidgets]),
                      StrFormat("more than %zu widget entries: the rest are dropped",
                                screens::ScreenSettings::kMaxWidgets));
    }

    bool validateReached = false;
    bool tableEnded = false;
    for (size_t i = 0; i < settings.rules.size() && i < ruleElements.size(); ++i) {
        const screens::NavigationRule& r = settings.rules[i];
        int line = XmlLineOf(ruleElements[i]);
        if (tableEnded)
            break;
        if (r.source == 0) {
            report_.Warning(display, line,
                            "input widget_id 0 ends the rule table: later rules are never "
                            "used");
            tableEnded = true;
            continue;
        }
        if (!KnownNavigationKey(r.key))
            report_.Error(display, line,
                          StrFormat("key %s is not a navigation key (Tab, return, Left, Up, "
                                    "Right, Down, f1 to f24)",
                                    Quote(r.key).c_str()));
        for (int id : {r.source, r.target}) {
            if (id > 0 && dialog.loaded && !dialog.Has(id))
                report_.Error(display, line,
                              StrFormat("rule names control %d, which the dialog file lacks", id));
        }
        if (r.target == 1001 && (r.source < 0 || dialog.Has(r.source) || !dialog.loaded))
            validateReached = true;
    }
    if (hasValidate && !validateReached) {
        report_.Error(display, XmlLineOf(navigate ? navigate : root),
                      "no navigation rule leads to button 1001: the screen cannot be "
                      "validated with the keyboard alone");
    }

    for (size_t i = 0; i < settings.widgets.size() && i < widgetElements.size(); ++i) {
        const screens::WidgetSetting& w = settings.widgets[i];
        int line = XmlLineOf(widgetElements[i]);
        if (w.id == 0) {
            report_.Warning(display, line,
                            "widget value 0 ends the widget table: later entries are never "
                            "used");
            break;
        }
        std::optional<screens::ControlKind> kind = KindOfType(w.type);
        if (!kind) {
            report_.Warning(
                display, line,
                StrFormat("widget %d has unknown type %s", w.id, Quote(w.type).c_str()));
        } else if (screens::KindOfControl(w.id) != *kind) {
            report_.Error(display, line,
                          StrFormat("widget %d of type %s is outside %s", w.id, w.type.c_str(),
                                    KindRange(*kind)));
        }
        if (dialog.loaded && !dialog.Has(w.id))
            report_.Warning(display, line, StrFormat("widget %d is not in the dialog file", w.id));
        if (w.mandatory && w.type != "EDIT")
            report_.Warning(display, line,
                            StrFormat("widget %d is marked mandatory but is a %s: only "
                                      "edits are checked",
                                      w.id, w.type.c_str()));
    }

    std::vector<screens::PictureLink> links;
    screens::PictureLinks(doc.get(), &links, nullptr);
    std::map<int, int> widgetLines;
    for (size_t i = 0; i < settings.widgets.size() && i < widgetElements.size(); ++i)
        widgetLines.try_emplace(settings.widgets[i].id, XmlLineOf(widgetElements[i]));
    for (const screens::PictureLink& link : links) {
        int line = widgetLines.count(link.id) ? widgetLines[link.id] : 0;
        CheckPicture(display, line, "external_img_link", link.link);
    }
}

void Linter::CheckBackground(const IniFile& pictures, const std::string& screen) {
    auto background = ReadProfileString(pictures.Relative(), Widen(screen), L"Background",
                                        Widen(kMissingKey), 199);
    if (background != Widen(kMissingKey))
        CheckPicture(pictures.Display(), pictures.KeyLine(screen, "Background"), "background",
                     Narrow(background));
}

void Linter::LintScreenProfiles(const std::string& screen, const ModeScreens& p,
                                const Dialog& dialog) {
    auto checkId = [&](const IniFile& f, const std::string& key, int id,
                       screens::ControlKind kind) {
        int line = f.KeyLine(screen, key);
        if (screens::KindOfControl(id) != kind) {
            report_.Error(f.Display(), line,
                          StrFormat("%s %d is outside %s", key.c_str(), id, KindRange(kind)));
        } else if (dialog.loaded && !dialog.Has(id)) {
            report_.Error(f.Display(), line,
                          StrFormat("%s %d: the dialog of %s has no such control", key.c_str(), id,
                                    screen.c_str()));
        }
    };

    if (p.pictures->Readable() && p.pictures->HasSection(screen)) {
        const IniFile& f = *p.pictures;
        f.CheckNumbered(report_, screen, "ButtonId.", 1);
        bool hasBackground = f.KeyLine(screen, "Background") != 0;
        CheckBackground(f, screen);
        for (int n = 1; n <= 1000; ++n) {
            auto b = screens::ReadButtonEntry(f.Relative(), screen, n);
            if (!b)
                break;
            std::string idKey = StrFormat("ButtonId.%d", n);
            if (!hasBackground && n == 1)
                report_.Warning(f.Display(), f.KeyLine(screen, idKey),
                                StrFormat("screen %s has no Background: its buttons are not "
                                          "prepared",
                                          screen.c_str()));
            checkId(f, idKey, b->id, screens::ControlKind::Button);
            if (b->trad) {
                AddTrad(Narrow(*b->trad), f.Display(),
                        f.KeyLine(screen, StrFormat("ButtonTrad.%d", n)));
                continue;
            }
            if (!b->hasBitmaps) {
                // Without either, the button keeps the text its dialog gives it.
                const xmlgui::DlgControl* control =
                    dialog.loaded ? dialog.tmpl.Find(b->id) : nullptr;
                if (control && !control->text.empty())
                    continue;
                report_.Warning(f.Display(), f.KeyLine(screen, idKey),
                                StrFormat("button %d has no ButtonTrad.%d and not all of "
                                          "ButtonNormal, ButtonPush, ButtonOver: it shows "
                                          "nothing",
                                          b->id, n));
                continue;
            }
            const std::pair<const char*, const std::wstring*> looks[] = {
                {"ButtonNormal.%d", &b->normal},
                {"ButtonPush.%d", &b->pushed},
                {"ButtonOver.%d", &b->over},
                {"ButtonDisable.%d", &b->disabled}};
            for (const auto& [format, path] : looks) {
                std::string key = StrFormat(format, n);
                if (!path->empty())
                    CheckPicture(f.Display(), f.KeyLine(screen, key), key, Narrow(*path));
            }
        }
    }
    if (p.labels->Readable() && p.labels->HasSection(screen)) {
        const IniFile& f = *p.labels;
        f.CheckNumbered(report_, screen, "IdCompo.", 1);
        for (int n = 1; n <= 1000; ++n) {
            auto label = screens::ReadLabelEntry(f.Relative(), screen, n);
            if (!label)
                break;
            checkId(f, StrFormat("IdCompo.%d", n), label->id, screens::ControlKind::Label);
            if (!label->trad.empty())
                AddTrad(Narrow(label->trad), f.Display(),
                        f.KeyLine(screen, StrFormat("IdTrad.%d", n)));
        }
    }
    if (p.combos->Readable() && p.combos->HasSection(screen)) {
        const IniFile& f = *p.combos;
        f.CheckNumbered(report_, screen, "IdCombo.", 1);
        for (int n = 1; n <= 1000; ++n) {
            auto item = screens::ReadComboEntry(f.Relative(), screen, n);
            if (!item)
                break;
            std::string idKey = StrFormat("IdCombo.%d", n);
            checkId(f, idKey, item->id, screens::ControlKind::ComboBox);
            if (item->trad == Widen(kMissingKey))
                report_.Warning(f.Display(), f.KeyLine(screen, idKey),
                                StrFormat("IdCombo.%d has no IdTrad.%d: the item is empty", n, n));
            else
                AddTrad(Narrow(item->trad), f.Display(),
                        f.KeyLine(screen, StrFormat("IdTrad.%d", n)));
        }
    }
    screens::ScreenSetup setup = screens::ScreenSetupFor(screen);
    if (setup.kind == screens::SetupKind::KeyboardPicture) {
        std::string first = screens::KeyboardPicturePath(screens::kKeyboardIndexMin);
        CheckPicture(p.pictures->Display(), p.pictures->SectionLine(screen), "keyboard picture",
                     first, false);
    }
    if (setup.kind == screens::SetupKind::CountryList)
        countryScreen_ = true;
}

void Linter::AddTrad(const std::string& id, const std::string& file, int line) {
    trads_.push_back(TradUse{id, file, line});
}

void Linter::LintTranslations() {
    IniFile language(LanguageFilePath());
    if (!language.Readable()) {
        if (!trads_.empty())
            report_.Warning(language.Display(), 0,
                            "language file cannot be read: screens are not translated");
        return;
    }
    language.CheckShape(report_);
    const std::string& file = language.Display();
    int count = LanguageCount();
    std::map<std::string, int> codes;  // resolved code -> first entry using it
    std::map<std::string, int> ownCodes;
    for (int n = 0; n < count; ++n) {
        std::string code = LanguageCode(n);
        std::string fallback = LanguageFallback(n);
        std::string codeKey = StrFormat("Code.%d", n);
        std::string fallbackKey = StrFormat("Fallback.%d", n);
        if (!code.empty()) {
            if (Widen(code).size() != 2)
                report_.Error(file, language.KeyLine("LANGUAGE", codeKey),
                              StrFormat("Code.%d %s is not two characters: the translator "
                                        "refuses it",
                                        n, Quote(code).c_str()));
            auto [it, inserted] = ownCodes.try_emplace(code, n);
            if (!inserted)
                report_.Warning(file, language.KeyLine("LANGUAGE", codeKey),
                                StrFormat("code %s is also entry %d's: a code finds only "
                                          "the first",
                                          code.c_str(), it->second));
        }
        if (!fallback.empty()) {
            int line = language.KeyLine("LANGUAGE", fallbackKey);
            int target = ParseDecimal(fallback);
            if (ResolveLanguageFallback(n) < 0) {
                report_.Error(file, line,
                              StrFormat("the fallback chain of entry %d loops or names no "
                                        "entry number",
                                        n));
                continue;
            } else if (target < 0 || target >= count) {
                report_.Error(file, line,
                              StrFormat("Fallback.%d points to entry %d, outside the list "
                                        "(0 to %d)",
                                        n, target, count - 1));
                continue;
            }
        }
        std::string resolved = ResolvedLanguageCode(n);
        if (!resolved.empty())
            codes.try_emplace(resolved, n);
    }
    // Keys of entries past the end: an entry without Code and Fallback ends the list.
    int firstDead = 0;
    int deadEntry = -1;
    for (const ProfileLine* k : language.Keys("LANGUAGE")) {
        std::string key = Narrow(k->name);
        size_t dot = key.rfind('.');
        if (dot == std::string::npos)
            continue;
        std::string digits = key.substr(dot + 1);
        int n = ParseDecimal(digits);
        if (digits != std::to_string(n) || n < count)
            continue;
        if (deadEntry < 0 || n < deadEntry || (n == deadEntry && k->line < firstDead)) {
            deadEntry = n;
            firstDead = k->line;
        }
    }
    if (deadEntry >= 0) {
        report_.Error(file, firstDead,
                      StrFormat("entry %d is never read: entry %d has no Code and no "
                                "Fallback, which ends the list",
                                deadEntry, count));
    }
    int defaultIndex = DefaultLanguageIndex();
    if (count > 0 && defaultIndex >= count) {
        IniFile plugins(PluginsFilePath());
        report_.Warning(
            plugins.Display(), plugins.KeyLine("VEKFoundationServices", "IndexDefaultLangue"),
            StrFormat("IndexDefaultLangue %d is not an entry of language.ini", defaultIndex));
    }

    if (codes.empty())
        return;
    std::string tradDisplay = DisplayPath(kTranslationFile);
    TextTables tables;
    {
        ZFQTranslator translator;
        FILE* sink = std::fopen("/dev/null", "w");
        translator.SetWarningStream(sink);
        for (const auto& [code, entry] : codes) {
            if (Widen(code).size() != 2)
                continue;
            if (translator.LoadLanguage(code.c_str()) < 0) {
                std::string error;
                XmlPlatform xml;
                auto doc = ParseWithLines(kTranslationFile, &error);
                report_.Error(tradDisplay, LineOfError(error),
                              "translation file cannot be read: " +
                                  (doc ? std::string("unknown reason") : error));
                tables.clear();
                break;
            }
            tables[code] = translator.Table();
            if (translator.Count() == 0)
                report_.Error(tradDisplay, 0,
                              StrFormat("no text in language %s (entry %d of language.ini)",
                                        code.c_str(), entry));
        }
        if (sink)
            std::fclose(sink);
    }
    if (tables.empty())
        return;
    for (const TradUse& use : trads_) {
        if (use.id.size() > kTranslationIdMax) {
            report_.Error(use.file, use.line,
                          StrFormat("translation ID %s is longer than %zu characters: it is "
                                    "never found",
                                    Quote(use.id).c_str(), kTranslationIdMax));
            continue;
        }
        std::string missing;
        size_t missingCount = 0;
        for (const auto& [code, table] : tables) {
            if (!HasText(tables, code, use.id)) {
                missing += (missing.empty() ? "" : ", ") + code;
                ++missingCount;
            }
        }
        if (missingCount == tables.size()) {
            report_.Error(
                use.file, use.line,
                StrFormat("translation ID %s has no text in any language", Quote(use.id).c_str()));
        } else if (missingCount > 0) {
            report_.Warning(use.file, use.line,
                            StrFormat("translation ID %s has no text in %s", Quote(use.id).c_str(),
                                      missing.c_str()));
        }
    }
    LintCountries(tables, codes);
}

void Linter::LintCountries(const TextTables& tables, const std::map<std::string, int>& codes) {
    std::string display = DisplayPath(screens::kCountryTable);
    if (!IsRegularFile(screens::kCountryTable)) {
        if (countryScreen_)
            report_.Warning(display, 0,
                            "country table cannot be read: the country list stays empty");
        return;
    }
    CDelimitedFile table(READ_AS_STRING);
    table.SetDelimiter(";");
    if (!table.ReadFile(screens::kCountryTable, READ_AS_STRING)) {
        report_.Error(display, 0, "country table cannot be read: " + table.GetErrorText());
        return;
    }
    for (long row = 0;; ++row) {
        std::string code;
        std::string id;
        if (table.GetString("Code Langue KSO", row, code) < 0 ||
            table.GetString("ID_COUNTRY", row, id) < 0)
            break;
        // The header is line 1; rows follow one a line.
        int line = static_cast<int>(row) + 2;
        if (!codes.count(code))
            continue;
        if (row >= screens::kCountryRowMax) {
            report_.Warning(display, line,
                            StrFormat("rows after %ld are never listed", screens::kCountryRowMax));
            break;
        }
        if (id.size() != screens::kCountryIdLength) {
            report_.Warning(display, line,
                            StrFormat("country %s is not %zu characters: it is never listed",
                                      Quote(id).c_str(), screens::kCountryIdLength));
        } else if (!HasText(tables, code, id)) {
            report_.Warning(display, line,
                            StrFormat("country %s has no text in %s: it is left out of the "
                                      "list",
                                      id.c_str(), code.c_str()));
        }
    }
}

}  // namespace lint

void LintConfiguration(const LintOptions& options, Report& report) {
    XmlPlatform xml;
    lint::Linter(options, report).Run();
}

}  // namespace authoring
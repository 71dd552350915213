// The screens' part of the check: which screens a mode names or the screen folder holds, and
// their dialog and settings files.
#include <dirent.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/Text.h"
#include "platform/Paths.h"
#include "screens/ControlIds.h"
#include "screens/ControlKind.h"
#include "screens/ScreenSettings.h"
#include "tools/qvtool/LintInternal.h"
#include "xmlgui/DlgTemplate.h"

using xercesc::DOMElement;

namespace authoring::lint {

namespace {

struct KindInfo {
    screens::ControlKind kind;
    screens::IdRange ids;
    const char* className;  // as dialog files name the class
};
constexpr KindInfo kKinds[] = {
    {screens::ControlKind::Button, screens::ids::kButtons, "BUTTON"},
    {screens::ControlKind::Label, screens::ids::kLabels, "STATIC"},
    {screens::ControlKind::Edit, screens::ids::kEdits, "EDIT"},
    {screens::ControlKind::ListBox, screens::ids::kListBoxes, "LISTBOX"},
    {screens::ControlKind::ComboBox, screens::ids::kComboBoxes, "COMBOBOX"},
    {screens::ControlKind::Picture, screens::ids::kPictures, "PICTURE"},
};

const KindInfo* InfoOf(screens::ControlKind kind) {
    for (const KindInfo& k : kKinds)
        if (k.kind == kind)
            return &k;
    return nullptr;
}

const char* KindName(screens::ControlKind kind) {
    const KindInfo* k = InfoOf(kind);
    return k ? k->className : "plain";
}

}  // namespace

std::string KindRange(screens::ControlKind kind) {
    const KindInfo* k = InfoOf(kind);
    return k ? StrFormat("%d-%d", k->ids.first, k->ids.last) : std::string();
}

namespace {

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

}  // namespace

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
    dialog.display = display;
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
                report_.Warning(
                    display, dialog.Line(c.id),
                    StrFormat("%s %d is outside %s: the screen gives it a plain "
                              "widget",
                              xmlgui::ControlClassName(c.cls), c.id, KindRange(*cls).c_str()));
        } else if (cls && *cls != kind) {
            report_.Warning(display, dialog.Line(c.id),
                            StrFormat("control %d is a %s, but IDs %s make %s controls", c.id,
                                      xmlgui::ControlClassName(c.cls), KindRange(kind).c_str(),
                                      KindName(kind)));
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
                                    KindRange(*kind).c_str()));
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

}  // namespace authoring::lint

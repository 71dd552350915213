#pragma once
// A screen's settings file (PathGui + screen + ".config.xml"): the keyboard-navigation rules
// and the widget settings (type, mandatory flag), and the pictures it links to controls.
// The tables belong to the screen being shown; the view owns one ScreenSettings and hands it
// to navigation and data capture.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/XmlDocument.h"

class CLog;

namespace screens {

struct NavigationRule {
    std::string key;     // key name ("Tab", "return", "f1", ...), compared without case
    int32_t source = 0;  // control the key is pressed on; negative: any control
    int32_t target = 0;  // control that takes the focus; negative: the focus stays
};

struct WidgetSetting {
    std::string type;  // "BUTTON", "EDIT", "COMBOBOX", "LISTBOX", "PICTURE", as written
    int32_t id = 0;
    bool mandatory = false;
};

struct ScreenSettings {
    static constexpr size_t kMaxRules = 200;
    static constexpr size_t kMaxWidgets = 100;
    // Longest key and type text, in bytes; longer ones are cut on a character boundary.
    static constexpr size_t kMaxTextBytes = 259;

    // File order. For their readers a table ends at its first entry with source (rules) or id
    // (widgets) 0, although the parse stores what follows it.
    std::vector<NavigationRule> rules;
    std::vector<WidgetSetting> widgets;

    // The first widget entry with that id before the end of the table, or null.
    const WidgetSetting* FindWidget(int32_t id) const;
    void Clear();
};

// "%s%s.config.xml" of PathGui and the screen name.
std::string SettingsFilePath(const std::string& pathGui, const std::string& screen);

// Parses the settings file; null (with the ERR line "File %s not found") when no document
// could be built. Needs a live XmlPlatform.
std::unique_ptr<XmlDocument> newParser(const std::string& path, CLog* log);

// Fills settings from the document (null allowed), clearing it first. 0 when every entry was
// read, 1 when the parse stopped on a missing element (earlier entries stay). Entries beyond a
// table's capacity are dropped with one WARNING naming file and capacity.
int ParseScreenSettings(const XmlDocument* doc, ScreenSettings* settings, CLog* log,
                        const std::string& file);

// A picture to place: control ID and the image path from the file (relative to the program
// directory).
struct PictureLink {
    int32_t id = 0;
    std::string link;
};

// The Qt-free half of SetAllPictures: the PICTURE entries with a link, with the log lines.
// 0 on success, 1 when widget_settings or an entry's value or type is missing (the links
// found before stay in out).
int PictureLinks(const XmlDocument* doc, std::vector<PictureLink>* out, CLog* log);

}  // namespace screens

#include "screens/ScreenSettings.h"

#include <xercesc/dom/DOM.hpp>

#include "base/Log.h"
#include "base/Text.h"

using xercesc::DOMElement;
using xercesc::DOMNodeList;

namespace screens {

namespace {

std::string Text(const DOMElement* element) {
    return Narrow(XmlTextContent(element));
}

std::string CutText(const DOMElement* element) {
    return std::string(CutUtf8(Text(element), ScreenSettings::kMaxTextBytes));
}

int32_t Number(const DOMElement* element) {
    return ParseDecimal(Text(element));
}

void Warn(CLog* log, const char* msg) {
    if (log)
        log->Warning(msg);
}

// Every descendant named tag, in document order.
DOMNodeList* All(const DOMElement* parent, const char* tag) {
    std::u16string name = NarrowToXml(tag);
    return parent->getElementsByTagName(name.c_str());
}

DOMElement* Item(DOMNodeList* list, XMLSize_t i) {
    return dynamic_cast<DOMElement*>(list->item(i));
}

void WarnCapacity(CLog* log, const char* what, const std::string& file, size_t capacity) {
    if (log)
        log->Warning(
            StrFormat("Too many %s in %s : the first %zu are kept", what, file.c_str(), capacity));
}

}  // namespace

const WidgetSetting* ScreenSettings::FindWidget(int32_t id) const {
    for (const WidgetSetting& w : widgets) {
        if (w.id == 0)
            return nullptr;
        if (w.id == id)
            return &w;
    }
    return nullptr;
}

void ScreenSettings::Clear() {
    rules.clear();
    widgets.clear();
}

std::string SettingsFilePath(const std::string& pathGui, const std::string& screen) {
    return pathGui + screen + ".config.xml";
}

std::unique_ptr<XmlDocument> newParser(const std::string& path, CLog* log) {
    if (log)
        log->Debug("CQVAppView::newParser Begin");
    std::string error;
    // Entity references expanded in place: a value is the element's whole text.
    XmlParseOptions options;
    options.createEntityReferenceNodes = false;
    std::unique_ptr<XmlDocument> doc = XmlDocument::ParseFile(path, &error, options);
    if (!doc && log)
        log->Err(StrFormat("File %s not found", path.c_str()));
    if (log)
        log->Debug("CQVAppView::newParser() End");
    return doc;
}

int ParseScreenSettings(const XmlDocument* doc, ScreenSettings* settings, CLog* log,
                        const std::string& file) {
    settings->Clear();
    const DOMElement* root = doc ? doc->Root() : nullptr;
    const DOMElement* navigate = FirstElementByTag(root, "key_navigate");
    if (!navigate) {
        Warn(log, "None navigation rules in config file");
        return 1;
    }
    DOMNodeList* rules = All(navigate, "key_rule");
    const XMLSize_t ruleCount = rules ? rules->getLength() : 0;
    for (XMLSize_t i = 0; i < ruleCount; ++i) {
        if (settings->rules.size() == ScreenSettings::kMaxRules) {
            WarnCapacity(log, "navigation rules", file, ScreenSettings::kMaxRules);
            break;
        }
        const DOMElement* rule = Item(rules, i);
        const DOMElement* input = FirstElementByTag(rule, "input");
        if (!input) {
            Warn(log, "Tag input Not found");
            return 1;
        }
        const DOMElement* output = FirstElementByTag(rule, "output");
        if (!output) {
            Warn(log, "Tag output Not found");
            return 1;
        }
        const DOMElement* key = FirstElementByTag(input, "key");
        if (!key) {
            Warn(log, "Tag key Not found");
            return 1;
        }
        const DOMElement* source = FirstElementByTag(input, "widget_id");
        if (!source) {
            Warn(log, "Tag widget_id input Not found");
            return 1;
        }
        const DOMElement* target = FirstElementByTag(output, "widget_id");
        if (!target) {
            Warn(log, "Tag widget_id output Not found");
            return 1;
        }
        settings->rules.push_back({CutText(key), Number(source), Number(target)});
    }

    const DOMElement* widgetSettings = FirstElementByTag(root, "widget_settings");
    if (!widgetSettings) {
        Warn(log, "None widget settings in config file");
        return 1;
    }
    DOMNodeList* entries = All(widgetSettings, "widget_id");
    const XMLSize_t entryCount = entries ? entries->getLength() : 0;
    for (XMLSize_t i = 0; i < entryCount; ++i) {
        if (settings->widgets.size() == ScreenSettings::kMaxWidgets) {
            WarnCapacity(log, "widget settings", file, ScreenSettings::kMaxWidgets);
            break;
        }
        const DOMElement* entry = Item(entries, i);
        const DOMElement* value = FirstElementByTag(entry, "value");
        if (!value) {
            Warn(log, "None value of widget in config file");
            return 1;
        }
        const DOMElement* type = FirstElementByTag(entry, "widget_type");
        if (!type) {
            Warn(log, "None type of widget in config file");
            return 1;
        }
        WidgetSetting widget{CutText(type), Number(value), false};
        if (const DOMElement* mandatory = FirstElementByTag(entry, "widget_mandatory"))
            widget.mandatory = EqualsNoCase(Text(mandatory), "true");
        else
            Warn(log, "None Mandatory widget in config file");
        settings->widgets.push_back(std::move(widget));
    }
    return 0;
}

int PictureLinks(const XmlDocument* doc, std::vector<PictureLink>* out, CLog* log) {
    if (log)
        log->Debug("CQVAppView::SetAllPictures() Begin");
    const DOMElement* root = doc ? doc->Root() : nullptr;
    const DOMElement* widgetSettings = FirstElementByTag(root, "widget_settings");
    if (!widgetSettings) {
        if (log)
            log->Err(
                StrFormat("CQVAppView::SetAllPictures() [%s] tag not Found", "widget_settings"));
        return 1;
    }
    DOMNodeList* entries = All(widgetSettings, "widget_id");
    const XMLSize_t count = entries ? entries->getLength() : 0;
    if (log)
        log->Debug(StrFormat("CQVAppView::SetAllPictures() Found [%d] [%s] widget",
                             static_cast<int>(count), "widget_settings"));
    for (XMLSize_t i = 0; i < count; ++i) {
        const DOMElement* entry = Item(entries, i);
        const DOMElement* value = FirstElementByTag(entry, "value");
        const DOMElement* type = FirstElementByTag(entry, "widget_type");
        const DOMElement* link = FirstElementByTag(entry, "external_img_link");
        if (!value || !type) {
            if (log)
                log->Err(StrFormat(
                    "CQVAppView::SetAllPictures() [%s] or [%s] tag not found at Item [%d]", "value",
                    "widget_type", static_cast<int>(i)));
            return 1;
        }
        if (!link || Text(type) != "PICTURE")
            continue;
        const std::string valueText = Text(value);
        // The link is read into a wide field of 199 characters.
        std::string path = Narrow(XmlTextContent(link).substr(0, 199));
        if (log)
            log->Debug(StrFormat(
                "CQVAppView::SetAllPictures() Found PICTURE widget at Item "
                "[%d]:value=[%s]-ExternalImgLink=[%s]",
                static_cast<int>(i), std::string(CutUtf8(valueText, 259)).c_str(), path.c_str()));
        out->push_back({ParseDecimal(valueText), std::move(path)});
    }
    if (log)
        log->Debug(StrFormat("CQVAppView::SetAllPictures() End - RC=[%d]", 0));
    return 0;
}

}  // namespace screens

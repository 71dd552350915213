// Screen settings files (*.config.xml): navigation rules, widget settings, picture links.
#include "base/XmlDocument.h"
#include "screens/Navigation.h"
#include "screens/ScreenSettings.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static XmlPlatform* platform = new XmlPlatform;
    (void)platform;
    const std::string path = fuzz::Put("gui/S.config.xml", data, size);
    std::unique_ptr<XmlDocument> doc = screens::newParser(path, nullptr);
    screens::ScreenSettings settings;
    screens::ParseScreenSettings(doc.get(), &settings, nullptr, path);
    std::vector<screens::PictureLink> links;
    screens::PictureLinks(doc.get(), &links, nullptr);
    std::string type;
    for (const screens::NavigationRule& rule : settings.rules)
        screens::getNextWigdet(settings, rule.source, rule.key, &type, nullptr);
    return 0;
}

// Dialog files (*.gui).
#include "base/XmlDocument.h"
#include "tests/fuzz/FuzzSupport.h"
#include "xmlgui/DlgTemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static XmlPlatform* platform = new XmlPlatform;
    (void)platform;
    xmlgui::DialogTemplate dialog;
    std::string error;
    std::vector<std::string> warnings;
    if (xmlgui::ParseDialogXml(std::string(fuzz::Bytes(data, size)), &dialog, &error, &warnings)) {
        for (const auto& control : dialog.controls)
            (void)dialog.Find(control.id);
    }
    return 0;
}

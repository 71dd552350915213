// Service list (QV_serv.xml): services, their components and libraries.
#include "automate/ActionManager.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // No parameters file: no plug-in is loaded, only the list is read.
    static auto* manager = new CActionManager(fuzz::Tree() + "/config/none.ini", nullptr, nullptr);
    std::string path = fuzz::Put("config/serv.xml", data, size);
    manager->LoadServices(path);
    for (int i = 0; i < manager->ServiceCount(); ++i)
        (void)manager->Service(i).library.size();
    return 0;
}

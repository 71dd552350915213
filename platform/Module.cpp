#include "platform/Module.h"

#include <dlfcn.h>

#include "platform/Paths.h"

namespace platform {

std::string ModuleFileName(std::string_view configuredName) {
    std::string name(configuredName);
    if (name.size() >= 4) {
        std::string tail = name.substr(name.size() - 4);
        for (char& c : tail)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (tail == ".dll")
            name.replace(name.size() - 4, 4, ".so");
    }
    return name;
}

std::unique_ptr<Module> Module::Load(std::string_view path, std::string* error) {
    std::string file = ModuleFileName(NativePath(path));
    if (file.empty()) {
        if (error)
            *error = "empty module path";
        return nullptr;
    }
    if (file.find('/') == std::string::npos)
        file = "./" + file;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char* msg = dlerror();
            *error = msg ? msg : "cannot load " + file;
        }
        return nullptr;
    }
    return std::unique_ptr<Module>(new Module(handle, file));
}

Module::~Module() {
    if (handle_)
        dlclose(handle_);
}

void* Module::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace platform

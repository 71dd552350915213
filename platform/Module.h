#pragma once
// Loading of plug-in modules. Configured names end in ".dll"; the file loaded is the same name
// ending in ".so". Modules load only by a path that contains '/', never through the search path.
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// "noxMiscPluginu.dll" -> "noxMiscPluginu.so" (suffix compared without case); other names stay.
std::string ModuleFileName(std::string_view configuredName);

class Module {
  public:
    // Loads the module at path (backslashes allowed; ".dll" mapped to ".so"; a bare name is
    // taken from the current directory). Returns null and fills error when it cannot.
    static std::unique_ptr<Module> Load(std::string_view path, std::string* error = nullptr);

    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Address of an exported symbol, or null.
    void* Symbol(const char* name) const;

    template <typename Fn>
    Fn Function(const char* name) const {
        return reinterpret_cast<Fn>(Symbol(name));
    }

    const std::string& Path() const { return path_; }

  private:
    Module(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

}  // namespace platform

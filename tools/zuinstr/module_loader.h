// Loads the zuinstr module by path and finds its exported entry points, as
// any host does: dlopen on Linux, LoadLibraryW on Windows.
#ifndef ZUINSTR_TOOL_MODULE_LOADER_H
#define ZUINSTR_TOOL_MODULE_LOADER_H

#include <string>

#include "zuinstr/zuinstr.h"

namespace zutool {

class Module {
public:
    Module() = default;
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Loads the module; on failure returns false and fills error.
    bool Load(const std::string& path, std::string* error);
    void* Symbol(const char* name) const;
    const std::string& path() const { return path_; }

    // Asks the module's class factory for an object of one class.
    HRESULT Create(const CLSID& classId, const IID& iid, void** out) const;

private:
    void* handle_ = nullptr;
    std::string path_;
};

// The module's default place: beside this executable.
std::string DefaultModulePath();

}  // namespace zutool

#endif

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

    // Asks the module's class factory for an object of one class. Reader and
    // render classes are handed the tool's file-I/O manager when it has one.
    HRESULT Create(const CLSID& classId, const IID& iid, void** out) const;
    void UseFileIOManager(IZuFileIOManager* manager) { manager_ = manager; }

private:
    void* handle_ = nullptr;
    std::string path_;
    IZuFileIOManager* manager_ = nullptr;
};

// Frees a system string the module handed out (OLE's on Windows, the
// module's own exported stand-in on Linux).
void FreeSystemString(const Module& module, BSTR text);

// The module's default place: beside this executable.
std::string DefaultModulePath();

}  // namespace zutool

#endif

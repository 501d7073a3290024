// Saving through the module's render class without ever destroying the file
// being replaced: the render goes into a temporary file beside the target,
// which takes the target's place (with its side file) only when the render
// succeeded. A failed or interrupted save leaves the old file as it was.
#ifndef ZUINSTR_TOOL_SAFE_SAVE_H
#define ZUINSTR_TOOL_SAFE_SAVE_H

#include <string>

#include "module_loader.h"

namespace zutool {

class SafeSave {
public:
    SafeSave(const Module& module, std::string target) : module_(module), target_(std::move(target)) {}
    ~SafeSave();  // removes a render that was never committed

    // Renders audio and metadata with the render class of classId into the temporary file.
    HRESULT Render(const CLSID& classId, IUnknown* audio, IUnknown* metadata, bool quiet);
    // Puts the rendered file (and its side file) in the target's place.
    bool Commit(std::string* error);
    const std::string& temporary() const { return temporary_; }

private:
    const Module& module_;
    std::string target_;
    std::string temporary_;
    bool rendered_ = false;
    bool committed_ = false;
};

// The format class a target file name asks for (by its extension), or -1.
// Commits the save and tells the user where it went: the tool's exit code.
int CommitAndReport(SafeSave& save, const std::string& target, bool quiet);

int KindOfTarget(const std::string& path);
const CLSID& ClassOfKind(int kind);
int KindOfFormatName(const std::string& name);
const char* KindName(int kind);

}  // namespace zutool

#endif

// What every command does first: load the module (beside the tool, or the
// one --module names) and report refusals with the module's own message.
#ifndef ZUINSTR_TOOL_MODULE_SESSION_H
#define ZUINSTR_TOOL_MODULE_SESSION_H

#include <string>

#include "cli.h"
#include "module_loader.h"

namespace zutool {

class ModuleSession {
public:
    bool Open(const Args& args);
    const Module& module() const { return module_; }
    // Prints why an operation was refused and returns the refusal exit code.
    int Refused(const std::string& what, HRESULT hr) const;

private:
    Module module_;
};

// The English text of a result code the module raises, or a generic one.
std::string ResultText(HRESULT hr);

}  // namespace zutool

#endif

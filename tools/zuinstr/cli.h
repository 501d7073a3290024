// The host tool's command-line plumbing: parsed arguments, the command table,
// exit codes and small text helpers shared by the commands.
#ifndef ZUINSTR_TOOL_CLI_H
#define ZUINSTR_TOOL_CLI_H

#include <map>
#include <string>
#include <vector>

#include "zuinstr/zuinstr.h"

namespace zutool {

enum ExitCode { kExitOk = 0, kExitRefused = 1, kExitUsage = 2 };

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // "--name" -> value ("" for flags)
    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const {
        auto it = options.find(name);
        return it == options.end() ? fallback : it->second;
    }
};

struct Command {
    const char* name;
    const char* summary;
    const char* usage;
    std::vector<std::string> valueOptions;  // options that take a value
    int (*run)(const Args& args);
};

const std::vector<Command>& Commands();

std::string GuidText(const GUID& g);
std::string Utf8(const WCHAR* text);
std::string JsonString(const std::string& s);

}  // namespace zutool

#endif

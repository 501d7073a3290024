// zuinstr: the command-line host of the zuinstr module. It loads the module
// by path and uses nothing but the module's public header, as any host would.
//
// Exit codes: 0 success, 1 the module refused, 2 bad usage.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zutool {
namespace {

void PrintHelp() {
    std::printf(
        "zuinstr: open, inspect and save DLS, GIG and SoundFont 2 instruments\n"
        "through the zuinstr module.\n\n"
        "usage: zuinstr COMMAND [options]\n\ncommands:\n");
    for (const Command& c : Commands()) std::printf("  %-14s %s\n", c.name, c.summary);
    std::printf(
        "\n'zuinstr COMMAND --help' explains one command.\n"
        "exit codes: 0 success, 1 the module refused, 2 bad usage\n");
}

int Run(const std::vector<std::string>& argv) {
    if (argv.size() < 2 || argv[1] == "--help" || argv[1] == "-h" || argv[1] == "help") {
        PrintHelp();
        return argv.size() < 2 ? kExitUsage : kExitOk;
    }
    const auto& commands = Commands();
    auto it = std::find_if(commands.begin(), commands.end(), [&](const Command& c) { return argv[1] == c.name; });
    if (it == commands.end()) {
        std::fprintf(stderr, "zuinstr: unknown command '%s' (see 'zuinstr --help')\n", argv[1].c_str());
        return kExitUsage;
    }
    Args args;
    for (size_t i = 2; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--help" || a == "-h") {
            std::printf("usage: %s", it->usage);
            return kExitOk;
        }
        if (a.size() > 1 && a[0] == '-') {
            const bool takesValue = std::find(it->valueOptions.begin(), it->valueOptions.end(), a) != it->valueOptions.end();
            if (takesValue) {
                if (i + 1 >= argv.size()) {
                    std::fprintf(stderr, "zuinstr %s: %s needs a value\n", it->name, a.c_str());
                    return kExitUsage;
                }
                args.options[a] = argv[++i];
            } else {
                args.options[a] = "";
            }
        } else {
            args.positional.push_back(a);
        }
    }
    return it->run(args);
}

}  // namespace
}  // namespace zutool

#ifdef _WIN32
int wmain(int argc, wchar_t** wargv) {
    std::vector<std::string> argv;
    for (int i = 0; i < argc; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(n > 0 ? n - 1 : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wargv[i], -1, s.data(), n, nullptr, nullptr);
        argv.push_back(s);
    }
    SetConsoleOutputCP(CP_UTF8);
    return zutool::Run(argv);
}
#else
int main(int argc, char** argv) { return zutool::Run(std::vector<std::string>(argv, argv + argc)); }
#endif

#include "module_session.h"

#include <cstdio>

namespace zutool {

bool ModuleSession::Open(const Args& args) {
    const std::string path = args.Get("--module", DefaultModulePath());
    std::string error;
    if (!module_.Load(path, &error)) {
        std::fprintf(stderr, "zuinstr: cannot load the module %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

int ModuleSession::Refused(const std::string& what, HRESULT hr) const {
    std::fprintf(stderr, "zuinstr: %s: %s (0x%08lX)\n", what.c_str(), ResultText(hr).c_str(),
                 static_cast<unsigned long>(static_cast<uint32_t>(hr)));
    return kExitRefused;
}

std::string ResultText(HRESULT hr) {
    switch (static_cast<uint32_t>(hr)) {
        case 0x8004E002u: return "The disk is full. Please free some space and try again.";
        case 0x8004E007u: return "The file could not be opened. Make sure the file exists and that you have access to the file/folder.";
        case 0x8004E008u: return "An error occurred reading the file. Make sure you have read access to the file/folder and that it is not corrupted.";
        case 0x8004E009u: return "An error occurred writing the file. Make sure you have write access to the file/folder and that there is enough free space.";
        case 0x8004E00Au: return "The item was not found.";
        case 0x8004E00Bu: return "The file is most likely corrupted or of an unknown format.";
        case 0x8004E01Au: return "The file has no audio.";
        case 0x8004E03Au: return "The file being rendered has exceeded the maximum size allowed for the selected format.";
        case 0x8004E080u: return "The file is most likely corrupted or of an unknown format. A necessary RIFF header is missing.";
        case 0x8004E189u: return "The instrument has compressed samples which are currently not supportted by this software.";
        case 0x80004001u: return "Not implemented.";
        case 0x80004002u: return "The module does not offer this interface.";
        case 0x8007000Eu: return "Out of memory.";
        case 0x80070057u: return "An argument was out of range.";
        default: return "The operation failed.";
    }
}

}  // namespace zutool

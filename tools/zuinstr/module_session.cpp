#include "module_session.h"

#include <cstdio>
#include <cstdlib>

namespace zutool {

namespace {

// The tool's file-I/O manager: it tells the module the language the user
// asked for, so the module's texts come out in it.
class LanguageManager final : public IZuFileIOManager {
public:
    explicit LanguageManager(LCID lcid) : lcid_(lcid) {}
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override {
        if (!ZuGuidEqual(iid, IID_ZuIUnknown)) return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG ZU_STDCALL AddRef() override { return 2; }  // lives as long as the tool
    ULONG ZU_STDCALL Release() override { return 1; }
    HRESULT ZU_STDCALL GetLCID(LCID* lcid, ULONG) override {
        *lcid = lcid_;
        return S_OK;
    }
    HRESULT ZU_STDCALL ManagerSlot4() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot5() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot6() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot7() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot8() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot9() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot10() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot11() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot12() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot13() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot14() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot15() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot16() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot17() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL FindReadFileClass(IZuReadFileClass**, const GUID&, uintptr_t) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL FindRenderFileClass(IZuRenderFileClass**, const GUID&) override { return E_NOTIMPL; }

private:
    LCID lcid_;
};

}  // namespace

bool ModuleSession::Open(const Args& args) {
    const std::string path = args.Get("--module", DefaultModulePath());
    if (args.Has("--lang")) {
        static LanguageManager manager(static_cast<LCID>(std::strtoul(args.Get("--lang").c_str(), nullptr, 10)));
        module_.UseFileIOManager(&manager);
    }
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

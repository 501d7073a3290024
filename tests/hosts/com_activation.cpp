// Real COM activation of the Windows module: registers its class identifiers
// as an in-process server and reaches the plug-in
// information object through ole32, as a Windows host would.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>

#include "zuinstr/zuinstr.h"

static int g_passed = 0, g_failed = 0;
static void Check(bool ok, const char* what) {
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAILED: %s\n", what);
    }
}

static bool Register(const GUID& clsid, const std::wstring& dll) {
    wchar_t text[64];
    StringFromGUID2(clsid, text, 64);
    const std::wstring key = L"CLSID\\" + std::wstring(text) + L"\\InprocServer32";
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    const wchar_t model[] = L"Both";
    bool ok = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
                             static_cast<DWORD>((dll.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    ok = ok && RegSetValueExW(h, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model), sizeof model) == ERROR_SUCCESS;
    RegCloseKey(h);
    return ok;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    // "--registered": the classes are registered already (by the .reg file); only activate.
    const bool registerFirst = std::string(argv[1]) != "--registered";
    std::string path = argv[1];
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    const std::wstring dll(path.begin(), path.end());
    if (registerFirst) {
        Check(Register(CLSID_ZuUnsharedFIOPluginInfo, dll), "registered the information object");
        Check(Register(CLSID_ZuDlsInstrument, dll), "registered the DLS class");
    }
    Check(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)), "COM initialised");

    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(CLSID_ZuUnsharedFIOPluginInfo, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    Check(SUCCEEDED(hr) && factory, "CoGetClassObject reaches the module's factory");
    if (FAILED(hr)) std::printf("CoGetClassObject: 0x%08lX\n", static_cast<unsigned long>(hr));
    if (factory) factory->Release();

    IZuUnsharedFIOPluginInfo* info = nullptr;
    hr = CoCreateInstance(CLSID_ZuUnsharedFIOPluginInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IZuUnsharedFIOPluginInfo,
                          reinterpret_cast<void**>(&info));
    Check(SUCCEEDED(hr) && info, "CoCreateInstance creates the information object");
    if (info) {
        ULONG count = 0;
        Check(info->GetClassCount(&count) == S_OK && count == 3, "three classes through COM");
        GUID id{};
        wchar_t name[32];
        Check(info->GetClassInfo(2, &id, name, 32, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) == S_OK,
              "row 2 answered");
        Check(IsEqualGUID(id, CLSID_ZuSf2Instrument) && std::wstring(name) == L"SoundFont 2 Instrument", "row 2 content");
        info->Release();
    }
    IUnknown* unk = nullptr;
    hr = CoCreateInstance(CLSID_ZuDlsInstrument, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&unk));
    Check(hr == E_NOINTERFACE && !unk, "a format class refuses IUnknown");
    CoUninitialize();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}

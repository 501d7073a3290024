#include "module_loader.h"

#ifdef _WIN32
#include <windows.h>
// OLE Automation frees the system strings the Windows module hands out.
extern "C" __declspec(dllimport) void __stdcall SysFreeString(wchar_t* text);
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace zutool {

#ifdef _WIN32
static std::wstring WidenUtf8(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
    return w;
}
#endif

Module::~Module() {
    // The module never agrees to unload (DllCanUnloadNow declines), and the
    // objects it handed out may still be released after this point: keep it.
}

bool Module::Load(const std::string& path, std::string* error) {
    path_ = path;
#ifdef _WIN32
    handle_ = LoadLibraryW(WidenUtf8(path).c_str());
    if (!handle_) {
        if (error) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        if (error) *error = dlerror();
        return false;
    }
#endif
    return true;
}

void* Module::Symbol(const char* name) const {
    if (!handle_) return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

HRESULT Module::Create(const CLSID& classId, const IID& iid, void** out) const {
    using GetClassObjectFn = HRESULT(ZU_STDCALL*)(const CLSID&, const IID&, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(Symbol("DllGetClassObject"));
    if (!getClassObject) return E_NOTIMPL;
    void* factoryPtr = nullptr;
    HRESULT hr = getClassObject(classId, IID_ZuIClassFactory, &factoryPtr);
    if (FAILED(hr)) return hr;
    auto* factory = static_cast<IClassFactory*>(factoryPtr);
    hr = factory->CreateInstance(nullptr, iid, out);
    factory->Release();
    if (SUCCEEDED(hr) && manager_) {
        if (ZuGuidEqual(iid, IID_IZuReadFileClass)) static_cast<IZuReadFileClass*>(*out)->SetFileIOManager(manager_);
        if (ZuGuidEqual(iid, IID_IZuRenderFileClass)) static_cast<IZuRenderFileClass*>(*out)->SetFileIOManager(manager_);
    }
    return hr;
}

void FreeSystemString(const Module& module, BSTR text) {
    if (!text) return;
#ifdef _WIN32
    (void)module;
    SysFreeString(reinterpret_cast<wchar_t*>(text));
#else
    using FreeFn = void (*)(BSTR);
    if (auto sysFree = reinterpret_cast<FreeFn>(module.Symbol("SysFreeString"))) sysFree(text);
#endif
}

std::string DefaultModulePath() {
#ifdef _WIN32
    wchar_t buf[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 4);
    std::wstring exe(buf, n);
    const size_t slash = exe.find_last_of(L"\\/");
    std::wstring dll = (slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash + 1)) + L"zuinstr.dll";
    const int len = WideCharToMultiByte(CP_UTF8, 0, dll.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(len > 0 ? len - 1 : 0, '\0');
    if (len > 1) WideCharToMultiByte(CP_UTF8, 0, dll.c_str(), -1, out.data(), len, nullptr, nullptr);
    return out;
#else
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    const size_t slash = exe.find_last_of('/');
    return (slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1)) + "libzuinstr.so";
#endif
}

}  // namespace zutool

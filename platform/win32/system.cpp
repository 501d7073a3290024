// Win32 volume queries, MD5 from advapi32, module handles and string
// resources, the process's default window layout and the About box.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/platform.h"

namespace zu::platform {
namespace {

std::atomic<VolumeQueryFn> g_volumeOverride{nullptr};
std::atomic<bool> g_rtlLayout{false};

bool RealVolumeQuery(const WCHAR* path, VolumeInfo* info) {
    WCHAR full[MAX_PATH * 2];
    if (!::GetFullPathNameW(path, MAX_PATH * 2, full, nullptr)) return false;
    WCHAR root[MAX_PATH * 2];
    if (!::GetVolumePathNameW(full, root, MAX_PATH * 2)) return false;
    WCHAR fs[64] = {0};
    if (!::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fs, 64)) return false;
    ULARGE_INTEGER freeToCaller;
    if (!::GetDiskFreeSpaceExW(root, &freeToCaller, nullptr, nullptr)) return false;
    info->fileSystem.assign(reinterpret_cast<const char16_t*>(fs), WideLength(fs));
    info->freeBytes = freeToCaller.QuadPart;
    return true;
}

// advapi32's MD5 context: the digest lands in the last 16 bytes.
struct Md5Context {
    ULONG i[2];
    ULONG buf[4];
    unsigned char in[64];
    unsigned char digest[16];
};
using Md5InitFn = void(WINAPI*)(Md5Context*);
using Md5UpdateFn = void(WINAPI*)(Md5Context*, const unsigned char*, unsigned int);
using Md5FinalFn = void(WINAPI*)(Md5Context*);
struct Md5Functions {
    Md5InitFn init = nullptr;
    Md5UpdateFn update = nullptr;
    Md5FinalFn final = nullptr;
};

const Md5Functions& LoadMd5() {
    // Function-local statics are initialised once even with several threads.
    static const Md5Functions fns = [] {
        Md5Functions f;
        HMODULE lib = ::LoadLibraryW(L"advapi32.dll");
        if (!lib) return f;
        f.init = reinterpret_cast<Md5InitFn>(reinterpret_cast<void*>(::GetProcAddress(lib, "MD5Init")));
        f.update = reinterpret_cast<Md5UpdateFn>(reinterpret_cast<void*>(::GetProcAddress(lib, "MD5Update")));
        f.final = reinterpret_cast<Md5FinalFn>(reinterpret_cast<void*>(::GetProcAddress(lib, "MD5Final")));
        if (!f.init || !f.update || !f.final) f = Md5Functions();
        return f;
    }();
    return fns;
}

}  // namespace

bool QueryVolume(const WCHAR* path, VolumeInfo* info) {
    if (!path || !info) return false;
    if (VolumeQueryFn fn = g_volumeOverride.load()) return fn(path, info);
    return RealVolumeQuery(path, info);
}

void SetVolumeQueryForTesting(VolumeQueryFn fn) { g_volumeOverride.store(fn); }

bool Md5Available() { return LoadMd5().init != nullptr; }

static_assert(sizeof(Md5Context) <= 128, "MD5 context storage");

Md5::Md5() {
    std::memset(ctx_, 0, sizeof ctx_);
    const auto& f = LoadMd5();
    ok_ = f.init != nullptr;
    if (ok_) f.init(reinterpret_cast<Md5Context*>(ctx_));
}

void Md5::Update(const void* data, size_t bytes) {
    if (!ok_) return;
    const auto* p = static_cast<const unsigned char*>(data);
    while (bytes > 0) {
        const unsigned int n = static_cast<unsigned int>(std::min<size_t>(bytes, 0x40000000u));
        LoadMd5().update(reinterpret_cast<Md5Context*>(ctx_), p, n);
        p += n;
        bytes -= n;
    }
}

void Md5::Final(uint8_t digest[16]) {
    if (!ok_) {
        std::memset(digest, 0, 16);
        return;
    }
    auto* ctx = reinterpret_cast<Md5Context*>(ctx_);
    LoadMd5().final(ctx);
    std::memcpy(digest, ctx->digest, 16);
}

ModuleHandle SelfModule() {
    HMODULE h = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&SelfModule), &h);
    return h;
}

std::u16string ModulePath(ModuleHandle module) {
    WCHAR buf[32768];
    const DWORD n = ::GetModuleFileNameW(static_cast<HMODULE>(module), buf, 32768);
    if (n == 0 || n >= 32768) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(buf), n);
}

ModuleHandle LoadLanguageModule(const WCHAR* path) { return path ? ::LoadLibraryW(path) : nullptr; }

void FreeLanguageModule(ModuleHandle module) {
    if (module && module != SelfModule()) ::FreeLibrary(static_cast<HMODULE>(module));
}

bool FindStringResource(ModuleHandle module, uint16_t language, uint32_t id, const WCHAR** text, size_t* length) {
    if (!module || id > 0xFFFF) return false;
    auto* mod = static_cast<HMODULE>(module);
    HRSRC res = ::FindResourceExW(mod, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!res) return false;
    HGLOBAL g = ::LoadResource(mod, res);
    const auto* p = g ? static_cast<const WCHAR*>(::LockResource(g)) : nullptr;
    if (!p) return false;
    const DWORD bytes = ::SizeofResource(mod, res);
    const WCHAR* end = p + bytes / sizeof(WCHAR);
    // Each block holds 16 entries, each a length followed by that many characters.
    for (uint32_t i = 0; i < id % 16; ++i) {
        if (p >= end) return false;
        p += 1 + static_cast<uint16_t>(*p);
    }
    if (p >= end || *p == 0 || p + 1 + static_cast<uint16_t>(*p) > end) return false;
    if (text) *text = p + 1;
    if (length) *length = static_cast<uint16_t>(*p);
    return true;
}

int LoadStringDefault(ModuleHandle module, uint32_t id, WCHAR* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = 0;
    return ::LoadStringW(static_cast<HMODULE>(module), id, buffer, capacity);
}

void SetDefaultLayoutRightToLeft(bool rtl) {
    g_rtlLayout.store(rtl);
    ::SetProcessDefaultLayout(rtl ? LAYOUT_RTL : 0);
}
bool DefaultLayoutRightToLeft() { return g_rtlLayout.load(); }

void ShowMessageBox(void* parentWindow, const WCHAR* text, const WCHAR* title) {
    ::MessageBoxW(static_cast<HWND>(parentWindow), text, title, MB_OK | MB_ICONINFORMATION);
}

}  // namespace zu::platform

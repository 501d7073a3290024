// Linux stand-ins for volume queries, MD5 from the system's libcrypto, module
// handles and string resources, the default window layout and the About box.
#include <dlfcn.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/platform.h"

namespace zu::platform {

extern const StringResourceTable kBuiltinStringTable;

namespace {

std::atomic<VolumeQueryFn> g_volumeOverride{nullptr};
std::atomic<bool> g_rtlLayout{false};

std::string NativePath(const WCHAR* path) {
    std::string p = U16ToUtf8(std::u16string(path, WideLength(path)));
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool RealVolumeQuery(const WCHAR* path, VolumeInfo* info) {
    std::string p = NativePath(path);
    struct statvfs vs {};
    // The file to be written may not exist yet: ask about its folder then.
    if (::statvfs(p.c_str(), &vs) != 0) {
        p = FolderOf(p);
        if (::statvfs(p.c_str(), &vs) != 0) return false;
    }
    struct statfs fs {};
    if (::statfs(p.c_str(), &fs) != 0) return false;
    info->freeBytes = static_cast<uint64_t>(vs.f_bavail) * vs.f_frsize;
    switch (static_cast<uint32_t>(fs.f_type)) {
        case 0x4d44: info->fileSystem = u"FAT32"; break;  // msdos and vfat
        case 0x2011BAB0: info->fileSystem = u"exFAT"; break;
        case 0x5346544e: info->fileSystem = u"NTFS"; break;
        case 0xEF53: info->fileSystem = u"ext4"; break;
        case 0x01021994: info->fileSystem = u"tmpfs"; break;
        case 0x58465342: info->fileSystem = u"xfs"; break;
        case 0x9123683E: info->fileSystem = u"btrfs"; break;
        case 0x794c7630: info->fileSystem = u"overlay"; break;
        default: info->fileSystem = u"unknown"; break;
    }
    return true;
}

// ---- MD5 through libcrypto ----
using Md5InitFn = int (*)(void*);
using Md5UpdateFn = int (*)(void*, const void*, size_t);
using Md5FinalFn = int (*)(unsigned char*, void*);
struct Md5Functions {
    Md5InitFn init = nullptr;
    Md5UpdateFn update = nullptr;
    Md5FinalFn final = nullptr;
};

const Md5Functions& LoadMd5() {
    static Md5Functions fns;
    static std::once_flag once;
    std::call_once(once, [] {
        void* lib = ::dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!lib) lib = ::dlopen("libcrypto.so", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return;
        Md5Functions f;
        f.init = reinterpret_cast<Md5InitFn>(::dlsym(lib, "MD5_Init"));
        f.update = reinterpret_cast<Md5UpdateFn>(::dlsym(lib, "MD5_Update"));
        f.final = reinterpret_cast<Md5FinalFn>(::dlsym(lib, "MD5_Final"));
        if (f.init && f.update && f.final) fns = f;
    });
    return fns;
}

// ---- Modules ----
struct LinuxModule {
    void* dl = nullptr;
    std::u16string path;
    const StringResourceTable* table = nullptr;
};

LinuxModule* AsModule(ModuleHandle h) { return static_cast<LinuxModule*>(h); }

}  // namespace

bool QueryVolume(const WCHAR* path, VolumeInfo* info) {
    if (!path || !info) return false;
    if (VolumeQueryFn fn = g_volumeOverride.load()) return fn(path, info);
    return RealVolumeQuery(path, info);
}

void SetVolumeQueryForTesting(VolumeQueryFn fn) { g_volumeOverride.store(fn); }

bool Md5Available() { return LoadMd5().init != nullptr; }


Md5::Md5() {
    std::memset(ctx_, 0, sizeof ctx_);  // libcrypto's MD5_CTX is 92 bytes
    const auto& f = LoadMd5();
    ok_ = f.init && f.init(ctx_) == 1;
}

void Md5::Update(const void* data, size_t bytes) {
    if (ok_ && bytes) LoadMd5().update(ctx_, data, bytes);
}

void Md5::Final(uint8_t digest[16]) {
    if (ok_) LoadMd5().final(digest, ctx_);
    else std::memset(digest, 0, 16);
}

ModuleHandle SelfModule() {
    static LinuxModule self = [] {
        LinuxModule m;
        Dl_info info {};
        if (::dladdr(reinterpret_cast<void*>(&SelfModule), &info) && info.dli_fname)
            m.path = Utf8ToU16(info.dli_fname);
        m.table = &kBuiltinStringTable;
        return m;
    }();
    return &self;
}

std::u16string ModulePath(ModuleHandle module) {
    const LinuxModule* m = AsModule(module);
    return m ? m->path : std::u16string();
}

ModuleHandle LoadLanguageModule(const WCHAR* path) {
    if (!path) return nullptr;
    void* dl = ::dlopen(NativePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) return nullptr;
    auto* m = new (std::nothrow) LinuxModule();
    if (!m) {
        ::dlclose(dl);
        return nullptr;
    }
    m->dl = dl;
    m->path.assign(path, path + WideLength(path));
    m->table = static_cast<const StringResourceTable*>(::dlsym(dl, kLanguageModuleTableSymbol));
    return m;
}

void FreeLanguageModule(ModuleHandle module) {
    LinuxModule* m = AsModule(module);
    if (!m || m == SelfModule()) return;
    ::dlclose(m->dl);
    delete m;
}

bool FindStringResource(ModuleHandle module, uint16_t language, uint32_t id, const WCHAR** text, size_t* length) {
    const LinuxModule* m = AsModule(module);
    if (!m || !m->table || id > 0xFFFF) return false;
    for (size_t i = 0; i < m->table->count; ++i) {
        const StringResourceEntry& e = m->table->entries[i];
        if (e.id == id && e.language == language && e.length > 0) {
            if (text) *text = e.text;
            if (length) *length = e.length;
            return true;
        }
    }
    return false;
}

int LoadStringDefault(ModuleHandle module, uint32_t id, WCHAR* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = 0;
    const WCHAR* text = nullptr;
    size_t len = 0;
    // The default language of the module's own resources is English.
    if (!FindStringResource(module, 1033, id, &text, &len)) return 0;
    const size_t n = std::min(len, static_cast<size_t>(capacity - 1));
    std::memcpy(buffer, text, n * sizeof(WCHAR));
    buffer[n] = 0;
    return static_cast<int>(n);
}

void SetDefaultLayoutRightToLeft(bool rtl) { g_rtlLayout.store(rtl); }
bool DefaultLayoutRightToLeft() { return g_rtlLayout.load(); }

void ShowMessageBox(void*, const WCHAR*, const WCHAR*) {}

}  // namespace zu::platform

// A host written only from the module's binary conventions, never from the
// project's headers: it loads the module by path, asks DllGetClassObject for a
// class factory, creates the plug-in information object and checks the three
// class rows. If the module's layout of GUIDs, slots, strings or calling
// convention drifts, this program notices.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#define HOST_CALL __stdcall
typedef wchar_t Unit16;
#else
#include <dlfcn.h>
#define HOST_CALL
typedef char16_t Unit16;
#endif

static_assert(sizeof(Unit16) == 2, "16-bit text units");

struct HostGuid {
    uint32_t d1;
    uint16_t d2, d3;
    uint8_t d4[8];
};

struct HostUnknown {
    virtual int32_t HOST_CALL QueryInterface(const HostGuid&, void**) = 0;
    virtual uint32_t HOST_CALL AddRef() = 0;
    virtual uint32_t HOST_CALL Release() = 0;
};
struct HostClassFactory : HostUnknown {
    virtual int32_t HOST_CALL CreateInstance(HostUnknown*, const HostGuid&, void**) = 0;
    virtual int32_t HOST_CALL LockServer(int32_t) = 0;
};
struct HostPluginInfo : HostUnknown {
    virtual int32_t HOST_CALL Reserved1() = 0;
    virtual int32_t HOST_CALL GetClassCount(uint32_t*) = 0;
    virtual int32_t HOST_CALL GetClassInfo(int32_t, HostGuid*, Unit16*, int32_t, uint32_t*, uint32_t*, uint32_t*,
                                           uint32_t*, uint32_t*, uint32_t*, uint32_t*, uint32_t*) = 0;
};
typedef int32_t(HOST_CALL* GetClassObjectFn)(const HostGuid&, const HostGuid&, void**);
typedef int32_t(HOST_CALL* CanUnloadFn)();

static int g_passed = 0, g_failed = 0;
static void Check(bool ok, const char* what) {
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAILED: %s\n", what);
    }
}

static std::string Narrow(const Unit16* s) {
    std::string out;
    for (; *s; ++s) out += static_cast<char>(*s < 0x80 ? *s : '?');
    return out;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: abi_host MODULE\n");
        return 2;
    }
    std::string path = argv[1];
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path;  // a Unix path under wine
    HMODULE module = LoadLibraryA(path.c_str());
    auto sym = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); };
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto sym = [&](const char* name) { return dlsym(module, name); };
#endif
    if (!module) {
        std::printf("cannot load %s\n", path.c_str());
        return 1;
    }
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(sym("DllGetClassObject"));
    auto canUnload = reinterpret_cast<CanUnloadFn>(sym("DllCanUnloadNow"));
    Check(getClassObject != nullptr, "DllGetClassObject exported undecorated");
    Check(canUnload != nullptr, "DllCanUnloadNow exported undecorated");
    Check(sym("DllInitClasses") != nullptr, "DllInitClasses exported undecorated");
    if (!getClassObject || !canUnload) return 1;
    Check(canUnload() == 1, "DllCanUnloadNow answers S_FALSE");

    const HostGuid infoClass = {0xF6E48972, 0x515B, 0x4A5E, {0xB3, 0x16, 0xA4, 0x6A, 0x03, 0xC9, 0xC3, 0xC0}};
    const HostGuid classFactory = {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const HostGuid infoIface = {0x404E18A7, 0xC288, 0x4499, {0x8E, 0x42, 0x33, 0xFE, 0xCF, 0xA1, 0x64, 0x2C}};
    void* out = nullptr;
    Check(getClassObject(infoClass, classFactory, &out) == 0 && out, "class factory handed out");
    if (!out) return 1;
    auto* factory = static_cast<HostClassFactory*>(out);
    void* infoPtr = nullptr;
    Check(factory->CreateInstance(nullptr, infoIface, &infoPtr) == 0 && infoPtr, "plug-in information object created");
    factory->Release();
    if (!infoPtr) return 1;
    auto* info = static_cast<HostPluginInfo*>(infoPtr);
    uint32_t count = 0;
    Check(info->GetClassCount(&count) == 0 && count == 3, "three classes");

    const struct {
        HostGuid id;
        const char* name;
    } expected[3] = {
        {{0xB52F545B, 0x95DC, 0x4871, {0x9E, 0x70, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}}, "Gig Instrument"},
        {{0x1916005B, 0xEF4F, 0x4836, {0xA1, 0x82, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}}, "DLS Instrument"},
        {{0x22242249, 0x4540, 0x40EF, {0xB3, 0x16, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}}, "SoundFont 2 Instrument"},
    };
    for (int i = 0; i < 3; ++i) {
        HostGuid id{};
        Unit16 name[64] = {0};
        uint32_t caps = 0, type = 0, zero = 5, flags = 5, w[4] = {1, 2, 3, 4};
        const int32_t hr = info->GetClassInfo(i, &id, name, 64, &caps, &type, &w[0], &w[1], &w[2], &w[3], &zero, &flags);
        Check(hr == 0, "row answered");
        Check(std::memcmp(&id, &expected[i].id, 16) == 0, "row class identifier");
        Check(Narrow(name) == expected[i].name, "row display name");
        Check(caps == 0x30 && type == 1 && zero == 0 && flags == 0, "row words");
        Check(w[0] == 1 && w[1] == 2 && w[2] == 3 && w[3] == 4, "further words untouched");
        std::printf("row %d: %08X %s caps=0x%X type=%u\n", i, id.d1, Narrow(name).c_str(), caps, type);
    }
    Check(info->Release() == 0, "released to zero");
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}

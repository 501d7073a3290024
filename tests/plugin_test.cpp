// The module's entry points, class factory dispatch and plug-in information
// object, driven in-process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "zuinstr/zuinstr.h"

namespace {

using Text = std::basic_string<WCHAR>;
Text T(const char16_t* s) { return Text(s, s + std::char_traits<char16_t>::length(s)); }

IClassFactory* Factory(const CLSID& clsid) {
    void* out = nullptr;
    EXPECT_EQ(DllGetClassObject(clsid, IID_ZuIClassFactory, &out), S_OK);
    return static_cast<IClassFactory*>(out);
}

IZuUnsharedFIOPluginInfo* PluginInfo() {
    IClassFactory* f = Factory(CLSID_ZuUnsharedFIOPluginInfo);
    void* out = nullptr;
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IZuUnsharedFIOPluginInfo, &out), S_OK);
    f->Release();
    return static_cast<IZuUnsharedFIOPluginInfo*>(out);
}

TEST(Entry, GetClassObjectAcceptsOnlyUnknownAndClassFactory) {
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(DllGetClassObject(CLSID_ZuDlsInstrument, IID_IZuReadFileClass, &out), E_NOINTERFACE);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x1234));  // untouched
    ASSERT_EQ(DllGetClassObject(CLSID_ZuDlsInstrument, IID_ZuIUnknown, &out), S_OK);
    auto* unk = static_cast<IUnknown*>(out);
    EXPECT_EQ(unk->AddRef(), 2u);  // handed out with count 1
    EXPECT_EQ(unk->Release(), 1u);
    EXPECT_EQ(unk->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    DllInitClasses();
}

TEST(Entry, UnknownClassGetsAFactoryThatCreatesNothing) {
    const CLSID unknown = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    IClassFactory* f = Factory(unknown);
    ASSERT_NE(f, nullptr);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IZuReadFileClass, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(f->LockServer(TRUE), S_OK);
    EXPECT_EQ(f->LockServer(FALSE), S_OK);
    void* again = nullptr;
    EXPECT_EQ(f->QueryInterface(IID_IZuReadMeta, &again), E_NOINTERFACE);
    EXPECT_EQ(again, nullptr);
    f->Release();
}

TEST(Entry, FormatClassesRefuseIUnknownAndMatchOnTenBytes) {
    IClassFactory* f = Factory(CLSID_ZuSf2Instrument);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(f->CreateInstance(nullptr, IID_ZuIUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    f->Release();
    // Equal in the first ten bytes, different in the last six: still served as
    // that format (so still no IUnknown), while the information object is not.
    CLSID near = CLSID_ZuUnsharedFIOPluginInfo;
    near.Data4[7] ^= 0xFF;
    f = Factory(near);
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IZuUnsharedFIOPluginInfo, &out), E_NOINTERFACE);
    f->Release();
}

TEST(PluginInfo, CreatedWithIUnknownAndCountedFromOne) {
    IClassFactory* f = Factory(CLSID_ZuUnsharedFIOPluginInfo);
    void* out = nullptr;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_ZuIUnknown, &out), S_OK);
    f->Release();
    auto* unk = static_cast<IUnknown*>(out);
    void* info = nullptr;
    ASSERT_EQ(unk->QueryInterface(IID_IZuUnsharedFIOPluginInfo, &info), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(info)->Release(), 1u);
    void* none = reinterpret_cast<void*>(0x77);
    EXPECT_EQ(unk->QueryInterface(IID_ZuIClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, reinterpret_cast<void*>(0x77));
    EXPECT_EQ(unk->Release(), 0u);
}

TEST(PluginInfo, ReportsTheThreeFormatClasses) {
    IZuUnsharedFIOPluginInfo* info = PluginInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Reserved1(), S_OK);
    EXPECT_EQ(info->GetClassCount(nullptr), E_INVALIDARG);
    ULONG count = 0;
    ASSERT_EQ(info->GetClassCount(&count), S_OK);
    ASSERT_EQ(count, 3u);
    const GUID* ids[] = {&CLSID_ZuGigInstrument, &CLSID_ZuDlsInstrument, &CLSID_ZuSf2Instrument};
    const Text names[] = {T(u"Gig Instrument"), T(u"DLS Instrument"), T(u"SoundFont 2 Instrument")};
    for (int i = 0; i < 3; ++i) {
        GUID id{};
        WCHAR name[64];
        DWORD caps = 0, type = 0, w[4] = {11, 22, 33, 44}, zero = 99, flags = 99;
        ASSERT_EQ(info->GetClassInfo(i, &id, name, 64, &caps, &type, &w[0], &w[1], &w[2], &w[3], &zero, &flags), S_OK);
        EXPECT_TRUE(ZuGuidEqual(id, *ids[i]));
        EXPECT_EQ(Text(name), names[i]);
        EXPECT_EQ(caps, 0x30u);
        EXPECT_EQ(type, 1u);
        EXPECT_EQ(zero, 0u);
        EXPECT_EQ(flags, 0u);
        EXPECT_EQ(w[0], 11u);  // the four further words are left alone
        EXPECT_EQ(w[3], 44u);
        // The reported identifier is one the factory serves as a format.
        IClassFactory* f = Factory(id);
        void* out = nullptr;
        EXPECT_EQ(f->CreateInstance(nullptr, IID_ZuIUnknown, &out), E_NOINTERFACE);
        f->Release();
    }
    info->Release();
}

TEST(PluginInfo, BadIndexWritesNothingAndNamesAreTruncated) {
    IZuUnsharedFIOPluginInfo* info = PluginInfo();
    GUID id{};
    std::memset(&id, 0xAB, sizeof id);
    WCHAR name[8] = {'x', 0};
    DWORD caps = 7;
    EXPECT_EQ(info->GetClassInfo(3, &id, name, 8, &caps, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(info->GetClassInfo(-1, &id, name, 8, &caps, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(id.Data1, 0xABABABABu);
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(caps, 7u);
    ASSERT_EQ(info->GetClassInfo(0, nullptr, name, 5, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Text(name), T(u"Gig "));
    name[0] = 'q';
    ASSERT_EQ(info->GetClassInfo(1, nullptr, name, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name[0], 'q');  // no room: nothing written
    EXPECT_EQ(info->GetClassInfo(2, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), S_OK);
    info->Release();
}

}  // namespace

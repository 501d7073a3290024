#include "reader/read_file_class.h"

#include <atomic>
#include <cstring>
#include <string>

#include "plugin/module_state.h"
#include "reader/container_file.h"
#include "reader/read_file.h"
#include "zuinstr/zuinstr_instrument.h"

namespace zu {
namespace {

std::atomic<ULONG> g_classCapabilities{0};

std::basic_string<WCHAR> Message(UINT number) { return ZuGetString(ModuleLanguage(), number); }

// Replaces the first "%s" of a message.
std::basic_string<WCHAR> Format(std::basic_string<WCHAR> text, const std::basic_string<WCHAR>& value) {
    const WCHAR marker[] = ZU_TEXT("%s");
    const size_t at = text.find(marker);
    if (at != std::basic_string<WCHAR>::npos) text.replace(at, 2, value);
    return text;
}

}  // namespace

ULONG ReaderClassCapabilities() { return g_classCapabilities.load(); }

CDlsReadFileClass::CDlsReadFileClass(InstrumentKind kind) : kind_(kind) {
    ULONG caps = g_classCapabilities.load();
    while (!g_classCapabilities.compare_exchange_weak(caps, (caps & ~0x38u) | 0x2046u)) {
    }
    ZuList_CreateExZ(&containers_, 8, -1, -1, ZULIST_OPT_THREADSAFE | ZULIST_OPT_FIXEDSIZE);
}

CDlsReadFileClass::~CDlsReadFileClass() { ZuList_Destroy(containers_); }

HRESULT CDlsReadFileClass::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (ZuGuidEqual(iid, IID_IZuReadFileClass) || ZuGuidEqual(iid, IID_ZuIUnknown)) {
        AddRef();
        *out = static_cast<IZuReadFileClass*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CDlsReadFileClass::SetUserValue(ULONG value) {
    userValue_ = value;
    return S_OK;
}

HRESULT CDlsReadFileClass::GetUserValue(ULONG* value) {
    if (!value) return E_POINTER;
    *value = userValue_;
    return S_OK;
}

HRESULT CDlsReadFileClass::SetFileIOManager(IZuFileIOManager* manager) {
    manager_ = manager;
    if (manager) {
        HZULANG language = ModuleLanguage();
        LCID lcid = ZuLang_GetLCID(language);
        if (SUCCEEDED(manager->GetLCID(&lcid, 0))) ZuLang_UpdateKernelLCID(language, lcid, 1);
    }
    return S_OK;
}

HRESULT CDlsReadFileClass::GetFileIOManager(IZuFileIOManager** manager) {
    if (!manager) return E_POINTER;
    if (!manager_) return E_NOINTERFACE;
    manager_->AddRef();
    *manager = manager_;
    return S_OK;
}

HRESULT CDlsReadFileClass::GetClassGuid(GUID* readerIdentity) {
    if (!readerIdentity) return E_POINTER;
    *readerIdentity = *IdentityOf(kind_).readerIdentity;
    return S_OK;
}

HRESULT CDlsReadFileClass::GetVersion(ULONG* version) {
    if (!version) return E_POINTER;
    *version = 1;
    return S_OK;
}

HRESULT CDlsReadFileClass::GetCapabilities(ULONG* capabilities) {
    if (!capabilities) return E_POINTER;
    *capabilities = g_classCapabilities.load();
    return S_OK;
}

HRESULT CDlsReadFileClass::GetRenderFileClass(IZuRenderFileClass** out) {
    if (!manager_) return E_FAIL;
    return manager_->FindRenderFileClass(out, *IdentityOf(kInstrumentDls).rendererIdentity);
}

HRESULT CDlsReadFileClass::GetInfoText(const ULONG* identifiers, ULONG count, BSTR* texts) {
    return ZuFio_FillBstrArrayFromStringResourceMap(ModuleLanguage(), identifiers, count, texts,
                                                    IdentityOf(kind_).infoTexts, 7, ZU_TEXT(""));
}

HRESULT CDlsReadFileClass::IdentifyHeader(void*, const uint8_t* header, ULONG length) {
    return IdentifyInstrumentHeader(kind_, header, length);
}

HRESULT CDlsReadFileClass::IdentifyFile(const WCHAR* path) {
    if (!path) return ZU_E_NO_RIFF_HEADER;
    return IdentifyRiffFile(path);
}

HRESULT CDlsReadFileClass::OpenFile(IZuReadFile** out, void*, void*, const WCHAR* path, ULONG openNow) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CDlsReadFile* file = CDlsReadFile::Create(this);
    if (!file) return E_OUTOFMEMORY;
    HRESULT hr = file->QueryInterface(IID_IZuReadFile, reinterpret_cast<void**>(out));
    if (FAILED(hr)) {
        ZuDelete(file);
        return hr;
    }
    const HRESULT opened = file->Open(path);
    // GIG keeps a failed open's result; DLS and SoundFont 2 report it at the first read.
    if (kind_ == kInstrumentGig && FAILED(opened)) return opened;
    if (openNow) hr = file->ReopenFile(0, 32);
    return hr;
}

HRESULT CDlsReadFileClass::ShowAbout(void* parentWindow) {
    const auto title = Format(Message(1047), Message(1029));
    std::basic_string<WCHAR> text = title;
    text += ZU_TEXT("\n\nzuinstr 1.0.0\nCopyright (c) the zuinstr developers. All rights reserved.\n");
    const std::u16string path = platform::ModulePath(ModuleInstance());
    text += std::basic_string<WCHAR>(path.begin(), path.begin() + (path.size() < 260 ? path.size() : 260));
    text += ZU_TEXT("\nhttps://zuinstr.invalid/");
    platform::ShowMessageBox(parentWindow, text.c_str(), title.c_str());
    return S_OK;
}

CDlsContainerFile* CDlsReadFileClass::AcquireContainer(const WCHAR* path) {
    if (!containers_) return nullptr;
    platform::CriticalSectionGuard guard(*reinterpret_cast<platform::CriticalSection*>(containers_->lock));
    for (int32_t i = 0; i < containers_->count; ++i) {
        CDlsContainerFile* c = nullptr;
        std::memcpy(&c, static_cast<uint8_t*>(containers_->items) + static_cast<size_t>(i) * containers_->itemSize, sizeof c);
        // One that is ending (count 0) is about to leave the list: not shared.
        if (c && c->SamePath(path) && c->TryAddRef()) return c;
    }
    CDlsContainerFile* created = CDlsContainerFile::Create(path, kind_, this);
    if (!created) return nullptr;
    created->AddRef();  // the read file's reference; the list holds none
    ZuList_InsertList(containers_, -1, &created, 1);  // unlisted, it is still usable, only not shared
    return created;
}

void CDlsReadFileClass::ReturnContainer(CDlsContainerFile* container) {
    if (container) container->Release();
}

void CDlsReadFileClass::ForgetContainer(CDlsContainerFile* container) {
    if (!containers_) return;
    platform::CriticalSectionGuard guard(*reinterpret_cast<platform::CriticalSection*>(containers_->lock));
    for (int32_t i = 0; i < containers_->count; ++i) {
        CDlsContainerFile* c = nullptr;
        std::memcpy(&c, static_cast<uint8_t*>(containers_->items) + static_cast<size_t>(i) * containers_->itemSize, sizeof c);
        if (c == container) {
            ZuList_DeleteList(containers_, i, 1, FALSE);
            return;
        }
    }
}

HRESULT CGigReadFileClass::SetFileIOManager(IZuFileIOManager* manager) {
    ownManager_ = manager;
    return CDlsReadFileClass::SetFileIOManager(manager);
}

HRESULT CGigReadFileClass::GetRenderFileClass(IZuRenderFileClass** out) {
    if (!ownManager_) return E_FAIL;
    return ownManager_->FindRenderFileClass(out, *IdentityOf(kind()).rendererIdentity);
}

HRESULT CGigReadFileClass::OpenFile(IZuReadFile** out, void* ignored1, void* ignored2, const WCHAR* path,
                                    ULONG openNow) {
    HRESULT hr = CDlsReadFileClass::OpenFile(out, ignored1, ignored2, path, openNow);
    // SoundFont 2 waves never carry "ewav": the walk below could not refuse them.
    if (FAILED(hr) || !out || !*out || kind() == kInstrumentSf2) return hr;
    // A wave whose "ewav" marks it compressed cannot be read: refuse the file.
    ComPtr<IZuContainerFile> container;
    if (FAILED((*out)->QueryInterface(IID_IZuContainerFile, reinterpret_cast<void**>(container.Put())))) return hr;
    ULONG count = 0;
    container->GetSubStreamCount(&count);
    for (ULONG i = 0; i < count; ++i) {
        InstrumentWaveEntry info;
        container->GetSubStreamInfo(i, &info, 0);
        if (info.info && LoadLE32(info.info->gigWave0) != 0) {
            // Drop this reference first: the read file's release must be the
            // container's last, or the class would keep a freed container listed.
            container.Reset();
            (*out)->CloseFile();
            (*out)->Release();
            *out = nullptr;
            return ZU_E_COMPRESSED;
        }
    }
    return hr;
}

}  // namespace zu

#include "render/render_file_class.h"

#include <atomic>
#include <string>

#include "kernel/byte_order.h"
#include "kernel/render_template.h"
#include "kernel/string_resource_map.h"
#include "kernel/string_table.h"
#include "platform/platform.h"
#include "plugin/module_state.h"
#include "render/render_file.h"
#include "render/render_templates.h"

namespace zu {
namespace {

using WideString = std::basic_string<WCHAR>;

std::atomic<ULONG> g_renderCapabilities{0};

constexpr ULONG kCapabilitiesCleared = 0x119;
constexpr ULONG kCapabilitiesSet = 0x99C26;
constexpr UINT kAboutTitleMessage = 1047;  // "%s File Format Plug-In"

// Keys 5 and 6 by message: DLS 1029/1028, GIG 1005/1004, SoundFont 2
// 1136/1134, whose English texts are the render classes' type names and
// descriptions.
const ZuStringResourceMapRow kDlsTexts[] = {
    {1, ZU_TEXT("DLS"), 0}, {2, ZU_TEXT("DLS Instrument"), 0}, {3, ZU_TEXT(""), 0}, {4, ZU_TEXT("*.dls"), 0},
    {5, nullptr, 1029},     {6, nullptr, 1028},                {7, ZU_TEXT(""), 0},
};
const ZuStringResourceMapRow kGigTexts[] = {
    {1, ZU_TEXT("GIG"), 0}, {2, ZU_TEXT("GIG Instrument"), 0}, {3, ZU_TEXT(""), 0}, {4, ZU_TEXT("*.gig"), 0},
    {5, nullptr, 1005},     {6, nullptr, 1004},                {7, ZU_TEXT(""), 0},
};
const ZuStringResourceMapRow kSf2Texts[] = {
    {1, ZU_TEXT("SF2"), 0}, {2, ZU_TEXT("Sound Font 2.0 Instrument"), 0}, {3, ZU_TEXT(""), 0},
    {4, ZU_TEXT("*.sf2"), 0}, {5, nullptr, 1136}, {6, nullptr, 1134}, {7, ZU_TEXT(""), 0},
};

struct RenderIdentity {
    const GUID* classGuid;
    const ZuStringResourceMapRow* texts;
    UINT aboutProductMessage;  // 1013 keeps its trailing blank
};
const RenderIdentity kIdentities[] = {
    {&ZU_RENDERER_DLS, kDlsTexts, 1029},
    {&ZU_RENDERER_GIG, kGigTexts, 1013},
    {&ZU_RENDERER_SF2, kSf2Texts, 1136},
};

const RenderIdentity& IdentityOf(InstrumentKind kind) {
    return kIdentities[kind <= kInstrumentSf2 ? static_cast<size_t>(kind) : 0u];
}

constexpr uint32_t kInfoTags[kRenderInfoTagCount] = {
    FourCC("INAM"), FourCC("IART"), FourCC("ICOP"), FourCC("ISRC"), FourCC("TRCK"), FourCC("IGNR"), FourCC("ICMT"),
    FourCC("TURL"), FourCC("ICRD"), FourCC("TVER"), FourCC("IENG"), FourCC("LOCA"), FourCC("TORG"), FourCC("TLEN"),
    FourCC("ICRP"), FourCC("IDIM"), FourCC("IDIT"), FourCC("IDPI"), FourCC("IKEY"), FourCC("ILGT"), FourCC("IMED"),
    FourCC("IPLT"), FourCC("IPRD"), FourCC("ISBJ"), FourCC("ISFT"), FourCC("ISHP"), FourCC("ISMP"), FourCC("ISRF"),
    FourCC("ITCH"), FourCC("DISP"), FourCC("IARL"), FourCC("ICMS"),
};

WideString Message(UINT number) {
    const WCHAR* text = ZuGetString(ModuleLanguage(), number);
    return text ? WideString(text) : WideString();
}

// Replaces the first "%s" of a message.
WideString Format(WideString text, const WideString& value) {
    const size_t at = text.find(ZU_TEXT("%s"));
    if (at != WideString::npos) text.replace(at, 2, value);
    return text;
}

// Stores a manager in a slot that holds one reference.
void HoldManager(IZuFileIOManager*& slot, IZuFileIOManager* manager) {
    if (manager) manager->AddRef();
    if (slot) slot->Release();
    slot = manager;
}

HRESULT HandOutManager(IZuFileIOManager* held, IZuFileIOManager** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!held) return E_NOINTERFACE;
    held->AddRef();
    *out = held;
    return S_OK;
}

}  // namespace

ULONG RenderClassCapabilities() { return g_renderCapabilities.load(); }

CDlsRenderFileClass::CDlsRenderFileClass(InstrumentKind kind) : kind_(kind) {
    ULONG caps = g_renderCapabilities.load();
    while (!g_renderCapabilities.compare_exchange_weak(caps, (caps & ~kCapabilitiesCleared) | kCapabilitiesSet)) {
    }
}

CDlsRenderFileClass::~CDlsRenderFileClass() { HoldManager(fileIOManager_, nullptr); }

HRESULT CDlsRenderFileClass::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (ZuGuidEqual(iid, IID_IZuRenderFileClass) || ZuGuidEqual(iid, IID_ZuIUnknown)) {
        *out = static_cast<IZuRenderFileClass*>(this);
    } else if (ZuGuidEqual(iid, IID_IZuRenderMetaSupport) || ZuGuidEqual(iid, IID_IZuRenderMetaSupport2)) {
        *out = static_cast<IZuRenderMetaSupport2*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CDlsRenderFileClass::SetUserValue(ULONG value) {
    userValue_ = value;
    return S_OK;
}

HRESULT CDlsRenderFileClass::GetUserValue(ULONG* value) {
    if (!value) return E_POINTER;
    *value = userValue_;
    return S_OK;
}

HRESULT CDlsRenderFileClass::SetFileIOManager(IZuFileIOManager* manager) {
    HoldManager(fileIOManager_, manager);
    if (manager) {
        HZULANG language = ModuleLanguage();
        LCID lcid = ZuLang_GetLCID(language);
        if (SUCCEEDED(manager->GetLCID(&lcid, 0))) ZuLang_UpdateKernelLCID(language, lcid, 1);
    }
    return S_OK;
}

HRESULT CDlsRenderFileClass::GetFileIOManager(IZuFileIOManager** manager) {
    return HandOutManager(fileIOManager_, manager);
}

HRESULT CDlsRenderFileClass::GetClassGuid(GUID* rendererIdentity) {
    if (!rendererIdentity) return E_POINTER;
    *rendererIdentity = *IdentityOf(kind_).classGuid;
    return S_OK;
}

HRESULT CDlsRenderFileClass::GetVersion(ULONG* version) {
    if (!version) return E_POINTER;
    *version = 1;
    return S_OK;
}

HRESULT CDlsRenderFileClass::GetCapabilities(ULONG* capabilities) {
    if (!capabilities) return E_POINTER;
    *capabilities = g_renderCapabilities.load();
    return S_OK;
}

HRESULT CDlsRenderFileClass::GetReadFileClass(IZuReadFileClass** out, void*, uintptr_t context) {
    if (!fileIOManager_) return E_FAIL;
    // Every format's render class names the DLS reader: the manager finds the
    // matching reader by the file itself.
    return fileIOManager_->FindReadFileClass(out, ZU_READER_DLS, context);
}

HRESULT CDlsRenderFileClass::GetInfoText(const ULONG* identifiers, ULONG count, BSTR* texts) {
    return ZuFio_FillBstrArrayFromStringResourceMap(ModuleLanguage(), identifiers, count, texts, IdentityOf(kind_).texts,
                                                    7, nullptr);
}

HRESULT CDlsRenderFileClass::CreateRenderFile(IZuRenderFile** out, const WCHAR* path, ULONG sourceCount,
                                              IUnknown* const* sources, const tagZUTEMPLATExV2* renderTemplate) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (sourceCount && !sources) return E_POINTER;
    tagZUTEMPLATExV2* owned = nullptr;
    const HRESULT made = renderTemplate
                             ? ZuFio_SetTemplate(&owned, const_cast<tagZUTEMPLATExV2*>(renderTemplate),
                                                 ZUTEMPLATE_SET_COPY)
                             : MakeDefaultRenderTemplate(&owned);
    if (FAILED(made)) {
        ZuFio_FreeTemplate(owned);
        return made;
    }
    CDlsRenderFile* file = ZuNew<CDlsRenderFile>(this, owned);
    if (!file) {
        ZuFio_FreeTemplate(owned);
        return E_OUTOFMEMORY;
    }
    HRESULT hr = file->SetFileName(path);
    for (ULONG i = 0; SUCCEEDED(hr) && i < sourceCount; ++i) hr = file->AddSource(sources[i]);
    if (SUCCEEDED(hr)) hr = file->QueryInterface(IID_IZuRenderFile, reinterpret_cast<void**>(out));
    if (FAILED(hr)) {
        *out = nullptr;
        ZuDelete(file);  // never handed out: its count is still 0
    }
    return hr;
}

HRESULT CDlsRenderFileClass::GetTemplateCount(ULONG* count) {
    if (!count) return E_INVALIDARG;
    *count = RenderFormatCount();
    return S_OK;
}

HRESULT CDlsRenderFileClass::GetTemplate(tagZUTEMPLATExV2** out, ULONG index) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return E_FAIL;
    return MakeDefaultRenderTemplate(out);
}

HRESULT CDlsRenderFileClass::FindTemplate(const GUID* templateId, int32_t* index) {
    if (!templateId || !index) return E_INVALIDARG;
    return FindRenderTemplate(*templateId, index);
}

HRESULT CDlsRenderFileClass::ReservedSlot17(void*, void*, ULONG* out) {
    if (out) *out = 0;
    return E_NOTIMPL;
}

HRESULT CDlsRenderFileClass::AdaptTemplate(tagZUTEMPLATExV2** out, const tagZUTEMPLATExV2* offered, ULONG mode) {
    return AdaptRenderTemplate(out, offered, mode);
}

HRESULT CDlsRenderFileClass::ReservedSlot19(void** out, void*, void*, ULONG mode) {
    if (mode == 2) return S_FALSE;
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CDlsRenderFileClass::GetTemplateInfo(const tagZUTEMPLATExV2* t, void* buffer, ULONG size, ULONG kind) {
    return GetRenderTemplateInfo(t, buffer, size, kind);
}

HRESULT CDlsRenderFileClass::GetReservedValues(ULONG* a, ULONG* b, ULONG* c) {
    if (a) *a = 0;
    if (b) *b = 0;
    if (c) *c = 0;
    return S_OK;
}

HRESULT CDlsRenderFileClass::ShowAbout(void* parentWindow) {
    const WideString title = Format(Message(kAboutTitleMessage), Message(IdentityOf(kind_).aboutProductMessage));
    WideString text = title;
    text += ZU_TEXT("\n\nzuinstr 1.0.0\nCopyright (c) the zuinstr developers. All rights reserved.\n");
    const std::u16string path = platform::ModulePath(ModuleInstance());
    text += WideString(path.begin(), path.begin() + (path.size() < 260 ? path.size() : 260));
    text += ZU_TEXT("\nhttps://zuinstr.invalid/");
    platform::ShowMessageBox(parentWindow, text.c_str(), title.c_str());
    return S_OK;
}

HRESULT CDlsRenderFileClass::ResetInfoTags() {
    infoEnumIndex_ = 0;
    return S_OK;
}

HRESULT CDlsRenderFileClass::NextInfoTag(ULONG* fourCC, ULONG* maxLength) {
    if (infoEnumIndex_ >= kRenderInfoTagCount) return S_FALSE;
    if (fourCC) *fourCC = kInfoTags[infoEnumIndex_];
    if (maxLength) *maxLength = kRenderInfoTagMaxLength;
    ++infoEnumIndex_;
    return S_OK;
}

HRESULT CDlsRenderFileClass::GetSupportedMetadata(ULONG* mask, ULONG* mask2) {
    if (mask) *mask = kRenderMetadataKinds;
    if (mask2) *mask2 = kRenderMetadataKinds2;
    return S_OK;
}

COwnManagerRenderFileClass::~COwnManagerRenderFileClass() { HoldManager(ownFileIOManager_, nullptr); }

HRESULT COwnManagerRenderFileClass::SetFileIOManager(IZuFileIOManager* manager) {
    HoldManager(ownFileIOManager_, manager);
    return CDlsRenderFileClass::SetFileIOManager(manager);
}

HRESULT COwnManagerRenderFileClass::GetFileIOManager(IZuFileIOManager** manager) {
    return HandOutManager(ownFileIOManager_, manager);
}

}  // namespace zu

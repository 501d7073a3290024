// The render file class of one instrument format: the host's handle on a
// writable format. It names the format, offers its one template, adapts the
// host's templates, lists the INFO tags and metadata kinds it writes, and
// creates the render file of one save.
#ifndef ZU_RENDER_RENDER_FILE_CLASS_H
#define ZU_RENDER_RENDER_FILE_CLASS_H

#include "plugin/com_object.h"
#include "plugin/instrument_kind.h"
#include "zuinstr/zuinstr.h"
#include "zuinstr/zuinstr_render.h"

namespace zu {

// The module-wide capability word of the render classes: 0x00099C26 once one exists.
ULONG RenderClassCapabilities();

inline constexpr ULONG kRenderInfoTagCount = 32;
inline constexpr ULONG kRenderInfoTagMaxLength = 0x400;
inline constexpr ULONG kRenderMetadataKinds = 0x0271FDF5;
inline constexpr ULONG kRenderMetadataKinds2 = 0;

class CDlsRenderFileClass : public IZuRenderFileClass,
                            public IZuRenderMetaSupport2,
                            public RefCounted<CDlsRenderFileClass> {
public:
    explicit CDlsRenderFileClass(InstrumentKind kind);
    virtual ~CDlsRenderFileClass();

    // IUnknown of both interfaces.
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return AddRefImpl(); }
    ULONG ZU_STDCALL Release() override { return ReleaseImpl(); }

    // IZuRenderFileClass
    HRESULT ZU_STDCALL SetUserValue(ULONG value) override;
    HRESULT ZU_STDCALL GetUserValue(ULONG* value) override;
    HRESULT ZU_STDCALL SetFileIOManager(IZuFileIOManager* manager) override;
    HRESULT ZU_STDCALL GetFileIOManager(IZuFileIOManager** manager) override;
    HRESULT ZU_STDCALL GetClassGuid(GUID* rendererIdentity) override;
    HRESULT ZU_STDCALL GetVersion(ULONG* version) override;
    HRESULT ZU_STDCALL GetCapabilities(ULONG* capabilities) override;
    HRESULT ZU_STDCALL GetReadFileClass(IZuReadFileClass** out, void* ignored, uintptr_t context) override;
    HRESULT ZU_STDCALL GetInfoText(const ULONG* identifiers, ULONG count, BSTR* texts) override;
    HRESULT ZU_STDCALL ReservedSlot12() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL CreateRenderFile(IZuRenderFile** out, const WCHAR* path, ULONG sourceCount,
                                        IUnknown* const* sources, const tagZUTEMPLATExV2* renderTemplate) override;
    HRESULT ZU_STDCALL GetTemplateCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetTemplate(tagZUTEMPLATExV2** out, ULONG index) override;
    HRESULT ZU_STDCALL FindTemplate(const GUID* templateId, int32_t* index) override;
    HRESULT ZU_STDCALL ReservedSlot17(void*, void*, ULONG* out) override;
    HRESULT ZU_STDCALL AdaptTemplate(tagZUTEMPLATExV2** out, const tagZUTEMPLATExV2* offered, ULONG mode) override;
    HRESULT ZU_STDCALL ReservedSlot19(void** out, void*, void*, ULONG mode) override;
    HRESULT ZU_STDCALL GetTemplateInfo(const tagZUTEMPLATExV2* t, void* buffer, ULONG size, ULONG kind) override;
    HRESULT ZU_STDCALL GetReservedValues(ULONG* a, ULONG* b, ULONG* c) override;
    HRESULT ZU_STDCALL ReservedSlot22() override { return E_NOINTERFACE; }
    HRESULT ZU_STDCALL ReservedSlot23() override { return S_FALSE; }
    HRESULT ZU_STDCALL ReservedSlot24() override { return S_OK; }
    HRESULT ZU_STDCALL ShowAbout(void* parentWindow) override;
    HRESULT ZU_STDCALL ReservedSlot26() override { return E_NOTIMPL; }

    // IZuRenderMetaSupport2
    HRESULT ZU_STDCALL ResetInfoTags() override;
    HRESULT ZU_STDCALL NextInfoTag(ULONG* fourCC, ULONG* maxLength) override;
    HRESULT ZU_STDCALL GetSupportedMetadata(ULONG* mask, ULONG* mask2) override;

    // The format written by this class's render files.
    InstrumentKind kind() const { return kind_; }

private:
    IZuFileIOManager* fileIOManager_ = nullptr;  // one reference
    ULONG userValue_ = 0;
    ULONG infoEnumIndex_ = 0;
    InstrumentKind kind_;
};

// What GIG and SoundFont 2 add: a second reference to the manager, their own.
class COwnManagerRenderFileClass : public CDlsRenderFileClass {
public:
    ~COwnManagerRenderFileClass() override;
    HRESULT ZU_STDCALL SetFileIOManager(IZuFileIOManager* manager) override;
    HRESULT ZU_STDCALL GetFileIOManager(IZuFileIOManager** manager) override;

protected:
    explicit COwnManagerRenderFileClass(InstrumentKind kind) : CDlsRenderFileClass(kind) {}

private:
    IZuFileIOManager* ownFileIOManager_ = nullptr;  // one reference
};

class CGigRenderFileClass final : public COwnManagerRenderFileClass {
public:
    CGigRenderFileClass() : COwnManagerRenderFileClass(kInstrumentGig) {}
};

class CSf2RenderFileClass final : public COwnManagerRenderFileClass {
public:
    CSf2RenderFileClass() : COwnManagerRenderFileClass(kInstrumentSf2) {}
};

}  // namespace zu

#endif

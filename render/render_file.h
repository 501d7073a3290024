// The render file: one save of the host's audio, with the instrument its
// metadata object describes, as a file of the render class's format. It
// estimates the output size, checks the target volume before anything is
// written, rebuilds the instrument from the metadata and runs the writer.
#ifndef ZU_RENDER_RENDER_FILE_H
#define ZU_RENDER_RENDER_FILE_H

#include "plugin/com_object.h"
#include "plugin/instrument_kind.h"
#include "zuinstr/zuinstr.h"
#include "zuinstr/zuinstr_render.h"

#ifndef E_UNEXPECTED
#define E_UNEXPECTED ((HRESULT)0x8000FFFFL)
#endif

namespace zu {

class CDlsRenderFileClass;

inline constexpr ULONG kRenderFileNameChars = 260;  // terminator included

class CDlsRenderFile : public IZuRenderFile, public RefCounted<CDlsRenderFile> {
public:
    // Takes over renderTemplate (freed with ZuFio_FreeTemplate; may be null)
    // and holds a reference on renderClass (may be null).
    CDlsRenderFile(CDlsRenderFileClass* renderClass, tagZUTEMPLATExV2* renderTemplate);
    virtual ~CDlsRenderFile();
    CDlsRenderFile(const CDlsRenderFile&) = delete;
    CDlsRenderFile& operator=(const CDlsRenderFile&) = delete;

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return AddRefImpl(); }
    ULONG ZU_STDCALL Release() override { return ReleaseImpl(); }
    HRESULT ZU_STDCALL GetRenderFileClass(IZuRenderFileClass** out) override;
    HRESULT ZU_STDCALL ReservedFile4() override { return S_OK; }
    HRESULT ZU_STDCALL ReservedFile5() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ReservedFile6() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL SetFileName(const WCHAR* path) override;
    HRESULT ZU_STDCALL GetFileName(WCHAR* buffer, ULONG capacity) override;
    HRESULT ZU_STDCALL GetStreamCount(ULONG* count) override;
    HRESULT ZU_STDCALL ReservedFile10() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ReservedFile11() override { return E_NOTIMPL; }
    // One source only: a second gives E_OUTOFMEMORY and the first stays.
    HRESULT ZU_STDCALL AddSource(IUnknown* audioSource) override;
    HRESULT ZU_STDCALL SetMetadataSource(IUnknown* metadata) override;
    HRESULT ZU_STDCALL GetTemplate(tagZUTEMPLATExV2** out) override;
    HRESULT ZU_STDCALL EstimateFileSize(uint64_t* bytes) override;
    // 0x8004E01A without a source, 0x8004E00A without a metadata object,
    // 0x8004E002 or 0x8004E03A when the target cannot take the estimate,
    // 0x8004E00B for a metadata object of the other family of formats (all
    // before anything is written); else the writer's result.
    HRESULT ZU_STDCALL Render(IZuProgressSink* progress) override;
    HRESULT ZU_STDCALL WriteMetadata(ULONG sampleRate) override;

    InstrumentKind kind() const;
    // As last computed by EstimateFileSize: 100-nanosecond units and frames.
    int64_t duration() const { return duration_; }
    uint64_t frameCount() const { return frameCount_; }

private:
    bool TemplateFormatIsCompressed() const;

    CDlsRenderFileClass* renderClass_;
    WCHAR fileName_[kRenderFileNameChars] = {};
    int64_t duration_ = 0;
    uint64_t frameCount_ = 0;
    IUnknown* audioSource_ = nullptr;     // one reference
    IUnknown* metadataSource_ = nullptr;  // one reference
    tagZUTEMPLATExV2* renderTemplate_;    // owned
};

}  // namespace zu

#endif

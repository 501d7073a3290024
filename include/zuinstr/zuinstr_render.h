// zuinstr public host header: the render side. A render class (one per
// format) offers its one template and creates a render file for one save; the
// host hands the render file its audio stream and the metadata object that
// describes the instrument, and renders.
#ifndef ZUINSTR_RENDER_H
#define ZUINSTR_RENDER_H

#include "zuinstr/zuinstr_interfaces.h"
#include "zuinstr/zuinstr_types.h"

struct tagZUTEMPLATExV2;

inline constexpr GUID IID_IZuRenderMetaSupport = {0xBA95F583, 0xFA5C, 0x436E, {0xB4, 0x5A, 0x0B, 0x76, 0xB6, 0x3B, 0x01, 0x0F}};
inline constexpr GUID IID_IZuRenderMetaSupport2 = {0x6084E4B3, 0x9479, 0x4545, {0xB4, 0x69, 0xE2, 0xC0, 0x03, 0x2F, 0x20, 0xC3}};
inline constexpr GUID IID_IZuRenderFile = {0xA69223F6, 0x6701, 0x4B79, {0x95, 0xE5, 0x86, 0x4C, 0x2B, 0x24, 0xDC, 0xD7}};
// Template class identifiers a render class recognises when adapting.
inline constexpr GUID ZU_TEMPLATE_CLASS_DEFAULT = {0x80A33477, 0xDD7A, 0x11D2, {0x87, 0x61, 0x00, 0xC0, 0x4F, 0x8E, 0xF3, 0x5F}};
inline constexpr GUID ZU_TEMPLATE_CLASS_OTHER = {0x3CBBA9C1, 0x75AD, 0x11D3, {0xA4, 0x83, 0x00, 0x10, 0x5A, 0x24, 0xAA, 0x37}};

struct IZuRenderFile;

// A format the module can write.
struct IZuRenderFileClass : public IUnknown {
    virtual HRESULT ZU_STDCALL SetUserValue(ULONG value) = 0;                                  // 3
    virtual HRESULT ZU_STDCALL GetUserValue(ULONG* value) = 0;                                 // 4
    virtual HRESULT ZU_STDCALL SetFileIOManager(IZuFileIOManager* manager) = 0;                // 5: held with a reference
    virtual HRESULT ZU_STDCALL GetFileIOManager(IZuFileIOManager** manager) = 0;               // 6
    virtual HRESULT ZU_STDCALL GetClassGuid(GUID* rendererIdentity) = 0;                       // 7
    virtual HRESULT ZU_STDCALL GetVersion(ULONG* version) = 0;                                 // 8
    virtual HRESULT ZU_STDCALL GetCapabilities(ULONG* capabilities) = 0;                       // 9
    virtual HRESULT ZU_STDCALL GetReadFileClass(IZuReadFileClass** out, void* ignored, uintptr_t context) = 0;  // 10
    virtual HRESULT ZU_STDCALL GetInfoText(const ULONG* identifiers, ULONG count, BSTR* texts) = 0;  // 11
    virtual HRESULT ZU_STDCALL ReservedSlot12() = 0;                                           // 12
    // 13: a render file for one save of `sources` (exactly one audio stream) to path.
    virtual HRESULT ZU_STDCALL CreateRenderFile(IZuRenderFile** out, const WCHAR* path, ULONG sourceCount,
                                                IUnknown* const* sources, const tagZUTEMPLATExV2* renderTemplate) = 0;
    virtual HRESULT ZU_STDCALL GetTemplateCount(ULONG* count) = 0;                             // 14
    virtual HRESULT ZU_STDCALL GetTemplate(tagZUTEMPLATExV2** out, ULONG index) = 0;           // 15: caller frees
    virtual HRESULT ZU_STDCALL FindTemplate(const GUID* templateId, int32_t* index) = 0;       // 16
    virtual HRESULT ZU_STDCALL ReservedSlot17(void*, void*, ULONG* out) = 0;                   // 17
    virtual HRESULT ZU_STDCALL AdaptTemplate(tagZUTEMPLATExV2** out, const tagZUTEMPLATExV2* offered, ULONG mode) = 0;  // 18
    virtual HRESULT ZU_STDCALL ReservedSlot19(void** out, void*, void*, ULONG mode) = 0;       // 19
    virtual HRESULT ZU_STDCALL GetTemplateInfo(const tagZUTEMPLATExV2* t, void* buffer, ULONG size, ULONG kind) = 0;  // 20
    virtual HRESULT ZU_STDCALL GetReservedValues(ULONG* a, ULONG* b, ULONG* c) = 0;            // 21
    virtual HRESULT ZU_STDCALL ReservedSlot22() = 0;                                           // 22
    virtual HRESULT ZU_STDCALL ReservedSlot23() = 0;                                           // 23
    virtual HRESULT ZU_STDCALL ReservedSlot24() = 0;                                           // 24
    virtual HRESULT ZU_STDCALL ShowAbout(void* parentWindow) = 0;                              // 25
    virtual HRESULT ZU_STDCALL ReservedSlot26() = 0;                                           // 26
};

// Which INFO tags and metadata kinds a render class writes.
struct IZuRenderMetaSupport : public IUnknown {
    virtual HRESULT ZU_STDCALL ResetInfoTags() = 0;                                   // 3
    virtual HRESULT ZU_STDCALL NextInfoTag(ULONG* fourCC, ULONG* maxLength) = 0;      // 4: S_FALSE after the last
};
struct IZuRenderMetaSupport2 : public IZuRenderMetaSupport {
    virtual HRESULT ZU_STDCALL GetSupportedMetadata(ULONG* mask, ULONG* mask2) = 0;   // 5
};

// One save.
struct IZuRenderFile : public IUnknown {
    virtual HRESULT ZU_STDCALL GetRenderFileClass(IZuRenderFileClass** out) = 0;      // 3
    virtual HRESULT ZU_STDCALL ReservedFile4() = 0;                                   // 4
    virtual HRESULT ZU_STDCALL ReservedFile5() = 0;                                   // 5
    virtual HRESULT ZU_STDCALL ReservedFile6() = 0;                                   // 6
    virtual HRESULT ZU_STDCALL SetFileName(const WCHAR* path) = 0;                    // 7
    virtual HRESULT ZU_STDCALL GetFileName(WCHAR* buffer, ULONG capacity) = 0;        // 8
    virtual HRESULT ZU_STDCALL GetStreamCount(ULONG* count) = 0;                      // 9
    virtual HRESULT ZU_STDCALL ReservedFile10() = 0;                                  // 10
    virtual HRESULT ZU_STDCALL ReservedFile11() = 0;                                  // 11
    virtual HRESULT ZU_STDCALL AddSource(IUnknown* audioSource) = 0;                  // 12: one audio stream
    virtual HRESULT ZU_STDCALL SetMetadataSource(IUnknown* metadata) = 0;             // 13
    virtual HRESULT ZU_STDCALL GetTemplate(tagZUTEMPLATExV2** out) = 0;               // 14: caller frees
    virtual HRESULT ZU_STDCALL EstimateFileSize(uint64_t* bytes) = 0;                 // 15
    virtual HRESULT ZU_STDCALL Render(IZuProgressSink* progress) = 0;                 // 16
    virtual HRESULT ZU_STDCALL WriteMetadata(ULONG sampleRate) = 0;                   // 17
};

// The metadata writer a render uses for DLS and GIG files: replaces the
// file's first top-level "INFO" list by one built from the host's summary and
// writes the side file "<media>.zul".
ZU_EXPORT_C HRESULT ZuFMMeta_openAndWriteMetaStreamEx(const WCHAR* mediaPath, BOOL keepExisting, ULONG sampleRate,
                                                      IUnknown* metadata, ULONG fileKinds, ULONG sideKinds);
ZU_EXPORT_C BOOL ZuFMMeta_IsMetaFile(const WCHAR* mediaPath, const WCHAR* sidePath);
ZU_EXPORT_C HRESULT ZuFMMeta_CreateMetaName(const WCHAR* mediaPath, WCHAR* out, ULONG capacity, BOOL append);

#endif

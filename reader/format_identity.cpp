#include "reader/format_identity.h"

#include "kernel/byte_order.h"
#include "platform/platform.h"
#include "riff/riff_handler.h"
#include "zuinstr/zuinstr_guids.h"

namespace zu {
namespace {

const ZuStringResourceMapRow kDlsTexts[] = {
    {1, ZU_TEXT("DLS"), 0}, {2, ZU_TEXT("DLS Instruments"), 0}, {3, ZU_TEXT(""), 0}, {4, ZU_TEXT("*.dls"), 0},
    {5, nullptr, 1016},     {6, nullptr, 1018},                 {7, ZU_TEXT(""), 0},
};
const ZuStringResourceMapRow kGigTexts[] = {
    {1, ZU_TEXT("GIG"), 0}, {2, ZU_TEXT("GIG Instruments"), 0}, {3, ZU_TEXT(""), 0}, {4, ZU_TEXT("*.gig"), 0},
    {5, nullptr, 1013},     {6, nullptr, 1015},                 {7, ZU_TEXT(""), 0},
};
const ZuStringResourceMapRow kSf2Texts[] = {
    {1, ZU_TEXT("SF2"), 0}, {2, ZU_TEXT("SoundFont Instruments"), 0}, {3, ZU_TEXT(""), 0}, {4, ZU_TEXT("*.sf2"), 0},
    {5, nullptr, 2007},     {6, nullptr, 2008},                       {7, ZU_TEXT(""), 0},
};

const FormatIdentity kIdentities[] = {
    {kInstrumentDls, &ZU_READER_DLS, &ZU_RENDERER_DLS, kDlsTexts, 1016, 1031},
    {kInstrumentGig, &ZU_READER_GIG, &ZU_RENDERER_GIG, kGigTexts, 1013, 1032},
    {kInstrumentSf2, &ZU_READER_SF2, &ZU_RENDERER_SF2, kSf2Texts, 2007, 1033},
};

}  // namespace

const FormatIdentity& IdentityOf(InstrumentKind kind) { return kIdentities[kind <= kInstrumentSf2 ? static_cast<size_t>(kind) : 0u]; }

HRESULT IdentifyInstrumentHeader(InstrumentKind kind, const uint8_t* header, size_t length) {
    if (!header || length < 12) return ZU_E_NO_RIFF_HEADER;
    if (LoadLE32(header) != FourCC("RIFF")) return ZU_E_NO_RIFF_HEADER;
    const uint32_t riffSize = LoadLE32(header + 4);
    const uint32_t form = LoadLE32(header + 8);
    bool hasDlid = false;
    {
        // The chunks after the 12-byte header, as far as the host passed them.
        CRiffMemFile rest;
        const size_t restBytes = length - 12;
        if (restBytes <= 0xFFFFFFFFu && rest.OpenMemoryReadOnly(header + 12, static_cast<uint32_t>(restBytes)))
            hasDlid = rest.Descend(FourCC("dlid"), false) != 0;
    }
    bool accepted = false;
    switch (kind) {
        case kInstrumentSf2: accepted = form == FourCC("sfbk"); break;
        case kInstrumentDls: accepted = form == FourCC("DLS ") && !hasDlid; break;
        case kInstrumentGig: accepted = form == FourCC("DLS ") && hasDlid; break;
    }
    return accepted && riffSize != 0 ? S_OK : ZU_E_NO_RIFF_HEADER;
}

HRESULT IdentifyRiffFile(const WCHAR* path) {
    uint32_t error = 0;
    platform::FileHandle file = platform::FileOpen(path, platform::FileAccess::Read, platform::FileShare::Read,
                                                   platform::FileDisposition::OpenExisting, true, &error);
    if (!file) return ZU_E_NO_RIFF_HEADER;
    HRESULT hr = S_OK;
    uint8_t id[12];
    platform::FileSeek(file, 0, platform::SeekOrigin::Begin);
    // The tag, the size and the form type are three reads; any short one fails.
    for (int part = 0; part < 3 && hr == S_OK; ++part) {
        uint32_t done = 0;
        if (!platform::FileRead(file, id + 4 * part, 4, &done) || done < 4) hr = ZU_E_FILE_READ;
        else if (part == 0 && LoadLE32(id) != FourCC("RIFF")) hr = ZU_E_NO_RIFF_HEADER;
    }
    platform::FileClose(file);
    return hr;
}

}  // namespace zu

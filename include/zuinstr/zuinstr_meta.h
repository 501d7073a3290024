// zuinstr public host header: metadata. The INFO texts of a file travel as
// summary records inside read-only streams; the instrument data (instruments
// or presets, regions, waves and the whole instrument image) through
// IZuReadInstrumentMeta. Every record is byte-packed and little-endian.
#ifndef ZUINSTR_META_H
#define ZUINSTR_META_H

#include "zuinstr/zuinstr_instrument.h"
#include "zuinstr/zuinstr_types.h"

// Metadata kinds.
inline constexpr GUID GUID_SUMMARYLIST = {0x925F94BC, 0x525A, 0x11D2, {0x86, 0xDC, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
inline constexpr GUID GUID_COMMAND = {0xC42554A2, 0x0DE9, 0x41F5, {0xBF, 0xF2, 0xC3, 0x25, 0x73, 0xF9, 0x05, 0xE3}};
inline constexpr GUID GUID_MARKER = {0xABF76256, 0x392D, 0x11D2, {0x86, 0xC7, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
inline constexpr GUID GUID_SAMPLERINFO = {0x07A22A98, 0xF29A, 0x4FA4, {0xB7, 0xB5, 0x57, 0xC9, 0xD3, 0x71, 0xDB, 0x38}};
inline constexpr GUID GUID_UNKNOWNMETA = {0xD907621B, 0xCA0D, 0x40C3, {0xA8, 0x9D, 0x2A, 0x18, 0x2B, 0x5D, 0x20, 0xB7}};
inline constexpr GUID GUID_INSTRUMENT_METADATA = {0xDFD59971, 0x575C, 0x41FB, {0xA9, 0x33, 0x9E, 0x71, 0x76, 0x9B, 0xC3, 0x55}};
inline constexpr GUID GUID_INSTRUMENTART_METADATA = {0x9B4A05AE, 0x6A05, 0x43C1, {0x84, 0x2F, 0x4B, 0x86, 0x54, 0x8C, 0x11, 0x86}};
inline constexpr GUID GUID_INSTRUMENT_MARKERS = {0x841F07FA, 0xF0F2, 0x4241, {0x9F, 0xC1, 0x52, 0xE5, 0x06, 0xB6, 0x59, 0x6F}};

inline constexpr GUID IID_IZuReadGenericMeta = {0x960A6634, 0x5DE0, 0x4C22, {0x90, 0xE0, 0x35, 0xD0, 0x1A, 0x0C, 0xF9, 0x71}};
inline constexpr GUID IID_IZuReadInstrumentMeta = {0xEF376E77, 0x15B6, 0x4D9D, {0xBB, 0xE4, 0xEF, 0x0B, 0x89, 0xF1, 0x6C, 0x09}};
inline constexpr GUID IID_ZuIStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

#define ZU_META_FORMAT_CODE 100u
#define ZU_STREAM_SEEK_SET 0u
#define ZU_STREAM_SEEK_CUR 1u
#define ZU_STREAM_SEEK_END 2u

#pragma pack(push, 1)
// The head of every record of a generic metadata stream.
struct MetaRecordHeader {
    uint32_t headerSize;  // 28
    uint32_t formatCode;  // 100
    GUID kind;
    uint32_t dataSize;    // bytes that follow the header
};
// One "INFO" entry: the data of a summary record and the unit of a summary stream.
struct SummaryItem {
    uint32_t headerSize;  // 12
    uint32_t fourCC;      // as stored in the file ("INAM": bytes 49 4E 41 4D)
    uint32_t textBytes;   // (characters + 1) * 2
    // followed by the UTF-16 text and its terminator
};
struct SummaryStreamHeader {
    uint32_t headerSize;  // 12
    uint32_t formatCode;  // 100
    uint32_t itemCount;
};
struct GenericStreamHeader {
    uint32_t headerSize;  // 28
    uint32_t formatCode;  // 100
    uint32_t itemCount;
    GUID kind;
};
struct InstrumentInfo {
    uint32_t reserved;     // left as the caller set it
    uint32_t regionCount;
    WCHAR name[260];
    uint16_t bankMsb;      // DLS/GIG: (ulBank >> 8) & 0x1F; SoundFont 2: 0
    uint16_t bankLsb;      // DLS/GIG: ulBank & 0x3F; SoundFont 2: wBank & 0x3F
    uint16_t program;
    uint32_t drum;         // DLS/GIG: bit 31 of ulBank; SoundFont 2: bank 128
};
struct RegionInfo {
    uint32_t reserved;
    uint32_t keyLow;
    uint32_t keyHigh;
    uint32_t layerCount;   // DLS and SoundFont 2: 1; GIG: the dimension-region count
};
struct RegionWaveLink {
    uint32_t reserved;
    uint32_t waveIndex;    // index into the instrument's wave list
};
#pragma pack(pop)

static_assert(sizeof(MetaRecordHeader) == 28 && offsetof(MetaRecordHeader, kind) == 8 &&
                  offsetof(MetaRecordHeader, dataSize) == 24,
              "MetaRecordHeader layout");
static_assert(sizeof(SummaryItem) == 12 && offsetof(SummaryItem, fourCC) == 4 && offsetof(SummaryItem, textBytes) == 8,
              "SummaryItem layout");
static_assert(sizeof(SummaryStreamHeader) == 12, "SummaryStreamHeader layout");
static_assert(sizeof(GenericStreamHeader) == 28 && offsetof(GenericStreamHeader, itemCount) == 8 &&
                  offsetof(GenericStreamHeader, kind) == 12,
              "GenericStreamHeader layout");
static_assert(sizeof(InstrumentInfo) == 538 && offsetof(InstrumentInfo, regionCount) == 4 &&
                  offsetof(InstrumentInfo, name) == 8 && offsetof(InstrumentInfo, bankMsb) == 528 &&
                  offsetof(InstrumentInfo, bankLsb) == 530 && offsetof(InstrumentInfo, program) == 532 &&
                  offsetof(InstrumentInfo, drum) == 534,
              "InstrumentInfo layout");
static_assert(sizeof(RegionInfo) == 16 && offsetof(RegionInfo, keyLow) == 4 && offsetof(RegionInfo, layerCount) == 12,
              "RegionInfo layout");
static_assert(sizeof(RegionWaveLink) == 8 && offsetof(RegionWaveLink, waveIndex) == 4, "RegionWaveLink layout");

// The platform's IStream, slot for slot. 64-bit positions are passed as the
// 8-byte integers they are.
#if !defined(__IStream_INTERFACE_DEFINED__)
#define __IStream_INTERFACE_DEFINED__
struct ISequentialStream : public IUnknown {
    virtual HRESULT ZU_STDCALL Read(void* buffer, ULONG count, ULONG* read) = 0;
    virtual HRESULT ZU_STDCALL Write(const void* buffer, ULONG count, ULONG* written) = 0;
};
struct IStream : public ISequentialStream {
    virtual HRESULT ZU_STDCALL Seek(int64_t move, DWORD origin, uint64_t* newPosition) = 0;
    virtual HRESULT ZU_STDCALL SetSize(uint64_t size) = 0;
    virtual HRESULT ZU_STDCALL CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) = 0;
    virtual HRESULT ZU_STDCALL Commit(DWORD flags) = 0;
    virtual HRESULT ZU_STDCALL Revert() = 0;
    virtual HRESULT ZU_STDCALL LockRegion(uint64_t offset, uint64_t count, DWORD type) = 0;
    virtual HRESULT ZU_STDCALL UnlockRegion(uint64_t offset, uint64_t count, DWORD type) = 0;
    virtual HRESULT ZU_STDCALL Stat(void* statstg, DWORD flags) = 0;
    virtual HRESULT ZU_STDCALL Clone(IStream** out) = 0;
};
#endif

// The metadata object of a read file (IZuReadFile::GetMeta). One identity
// answers IZuReadMeta, IZuReadGenericMeta and IZuReadInstrumentMeta.
struct IZuReadMeta : public IUnknown {
    virtual HRESULT ZU_STDCALL GetMarkerStream(IStream** out) = 0;     // 3: 0x8004E00A
    virtual HRESULT ZU_STDCALL GetCommandStream(IStream** out) = 0;    // 4: E_NOTIMPL
    virtual HRESULT ZU_STDCALL GetReservedStream(IStream** out) = 0;   // 5: E_NOTIMPL
    // 6: one INFO text by FourCC; 0x8004E00A when the file has none.
    virtual HRESULT ZU_STDCALL GetSummaryText(uint32_t fourCC, WCHAR* buffer, int32_t capacity) = 0;
    // 7: the summary stream: SummaryStreamHeader, then SummaryItems.
    virtual HRESULT ZU_STDCALL GetSummaryStream(IStream** out) = 0;
};

// The generic metadata streams of a file: one GUID_SUMMARYLIST stream
// (GenericStreamHeader, then whole records), then S_FALSE.
struct IZuReadGenericMeta : public IUnknown {
    virtual HRESULT ZU_STDCALL Reset() = 0;
    virtual HRESULT ZU_STDCALL Next(IStream** out) = 0;
};

// The instrument data. For SoundFont 2 an instrument is a preset and a region
// an instrument zone.
struct IZuReadInstrumentMeta : public IUnknown {
    virtual HRESULT ZU_STDCALL GetSourcePath(WCHAR* buffer, ULONG capacity) = 0;                          // 3
    virtual HRESULT ZU_STDCALL GetInstrumentCount(ULONG* count) = 0;                                      // 4
    virtual HRESULT ZU_STDCALL GetInstrumentInfo(ULONG instrument, InstrumentInfo* info) = 0;             // 5
    virtual HRESULT ZU_STDCALL GetRegionInfo(ULONG instrument, ULONG region, RegionInfo* info) = 0;       // 6
    virtual HRESULT ZU_STDCALL GetRegionWaveLink(ULONG instrument, ULONG region, ULONG layer, RegionWaveLink* link) = 0;  // 7
    virtual HRESULT ZU_STDCALL GetWaveCount(ULONG* count) = 0;                                            // 8
    virtual HRESULT ZU_STDCALL GetWaveInfo(ULONG wave, InstrumentWaveInfo* info) = 0;                     // 9
    virtual HRESULT ZU_STDCALL GetInstrumentImageSize(ULONG* size) = 0;                                   // 10
    // 11: the instrument image ("META": "ARTG", "WAVG", "LAYG") into a buffer of that size.
    virtual HRESULT ZU_STDCALL GetInstrumentImage(void* buffer) = 0;
};

// The shared library's metadata stream over a list of whole records.
struct tZULIST;
ZU_EXPORT_C HRESULT ZuMetaStream_CreateGeneric(tZULIST* records, const GUID& kind, IStream** out);

// A summary is kept in two owned-item lists of 8-byte slots (options
// 0x80000002): `items` holds one SummaryItem block per text, `records` one
// whole record (MetaRecordHeader of kind GUID_SUMMARYLIST, then the
// SummaryItem) per text, in the same order.
//
// Replaces the first item and the first record of `fourCC` by ones holding
// `text` (null counts as empty); the new entries go to the end of both lists.
// E_INVALIDARG for lists that are not owned-item pointer lists; E_OUTOFMEMORY.
// Both lists are left unchanged on failure.
ZU_EXPORT_C HRESULT ZuFMMeta_SetSummaryText(tZULIST* items, tZULIST* records, uint32_t fourCC, const WCHAR* text);

// Reads the top-level "INFO" list of an open file (a file handle of the
// platform; the file position is left anywhere) and appends one item and one
// record per sub-chunk, the sub-chunk's bytes up to the first zero taken as
// text of the system ANSI code page. A FourCC a list already holds is skipped
// (the first occurrence wins). A file without an "INFO" list leaves the lists
// as they were, S_OK. 0x8004E007 for no handle, 0x8004E008 when no RIFF header
// can be read, E_OUTOFMEMORY, E_INVALIDARG for unusable lists.
ZU_EXPORT_C HRESULT ZuFMMeta_fillSummaryFromFileEx(void* fileHandle, tZULIST* items, tZULIST* records);

#endif

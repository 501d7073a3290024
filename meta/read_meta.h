// The metadata object of a read file: the file's INFO texts as summary texts
// and streams, and the instrument data parsed from the instrument's header
// image on each call. DLS, GIG and SoundFont 2 differ in the instrument queries.
//
// Lifetime: the read file creates the object and owns it; references the host
// holds are forwarded to the read file, so the file lives while they do. When
// the file closes it empties the object and lets it go: an object the host
// still holds then lives on, empty, until the host's last Release.
#ifndef ZU_META_READ_META_H
#define ZU_META_READ_META_H

#include <atomic>
#include <vector>

#include "meta/dls_header_navigator.h"
#include "meta/sf2_preset_model.h"
#include "plugin/instrument_kind.h"
#include "zuinstr/zuinstr.h"

namespace zu {

class CDlsReadFile;

class CDlsReadMeta : public IZuReadMeta, public IZuReadGenericMeta, public IZuReadInstrumentMeta {
public:
    // The metadata object of a read file's format.
    static CDlsReadMeta* Create(CDlsReadFile* readFile, InstrumentKind kind);
    explicit CDlsReadMeta(CDlsReadFile* readFile);
    virtual ~CDlsReadMeta();

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override;
    ULONG ZU_STDCALL Release() override;

    // IZuReadMeta
    HRESULT ZU_STDCALL GetMarkerStream(IStream** out) override;
    HRESULT ZU_STDCALL GetCommandStream(IStream** out) override;
    HRESULT ZU_STDCALL GetReservedStream(IStream** out) override;
    HRESULT ZU_STDCALL GetSummaryText(uint32_t fourCC, WCHAR* buffer, int32_t capacity) override;
    HRESULT ZU_STDCALL GetSummaryStream(IStream** out) override;
    // IZuReadGenericMeta
    HRESULT ZU_STDCALL Reset() override;
    HRESULT ZU_STDCALL Next(IStream** out) override;
    // IZuReadInstrumentMeta
    HRESULT ZU_STDCALL GetSourcePath(WCHAR* buffer, ULONG capacity) override;
    HRESULT ZU_STDCALL GetInstrumentCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetInstrumentInfo(ULONG instrument, InstrumentInfo* info) override;
    HRESULT ZU_STDCALL GetRegionInfo(ULONG instrument, ULONG region, RegionInfo* info) override;
    HRESULT ZU_STDCALL GetRegionWaveLink(ULONG instrument, ULONG region, ULONG layer, RegionWaveLink* link) override;
    HRESULT ZU_STDCALL GetWaveCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetWaveInfo(ULONG wave, InstrumentWaveInfo* info) override;
    HRESULT ZU_STDCALL GetInstrumentImageSize(ULONG* size) override;
    HRESULT ZU_STDCALL GetInstrumentImage(void* buffer) override;

    // For the read file: drops the parsed state and the streams.
    void Empty();
    // For the read file: lets the object go; it frees itself now or at the
    // host's last Release.
    static void Discard(CDlsReadMeta* meta);

protected:
    HRESULT LoadSummary();
    DlsHeaderNavigator navigator_;
    CDlsReadFile* readFile_;

private:
    std::atomic<ULONG> refs_{0};
    std::atomic<bool> discarded_{false};
    int32_t enumIndex_ = 0;
    class SummaryLists* summary_ = nullptr;  // one reference, while the object is not emptied
    IStream* genericStream_ = nullptr;
    IStream* summaryStream_ = nullptr;
};

class CGigReadMeta final : public CDlsReadMeta {
public:
    explicit CGigReadMeta(CDlsReadFile* readFile) : CDlsReadMeta(readFile) {}
    HRESULT ZU_STDCALL GetInstrumentCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetRegionInfo(ULONG instrument, ULONG region, RegionInfo* info) override;
    HRESULT ZU_STDCALL GetRegionWaveLink(ULONG instrument, ULONG region, ULONG layer, RegionWaveLink* link) override;

private:
    // The region's dimension-region count and wave table ("3lnk" by version).
    bool ReadDimensions(uint32_t* layers, std::vector<uint32_t>* waves);
    uint32_t gigVersion_[2] = {0, 0};
};

class CSf2ReadMeta final : public CDlsReadMeta {
public:
    explicit CSf2ReadMeta(CDlsReadFile* readFile);
    HRESULT ZU_STDCALL GetInstrumentCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetInstrumentInfo(ULONG instrument, InstrumentInfo* info) override;
    HRESULT ZU_STDCALL GetRegionInfo(ULONG instrument, ULONG region, RegionInfo* info) override;
    HRESULT ZU_STDCALL GetRegionWaveLink(ULONG instrument, ULONG region, ULONG layer, RegionWaveLink* link) override;

private:
    std::vector<Sf2Preset> presets_;
};

// The GIG dimension-region count of a "3lnk" payload of a major version, and
// its wave table (32, 256 or 1024 entries).
uint32_t GigDimensionRegions(const uint8_t* lnk, uint32_t size, uint32_t majorVersion, std::vector<uint32_t>* waves);

}  // namespace zu

#endif

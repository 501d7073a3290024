#include "meta/read_meta.h"

#include <cstring>

#include "kernel/byte_order.h"
#include "kernel/moniker.h"
#include "meta/generic_stream.h"
#include "meta/list_stream.h"
#include "meta/summary_lists.h"
#include "meta/summary_records.h"
#include "platform/platform.h"
#include "plugin/allocator.h"
#include "reader/read_file.h"

namespace zu {
namespace {

constexpr HRESULT kNotFound = ZU_E_NOT_FOUND;

void CopyName(WCHAR* to, size_t capacity, const std::u16string& name) {
    const size_t n = std::min(name.size(), capacity - 1);
    for (size_t i = 0; i < n; ++i) to[i] = static_cast<WCHAR>(name[i]);
    to[n] = 0;
}

const SummaryItem* ItemAt(const tZULIST* list, int32_t i) {
    const void* p = nullptr;
    std::memcpy(&p, static_cast<const uint8_t*>(list->items) + static_cast<size_t>(i) * list->itemSize, sizeof p);
    return static_cast<const SummaryItem*>(p);
}

}  // namespace

CDlsReadMeta* CDlsReadMeta::Create(CDlsReadFile* readFile, InstrumentKind kind) {
    switch (kind) {
        case kInstrumentGig: return ZuNew<CGigReadMeta>(readFile);
        case kInstrumentSf2: return ZuNew<CSf2ReadMeta>(readFile);
        default: return ZuNew<CDlsReadMeta>(readFile);
    }
}

CDlsReadMeta::CDlsReadMeta(CDlsReadFile* readFile) : readFile_(readFile) {
    CRiffInstrument* instrument = readFile->container() ? readFile->container()->instrument() : nullptr;
    if (instrument) navigator_.Open(instrument->header(), instrument->headerSize());
}

CDlsReadMeta::~CDlsReadMeta() { Empty(); }

void CDlsReadMeta::Empty() {
    navigator_.Close();
    if (genericStream_) std::exchange(genericStream_, nullptr)->Release();
    if (summaryStream_) std::exchange(summaryStream_, nullptr)->Release();
    if (summary_) std::exchange(summary_, nullptr)->Release();
}

void CDlsReadMeta::Discard(CDlsReadMeta* meta) {
    if (!meta) return;
    meta->Empty();
    meta->discarded_.store(true);
    if (meta->refs_.load() == 0) ZuDelete(meta);
}

HRESULT CDlsReadMeta::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    void* self = nullptr;
    if (ZuGuidEqual(iid, IID_IZuReadMeta) || ZuGuidEqual(iid, IID_ZuIUnknown)) self = static_cast<IZuReadMeta*>(this);
    else if (ZuGuidEqual(iid, IID_IZuReadGenericMeta)) self = static_cast<IZuReadGenericMeta*>(this);
    else if (ZuGuidEqual(iid, IID_IZuReadInstrumentMeta)) self = static_cast<IZuReadInstrumentMeta*>(this);
    if (!self) return E_NOINTERFACE;
    AddRef();
    *out = self;
    return S_OK;
}

// Every reference is also one on the read file, which therefore outlives
// every reference the host holds.
ULONG CDlsReadMeta::AddRef() {
    readFile_->AddRef();
    return ++refs_;
}

ULONG CDlsReadMeta::Release() {
    const ULONG left = --refs_;
    CDlsReadFile* readFile = readFile_;
    // Let go by its read file: the object ends with the host's last reference.
    if (left == 0 && discarded_.load()) ZuDelete(this);
    readFile->Release();  // may end the read file, and an object it still owns
    return left;
}

HRESULT CDlsReadMeta::GetMarkerStream(IStream** out) {
    if (out) *out = nullptr;
    return kNotFound;
}

HRESULT CDlsReadMeta::GetCommandStream(IStream** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CDlsReadMeta::GetReservedStream(IStream** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT CDlsReadMeta::LoadSummary() {
    if (summary_) return S_OK;
    summary_ = SummaryLists::Create();
    if (!summary_) return E_OUTOFMEMORY;
    tZULIST* items = summary_->items;
    tZULIST* records = summary_->records;
    if (discarded_.load()) return S_OK;  // a closed file's object has no summary to load
    WCHAR name[260] = {};
    ZU_RETURN_IF_FAILED(readFile_->GetFileName(name, 260));
    // The file on disk: the name without the query that selects a wave.
    WCHAR path[260] = {};
    ZuFio_ParseMoniker(name, path, 260, nullptr, 0);
    uint32_t error = 0;
    platform::FileHandle file = platform::FileOpen(path, platform::FileAccess::Read, platform::FileShare::ReadWrite,
                                                   platform::FileDisposition::OpenExisting, true, &error);
    if (file) {
        ZuFMMeta_fillSummaryFromFileEx(file, items, records);
        platform::FileClose(file);
    }
    if (readFile_->subStream() != -1) {
        WCHAR waveName[260] = {};
        ZU_RETURN_IF_FAILED(readFile_->GetFileText(waveName, 260, 4));
        ZU_RETURN_IF_FAILED(ZuFMMeta_SetSummaryText(items, records, FourCC("INAM"), waveName));
    }
    return S_OK;
}

HRESULT CDlsReadMeta::GetSummaryText(uint32_t fourCC, WCHAR* buffer, int32_t capacity) {
    if (buffer && capacity > 0) buffer[0] = 0;
    if (FAILED(LoadSummary()) || !summary_) return kNotFound;
    const tZULIST* items = summary_->items;
    for (int32_t i = 0; i < items->count; ++i) {
        const SummaryItem* item = ItemAt(items, i);
        if (!item || item->fourCC != fourCC) continue;
        if (buffer && capacity >= 1) {
            const auto* text = reinterpret_cast<const WCHAR*>(reinterpret_cast<const uint8_t*>(item) + item->headerSize);
            const int32_t chars = static_cast<int32_t>(item->textBytes / sizeof(WCHAR));
            int32_t n = 0;
            for (; n < capacity - 1 && n < chars && text[n]; ++n) buffer[n] = text[n];
            buffer[n] = 0;
        }
        return S_OK;
    }
    return kNotFound;
}

HRESULT CDlsReadMeta::GetSummaryStream(IStream** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    const HRESULT loaded = LoadSummary();
    if (FAILED(loaded) && !summaryStream_) return loaded;
    if (!summaryStream_) {
        if (!summary_) return E_OUTOFMEMORY;
        ZU_RETURN_IF_FAILED(CreateSummaryStream(summary_->items, summary_, &summaryStream_));
    }
    return summaryStream_->QueryInterface(IID_ZuIStream, reinterpret_cast<void**>(out));
}

HRESULT CDlsReadMeta::Reset() {
    enumIndex_ = 0;
    return S_OK;
}

HRESULT CDlsReadMeta::Next(IStream** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (enumIndex_ == 1) enumIndex_ = 2;  // the slot of the unknown kind is never handed out
    if (enumIndex_ >= 2) return S_FALSE;
    ZU_RETURN_IF_FAILED(LoadSummary());
    HRESULT hr = S_OK;
    if (!genericStream_) hr = CreateGenericStream(summary_->records, GUID_SUMMARYLIST, summary_, &genericStream_);
    ++enumIndex_;
    if (FAILED(hr)) return hr;
    return genericStream_->QueryInterface(IID_ZuIStream, reinterpret_cast<void**>(out));
}

HRESULT CDlsReadMeta::GetSourcePath(WCHAR* buffer, ULONG capacity) {
    readFile_->GetFileName(buffer, capacity);
    return S_OK;
}

HRESULT CDlsReadMeta::GetInstrumentCount(ULONG* count) {
    uint8_t colh[4];
    if (count && navigator_.ReadTopChunk(FourCC("colh"), colh, 4)) *count = LoadLE32(colh);
    return S_OK;
}

HRESULT CDlsReadMeta::GetInstrumentInfo(ULONG instrument, InstrumentInfo* info) {
    if (!info || !navigator_.FindInstrument(instrument)) return S_OK;
    uint8_t insh[12];
    navigator_.ReadChunk(FourCC("insh"), insh, 12);
    const uint32_t bank = LoadLE32(insh + 4);
    info->regionCount = LoadLE32(insh);
    // The bank bytes keep 5 and 6 bits: what the host's instrument records hold.
    info->bankMsb = static_cast<uint16_t>((bank >> 8) & 0x1F);
    info->bankLsb = static_cast<uint16_t>(bank & 0x3F);
    info->program = static_cast<uint16_t>(LoadLE32(insh + 8) & 0xFFFF);
    info->drum = bank >> 31;
    CopyName(info->name, 260, navigator_.ReadName(260));
    return S_OK;
}

HRESULT CDlsReadMeta::GetRegionInfo(ULONG instrument, ULONG region, RegionInfo* info) {
    if (!info || !navigator_.FindRegion(instrument, region)) return E_NOTIMPL;
    uint8_t rgnh[12], wlnk[12];
    // A region without "rgnh" reports keys 0..0: nothing was read to say otherwise.
    navigator_.ReadChunk(FourCC("rgnh"), rgnh, 12);
    navigator_.ReadChunk(FourCC("wlnk"), wlnk, 12);
    info->keyLow = LoadLE16(rgnh);
    info->keyHigh = LoadLE16(rgnh + 2);
    info->layerCount = 1;
    return S_OK;
}

HRESULT CDlsReadMeta::GetRegionWaveLink(ULONG instrument, ULONG region, ULONG, RegionWaveLink* link) {
    if (!link || !navigator_.FindRegion(instrument, region)) return E_NOTIMPL;
    uint8_t wlnk[12];
    navigator_.ReadChunk(FourCC("wlnk"), wlnk, 12);
    link->waveIndex = LoadLE32(wlnk + 8);
    return S_OK;
}

HRESULT CDlsReadMeta::GetWaveCount(ULONG* count) {
    if (count && readFile_->container()) readFile_->container()->GetSubStreamCount(count);
    return S_OK;
}

HRESULT CDlsReadMeta::GetWaveInfo(ULONG wave, InstrumentWaveInfo* info) {
    if (!info) return static_cast<HRESULT>(0xFFFFFFFFu);
    InstrumentWaveEntry entry;
    std::memset(&entry, 0, sizeof entry);
    if (readFile_->container()) readFile_->container()->GetSubStreamInfo(wave, &entry, 0);
    std::memcpy(info->name, entry.name, sizeof entry.name);
    info->frameCount = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(entry.frames32)));
    info->firstFrame = entry.firstFrame;
    WAVEFORMATEX wfx{};
    ZuAudio_WaveFormatToWfx(&entry.format, &wfx);
    info->format = wfx;
    info->waveIndex = wave;
    return S_OK;
}

HRESULT CDlsReadMeta::GetInstrumentImageSize(ULONG* size) {
    CRiffInstrument* instrument = readFile_->container() ? readFile_->container()->instrument() : nullptr;
    if (!size || !instrument) return S_FALSE;
    *size = instrument->GetImageSize();
    return S_OK;
}

HRESULT CDlsReadMeta::GetInstrumentImage(void* buffer) {
    CRiffInstrument* instrument = readFile_->container() ? readFile_->container()->instrument() : nullptr;
    if (!buffer || !instrument) return S_FALSE;
    instrument->WriteImage(buffer);
    return S_OK;
}

// ---- GIG ----

uint32_t GigDimensionRegions(const uint8_t* lnk, uint32_t size, uint32_t majorVersion, std::vector<uint32_t>* waves) {
    // Widened to the version-3 layout: count, 8 definitions, then the wave table.
    std::vector<uint8_t> block(4164, 0);
    std::memcpy(block.data(), lnk, std::min<uint32_t>(size, 4164));
    uint32_t definitions = 8, entries = majorVersion > 3 ? 1024 : 256;
    if (majorVersion < 3) {
        std::vector<uint8_t> old(block.begin(), block.begin() + 172);
        std::fill(block.begin(), block.end(), 0);
        std::memcpy(block.data(), old.data(), 4 + 5 * 8);
        std::memcpy(block.data() + 68, old.data() + 44, 32 * 4);
        definitions = 5;
        entries = 32;
    }
    uint32_t bits = 0;
    for (uint32_t d = 0; d < definitions; ++d) bits += block[4 + d * 8 + 1];
    if (waves) {
        waves->resize(entries);
        for (uint32_t i = 0; i < entries; ++i) (*waves)[i] = LoadLE32(&block[68 + i * 4]);
    }
    return 1u << (bits % 32);
}

HRESULT CGigReadMeta::GetInstrumentCount(ULONG* count) {
    uint8_t vers[8] = {};
    navigator_.ReadTopChunk(FourCC("vers"), vers, 8);
    gigVersion_[0] = LoadLE32(vers);
    gigVersion_[1] = LoadLE32(vers + 4);
    return CDlsReadMeta::GetInstrumentCount(count);
}

bool CGigReadMeta::ReadDimensions(uint32_t* layers, std::vector<uint32_t>* waves) {
    const uint32_t major = gigVersion_[0] >> 16;
    const uint32_t size = major < 3 ? 172 : major == 3 ? 1092 : 4164;
    std::vector<uint8_t> lnk(size, 0);
    navigator_.ReadChunk(FourCC("3lnk"), lnk.data(), size);
    *layers = GigDimensionRegions(lnk.data(), size, major, waves);
    return true;
}

HRESULT CGigReadMeta::GetRegionInfo(ULONG instrument, ULONG region, RegionInfo* info) {
    if (!info || !navigator_.FindRegion(instrument, region)) return E_NOTIMPL;
    uint8_t rgnh[12];
    navigator_.ReadChunk(FourCC("rgnh"), rgnh, 12);
    info->keyLow = LoadLE16(rgnh);
    info->keyHigh = LoadLE16(rgnh + 2);
    uint32_t layers = 1;
    ReadDimensions(&layers, nullptr);
    info->layerCount = layers;
    return S_OK;
}

HRESULT CGigReadMeta::GetRegionWaveLink(ULONG instrument, ULONG region, ULONG layer, RegionWaveLink* link) {
    if (!link || !navigator_.FindRegion(instrument, region)) return E_NOTIMPL;
    uint32_t layers = 1;
    std::vector<uint32_t> waves;
    ReadDimensions(&layers, &waves);
    // A layer beyond the region's layers or its wave table takes entry 0.
    const uint32_t at = (layer < layers && layer < waves.size()) ? layer : 0;
    link->waveIndex = waves.empty() ? 0 : waves[at];
    return S_OK;
}

// ---- SoundFont 2 ----

CSf2ReadMeta::CSf2ReadMeta(CDlsReadFile* readFile) : CDlsReadMeta(readFile) {
    CRiffInstrument* instrument = readFile->container() ? readFile->container()->instrument() : nullptr;
    if (instrument) presets_ = BuildSf2Presets(instrument->header(), instrument->headerSize());
}

HRESULT CSf2ReadMeta::GetInstrumentCount(ULONG* count) {
    if (count) *count = static_cast<ULONG>(presets_.size());
    return S_OK;
}

HRESULT CSf2ReadMeta::GetInstrumentInfo(ULONG instrument, InstrumentInfo* info) {
    if (instrument >= presets_.size() || !info) return S_OK;
    const Sf2Preset& p = presets_[instrument];
    CopyName(info->name, 20, p.name);
    info->bankMsb = 0;
    info->bankLsb = p.bank & 0x3F;
    info->program = p.program;
    info->drum = p.bank == 128 ? 1 : 0;
    info->regionCount = p.RegionCount();
    return S_OK;
}

HRESULT CSf2ReadMeta::GetRegionInfo(ULONG instrument, ULONG region, RegionInfo* info) {
    if (!info) return E_NOTIMPL;
    const Sf2InstrumentZone* r = instrument < presets_.size() ? presets_[instrument].Region(region) : nullptr;
    if (!r) {
        info->keyLow = info->keyHigh = info->layerCount = 0;
        return E_NOTIMPL;
    }
    info->keyLow = r->keyLow;
    info->keyHigh = r->keyHigh;
    info->layerCount = 1;
    return S_OK;
}

HRESULT CSf2ReadMeta::GetRegionWaveLink(ULONG instrument, ULONG region, ULONG, RegionWaveLink* link) {
    if (!link) return E_NOTIMPL;
    const Sf2InstrumentZone* r = instrument < presets_.size() ? presets_[instrument].Region(region) : nullptr;
    link->waveIndex = r ? r->sampleIndex : 0;
    return r ? S_OK : E_NOTIMPL;
}

}  // namespace zu

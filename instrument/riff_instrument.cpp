// The instrument model's lifetime, wave lists, file set and instrument image.
// Loading lives in dls_loader.cpp and soundfont_loader.cpp.
#include "instrument/riff_instrument.h"

#include <cstring>

#include "kernel/byte_order.h"
#include "plugin/allocator.h"

namespace zu {
namespace {

constexpr uint32_t kImageOverhead = 1092;  // four chunk headers and the 1060-byte layout

void* SlotPointer(const tZULIST* list, uint32_t index) {
    void* p = nullptr;
    std::memcpy(&p, static_cast<const uint8_t*>(list->items) + static_cast<size_t>(index) * list->itemSize, sizeof p);
    return p;
}

}  // namespace

// Large instruments hold thousands of waves: the lists grow in big steps so
// that loading stays linear in the wave count.
constexpr int32_t kWaveListGrowth = 1024;

CRiffInstrument::CRiffInstrument(InstrumentKind kind) : kind_(kind) {
    ZuList_CreateExZ(&waves_, 8, 16, kWaveListGrowth, ZULIST_OPT_THREADSAFE);
    ZuList_CreateExZ(&waveEntries_, sizeof(InstrumentWaveEntry), 16, kWaveListGrowth,
                     ZULIST_OPT_THREADSAFE | ZULIST_OPT_HEAPITEMS);
}

CRiffInstrument::CRiffInstrument(const WCHAR* path, InstrumentKind kind) : CRiffInstrument(kind) {
    if (path) {
        size_t i = 0;
        for (; path[i] && i < 519; ++i) layout_.path[i] = path[i];
        layout_.path[i] = 0;
    }
    if (!waves_ || !waveEntries_) {
        loadResult_ = ZU_E_FILE_OPEN;
        return;
    }
    loadResult_ = kind == kInstrumentSf2 ? LoadSoundFont() : LoadDlsOrGig();
    files_.Close();
}

CRiffInstrument::~CRiffInstrument() {
    ZuFree(header_);
    ZuFree(wavePool_);
    files_.Close();
    if (waves_) {
        for (int32_t i = 0; i < waves_->count; ++i) ZuFree(SlotPointer(waves_, static_cast<uint32_t>(i)));
        ZuList_Destroy(waves_);
    }
    if (waveEntries_) {
        ZuList_DeleteList(waveEntries_, 0, -1, TRUE);
        ZuList_Destroy(waveEntries_);
    }
}

uint32_t CRiffInstrument::WaveCount() const { return waves_ ? static_cast<uint32_t>(waves_->count) : 0; }

InstrumentWaveInfo* CRiffInstrument::Wave(uint32_t index) const {
    if (!waves_ || index >= static_cast<uint32_t>(waves_->count)) return nullptr;
    return static_cast<InstrumentWaveInfo*>(SlotPointer(waves_, index));
}

InstrumentWaveEntry* CRiffInstrument::Entry(uint32_t index) const {
    if (!waveEntries_ || index >= static_cast<uint32_t>(waveEntries_->count)) return nullptr;
    return static_cast<InstrumentWaveEntry*>(SlotPointer(waveEntries_, index));
}

HRESULT CRiffInstrument::AppendWave(const InstrumentWaveEntry& entry, InstrumentWaveInfo* info) {
    if (FAILED(ZuList_InsertList(waves_, -1, &info, 1))) {
        ZuFree(info);
        return E_OUTOFMEMORY;
    }
    return ZuList_AllocAndInsertItem(waveEntries_, &entry, sizeof entry, -1, nullptr);
}

HRESULT CRiffInstrument::OpenFiles(bool withLayout) {
    const HRESULT hr = kind_ == kInstrumentSf2 ? OpenSoundFontFileSet(withLayout) : OpenDlsFileSet(withLayout);
    if (FAILED(hr)) files_.Close();
    return hr;
}

HRESULT CRiffInstrument::CloseFiles() {
    files_.Close();
    return S_OK;
}

platform::FileHandle CRiffInstrument::GetFileHandleByIndex(uint32_t index) const {
    InstrumentRiffFile* file = files_.File(index);
    return file ? file->File().GetHandle() : nullptr;
}

platform::FileHandle CRiffInstrument::GetFileHandle(const InstrumentWaveEntry& entry) const {
    return GetFileHandleByIndex(entry.fileIndex);
}

uint32_t CRiffInstrument::GetImageSize() const {
    return ((headerSize_ + 1u) & ~1u) + ((wavePoolSize_ + 1u) & ~1u) + kImageOverhead;
}

uint32_t CRiffInstrument::WriteImage(void* buffer) const {
    const uint32_t size = GetImageSize();
    if (!buffer) return 0;
    CRiffMemFile image;
    if (!image.OpenMemory(buffer, size, RIFF_FORM_NONE, RIFF_OPEN_CREATE)) return 0;
    bool ok = image.CreateChunk(FourCC("META")) != 0;
    ok = ok && image.WriteChunk(FourCC("ARTG"), header_, headerSize_);
    ok = ok && image.WriteChunk(FourCC("WAVG"), wavePool_, wavePoolSize_);
    ok = ok && image.WriteChunk(FourCC("LAYG"), &layout_, sizeof layout_);
    ok = image.AscendCurrent() && ok;
    image.Close();
    return ok ? size : 0;
}

}  // namespace zu

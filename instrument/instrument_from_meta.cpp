// Rebuilding an instrument from a host's metadata object: its wave records
// and its instrument image, without the source file. A render writes from this.
#include <cstring>
#include <vector>

#include "instrument/riff_instrument.h"
#include "kernel/byte_order.h"
#include "plugin/allocator.h"
#include "plugin/com_object.h"
#include "zuinstr/zuinstr_meta.h"

namespace zu {
namespace {

// Copies a chunk's data found in the current list into an owned block.
uint8_t* CopyChunkData(CRiffMemFile& image, uint32_t id, uint32_t* size) {
    uint32_t cksize = 0, offset = 0;
    *size = 0;
    if (!image.Descend(id, false, &cksize, &offset)) return nullptr;
    uint64_t total = 0;
    image.File().Size(&total);
    // A size that runs past the image keeps what the image holds.
    const uint32_t present = offset < total ? static_cast<uint32_t>(std::min<uint64_t>(cksize, total - offset)) : 0;
    auto* block = static_cast<uint8_t*>(ZuAlloc(present ? present : 1));
    if (block && present && image.ReadRaw(block, present) != present) std::memset(block, 0, present);
    image.AscendCurrent();
    *size = block ? present : 0;
    return block;
}

}  // namespace

CRiffInstrument::CRiffInstrument(IUnknown* source, InstrumentKind kind) : CRiffInstrument(kind) {
    source_ = source;
    loadResult_ = S_OK;
    if (!source || !waves_) return;
    ComPtr<IZuReadMeta> meta;
    if (FAILED(source->QueryInterface(IID_IZuReadMeta, reinterpret_cast<void**>(meta.Put()))) || !meta) return;
    ComPtr<IZuReadInstrumentMeta> instrument;
    if (FAILED(meta->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(instrument.Put()))) || !instrument) return;

    ULONG count = 0;
    instrument->GetWaveCount(&count);
    for (ULONG i = 0; i < count; ++i) {
        auto* info = static_cast<InstrumentWaveInfo*>(ZuAlloc(sizeof(InstrumentWaveInfo)));
        if (!info) break;
        const HRESULT hr = instrument->GetWaveInfo(i, info);
        if (FAILED(ZuList_InsertList(waves_, -1, &info, 1))) {
            ZuFree(info);
            break;
        }
        if (FAILED(hr)) break;  // the record of the failing call stays, as the host filled it
    }

    ULONG imageSize = 0;
    if (instrument->GetInstrumentImageSize(&imageSize) != S_OK || imageSize == 0) return;
    std::vector<uint8_t> image(imageSize, 0);
    if (FAILED(instrument->GetInstrumentImage(image.data()))) return;
    CRiffMemFile reader;
    if (!reader.OpenMemoryReadOnly(image.data(), imageSize) || !reader.Rewind()) return;
    if (!reader.Descend(FourCC("META"), false)) return;
    header_ = CopyChunkData(reader, FourCC("ARTG"), &headerSize_);
    wavePool_ = CopyChunkData(reader, FourCC("WAVG"), &wavePoolSize_);
    uint32_t layoutSize = 0;
    if (uint8_t* layout = CopyChunkData(reader, FourCC("LAYG"), &layoutSize)) {
        std::memcpy(&layout_, layout, std::min<uint32_t>(layoutSize, sizeof layout_));
        ZuFree(layout);
    }
    reader.Close();

    // Completes the wave records from the wave-pool image.
    CRiffMemFile pool;
    if (!wavePool_ || !pool.OpenMemoryReadOnly(wavePool_, wavePoolSize_) || !pool.Rewind()) return;
    if (kind != kInstrumentSf2) {
        if (!pool.Descend(FourCC("wvpl"), true)) return;
        for (uint32_t i = 0; i < WaveCount(); ++i) {
            InstrumentWaveInfo* info = Wave(i);
            info->waveImageSize = 0;
            uint32_t size = 0, offset = 0;
            if (!pool.Descend(FourCC("wave"), true, &size, &offset)) continue;
            info->waveImage = reinterpret_cast<uintptr_t>(wavePool_ + offset - 8);
            info->waveImageSize = size + 8;
            WAVEFORMATEX wfx{};
            pool.ReadChunk(FourCC("fmt "), &wfx, sizeof wfx, true);
            info->format = wfx;
            pool.AscendCurrent();
        }
    } else {
        uint32_t size = 0;
        if (!pool.Descend(FourCC("smpW"), false, &size)) return;
        for (uint32_t i = 0; i < WaveCount(); ++i) {
            uint8_t pair[8] = {};
            if (static_cast<uint64_t>(i) * 8 < size) pool.ReadRaw(pair, static_cast<uint32_t>(std::min<uint64_t>(8, size - i * 8ull)));
            Wave(i)->soundFontFrames = LoadLE32(pair);
            Wave(i)->soundFontGap = LoadLE32(pair + 4);
        }
    }
}

}  // namespace zu

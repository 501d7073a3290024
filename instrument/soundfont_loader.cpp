// Loading SoundFont 2 files: one mono 16-bit wave per sample header, sliced
// out of "smpl"; the whole "pdta" list is the header image and "smpW" (frames
// and gap of each sample) the wave-pool image.
#include <algorithm>
#include <cstring>
#include <vector>

#include "instrument/riff_instrument.h"
#include "kernel/byte_order.h"
#include "plugin/allocator.h"

namespace zu {
namespace {

constexpr uint32_t kSampleHeaderSize = 46;

}  // namespace

HRESULT CRiffInstrument::OpenSoundFontFileSet(bool withLayout) {
    files_.Close();
    auto file = std::make_unique<InstrumentRiffFile>();
    if (!file->Open(layout_.path, RIFF_FORM_SOUNDFONT, RIFF_OPEN_READ, false)) return ZU_E_FILE_OPEN;
    files_.kind = kind_;
    if (withLayout) {
        layout_.flags &= ~ZU_LAYOUT_POOL_FIRST;
        uint32_t sdta = 0, pdta = 0;
        bool haveSdta = false, havePdta = false;
        file->Rewind();
        if (file->Descend(FourCC("sdta"), true, nullptr, &sdta)) {
            haveSdta = true;
            file->AscendCurrent();
        }
        file->Rewind();
        if (file->Descend(FourCC("pdta"), true, nullptr, &pdta)) {
            havePdta = true;
            file->AscendCurrent();
        }
        if (haveSdta && havePdta && static_cast<uint64_t>(sdta) + 4 <= pdta) layout_.flags |= ZU_LAYOUT_SDTA_FIRST;
    }
    file->Rewind();
    files_.Append(std::move(file));
    return S_OK;
}

HRESULT CRiffInstrument::LoadSoundFont() {
    if (FAILED(OpenSoundFontFileSet(true))) return ZU_E_FILE_OPEN;
    InstrumentRiffFile& file = *files_.File(0);
    uint64_t fileSize = 0;
    platform::FileSize(file.File().GetHandle(), &fileSize);

    uint32_t smplSize = 0, smplOffset = 0;
    file.Rewind();
    if (file.Descend(FourCC("sdta"), true)) {
        if (file.Descend(FourCC("smpl"), false, &smplSize, &smplOffset)) file.AscendCurrent();
        else smplSize = smplOffset = 0;
        file.AscendCurrent();
    }
    // Sample data past the end of a truncated file does not exist.
    const uint64_t smplAvailable = smplOffset < fileSize ? std::min<uint64_t>(smplSize, fileSize - smplOffset) : 0;
    const uint64_t smplPoints = smplAvailable / 2;

    std::vector<uint8_t> headers;
    file.Rewind();
    if (file.Descend(FourCC("pdta"), true)) {
        uint32_t shdrSize = 0, shdrOffset = 0;
        if (file.Descend(FourCC("shdr"), false, &shdrSize, &shdrOffset)) {
            const uint64_t present = shdrOffset < fileSize ? std::min<uint64_t>(shdrSize, fileSize - shdrOffset) : 0;
            headers.resize(static_cast<size_t>(present / kSampleHeaderSize) * kSampleHeaderSize);
            if (!headers.empty() && file.ReadRaw(headers.data(), static_cast<uint32_t>(headers.size())) != headers.size())
                headers.clear();
            file.AscendCurrent();
        }
        file.AscendCurrent();
    }
    const uint32_t records = static_cast<uint32_t>(headers.size() / kSampleHeaderSize);
    const uint32_t samples = records >= 2 ? records - 1 : 0;  // the last record is the terminal one
    auto startOf = [&](uint32_t i) { return LoadLE32(&headers[i * kSampleHeaderSize + 20]); };
    auto endOf = [&](uint32_t i) { return LoadLE32(&headers[i * kSampleHeaderSize + 24]); };
    for (uint32_t i = 0; i < samples; ++i) {
        const uint8_t* h = &headers[i * kSampleHeaderSize];
        // Headers are not trusted: an end before the start or a start past the
        // sample data gives an empty wave, an end past it is cut to it.
        const uint64_t start = LoadLE32(h + 20);
        const uint64_t end = std::min<uint64_t>(LoadLE32(h + 24), smplPoints);
        const uint64_t frames = end > start ? end - start : 0;
        const uint64_t next = i + 1 < samples ? startOf(i + 1) : smplPoints;
        // Headers out of data order have no gap to the next one in this sense.
        const uint64_t gap = next > endOf(i) ? next - endOf(i) : 0;

        WAVEFORMATEX wfx{};
        wfx.wFormatTag = WAVE_FORMAT_PCM;
        wfx.nChannels = 1;
        wfx.nSamplesPerSec = LoadLE32(h + 36);
        wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * 2;
        wfx.nBlockAlign = 2;
        wfx.wBitsPerSample = 16;
        InstrumentWaveEntry entry{};
        ZuAudio_InitWaveFormat(&entry.format, ZU_ENTRY_FORMAT_ROOM, &wfx);
        const size_t nameLen = static_cast<size_t>(std::find(h, h + 20, 0) - h);
        if (nameLen) platform::AnsiToWide(reinterpret_cast<const char*>(h), static_cast<int>(nameLen), entry.name, 127);
        entry.dataOffset = smplOffset + 2 * start;
        entry.dataBytes = 2 * frames;
        entry.frames = entry.frames32 = entry.dataBytes / entry.format.blockAlign;
        entry.firstFrame = totalFrames_;
        totalFrames_ += entry.frames;

        auto* info = static_cast<InstrumentWaveInfo*>(ZuAlloc(sizeof(InstrumentWaveInfo)));
        if (!info) return ZU_E_FILE_OPEN;
        entry.info = info;
        info->structSize = ZU_WAVE_INFO_STRUCT_SIZE;
        info->frameCount = entry.frames;
        info->firstFrame = entry.firstFrame;
        ZuAudio_WaveFormatToWfx(&entry.format, &info->format);
        std::memcpy(info->name, entry.name, sizeof entry.name);
        info->soundFontFrames = static_cast<uint32_t>(frames);
        info->soundFontGap = static_cast<uint32_t>(std::min<uint64_t>(gap, 0xFFFFFFFFu));
        if (FAILED(AppendWave(entry, info))) return ZU_E_FILE_OPEN;
    }

    uint32_t pdtaSize = 0, pdtaOffset = 0;
    file.Rewind();
    if (file.Descend(FourCC("pdta"), true, &pdtaSize, &pdtaOffset)) {
        // As far as the file holds the list: a size field past the end of the
        // file does not size the image.
        const uint64_t start = static_cast<uint64_t>(pdtaOffset) - 8;
        const uint64_t bytes = std::min<uint64_t>(static_cast<uint64_t>(pdtaSize) + 8, fileSize > start ? fileSize - start : 0);
        if (bytes > 0x7FFFFFFFu) return ZU_E_FILE_OPEN;
        headerSize_ = static_cast<uint32_t>(bytes);
        header_ = static_cast<uint8_t*>(ZuAlloc(headerSize_));
        if (!header_) return ZU_E_FILE_OPEN;
        if (file.SeekTo(static_cast<uint64_t>(pdtaOffset) - 8)) file.ReadRaw(header_, headerSize_);
    }

    wavePoolSize_ = 8 * WaveCount() + 8;
    wavePool_ = static_cast<uint8_t*>(ZuAlloc(wavePoolSize_));
    if (!wavePool_) return ZU_E_FILE_OPEN;
    std::vector<uint8_t> pairs(static_cast<size_t>(WaveCount()) * 8);
    for (uint32_t i = 0; i < WaveCount(); ++i) {
        StoreLE32(&pairs[i * 8], Wave(i)->soundFontFrames);
        StoreLE32(&pairs[i * 8 + 4], Wave(i)->soundFontGap);
    }
    CRiffMemFile image;
    if (!image.OpenMemory(wavePool_, wavePoolSize_, RIFF_FORM_NONE, RIFF_OPEN_CREATE)) return ZU_E_FILE_OPEN;
    image.WriteChunk(FourCC("smpW"), pairs.data(), static_cast<uint32_t>(pairs.size()));
    image.Close();
    return S_OK;
}

}  // namespace zu

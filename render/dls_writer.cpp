// Writing DLS and GIG files: the instrument-side chunks verbatim from the
// header image, one "wave" list per wave with the image's sub-chunks and the
// host's samples in "data", the pool table patched to the new wave positions,
// and for GIG the checksum chunk and "einf". SoundFont 2 has its own writer.
#include <cstring>
#include <vector>

#include "kernel/byte_order.h"
#include "render/instrument_writer.h"
#include "render/progress_reporter.h"
#include "render/sample_feeder.h"
#include "riff/riff_handler.h"

namespace zu {
namespace {

struct PoolTable {
    uint8_t header[8] = {};
    std::vector<uint64_t> cues;  // file index in the high half, offset in the low half
    uint32_t width = 4;
    bool found = false;
};

// The pool table of a wave-pool image. Its cue width is taken from the chunk
// when its size tells (8 + 4n: 4-byte cues, whatever the version), else from
// the version; so a table is written back as wide as it was read.
PoolTable ReadPoolTable(const CRiffInstrument& instrument) {
    PoolTable t;
    CRiffMemFile image;
    if (!instrument.wavePool() || !image.OpenMemoryReadOnly(instrument.wavePool(), instrument.wavePoolSize())) return t;
    uint32_t size = 0;
    if (!image.Descend(FourCC("ptbl"), false, &size)) return t;
    t.found = true;
    image.Read(t.header, 8);
    const uint32_t count = LoadLE32(t.header + 4);
    const bool versionWide = instrument.kind() == kInstrumentGig && (instrument.layout().versionMS >> 16) >= 3;
    const uint64_t room = size >= 8 ? size - 8 : 0;
    t.width = versionWide && room != static_cast<uint64_t>(count) * 4 ? 8 : 4;
    // Cues beyond what the chunk holds stay zero; the count is capped by the image.
    const uint32_t held = static_cast<uint32_t>(std::min<uint64_t>(count, room / t.width));
    t.cues.assign(count <= instrument.wavePoolSize() ? count : held, 0);
    std::vector<uint8_t> raw(static_cast<size_t>(held) * t.width);
    if (held) image.ReadRaw(raw.data(), static_cast<uint32_t>(raw.size()));
    for (uint32_t i = 0; i < held; ++i)
        t.cues[i] = t.width == 8 ? (static_cast<uint64_t>(LoadLE32(&raw[i * 8])) << 32) | LoadLE32(&raw[i * 8 + 4])
                                 : LoadLE32(&raw[i * 4]);
    return t;
}

// Writes the header image chunk by chunk, leaving out the list of extension
// files: every wave of the written file lies in the file itself.
bool WriteHeaderImage(CRiffFile& target, const CRiffInstrument& instrument) {
    if (!(instrument.layout().flags & ZU_LAYOUT_EXTENSIONS))
        return target.Write(instrument.header(), instrument.headerSize()) != 0;
    const uint8_t* p = instrument.header();
    const uint32_t size = instrument.headerSize();
    uint32_t at = 0;
    bool ok = true;
    while (at + 8 <= size) {
        const uint64_t bytes = 8 + static_cast<uint64_t>(LoadLE32(p + at + 4)) + (LoadLE32(p + at + 4) & 1u);
        const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(bytes, size - at));
        if (LoadLE32(p + at) != FourCC("xfil")) ok = target.Write(p + at, take) && ok;
        at += take;
    }
    if (at < size) ok = target.Write(p + at, size - at) && ok;
    return ok;
}

}  // namespace

HRESULT WriteInstrument(CRiffInstrument& instrument, const WCHAR* path, IUnknown* audioSource, IZuProgressSink* progress) {
    if (instrument.kind() == kInstrumentSf2) return WriteSoundFont(instrument, path, audioSource, progress);
    ComPtr<IZuReadAudioStream> stream;
    if (!audioSource || FAILED(audioSource->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(stream.Put()))) || !stream)
        return S_FALSE;
    SampleFeeder feeder;
    feeder.Open(stream.Get());
    ProgressReporter report(progress, static_cast<uint64_t>(feeder.blockAlign()) * feeder.frames() +
                                          instrument.headerSize() + instrument.wavePoolSize());
    report.Start();

    PoolTable pool = ReadPoolTable(instrument);
    // Every wave needs its cue: a table with fewer cues than waves cannot
    // describe the file, so nothing is written.
    if (pool.found && pool.cues.size() < instrument.WaveCount()) return ZU_E_CORRUPT;
    bool shortSource = false;
    bool complete = true;
    {
        CRiffFile target;
        if (target.Open(path, RIFF_FORM_DLS, RIFF_OPEN_CREATE, false) && pool.found) {
            WriteHeaderImage(target, instrument);
            report.Add(instrument.headerSize());
            CRiffMemFile image;
            image.OpenMemoryReadOnly(instrument.wavePool(), instrument.wavePoolSize());
            const bool poolFirst = (instrument.layout().flags & ZU_LAYOUT_POOL_FIRST) != 0;
            if (!poolFirst) report.Add(image.CopyChunk(target, FourCC("ptbl"), false));
            target.CreateList(FourCC("wvpl"));
            const uint32_t wavePoolBase = target.Position();
            auto write = [&target](const void* data, uint32_t bytes) { return target.Write(data, bytes) != 0; };
            auto advance = [&report](uint32_t bytes) { report.Add(bytes); };
            for (uint32_t i = 0; i < instrument.WaveCount(); ++i) {
                const InstrumentWaveInfo& info = *instrument.Wave(i);
                // All waves land in this file: the cue keeps no other file's index.
                pool.cues[i] = target.Position() - wavePoolBase;
                target.CreateList(FourCC("wave"));
                CRiffMemFile wave;
                const auto* waveImage = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(info.waveImage));
                if (waveImage && info.waveImageSize && wave.OpenMemoryReadOnly(waveImage, info.waveImageSize) &&
                    wave.Descend(FourCC("wave"), true)) {
                    uint32_t id = 0, size = 0;
                    int isList = 0;
                    while (wave.Depth() < 10 && wave.DescendAny(&id, &isList, &size)) {
                        if (id == FourCC("data")) {
                            target.CreateChunk(FourCC("data"));
                            feeder.FeedWave(info.firstFrame, info.frameCount, info.format, write, advance, &shortSource);
                            // One zero byte inside the chunk for an odd frame count, unless a
                            // byte is a whole frame there: then it would become a sample.
                            if ((info.frameCount & 1) && info.format.nBlockAlign > 1) target.Write("\0", 1);
                            target.AscendCurrent();
                        } else {
                            wave.CopyCurrentChunk(target);
                        }
                        wave.AscendCurrent();
                    }
                }
                target.AscendCurrent();
            }
            target.AscendCurrent();
            if (poolFirst) report.Add(image.CopyChunk(target, FourCC("ptbl"), false));
            if (instrument.kind() == kInstrumentGig) {
                std::vector<uint8_t> crc(static_cast<size_t>(instrument.WaveCount()) * 8, 0);
                target.WriteChunk(FourCC("3crc"), crc.data(), static_cast<uint32_t>(crc.size()));
                image.CopyChunk(target, FourCC("einf"), false);
            }
        }
        // Gathered bytes reach the disk at the latest here; a failure means a short file.
        if (!target.Close()) complete = false;
    }
    stream.Reset();

    if (pool.found) {
        CRiffFile patch;
        if (patch.Open(path, RIFF_FORM_DLS, RIFF_OPEN_READWRITE, false)) {
            if (patch.Descend(FourCC("ptbl"), false)) {
                std::vector<uint8_t> bytes(8 + pool.cues.size() * pool.width);
                std::memcpy(bytes.data(), pool.header, 8);
                for (size_t i = 0; i < pool.cues.size(); ++i) {
                    if (pool.width == 8) {
                        StoreLE32(&bytes[8 + i * 8], 0);
                        StoreLE32(&bytes[8 + i * 8 + 4], static_cast<uint32_t>(pool.cues[i]));
                    } else {
                        StoreLE32(&bytes[8 + i * 4], static_cast<uint32_t>(pool.cues[i]));
                    }
                }
                patch.WriteRaw(bytes.data(), static_cast<uint32_t>(std::min<size_t>(bytes.size(), patch.CurrentSize())));
                patch.AscendCurrent();
            }
            if (!patch.Close()) complete = false;
        }
    }
    const HRESULT meta = ZuFMMeta_openAndWriteMetaStreamEx(path, FALSE, feeder.sampleRate(), instrument.source(), 1, 1);
    // A source that ran short has left waves without their samples: the file
    // is finished, but the save did not succeed.
    if (SUCCEEDED(meta) && shortSource) return ZU_E_FILE_READ;
    if (SUCCEEDED(meta) && !complete) return ZU_E_FILE_WRITE;
    return meta;
}

}  // namespace zu

// Writing SoundFont 2 files: "INFO" from the host's summary, the "pdta" list
// verbatim from the header image, "smpl" with the host's samples, and the
// sample headers moved to where their data now lies.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "kernel/byte_order.h"
#include "platform/platform.h"
#include "render/instrument_writer.h"
#include "render/progress_reporter.h"
#include "render/sample_feeder.h"
#include "render/sample_layout.h"
#include "riff/riff_handler.h"

namespace zu {
namespace {

constexpr uint32_t kHeaderSize = 46;

std::vector<uint8_t> ReadSampleHeaders(const CRiffInstrument& instrument) {
    std::vector<uint8_t> headers;
    CRiffMemFile image;
    if (!instrument.header() || !image.OpenMemoryReadOnly(instrument.header(), instrument.headerSize())) return headers;
    uint32_t size = 0, offset = 0;
    if (!image.Descend(FourCC("pdta"), true) || !image.Descend(FourCC("shdr"), false, &size, &offset)) return headers;
    const uint64_t present = offset < instrument.headerSize() ? std::min<uint64_t>(size, instrument.headerSize() - offset) : 0;
    headers.resize(static_cast<size_t>(present / kHeaderSize) * kHeaderSize);
    if (!headers.empty()) image.ReadRaw(headers.data(), static_cast<uint32_t>(headers.size()));
    return headers;
}

// One summary text of the host as an "INFO" sub-chunk: ANSI text with its
// terminator, zero-padded inside the chunk to an even size as SoundFont
// readers require; "ifil" is the version's 4 bytes as they came.
void WriteInfoItem(CRiffFile& target, uint32_t fourCC, const std::vector<WCHAR>& text) {
    if (fourCC == FourCC("ifil") || fourCC == FourCC("iver")) {
        uint8_t version[4] = {};
        for (size_t i = 0; i < 2 && i < text.size(); ++i) StoreLE16(version + 2 * i, static_cast<uint16_t>(text[i]));
        target.WriteChunk(fourCC, version, 4);
        return;
    }
    size_t chars = 0;
    while (chars < text.size() && text[chars]) ++chars;
    std::string ansi = platform::U16ToAnsi(std::u16string(text.begin(), text.begin() + chars));
    ansi.push_back('\0');
    if (ansi.size() & 1) ansi.push_back('\0');
    target.WriteChunk(fourCC, ansi.data(), static_cast<uint32_t>(ansi.size()));
}

void WriteSoundFontInfo(CRiffInstrument& instrument, CRiffFile& target) {
    if (!target.CreateList(FourCC("INFO"))) return;
    ComPtr<IZuReadGenericMeta> generic;
    IUnknown* source = instrument.source();
    if (source && SUCCEEDED(source->QueryInterface(IID_IZuReadGenericMeta, reinterpret_cast<void**>(generic.Put()))) && generic) {
        generic->Reset();
        for (int guard = 0; guard < 64; ++guard) {
            ComPtr<IStream> stream;
            if (generic->Next(stream.Put()) != S_OK || !stream) break;
            stream->Seek(0, ZU_STREAM_SEEK_SET, nullptr);
            GenericStreamHeader header{};
            ULONG got = 0;
            stream->Read(&header, sizeof header, &got);
            if (got != sizeof header || !ZuGuidEqual(header.kind, GUID_SUMMARYLIST)) continue;
            for (uint32_t i = 0; i < header.itemCount; ++i) {
                MetaRecordHeader record{};
                SummaryItem item{};
                stream->Read(&record, sizeof record, &got);
                if (got != sizeof record) break;
                stream->Read(&item, sizeof item, &got);
                if (got != sizeof item || item.textBytes > (1u << 20)) break;
                std::vector<WCHAR> text(item.textBytes / 2 + 1, 0);
                if (item.textBytes) stream->Read(text.data(), item.textBytes, &got);
                WriteInfoItem(target, item.fourCC, text);
            }
        }
    }
    target.AscendCurrent();
}

}  // namespace

HRESULT WriteSoundFont(CRiffInstrument& instrument, const WCHAR* path, IUnknown* audioSource, IZuProgressSink* progress) {
    std::vector<uint8_t> headers = ReadSampleHeaders(instrument);
    SampleLayout layout;
    const HRESULT planned = PlanSampleLayout(instrument, headers, &layout);
    if (FAILED(planned)) return planned;

    ComPtr<IZuReadAudioStream> stream;
    if (!audioSource || FAILED(audioSource->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(stream.Put()))) || !stream)
        return S_FALSE;
    SampleFeeder feeder;
    feeder.Open(stream.Get());
    HRESULT result = feeder.formatResult();
    ProgressReporter report(progress, static_cast<uint64_t>(feeder.blockAlign()) * feeder.frames() +
                                          instrument.headerSize() + instrument.wavePoolSize());
    report.Start();
    bool shortSource = false;
    bool complete = true;
    {
        CRiffFile target;
        if (!target.Open(path, RIFF_FORM_SOUNDFONT, RIFF_OPEN_CREATE, false)) return result;
        WriteSoundFontInfo(instrument, target);
        const bool sdtaFirst = (instrument.layout().flags & ZU_LAYOUT_SDTA_FIRST) != 0;
        if (!sdtaFirst) {
            target.Write(instrument.header(), instrument.headerSize());
            report.Add(instrument.headerSize());
        }
        target.CreateList(FourCC("sdta"));
        target.CreateChunk(FourCC("smpl"));
        auto write = [&target](const void* data, uint32_t bytes) { return target.Write(data, bytes) != 0; };
        auto advance = [&report](uint32_t bytes) { report.Add(bytes); };
        // Samples in the order of their data, each behind the silence that
        // stood before it.
        for (const SampleSlot& slot : layout.slots) {
            WriteSilence(write, slot.silenceBefore);
            const InstrumentWaveInfo& info = *instrument.Wave(slot.wave);
            feeder.FeedWave(info.firstFrame, slot.frames, info.format, write, advance, &shortSource);
        }
        WriteSilence(write, layout.silenceAfter);
        target.AscendCurrent();
        target.AscendCurrent();
        if (sdtaFirst) {
            target.Write(instrument.header(), instrument.headerSize());
            report.Add(instrument.headerSize());
        }
        // Gathered bytes reach the disk at the latest here; a failure means a short file.
        if (!target.Close()) complete = false;
    }
    stream.Reset();
    if (report.HasSink()) result = report.last();

    CRiffFile patch;
    if (!headers.empty() && patch.Open(path, RIFF_FORM_SOUNDFONT, RIFF_OPEN_READWRITE, false)) {
        if (patch.Descend(FourCC("pdta"), true) && patch.Descend(FourCC("shdr"), false)) {
            patch.WriteRaw(layout.headers.data(), static_cast<uint32_t>(std::min<size_t>(layout.headers.size(), patch.CurrentSize())));
            patch.AscendCurrent();
            patch.AscendCurrent();
        }
        if (!patch.Close()) complete = false;
    }
    if (SUCCEEDED(result) && shortSource) return ZU_E_FILE_READ;
    if (SUCCEEDED(result) && !complete) return ZU_E_FILE_WRITE;
    return result;
}

}  // namespace zu

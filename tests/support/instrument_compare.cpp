#include "support/instrument_compare.h"

#include <cstring>
#include <sstream>

#include "platform/platform.h"
#include "support/module_host.h"

namespace zu::test {

SeenFile SeeFile(int kind, const std::string& path) {
    SeenFile seen;
    OpenedFile f;
    OpenWith(kind, path, &f);
    seen.hr = f.hr;
    if (FAILED(f.hr) || !f.file) return seen;
    IZuReadMeta* meta = nullptr;
    if (FAILED(f.file->GetMeta(&meta)) || !meta) {
        seen.hr = E_FAIL;
        return seen;
    }
    IZuReadInstrumentMeta* im = nullptr;
    meta->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&im));
    ULONG waves = 0, instruments = 0;
    im->GetWaveCount(&waves);
    for (ULONG w = 0; w < waves; ++w) {
        InstrumentWaveInfo info{};
        im->GetWaveInfo(w, &info);
        SeenWave wave;
        wave.name = info.name;
        wave.format = info.format;
        OpenedFile one;
        OpenWith(kind, path + "?a&" + std::to_string(w), &one);
        if (IZuReadAudioStream* s = one.Stream()) {
            wave.samples = ReadWholeStream(s, 4096).bytes;
            s->Release();
        }
        seen.waves.push_back(wave);
    }
    im->GetInstrumentCount(&instruments);
    for (ULONG i = 0; i < instruments; ++i) {
        InstrumentInfo info{};
        im->GetInstrumentInfo(i, &info);
        SeenInstrument ins{info.name, info.bankMsb, info.bankLsb, info.program, info.drum, {}};
        for (ULONG r = 0; r < info.regionCount && r < 4096; ++r) {
            RegionInfo region{};
            if (im->GetRegionInfo(i, r, &region) != S_OK) break;
            SeenRegion seenRegion{region.keyLow, region.keyHigh, region.layerCount, {}};
            for (ULONG l = 0; l < region.layerCount && l < 64; ++l) {
                RegionWaveLink link{};
                im->GetRegionWaveLink(i, r, l, &link);
                seenRegion.waves.push_back(link.waveIndex);
            }
            ins.regions.push_back(seenRegion);
        }
        seen.instruments.push_back(ins);
    }
    IStream* summary = nullptr;
    if (SUCCEEDED(meta->GetSummaryStream(&summary)) && summary) {
        summary->Seek(0, ZU_STREAM_SEEK_SET, nullptr);
        SummaryStreamHeader header{};
        ULONG got = 0;
        summary->Read(&header, sizeof header, &got);
        for (uint32_t k = 0; k < header.itemCount && k < 256; ++k) {
            SummaryItem item{};
            summary->Read(&item, sizeof item, &got);
            std::basic_string<WCHAR> text(item.textBytes / 2, 0);
            if (item.textBytes) summary->Read(text.data(), item.textBytes, &got);
            while (!text.empty() && text.back() == 0) text.pop_back();
            seen.info.emplace_back(item.fourCC, text);
        }
        summary->Release();
    }
    im->Release();
    meta->Release();
    return seen;
}

std::string FirstDifference(const SeenFile& a, const SeenFile& b, bool compareInfo) {
    std::ostringstream d;
    if (a.waves.size() != b.waves.size()) return (d << "wave count " << a.waves.size() << " vs " << b.waves.size(), d.str());
    for (size_t w = 0; w < a.waves.size(); ++w) {
        if (a.waves[w].name != b.waves[w].name) return (d << "wave " << w << " name", d.str());
        if (std::memcmp(&a.waves[w].format, &b.waves[w].format, sizeof(WAVEFORMATEX)) != 0) return (d << "wave " << w << " format", d.str());
        if (a.waves[w].samples != b.waves[w].samples)
            return (d << "wave " << w << " samples (" << a.waves[w].samples.size() << " vs " << b.waves[w].samples.size() << " bytes)", d.str());
    }
    if (a.instruments.size() != b.instruments.size()) return (d << "instrument count", d.str());
    for (size_t i = 0; i < a.instruments.size(); ++i) {
        const auto &x = a.instruments[i], &y = b.instruments[i];
        if (x.name != y.name || x.bankMsb != y.bankMsb || x.bankLsb != y.bankLsb || x.program != y.program || x.drum != y.drum)
            return (d << "instrument " << i, d.str());
        if (x.regions.size() != y.regions.size()) return (d << "instrument " << i << " region count", d.str());
        for (size_t r = 0; r < x.regions.size(); ++r)
            if (x.regions[r].keyLow != y.regions[r].keyLow || x.regions[r].keyHigh != y.regions[r].keyHigh ||
                x.regions[r].layers != y.regions[r].layers || x.regions[r].waves != y.regions[r].waves)
                return (d << "instrument " << i << " region " << r, d.str());
    }
    if (compareInfo && a.info != b.info) return "INFO texts";
    return {};
}

}  // namespace zu::test

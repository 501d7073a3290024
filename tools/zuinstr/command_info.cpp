// zuinstr info: what an instrument file holds, as a host learns it through
// the metadata interfaces: INFO texts, instruments (or presets) with their
// regions, layers and the waves they play.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "instrument_session.h"

namespace zutool {
namespace {

std::string FourCCText(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((v >> (8 * i)) & 0xFF);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

// Reads the summary stream record by record, as its layout prescribes.
std::vector<std::pair<std::string, std::string>> ReadSummary(IZuReadMeta* meta) {
    std::vector<std::pair<std::string, std::string>> texts;
    IStream* stream = nullptr;
    if (FAILED(meta->GetSummaryStream(&stream)) || !stream) return texts;
    stream->Seek(0, ZU_STREAM_SEEK_SET, nullptr);
    SummaryStreamHeader header{};
    ULONG got = 0;
    if (stream->Read(&header, sizeof header, &got) == S_OK && got == sizeof header) {
        for (uint32_t i = 0; i < header.itemCount && i < 4096; ++i) {
            SummaryItem item{};
            if (FAILED(stream->Read(&item, sizeof item, &got)) || got != sizeof item) break;
            if (item.textBytes > 1 << 20) break;
            std::vector<WCHAR> text(item.textBytes / sizeof(WCHAR) + 1, 0);
            if (item.textBytes && (FAILED(stream->Read(text.data(), item.textBytes, &got)) || got != item.textBytes)) break;
            const std::string tag = FourCCText(item.fourCC);
            if ((tag == "ifil" || tag == "iver") && text.size() >= 2)  // a version: major and minor
                texts.emplace_back(tag, std::to_string(static_cast<unsigned>(text[0])) + "." + std::to_string(static_cast<unsigned>(text[1])));
            else
                texts.emplace_back(tag, Utf8(text.data()));
        }
    }
    stream->Release();
    return texts;
}

}  // namespace

int RunInfo(const Args& args) {
    if (args.positional.size() != 1) {
        std::fprintf(stderr, "zuinstr info: give one FILE (see 'zuinstr info --help')\n");
        return kExitUsage;
    }
    ModuleSession session;
    if (!session.Open(args)) return kExitRefused;
    OpenInstrument inst;
    HRESULT hr = inst.Open(session.module(), args.positional[0], -1);
    if (FAILED(hr)) return session.Refused(args.positional[0], hr);
    IZuReadMeta* meta = nullptr;
    hr = inst.file()->GetMeta(&meta);
    if (FAILED(hr) || !meta) return session.Refused("the metadata object", hr);
    IZuReadInstrumentMeta* im = nullptr;
    meta->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&im));
    const bool json = args.Has("--json");
    const auto summary = ReadSummary(meta);

    ULONG waveCount = 0, instrumentCount = 0;
    im->GetWaveCount(&waveCount);
    im->GetInstrumentCount(&instrumentCount);
    std::vector<std::string> waveNames(waveCount);
    for (ULONG w = 0; w < waveCount; ++w) {
        InstrumentWaveInfo info{};
        im->GetWaveInfo(w, &info);
        waveNames[w] = Utf8(info.name);
    }
    auto waveName = [&](uint32_t w) { return w < waveNames.size() ? waveNames[w] : std::string(); };

    if (json) {
        std::printf("{\"file\": %s, \"format\": %s, \"info\": {", JsonString(args.positional[0]).c_str(), JsonString(inst.formatName()).c_str());
        for (size_t i = 0; i < summary.size(); ++i)
            std::printf("%s%s: %s", i ? ", " : "", JsonString(summary[i].first).c_str(), JsonString(summary[i].second).c_str());
        std::printf("}, \"waveCount\": %lu, \"instruments\": [", static_cast<unsigned long>(waveCount));
    } else {
        std::printf("%s: %s\n", args.positional[0].c_str(), inst.formatName().c_str());
        for (const auto& t : summary) std::printf("  %s  %s\n", t.first.c_str(), t.second.c_str());
        std::printf("  %lu waves, %lu instruments\n", static_cast<unsigned long>(waveCount), static_cast<unsigned long>(instrumentCount));
    }
    for (ULONG i = 0; i < instrumentCount; ++i) {
        InstrumentInfo info{};
        im->GetInstrumentInfo(i, &info);
        const std::string name = Utf8(info.name);
        if (json)
            std::printf("%s{\"index\": %lu, \"name\": %s, \"bankMsb\": %u, \"bankLsb\": %u, \"program\": %u, \"drum\": %s, \"regions\": [",
                        i ? ", " : "", static_cast<unsigned long>(i), JsonString(name).c_str(), info.bankMsb, info.bankLsb,
                        info.program, info.drum ? "true" : "false");
        else
            std::printf("  instrument %lu: %s  bank %u/%u  program %u%s  %lu regions\n", static_cast<unsigned long>(i),
                        name.c_str(), info.bankMsb, info.bankLsb, info.program, info.drum ? "  drum" : "",
                        static_cast<unsigned long>(info.regionCount));
        for (ULONG r = 0; r < info.regionCount && r < 65536; ++r) {
            RegionInfo region{};
            if (im->GetRegionInfo(i, r, &region) != S_OK) break;
            if (json)
                std::printf("%s{\"keyLow\": %u, \"keyHigh\": %u, \"layers\": [", r ? ", " : "", region.keyLow, region.keyHigh);
            else
                std::printf("    region %lu: keys %u-%u, %u layer%s:", static_cast<unsigned long>(r), region.keyLow,
                            region.keyHigh, region.layerCount, region.layerCount == 1 ? "" : "s");
            for (ULONG l = 0; l < region.layerCount && l < 1024; ++l) {
                RegionWaveLink link{};
                if (im->GetRegionWaveLink(i, r, l, &link) != S_OK) break;
                if (json)
                    std::printf("%s{\"wave\": %u, \"waveName\": %s}", l ? ", " : "", link.waveIndex, JsonString(waveName(link.waveIndex)).c_str());
                else
                    std::printf(" %u (%s)", link.waveIndex, waveName(link.waveIndex).c_str());
            }
            std::printf(json ? "]}" : "\n");
        }
        if (json) std::printf("]}");
    }
    if (json) std::printf("]}\n");
    im->Release();
    meta->Release();
    return kExitOk;
}

}  // namespace zutool

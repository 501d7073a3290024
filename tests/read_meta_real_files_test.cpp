// Real SoundFonts and files another library writes: the presets, regions and
// wave links the module reports equal what a resolver of the test's own makes
// of the raw records an independent reader finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

#include "support/fixture_reader.h"
#include "support/module_host.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

struct ExpectedRegion {
    int keyLow, keyHigh;
    int sample;
};

// A resolver of the test's own: global preset zones and global instrument
// zones apply to the zones after them; ranges intersect; a zone plays when it
// has a sample, or (without one) when a key range was given.
using Table = std::map<uint16_t, uint16_t>;
void Combine(Table& t, uint16_t g, uint16_t amount) {
    if (g > 58) return;
    auto it = t.find(g);
    if (it == t.end()) {
        t[g] = amount;
    } else if (g == 43) {
        const int lo = std::max(it->second & 0xFF, amount & 0xFF), hi = std::min(it->second >> 8, amount >> 8);
        if (lo > hi) t.erase(it);
        else it->second = static_cast<uint16_t>(lo | (hi << 8));
    } else {
        it->second = static_cast<uint16_t>(it->second + amount);
    }
}
void Combine(Table& t, const Table& s) {
    for (const auto& [g, a] : s) Combine(t, g, a);
}

std::vector<ExpectedRegion> Resolve(const fixture::Sf2Contents& sf, size_t p) {
    std::vector<ExpectedRegion> out;
    const auto& preset = sf.presets[p];
    Table globals;
    for (size_t z = 0; z < preset.zones.size(); ++z) {
        Table zone;
        Combine(zone, globals);
        for (const auto& g : preset.zones[z].gens) Combine(zone, g.oper, g.amount);
        if (!zone.count(41)) {
            if (z == 0) Combine(globals, zone);
            continue;
        }
        const size_t ii = zone[41];
        if (ii >= sf.instruments.size()) continue;
        const auto& inst = sf.instruments[ii];
        for (size_t k = 0; k < inst.zones.size(); ++k) {
            Table region;
            Combine(region, zone);
            for (const auto& g : inst.zones[k].gens) Combine(region, g.oper, g.amount);
            const bool sampled = region.count(53) != 0;
            if (sampled && !region.count(43)) region[43] = 0x7F00;
            if (k == 0 && !sampled) {
                Combine(zone, region);
                continue;
            }
            if (!region.count(43)) continue;
            out.push_back({region[43] & 0xFF, region[43] >> 8, sampled ? region[53] : 0});
        }
    }
    return out;
}

void ExpectSoundFontMatches(const std::string& path) {
    const fixture::Sf2Contents sf = fixture::ReadSf2File(path);
    OpenedFile f;
    OpenWith(2, path, &f);
    ASSERT_EQ(f.hr, S_OK);
    IZuReadMeta* meta = nullptr;
    ASSERT_EQ(f.file->GetMeta(&meta), S_OK);
    IZuReadInstrumentMeta* im = nullptr;
    meta->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&im));
    ULONG count = 0;
    im->GetInstrumentCount(&count);
    ASSERT_EQ(count, sf.presets.size());
    size_t regions = 0;
    for (ULONG p = 0; p < count; ++p) {
        const auto expected = Resolve(sf, p);
        InstrumentInfo info{};
        im->GetInstrumentInfo(p, &info);
        ASSERT_EQ(info.regionCount, expected.size()) << "preset " << p;
        EXPECT_EQ(info.program, sf.presets[p].preset);
        EXPECT_EQ(uint32_t{info.drum}, sf.presets[p].bank == 128 ? 1u : 0u);
        for (ULONG r = 0; r < expected.size(); ++r) {
            RegionInfo region{};
            RegionWaveLink link{};
            ASSERT_EQ(im->GetRegionInfo(p, r, &region), S_OK);
            ASSERT_EQ(im->GetRegionWaveLink(p, r, 0, &link), S_OK);
            EXPECT_EQ(static_cast<int>(region.keyLow), expected[r].keyLow) << p << "/" << r;
            EXPECT_EQ(static_cast<int>(region.keyHigh), expected[r].keyHigh) << p << "/" << r;
            EXPECT_EQ(static_cast<int>(link.waveIndex), expected[r].sample) << p << "/" << r;
            ++regions;
        }
    }
    EXPECT_GT(regions, count);
    im->Release();
    meta->Release();
}

TEST(ReadMetaRealFiles, TimGM6mbPresetsAndRegions) {
    const std::string path = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (!std::ifstream(path).good()) GTEST_SKIP() << "timgm6mb-soundfont is not installed";
    ExpectSoundFontMatches(path);
}

// The large General MIDI SoundFont, when it is installed (the benchmark's file).
TEST(ReadMetaRealFiles, FluidR3PresetsAndRegions) {
    const std::string path = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (!std::ifstream(path).good()) GTEST_SKIP() << "fluid-soundfont-gm is not installed";
    ExpectSoundFontMatches(path);
}

#ifndef _WIN32
// DLS and GIG files written through another library's API: the instruments,
// regions and wave links the generator's manifest lists.
TEST(ReadMetaRealFiles, LibgigFilesMatchTheirManifest) {
    const char* build = std::getenv("ZU_BUILD_DIR");
    const std::string generator = std::string(build ? build : ".") + "/tests/libgig_fixture";
    if (!std::ifstream(generator).good()) GTEST_SKIP() << "the libgig fixture generator was not built";
    TempDir dir;
    for (const char* kind : {"dls", "gig2", "gig3", "gig4"}) {
        const bool gig = kind[0] == 'g';
        const std::string out = dir.File(std::string("m.") + kind).u8string();
        const std::string cmd = generator + " " + kind + " '" + out + "' --waves 3 --instruments 2 --regions 3 > /dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        const auto contents = fixture::ReadDlsFile(out);
        OpenedFile f;
        OpenWith(gig ? 1 : 0, out, &f);
        ASSERT_EQ(f.hr, S_OK) << kind;
        IZuReadMeta* meta = nullptr;
        ASSERT_EQ(f.file->GetMeta(&meta), S_OK);
        IZuReadInstrumentMeta* im = nullptr;
        meta->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&im));
        ULONG count = 0;
        im->GetInstrumentCount(&count);
        ASSERT_EQ(count, contents.instruments.size()) << kind;
        for (ULONG i = 0; i < count; ++i) {
            const auto& e = contents.instruments[i];
            InstrumentInfo info{};
            im->GetInstrumentInfo(i, &info);
            EXPECT_EQ(info.regionCount, e.regions.size());
            EXPECT_EQ(info.bankMsb, e.bankMsb & 0x1F);
            EXPECT_EQ(info.bankLsb, e.bankLsb & 0x3F);
            EXPECT_EQ(info.program, e.program & 0xFFFF);
            for (ULONG r = 0; r < e.regions.size(); ++r) {
                RegionInfo region{};
                RegionWaveLink link{};
                ASSERT_EQ(im->GetRegionInfo(i, r, &region), S_OK);
                ASSERT_EQ(im->GetRegionWaveLink(i, r, 0, &link), S_OK);
                EXPECT_EQ(region.keyLow, e.regions[r].keyLo);
                EXPECT_EQ(region.keyHigh, e.regions[r].keyHi);
                EXPECT_EQ(link.waveIndex, gig ? e.regions[r].gigWaves.at(0) : e.regions[r].wave) << kind;
                if (gig) {
                    uint32_t bits = 0;
                    for (uint8_t b : e.regions[r].dimensionBits) bits += b;
                    EXPECT_EQ(region.layerCount, 1u << (bits % 32)) << kind;
                }
            }
        }
        im->Release();
        meta->Release();
    }
}
#endif

}  // namespace
}  // namespace zu::test

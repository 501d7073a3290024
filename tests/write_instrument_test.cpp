// Saving instruments: files written from a read instrument's metadata and its
// pooled audio read back sample-exact with the same instruments; the bytes
// of the pool table, "data" chunks and sample headers are where they belong;
// edited audio lands in its wave and nowhere else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "instrument/riff_instrument.h"
#include "render/instrument_writer.h"
#include "support/fixture_builder.h"
#include "support/fixture_reader.h"
#include "support/host_objects.h"
#include "support/instrument_compare.h"
#include "support/module_host.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

using fixture::DlsDesc;
using fixture::WaveDesc;

// Saves what the module reads from src (its metadata and pooled audio, or the
// given replacements) as dst.
HRESULT Save(int kind, const std::string& src, const std::string& dst, IUnknown* audio = nullptr, IUnknown* metaOverride = nullptr) {
    OpenedFile f;
    OpenWith(kind, src, &f);
    if (FAILED(f.hr)) return f.hr;
    IZuReadMeta* meta = nullptr;
    f.file->GetMeta(&meta);
    IZuReadAudioStream* stream = f.Stream();
    IUnknown* metaSource = metaOverride ? metaOverride : static_cast<IUnknown*>(meta);
    CRiffInstrument instrument(metaSource, static_cast<InstrumentKind>(kind));
    const HRESULT hr = WriteInstrument(instrument, Widen(dst).c_str(), audio ? audio : static_cast<IUnknown*>(stream), nullptr);
    stream->Release();
    meta->Release();
    return hr;
}

std::string WriteSet(const TempDir& dir, const DlsDesc& desc, const std::string& name) {
    for (const auto& f : fixture::BuildDls(desc, name)) WriteFileBytes(dir.File(f.name), f.bytes);
    return dir.File(name).u8string();
}

void ExpectRoundTrip(int kind, const std::string& src, const std::string& dst, bool compareInfo) {
    ASSERT_EQ(Save(kind, src, dst), S_OK);
    const SeenFile before = SeeFile(kind, src), after = SeeFile(kind, dst);
    ASSERT_EQ(after.hr, S_OK);
    EXPECT_EQ(FirstDifference(before, after, compareInfo), "");
}

TEST(WriteInstrument, RoundTripsOfEveryLayout) {
    DlsDesc mixed;
    mixed.waves = {fixture::PatternWave("mono16", 1, 16, 44100, 1001, 1), fixture::PatternWave("stereo8", 2, 8, 22050, 333, 2),
                   fixture::PatternWave("mono8odd", 1, 8, 11025, 257, 4), fixture::PatternWave("stereo24", 2, 24, 48000, 99, 5)};
    const DlsDesc two = fixture::TwoWaveDls();
    mixed.instruments = two.instruments;
    mixed.info = {{"INAM", "Mixed"}, {"ICMT", "odd text"}};
    std::vector<std::pair<std::string, DlsDesc>> cases;
    cases.push_back({"plain.dls", mixed});
    DlsDesc poolFirst = mixed;
    poolFirst.ptblAfterWvpl = true;
    cases.push_back({"pool_first.dls", poolFirst});
    DlsDesc libgig = mixed;
    libgig.libgigOrder = true;
    cases.push_back({"libgig_order.dls", libgig});
    for (int major : {2, 3, 4}) {
        for (int width : {0, 4}) {
            DlsDesc gig = fixture::SmallGig(major);
            gig.waves = mixed.waves;
            gig.cueWidth = width;
            gig.crc3 = std::string(8 * gig.waves.size(), '\x5A');
            gig.einf = "extra";
            cases.push_back({"v" + std::to_string(major) + "_" + std::to_string(width) + ".gig", gig});
        }
    }
    DlsDesc ext = fixture::SmallGig(3);
    ext.waves = mixed.waves;
    ext.waves[1].fileIndex = 1;
    ext.extensionFileNames = {"ext.gx01"};
    ext.einf = "extra";
    cases.push_back({"extension.gig", ext});
    for (const auto& [name, desc] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string src = WriteSet(dir, desc, name);
        const int kind = name.find(".gig") != std::string::npos ? 1 : 0;
        ExpectRoundTrip(kind, src, dir.File("out_" + name).u8string(), true);
        // Saving the saved file changes nothing.
        ExpectRoundTrip(kind, dir.File("out_" + name).u8string(), dir.File("again_" + name).u8string(), true);
        EXPECT_EQ(ReadFileBytes(dir.File("out_" + name)), ReadFileBytes(dir.File("again_" + name)));
        const auto written = fixture::ReadDlsFile(dir.File("out_" + name).u8string());
        if (kind == 1) {
            // The pool table keeps the width it was read with.
            const auto read = fixture::ReadDlsFile(src);
            EXPECT_EQ(written.cueWidth, read.cueWidth);
            EXPECT_TRUE(written.has3crc);
            EXPECT_EQ(written.crc3, std::string(8 * desc.waves.size(), '\0'));
            EXPECT_EQ(written.einf, "extra");
            EXPECT_TRUE(written.extensionFileNames.empty());  // every wave now lies in the file itself
        }
        // The INFO list of the file that was read gives way to one from the
        // host's summary at the end of the form, and the side file lies beside it.
        EXPECT_EQ(written.topLevel.back(), "INFO");
        EXPECT_EQ(std::count(written.topLevel.begin(), written.topLevel.end(), "INFO"), 1);
        EXPECT_TRUE(std::filesystem::exists(dir.File("out_" + name + ".zul")));
        // The instrument chunks stand ahead of the pool, whatever the order read.
        EXPECT_LT(std::find(written.topLevel.begin(), written.topLevel.end(), "colh") - written.topLevel.begin(),
                  std::find(written.topLevel.begin(), written.topLevel.end(), "ptbl") - written.topLevel.begin());
    }
}

TEST(WriteInstrument, DataChunksPadsAndPoolTableBytes) {
    TempDir dir;
    DlsDesc desc;
    desc.waves = {fixture::PatternWave("a", 1, 16, 44100, 1000, 1), fixture::PatternWave("b", 1, 16, 44100, 501, 2), fixture::PatternWave("c", 1, 8, 8000, 301, 3)};
    const std::string src = WriteSet(dir, desc, "pads.dls");
    const std::string dst = dir.File("pads_out.dls").u8string();
    ASSERT_EQ(Save(0, src, dst), S_OK);
    const std::string bytes = ReadFileBytes(dir.File("pads_out.dls"));
    const auto c = fixture::ReadDlsFile(dst);
    ASSERT_EQ(c.waves.size(), 3u);
    EXPECT_EQ(c.waves[0].dataSize, 2000u);
    // An odd 16-bit frame count gets one zero byte inside the chunk, the pad outside.
    EXPECT_EQ(c.waves[1].dataSize, 1003u);
    EXPECT_EQ(bytes[c.waves[1].dataOffset + 1002], 0);
    EXPECT_EQ(bytes[c.waves[1].dataOffset + 1003], 0);
    // An 8-bit mono wave would grow by a frame: its pad byte stays outside.
    EXPECT_EQ(c.waves[2].dataSize, 301u);
    EXPECT_EQ(c.waves[2].data, desc.waves[2].data);
    for (size_t i = 0; i < c.waves.size(); ++i)
        EXPECT_EQ(c.wvplBase + c.waves[i].cueOffset, c.waves[i].listOffset) << "cue " << i;
    // Saving again keeps every frame count.
    ASSERT_EQ(Save(0, dst, dir.File("pads_again.dls").u8string()), S_OK);
    EXPECT_EQ(fixture::ReadDlsFile(dir.File("pads_again.dls").u8string()).waves[2].dataSize, 301u);
}

TEST(WriteInstrument, EditedAudioLandsInItsWaveOnly) {
    TempDir dir;
    DlsDesc desc;
    desc.waves = {fixture::PatternWave("a", 2, 16, 44100, 300, 1), fixture::PatternWave("b", 2, 16, 44100, 200, 2)};
    const std::string src = WriteSet(dir, desc, "edit.dls");
    OpenedFile f;
    OpenWith(0, src, &f);
    IZuReadAudioStream* s = f.Stream();
    StreamContents pool = ReadWholeStream(s, 4096);
    s->Release();
    // Invert every sample (as a host's edit would).
    std::string inverted = pool.bytes;
    for (size_t i = 0; i + 1 < inverted.size(); i += 2) {
        const int16_t v = static_cast<int16_t>(static_cast<uint8_t>(inverted[i]) | (static_cast<uint8_t>(inverted[i + 1]) << 8));
        const int16_t w = v == -32768 ? 32767 : static_cast<int16_t>(-v);
        inverted[i] = static_cast<char>(w & 0xFF);
        inverted[i + 1] = static_cast<char>((w >> 8) & 0xFF);
    }
    auto* audio = new MemoryAudioStream(pool.format, inverted);
    ASSERT_EQ(Save(0, src, dir.File("inv.dls").u8string(), audio), S_OK);
    const SeenFile after = SeeFile(0, dir.File("inv.dls").u8string());
    ASSERT_EQ(after.waves.size(), 2u);
    EXPECT_EQ(after.waves[0].samples + after.waves[1].samples, inverted);
    // A source that runs short leaves a finished file, and the save says so.
    audio->CutAt(350);
    EXPECT_EQ(Save(0, src, dir.File("short.dls").u8string(), audio), static_cast<HRESULT>(0x8004E008));
    audio->Release();
    // A source in another sample format is converted into each wave's format.
    std::string floats;
    for (size_t i = 0; i + 1 < pool.bytes.size(); i += 2) {
        const int16_t v = static_cast<int16_t>(static_cast<uint8_t>(pool.bytes[i]) | (static_cast<uint8_t>(pool.bytes[i + 1]) << 8));
        const float x = v / 32768.0f;
        floats.append(reinterpret_cast<const char*>(&x), 4);
    }
    WAVEFORMATEX flt{};
    ZuAudio_InitWfxFlex(&flt, sizeof flt, 3, 32, 44100, 2, 0);
    auto* floatAudio = new MemoryAudioStream(flt, floats);
    ASSERT_EQ(Save(0, src, dir.File("flt.dls").u8string(), floatAudio), S_OK);
    floatAudio->Release();
    EXPECT_EQ(FirstDifference(SeeFile(0, src), SeeFile(0, dir.File("flt.dls").u8string()), false), "");
}

TEST(WriteSoundFont, RoundTripKeepsInfoVersionAndEvenSizes) {
    TempDir dir;
    fixture::Sf2Desc desc = fixture::SmallSf2();
    desc.info.push_back({"ICMT", "odd"});
    desc.info.push_back({"ICOP", "even"});
    WriteFileBytes(dir.File("s.sf2"), fixture::BuildSf2(desc));
    const std::string src = dir.File("s.sf2").u8string(), dst = dir.File("s_out.sf2").u8string();
    ExpectRoundTrip(2, src, dst, true);
    const auto read = fixture::ReadSf2File(src), written = fixture::ReadSf2File(dst);
    ASSERT_FALSE(written.info.empty());
    EXPECT_EQ(written.info[0].first, "ifil");
    EXPECT_EQ(written.info[0].second, read.info[0].second);  // the same 4 bytes
    for (const auto& [id, payload] : written.info) EXPECT_EQ(payload.size() % 2, 0u) << id;
    EXPECT_EQ(written.pdtaOrder, read.pdtaOrder);
    for (size_t i = 0; i < read.samples.size(); ++i) {
        EXPECT_EQ(written.samples[i].start, read.samples[i].start);
        EXPECT_EQ(written.samples[i].loopStart, read.samples[i].loopStart);
    }
}

TEST(WriteSoundFont, SampleHeadersMoveWithTheirData) {
    TempDir dir;
    fixture::Sf2Desc desc = fixture::SmallSf2();
    // A third sample whose header comes first but whose data lies last, behind a 100-point gap.
    fixture::Sf2Sample late;
    late.name = "Late";
    late.data = fixture::PatternPoints(30, 9);
    late.loopStart = 5;
    late.loopEnd = 25;
    desc.samples.push_back(late);
    desc.samples[1].gapAfter = 100;
    fixture::Sf2Layout layout;
    WriteFileBytes(dir.File("o.sf2"), fixture::BuildSf2(desc, &layout));
    const std::string src = dir.File("o.sf2").u8string();
    // Unchanged lengths: every sample stays where its header points.
    ASSERT_EQ(Save(2, src, dir.File("same.sf2").u8string()), S_OK);
    const auto before = fixture::ReadSf2File(src), same = fixture::ReadSf2File(dir.File("same.sf2").u8string());
    ASSERT_EQ(same.samples.size(), before.samples.size());
    for (size_t i = 0; i < before.samples.size(); ++i) {
        EXPECT_EQ(same.samples[i].start, before.samples[i].start) << i;
        EXPECT_EQ(same.samples[i].end, before.samples[i].end) << i;
        EXPECT_EQ(same.samples[i].data, before.samples[i].data) << i;
    }
    // Sample 0 grows by 10 points: later samples and their loops move with it.
    OpenedFile f;
    OpenWith(2, src, &f);
    IZuReadMeta* meta = nullptr;
    f.file->GetMeta(&meta);
    std::vector<uint64_t> frames;
    for (const auto& s : before.samples) frames.push_back(s.end - s.start);
    frames[0] += 10;
    auto* resized = new ResizedMeta(meta, frames);
    IZuReadAudioStream* s = f.Stream();
    StreamContents pool = ReadWholeStream(s, 4096);
    s->Release();
    std::string grown = pool.bytes.substr(0, (frames[0] - 10) * 2) + std::string(20, '\x11') + pool.bytes.substr((frames[0] - 10) * 2);
    auto* audio = new MemoryAudioStream(pool.format, grown);
    ASSERT_EQ(Save(2, src, dir.File("grown.sf2").u8string(), audio, static_cast<IZuReadMeta*>(resized)), S_OK);
    audio->Release();
    resized->Release();
    meta->Release();
    const auto grownFile = fixture::ReadSf2File(dir.File("grown.sf2").u8string());
    EXPECT_EQ(grownFile.samples[0].end - grownFile.samples[0].start, frames[0]);
    for (size_t i = 1; i < before.samples.size(); ++i) {
        const int64_t shift = static_cast<int64_t>(grownFile.samples[i].start) - before.samples[i].start;
        EXPECT_EQ(shift, 10) << i;
        EXPECT_EQ(grownFile.samples[i].loopStart - grownFile.samples[i].start, before.samples[i].loopStart - before.samples[i].start) << i;
        EXPECT_EQ(grownFile.samples[i].data, before.samples[i].data) << i;
    }
}

// Two headers pointing into the same sample data cannot both keep their data
// in a rewritten "smpl": the save is refused before a file exists.
TEST(WriteSoundFont, SharedSampleDataIsRefused) {
    TempDir dir;
    fixture::Sf2Desc desc = fixture::SmallSf2();
    fixture::Sf2Sample alias;
    alias.name = "Alias";
    alias.explicitPosition = true;
    alias.start = 2;
    alias.end = 12;
    desc.samples.push_back(alias);
    WriteFileBytes(dir.File("shared.sf2"), fixture::BuildSf2(desc));
    EXPECT_EQ(Save(2, dir.File("shared.sf2").u8string(), dir.File("out.sf2").u8string()), static_cast<HRESULT>(0x8004E00BL));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.sf2")));
}

TEST(WriteSoundFont, RealSoundFontRoundTrip) {
    const std::string path = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (!std::ifstream(path).good()) GTEST_SKIP() << "timgm6mb-soundfont is not installed";
    TempDir dir;
    const std::string dst = dir.File("tim.sf2").u8string();
    ASSERT_EQ(Save(2, path, dst), S_OK);
    EXPECT_EQ(FirstDifference(SeeFile(2, path), SeeFile(2, dst), true), "");
    // Nothing moved: the sample chunk is the original's, byte for byte.
    const auto a = fixture::ReadSf2File(path), b = fixture::ReadSf2File(dst);
    EXPECT_EQ(a.smplSize, b.smplSize);
    ASSERT_EQ(a.samples.size(), b.samples.size());
    for (size_t i = 0; i < a.samples.size(); ++i) EXPECT_EQ(a.samples[i].start, b.samples[i].start);
}

}  // namespace
}  // namespace zu::test

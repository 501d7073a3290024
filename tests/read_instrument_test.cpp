// Reading instruments through the module as a host does: every wave of DLS,
// GIG and SoundFont 2 files comes back sample-exact against the bytes an
// independent reader finds in the same file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/fixture_builder.h"
#include "support/fixture_reader.h"
#include "support/module_host.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

using fixture::DlsDesc;
using fixture::WaveDesc;

// Writes a DLS or GIG file set into dir and returns the main file's path.
std::string WriteSet(const TempDir& dir, const DlsDesc& desc, const std::string& name) {
    for (const auto& f : fixture::BuildDls(desc, name)) WriteFileBytes(dir.File(f.name), f.bytes);
    return dir.File(name).u8string();
}

// Every wave, opened alone, equals the whole frames of its "data" chunk.
void ExpectWavesExact(int kind, const std::string& path, size_t expectedWaves) {
    const fixture::DlsContents contents = fixture::ReadDlsFile(path);
    ASSERT_EQ(contents.waves.size(), expectedWaves);
    for (size_t i = 0; i < contents.waves.size(); ++i) {
        const auto& w = contents.waves[i];
        OpenedFile f;
        OpenWith(kind, path + "?a&" + std::to_string(i), &f);
        ASSERT_EQ(f.hr, S_OK) << path << " wave " << i;
        IZuReadAudioStream* s = f.Stream();
        ASSERT_NE(s, nullptr);
        const StreamContents got = ReadWholeStream(s, 1000);
        s->Release();
        const size_t whole = w.blockAlign ? w.data.size() / w.blockAlign * w.blockAlign : 0;
        EXPECT_EQ(got.frames, w.blockAlign ? w.data.size() / w.blockAlign : 0) << "wave " << i;
        EXPECT_EQ(got.format.nChannels, w.channels);
        EXPECT_EQ(got.format.nSamplesPerSec, w.sampleRate);
        EXPECT_EQ(got.format.wBitsPerSample, w.bitsPerSample);
        EXPECT_TRUE(got.bytes == w.data.substr(0, whole)) << path << ": wave " << i << " differs";
    }
}

struct Variant {
    const char* label;
    int kind;
    DlsDesc desc;
};

std::vector<Variant> Variants() {
    std::vector<Variant> v;
    DlsDesc mixed;
    mixed.waves = {fixture::PatternWave("mono16", 1, 16, 44100, 1001, 1), fixture::PatternWave("stereo8", 2, 8, 22050, 333, 2),
                   fixture::PatternWave("stereo16", 2, 16, 48000, 77, 3), fixture::PatternWave("mono8odd", 1, 8, 11025, 257, 4)};
    v.push_back({"dls", 0, mixed});
    DlsDesc poolFirst = mixed;
    poolFirst.ptblAfterWvpl = true;
    v.push_back({"dls_pool_first", 0, poolFirst});
    DlsDesc dlsV3 = mixed;  // a DLS "vers" of major 3 still has 4-byte cues
    dlsV3.versionMS = 0x00030000;
    v.push_back({"dls_vers3", 0, dlsV3});
    DlsDesc libgigOrder = mixed;
    libgigOrder.libgigOrder = true;
    v.push_back({"dls_libgig_order", 0, libgigOrder});
    DlsDesc gig2 = fixture::SmallGig(2);
    gig2.waves = mixed.waves;
    v.push_back({"gig2", 1, gig2});
    DlsDesc gig3 = fixture::SmallGig(3);
    gig3.waves = mixed.waves;
    v.push_back({"gig3_wide_cues", 1, gig3});
    DlsDesc gig3narrow = gig3;
    gig3narrow.cueWidth = 4;  // as another tool writes version 3 and 4 files
    v.push_back({"gig3_narrow_cues", 1, gig3narrow});
    DlsDesc gig4 = fixture::SmallGig(4);
    gig4.waves = mixed.waves;
    gig4.cueWidth = 4;
    v.push_back({"gig4_narrow_cues", 1, gig4});
    DlsDesc ext = fixture::SmallGig(3);
    ext.waves = mixed.waves;
    ext.waves[1].fileIndex = 1;
    ext.waves[3].fileIndex = 2;
    ext.extensionFileNames = {"ext.gx01", "ext.gx02"};
    v.push_back({"gig3_extension_files", 1, ext});
    return v;
}

TEST(ReadInstrument, EveryWaveSampleExactInEveryLayout) {
    for (const Variant& variant : Variants()) {
        SCOPED_TRACE(variant.label);
        TempDir dir;
        const std::string path = WriteSet(dir, variant.desc, std::string(variant.label) + (variant.kind == 1 ? ".gig" : ".dls"));
        ExpectWavesExact(variant.kind, path, variant.desc.waves.size());
    }
}

TEST(ReadInstrument, PoolOfOneFormatIsTheWavesEndToEnd) {
    TempDir dir;
    DlsDesc desc;
    desc.waves = {fixture::PatternWave("a", 2, 16, 44100, 1000, 7), fixture::PatternWave("b", 2, 16, 44100, 1, 8), fixture::PatternWave("c", 2, 16, 44100, 4097, 9)};
    const std::string path = WriteSet(dir, desc, "pool.dls");
    std::string expected;
    for (const auto& w : desc.waves) expected += w.data;
    for (uint32_t readSize : {1u, 3u, 999u, 4096u, 100000u}) {
        OpenedFile f;
        OpenWith(0, path, &f);
        ASSERT_EQ(f.hr, S_OK);
        IZuReadAudioStream* s = f.Stream();
        const StreamContents got = ReadWholeStream(s, readSize);
        s->Release();
        EXPECT_EQ(got.frames, 5098u);
        EXPECT_TRUE(got.bytes == expected) << "reads of " << readSize;
    }
}

TEST(ReadInstrument, SoundFontSamplesOfRealFilesAreExact) {
    const std::string path = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (!std::ifstream(path).good()) GTEST_SKIP() << "timgm6mb-soundfont is not installed";
    const fixture::Sf2Contents contents = fixture::ReadSf2File(path);
    OpenedFile pool;
    OpenWith(2, path, &pool);
    ASSERT_EQ(pool.hr, S_OK);
    IZuContainerFile* c = pool.Container();
    ULONG count = 0;
    c->GetSubStreamCount(&count);
    c->Release();
    ASSERT_EQ(count, contents.samples.size());
    size_t checked = 0;
    for (size_t i = 0; i < contents.samples.size(); ++i) {
        const auto& sample = contents.samples[i];
        if (!sample.inRange) continue;
        OpenedFile f;
        OpenWith(2, path + "?a&" + std::to_string(i), &f);
        ASSERT_EQ(f.hr, S_OK);
        IZuReadAudioStream* s = f.Stream();
        const StreamContents got = ReadWholeStream(s, 4096);
        s->Release();
        ASSERT_EQ(got.format.nSamplesPerSec, sample.sampleRate);
        ASSERT_TRUE(got.bytes == sample.data) << "sample " << i << " " << sample.name;
        ++checked;
    }
    EXPECT_GT(checked, 100u);
}

TEST(ReadInstrument, SoundFontBuiltSamplesAndHeadersOutOfOrder) {
    TempDir dir;
    fixture::Sf2Desc desc = fixture::SmallSf2();
    fixture::Sf2Sample late;
    late.name = "Late";
    late.data = fixture::PatternPoints(30, 5);
    late.explicitPosition = true;
    late.start = 200;
    late.end = 230;
    desc.samples.insert(desc.samples.begin(), late);  // its header first, its data last
    WriteFileBytes(dir.File("s.sf2"), fixture::BuildSf2(desc));
    const std::string path = dir.File("s.sf2").u8string();
    const auto contents = fixture::ReadSf2File(path);
    for (size_t i = 0; i < contents.samples.size(); ++i) {
        OpenedFile f;
        OpenWith(2, path + "?a&" + std::to_string(i), &f);
        ASSERT_EQ(f.hr, S_OK);
        IZuReadAudioStream* s = f.Stream();
        const StreamContents got = ReadWholeStream(s, 7);
        s->Release();
        EXPECT_TRUE(got.bytes == contents.samples[i].data) << "sample " << i;
        EXPECT_EQ(got.format.nChannels, 1);
        EXPECT_EQ(got.format.wBitsPerSample, 16);
    }
}

#ifndef _WIN32
// Files that another library writes through its own API.
TEST(ReadInstrument, FilesWrittenByLibgigReadBackExactly) {
    const char* build = std::getenv("ZU_BUILD_DIR");
    const std::string generator = std::string(build ? build : ".") + "/tests/libgig_fixture";
    if (!std::ifstream(generator).good()) GTEST_SKIP() << "the libgig fixture generator was not built";
    TempDir dir;
    const struct {
        const char* kind;
        const char* options;
        int moduleKind;
    } cases[] = {
        {"dls", "--channels 1 --bits 16 --waves 3", 0}, {"dls", "--channels 2 --bits 8 --frames 1001", 0},
        {"dls", "--channels 2 --bits 24", 0}, {"gig2", "--channels 1 --bits 16", 1},
        {"gig3", "--channels 2 --bits 16", 1}, {"gig3", "--channels 1 --bits 24 --frames 1001", 1},
        {"gig4", "--channels 2 --bits 24", 1},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string out = dir.File(std::string("f") + std::to_string(n++) + (c.moduleKind ? ".gig" : ".dls")).u8string();
        const std::string cmd = generator + " " + c.kind + " '" + out + "' " + c.options + " > /dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        SCOPED_TRACE(cmd);
        const auto contents = fixture::ReadDlsFile(out);
        ExpectWavesExact(c.moduleKind, out, contents.waves.size());
    }
}
#endif

}  // namespace
}  // namespace zu::test

// The fixture builder's files read back with the fixture reader: every field
// round-trips, sizes and padding are as RIFF wants them, and the pool table,
// cue widths, chunk orders and extension files are where the builder says.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/fixture_builder.h"
#include "support/fixture_reader.h"

namespace zu::fixture {
namespace {

namespace fs = std::filesystem;

// A scratch folder of the test's own, removed afterwards.
class Scratch {
public:
    Scratch() {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = fs::temp_directory_path() /
                ("zu-fixture-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string Write(const std::string& relative, const std::string& bytes) const {
        const fs::path p = path_ / fs::u8path(relative);
        fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p.u8string();
    }

private:
    fs::path path_;
};

std::string Id(const std::string& bytes, uint64_t at) { return bytes.substr(static_cast<size_t>(at), 4); }

void ExpectWave(const DlsReadWave& got, const WaveDesc& want) {
    EXPECT_EQ(got.hasName, want.withInfo);
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.formatTag, want.formatTag);
    EXPECT_EQ(got.channels, want.channels);
    EXPECT_EQ(got.sampleRate, want.sampleRate);
    const uint16_t align = want.blockAlign ? want.blockAlign : static_cast<uint16_t>(want.channels * want.bitsPerSample / 8);
    EXPECT_EQ(got.blockAlign, align);
    EXPECT_EQ(got.bytesPerSecond, want.bytesPerSecond ? want.bytesPerSecond : want.sampleRate * align);
    EXPECT_EQ(got.bitsPerSample, want.bitsPerSample);
    EXPECT_EQ(got.extraSize, want.extraSize);
    EXPECT_EQ(got.hasData, want.withData);
    EXPECT_EQ(got.dataSize, want.data.size());
    EXPECT_EQ(got.data, want.data);
    EXPECT_EQ(got.hasEwav, !want.ewav.empty());
    EXPECT_EQ(got.ewav, want.ewav);
    EXPECT_EQ(got.fileIndex, want.fileIndex);
}

void ExpectInstrument(const DlsReadInstrument& got, const InstrumentDesc& want, const DlsDesc& desc) {
    EXPECT_EQ(got.hasName, !want.name.empty());
    EXPECT_EQ(got.name, want.name);
    ASSERT_TRUE(got.hasInsh);
    EXPECT_EQ(got.regionCount, want.regions.size());
    EXPECT_EQ(got.bankMsb, want.bankMsb);
    EXPECT_EQ(got.bankLsb, want.bankLsb);
    EXPECT_EQ(got.drum, want.drum);
    EXPECT_EQ(got.bank, BankWord(want.bankMsb, want.bankLsb, want.drum));
    EXPECT_EQ(got.program, want.program);
    ASSERT_EQ(got.regions.size(), want.regions.size());
    for (size_t r = 0; r < want.regions.size(); ++r) {
        SCOPED_TRACE("region " + std::to_string(r));
        const DlsReadRegion& g = got.regions[r];
        const RegionDesc& w = want.regions[r];
        EXPECT_EQ(g.listType, w.rgn2 ? "rgn2" : "rgn ");
        EXPECT_EQ(g.rgnh.size(), 12u);
        EXPECT_EQ(g.keyLo, w.keyLo);
        EXPECT_EQ(g.keyHi, w.keyHi);
        EXPECT_EQ(g.velLo, w.velLo);
        EXPECT_EQ(g.velHi, w.velHi);
        EXPECT_EQ(g.options, w.options);
        EXPECT_EQ(g.keyGroup, w.keyGroup);
        EXPECT_EQ(g.hasWlnk, !desc.gig || w.alsoWlnk);
        if (g.hasWlnk) {
            EXPECT_EQ(g.wave, w.wave);
            EXPECT_EQ(g.wlnkOptions, w.wlnkOptions);
            EXPECT_EQ(g.phaseGroup, w.phaseGroup);
            EXPECT_EQ(g.channel, w.channel);
        }
        EXPECT_EQ(g.has3lnk, desc.gig);
        if (desc.gig) {
            const int major = desc.MajorVersion();
            const size_t defs = major < 3 ? 5 : 8;
            EXPECT_EQ(g.lnk3.size(), major < 3 ? 172u : (major == 3 ? 1092u : 4164u));
            ASSERT_EQ(g.dimensionBits.size(), defs);
            unsigned sum = 0;
            for (size_t d = 0; d < defs; ++d) {
                EXPECT_EQ(g.dimensionBits[d], d < w.dimensionBits.size() ? w.dimensionBits[d] : 0);
                EXPECT_EQ(g.dimensionTypes[d], d < w.dimensionTypes.size() ? w.dimensionTypes[d] : 0);
                sum += g.dimensionBits[d];
            }
            EXPECT_EQ(g.dimensionRegionCount, 1u << sum);
            ASSERT_EQ(g.gigWaves.size(), major < 3 ? 32u : (major == 3 ? 256u : 1024u));
            for (size_t s = 0; s < g.gigWaves.size(); ++s) {
                EXPECT_EQ(g.gigWaves[s], s < w.gigWaves.size() ? w.gigWaves[s] : 0u) << "slot " << s;
            }
        }
    }
}

void ExpectRoundTrip(const DlsContents& got, const DlsDesc& desc) {
    EXPECT_EQ(got.gig, desc.gig);
    EXPECT_EQ(got.hasVers, desc.hasVers);
    if (desc.hasVers) {
        EXPECT_EQ(got.versionMS, desc.versionMS);
        EXPECT_EQ(got.versionLS, desc.versionLS);
    }
    EXPECT_TRUE(got.hasColh);
    EXPECT_EQ(got.instrumentCount, desc.instruments.size());
    EXPECT_EQ(got.info, desc.info);
    EXPECT_EQ(got.ptblHeaderSize, 8u);
    EXPECT_EQ(got.cueCount, desc.waves.size());
    EXPECT_EQ(got.cueWidth, desc.EffectiveCueWidth());
    EXPECT_EQ(got.extensionFileNames, desc.extensionFileNames);
    EXPECT_EQ(got.has3crc, !desc.crc3.empty());
    EXPECT_EQ(got.crc3, desc.crc3);
    EXPECT_EQ(got.hasEinf, !desc.einf.empty());
    EXPECT_EQ(got.einf, desc.einf);
    ASSERT_EQ(got.waves.size(), desc.waves.size());
    for (size_t i = 0; i < desc.waves.size(); ++i) {
        SCOPED_TRACE("wave " + std::to_string(i));
        ExpectWave(got.waves[i], desc.waves[i]);
    }
    ASSERT_EQ(got.instruments.size(), desc.instruments.size());
    for (size_t i = 0; i < desc.instruments.size(); ++i) {
        SCOPED_TRACE("instrument " + std::to_string(i));
        ExpectInstrument(got.instruments[i], desc.instruments[i], desc);
    }
}

// The builder's layout against the bytes themselves and the reader's view.
void ExpectLayout(const std::vector<BuiltFile>& files, const DlsLayout& layout, const DlsContents& got) {
    const std::string& main = files[0].bytes;
    EXPECT_EQ(Id(main, layout.ptblDataOffset - 8), "ptbl");
    EXPECT_EQ(layout.ptblDataOffset, got.ptblDataOffset);
    EXPECT_EQ(layout.ptblSize, got.ptblSize);
    EXPECT_EQ(Id(main, layout.wvplBase - 12), "LIST");
    EXPECT_EQ(Id(main, layout.wvplBase - 4), "wvpl");
    EXPECT_EQ(layout.wvplBase, got.wvplBase);
    EXPECT_EQ(layout.headerImageEnd, got.headerImageEnd);
    ASSERT_EQ(layout.waves.size(), got.waves.size());
    for (size_t i = 0; i < got.waves.size(); ++i) {
        SCOPED_TRACE("wave " + std::to_string(i));
        const WaveLocation& loc = layout.waves[i];
        EXPECT_EQ(loc.fileIndex, got.waves[i].fileIndex);
        EXPECT_EQ(loc.dataOffset, got.waves[i].dataOffset);
        EXPECT_EQ(loc.dataSize, got.waves[i].dataSize);
        EXPECT_EQ(layout.cueOffsets[i], got.waves[i].cueOffset);
        EXPECT_EQ(layout.waveListOffsets[i], got.waves[i].listOffset);
        const std::string& file = files.at(loc.fileIndex).bytes;
        EXPECT_EQ(Id(file, loc.dataOffset - 8), "data");
        EXPECT_EQ(GetU32(file, loc.dataOffset - 4), loc.dataSize);
        EXPECT_EQ(file.substr(static_cast<size_t>(loc.dataOffset), loc.dataSize), got.waves[i].data);
        EXPECT_EQ(layout.fileWvplBase.at(loc.fileIndex) + layout.cueOffsets[i], layout.waveListOffsets[i]);
        EXPECT_EQ(Id(file, layout.waveListOffsets[i]), "LIST");
        EXPECT_EQ(Id(file, layout.waveListOffsets[i] + 8), "wave");
    }
    for (const auto& f : files) EXPECT_EQ(GetU32(f.bytes, 4) + 8ull, f.bytes.size()) << f.name;
}

// ---- RIFF writer -----------------------------------------------------------

TEST(FixtureRiffWriter, OddChunkIsPaddedOutsideItsSize) {
    RiffWriter w;
    w.BeginForm("TEST");
    w.Chunk("abcd", "xyz");
    w.End();
    const std::string b = w.Take();
    ASSERT_EQ(b.size(), 24u);
    EXPECT_EQ(Id(b, 0), "RIFF");
    EXPECT_EQ(GetU32(b, 4), 16u);  // type + header + 3 bytes + pad
    EXPECT_EQ(Id(b, 8), "TEST");
    EXPECT_EQ(Id(b, 12), "abcd");
    EXPECT_EQ(GetU32(b, 16), 3u);
    EXPECT_EQ(b.substr(20, 3), "xyz");
    EXPECT_EQ(b[23], '\0');
}

TEST(FixtureRiffWriter, NestedListSizesArePatched) {
    RiffWriter w;
    w.BeginForm("TEST");
    w.BeginList("outr");
    w.BeginList("innr");
    w.Chunk("one ", "1");
    w.End();
    w.Chunk("two ", "22");
    w.End();
    w.End();
    const std::string b = w.Take();
    const RiffNode root = ParseRiff(b);
    ASSERT_EQ(root.children.size(), 1u);
    const RiffNode& outer = root.children[0];
    EXPECT_EQ(outer.type, "outr");
    EXPECT_EQ(outer.size, 4u + (12 + 10) + 10);
    ASSERT_EQ(outer.children.size(), 2u);
    EXPECT_EQ(outer.children[0].size, 4u + 10);  // counts the inner pad byte
    EXPECT_EQ(outer.children[1].offset, outer.children[0].offset + 8 + 14);
}

TEST(FixtureRiffWriter, RejectsBadUse) {
    RiffWriter w;
    EXPECT_THROW(w.BeginChunk("abc"), std::invalid_argument);
    EXPECT_THROW(w.End(), std::logic_error);
    w.BeginChunk("abcd");
    EXPECT_THROW(w.Take(), std::logic_error);
}

// ---- DLS ---------------------------------------------------------------------

TEST(FixtureDls, TwoWaveDlsRoundTripsEveryField) {
    const DlsDesc desc = TwoWaveDls();
    DlsLayout layout;
    const auto files = BuildDls(desc, "two.dls", &layout);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "two.dls");
    const DlsContents got = ReadDlsSet(files);
    ExpectRoundTrip(got, desc);
    ExpectLayout(files, layout, got);
    EXPECT_FALSE(got.gig);
    EXPECT_EQ(got.topLevel, (std::vector<std::string>{"colh", "vers", "INFO", "lins", "ptbl", "wvpl"}));
    EXPECT_EQ(got.ptblSize, 8u + 4 * 2);
    EXPECT_EQ(layout.headerImageEnd, got.ptblOffset);
    EXPECT_EQ(got.waves[0].chunkOrder, (std::vector<std::string>{"fmt ", "INFO", "data"}));
    EXPECT_EQ(got.waves[0].fmt.size(), 16u);
    EXPECT_EQ(got.instruments[0].chunkOrder, (std::vector<std::string>{"insh", "lrgn", "INFO"}));
}

TEST(FixtureDls, OddDataIsPaddedOutsideTheDataChunk) {
    const DlsDesc desc = TwoWaveDls();
    DlsLayout layout;
    const std::string b = BuildDlsBytes(desc, &layout);
    const WaveLocation& odd = layout.waves[1];
    ASSERT_EQ(odd.dataSize, 7u);
    EXPECT_EQ(GetU32(b, odd.dataOffset - 4), 7u);
    EXPECT_EQ(b[static_cast<size_t>(odd.dataOffset + 7)], '\0');
    // "data" is the last chunk of its wave list, whose size counts the pad byte.
    const uint64_t listEnd = layout.waveListOffsets[1] + 8 + GetU32(b, layout.waveListOffsets[1] + 4);
    EXPECT_EQ(listEnd, odd.dataOffset + 8);
    EXPECT_EQ(GetU32(b, layout.waveListOffsets[1] + 4) % 2, 0u);
}

TEST(FixtureDls, CueWidthFollowsKindAndVersion) {
    struct Case {
        bool gig;
        uint32_t major;
        int forced;
        int width;
    };
    const Case cases[] = {{false, 1, 0, 4}, {false, 3, 0, 4}, {true, 2, 0, 4}, {true, 3, 0, 8},
                          {true, 4, 0, 8},  {true, 3, 4, 4},  {false, 1, 8, 8}, {true, 2, 8, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.gig) + " v" + std::to_string(c.major) + " forced " + std::to_string(c.forced));
        DlsDesc desc = c.gig ? SmallGig(static_cast<int>(c.major)) : TwoWaveDls();
        desc.versionMS = c.major << 16;
        desc.cueWidth = c.forced;
        DlsLayout layout;
        const auto files = BuildDls(desc, "f", &layout);
        const DlsContents got = ReadDlsSet(files);
        EXPECT_EQ(desc.EffectiveCueWidth(), c.width);
        EXPECT_EQ(got.cueWidth, c.width);
        EXPECT_EQ(got.ptblSize, 8u + static_cast<uint32_t>(c.width) * 2);
        ExpectRoundTrip(got, desc);
        ExpectLayout(files, layout, got);
    }
    DlsDesc bad = TwoWaveDls();
    bad.cueWidth = 6;
    EXPECT_THROW(BuildDlsBytes(bad), std::invalid_argument);
}

TEST(FixtureDls, NoVersChunkMeansVersionZero) {
    DlsDesc desc = SmallGig(3);
    desc.hasVers = false;
    EXPECT_EQ(desc.MajorVersion(), 0);
    const DlsContents got = ReadDlsSet(BuildDls(desc, "f"));
    EXPECT_FALSE(got.hasVers);
    EXPECT_EQ(got.cueWidth, 4);
    EXPECT_EQ(got.instruments[0].regions[0].lnk3.size(), 172u);
    ExpectRoundTrip(got, desc);
}

TEST(FixtureDls, PoolTableAfterWavePool) {
    DlsDesc desc = TwoWaveDls();
    desc.ptblAfterWvpl = true;
    DlsLayout layout;
    const auto files = BuildDls(desc, "f", &layout);
    const DlsContents got = ReadDlsSet(files);
    EXPECT_EQ(got.topLevel, (std::vector<std::string>{"colh", "vers", "INFO", "lins", "wvpl", "ptbl"}));
    EXPECT_EQ(layout.headerImageEnd, got.wvplOffset);
    EXPECT_LT(got.wvplOffset, got.ptblOffset);
    ExpectRoundTrip(got, desc);
    ExpectLayout(files, layout, got);
}

TEST(FixtureDls, LibgigOrderForDls) {
    DlsDesc desc = TwoWaveDls();
    desc.libgigOrder = true;
    DlsLayout layout;
    const auto files = BuildDls(desc, "f", &layout);
    const DlsContents got = ReadDlsSet(files);
    EXPECT_EQ(got.topLevel, (std::vector<std::string>{"lins", "ptbl", "wvpl", "INFO", "vers", "colh"}));
    EXPECT_EQ(got.instruments[0].chunkOrder, (std::vector<std::string>{"lrgn", "INFO", "insh"}));
    EXPECT_EQ(layout.headerImageEnd, got.ptblOffset);
    ExpectRoundTrip(got, desc);
    ExpectLayout(files, layout, got);
}

TEST(FixtureDls, LibgigOrderForGig) {
    DlsDesc desc = SmallGig(3);
    desc.libgigOrder = true;
    desc.ptblAfterWvpl = true;
    DlsLayout layout;
    const auto files = BuildDls(desc, "f", &layout);
    const DlsContents got = ReadDlsSet(files);
    EXPECT_EQ(got.topLevel,
              (std::vector<std::string>{"INFO", "vers", "colh", "dlid", "lins", "wvpl", "ptbl", "3crc", "einf"}));
    EXPECT_EQ(got.instruments[0].chunkOrder, (std::vector<std::string>{"INFO", "insh", "lrgn"}));
    ExpectRoundTrip(got, desc);
    ExpectLayout(files, layout, got);
}

TEST(FixtureDls, WaveFormatFields) {
    DlsDesc desc;
    WaveDesc fl;
    fl.name = "Float";
    fl.formatTag = 3;
    fl.channels = 2;
    fl.bitsPerSample = 32;
    fl.sampleRate = 96000;
    fl.data = PatternBytes(40, 9);
    WaveDesc extra;
    extra.name = "Extra";
    extra.extraSize = 2;
    extra.blockAlign = 3;  // deliberately inconsistent
    extra.bytesPerSecond = 1234;
    extra.data = PatternBytes(9, 10);
    WaveDesc raw;
    raw.name = "Raw";
    raw.fmtRaw = std::string("\x01\x00\x01\x00\x44\xac\x00\x00\x88\x58\x01", 11);  // short, odd
    raw.data = PatternBytes(4, 11);
    desc.waves = {fl, extra, raw};
    const DlsContents got = ReadDlsSet(BuildDls(desc, "f"));
    ASSERT_EQ(got.waves.size(), 3u);
    ExpectWave(got.waves[0], fl);
    EXPECT_EQ(got.waves[0].fmt.size(), 18u);
    ExpectWave(got.waves[1], extra);
    EXPECT_EQ(got.waves[1].fmt.size(), 20u);
    EXPECT_EQ(got.waves[2].fmt, raw.fmtRaw);
    EXPECT_EQ(got.waves[2].sampleRate, 44100u);
    EXPECT_EQ(got.waves[2].blockAlign, 0u);  // beyond the short chunk
    EXPECT_EQ(got.waves[2].data, raw.data);
}

TEST(FixtureDls, WaveWithoutInfoOrDataAndExtraChunks) {
    DlsDesc desc;
    WaveDesc a;
    a.withInfo = false;
    a.data = PatternBytes(6, 1);
    a.extraChunks = {{"smpl", PatternBytes(36, 2)}, {"odd ", "abc"}};
    a.trailingChunks = {{"3gix", U32(7)}};
    WaveDesc b;
    b.name = "";
    b.withData = false;
    desc.waves = {a, b};
    DlsLayout layout;
    const auto files = BuildDls(desc, "f", &layout);
    const DlsContents got = ReadDlsSet(files);
    ASSERT_EQ(got.waves.size(), 2u);
    EXPECT_EQ(got.waves[0].chunkOrder, (std::vector<std::string>{"fmt ", "smpl", "odd ", "data", "3gix"}));
    ExpectWave(got.waves[0], a);
    EXPECT_TRUE(got.waves[1].hasName);
    EXPECT_EQ(got.waves[1].name, "");
    EXPECT_FALSE(got.waves[1].hasData);
    EXPECT_EQ(layout.waves[1].dataSize, 0u);
    EXPECT_EQ(got.instrumentCount, 0u);
}

TEST(FixtureDls, MissingPoolChunksAndExtraTopChunks) {
    DlsDesc desc = TwoWaveDls();
    desc.extraTopChunks = {{"zzzz", "odd"}};
    DlsLayout layout;
    const std::string withExtra = BuildDlsBytes(desc, &layout);
    const RiffNode root = ParseRiff(withExtra);
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"colh", "vers", "INFO", "lins", "zzzz", "ptbl", "wvpl"}));
    EXPECT_LT(FindChunk(root, "zzzz")->offset, layout.headerImageEnd);

    desc.withPtbl = false;
    EXPECT_THROW(ReadDls(BuildDlsBytes(desc), nullptr), FixtureError);
    desc.withPtbl = true;
    desc.withWvpl = false;
    EXPECT_THROW(ReadDls(BuildDlsBytes(desc), nullptr), FixtureError);
}

// ---- GIG ---------------------------------------------------------------------

TEST(FixtureGig, SmallGigRoundTripsForEachVersion) {
    for (int major : {2, 3, 4}) {
        SCOPED_TRACE("major " + std::to_string(major));
        const DlsDesc desc = SmallGig(major);
        DlsLayout layout;
        const auto files = BuildDls(desc, "small.gig", &layout);
        const DlsContents got = ReadDlsSet(files);
        EXPECT_TRUE(got.gig);
        EXPECT_EQ(got.versionMS >> 16, static_cast<uint32_t>(major));
        EXPECT_EQ(got.topLevel,
                  (std::vector<std::string>{"colh", "vers", "dlid", "INFO", "lins", "ptbl", "wvpl", "3crc", "einf"}));
        EXPECT_EQ(got.cueWidth, major >= 3 ? 8 : 4);
        EXPECT_EQ(got.waves[0].chunkOrder, (std::vector<std::string>{"fmt ", "INFO", "ewav", "data"}));
        EXPECT_EQ(GetU32(got.waves[0].ewav, 0), 0u);
        ExpectRoundTrip(got, desc);
        ExpectLayout(files, layout, got);
        const RiffNode root = ParseRiff(files[0].bytes);
        EXPECT_EQ(FindChunk(root, "dlid")->size, 16u);
        EXPECT_EQ(FindChunk(root, "einf")->size, 21u);  // odd: padded after it
    }
}

TEST(FixtureGig, DimensionTableEdges) {
    DlsDesc desc = SmallGig(3);
    RegionDesc& r = desc.instruments[0].regions[0];
    r.dimensionBits = {1, 2, 0, 0, 0, 0, 0, 3};
    r.gigWaves.assign(256, 0);
    for (uint32_t i = 0; i < 256; ++i) r.gigWaves[i] = i % 2;
    r.dimensionRegionCount = 17;  // a count the file says, not the bits
    r.rgn2 = true;
    const DlsContents got = ReadDlsSet(BuildDls(desc, "f"));
    const DlsReadRegion& g = got.instruments[0].regions[0];
    EXPECT_EQ(g.listType, "rgn2");
    EXPECT_EQ(g.dimensionRegionCount, 17u);
    EXPECT_EQ(g.dimensionBits, r.dimensionBits);
    EXPECT_EQ(g.gigWaves, r.gigWaves);

    r.gigWaves.push_back(0);
    EXPECT_THROW(BuildDlsBytes(desc), std::invalid_argument);
    DlsDesc old = SmallGig(2);
    old.instruments[0].regions[0].dimensionBits = {1, 1, 1, 1, 1, 1};
    EXPECT_THROW(BuildDlsBytes(old), std::invalid_argument);
}

DlsDesc ExtensionGig() {
    DlsDesc desc = SmallGig(3);
    desc.extensionFileNames = {"ext.gx01", "sub\\ext.gx02"};
    WaveDesc c;
    c.name = "InExt1";
    c.fileIndex = 1;
    c.channels = 2;
    c.data = PatternBytes(13, 61);  // odd
    WaveDesc d;
    d.name = "InExt2";
    d.fileIndex = 2;
    d.bitsPerSample = 24;
    d.data = PatternBytes(9, 62);
    WaveDesc e;
    e.name = "AlsoExt1";
    e.fileIndex = 1;
    e.data = PatternBytes(4, 63);
    // Pool-table order mixes the files.
    desc.waves = {desc.waves[0], c, d, desc.waves[1], e};
    desc.instruments[0].regions[0].gigWaves = {2, 4};
    return desc;
}

TEST(FixtureGig, ExtensionFilesInMemory) {
    const DlsDesc desc = ExtensionGig();
    DlsLayout layout;
    const auto files = BuildDls(desc, "big.gig", &layout);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1].name, "ext.gx01");
    EXPECT_EQ(files[2].name, "sub\\ext.gx02");
    for (size_t k = 1; k < files.size(); ++k) {
        const RiffNode root = ParseRiff(files[k].bytes);
        EXPECT_EQ(root.type, "DLS ");
        EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"wvpl"}));
    }
    const DlsContents got = ReadDlsSet(files);
    EXPECT_EQ(got.topLevel,
              (std::vector<std::string>{"colh", "vers", "dlid", "xfil", "INFO", "lins", "ptbl", "wvpl", "3crc", "einf"}));
    ExpectRoundTrip(got, desc);
    ExpectLayout(files, layout, got);
    // The second wave of extension file 1 lies after the first in that file.
    EXPECT_EQ(layout.cueOffsets[1], 0u);
    EXPECT_GT(layout.cueOffsets[4], 0u);
    const RiffNode main = ParseRiff(files[0].bytes);
    EXPECT_EQ(FindChunk(main, "xfil")->size, 4u + 2 * 144);
}

TEST(FixtureGig, ExtensionFilesOnDisk) {
    const DlsDesc desc = ExtensionGig();
    const auto files = BuildDls(desc, "big.gig", nullptr);
    Scratch dir;
    std::string mainPath;
    for (const auto& f : files) {
        std::string relative = f.name;
        for (char& c : relative) {
            if (c == '\\') c = '/';
        }
        const std::string p = dir.Write(relative, f.bytes);
        if (mainPath.empty()) mainPath = p;
    }
    ExpectRoundTrip(ReadDlsFile(mainPath), desc);
}

TEST(FixtureGig, ForcedNarrowCuesLoseTheFileIndex) {
    DlsDesc desc = ExtensionGig();
    desc.cueWidth = 4;
    // Cue offsets of extension waves then point into the main file's pool.
    const auto files = BuildDls(desc, "f", nullptr);
    const RiffNode main = ParseRiff(files[0].bytes);
    const RiffNode* ptbl = FindChunk(main, "ptbl");
    EXPECT_EQ(ptbl->size, 8u + 4 * 5);
}

TEST(FixtureGig, RejectsUnlistedExtensionFile) {
    DlsDesc desc = SmallGig(3);
    desc.waves[1].fileIndex = 1;
    EXPECT_THROW(BuildDlsBytes(desc), std::invalid_argument);
    DlsDesc longName = SmallGig(3);
    longName.extensionFileNames = {std::string(144, 'x')};
    EXPECT_THROW(BuildDlsBytes(longName), std::invalid_argument);
}

// ---- Fixture reader on malformed input --------------------------------------

TEST(FixtureReader, RejectsMalformedFiles) {
    EXPECT_THROW(ParseRiff("RIFF"), FixtureError);
    EXPECT_THROW(ParseRiff(std::string("RIFX\x04\x00\x00\x00WAVE", 12)), FixtureError);
    EXPECT_THROW(ParseRiff(std::string("RIFF\x40\x00\x00\x00WAVE", 12)), FixtureError);

    std::string b = BuildDlsBytes(TwoWaveDls());
    const RiffNode root = ParseRiff(b);
    // A chunk that runs past its parent.
    std::string pastParent = b;
    const RiffNode* colh = FindChunk(root, "colh");
    PatchU32(pastParent, colh->offset + 4, 0x1000000);
    EXPECT_THROW(ParseRiff(pastParent), FixtureError);
    // A pool table whose size fits neither cue width.
    std::string badPtbl = b;
    const RiffNode* ptbl = FindChunk(root, "ptbl");
    PatchU32(badPtbl, ptbl->dataOffset + 4, 3);
    EXPECT_THROW(ReadDls(badPtbl, nullptr), FixtureError);
    // A cue that does not point at a wave list.
    std::string badCue = b;
    PatchU32(badCue, ptbl->dataOffset + 8, 2);
    EXPECT_THROW(ReadDls(badCue, nullptr), FixtureError);
    // A form of another type.
    EXPECT_THROW(ReadDls(BuildSf2(SmallSf2()), nullptr), FixtureError);
    EXPECT_THROW(ReadSf2(b), FixtureError);
    // An extension file the set does not hold.
    auto files = BuildDls(ExtensionGig(), "f", nullptr);
    files.pop_back();
    EXPECT_THROW(ReadDlsSet(files), FixtureError);
}

TEST(FixtureReader, ToleratesAMissingFinalPadByte) {
    RiffWriter w;
    w.BeginForm("TEST");
    w.Chunk("odd ", "abc");
    w.End();
    std::string b = w.Take();
    b.pop_back();
    PatchU32(b, 4, GetU32(b, 4) - 1);
    const RiffNode root = ParseRiff(b);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(ChunkData(b, root.children[0]), "abc");
}

// ---- SoundFont 2 -------------------------------------------------------------

void ExpectZones(const std::vector<Sf2ReadZone>& got, const std::vector<Sf2Zone>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t z = 0; z < want.size(); ++z) {
        ASSERT_EQ(got[z].gens.size(), want[z].gens.size()) << "zone " << z;
        EXPECT_EQ(got[z].modIndex, 0u);
        for (size_t g = 0; g < want[z].gens.size(); ++g) {
            EXPECT_EQ(got[z].gens[g].oper, want[z].gens[g].oper);
            EXPECT_EQ(got[z].gens[g].amount, want[z].gens[g].amount);
        }
    }
}

void ExpectSf2RoundTrip(const Sf2Contents& got, const Sf2Desc& desc, const Sf2Layout& layout) {
    EXPECT_EQ(got.info, desc.info);
    EXPECT_EQ(got.smplDataOffset, layout.smplDataOffset);
    EXPECT_EQ(got.smplSize, layout.smplSize);
    EXPECT_EQ(got.pdtaOffset, layout.pdtaOffset);
    EXPECT_EQ(got.pdtaSize, layout.pdtaSize);
    EXPECT_EQ(got.pdtaOrder,
              (std::vector<std::string>{"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"}));
    ASSERT_EQ(got.samples.size(), desc.samples.size());
    for (size_t i = 0; i < desc.samples.size(); ++i) {
        SCOPED_TRACE("sample " + std::to_string(i));
        const Sf2ReadSample& g = got.samples[i];
        const Sf2Sample& w = desc.samples[i];
        EXPECT_EQ(g.name, w.name.substr(0, 20));
        EXPECT_EQ(g.start, layout.starts[i]);
        EXPECT_EQ(g.end, layout.ends[i]);
        if (!w.explicitPosition) {
            EXPECT_EQ(g.end - g.start, w.data.size());
        }
        EXPECT_EQ(g.loopStart, g.start + w.loopStart);
        EXPECT_EQ(g.loopEnd, g.start + w.loopEnd);
        EXPECT_EQ(g.sampleRate, w.sampleRate);
        EXPECT_EQ(g.rootKey, w.rootKey);
        EXPECT_EQ(g.correction, w.correction);
        EXPECT_EQ(g.link, w.link);
        EXPECT_EQ(g.type, w.type);
        EXPECT_TRUE(g.inRange);
        if (!w.data.empty()) {
            EXPECT_EQ(g.data.substr(0, w.data.size() * 2), PointBytes(w.data));
        }
    }
    ASSERT_EQ(got.presets.size(), desc.presets.size());
    for (size_t i = 0; i < desc.presets.size(); ++i) {
        SCOPED_TRACE("preset " + std::to_string(i));
        EXPECT_EQ(got.presets[i].name, desc.presets[i].name);
        EXPECT_EQ(got.presets[i].preset, desc.presets[i].preset);
        EXPECT_EQ(got.presets[i].bank, desc.presets[i].bank);
        EXPECT_EQ(got.presets[i].library, desc.presets[i].library);
        EXPECT_EQ(got.presets[i].genre, desc.presets[i].genre);
        EXPECT_EQ(got.presets[i].morphology, desc.presets[i].morphology);
        ExpectZones(got.presets[i].zones, desc.presets[i].zones);
    }
    ASSERT_EQ(got.instruments.size(), desc.instruments.size());
    for (size_t i = 0; i < desc.instruments.size(); ++i) {
        SCOPED_TRACE("instrument " + std::to_string(i));
        EXPECT_EQ(got.instruments[i].name, desc.instruments[i].name);
        ExpectZones(got.instruments[i].zones, desc.instruments[i].zones);
    }
}

TEST(FixtureSf2, SmallSf2RoundTripsEveryField) {
    const Sf2Desc desc = SmallSf2();
    Sf2Layout layout;
    const std::string b = BuildSf2(desc, &layout);
    const Sf2Contents got = ReadSf2(b);
    EXPECT_EQ(got.topLevel, (std::vector<std::string>{"INFO", "sdta", "pdta"}));
    ExpectSf2RoundTrip(got, desc, layout);
    // Samples lie one after another, each followed by 46 zero points.
    EXPECT_EQ(layout.starts, (std::vector<uint32_t>{0, 66}));
    EXPECT_EQ(layout.ends, (std::vector<uint32_t>{20, 79}));
    EXPECT_EQ(layout.smplSize, 2u * (79 + 46));
    EXPECT_EQ(b.substr(static_cast<size_t>(layout.smplDataOffset + 40), 92), std::string(92, '\0'));
    EXPECT_EQ(GetU32(b, 4) + 8ull, b.size());
}

TEST(FixtureSf2, TerminalRecords) {
    Sf2Desc desc = SmallSf2();
    desc.presets.push_back(Sf2Preset{"Second", 3, 128, 1, 2, 3, {Sf2Zone{}, Sf2Zone{{{kSf2GenInstrument, 0}}}}});
    Sf2Layout layout;
    const Sf2Contents got = ReadSf2(BuildSf2(desc, &layout));
    ExpectSf2RoundTrip(got, desc, layout);
    EXPECT_EQ(got.phdrCount, 3u);
    EXPECT_EQ(got.terminalPreset.name, "EOP");
    EXPECT_EQ(got.terminalPreset.bagIndex, 3u);  // 1 + 2 zones
    EXPECT_EQ(got.pbagCount, 4u);
    EXPECT_EQ(got.terminalPresetBag.genIndex, 2u);
    EXPECT_EQ(got.pgenCount, 3u);
    EXPECT_EQ(got.terminalPresetGen.oper, 0u);
    EXPECT_EQ(got.terminalPresetGen.amount, 0u);
    EXPECT_EQ(got.pmodCount, 1u);
    EXPECT_EQ(got.pmod, std::string(10, '\0'));
    EXPECT_EQ(got.instCount, 2u);
    EXPECT_EQ(got.terminalInstrument.name, "EOI");
    EXPECT_EQ(got.terminalInstrument.bagIndex, 2u);
    EXPECT_EQ(got.ibagCount, 3u);
    EXPECT_EQ(got.terminalInstrumentBag.genIndex, 4u);
    EXPECT_EQ(got.igenCount, 5u);
    EXPECT_EQ(got.imodCount, 1u);
    EXPECT_EQ(got.shdrCount, 3u);
    EXPECT_EQ(got.terminalSample.name, "EOS");
    EXPECT_EQ(got.terminalSample.start, 0u);
    EXPECT_EQ(got.terminalSample.sampleRate, 0u);
}

TEST(FixtureSf2, SdtaAfterPdtaAndOptionalParts) {
    Sf2Desc desc = SmallSf2();
    desc.sdtaAfterPdta = true;
    desc.sm24 = PatternBytes(33, 5);  // odd
    Sf2Layout layout;
    const Sf2Contents got = ReadSf2(BuildSf2(desc, &layout));
    EXPECT_EQ(got.topLevel, (std::vector<std::string>{"INFO", "pdta", "sdta"}));
    EXPECT_TRUE(got.hasSm24);
    EXPECT_EQ(got.sm24Size, 33u);
    EXPECT_LT(got.pdtaOffset, got.smplDataOffset);
    ExpectSf2RoundTrip(got, desc, layout);

    Sf2Desc bare = SmallSf2();
    bare.info.clear();
    bare.withSdta = false;
    const Sf2Contents noSdta = ReadSf2(BuildSf2(bare));
    EXPECT_EQ(noSdta.topLevel, (std::vector<std::string>{"pdta"}));
    EXPECT_FALSE(noSdta.hasSmpl);
    EXPECT_FALSE(noSdta.samples[0].inRange);
    bare.withSdta = true;
    bare.withPdta = false;
    const Sf2Contents noPdta = ReadSf2(BuildSf2(bare));
    EXPECT_EQ(noPdta.topLevel, (std::vector<std::string>{"sdta"}));
    EXPECT_FALSE(noPdta.hasPdta);
}

TEST(FixtureSf2, ExplicitPositionsOverlapAndGoOutOfOrder) {
    Sf2Desc desc = SmallSf2();
    Sf2Sample shared;  // the second half of SineA again, no data of its own
    shared.name = "Shared";
    shared.explicitPosition = true;
    shared.start = 10;
    shared.end = 20;
    Sf2Sample late;  // written after the others, header before them
    late.name = "Late";
    late.explicitPosition = true;
    late.start = 200;
    late.end = 203;
    late.data = {1, -2, 3};
    late.gapAfter = 5;
    Sf2Sample backwards;
    backwards.name = "Backwards";
    backwards.explicitPosition = true;
    backwards.start = 30;
    backwards.end = 25;
    desc.samples.insert(desc.samples.begin(), late);
    desc.samples.push_back(shared);
    Sf2Layout layout;
    const std::string b = BuildSf2(desc, &layout);
    Sf2Contents got = ReadSf2(b);
    ExpectSf2RoundTrip(got, desc, layout);
    EXPECT_EQ(layout.smplSize, 2u * 208);
    EXPECT_EQ(got.samples[0].data, PointBytes(late.data));
    EXPECT_EQ(got.samples[3].data, PointBytes(desc.samples[1].data).substr(20));

    desc.samples.push_back(backwards);
    got = ReadSf2(BuildSf2(desc, &layout));
    EXPECT_FALSE(got.samples.back().inRange);
    EXPECT_EQ(got.samples.back().start, 30u);
    EXPECT_EQ(got.samples.back().end, 25u);
}

TEST(FixtureSf2, NamesAreTwentyByteFields) {
    Sf2Desc desc = SmallSf2();
    desc.samples[0].name = "ExactlyTwentyChars!!";
    desc.samples[1].name = "MuchLongerThanTwentyCharacters";
    const std::string b = BuildSf2(desc);
    const Sf2Contents got = ReadSf2(b);
    EXPECT_EQ(got.samples[0].name, "ExactlyTwentyChars!!");
    EXPECT_EQ(got.samples[1].name, "MuchLongerThanTwent" "y");
    EXPECT_NE(b.find(std::string("ExactlyTwentyChars!!\0\0\0\0", 24)), std::string::npos);
}

TEST(FixtureSf2, ReadsFromDisk) {
    const Sf2Desc desc = SmallSf2();
    Sf2Layout layout;
    Scratch dir;
    const std::string p = dir.Write("small.sf2", BuildSf2(desc, &layout));
    ExpectSf2RoundTrip(ReadSf2File(p), desc, layout);
    EXPECT_THROW(ReadSf2File(p + ".missing"), FixtureError);
}

}  // namespace
}  // namespace zu::fixture

// The metadata object of a read file: instruments, regions and wave links as
// the header image says (and as an independent reader finds them), the
// SoundFont 2 zone rules, the exact bytes of the summary streams, the
// instrument image round trip, and references that outlive the file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "instrument/riff_instrument.h"
#include "support/fixture_builder.h"
#include "support/fixture_reader.h"
#include "support/module_host.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

using fixture::DlsDesc;
using fixture::Sf2Generator;
using fixture::Sf2Range;

struct Meta {
    OpenedFile f;
    IZuReadMeta* meta = nullptr;
    IZuReadInstrumentMeta* im = nullptr;
    Meta(int kind, const std::string& name) {
        OpenWith(kind, name, &f);
        if (f.file && SUCCEEDED(f.file->GetMeta(&meta)) && meta)
            meta->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&im));
    }
    ~Meta() {
        if (im) im->Release();
        if (meta) meta->Release();
    }
};

std::string WriteDls(const TempDir& dir, const DlsDesc& desc, const std::string& name) {
    for (const auto& f : fixture::BuildDls(desc, name)) WriteFileBytes(dir.File(f.name), f.bytes);
    return dir.File(name).u8string();
}

TEST(ReadMeta, DlsInstrumentsRegionsAndBankMasks) {
    TempDir dir;
    DlsDesc desc = fixture::TwoWaveDls();
    fixture::InstrumentDesc drum;
    drum.name = "Kit";
    drum.bankMsb = 0x7F;
    drum.bankLsb = 0x7F;
    drum.drum = true;
    drum.program = 0x12345;
    fixture::RegionDesc a, b;
    a.keyLo = 10, a.keyHi = 20, a.wave = 1;
    b.keyLo = 30, b.keyHi = 40, b.wave = 0, b.rgn2 = true;
    drum.regions = {b, a};  // a "rgn2" list first, then a "rgn " list
    desc.instruments.push_back(drum);
    const std::string path = WriteDls(dir, desc, "bank.dls");
    Meta m(0, path);
    ASSERT_NE(m.im, nullptr);
    ULONG count = 0;
    m.im->GetInstrumentCount(&count);
    ASSERT_EQ(count, desc.instruments.size());
    InstrumentInfo info{};
    info.reserved = 0xABCD;
    ASSERT_EQ(m.im->GetInstrumentInfo(count - 1, &info), S_OK);
    EXPECT_EQ(info.reserved, 0xABCDu);
    EXPECT_EQ(info.bankMsb, 0x1F);  // 5 bits of the MSB byte
    EXPECT_EQ(info.bankLsb, 0x3F);  // 6 bits of the LSB byte
    EXPECT_EQ(info.program, 0x2345);
    EXPECT_EQ(uint32_t{info.drum}, 1u);
    EXPECT_EQ(info.regionCount, 2u);
    EXPECT_EQ(std::basic_string<WCHAR>(info.name), Widen("Kit"));
    // Every step looks for a "rgn2" list first, then for a "rgn " list.
    RegionInfo r{};
    ASSERT_EQ(m.im->GetRegionInfo(count - 1, 0, &r), S_OK);
    EXPECT_EQ(r.keyLow, 30u);
    EXPECT_EQ(r.layerCount, 1u);
    RegionWaveLink link{};
    ASSERT_EQ(m.im->GetRegionWaveLink(count - 1, 1, 0, &link), S_OK);
    EXPECT_EQ(link.waveIndex, 1u);
    EXPECT_EQ(m.im->GetRegionInfo(count - 1, 2, &r), E_NOTIMPL);
    EXPECT_EQ(m.im->GetRegionInfo(count, 0, &r), E_NOTIMPL);
    InstrumentInfo untouched{};
    EXPECT_EQ(m.im->GetInstrumentInfo(count + 5, &untouched), S_OK);
    EXPECT_EQ(untouched.regionCount, 0u);

    // An "INAM" longer than the record's 260 units is cut to 259 and ended,
    // never copied past the record.
    DlsDesc longName = fixture::TwoWaveDls();
    longName.instruments[0].name = std::string(300, 'N');
    Meta l(0, WriteDls(dir, longName, "long.dls"));
    ASSERT_NE(l.im, nullptr);
    InstrumentInfo cut{};
    ASSERT_EQ(l.im->GetInstrumentInfo(0, &cut), S_OK);
    EXPECT_EQ(std::basic_string<WCHAR>(cut.name), Widen(std::string(259, 'N')));
    EXPECT_EQ(cut.bankMsb, longName.instruments[0].bankMsb & 0x1F) << "the fields after the name are intact";
}

TEST(ReadMeta, InstrumentsMatchAnIndependentReaderInBothChunkOrders) {
    for (bool libgigOrder : {false, true}) {
        TempDir dir;
        DlsDesc desc = fixture::TwoWaveDls();
        desc.libgigOrder = libgigOrder;
        const std::string path = WriteDls(dir, desc, "order.dls");
        const auto contents = fixture::ReadDlsFile(path);
        Meta m(0, path);
        ULONG count = 0;
        m.im->GetInstrumentCount(&count);
        ASSERT_EQ(count, contents.instruments.size()) << "libgig order " << libgigOrder;
        for (ULONG i = 0; i < count; ++i) {
            const auto& expected = contents.instruments[i];
            InstrumentInfo info{};
            m.im->GetInstrumentInfo(i, &info);
            EXPECT_EQ(info.regionCount, expected.regionCount);
            EXPECT_EQ(info.program, expected.program & 0xFFFF);
            for (ULONG r = 0; r < expected.regions.size(); ++r) {
                RegionInfo region{};
                RegionWaveLink link{};
                ASSERT_EQ(m.im->GetRegionInfo(i, r, &region), S_OK);
                ASSERT_EQ(m.im->GetRegionWaveLink(i, r, 0, &link), S_OK);
                EXPECT_EQ(region.keyLow, expected.regions[r].keyLo);
                EXPECT_EQ(region.keyHigh, expected.regions[r].keyHi);
                EXPECT_EQ(link.waveIndex, expected.regions[r].wave);
            }
        }
    }
}

TEST(ReadMeta, GigLayersFollowTheDimensionBitsOfEachVersion) {
    for (int major : {2, 3, 4}) {
        TempDir dir;
        DlsDesc desc = fixture::SmallGig(major);
        fixture::InstrumentDesc ins;
        ins.name = "Layered";
        fixture::RegionDesc region;
        region.dimensionBits = {1, 2, 0, 0, 0};
        region.gigWaves.assign(major < 3 ? 32 : major == 3 ? 256 : 1024, 0);
        for (uint32_t i = 0; i < 8; ++i) region.gigWaves[i] = i % desc.waves.size();
        region.gigWaves[0] = 1;
        ins.regions = {region};
        desc.instruments = {ins};
        const std::string path = WriteDls(dir, desc, "dims.gig");
        Meta m(1, path);
        ASSERT_NE(m.im, nullptr) << major;
        ULONG count = 0;
        m.im->GetInstrumentCount(&count);
        ASSERT_EQ(count, 1u);
        RegionInfo info{};
        ASSERT_EQ(m.im->GetRegionInfo(0, 0, &info), S_OK);
        EXPECT_EQ(info.layerCount, 8u) << "version " << major;
        RegionWaveLink link{};
        ASSERT_EQ(m.im->GetRegionWaveLink(0, 0, 3, &link), S_OK);
        EXPECT_EQ(link.waveIndex, 3 % desc.waves.size());
        ASSERT_EQ(m.im->GetRegionWaveLink(0, 0, 9, &link), S_OK);  // beyond the layers: entry 0
        EXPECT_EQ(link.waveIndex, 1u);
        ASSERT_EQ(m.im->GetRegionWaveLink(0, 0, 5000, &link), S_OK);  // beyond the table too
        EXPECT_EQ(link.waveIndex, 1u);
    }
}

fixture::Sf2Desc ZoneRulesSf2() {
    fixture::Sf2Desc desc = fixture::SmallSf2();
    // Instrument 1: a global zone (no sample) then two sampled zones, one
    // without a key range, and a zone with neither sample nor key range.
    fixture::Sf2Instrument inst;
    inst.name = "Rules";
    inst.zones = {{{Sf2Generator{48, 100}}},
                  {{Sf2Range(43, 0, 50), Sf2Generator{53, 0}}},
                  {{Sf2Generator{53, 1}}},
                  {{Sf2Generator{48, 5}}}};
    desc.instruments.push_back(inst);
    // Preset 1: a global zone narrowing the keys to 40..90, then a zone playing instrument 1.
    fixture::Sf2Preset narrow;
    narrow.name = "Narrow";
    narrow.preset = 7;
    narrow.bank = 128;
    narrow.zones = {{{Sf2Range(43, 40, 90)}}, {{Sf2Generator{41, 0}}}};
    desc.presets.push_back(narrow);
    fixture::Sf2Preset other;
    other.name = "Bank129";
    other.preset = 3;
    other.bank = 129;
    other.zones = {{{Sf2Generator{41, 1}}}};
    desc.presets.push_back(other);
    return desc;
}

TEST(ReadMeta, SoundFontZoneRules) {
    TempDir dir;
    WriteFileBytes(dir.File("rules.sf2"), fixture::BuildSf2(ZoneRulesSf2()));
    Meta m(2, dir.File("rules.sf2").u8string());
    ASSERT_NE(m.im, nullptr);
    ULONG count = 0;
    m.im->GetInstrumentCount(&count);
    ASSERT_EQ(count, 3u);
    InstrumentInfo info{};
    m.im->GetInstrumentInfo(1, &info);
    EXPECT_EQ(std::basic_string<WCHAR>(info.name), Widen("Narrow"));
    EXPECT_EQ(uint32_t{info.drum}, 1u);
    EXPECT_EQ(info.bankLsb, 0);
    EXPECT_EQ(info.program, 7);
    // The preset's global zone is no zone of its own: its key range narrows
    // every other zone (0..63 and 64..127 of the instrument).
    EXPECT_EQ(info.regionCount, 2u);
    RegionInfo r{};
    ASSERT_EQ(m.im->GetRegionInfo(1, 0, &r), S_OK);
    EXPECT_EQ(r.keyLow, 40u);
    EXPECT_EQ(r.keyHigh, 63u);
    ASSERT_EQ(m.im->GetRegionInfo(1, 1, &r), S_OK);
    EXPECT_EQ(r.keyLow, 64u);
    EXPECT_EQ(r.keyHigh, 90u);
    // The instrument's global zone is not a region; a sampled zone without a
    // key range plays everywhere; a zone with neither sample nor range is dropped.
    m.im->GetInstrumentInfo(2, &info);
    EXPECT_EQ(uint32_t{info.drum}, 0u);
    EXPECT_EQ(info.bankLsb, 1);
    EXPECT_EQ(info.regionCount, 2u);
    ASSERT_EQ(m.im->GetRegionInfo(2, 0, &r), S_OK);
    EXPECT_EQ(r.keyLow, 0u);
    EXPECT_EQ(r.keyHigh, 50u);
    ASSERT_EQ(m.im->GetRegionInfo(2, 1, &r), S_OK);
    EXPECT_EQ(r.keyLow, 0u);
    EXPECT_EQ(r.keyHigh, 127u);
    RegionWaveLink link{};
    ASSERT_EQ(m.im->GetRegionWaveLink(2, 1, 0, &link), S_OK);
    EXPECT_EQ(link.waveIndex, 1u);
    r.keyLow = r.keyHigh = r.layerCount = 77;
    EXPECT_EQ(m.im->GetRegionInfo(2, 2, &r), E_NOTIMPL);
    EXPECT_EQ(r.keyLow + r.keyHigh + r.layerCount, 0u);
    EXPECT_EQ(m.im->GetRegionWaveLink(2, 2, 0, &link), E_NOTIMPL);
    EXPECT_EQ(link.waveIndex, 0u);
}

TEST(ReadMeta, SoundFontIndicesOutsideTheirTablesAreCut) {
    TempDir dir;
    fixture::Sf2Desc desc = ZoneRulesSf2();
    desc.presets[0].zones.push_back({{Sf2Generator{41, 999}, Sf2Generator{200, 5}}});  // no such instrument, no such generator
    fixture::Sf2Layout layout;
    std::string bytes = fixture::BuildSf2(desc, &layout);
    WriteFileBytes(dir.File("cut.sf2"), bytes);
    Meta m(2, dir.File("cut.sf2").u8string());
    ULONG count = 0;
    m.im->GetInstrumentCount(&count);
    for (ULONG p = 0; p < count; ++p) {
        InstrumentInfo info{};
        m.im->GetInstrumentInfo(p, &info);
        for (ULONG r = 0; r < info.regionCount; ++r) {
            RegionWaveLink link{};
            EXPECT_EQ(m.im->GetRegionWaveLink(p, r, 0, &link), S_OK);
        }
    }
}

std::string ReadAll(IStream* s) {
    std::string out;
    char buf[7];
    ULONG got = 0;
    s->Seek(0, ZU_STREAM_SEEK_SET, nullptr);
    while (SUCCEEDED(s->Read(buf, sizeof buf, &got)) && got) out.append(buf, got);
    out.append(buf, got);
    return out;
}

TEST(ReadMeta, SummaryStreamsHaveTheirExactBytes) {
    TempDir dir;
    DlsDesc desc = fixture::TwoWaveDls();
    desc.info = {{"INAM", "Piano"}, {"ICOP", "C"}};
    const std::string path = WriteDls(dir, desc, "info.dls");
    Meta m(0, path);
    WCHAR text[16];
    ASSERT_EQ(m.meta->GetSummaryText(0x4D414E49, text, 16), S_OK);  // "INAM"
    EXPECT_EQ(std::basic_string<WCHAR>(text), Widen("Piano"));
    EXPECT_EQ(m.meta->GetSummaryText(0x54524149, text, 16), ZU_E_NOT_FOUND);  // "IART"
    IStream* summary = nullptr;
    ASSERT_EQ(m.meta->GetSummaryStream(&summary), S_OK);
    const std::string bytes = ReadAll(summary);
    ASSERT_EQ(bytes.size(), 12u + (12 + 12) + (12 + 4));
    EXPECT_EQ(bytes.substr(0, 12), std::string("\x0C\0\0\0\x64\0\0\0\x02\0\0\0", 12));
    EXPECT_EQ(bytes.substr(12, 12), std::string("\x0C\0\0\0INAM\x0C\0\0\0", 12));
    summary->Release();
    IZuReadGenericMeta* generic = nullptr;
    m.meta->QueryInterface(IID_IZuReadGenericMeta, reinterpret_cast<void**>(&generic));
    IStream *first = nullptr, *again = nullptr, *none = nullptr;
    generic->Reset();
    ASSERT_EQ(generic->Next(&first), S_OK);
    EXPECT_EQ(generic->Next(&none), S_FALSE);
    generic->Reset();
    ASSERT_EQ(generic->Next(&again), S_OK);
    EXPECT_EQ(first, again);
    const std::string records = ReadAll(first);
    ASSERT_EQ(records.size(), 28u + (28 + 24) + (28 + 16));
    GenericStreamHeader header{};
    std::memcpy(&header, records.data(), 28);
    EXPECT_EQ(header.itemCount, 2u);
    EXPECT_TRUE(ZuGuidEqual(header.kind, GUID_SUMMARYLIST));
    MetaRecordHeader rec{};
    std::memcpy(&rec, records.data() + 28, 28);
    EXPECT_EQ(rec.dataSize, 24u);
    first->Release();
    again->Release();
    generic->Release();
}

TEST(ReadMeta, AWaveOpenedAloneNamesItself) {
    TempDir dir;
    DlsDesc desc = fixture::TwoWaveDls();
    desc.info = {{"INAM", "Whole"}, {"ICMT", "note"}};
    const std::string path = WriteDls(dir, desc, "one.dls");
    Meta m(0, path + "?a&1");
    WCHAR text[64];
    ASSERT_EQ(m.meta->GetSummaryText(0x4D414E49, text, 64), S_OK);
    EXPECT_EQ(std::basic_string<WCHAR>(text), Widen(desc.waves[1].name));
    IStream* s = nullptr;
    m.meta->GetSummaryStream(&s);
    const std::string bytes = ReadAll(s);
    s->Release();
    // "INAM" was replaced and moved behind "ICMT".
    EXPECT_EQ(bytes.substr(16, 4), "ICMT");
}

TEST(ReadMeta, InstrumentImageRebuildsTheInstrumentExactly) {
    TempDir dir;
    DlsDesc gig = fixture::SmallGig(3);
    gig.crc3 = std::string(16, '\x11');
    gig.einf = "einfo";
    const std::string files[] = {WriteDls(dir, fixture::TwoWaveDls(), "img.dls"), WriteDls(dir, gig, "img.gig")};
    WriteFileBytes(dir.File("img.sf2"), fixture::BuildSf2(fixture::SmallSf2()));
    const struct {
        int kind;
        std::string path;
    } cases[] = {{0, files[0]}, {1, files[1]}, {2, dir.File("img.sf2").u8string()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Meta m(c.kind, c.path);
        CRiffInstrument original(Widen(c.path).c_str(), static_cast<InstrumentKind>(c.kind));
        ASSERT_EQ(original.loadResult(), S_OK);
        CRiffInstrument rebuilt(static_cast<IUnknown*>(m.meta), static_cast<InstrumentKind>(c.kind));
        ASSERT_EQ(rebuilt.headerSize(), original.headerSize());
        EXPECT_EQ(std::memcmp(rebuilt.header(), original.header(), original.headerSize()), 0);
        ASSERT_EQ(rebuilt.wavePoolSize(), original.wavePoolSize());
        EXPECT_EQ(std::memcmp(rebuilt.wavePool(), original.wavePool(), original.wavePoolSize()), 0);
        EXPECT_EQ(std::memcmp(&rebuilt.layout(), &original.layout(), sizeof(InstrumentLayout)), 0);
        ASSERT_EQ(rebuilt.WaveCount(), original.WaveCount());
        for (uint32_t w = 0; w < original.WaveCount(); ++w) {
            EXPECT_EQ(uint64_t{rebuilt.Wave(w)->frameCount}, uint64_t{original.Wave(w)->frameCount});
            EXPECT_EQ(uint64_t{rebuilt.Wave(w)->firstFrame}, uint64_t{original.Wave(w)->firstFrame});
            EXPECT_EQ(std::memcmp(&rebuilt.Wave(w)->format, &original.Wave(w)->format, 18), 0);
            EXPECT_EQ(uint32_t{rebuilt.Wave(w)->soundFontGap}, uint32_t{original.Wave(w)->soundFontGap});
            if (c.kind != 2) {
                EXPECT_GT(uint32_t{rebuilt.Wave(w)->waveImageSize}, 12u);
            }
        }
    }
}

TEST(ReadMeta, ReferencesOutliveCloseAndRelease) {
    TempDir dir;
    DlsDesc desc = fixture::TwoWaveDls();
    desc.info = {{"INAM", "Kept"}};
    const std::string path = WriteDls(dir, desc, "life.dls");
    IZuReadFileClass* cls = NewReaderClass(CLSID_ZuDlsInstrument);
    IZuReadFile* file = nullptr;
    ASSERT_EQ(cls->OpenFile(&file, nullptr, nullptr, Widen(path).c_str(), 1), S_OK);
    IZuReadMeta* meta = nullptr;
    ASSERT_EQ(file->GetMeta(&meta), S_OK);
    IStream* summary = nullptr;
    meta->GetSummaryStream(&summary);
    IZuReadInstrumentMeta* im = nullptr;
    meta->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&im));
    file->CloseFile();
    ULONG count = 0;
    im->GetWaveCount(&count);  // still answers after the file closed
    EXPECT_EQ(count, 2u);
    ULONG imageSize = 0;
    EXPECT_EQ(im->GetInstrumentImageSize(&imageSize), S_OK);
    file->Release();
    cls->Release();
    const std::string bytes = ReadAll(summary);  // the stream keeps its lists
    EXPECT_EQ(bytes.size(), 12u + 12 + 10);
    WCHAR text[8];
    meta->GetSummaryText(0x4D414E49, text, 8);
    im->Release();
    summary->Release();
    meta->Release();  // the last reference ends the object and the read file
}

}  // namespace
}  // namespace zu::test

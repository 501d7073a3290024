// Damaged and hostile instrument files: truncations, absurd sizes, counts and
// indices out of range give a result code or a clamped wave, never a crash, a
// hang or a read outside the file (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include "support/fixture_builder.h"
#include "support/module_host.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

using fixture::DlsDesc;

bool KnownResult(HRESULT hr) {
    switch (static_cast<uint32_t>(hr)) {
        case 0: case 1: case 0x8004E007: case 0x8004E008: case 0x8004E080: case 0x8004E189: case 0x80004005:
        case 0x80070057:
            return true;
        default:
            return false;
    }
}

// Opens the file with every class, under the pool name and the first waves'
// names, and reads everything each stream offers.
void Exercise(const std::string& path) {
    for (int kind = 0; kind < 3; ++kind) {
        for (int wave = -1; wave < 2; ++wave) {
            OpenedFile f;
            OpenWith(kind, wave < 0 ? path : path + "?a&" + std::to_string(wave), &f);
            ASSERT_TRUE(KnownResult(f.hr)) << std::hex << f.hr;
            if (!f.file) continue;
            if (IZuContainerFile* c = f.Container()) {
                ULONG count = 0;
                c->GetSubStreamCount(&count);
                InstrumentWaveEntry info;
                for (ULONG i = 0; i < count && i < 8; ++i) c->GetSubStreamInfo(i, &info, 0);
                c->GetSubStreamInfo(0, &info, 1);
                c->Release();
            }
            if (IZuReadAudioStream* s = f.Stream()) {
                const StreamContents got = ReadWholeStream(s, 97);
                EXPECT_TRUE(KnownResult(got.hr)) << std::hex << got.hr;
                s->Release();
            }
        }
    }
}

std::vector<std::string> Seeds() {
    DlsDesc gig = fixture::SmallGig(3);
    gig.waves[0].data = fixture::PatternBytes(33, 1);
    return {fixture::BuildDlsBytes(fixture::TwoWaveDls()), fixture::BuildDlsBytes(gig), fixture::BuildSf2(fixture::SmallSf2())};
}

TEST(BadInput, EveryTruncationOpensOrIsRefused) {
    TempDir dir;
    const std::string path = dir.File("cut.bin").u8string();
    for (const std::string& seed : Seeds()) {
        const size_t step = seed.size() > 600 ? seed.size() / 200 : 3;
        for (size_t len = 0; len < seed.size(); len += step) {
            WriteFileBytes(dir.File("cut.bin"), seed.substr(0, len));
            SCOPED_TRACE(len);
            Exercise(path);
        }
    }
}

TEST(BadInput, AbsurdWordsAnywhereAreSurvived) {
    TempDir dir;
    const std::string path = dir.File("bent.bin").u8string();
    const uint32_t values[] = {0, 0x7FFFFFFF, 0xFFFFFFFF};
    for (const std::string& seed : Seeds()) {
        for (size_t at = 4; at + 4 <= seed.size(); at += seed.size() > 800 ? 14 : 6) {
            for (uint32_t v : values) {
                std::string bent = seed;
                fixture::PatchU32(bent, at, v);
                WriteFileBytes(dir.File("bent.bin"), bent);
                SCOPED_TRACE(at);
                Exercise(path);
            }
        }
    }
}

TEST(BadInput, DecidedRefusalsAndClamps) {
    TempDir dir;
    auto open = [&](int kind, const std::string& name, const std::string& bytes) {
        WriteFileBytes(dir.File(name), bytes);
        IZuReadFileClass* cls = NewReaderClass(ClassIdOfKind(kind));
        IZuReadFile* file = nullptr;
        cls->OpenFile(&file, nullptr, nullptr, Widen(dir.File(name).u8string()).c_str(), 0);
        const HRESULT hr = file->Open(Widen(dir.File(name).u8string()).c_str());
        file->Release();
        cls->Release();
        return hr;
    };
    // A pool-table cue that points outside the file refuses the file.
    DlsDesc dls = fixture::TwoWaveDls();
    fixture::DlsLayout layout;
    std::string bytes = fixture::BuildDls(dls, "c.dls", &layout)[0].bytes;
    fixture::PatchU32(bytes, layout.ptblDataOffset + 8, 0x00FFFFF0);
    EXPECT_EQ(open(0, "cue.dls", bytes), static_cast<HRESULT>(0x8004E007));
    // More cues than the pool table holds.
    bytes = fixture::BuildDls(dls, "c.dls", &layout)[0].bytes;
    fixture::PatchU32(bytes, layout.ptblDataOffset + 4, 1000);
    EXPECT_EQ(open(0, "count.dls", bytes), static_cast<HRESULT>(0x8004E007));
    // An extension file name that leaves the main file's folder.
    DlsDesc gig = fixture::SmallGig(3);
    gig.waves.push_back(gig.waves[0]);
    gig.waves.back().fileIndex = 1;
    gig.extensionFileNames = {"../escape.gx01"};
    for (const auto& f : fixture::BuildDls(gig, "esc.gig")) WriteFileBytes(dir.File(f.name), f.bytes);
    WriteFileBytes(dir.path().parent_path() / "escape.gx01", fixture::BuildDls(gig, "esc.gig")[1].bytes);
    IZuReadFileClass* cls = NewReaderClass(CLSID_ZuGigInstrument);
    IZuReadFile* file = nullptr;
    EXPECT_EQ(cls->OpenFile(&file, nullptr, nullptr, Widen(dir.File("esc.gig").u8string()).c_str(), 1), static_cast<HRESULT>(0x8004E007));
    if (file) file->Release();
    cls->Release();
    std::remove((dir.path().parent_path() / "escape.gx01").u8string().c_str());

    // A wave without a block alignment is offered empty.
    DlsDesc zero = fixture::TwoWaveDls();
    zero.waves[0].blockAlign = 0;
    zero.waves[0].channels = 0;
    WriteFileBytes(dir.File("zero.dls"), fixture::BuildDlsBytes(zero));
    OpenedFile z;
    OpenWith(0, dir.File("zero.dls").u8string() + "?a&0", &z);
    ASSERT_EQ(z.hr, S_OK);
    IZuReadAudioStream* s = z.Stream();
    if (s) {
        uint64_t frames = 1;
        s->GetFrameCount(&frames);
        EXPECT_EQ(frames, 0u);
        s->Release();
    }

    // SoundFont sample headers: end before start and start past "smpl" give
    // empty waves; an end past "smpl" is cut to it.
    fixture::Sf2Desc sf = fixture::SmallSf2();
    fixture::Sf2Sample backwards;
    backwards.name = "Backwards";
    backwards.explicitPosition = true;
    backwards.start = 10;
    backwards.end = 4;
    fixture::Sf2Sample beyond = backwards;
    beyond.name = "Beyond";
    beyond.start = 100000;
    beyond.end = 100010;
    fixture::Sf2Sample overhang = backwards;
    overhang.name = "Overhang";
    overhang.start = 30;
    overhang.end = 100000;
    sf.samples.push_back(backwards);
    sf.samples.push_back(beyond);
    sf.samples.push_back(overhang);
    fixture::Sf2Layout sfLayout;
    WriteFileBytes(dir.File("hdr.sf2"), fixture::BuildSf2(sf, &sfLayout));
    const uint64_t points = sfLayout.smplSize / 2;
    const uint64_t expected[] = {0, 0, points - 30};
    for (int i = 0; i < 3; ++i) {
        OpenedFile f;
        OpenWith(2, dir.File("hdr.sf2").u8string() + "?a&" + std::to_string(2 + i), &f);
        ASSERT_EQ(f.hr, S_OK);
        IZuReadAudioStream* st = f.Stream();
        const StreamContents got = ReadWholeStream(st, 64);
        st->Release();
        EXPECT_EQ(got.frames, expected[i]) << "sample " << 2 + i;
        EXPECT_EQ(got.bytes.size(), expected[i] * 2);
    }
}

}  // namespace
}  // namespace zu::test

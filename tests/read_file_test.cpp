// The read file, its container and its stream as the host uses them: stream
// selection by name, shared containers, the aggregated format of mixed pools,
// reads across wave boundaries, identification, and the refusals.
#include <gtest/gtest.h>

#include <cstring>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/fixture_builder.h"
#include "support/fixture_reader.h"
#include "support/module_host.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

using fixture::DlsDesc;
using fixture::WaveDesc;

// One sample of a wave as a signed 24-bit value (8-bit data is unsigned).
int32_t SampleAs24(const std::string& data, const WaveDesc& w, size_t frame, uint16_t channel) {
    const size_t bytes = w.bitsPerSample / 8;
    const auto* p = reinterpret_cast<const uint8_t*>(data.data()) + (frame * w.channels + channel) * bytes;
    switch (w.bitsPerSample) {
        case 8: return (static_cast<int32_t>(p[0]) - 128) * 65536;
        case 16: return static_cast<int16_t>(p[0] | (p[1] << 8)) * 256;
        default: return static_cast<int32_t>(static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) << 8) >> 8;
    }
}

TEST(AggregatedStream, MixedPoolConvertsEveryWaveAtItsFirstFrame) {
    TempDir dir;
    DlsDesc desc;
    desc.waves = {fixture::PatternWave("m8", 1, 8, 22050, 301, 1), fixture::PatternWave("s16", 2, 16, 44100, 257, 2),
                  fixture::PatternWave("m24", 1, 24, 44100, 123, 3), fixture::PatternWave("s24", 2, 24, 44100, 77, 4),
                  fixture::PatternWave("m16", 1, 16, 22050, 5, 5)};
    for (const auto& f : fixture::BuildDls(desc, "mixed.dls")) WriteFileBytes(dir.File(f.name), f.bytes);
    const std::string path = dir.File("mixed.dls").u8string();
    for (uint32_t readSize : {1u, 7u, 300u, 4096u}) {
        OpenedFile f;
        OpenWith(0, path, &f);
        ASSERT_EQ(f.hr, S_OK);
        IZuReadAudioStream* s = f.Stream();
        const StreamContents got = ReadWholeStream(s, readSize);
        s->Release();
        // Most waves are 44100 Hz; the widest are 24-bit stereo.
        EXPECT_EQ(got.format.nSamplesPerSec, 44100u);
        EXPECT_EQ(got.format.nChannels, 2);
        EXPECT_EQ(got.format.wBitsPerSample, 24);
        EXPECT_EQ(got.format.nBlockAlign, 6);
        EXPECT_EQ(got.format.nAvgBytesPerSec, 44100u * 6);
        ASSERT_EQ(got.frames, 301u + 257 + 123 + 77 + 5);
        ASSERT_EQ(got.bytes.size(), got.frames * 6) << "reads of " << readSize;
        size_t frame = 0;
        for (const auto& w : desc.waves) {
            for (size_t i = 0; i < w.data.size() / (w.channels * w.bitsPerSample / 8); ++i, ++frame) {
                for (uint16_t ch = 0; ch < 2; ++ch) {
                    const auto* p = reinterpret_cast<const uint8_t*>(got.bytes.data()) + frame * 6 + ch * 3;
                    const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) << 8) >> 8;
                    const int32_t expected = ch < w.channels ? SampleAs24(w.data, w, i, ch) : 0;
                    ASSERT_EQ(value, expected) << w.name << " frame " << i << " channel " << ch << " reads of " << readSize;
                }
            }
        }
    }
}

TEST(ReadFile, NameSelectsTheWaveOrThePool) {
    TempDir dir;
    DlsDesc desc;
    desc.waves = {fixture::PatternWave("zero", 1, 16, 44100, 100, 1), fixture::PatternWave("one", 1, 16, 44100, 200, 2),
                  fixture::PatternWave("two", 1, 16, 44100, 300, 3), fixture::PatternWave("three", 1, 16, 22050, 400, 4)};
    for (const auto& f : fixture::BuildDls(desc, "names.dls")) WriteFileBytes(dir.File(f.name), f.bytes);
    const std::string path = dir.File("names.dls").u8string();
    for (const std::string suffix : {"", "?a", "?a&"}) {
        OpenedFile f;
        OpenWith(0, path + suffix, &f);
        ASSERT_EQ(f.hr, S_OK) << suffix;
        WCHAR text[64];
        EXPECT_EQ(f.file->GetFileText(text, 64, 4), S_OK);
        EXPECT_EQ(std::basic_string<WCHAR>(text), Widen("Wave Pool (aggregated)"));
        uint64_t frames = 0;
        IZuReadAudioStream* s = f.Stream();
        s->GetFrameCount(&frames);
        s->Release();
        EXPECT_EQ(frames, 1000u);
    }
    OpenedFile three;
    OpenWith(0, path + "?a&3", &three);
    ASSERT_EQ(three.hr, S_OK);
    IZuReadAudioStream* s = three.Stream();
    const StreamContents got = ReadWholeStream(s, 64);
    uint64_t duration = 0;
    s->GetDuration(&duration);
    s->Release();
    EXPECT_EQ(got.frames, 400u);  // the wave alone, not the pool
    EXPECT_EQ(got.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(duration, 400ull * 10000000 / 22050);
    EXPECT_TRUE(got.bytes == desc.waves[3].data);
    WCHAR text[64];
    three.file->GetFileText(text, 64, 4);
    EXPECT_EQ(std::basic_string<WCHAR>(text), Widen("three"));
    // A name that selects no wave opens no stream: the read file's Open says
    // so, and the host finds no audio stream under that name.
    OpenedFile missing;
    OpenWith(0, path + "?a&9", &missing);
    ASSERT_NE(missing.file, nullptr);
    EXPECT_EQ(missing.file->Open(Widen(path + "?a&9").c_str()), static_cast<HRESULT>(0x8004E007));
    EXPECT_EQ(missing.Stream(), nullptr);
}

TEST(ReadFile, StreamQueriesAndReadEdges) {
    TempDir dir;
    DlsDesc desc;
    desc.waves = {fixture::PatternWave("a", 1, 16, 8000, 10, 1), fixture::PatternWave("b", 1, 16, 8000, 20, 2)};
    for (const auto& f : fixture::BuildDls(desc, "edges.dls")) WriteFileBytes(dir.File(f.name), f.bytes);
    OpenedFile f;
    OpenWith(0, dir.File("edges.dls").u8string(), &f);
    ASSERT_EQ(f.hr, S_OK);
    ULONG count = 0, type = 0;
    EXPECT_EQ(f.file->GetStreamCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(f.file->GetStreamType(1, &type, nullptr), E_INVALIDARG);
    EXPECT_EQ(f.file->GetStreamType(0, &type, nullptr), S_OK);
    EXPECT_EQ(type, 1u);
    WCHAR text[8] = {'x'};
    EXPECT_EQ(f.file->GetFileText(text, 8, 3), S_FALSE);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(f.file->IsFileClosed(), FALSE);

    IZuReadAudioStream* s = f.Stream();
    int16_t buf[64];
    _zumemorytoken token{};
    token.baseAddress = reinterpret_cast<uintptr_t>(buf);
    token.size = sizeof buf;
    ULONG got = 99;
    EXPECT_EQ(s->ReadToToken(30, &token, 4, &got), S_FALSE);  // at the end
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(s->ReadToToken(25, &token, 40, &got), S_OK);     // fewer remain than asked
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::memcmp(buf, desc.waves[1].data.data() + 30, 10), 0);
    token.size = 6;  // a token smaller than the frames asked for gets only what fits
    EXPECT_EQ(s->ReadToToken(0, &token, 40, &got), S_OK);
    EXPECT_EQ(got, 3u);
    token.size = sizeof buf;
    _ZUFILESTREAMFORMATINFOv2 record{};
    EXPECT_EQ(s->GetFormatInfo(&record), S_OK);
    EXPECT_EQ(record.cbSize, 184u);
    EXPECT_EQ(record.streamType, 1u);
    EXPECT_EQ(record.length, 30u);
    // A plain native format is kept whatever the host asks for.
    _ZUFILESTREAMFORMATINFOv2 ask{};
    WAVEFORMATEX flt{};
    ZuAudio_InitWfxFlex(&flt, sizeof flt, 3, 32, 8000, 1, 0);
    ZuFio_SetStreamFormatInfo(&ask, &flt, nullptr, 0);
    EXPECT_EQ(s->SetOutputFormat(&ask), S_OK);
    WAVEFORMATEX out{};
    ZuAudio_WaveFormatToWfx(&ask.format, &out);
    EXPECT_EQ(out.wFormatTag, 1);
    EXPECT_EQ(out.wBitsPerSample, 16);
    EXPECT_EQ(f.file->CloseFile(), S_OK);
    EXPECT_EQ(f.file->IsFileClosed(), TRUE);
    EXPECT_EQ(s->ReadToToken(0, &token, 4, &got), static_cast<HRESULT>(0x8004E007));
    EXPECT_EQ(f.file->ReopenFile(0, 32), S_OK);
    EXPECT_EQ(s->ReadToToken(0, &token, 4, &got), S_OK);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(s->BeginDirectAccess(nullptr, nullptr, nullptr), static_cast<HRESULT>(0x8004E007));
    s->Release();
}

TEST(ReadFile, SamePathSharesOneContainer) {
    TempDir dir;
    WriteFileBytes(dir.File("shared.dls"), fixture::BuildDlsBytes(fixture::TwoWaveDls()));
    const auto path = Widen(dir.File("shared.dls").u8string());
    IZuReadFileClass* cls = NewReaderClass(CLSID_ZuDlsInstrument);
    IZuReadFile *a = nullptr, *b = nullptr;
    ASSERT_EQ(cls->OpenFile(&a, nullptr, nullptr, path.c_str(), 1), S_OK);
    ASSERT_EQ(cls->OpenFile(&b, nullptr, nullptr, (path + Widen("?a&1")).c_str(), 1), S_OK);
    IZuContainerFile *ca = nullptr, *cb = nullptr;
    a->QueryInterface(IID_IZuContainerFile, reinterpret_cast<void**>(&ca));
    b->QueryInterface(IID_IZuContainerFile, reinterpret_cast<void**>(&cb));
    EXPECT_EQ(ca, cb);
    WCHAR small[4];
    EXPECT_EQ(ca->GetContainerPath(small, 4), S_FALSE);
    WCHAR full[512];
    EXPECT_EQ(ca->GetContainerPath(full, 512), S_OK);
    EXPECT_EQ(std::basic_string<WCHAR>(full), path);
    ULONG flags = 0;
    ca->GetContainerFlags(&flags);
    EXPECT_EQ(flags & 3u, 3u);
    ca->Release();
    cb->Release();
    a->Release();
    b->Release();  // the container goes with its last read file; a new open makes a new one
    IZuReadFile* c = nullptr;
    ASSERT_EQ(cls->OpenFile(&c, nullptr, nullptr, path.c_str(), 1), S_OK);
    c->Release();
    ULONG caps = 0;
    cls->GetCapabilities(&caps);
    EXPECT_EQ(caps, 0x2046u);
    cls->Release();
}

TEST(Identify, EachClassAcceptsExactlyItsForm) {
    const std::string dls = fixture::BuildDlsBytes(fixture::TwoWaveDls());
    const std::string gig = fixture::BuildDlsBytes(fixture::SmallGig(3));
    const std::string sf2 = fixture::BuildSf2(fixture::SmallSf2());
    std::string wave = dls;
    std::memcpy(&wave[8], "WAVE", 4);
    std::string zeroSize = dls;
    std::memset(&zeroSize[4], 0, 4);
    const struct {
        const std::string* bytes;
        HRESULT dls, gig, sf2;
    } cases[] = {
        {&dls, S_OK, ZU_E_NO_RIFF_HEADER, ZU_E_NO_RIFF_HEADER}, {&gig, ZU_E_NO_RIFF_HEADER, S_OK, ZU_E_NO_RIFF_HEADER},
        {&sf2, ZU_E_NO_RIFF_HEADER, ZU_E_NO_RIFF_HEADER, S_OK}, {&wave, ZU_E_NO_RIFF_HEADER, ZU_E_NO_RIFF_HEADER, ZU_E_NO_RIFF_HEADER},
        {&zeroSize, ZU_E_NO_RIFF_HEADER, ZU_E_NO_RIFF_HEADER, ZU_E_NO_RIFF_HEADER},
    };
    for (int kind = 0; kind < 3; ++kind) {
        IZuReadFileClass* cls = NewReaderClass(ClassIdOfKind(kind));
        for (const auto& c : cases) {
            const HRESULT expected = kind == 0 ? c.dls : kind == 1 ? c.gig : c.sf2;
            EXPECT_EQ(cls->IdentifyHeader(nullptr, reinterpret_cast<const uint8_t*>(c.bytes->data()),
                                          static_cast<ULONG>(c.bytes->size())),
                      expected)
                << "kind " << kind;
        }
        EXPECT_EQ(cls->IdentifyHeader(nullptr, reinterpret_cast<const uint8_t*>(dls.data()), 11), static_cast<HRESULT>(0x8004E080));
        EXPECT_EQ(cls->IdentifyHeader(nullptr, nullptr, 100), static_cast<HRESULT>(0x8004E080));
        cls->Release();
    }
    TempDir dir;
    WriteFileBytes(dir.File("w.wav"), wave);
    WriteFileBytes(dir.File("two.bin"), "RI");
    WriteFileBytes(dir.File("text.txt"), "hello, not a RIFF file");
    IZuReadFileClass* cls = NewReaderClass(CLSID_ZuSf2Instrument);
    EXPECT_EQ(cls->IdentifyFile(Widen(dir.File("w.wav").u8string()).c_str()), S_OK);
    EXPECT_EQ(cls->IdentifyFile(Widen(dir.File("two.bin").u8string()).c_str()), static_cast<HRESULT>(0x8004E008));
    EXPECT_EQ(cls->IdentifyFile(Widen(dir.File("text.txt").u8string()).c_str()), static_cast<HRESULT>(0x8004E080));
    EXPECT_EQ(cls->IdentifyFile(Widen(dir.File("absent").u8string()).c_str()), static_cast<HRESULT>(0x8004E080));
    cls->Release();
}

TEST(ReaderClass, TextsIdentitiesAndManager) {
    IZuReadFileClass* cls = NewReaderClass(CLSID_ZuDlsInstrument);
    const ULONG ids[] = {4, 9, 5, 1};
    BSTR texts[4] = {};
    EXPECT_EQ(cls->GetInfoText(ids, 4, texts), S_OK);
    EXPECT_EQ(std::basic_string<WCHAR>(texts[0]), Widen("*.dls"));
    EXPECT_EQ(texts[1], nullptr);
    EXPECT_EQ(std::basic_string<WCHAR>(texts[2]), Widen("DLS Instrument"));
    EXPECT_EQ(std::basic_string<WCHAR>(texts[3]), Widen("DLS"));
    for (BSTR t : texts) platform::BstrFree(t);
    ULONG version = 0;
    cls->GetVersion(&version);
    EXPECT_EQ(version, 1u);
    IZuRenderFileClass* render = nullptr;
    EXPECT_EQ(cls->GetRenderFileClass(&render), E_FAIL);
    IZuFileIOManager* manager = nullptr;
    EXPECT_EQ(cls->GetFileIOManager(&manager), E_NOINTERFACE);
    GUID id{};
    cls->GetClassGuid(&id);
    EXPECT_TRUE(ZuGuidEqual(id, ZU_READER_DLS));
    EXPECT_EQ(cls->ReservedClassOp1(0), E_NOTIMPL);
    cls->Release();
    IZuReadFileClass* gig = NewReaderClass(CLSID_ZuGigInstrument);
    const ULONG five = 5;
    BSTR gigName = nullptr;
    gig->GetInfoText(&five, 1, &gigName);
    EXPECT_EQ(std::basic_string<WCHAR>(gigName), Widen("GIG Instrument "));  // the trailing blank stays
    platform::BstrFree(gigName);
    gig->Release();
}

TEST(ReadFile, CompressedGigWavesAreRefused) {
    TempDir dir;
    DlsDesc desc = fixture::SmallGig(3);
    desc.waves[0].ewav = std::string("\x01\x00\x00\x00", 4) + std::string(32, '\0');
    for (const auto& f : fixture::BuildDls(desc, "packed.gig")) WriteFileBytes(dir.File(f.name), f.bytes);
    OpenedFile f;
    OpenWith(1, dir.File("packed.gig").u8string(), &f);
    EXPECT_EQ(f.hr, static_cast<HRESULT>(0x8004E189));
    EXPECT_EQ(f.file, nullptr);
}

#ifndef _WIN32
// A host in another process hands the module a memory token of its own
// memory; the samples arrive there and nowhere else.
uint8_t g_hostBuffer[8192];

TEST(ReadFile, AnotherProcessReceivesSamplesThroughItsToken) {
    TempDir dir;
    DlsDesc desc;
    desc.waves = {fixture::PatternWave("a", 2, 16, 44100, 1500, 11)};
    WriteFileBytes(dir.File("x.dls"), fixture::BuildDlsBytes(desc));
    OpenedFile f;
    OpenWith(0, dir.File("x.dls").u8string(), &f);
    ASSERT_EQ(f.hr, S_OK);
    IZuReadAudioStream* s = f.Stream();
    std::memset(g_hostBuffer, 0, sizeof g_hostBuffer);
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(go[1]);
        char c = 0;
        if (read(go[0], &c, 1) != 1) _exit(10);
        // 1000 frames of 4 bytes from frame 100, at offset 16 of the buffer.
        _exit(std::memcmp(g_hostBuffer + 16, desc.waves[0].data.data() + 400, 4000) == 0 && g_hostBuffer[15] == 0 ? 0 : 11);
    }
    close(go[0]);
    _zumemorytoken token{};
    token.baseAddress = reinterpret_cast<uintptr_t>(g_hostBuffer);
    token.offset = 16;
    token.size = 4000;
    token.kind = ZU_MEMORY_TOKEN_PROCESS;
    token.ownerProcessId = static_cast<uint32_t>(child);
    ULONG got = 0;
    EXPECT_EQ(s->ReadToToken(100, &token, 1000, &got), S_OK);
    EXPECT_EQ(got, 1000u);
    EXPECT_EQ(g_hostBuffer[16], 0);  // written into the child, not here
    ASSERT_EQ(write(go[1], "g", 1), 1);
    close(go[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the host process saw other bytes";
    s->Release();
}
#endif

}  // namespace
}  // namespace zu::test

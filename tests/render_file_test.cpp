// The render file: its one source, file name and template, the size
// estimate, the checks of the target volume that come before anything is
// written, the refusals of missing or foreign metadata, and the hand-over
// to the writers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "instrument/riff_instrument.h"
#include "kernel/byte_order.h"
#include "platform/platform.h"
#include "plugin/format_classes.h"
#include "render/render_file.h"
#include "render/render_preflight.h"
#include "support/fixture_builder.h"
#include "support/render_fakes.h"
#include "support/temp_dir.h"
#include "zuinstr/zuinstr.h"

namespace zu::test {
namespace {

using WideString = std::basic_string<WCHAR>;
namespace images = render_images;

constexpr HRESULT kDiskFull = static_cast<HRESULT>(0x8004E002L);
constexpr HRESULT kTooLarge = static_cast<HRESULT>(0x8004E03AL);
constexpr HRESULT kNoAudio = static_cast<HRESULT>(0x8004E01AL);
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004E00AL);
constexpr HRESULT kCorrupt = static_cast<HRESULT>(0x8004E00BL);
constexpr uint64_t kGiga = 1024ull * 1024 * 1024;

struct TemplateFree {
    void operator()(tagZUTEMPLATExV2* t) const { ZuFio_FreeTemplate(t); }
};
using TemplatePtr = std::unique_ptr<tagZUTEMPLATExV2, TemplateFree>;

// A render class of a kind and one render file of it, released in order.
class RenderSession {
public:
    explicit RenderSession(InstrumentKind kind) {
        void* out = nullptr;
        if (SUCCEEDED(CreateRenderFileClass(kind, &out))) cls = static_cast<IZuRenderFileClass*>(out);
    }
    ~RenderSession() {
        if (file) file->Release();
        if (cls) cls->Release();
    }
    RenderSession(const RenderSession&) = delete;
    RenderSession& operator=(const RenderSession&) = delete;

    HRESULT Create(const WideString& path, IUnknown* source, const tagZUTEMPLATExV2* tmpl = nullptr) {
        IUnknown* sources[] = {source};
        return cls->CreateRenderFile(&file, path.c_str(), source ? 1 : 0, source ? sources : nullptr, tmpl);
    }
    CDlsRenderFile* Impl() const { return static_cast<CDlsRenderFile*>(file); }

    IZuRenderFileClass* cls = nullptr;
    IZuRenderFile* file = nullptr;
};

// A metadata object describing an instrument of one family.
void DescribeDls(FakeInstrumentMeta* meta, const std::vector<uint32_t>& frames) {
    meta->waves = images::MonoWaves(frames);
    meta->image = images::InstrumentImage(images::DlsHeader(), images::DlsWavePool(frames));
}
void DescribeSoundFont(FakeInstrumentMeta* meta, const std::vector<uint32_t>& frames) {
    meta->waves = images::MonoWaves(frames);
    meta->image = images::InstrumentImage(images::Sf2Header(), images::Sf2WavePool(frames));
}

// The instrument builder from metadata may still be the empty stand-in.
bool BuilderReadsImages(FakeInstrumentMeta* meta, InstrumentKind kind) {
    CRiffInstrument probe(static_cast<IUnknown*>(static_cast<IZuReadMeta*>(meta)), kind);
    return probe.wavePoolSize() != 0;
}

// ---- Source, name, template ----

TEST(RenderFile, SecondSourceIsRefusedAndTheFirstKept) {
    FakeAudioStream first(10), second(20);  // declared first: they outlive the render file
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), nullptr), S_OK);
    EXPECT_EQ(s.file->AddSource(&first), S_OK);
    EXPECT_EQ(first.refs, 2u);
    EXPECT_EQ(s.file->AddSource(&second), E_OUTOFMEMORY);
    EXPECT_EQ(second.refs, 1u);
    uint64_t bytes = 0;
    ASSERT_EQ(s.file->EstimateFileSize(&bytes), S_OK);
    EXPECT_EQ(s.Impl()->frameCount(), 10u);  // the first source is the one in use
}

TEST(RenderFile, SourceWithoutAudioStreamIsNotKept) {
    FakeNoAudio silent;
    FakeAudioStream stream(5);
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), nullptr), S_OK);
    EXPECT_EQ(s.file->AddSource(&silent), E_NOINTERFACE);
    EXPECT_EQ(silent.refs, 1u);
    EXPECT_EQ(s.file->AddSource(&stream), S_OK);  // the slot is still free
}

TEST(RenderFile, FileNameIsCopiedAndTruncated) {
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(ZU_TEXT("name.dls"), nullptr), S_OK);
    WCHAR buffer[8];
    for (WCHAR& c : buffer) c = u'#';
    EXPECT_EQ(s.file->GetFileName(buffer, 0), S_OK);  // nothing copied
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(s.file->GetFileName(nullptr, 8), S_OK);
    EXPECT_EQ(s.file->GetFileName(buffer, 5), S_OK);
    EXPECT_EQ(WideString(buffer), Widen("name"));
    EXPECT_EQ(s.file->GetFileName(buffer, 1), S_OK);
    EXPECT_EQ(buffer[0], 0);

    EXPECT_EQ(s.file->SetFileName(nullptr), S_OK);  // ignored
    WCHAR full[300];
    s.file->GetFileName(full, 300);
    EXPECT_EQ(WideString(full), Widen("name.dls"));
    const WideString longName(400, u'x');
    EXPECT_EQ(s.file->SetFileName(longName.c_str()), S_OK);
    s.file->GetFileName(full, 300);
    EXPECT_EQ(WideString(full).size(), 259u);
}

TEST(RenderFile, TemplateCopiesAndStreamCount) {
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), nullptr), S_OK);
    EXPECT_EQ(s.file->GetTemplate(nullptr), E_POINTER);
    tagZUTEMPLATExV2 *one = nullptr, *two = nullptr;
    ASSERT_EQ(s.file->GetTemplate(&one), S_OK);
    ASSERT_EQ(s.file->GetTemplate(&two), S_OK);
    TemplatePtr a(one), b(two);
    EXPECT_NE(a.get(), b.get());  // a new copy each time
    EXPECT_EQ(std::memcmp(a.get(), b.get(), a->cbSize), 0);
    ULONG count = 0;
    EXPECT_EQ(s.file->GetStreamCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    CDlsRenderFile bare(nullptr, nullptr);  // no template, no class
    tagZUTEMPLATExV2* none = reinterpret_cast<tagZUTEMPLATExV2*>(1);
    EXPECT_EQ(bare.GetTemplate(&none), E_UNEXPECTED);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(bare.GetStreamCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    IZuRenderFileClass* cls = reinterpret_cast<IZuRenderFileClass*>(1);
    EXPECT_EQ(bare.GetRenderFileClass(&cls), E_NOTIMPL);
    EXPECT_EQ(bare.ReservedFile4(), S_OK);
    EXPECT_EQ(bare.ReservedFile5(), E_NOTIMPL);
    EXPECT_EQ(bare.ReservedFile10(), E_NOTIMPL);
}

TEST(RenderFile, MetadataSourceIsReferencedAndReplaced) {
    FakeInstrumentMeta first, second;
    {
        RenderSession s(kInstrumentDls);
        ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), nullptr), S_OK);
        EXPECT_EQ(s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&first)), S_OK);
        EXPECT_EQ(first.refs, 2u);
        EXPECT_EQ(s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&second)), S_OK);
        EXPECT_EQ(first.refs, 1u);
        EXPECT_EQ(second.refs, 2u);
        EXPECT_EQ(s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&second)), S_OK);  // the same again
        EXPECT_EQ(second.refs, 2u);
    }
    EXPECT_EQ(second.refs, 1u);
}

// ---- The size estimate ----

TEST(EstimateFileSize, DurationFromFramesWhenTheSourceReportsNone) {
    FakeAudioStream source(441000);
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), &source), S_OK);
    uint64_t bytes = 0;
    EXPECT_EQ(s.file->EstimateFileSize(&bytes), S_OK);
    EXPECT_EQ(s.Impl()->duration(), 100000000);
    EXPECT_EQ(s.Impl()->frameCount(), 441000u);
    EXPECT_EQ(bytes, 2940400u);  // 176,400 x 11 + 1,000,000
    EXPECT_EQ(source.refs, 2u);  // the stream interface was given back
    EXPECT_EQ(s.file->EstimateFileSize(nullptr), E_INVALIDARG);
}

TEST(EstimateFileSize, ReportedDurationCountsInWholeSeconds) {
    FakeAudioStream source(10);
    RenderSession s(kInstrumentDls);
    source.duration = 59999999;  // 5.9999999 s: 5 whole seconds
    ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), &source), S_OK);
    uint64_t bytes = 0;
    EXPECT_EQ(s.file->EstimateFileSize(&bytes), S_OK);
    EXPECT_EQ(bytes, 176400u * 6 + 1000000);
    EXPECT_EQ(s.Impl()->duration(), 59999999);
}

TEST(EstimateFileSize, FailedOrEmptyFrameCountDecides) {
    FakeAudioStream source(441000);
    RenderSession s(kInstrumentDls);
    source.duration = 10000000;
    source.frameCountResult = static_cast<HRESULT>(0x8004E007L);
    ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), &source), S_OK);
    uint64_t bytes = 7;
    EXPECT_EQ(s.file->EstimateFileSize(&bytes), static_cast<HRESULT>(0x8004E007L));
    EXPECT_EQ(bytes, 7u);
    EXPECT_EQ(s.Impl()->frameCount(), 0u);
    // No frames, but a successful count: the frame-count result, and an estimate.
    source.frameCountResult = S_FALSE;
    source.frames = 0;
    source.duration = 0;
    EXPECT_EQ(s.file->EstimateFileSize(&bytes), S_FALSE);
    EXPECT_EQ(bytes, 176400u + 1000000);
}

TEST(EstimateFileSize, NeedsATemplateWithAudioAndASource) {
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), nullptr), S_OK);
    uint64_t bytes = 0;
    EXPECT_EQ(s.file->EstimateFileSize(&bytes), E_UNEXPECTED);

    tagZUTEMPLATExV2* raw = nullptr;
    ASSERT_EQ(s.cls->GetTemplate(&raw, 0), S_OK);
    TemplatePtr silent(raw);
    silent->audioStreamCount = 0;
    FakeAudioStream source(100);
    RenderSession t(kInstrumentDls);
    ASSERT_EQ(t.Create(ZU_TEXT("a.dls"), &source, silent.get()), S_OK);
    EXPECT_EQ(t.file->EstimateFileSize(&bytes), E_FAIL);
    EXPECT_EQ(t.Impl()->duration(), 0);
}

TEST(EstimateFileSize, SecondTemplateFormatCountsWhenSet) {
    FakeAudioStream source(80000);  // 10 s at 8,000 Hz
    RenderSession s(kInstrumentDls);
    tagZUTEMPLATExV2* raw = nullptr;
    ASSERT_EQ(s.cls->GetTemplate(&raw, 0), S_OK);
    TemplatePtr tmpl(raw);
    const WAVEFORMATEX mono8{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    _zuwaveformatmax second{};
    ZuAudio_InitWaveFormat(&second.format, 72, &mono8);
    std::memcpy(tmpl->audioFormat2, &second, 72);
    ASSERT_EQ(s.Create(ZU_TEXT("a.dls"), &source, tmpl.get()), S_OK);
    uint64_t bytes = 0;
    EXPECT_EQ(s.file->EstimateFileSize(&bytes), S_OK);
    EXPECT_EQ(bytes, 8000u * 11 + 1000000);
}

TEST(EstimateFileSize, ArithmeticEdges) {
    EXPECT_EQ(DurationOfFrames(441000, 44100), 100000000);
    EXPECT_EQ(DurationOfFrames(1, 3), 3333333);  // 3,333,333.33 rounds down
    EXPECT_EQ(DurationOfFrames(2, 3), 6666667);  // 6,666,666.67 rounds up
    EXPECT_EQ(DurationOfFrames(1000, 0), 0);
    EXPECT_EQ(EstimateRenderBytes(176400, 0), 176400u + 1000000);
    EXPECT_EQ(EstimateRenderBytes(176400, 9999999), 176400u + 1000000);
    EXPECT_EQ(EstimateRenderBytes(176400, 10000000), 2 * 176400u + 1000000);
    EXPECT_EQ(EstimateRenderBytes(176400, -50000000), 176400u + 1000000);  // negative counts as 0
    EXPECT_EQ(EstimateRenderBytes(0xFFFFFFFFu, INT64_MAX), UINT64_MAX);  // saturates
}

// ---- The checks before writing ----

TEST(RenderTarget, DiskFullComesFirstAndUsesWholeKilobytes) {
    const uint64_t estimate = 2940400;
    const uint64_t needed = estimate - kRenderEstimateSlack;  // 1,941,424
    const uint64_t kilobytesFit = (needed + 1023) / 1024 * 1024;
    {
        FakeVolume volume(u"NTFS", kilobytesFit);
        EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), estimate, false, 0), S_OK);
        EXPECT_EQ(FakeVolume::queries, 1);
    }
    {
        FakeVolume volume(u"NTFS", kilobytesFit - 1);  // a part kilobyte does not count
        EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), estimate, false, 0), kDiskFull);
    }
    {
        FakeVolume volume(u"NTFS", 1000);  // full, and the estimate too large as well
        EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), 3 * kGiga, true, 1ull << 33), kDiskFull);
    }
    {
        FakeVolume volume(u"NTFS", 1ull << 50);  // beyond 4 TB: saturates, never looks empty
        EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), kGiga, false, 0), S_OK);
    }
}

TEST(RenderTarget, SizeLimits) {
    FakeVolume volume(u"NTFS", 1ull << 40);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), kRenderSizeLimit - 1, false, 0), S_OK);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), kRenderSizeLimit, false, 0), kTooLarge);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), 2000000, true, 0x100000000ull), kTooLarge);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), 2000000, true, 0xFFFFFFFFull), S_OK);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), 2000000, false, 0x100000000ull), S_OK);  // only compressed formats
}

TEST(RenderTarget, FatVolumes) {
    FakeVolume volume(u"FAT32", 1ull << 40);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), 5 * kGiga, false, 0), kTooLarge);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), kRenderSizeLimit, false, 0), kTooLarge);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), kRenderSizeLimit - 1, false, 0), S_OK);
}

TEST(RenderTarget, UnknownVolumeLeavesOnlyTheSizeLimits) {
    FakeVolume volume(u"", 0, false);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), 2940400, false, 0), S_OK);
    EXPECT_EQ(CheckRenderTarget(ZU_TEXT("t.dls"), kRenderSizeLimit, false, 0), kTooLarge);
}

// ---- Render ----

TEST(Render, WithoutSourceOrMetadataNothingIsWritten) {
    TempDir dir;
    const WideString path = dir.WidePath("none.dls");
    FakeAudioStream source(441000);
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(path, nullptr), S_OK);
    EXPECT_EQ(s.file->Render(nullptr), kNoAudio);
    ASSERT_EQ(s.file->AddSource(&source), S_OK);
    EXPECT_EQ(s.file->Render(nullptr), kNotFound);
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.dls")));
}

TEST(Render, TooLittleFreeSpaceCreatesNoFile) {
    TempDir dir;
    const WideString path = dir.WidePath("full.dls");
    FakeAudioStream source(441000);
    FakeInstrumentMeta meta;
    RenderSession s(kInstrumentDls);
    DescribeDls(&meta, {441000});
    ASSERT_EQ(s.Create(path, &source), S_OK);
    s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&meta));
    FakeVolume volume(u"NTFS", 1000000);
    EXPECT_EQ(s.file->Render(nullptr), kDiskFull);
    EXPECT_EQ(FakeVolume::queries, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("full.dls")));
    EXPECT_EQ(meta.refs, 2u);  // nothing was asked of the metadata
}

TEST(Render, EstimatesBeyondTheLimitsCreateNoFile) {
    TempDir dir;
    FakeInstrumentMeta meta;
    DescribeDls(&meta, {100});
    // About 8.3 hours of 16-bit stereo: over 4 GB.
    FakeAudioStream huge(44100ull * 30000);
    for (const char16_t* fs : {u"FAT32", u"NTFS"}) {
        RenderSession s(kInstrumentDls);
        ASSERT_EQ(s.Create(dir.WidePath("huge.dls"), &huge), S_OK);
        s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&meta));
        FakeVolume volume(fs, 1ull << 40);
        EXPECT_EQ(s.file->Render(nullptr), kTooLarge);
    }
    // 2^31 bytes and a little more: 12,175 s of 176,400 B/s.
    FakeAudioStream twoGig(44100ull * 12175);
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(dir.WidePath("huge.dls"), &twoGig), S_OK);
    s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&meta));
    uint64_t bytes = 0;
    ASSERT_EQ(s.file->EstimateFileSize(&bytes), S_OK);
    ASSERT_GE(bytes, kRenderSizeLimit);
    FakeVolume volume(u"NTFS", 1ull << 40);
    EXPECT_EQ(s.file->Render(nullptr), kTooLarge);
    EXPECT_FALSE(std::filesystem::exists(dir.File("huge.dls")));
}

TEST(Render, CompressedTemplateWithOverFourGigaFramesIsTooLarge) {
    TempDir dir;
    FakeAudioStream source(0x100000000ull);
    FakeInstrumentMeta meta;
    RenderSession s(kInstrumentDls);
    tagZUTEMPLATExV2* raw = nullptr;
    ASSERT_EQ(s.cls->GetTemplate(&raw, 0), S_OK);
    TemplatePtr tmpl(raw);
    // A compressed format of a tiny byte rate keeps the estimate small.
    const WAVEFORMATEX adpcm{0x0002, 1, 8000, 1, 256, 4, 0};
    _zuwaveformatmax compressed{};
    ZuAudio_InitWaveFormat(&compressed.format, 72, &adpcm);
    std::memcpy(tmpl->audioFormat, &compressed, 72);
    DescribeDls(&meta, {10});
    ASSERT_EQ(s.Create(dir.WidePath("c.dls"), &source, tmpl.get()), S_OK);
    s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&meta));
    FakeVolume volume(u"NTFS", 1ull << 40);
    uint64_t bytes = 0;
    ASSERT_EQ(s.file->EstimateFileSize(&bytes), S_OK);
    ASSERT_LT(bytes, kRenderSizeLimit);
    EXPECT_EQ(s.file->Render(nullptr), kTooLarge);
    EXPECT_FALSE(std::filesystem::exists(dir.File("c.dls")));
}

TEST(Render, PassesTheChecksOnToTheWriter) {
    TempDir dir;
    FakeAudioStream source(100, 1);
    FakeInstrumentMeta meta;
    RenderSession s(kInstrumentDls);
    DescribeDls(&meta, {60, 40});
    ASSERT_EQ(s.Create(dir.WidePath("ok.dls"), &source), S_OK);
    s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&meta));
    FakeVolume volume(u"NTFS", 1ull << 40);
    const HRESULT hr = s.file->Render(nullptr);
    EXPECT_EQ(FakeVolume::queries, 1);
    EXPECT_NE(hr, kDiskFull);
    EXPECT_NE(hr, kTooLarge);
    EXPECT_NE(hr, kCorrupt);
    EXPECT_NE(hr, kNotFound);
    EXPECT_EQ(meta.refs, 2u);  // the instrument held no reference after the render
    EXPECT_EQ(source.refs, 2u);
}

TEST(Render, EstimateFailureSkipsTheChecks) {
    TempDir dir;
    FakeAudioStream source(100);
    FakeInstrumentMeta meta;
    RenderSession s(kInstrumentDls);
    source.frameCountResult = E_FAIL;
    DescribeDls(&meta, {100});
    ASSERT_EQ(s.Create(dir.WidePath("skip.dls"), &source), S_OK);
    s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&meta));
    FakeVolume volume(u"NTFS", 0);  // would be full
    EXPECT_NE(s.file->Render(nullptr), kDiskFull);
    EXPECT_EQ(FakeVolume::queries, 0);
}

TEST(Render, MetadataOfTheOtherFamilyIsRefusedBeforeWriting) {
    TempDir dir;
    FakeInstrumentMeta soundFont, dls;
    DescribeSoundFont(&soundFont, {100});
    DescribeDls(&dls, {100});
    if (!BuilderReadsImages(&soundFont, kInstrumentSf2))
        GTEST_SKIP() << "the instrument builder from metadata is still the empty stand-in";
    FakeVolume volume(u"NTFS", 1ull << 40);
    const struct {
        InstrumentKind kind;
        FakeInstrumentMeta* meta;
        const char* name;
    } cases[] = {{kInstrumentDls, &soundFont, "a.dls"}, {kInstrumentGig, &soundFont, "a.gig"},
                 {kInstrumentSf2, &dls, "a.sf2"}};
    for (const auto& c : cases) {
        FakeAudioStream source(100, 1);
        RenderSession s(c.kind);
        ASSERT_EQ(s.Create(dir.WidePath(c.name), &source), S_OK);
        s.file->SetMetadataSource(static_cast<IZuReadMeta*>(c.meta));
        EXPECT_EQ(s.file->Render(nullptr), kCorrupt) << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir.File(c.name))) << c.name;
    }
}

TEST(Render, InstrumentImageFamilies) {
    const std::string dlsHeader = images::DlsHeader(), dlsPool = images::DlsWavePool({5, 6});
    const std::string sfHeader = images::Sf2Header(), sfPool = images::Sf2WavePool({5, 6});
    auto fits = [](InstrumentKind kind, const std::string& header, const std::string& pool) {
        return InstrumentImagesFitKind(kind, reinterpret_cast<const uint8_t*>(header.data()),
                                       static_cast<uint32_t>(header.size()),
                                       reinterpret_cast<const uint8_t*>(pool.data()), static_cast<uint32_t>(pool.size()));
    };
    EXPECT_TRUE(fits(kInstrumentDls, dlsHeader, dlsPool));
    EXPECT_TRUE(fits(kInstrumentGig, dlsHeader, dlsPool));  // DLS and GIG share their images
    EXPECT_TRUE(fits(kInstrumentSf2, sfHeader, sfPool));
    EXPECT_FALSE(fits(kInstrumentDls, sfHeader, sfPool));
    EXPECT_FALSE(fits(kInstrumentGig, "", sfPool));
    EXPECT_FALSE(fits(kInstrumentDls, sfHeader, ""));
    EXPECT_FALSE(fits(kInstrumentSf2, dlsHeader, dlsPool));
    EXPECT_FALSE(fits(kInstrumentSf2, "", dlsPool));
    EXPECT_FALSE(fits(kInstrumentSf2, sfHeader, dlsPool));  // a pool of the other family is enough
    // Images that tell nothing pass: the writers handle empty instruments.
    EXPECT_TRUE(fits(kInstrumentDls, "", ""));
    EXPECT_TRUE(fits(kInstrumentSf2, "", ""));
    EXPECT_TRUE(fits(kInstrumentDls, "garbage", "xyz"));
    // Only the top level counts: a "smpW" inside a list is not a SoundFont 2 pool.
    zu::fixture::RiffWriter nested;
    nested.List("wrap", {{"smpW", std::string(8, '\0')}});
    EXPECT_TRUE(fits(kInstrumentDls, "", nested.Take()));
}

TEST(Render, WriteMetadataHandsTheTargetToTheMetadataWriter) {
    TempDir dir;
    FakeInstrumentMeta meta;
    RenderSession s(kInstrumentDls);
    ASSERT_EQ(s.Create(dir.WidePath("absent.dls"), nullptr), S_OK);
    s.file->SetMetadataSource(static_cast<IZuReadMeta*>(&meta));
    // The target does not exist: whichever metadata writer is linked fails.
    EXPECT_TRUE(FAILED(s.file->WriteMetadata(44100)));
    EXPECT_FALSE(std::filesystem::exists(dir.File("absent.dls")));
}

}  // namespace
}  // namespace zu::test

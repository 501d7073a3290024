// The wave-format record against WAVEFORMATEX: sample types, Init and the
// copy back, extensible formats, formats of their own tag, the format tests,
// and the stream format record.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "kernel/stream_format.h"
#include "kernel/wave_format.h"
#include "zuinstr/zuinstr_audio.h"

namespace {

WAVEFORMATEX Wfx(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t blockAlign, uint32_t avg) {
    WAVEFORMATEX w{};
    w.wFormatTag = tag;
    w.nChannels = channels;
    w.nSamplesPerSec = rate;
    w.nAvgBytesPerSec = avg;
    w.nBlockAlign = blockAlign;
    w.wBitsPerSample = bits;
    return w;
}

WAVEFORMATEXTENSIBLE Extensible(const GUID& sub, uint16_t channels, uint16_t bits, uint16_t validBits, uint32_t mask) {
    WAVEFORMATEXTENSIBLE e{};
    e.Format = Wfx(WAVE_FORMAT_EXTENSIBLE, channels, 48000, bits, static_cast<uint16_t>(channels * bits / 8),
                   48000u * channels * bits / 8);
    e.Format.cbSize = 22;
    e.Samples.wValidBitsPerSample = validBits;
    e.dwChannelMask = mask;
    e.SubFormat = sub;
    return e;
}

GUID Subtype(uint16_t tag) {
    GUID g = ZUAUDIO_SUBTYPE_PCM;
    g.Data1 = tag;
    return g;
}

TEST(SampleType, FromTagAndBits) {
    struct Case {
        uint16_t tag, bits;
        ZUSAMPLETYPE type;
    };
    const Case cases[] = {
        {1, 8, 16},       {1, 16, 17},      {1, 20, 18},      {1, 24, 18},      {1, 32, 19},      {1, 12, 0},
        {1, 64, 0},       {3, 32, 32},      {3, 64, 33},      {3, 16, 0},       {0xFE00, 24, 48}, {0xFE00, 32, 48},
        {0xFE00, 16, 0},  {0xFE01, 8, 49},  {0xFE01, 16, 17}, {0xFE01, 24, 18}, {0xFE02, 8, 16},  {0xFE02, 16, 64},
        {0xFE02, 24, 65}, {0xFE02, 32, 66}, {0xFE03, 16, 128}, {0xFE03, 24, 129}, {0xFE03, 8, 0},  {2, 4, 0},
        {0xFFFE, 16, 0},  {0, 16, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ZuAudio_GetSampleType2(c.tag, c.bits), c.type) << c.tag << "/" << c.bits;
}

TEST(SampleType, TagAndBitsRoundTrip) {
    for (ZUSAMPLETYPE t : {16u, 17u, 18u, 19u, 32u, 33u, 48u, 49u, 64u, 65u, 66u, 128u, 129u})
        EXPECT_EQ(ZuAudio_GetSampleType2(ZuAudio_FormatTagFromSampleType(t), ZuAudio_BitsFromSampleType(t)), t) << t;
    EXPECT_EQ(ZuAudio_FormatTagFromSampleType(0), 0);
    EXPECT_EQ(ZuAudio_BitsFromSampleType(20), 0);
    EXPECT_EQ(ZuAudio_BitsFromSampleType(ZUSAMPLE_S24IN32), 32);
    EXPECT_EQ(ZuAudio_BytesFromSampleType(ZUSAMPLE_S24), 3u);
}

TEST(SampleType, ExtensibleFormats) {
    const auto pcm16 = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 16, 16, 3);
    EXPECT_EQ(ZuAudio_GetSampleType(&pcm16.Format), ZUSAMPLE_S16);
    const auto flt = Extensible(ZUAUDIO_SUBTYPE_IEEE_FLOAT, 6, 32, 32, 0x3F);
    EXPECT_EQ(ZuAudio_GetSampleType(&flt.Format), ZUSAMPLE_F32);
    const auto in32 = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 32, 24, 3);
    EXPECT_EQ(ZuAudio_GetSampleType(&in32.Format), ZUSAMPLE_S24IN32);
    const auto full32 = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 32, 32, 3);
    EXPECT_EQ(ZuAudio_GetSampleType(&full32.Format), ZUSAMPLE_S32);

    GUID vendor = ZUAUDIO_SUBTYPE_PCM;
    vendor.Data4[7] = 0x72;  // the tag frame is broken
    const auto odd = Extensible(vendor, 2, 16, 16, 3);
    EXPECT_EQ(ZuAudio_GetSampleType(&odd.Format), ZUSAMPLE_NONE);
    GUID highTag = ZUAUDIO_SUBTYPE_PCM;
    highTag.Data1 = 0x00010001;  // bytes 2 and 3 belong to the frame
    const auto high = Extensible(highTag, 2, 16, 16, 3);
    EXPECT_EQ(ZuAudio_GetSampleType(&high.Format), ZUSAMPLE_NONE);

    auto shortExt = pcm16;
    shortExt.Format.cbSize = 21;  // too short to hold a SubFormat
    EXPECT_EQ(ZuAudio_GetSampleType(&shortExt.Format), ZUSAMPLE_NONE);
    EXPECT_EQ(ZuAudio_GetSampleType(nullptr), ZUSAMPLE_NONE);
}

TEST(WaveFormatTag, ResolvesExtensibleSubtypes) {
    const auto adpcm = Extensible(Subtype(2), 2, 4, 4, 3);
    EXPECT_EQ(ZuAudio_GetWaveFormatTag(&adpcm.Format), 2);
    GUID vendor = ZUAUDIO_SUBTYPE_PCM;
    vendor.Data2 = 1;
    const auto odd = Extensible(vendor, 2, 16, 16, 3);
    EXPECT_EQ(ZuAudio_GetWaveFormatTag(&odd.Format), WAVE_FORMAT_EXTENSIBLE);
    const WAVEFORMATEX plain = Wfx(0x55, 2, 44100, 0, 1, 16000);
    EXPECT_EQ(ZuAudio_GetWaveFormatTag(&plain), 0x55);
    EXPECT_EQ(ZuAudio_GetWaveFormatTag(nullptr), 0);
}

TEST(WaveFormatRecord, Pcm16StereoRoundTrip) {
    const WAVEFORMATEX w = Wfx(1, 2, 44100, 16, 4, 176400);
    _zuwaveformatmax rec;
    std::memset(&rec, 0xCC, sizeof rec);
    ASSERT_EQ(rec.format.Init(sizeof rec, &w), S_OK);
    EXPECT_EQ(rec.format.cbStruct, 36u);
    EXPECT_EQ(rec.format.sampleType, ZUSAMPLE_S16);
    EXPECT_EQ(rec.format.samplesPerSec, 44100u);
    EXPECT_EQ(rec.format.channels, 2);
    EXPECT_EQ(rec.format.blockAlign, 4);
    EXPECT_EQ(rec.format.avgBytesPerSec, 176400u);
    EXPECT_EQ(rec.format.flags, 0u);
    EXPECT_EQ(rec.format.extraSize, 0);
    EXPECT_EQ(rec.extra[1023], 0) << "the whole room is cleared";

    const _zuwaveformat_wfxcopyhelper back(rec.format);
    EXPECT_EQ(back.wfx.wFormatTag, 1);
    EXPECT_EQ(back.wfx.wBitsPerSample, 16);
    EXPECT_EQ(back.wfx.nBlockAlign, 4);
    EXPECT_EQ(back.wfx.nChannels, 2);
    EXPECT_EQ(back.wfx.nSamplesPerSec, 44100u);
    EXPECT_EQ(back.wfx.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(back.wfx.cbSize, 0);
}

TEST(WaveFormatRecord, EveryTypeRoundTripsThroughWfx) {
    for (ZUSAMPLETYPE t : {16u, 17u, 18u, 19u, 32u, 33u, 48u, 49u, 64u, 65u, 66u}) {
        _zuwaveformat rec{};
        rec.cbStruct = 36;
        rec.sampleType = t;
        rec.samplesPerSec = 22050;
        rec.channels = 3;
        WAVEFORMATEX w{};
        ASSERT_EQ(ZuAudio_WaveFormatToWfx(&rec, &w), S_OK);
        EXPECT_EQ(ZuAudio_GetSampleType(&w), t);
        EXPECT_EQ(w.nBlockAlign, 3 * ZuAudio_BytesFromSampleType(t)) << t;
        EXPECT_EQ(w.nAvgBytesPerSec, 22050u * w.nBlockAlign) << t;
        EXPECT_FALSE(ZuAudio_IsCompressed(&w)) << t;
        _zuwaveformat again{};
        again.Init(sizeof again, &w);
        EXPECT_EQ(again.sampleType, t);
    }
}

TEST(WaveFormatRecord, RepairsBadPcmBlockAlign) {
    const WAVEFORMATEX bad = Wfx(1, 2, 44100, 16, 3, 12345);
    EXPECT_TRUE(ZuAudio_IsCompressed(&bad));
    _zuwaveformat rec{};
    rec.Init(sizeof rec, &bad);
    EXPECT_EQ(rec.sampleType, ZUSAMPLE_S16);
    EXPECT_EQ(rec.blockAlign, 4);
    EXPECT_EQ(rec.avgBytesPerSec, 176400u);
    EXPECT_EQ(bad.nBlockAlign, 3) << "the caller's format is not touched";
}

TEST(WaveFormatRecord, ExtensibleFormats) {
    _zuwaveformatmax rec;
    const auto flt = Extensible(ZUAUDIO_SUBTYPE_IEEE_FLOAT, 6, 32, 32, 0x3F);
    rec.format.Init(sizeof rec, &flt.Format);
    EXPECT_EQ(rec.format.sampleType, ZUSAMPLE_F32);
    EXPECT_EQ(rec.format.flags, ZUWF_FLAG_CHANNELMASK);
    EXPECT_EQ(rec.format.channelMask, 0x3Fu);
    EXPECT_EQ(rec.format.cbStruct, 36u);

    // The 18-byte copy is plain; a roomier copy keeps the mask as an extensible format.
    WAVEFORMATEX plain{};
    ZuAudio_WaveFormatToWfx(&rec.format, &plain);
    EXPECT_EQ(plain.wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
    EXPECT_EQ(plain.cbSize, 0);
    WAVEFORMATEXTENSIBLE full{};
    ASSERT_EQ(ZuAudio_GeneralCopyWfx(&rec.format, &full.Format, sizeof full), S_OK);
    EXPECT_EQ(full.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(full.Format.cbSize, 22);
    EXPECT_EQ(full.dwChannelMask, 0x3Fu);
    EXPECT_TRUE(ZuGuidEqual(full.SubFormat, ZUAUDIO_SUBTYPE_IEEE_FLOAT));
    EXPECT_EQ(full.Format.nBlockAlign, 24);

    const auto in32 = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 32, 24, 3);
    rec.format.Init(sizeof rec, &in32.Format);
    EXPECT_EQ(rec.format.sampleType, ZUSAMPLE_S24IN32);
    std::memset(&full, 0, sizeof full);
    ZuAudio_GeneralCopyWfx(&rec.format, &full.Format, sizeof full);
    EXPECT_EQ(full.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(full.Format.wBitsPerSample, 32);
    EXPECT_EQ(full.Samples.wValidBitsPerSample, 24);
    EXPECT_EQ(ZuAudio_GetSampleType(&full.Format), ZUSAMPLE_S24IN32);
}

TEST(WaveFormatRecord, NonStandardSubtypeKeepsItsOwnTag) {
    GUID vendor = {0x12345678, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
    struct {
        WAVEFORMATEXTENSIBLE ext;
        uint8_t tail[4];
    } w{};
    w.ext = Extensible(vendor, 2, 16, 16, 3);
    w.ext.Format.cbSize = 26;
    const uint8_t tail[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    std::memcpy(w.tail, tail, 4);
    _zuwaveformatmax rec;
    rec.format.Init(sizeof rec, &w.ext.Format);
    EXPECT_EQ(rec.format.sampleType, ZUSAMPLE_NONE);
    EXPECT_EQ(rec.format.flags, ZUWF_FLAG_OWNTAG | ZUWF_FLAG_CHANNELMASK);
    EXPECT_EQ(rec.format.formatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(rec.format.bitsPerSample, 16);
    // Only the bytes after the 22 extensible ones are kept.
    EXPECT_EQ(rec.format.extraSize, 4);
    EXPECT_EQ(rec.format.cbStruct, 40u);
    EXPECT_EQ(0, std::memcmp(rec.extra, tail, 4));
}

TEST(WaveFormatRecord, ZeroSubtypeTakesTheTypeFromItsBits) {
    auto zero = Extensible(GUID{}, 2, 32, 32, 3);
    _zuwaveformat rec{};
    rec.Init(sizeof rec, &zero.Format);
    EXPECT_EQ(rec.sampleType, ZUSAMPLE_F32);
    zero = Extensible(GUID{}, 2, 24, 24, 3);
    rec.Init(sizeof rec, &zero.Format);
    EXPECT_EQ(rec.sampleType, ZUSAMPLE_S24);
    // Inconsistent numbers fail the test: the format keeps its own tag.
    zero.Format.nAvgBytesPerSec += 1;
    rec.Init(sizeof rec, &zero.Format);
    EXPECT_EQ(rec.sampleType, ZUSAMPLE_NONE);
    EXPECT_EQ(rec.flags & ZUWF_FLAG_OWNTAG, ZUWF_FLAG_OWNTAG);
    // An extensible tag without the extensible part: the same rule, no mask.
    WAVEFORMATEX bare = Wfx(WAVE_FORMAT_EXTENSIBLE, 1, 8000, 16, 2, 16000);
    rec.Init(sizeof rec, &bare);
    EXPECT_EQ(rec.sampleType, ZUSAMPLE_S16);
    EXPECT_EQ(rec.flags, 0u);
}

TEST(WaveFormatRecord, AdpcmKeepsTagBitsAndExtraBytes) {
    struct {
        WAVEFORMATEX wfx;
        uint8_t extra[32];
    } adpcm{};
    adpcm.wfx = Wfx(2, 2, 22050, 4, 1024, 22311);
    adpcm.wfx.cbSize = 32;
    for (int i = 0; i < 32; ++i) adpcm.extra[i] = static_cast<uint8_t>(i + 1);
    EXPECT_TRUE(ZuAudio_IsCompressed(&adpcm.wfx));

    _zuwaveformatmax rec;
    ASSERT_EQ(rec.format.Init(sizeof rec, &adpcm.wfx), S_OK);
    EXPECT_EQ(rec.format.sampleType, ZUSAMPLE_NONE);
    EXPECT_EQ(rec.format.flags, ZUWF_FLAG_OWNTAG);
    EXPECT_EQ(rec.format.formatTag, 2);
    EXPECT_EQ(rec.format.bitsPerSample, 4);
    EXPECT_EQ(rec.format.blockAlign, 1024) << "only PCM block aligns are repaired";
    EXPECT_EQ(rec.format.avgBytesPerSec, 22311u);
    EXPECT_EQ(rec.format.extraSize, 32);
    EXPECT_EQ(rec.format.cbStruct, 36u + 32u);
    EXPECT_EQ(0, std::memcmp(rec.extra, adpcm.extra, 32));

    // The 18-byte copy carries the record's own numbers and no extra bytes.
    WAVEFORMATEX back{};
    ZuAudio_WaveFormatToWfx(&rec.format, &back);
    EXPECT_EQ(back.wFormatTag, 2);
    EXPECT_EQ(back.wBitsPerSample, 4);
    EXPECT_EQ(back.nBlockAlign, 1024);
    EXPECT_EQ(back.nAvgBytesPerSec, 22311u);
    EXPECT_EQ(back.cbSize, 0);
    // A roomier copy gets them back, as far as they fit.
    struct {
        WAVEFORMATEX wfx;
        uint8_t extra[40];
    } full{};
    ZuAudio_GeneralCopyWfx(&rec.format, &full.wfx, 18 + 20);
    EXPECT_EQ(full.wfx.cbSize, 20);
    EXPECT_EQ(0, std::memcmp(full.extra, adpcm.extra, 20));
    EXPECT_EQ(full.extra[20], 0);
}

TEST(WaveFormatRecord, RoomLimitsTheExtraBytes) {
    struct {
        WAVEFORMATEX wfx;
        uint8_t extra[2000];
    } big{};
    big.wfx = Wfx(0x11, 1, 8000, 4, 256, 4055);
    big.wfx.cbSize = 2000;
    std::memset(big.extra, 0x77, sizeof big.extra);

    // Room for 10 extra bytes; the byte after the room stays as it was.
    std::vector<uint8_t> buffer(38 + 10 + 1, 0xEE);
    auto* rec = reinterpret_cast<_zuwaveformat*>(buffer.data());
    rec->Init(38 + 10, &big.wfx);
    EXPECT_EQ(rec->extraSize, 10);
    EXPECT_EQ(rec->cbStruct, 46u);
    EXPECT_EQ(buffer[48], 0xEE);

    // The most ever kept is 1024.
    _zuwaveformatmax maxRec;
    std::vector<uint8_t> roomy(4096, 0xEE);
    reinterpret_cast<_zuwaveformat*>(roomy.data())->Init(4096, &big.wfx);
    EXPECT_EQ(reinterpret_cast<_zuwaveformat*>(roomy.data())->extraSize, 1024);
    EXPECT_EQ(roomy[38 + 1024], 0) << "the whole room is cleared";
    maxRec.format.Init(sizeof maxRec, &big.wfx);
    EXPECT_EQ(maxRec.format.extraSize, 1024);

    // Below 38 bytes there is no extraSize: a 36-byte record, nothing written past it.
    std::vector<uint8_t> small(40, 0xEE);
    auto* tiny = reinterpret_cast<_zuwaveformat*>(small.data());
    tiny->Init(0, &big.wfx);
    EXPECT_EQ(tiny->cbStruct, 36u);
    EXPECT_EQ(tiny->formatTag, 0x11);
    EXPECT_EQ(small[36], 0xEE);
    EXPECT_EQ(small[37], 0xEE);
    tiny->Init(37, &big.wfx);
    EXPECT_EQ(tiny->cbStruct, 36u);
    EXPECT_EQ(small[36], 0x00);
    EXPECT_EQ(small[37], 0xEE);
    // Its copy back must not read the bytes that are not part of it.
    WAVEFORMATEX back{};
    struct {
        WAVEFORMATEX wfx;
        uint8_t extra[64];
    } full{};
    ZuAudio_GeneralCopyWfx(tiny, &full.wfx, sizeof full);
    EXPECT_EQ(full.wfx.cbSize, 0);
    ZuAudio_WaveFormatToWfx(tiny, &back);
    EXPECT_EQ(back.wFormatTag, 0x11);
}

TEST(WaveFormatRecord, NullArguments) {
    _zuwaveformat rec{};
    const WAVEFORMATEX w = Wfx(1, 1, 8000, 8, 1, 8000);
    EXPECT_EQ(ZuAudio_InitWaveFormat(nullptr, 36, &w), E_POINTER);
    EXPECT_EQ(ZuAudio_InitWaveFormat(&rec, 36, nullptr), E_POINTER);
    EXPECT_EQ(ZuAudio_WaveFormatToWfx(nullptr, nullptr), E_POINTER);
    WAVEFORMATEX out{};
    EXPECT_EQ(ZuAudio_GeneralCopyWfx(&rec, &out, 17), E_INVALIDARG);
}

TEST(FixBadWfx, RepairsPlainFormatsOnly) {
    WAVEFORMATEX w = Wfx(1, 2, 48000, 24, 4, 1);
    EXPECT_EQ(ZuAudio_FixBadWfx(&w), S_OK);
    EXPECT_EQ(w.nBlockAlign, 6);
    EXPECT_EQ(w.nAvgBytesPerSec, 288000u);
    EXPECT_EQ(ZuAudio_FixBadWfx(&w), S_FALSE);
    w = Wfx(1, 2, 48000, 20, 0, 0);  // 20-bit data lives in 3 bytes
    EXPECT_EQ(ZuAudio_FixBadWfx(&w), S_OK);
    EXPECT_EQ(w.nBlockAlign, 6);
    w = Wfx(3, 1, 8000, 64, 4, 0);
    EXPECT_EQ(ZuAudio_FixBadWfx(&w), S_OK);
    EXPECT_EQ(w.nBlockAlign, 8);
    w = Wfx(2, 2, 22050, 4, 1024, 22311);
    EXPECT_EQ(ZuAudio_FixBadWfx(&w), S_FALSE);
    EXPECT_EQ(w.nBlockAlign, 1024);
    w = Wfx(1, 0, 8000, 16, 4, 0);  // no channels: nothing to derive
    EXPECT_EQ(ZuAudio_FixBadWfx(&w), S_FALSE);
    auto ext = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 16, 16, 3);
    ext.Format.nBlockAlign = 3;
    EXPECT_EQ(ZuAudio_FixBadWfx(&ext.Format), S_OK);
    EXPECT_EQ(ext.Format.nBlockAlign, 4);
    EXPECT_EQ(ZuAudio_FixBadWfx(nullptr), E_POINTER);
}

bool Compressed(WAVEFORMATEX w) { return ZuAudio_IsCompressed(&w) != FALSE; }

TEST(IsCompressed, EdgeCases) {
    const WAVEFORMATEX pcm = Wfx(1, 2, 44100, 16, 4, 176400);
    EXPECT_FALSE(ZuAudio_IsCompressed(&pcm));
    EXPECT_TRUE(Compressed(Wfx(1, 2, 44100, 16, 3, 176400)));
    EXPECT_TRUE(Compressed(Wfx(1, 1, 44100, 12, 2, 88200)));
    EXPECT_FALSE(Compressed(Wfx(1, 2, 44100, 20, 6, 264600)));
    EXPECT_FALSE(Compressed(Wfx(3, 2, 44100, 32, 8, 352800)));
    EXPECT_FALSE(Compressed(Wfx(0xFE00, 2, 44100, 32, 8, 352800)));
    EXPECT_FALSE(Compressed(Wfx(0xFE01, 1, 44100, 8, 1, 44100)));
    EXPECT_FALSE(Compressed(Wfx(0xFE02, 1, 44100, 24, 3, 132300)));
    EXPECT_TRUE(Compressed(Wfx(0xFE03, 1, 44100, 16, 2, 88200)));
    EXPECT_TRUE(Compressed(Wfx(0x55, 2, 44100, 0, 1, 16000)));

    auto ext = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 16, 16, 3);
    EXPECT_FALSE(ZuAudio_IsCompressed(&ext.Format));
    ext.Format.nBlockAlign = 3;
    EXPECT_TRUE(ZuAudio_IsCompressed(&ext.Format));
    ext = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 16, 16, 3);
    ext.Format.cbSize = 21;
    EXPECT_TRUE(ZuAudio_IsCompressed(&ext.Format));
    ext = Extensible(Subtype(2), 2, 16, 16, 3);
    EXPECT_TRUE(ZuAudio_IsCompressed(&ext.Format));
    ext = Extensible(ZUAUDIO_SUBTYPE_IEEE_FLOAT, 2, 32, 32, 3);
    EXPECT_FALSE(ZuAudio_IsCompressed(&ext.Format));
    EXPECT_TRUE(ZuAudio_IsCompressed(nullptr));
}

TEST(IsEqualFormat, ComparesChannelsRateTagAndBits) {
    const WAVEFORMATEX a = Wfx(1, 2, 44100, 16, 4, 176400);
    WAVEFORMATEX b = a;
    b.nBlockAlign = 3;
    b.nAvgBytesPerSec = 1;
    EXPECT_TRUE(ZuAudio_IsEqualFormat(&a, &b));
    for (int field = 0; field < 4; ++field) {
        b = a;
        if (field == 0) b.nChannels = 1;
        if (field == 1) b.nSamplesPerSec = 48000;
        if (field == 2) b.wFormatTag = 3;
        if (field == 3) b.wBitsPerSample = 24;
        EXPECT_FALSE(ZuAudio_IsEqualFormat(&a, &b)) << field;
    }
    auto pcm32 = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 32, 32, 3);
    auto flt32 = Extensible(ZUAUDIO_SUBTYPE_IEEE_FLOAT, 2, 32, 32, 3);
    EXPECT_FALSE(ZuAudio_IsEqualFormat(&pcm32.Format, &flt32.Format));
    auto in32 = Extensible(ZUAUDIO_SUBTYPE_PCM, 2, 32, 24, 3);
    EXPECT_FALSE(ZuAudio_IsEqualFormat(&pcm32.Format, &in32.Format));
    EXPECT_TRUE(ZuAudio_IsEqualFormat(&pcm32.Format, &pcm32.Format));
    EXPECT_FALSE(ZuAudio_IsEqualFormat(&a, nullptr));
}

TEST(InitWfxFlex, PlainAndExtensible) {
    WAVEFORMATEXTENSIBLE e{};
    ASSERT_EQ(ZuAudio_InitWfxFlex(&e.Format, 18, 1, 24, 96000, 2, 3), S_OK);
    EXPECT_EQ(e.Format.wFormatTag, 1);
    EXPECT_EQ(e.Format.nBlockAlign, 6);
    EXPECT_EQ(e.Format.nAvgBytesPerSec, 576000u);
    EXPECT_EQ(e.Format.cbSize, 0);
    ASSERT_EQ(ZuAudio_InitWfxFlex(&e.Format, 40, 1, 24, 96000, 2, 3), S_OK);
    EXPECT_EQ(e.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(e.Format.cbSize, 22);
    EXPECT_EQ(e.Samples.wValidBitsPerSample, 24);
    EXPECT_TRUE(ZuGuidEqual(e.SubFormat, ZUAUDIO_SUBTYPE_PCM));
    ASSERT_EQ(ZuAudio_InitWfxFlex(&e.Format, 40, 1, 16, 96000, 2, 0), S_OK);
    EXPECT_EQ(e.Format.wFormatTag, 1) << "no mask: plain";
    EXPECT_EQ(ZuAudio_InitWfxFlex(&e.Format, 17, 1, 16, 8000, 1, 0), E_INVALIDARG);
    EXPECT_EQ(ZuAudio_InitWfxFlex(&e.Format, 18, 1, 64, 8000, 10000, 0), E_INVALIDARG) << "block align overflows";
    EXPECT_EQ(ZuAudio_InitWfxFlex(nullptr, 18, 1, 16, 8000, 1, 0), E_POINTER);
}

// ---- The stream format record ----
TEST(StreamFormatInfo, Layout) {
    EXPECT_EQ(sizeof(_ZUFILESTREAMFORMATINFOv2), 184u);
    _ZUFILESTREAMFORMATINFOv2 info;
    std::memset(&info, 0xAB, sizeof info);
    info.cbSize = 0;
    const WAVEFORMATEX w = Wfx(1, 2, 44100, 16, 4, 176400);
    uint8_t ext[32];
    for (int i = 0; i < 32; ++i) ext[i] = static_cast<uint8_t>(0x40 + i);
    ASSERT_EQ(ZuFio_SetStreamFormatInfo(&info, &w, ext, 0x0000000123456789ull), S_OK);

    const auto* bytes = reinterpret_cast<const uint8_t*>(&info);
    EXPECT_EQ(bytes[0], 184);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[4], 1);
    const uint8_t length[8] = {0x89, 0x67, 0x45, 0x23, 0x01, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(bytes + 8, length, 8));
    for (int i = 16; i < 24; ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(0, std::memcmp(bytes + 24, ext, 32));
    for (int i = 56; i < 88; ++i) EXPECT_EQ(bytes[i], 0) << i;
    // The wave-format record at 88: cbStruct 36, sample type 17, rate at 96.
    EXPECT_EQ(bytes[88], 36);
    EXPECT_EQ(bytes[92], 17);
    EXPECT_EQ(bytes[96] | (bytes[97] << 8), 44100);
    EXPECT_EQ(bytes[100], 2);
    for (int i = 88 + 38; i < 184; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(StreamFormatInfo, OptionalPartsAndLargerSize) {
    _ZUFILESTREAMFORMATINFOv2 info;
    std::memset(&info, 0xAB, sizeof info);
    info.cbSize = 200;
    ASSERT_EQ(ZuFio_SetStreamFormatInfo(&info, nullptr, nullptr, 7), S_OK);
    EXPECT_EQ(info.cbSize, 200u) << "a larger stated size stays";
    EXPECT_EQ(info.streamType, ZUFIO_STREAM_AUDIO);
    EXPECT_EQ(info.length, 7u);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&info);
    for (int i = 16; i < 184; ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(ZuFio_SetStreamFormatInfo(nullptr, nullptr, nullptr, 0), E_POINTER);
}

TEST(StreamFormatInfo, FormatRoomIs96Bytes) {
    struct {
        WAVEFORMATEX wfx;
        uint8_t extra[100];
    } adpcm{};
    adpcm.wfx = Wfx(2, 1, 22050, 4, 512, 11155);
    adpcm.wfx.cbSize = 100;
    std::memset(adpcm.extra, 0x3C, sizeof adpcm.extra);
    struct {
        _ZUFILESTREAMFORMATINFOv2 info;
        uint8_t after[8];
    } guarded;
    std::memset(&guarded, 0xEE, sizeof guarded);
    ZuFio_SetStreamFormatInfo(&guarded.info, &adpcm.wfx, nullptr, 1);
    EXPECT_EQ(guarded.info.format.extraSize, 58);
    EXPECT_EQ(guarded.info.format.cbStruct, 36u + 58u);
    EXPECT_EQ(guarded.info.formatExtra[57], 0x3C);
    EXPECT_EQ(guarded.after[0], 0xEE);
}

}  // namespace

// Sample copy: every (destination, source) pair against an independent model
// of the conversion rules, in place in both directions, with gain; the vector
// routines against the scalar ones; copy-channels and channel muting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernel/sample_copy.h"
#include "zuinstr/zuinstr_audio.h"

namespace {

// ---- An independent description of each sample type ----
struct TypeInfo {
    ZUSAMPLETYPE type;
    int bytes;
    int bits;        // significant bits (0 for float types)
    bool bigEndian;
    int shift;       // low padding bits inside the container
    int64_t offset;  // added to the signed value when stored (unsigned types)
};

const TypeInfo kTypes[] = {
    {ZUSAMPLE_U8, 1, 8, false, 0, 128},       {ZUSAMPLE_S16, 2, 16, false, 0, 0},
    {ZUSAMPLE_S24, 3, 24, false, 0, 0},       {ZUSAMPLE_S32, 4, 32, false, 0, 0},
    {ZUSAMPLE_F32, 4, 0, false, 0, 0},        {ZUSAMPLE_F64, 8, 0, false, 0, 0},
    {ZUSAMPLE_S24IN32, 4, 24, false, 8, 0},   {ZUSAMPLE_S8, 1, 8, false, 0, 0},
    {ZUSAMPLE_S16BE, 2, 16, true, 0, 0},      {ZUSAMPLE_S24BE, 3, 24, true, 0, 0},
    {ZUSAMPLE_S32BE, 4, 32, true, 0, 0},      {ZUSAMPLE_U16, 2, 16, false, 0, 32768},
    {ZUSAMPLE_U24, 3, 24, false, 0, 1 << 23},
};
constexpr int kCopyTypeCount = 11;  // the first 11 have copy routines

bool IsFloat(const TypeInfo& t) { return t.bits == 0; }

uint64_t LoadRaw(const TypeInfo& t, const uint8_t* p) {
    uint64_t raw = 0;
    for (int i = 0; i < t.bytes; ++i) raw |= static_cast<uint64_t>(p[t.bigEndian ? i : t.bytes - 1 - i]) << (8 * (t.bytes - 1 - i));
    return raw;
}
void StoreRaw(const TypeInfo& t, uint8_t* p, uint64_t raw) {
    for (int i = 0; i < t.bytes; ++i) {
        const uint8_t b = static_cast<uint8_t>(raw >> (8 * i));
        p[t.bigEndian ? t.bytes - 1 - i : i] = b;
    }
}

// A sample's value as an exact long double: integers as v / 2^(bits-1).
long double Decode(const TypeInfo& t, const uint8_t* p) {
    if (t.type == ZUSAMPLE_F32) {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    if (t.type == ZUSAMPLE_F64) {
        double f;
        std::memcpy(&f, p, 8);
        return f;
    }
    const uint64_t raw = LoadRaw(t, p) >> t.shift;
    const int width = t.bytes * 8 - t.shift;
    int64_t v = static_cast<int64_t>(raw);
    if (t.offset) v -= t.offset;
    else if (v & (int64_t{1} << (width - 1))) v -= int64_t{1} << width;
    return std::ldexp(static_cast<long double>(v), 1 - t.bits);
}

long double RoundHalfEven(long double x) {
    const long double f = std::floor(x);
    const long double diff = x - f;
    if (diff > 0.5L) return f + 1;
    if (diff < 0.5L) return f;
    return std::fmod(f, 2.0L) == 0 ? f : f + 1;
}

// Encodes an exact value by the conversion rules: floats round once to their
// precision, integers scale by 2^(bits-1), clamp and round ties to even.
void Encode(const TypeInfo& t, uint8_t* p, long double v) {
    if (t.type == ZUSAMPLE_F32) {
        const float f = static_cast<float>(v);
        std::memcpy(p, &f, 4);
        return;
    }
    if (t.type == ZUSAMPLE_F64) {
        const double f = static_cast<double>(v);
        std::memcpy(p, &f, 8);
        return;
    }
    const long double hi = std::ldexp(1.0L, t.bits - 1) - 1, lo = -std::ldexp(1.0L, t.bits - 1);
    long double s = std::isnan(v) ? 0.0L : std::ldexp(v, t.bits - 1);
    s = s > hi ? hi : (s < lo ? lo : s);
    const int64_t q = static_cast<int64_t>(RoundHalfEven(s)) + t.offset;
    StoreRaw(t, p, static_cast<uint64_t>(q) << t.shift);
}

// Source samples that hit the edges: full scale, zero, rounding ties at every
// narrowing step, and random values; floats also beyond full scale, infinity, NaN.
std::vector<uint8_t> MakeSource(const TypeInfo& t, std::mt19937& rng, size_t randomCount) {
    std::vector<long double> values;
    if (IsFloat(t)) {
        values = {1.0L, -1.0L, 0.5L, -0.5L, 0.0L, -0.0L, 2.0L, -3.0L, 1e30L, -1e30L};
        for (int bits : {8, 16, 24, 32})
            for (long double k : {0.5L, 1.5L, 2.5L, 3.5L, -0.5L, -2.5L, 100.5L, 32767.5L, -32768.5L})
                values.push_back(std::ldexp(k, 1 - bits));
        values.push_back(std::numeric_limits<float>::infinity());
        values.push_back(-std::numeric_limits<float>::infinity());
        values.push_back(std::numeric_limits<float>::quiet_NaN());
        values.push_back(std::numeric_limits<float>::denorm_min());
        std::uniform_real_distribution<double> dist(-1.2, 1.2);
        for (size_t i = 0; i < randomCount; ++i) values.push_back(static_cast<float>(dist(rng)));
    } else {
        const int64_t top = int64_t{1} << (t.bits - 1);
        for (int64_t v : {-top, -top + 1, int64_t{-1}, int64_t{0}, int64_t{1}, top - 2, top - 1})
            values.push_back(std::ldexp(static_cast<long double>(v), 1 - t.bits));
        // Ties and near-ties for every narrower width.
        std::uniform_int_distribution<int64_t> dist(-top, top - 1);
        for (int narrow : {8, 16, 24})
            if (narrow < t.bits) {
                const int64_t half = int64_t{1} << (t.bits - narrow - 1);
                for (int i = 0; i < 8; ++i) {
                    const int64_t base = dist(rng) & ~((half << 1) - 1);
                    for (int64_t low : {half, half - 1, half + 1})
                        if (base + low < top) values.push_back(std::ldexp(static_cast<long double>(base + low), 1 - t.bits));
                }
                values.push_back(std::ldexp(static_cast<long double>(top - half), 1 - t.bits));  // rounds up into the clamp
            }
        for (size_t i = 0; i < randomCount; ++i)
            values.push_back(std::ldexp(static_cast<long double>(dist(rng)), 1 - t.bits));
    }
    std::vector<uint8_t> bytes(values.size() * t.bytes);
    for (size_t i = 0; i < values.size(); ++i) Encode(t, bytes.data() + i * t.bytes, values[i]);
    return bytes;
}

// What the destination should hold for a gain that is a power of two (every
// product then stays exact, whatever precision the routine uses).
std::vector<uint8_t> Expected(const TypeInfo& d, const TypeInfo& s, const std::vector<uint8_t>& src, float gain) {
    const size_t n = src.size() / s.bytes;
    std::vector<uint8_t> out(n * d.bytes);
    for (size_t i = 0; i < n; ++i) {
        long double v = Decode(s, src.data() + i * s.bytes);
        // A float source is multiplied in its own precision (where a large gain may
        // overflow), unless the destination is the wider float.
        if (s.type == ZUSAMPLE_F32 && d.type != ZUSAMPLE_F64) v = static_cast<float>(v * gain);
        else v *= gain;
        Encode(d, out.data() + i * d.bytes, v);
    }
    return out;
}

std::string PairName(const TypeInfo& d, const TypeInfo& s, float gain) {
    return std::to_string(s.type) + "->" + std::to_string(d.type) + " gain " + std::to_string(gain);
}

// Bytes equal, except NaN floats, which only need to stay NaN.
void ExpectSameSamples(const TypeInfo& d, const std::vector<uint8_t>& want, const uint8_t* got, const std::string& what) {
    const size_t n = want.size() / d.bytes;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* w = want.data() + i * d.bytes;
        const uint8_t* g = got + i * d.bytes;
        if (IsFloat(d) && std::isnan(Decode(d, w)) && std::isnan(Decode(d, g))) continue;
        if (std::memcmp(w, g, d.bytes) != 0) {
            ADD_FAILURE() << what << ": sample " << i << " is " << static_cast<double>(Decode(d, g)) << ", expected "
                          << static_cast<double>(Decode(d, w));
            return;
        }
    }
}

TEST(SampleCopy, EveryPairFollowsTheConversionRules) {
    std::mt19937 rng(1234);
    for (int di = 0; di < kCopyTypeCount; ++di)
        for (int si = 0; si < kCopyTypeCount; ++si) {
            const TypeInfo& d = kTypes[di];
            const TypeInfo& s = kTypes[si];
            ZUSAMPLECOPYFUNC copy = ZuAudio_GetCopyFunction(d.type, s.type);
            ASSERT_NE(copy, nullptr) << s.type << "->" << d.type;
            const std::vector<uint8_t> src = MakeSource(s, rng, 301);
            for (float gain : {1.0f, 0.5f, 2.0f, -0.25f}) {
                const std::vector<uint8_t> want = Expected(d, s, src, gain);
                const size_t n = src.size() / s.bytes;
                std::vector<uint8_t> out(n * d.bytes + 1, 0xA5);
                copy(out.data(), src.data(), n, gain);
                ExpectSameSamples(d, want, out.data(), PairName(d, s, gain));
                EXPECT_EQ(out.back(), 0xA5) << "wrote past the end, " << PairName(d, s, gain);

                // In place: the buffer holds the source at its start and is sized for the wider type.
                std::vector<uint8_t> buffer(n * std::max(d.bytes, s.bytes) + 1, 0x5A);
                std::memcpy(buffer.data(), src.data(), src.size());
                copy(buffer.data(), buffer.data(), n, gain);
                ExpectSameSamples(d, want, buffer.data(), "in place " + PairName(d, s, gain));
                EXPECT_EQ(buffer.back(), 0x5A);
            }
        }
}

TEST(SampleCopy, NoRoutineOutsideTheTypeSet) {
    for (ZUSAMPLETYPE other : {0u, 1u, 20u, 34u, 50u, 67u, 128u, 129u}) {
        EXPECT_EQ(ZuAudio_GetCopyFunction(ZUSAMPLE_S16, other), nullptr) << other;
        EXPECT_EQ(ZuAudio_GetCopyFunction(other, ZUSAMPLE_S16), nullptr) << other;
    }
}

std::vector<int16_t> F32ToS16(const std::vector<float>& in, float gain = 1.0f) {
    std::vector<int16_t> out(in.size());
    ZuAudio_GetCopyFunction(ZUSAMPLE_S16, ZUSAMPLE_F32)(out.data(), in.data(), in.size(), gain);
    return out;
}

TEST(SampleCopy, FloatToInt16Landmarks) {
    const float q = 1.0f / 32768.0f;
    const std::vector<float> in = {1.0f, -1.0f, 0.5f, 2.5f * q, 3.5f * q, -2.5f * q, 0.5f * q, 1.5f * q, 32766.5f * q,
                                   1.5f, -1.5f, std::numeric_limits<float>::quiet_NaN(), 0.0f, -0.0f};
    const std::vector<int16_t> want = {32767, -32768, 16384, 2, 4, -2, 0, 2, 32766, 32767, -32768, 0, 0, 0};
    EXPECT_EQ(F32ToS16(in), want);
    // The same through the vector path (blocks of eight).
    std::vector<float> many;
    std::vector<int16_t> manyWant;
    for (int r = 0; r < 8; ++r) {
        many.insert(many.end(), in.begin(), in.end());
        manyWant.insert(manyWant.end(), want.begin(), want.end());
    }
    EXPECT_EQ(F32ToS16(many), manyWant);
}

TEST(SampleCopy, IntegerLandmarks) {
    // 8-bit unsigned: 128 is zero.
    const uint8_t u8[] = {0, 128, 255, 192};
    float f[4];
    ZuAudio_GetCopyFunction(ZUSAMPLE_F32, ZUSAMPLE_U8)(f, u8, 4, 1.0f);
    EXPECT_EQ(f[0], -1.0f);
    EXPECT_EQ(f[1], 0.0f);
    EXPECT_EQ(f[2], 127.0f / 128.0f);
    EXPECT_EQ(f[3], 0.5f);
    // 16 -> 8 rounds ties to even: 0x0180 = 1.5 steps -> 2, 0x0280 = 2.5 -> 2, 0x7F80 clamps.
    const int16_t s16[] = {0x0180, 0x0280, 0x0080, 0x7F80, -0x0080, -0x8000};
    uint8_t out[6];
    ZuAudio_GetCopyFunction(ZUSAMPLE_U8, ZUSAMPLE_S16)(out, s16, 6, 1.0f);
    const uint8_t want[] = {130, 130, 128, 255, 128, 0};
    EXPECT_EQ(0, std::memcmp(out, want, 6));
    // 16 -> 32 shifts exactly; 1.0 float -> 32-bit is the largest value.
    int32_t s32[2];
    ZuAudio_GetCopyFunction(ZUSAMPLE_S32, ZUSAMPLE_S16)(s32, s16 + 5, 1, 1.0f);
    EXPECT_EQ(s32[0], INT32_MIN);
    const float one[] = {1.0f, -1.0f};
    ZuAudio_GetCopyFunction(ZUSAMPLE_S32, ZUSAMPLE_F32)(s32, one, 2, 1.0f);
    EXPECT_EQ(s32[0], INT32_MAX);
    EXPECT_EQ(s32[1], INT32_MIN);
    // 24 valid bits in 32 are left-justified; the padding byte is ignored on input.
    const uint8_t in32[] = {0x7F, 0x56, 0x34, 0x12};
    uint8_t s24[3];
    ZuAudio_GetCopyFunction(ZUSAMPLE_S24, ZUSAMPLE_S24IN32)(s24, in32, 1, 1.0f);
    const uint8_t want24[] = {0x56, 0x34, 0x12};
    EXPECT_EQ(0, std::memcmp(s24, want24, 3));
    // Big-endian 16-bit from little-endian: a byte swap.
    const int16_t le = 0x1234;
    uint8_t be[2];
    ZuAudio_GetCopyFunction(ZUSAMPLE_S16BE, ZUSAMPLE_S16)(be, &le, 1, 1.0f);
    EXPECT_EQ(be[0], 0x12);
    EXPECT_EQ(be[1], 0x34);
}

TEST(SampleCopy, GainThatIsNotAPowerOfTwo) {
    const float gain = 0.3f;
    // Integer to float: exact division, then the gain rounds once in float.
    const int16_t s16[] = {32767, -32768, 12345, 1};
    float f[4];
    ZuAudio_GetCopyFunction(ZUSAMPLE_F32, ZUSAMPLE_S16)(f, s16, 4, gain);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f[i], (static_cast<float>(s16[i]) / 32768.0f) * gain);
    // Float to integer: the product in float, then scaled, rounded and clamped.
    const float in[] = {1.0f, -1.0f, 0.123f, 5.0f};
    const std::vector<int16_t> got = F32ToS16({in, in + 4}, gain);
    for (int i = 0; i < 4; ++i) {
        const double t = std::min(32767.0, std::max(-32768.0, static_cast<double>(in[i] * gain) * 32768.0));
        EXPECT_EQ(got[i], static_cast<int16_t>(std::nearbyint(t))) << i;
    }
    // Same type with a gain: scaled, rounded, clamped.
    const int16_t loud[] = {30000, -30000, 10};
    int16_t scaled[3];
    ZuAudio_GetCopyFunction(ZUSAMPLE_S16, ZUSAMPLE_S16)(scaled, loud, 3, 1.5f);
    EXPECT_EQ(scaled[0], 32767);
    EXPECT_EQ(scaled[1], -32768);
    EXPECT_EQ(scaled[2], 15);
    // 16 -> 8 with gain 0.3: 1000 * 0.3 / 256 = 1.17 -> 1, offset to 129.
    const int16_t one16 = 1000;
    uint8_t u8;
    ZuAudio_GetCopyFunction(ZUSAMPLE_U8, ZUSAMPLE_S16)(&u8, &one16, 1, gain);
    EXPECT_EQ(u8, 129);
}

TEST(SampleCopy, SameTypeUnityGainIsAPlainCopy) {
    std::vector<uint8_t> buffer(64);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> original = buffer;
    for (int ti = 0; ti < kCopyTypeCount; ++ti) {
        const TypeInfo& t = kTypes[ti];
        ZUSAMPLECOPYFUNC copy = ZuAudio_GetCopyFunction(t.type, t.type);
        std::vector<uint8_t> out(buffer.size(), 0);
        copy(out.data(), buffer.data(), buffer.size() / 8, 1.0f);
        EXPECT_EQ(0, std::memcmp(out.data(), buffer.data(), buffer.size() / 8 * t.bytes)) << t.type;
        copy(buffer.data(), buffer.data(), buffer.size() / 8, 1.0f);  // NaN payloads and padding bytes stay
        EXPECT_EQ(buffer, original) << t.type;
    }
}

// ---- Vector against scalar ----
template <class T>
std::vector<uint8_t> RandomSamples(std::mt19937& rng, size_t n);

template <>
std::vector<uint8_t> RandomSamples<float>(std::mt19937& rng, size_t n) {
    std::uniform_real_distribution<float> dist(-1.5f, 1.5f);
    std::uniform_int_distribution<int> tie(-32768, 32767);
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i) {
        switch (i % 7) {
        case 0: v[i] = (static_cast<float>(tie(rng)) + 0.5f) / 32768.0f; break;  // exact ties
        case 1: v[i] = std::numeric_limits<float>::quiet_NaN(); break;
        default: v[i] = dist(rng);
        }
    }
    std::vector<uint8_t> bytes(n * sizeof(float));
    if (n) std::memcpy(bytes.data(), v.data(), bytes.size());
    return bytes;
}
template <>
std::vector<uint8_t> RandomSamples<int16_t>(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> bytes(n * 2);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

template <class Src>
void CompareVectorWithScalar(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType, size_t dstBytes) {
    ZUSAMPLECOPYFUNC vector = zu::audio::GetVectorCopyFunction(dstType, srcType);
    ZUSAMPLECOPYFUNC scalar = zu::audio::GetScalarCopyFunction(dstType, srcType);
#if defined(__SSE2__)
    ASSERT_NE(vector, nullptr);
#endif
    if (!vector) GTEST_SKIP() << "no vector routine on this processor";
    EXPECT_EQ(ZuAudio_GetCopyFunction(dstType, srcType), vector);
    std::mt19937 rng(99);
    for (size_t n : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{63}, size_t{1001}, size_t{4099}})
        for (size_t misalign : {0, 1, 3})
            for (float gain : {1.0f, 0.7f, -2.0f, 1e30f, 0.0f}) {
                const std::vector<uint8_t> src = RandomSamples<Src>(rng, n);
                std::vector<uint8_t> srcShifted(src.size() + misalign);
                std::copy(src.begin(), src.end(), srcShifted.begin() + misalign);
                std::vector<uint8_t> a(n * dstBytes + 5, 0), b(n * dstBytes + 5, 0);
                vector(a.data() + misalign, srcShifted.data() + misalign, n, gain);
                scalar(b.data() + misalign, src.data(), n, gain);
                ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size()))
                    << "n " << n << " misalign " << misalign << " gain " << gain;
            }
}

TEST(SampleCopyVector, Int16ToFloatMatchesScalar) { CompareVectorWithScalar<int16_t>(ZUSAMPLE_F32, ZUSAMPLE_S16, 4); }
TEST(SampleCopyVector, FloatToInt16MatchesScalar) { CompareVectorWithScalar<float>(ZUSAMPLE_S16, ZUSAMPLE_F32, 2); }

TEST(SampleCopyVector, InPlaceWithOddLengths) {
    std::mt19937 rng(7);
    for (size_t n : {size_t{13}, size_t{1027}}) {
        // Widening in place, then narrowing back: 16-bit samples survive the round trip.
        std::vector<uint8_t> samples = RandomSamples<int16_t>(rng, n);
        std::vector<uint8_t> buffer(n * 4);
        std::memcpy(buffer.data(), samples.data(), samples.size());
        ZuAudio_GetCopyFunction(ZUSAMPLE_F32, ZUSAMPLE_S16)(buffer.data(), buffer.data(), n, 1.0f);
        std::vector<uint8_t> separate(n * 4);
        zu::audio::GetScalarCopyFunction(ZUSAMPLE_F32, ZUSAMPLE_S16)(separate.data(), samples.data(), n, 1.0f);
        EXPECT_EQ(buffer, separate);
        ZuAudio_GetCopyFunction(ZUSAMPLE_S16, ZUSAMPLE_F32)(buffer.data(), buffer.data(), n, 1.0f);
        EXPECT_EQ(0, std::memcmp(buffer.data(), samples.data(), samples.size()));
    }
}

// ---- Copy channels ----
WAVEFORMATEX Pcm(uint16_t tag, uint16_t bits, uint16_t channels) {
    WAVEFORMATEX w{};
    w.wFormatTag = tag;
    w.nChannels = channels;
    w.nSamplesPerSec = 44100;
    w.wBitsPerSample = bits;
    w.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    w.nAvgBytesPerSec = 44100u * w.nBlockAlign;
    return w;
}
_zuwaveformat Record(ZUSAMPLETYPE type, uint16_t channels) {
    _zuwaveformat r{};
    r.cbStruct = 36;
    r.sampleType = type;
    r.channels = channels;
    return r;
}

TEST(CopyChannels, MonoIntoSecondChannelOfStereo) {
    const WAVEFORMATEX dst = Pcm(WAVE_FORMAT_IEEE_FLOAT, 32, 2);
    const _zuwaveformat src = Record(ZUSAMPLE_S16, 1);
    ZUCHANNELCOPYFUNC copy = ZuAudio_GetCopyChannelsFunction(&dst, &src);
    ASSERT_NE(copy, nullptr);
    const int16_t mono[] = {16384, -32768, 0};
    float stereo[6] = {9, 9, 9, 9, 9, 9};
    copy(stereo, 2, 1, mono, 1, 0, 3);
    const float want[] = {9, 0.5f, 9, -1.0f, 9, 0.0f};
    EXPECT_EQ(0, std::memcmp(stereo, want, sizeof want));
}

TEST(CopyChannels, ChannelsBeyondTheSourceAreNotWritten) {
    const WAVEFORMATEX dst = Pcm(WAVE_FORMAT_PCM, 16, 4);
    const _zuwaveformat src = Record(ZUSAMPLE_U8, 3);
    ZUCHANNELCOPYFUNC copy = ZuAudio_GetCopyChannelsFunction(&dst, &src);
    ASSERT_NE(copy, nullptr);
    const uint8_t in[] = {128, 129, 127, 0, 255, 130};  // two frames of three channels
    int16_t out[8];
    std::fill(std::begin(out), std::end(out), int16_t{7});
    copy(out, 4, 0, in, 3, 1, 2);  // source channels 1, 2 into destination channels 0, 1
    const int16_t want[] = {256, -256, 7, 7, 32512, 512, 7, 7};
    EXPECT_EQ(0, std::memcmp(out, want, sizeof want));
    // A first channel past the end copies nothing.
    copy(out, 4, 4, in, 3, 0, 2);
    copy(out, 4, 0, in, 3, 3, 2);
    EXPECT_EQ(0, std::memcmp(out, want, sizeof want));
}

TEST(CopyChannels, UnsignedSourcesAndUnsupportedTypes) {
    const WAVEFORMATEX dst = Pcm(WAVE_FORMAT_PCM, 16, 2);
    const _zuwaveformat u16 = Record(ZUSAMPLE_U16, 2);
    ZUCHANNELCOPYFUNC copy = ZuAudio_GetCopyChannelsFunction(&dst, &u16);
    ASSERT_NE(copy, nullptr);
    const uint16_t in[] = {32768, 0, 65535, 32769};
    int16_t out[4];
    copy(out, 2, 0, in, 2, 0, 2);
    const int16_t want[] = {0, -32768, 32767, 1};
    EXPECT_EQ(0, std::memcmp(out, want, sizeof want));

    const _zuwaveformat u24 = Record(ZUSAMPLE_U24, 1);
    const WAVEFORMATEX f32 = Pcm(WAVE_FORMAT_IEEE_FLOAT, 32, 1);
    copy = ZuAudio_GetCopyChannelsFunction(&f32, &u24);
    ASSERT_NE(copy, nullptr);
    const uint8_t in24[] = {0x00, 0x00, 0xC0};  // 0xC00000 - 0x800000 = 2^22
    float f = 0;
    copy(&f, 1, 0, in24, 1, 0, 1);
    EXPECT_EQ(f, 0.5f);

    // Unsigned types are no destinations, and a format without a sample type has no routine.
    WAVEFORMATEX unsignedDst = Pcm(ZU_WAVE_FORMAT_UNSIGNED, 16, 2);
    EXPECT_EQ(ZuAudio_GetCopyChannelsFunction(&unsignedDst, &u16), nullptr);
    WAVEFORMATEX adpcm = Pcm(2, 4, 2);
    EXPECT_EQ(ZuAudio_GetCopyChannelsFunction(&adpcm, &u16), nullptr);
    const _zuwaveformat none = Record(ZUSAMPLE_NONE, 2);
    EXPECT_EQ(ZuAudio_GetCopyChannelsFunction(&dst, &none), nullptr);
    EXPECT_EQ(ZuAudio_GetCopyChannelsFunction(nullptr, &u16), nullptr);
    EXPECT_EQ(ZuAudio_GetCopyChannelsFunction(&dst, nullptr), nullptr);
}

TEST(CopyChannels, EveryPairMatchesTheCopyRoutine) {
    std::mt19937 rng(5);
    for (int di = 0; di < kCopyTypeCount; ++di)
        for (const TypeInfo& s : kTypes) {
            const TypeInfo& d = kTypes[di];
            const WAVEFORMATEX dst = Pcm(ZuAudio_FormatTagFromSampleType(d.type), ZuAudio_BitsFromSampleType(d.type), 3);
            ASSERT_EQ(ZuAudio_GetSampleType(&dst), d.type);
            const _zuwaveformat src = Record(s.type, 2);
            ZUCHANNELCOPYFUNC copy = ZuAudio_GetCopyChannelsFunction(&dst, &src);
            ASSERT_NE(copy, nullptr) << s.type << "->" << d.type;
            const std::vector<uint8_t> samples = MakeSource(s, rng, 20);
            const size_t frames = samples.size() / s.bytes / 2;
            std::vector<uint8_t> out(frames * 3 * d.bytes, 0xEE);
            copy(out.data(), 3, 1, samples.data(), 2, 0, frames);
            const std::vector<uint8_t> want = Expected(d, s, samples, 1.0f);
            for (size_t f = 0; f < frames; ++f) {
                const uint8_t* frame = out.data() + f * 3 * d.bytes;
                EXPECT_EQ(frame[0], 0xEE);
                ASSERT_EQ(0, std::memcmp(frame + d.bytes, want.data() + 2 * f * d.bytes, 2 * d.bytes))
                    << s.type << "->" << d.type << " frame " << f;
            }
        }
}

// ---- Mute ----
TEST(MuteChannel, EightBitStereoSecondChannel) {
    uint8_t buffer[10];
    std::fill(std::begin(buffer), std::end(buffer), uint8_t{1});
    EXPECT_EQ(ZuAudio_MuteChannel(buffer, ZUSAMPLE_U8, 2, 1, 5), S_OK);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(buffer[i], i % 2 ? 128 : 1) << i;
}

TEST(MuteChannel, SignedAndFloatTypesGetZero) {
    uint8_t buffer[3 * 3 * 2];
    std::fill(std::begin(buffer), std::end(buffer), uint8_t{0xFF});
    EXPECT_EQ(ZuAudio_MuteChannel(buffer, ZUSAMPLE_S24, 3, 2, 2), S_OK);
    for (int i = 0; i < 18; ++i) EXPECT_EQ(buffer[i], (i % 9) >= 6 ? 0 : 0xFF) << i;
    double d[4] = {1, 2, 3, 4};
    EXPECT_EQ(ZuAudio_MuteChannel(d, ZUSAMPLE_F64, 2, 0, 2), S_OK);
    EXPECT_EQ(d[0], 0.0);
    EXPECT_EQ(d[1], 2.0);
    EXPECT_EQ(d[2], 0.0);
    int8_t s8[2] = {5, 5};
    EXPECT_EQ(ZuAudio_MuteChannel(s8, ZUSAMPLE_S8, 1, 0, 2), S_OK);
    EXPECT_EQ(s8[1], 0);
}

TEST(MuteChannel, Rejections) {
    uint8_t buffer[8] = {};
    for (ZUSAMPLETYPE bad : {0u, 15u, 67u, 128u, 129u, 20u}) EXPECT_EQ(ZuAudio_MuteChannel(buffer, bad, 2, 0, 4), E_FAIL) << bad;
    EXPECT_EQ(ZuAudio_MuteChannel(buffer, ZUSAMPLE_S16, 2, 2, 2), E_INVALIDARG);
    EXPECT_EQ(ZuAudio_MuteChannel(nullptr, ZUSAMPLE_S16, 2, 0, 2), E_POINTER);
    EXPECT_EQ(ZuAudio_MuteChannel(nullptr, ZUSAMPLE_S16, 2, 0, 0), S_OK);
}

}  // namespace

// How each sample type is stored, and the conversion of one sample between two
// types. Every copy routine, scalar or vector, follows the arithmetic here:
//
// - integer to float: v / 2^(bits-1), then times the gain unless it is 1.0.
//   Up to 24 bits this is exact in float and the gain rounds once; 32-bit
//   integers are scaled in double and rounded to float at the end.
// - float to integer: p = sample x gain (in the source's precision), then
//   p x 2^(bits-1) (exact), NaN becomes 0, clamped to the integer range and
//   rounded to nearest, ties to even.
// - integer to integer: the same rule in exact arithmetic. With gain 1.0,
//   widening shifts left (exact) and narrowing rounds ties to even and clamps
//   (only the top can overflow: 32767.5 -> 32767). With another gain the value
//   times gain x 2^(dstBits-srcBits) is formed in double, then clamped and
//   rounded like a float.
// - float to float: times the gain, formed in the wider of the two precisions.
#ifndef ZU_KERNEL_SAMPLE_CODEC_H
#define ZU_KERNEL_SAMPLE_CODEC_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernel/byte_order.h"
#include "zuinstr/zuinstr_audio.h"

namespace zu::audio::codec {

inline uint32_t Load24LE(const uint8_t* p) { return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16); }
inline uint32_t Load24BE(const uint8_t* p) { return p[2] | (p[1] << 8) | (static_cast<uint32_t>(p[0]) << 16); }
inline void Store24LE(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}
inline void Store24BE(uint8_t* p, uint32_t v) {
    p[2] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[0] = static_cast<uint8_t>(v >> 16);
}
// Sign-extends the low `bits` bits.
template <int bits>
inline int32_t SignExtend(uint32_t v) {
    return static_cast<int32_t>(v << (32 - bits)) >> (32 - bits);
}

// One codec per sample type: integers load as signed values in
// [-2^(kBits-1), 2^(kBits-1)), floats as themselves.
template <ZUSAMPLETYPE T>
struct Sample;

template <int bits, size_t bytes>
struct IntSample {
    using Value = int32_t;
    static constexpr bool kFloat = false;
    static constexpr int kBits = bits;
    static constexpr size_t kBytes = bytes;
};

template <>
struct Sample<ZUSAMPLE_U8> : IntSample<8, 1> {
    static int32_t Load(const uint8_t* p) { return static_cast<int32_t>(p[0]) - 128; }
    static void Store(uint8_t* p, int32_t v) { p[0] = static_cast<uint8_t>(v + 128); }
};
template <>
struct Sample<ZUSAMPLE_S8> : IntSample<8, 1> {
    static int32_t Load(const uint8_t* p) { return static_cast<int8_t>(p[0]); }
    static void Store(uint8_t* p, int32_t v) { p[0] = static_cast<uint8_t>(v); }
};
template <>
struct Sample<ZUSAMPLE_S16> : IntSample<16, 2> {
    static int32_t Load(const uint8_t* p) { return static_cast<int16_t>(LoadLE16(p)); }
    static void Store(uint8_t* p, int32_t v) { StoreLE16(p, static_cast<uint16_t>(v)); }
};
template <>
struct Sample<ZUSAMPLE_S24> : IntSample<24, 3> {
    static int32_t Load(const uint8_t* p) { return SignExtend<24>(Load24LE(p)); }
    static void Store(uint8_t* p, int32_t v) { Store24LE(p, static_cast<uint32_t>(v)); }
};
template <>
struct Sample<ZUSAMPLE_S32> : IntSample<32, 4> {
    static int32_t Load(const uint8_t* p) { return static_cast<int32_t>(LoadLE32(p)); }
    static void Store(uint8_t* p, int32_t v) { StoreLE32(p, static_cast<uint32_t>(v)); }
};
// Upper 24 bits of a little-endian 32-bit word; the low byte is padding.
template <>
struct Sample<ZUSAMPLE_S24IN32> : IntSample<24, 4> {
    static int32_t Load(const uint8_t* p) { return static_cast<int32_t>(LoadLE32(p)) >> 8; }
    static void Store(uint8_t* p, int32_t v) { StoreLE32(p, static_cast<uint32_t>(v) << 8); }
};
template <>
struct Sample<ZUSAMPLE_S16BE> : IntSample<16, 2> {
    static int32_t Load(const uint8_t* p) { return static_cast<int16_t>((p[0] << 8) | p[1]); }
    static void Store(uint8_t* p, int32_t v) {
        p[0] = static_cast<uint8_t>(v >> 8);
        p[1] = static_cast<uint8_t>(v);
    }
};
template <>
struct Sample<ZUSAMPLE_S24BE> : IntSample<24, 3> {
    static int32_t Load(const uint8_t* p) { return SignExtend<24>(Load24BE(p)); }
    static void Store(uint8_t* p, int32_t v) { Store24BE(p, static_cast<uint32_t>(v)); }
};
template <>
struct Sample<ZUSAMPLE_S32BE> : IntSample<32, 4> {
    static int32_t Load(const uint8_t* p) {
        return static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
    }
    static void Store(uint8_t* p, int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        p[0] = static_cast<uint8_t>(u >> 24);
        p[1] = static_cast<uint8_t>(u >> 16);
        p[2] = static_cast<uint8_t>(u >> 8);
        p[3] = static_cast<uint8_t>(u);
    }
};
template <>
struct Sample<ZUSAMPLE_U16> : IntSample<16, 2> {
    static int32_t Load(const uint8_t* p) { return static_cast<int32_t>(LoadLE16(p)) - 32768; }
    static void Store(uint8_t* p, int32_t v) { StoreLE16(p, static_cast<uint16_t>(v + 32768)); }
};
template <>
struct Sample<ZUSAMPLE_U24> : IntSample<24, 3> {
    static int32_t Load(const uint8_t* p) { return static_cast<int32_t>(Load24LE(p)) - (1 << 23); }
    static void Store(uint8_t* p, int32_t v) { Store24LE(p, static_cast<uint32_t>(v + (1 << 23))); }
};

template <class F>
struct FloatSample {
    using Value = F;
    static constexpr bool kFloat = true;
    static constexpr size_t kBytes = sizeof(F);
    static F Load(const uint8_t* p) {
        F v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void Store(uint8_t* p, F v) { std::memcpy(p, &v, sizeof v); }
};
template <>
struct Sample<ZUSAMPLE_F32> : FloatSample<float> {};
template <>
struct Sample<ZUSAMPLE_F64> : FloatSample<double> {};

// Rounds to nearest under the current rounding mode (ties to even by default).
inline int32_t RoundToInt(double t) {
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(t));
#else
    return static_cast<int32_t>(std::nearbyint(t));
#endif
}

// The float-to-integer rule on a value already scaled to the integer range.
template <int bits>
inline int32_t ClampRound(double t) {
    constexpr double kHi = static_cast<double>((int64_t{1} << (bits - 1)) - 1);
    constexpr double kLo = -static_cast<double>(int64_t{1} << (bits - 1));
    if (t != t) return 0;  // NaN is silence
    if (t > kHi) t = kHi;
    else if (t < kLo) t = kLo;
    return RoundToInt(t);
}

// v / 2^shift rounded ties to even and clamped to a signed `bits`-bit range.
template <int bits>
inline int32_t RoundShiftRight(int32_t v, int shift) {
    const int32_t half = 1 << (shift - 1);
    const int32_t rest = v & ((half << 1) - 1);
    int32_t q = v >> shift;
    if (rest > half || (rest == half && (q & 1))) ++q;
    constexpr int32_t kHi = static_cast<int32_t>((int64_t{1} << (bits - 1)) - 1);
    return q > kHi ? kHi : q;
}

constexpr double Pow2(int e) { return e >= 0 ? static_cast<double>(uint64_t{1} << e) : 1.0 / static_cast<double>(uint64_t{1} << -e); }

// Converts one sample from S to D. kUnity: the gain is exactly 1.0.
template <class D, class S, bool kUnity>
class Converter {
public:
    explicit Converter(float gain) : gain_(gain) {}

    void operator()(uint8_t* d, const uint8_t* s) const {
        if constexpr (!D::kFloat && !S::kFloat) {
            const int32_t v = S::Load(s);
            if constexpr (!kUnity)
                D::Store(d, ClampRound<D::kBits>(static_cast<double>(v) * (static_cast<double>(gain_) * Pow2(D::kBits - S::kBits))));
            else if constexpr (D::kBits >= S::kBits)
                D::Store(d, static_cast<int32_t>(static_cast<uint32_t>(v) << (D::kBits - S::kBits)));
            else
                D::Store(d, RoundShiftRight<D::kBits>(v, S::kBits - D::kBits));
        } else if constexpr (D::kFloat && !S::kFloat) {
            const int32_t v = S::Load(s);
            if constexpr (std::is_same_v<typename D::Value, float> && S::kBits <= 24) {
                float f = static_cast<float>(v) * static_cast<float>(Pow2(1 - S::kBits));
                if constexpr (!kUnity) f *= gain_;
                D::Store(d, f);
            } else {
                double x = static_cast<double>(v) * Pow2(1 - S::kBits);
                if constexpr (!kUnity) x *= static_cast<double>(gain_);
                D::Store(d, static_cast<typename D::Value>(x));
            }
        } else if constexpr (!D::kFloat && S::kFloat) {
            using P = typename S::Value;
            P p = S::Load(s);
            if constexpr (!kUnity) p *= static_cast<P>(gain_);
            D::Store(d, ClampRound<D::kBits>(static_cast<double>(p) * Pow2(D::kBits - 1)));
        } else {
            using W = std::conditional_t<(sizeof(typename D::Value) > sizeof(typename S::Value)), typename D::Value,
                                         typename S::Value>;
            W p = static_cast<W>(S::Load(s));
            if constexpr (!kUnity) p *= static_cast<W>(gain_);
            D::Store(d, static_cast<typename D::Value>(p));
        }
    }

private:
    float gain_;
};

// Runs op over n samples: from the end when D is wider than S, so that the
// same buffer can be both; from the start otherwise.
template <class D, class S, class Op>
inline void ForEachSample(uint8_t* d, const uint8_t* s, size_t n, const Op& op) {
    if constexpr (D::kBytes > S::kBytes) {
        while (n-- > 0) op(d + n * D::kBytes, s + n * S::kBytes);
    } else {
        for (size_t i = 0; i < n; ++i) op(d + i * D::kBytes, s + i * S::kBytes);
    }
}

// The scalar copy routine of one (destination, source) pair.
template <ZUSAMPLETYPE DT, ZUSAMPLETYPE ST>
void CopySamples(void* dst, const void* src, size_t samples, float gain) {
    using D = Sample<DT>;
    using S = Sample<ST>;
    auto* d = static_cast<uint8_t*>(dst);
    const auto* s = static_cast<const uint8_t*>(src);
    if (gain == 1.0f) {
        if constexpr (DT == ST) {
            if (d != s && samples) std::memmove(d, s, samples * D::kBytes);
        } else {
            ForEachSample<D, S>(d, s, samples, Converter<D, S, true>(gain));
        }
    } else {
        ForEachSample<D, S>(d, s, samples, Converter<D, S, false>(gain));
    }
}

}  // namespace zu::audio::codec

#endif

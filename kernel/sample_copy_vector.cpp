// SSE2 routines for the pairs the host streams most: 16-bit PCM to and from
// 32-bit float. They give exactly the scalar results (kernel/sample_codec.h):
// int16 -> float is exact and the gain rounds once in both; float -> int16
// scales by 2^15 in float, which is exact (or overflows to infinity where the
// scalar clamps anyway), and cvtps2dq rounds ties to even like cvtsd2si.
// Leftover samples go through the scalar routine, ahead of the vector blocks
// when widening (the end is processed first) and after them when narrowing.
#include "kernel/sample_copy.h"

#include "kernel/sample_codec.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zu::audio {

#if defined(__SSE2__)
namespace {

constexpr size_t kBlock = 8;

template <bool kUnity>
void S16ToF32Blocks(uint8_t* d, const uint8_t* s, size_t blocks, float gain) {
    const __m128 scale = _mm_set1_ps(1.0f / 32768.0f);
    const __m128 g = _mm_set1_ps(gain);
    // From the last block to the first: a block's output overlaps only input already read.
    while (blocks-- > 0) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + blocks * kBlock * 2));
        __m128 lo = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16)), scale);
        __m128 hi = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16)), scale);
        if constexpr (!kUnity) {
            lo = _mm_mul_ps(lo, g);
            hi = _mm_mul_ps(hi, g);
        }
        float* out = reinterpret_cast<float*>(d + blocks * kBlock * 4);
        _mm_storeu_ps(out, lo);
        _mm_storeu_ps(out + 4, hi);
    }
}

inline __m128 ScaleClampF32(__m128 v, __m128 g, bool unity) {
    if (!unity) v = _mm_mul_ps(v, g);
    v = _mm_mul_ps(v, _mm_set1_ps(32768.0f));
    v = _mm_and_ps(v, _mm_cmpord_ps(v, v));  // NaN -> 0
    return _mm_max_ps(_mm_min_ps(v, _mm_set1_ps(32767.0f)), _mm_set1_ps(-32768.0f));
}

template <bool kUnity>
void F32ToS16Blocks(uint8_t* d, const uint8_t* s, size_t blocks, float gain) {
    const __m128 g = _mm_set1_ps(gain);
    for (size_t b = 0; b < blocks; ++b) {
        const float* in = reinterpret_cast<const float*>(s + b * kBlock * 4);
        const __m128 lo = ScaleClampF32(_mm_loadu_ps(in), g, kUnity);
        const __m128 hi = ScaleClampF32(_mm_loadu_ps(in + 4), g, kUnity);
        const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(lo), _mm_cvtps_epi32(hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + b * kBlock * 2), packed);
    }
}

void S16ToF32(void* dst, const void* src, size_t samples, float gain) {
    auto* d = static_cast<uint8_t*>(dst);
    const auto* s = static_cast<const uint8_t*>(src);
    const size_t blocks = samples / kBlock;
    const size_t done = blocks * kBlock;
    codec::CopySamples<ZUSAMPLE_F32, ZUSAMPLE_S16>(d + done * 4, s + done * 2, samples - done, gain);
    if (gain == 1.0f) S16ToF32Blocks<true>(d, s, blocks, gain);
    else S16ToF32Blocks<false>(d, s, blocks, gain);
}

void F32ToS16(void* dst, const void* src, size_t samples, float gain) {
    auto* d = static_cast<uint8_t*>(dst);
    const auto* s = static_cast<const uint8_t*>(src);
    const size_t blocks = samples / kBlock;
    const size_t done = blocks * kBlock;
    if (gain == 1.0f) F32ToS16Blocks<true>(d, s, blocks, gain);
    else F32ToS16Blocks<false>(d, s, blocks, gain);
    codec::CopySamples<ZUSAMPLE_S16, ZUSAMPLE_F32>(d + done * 2, s + done * 4, samples - done, gain);
}

}  // namespace

ZUSAMPLECOPYFUNC GetVectorCopyFunction(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType) {
    if (dstType == ZUSAMPLE_F32 && srcType == ZUSAMPLE_S16) return &S16ToF32;
    if (dstType == ZUSAMPLE_S16 && srcType == ZUSAMPLE_F32) return &F32ToS16;
    return nullptr;
}

#else

ZUSAMPLECOPYFUNC GetVectorCopyFunction(ZUSAMPLETYPE, ZUSAMPLETYPE) { return nullptr; }

#endif

}  // namespace zu::audio

// Sample-copy throughput against memcpy in the same run: 16-bit PCM to and
// from 32-bit float and 24-bit PCM to float, over buffers whose float side is
// 16 MB, best of several runs. Rates count the bytes of the float side (the
// larger one) and, in brackets, of the integer side.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "kernel/sample_copy.h"
#include "zuinstr/zuinstr_audio.h"

namespace {

constexpr size_t kFloatBytes = 16u << 20;
constexpr size_t kSamples = kFloatBytes / 4;
constexpr int kRuns = 9;

template <class Fn>
double BestSeconds(Fn&& fn) {
    double best = 1e30;
    for (int r = 0; r < kRuns; ++r) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    return best;
}

double MBps(size_t bytes, double seconds) { return static_cast<double>(bytes) / seconds / 1e6; }

}  // namespace

int main() {
    std::vector<uint8_t> floats(kFloatBytes), ints(kFloatBytes), copy(kFloatBytes);
    std::mt19937 rng(42);
    for (auto& b : ints) b = static_cast<uint8_t>(rng());
    {
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        for (size_t i = 0; i < kSamples; ++i) {
            const float v = dist(rng);
            std::memcpy(floats.data() + i * 4, &v, 4);
        }
    }
    std::memset(copy.data(), 0, copy.size());

    volatile uint8_t sink = 0;
    const double memcpySeconds = BestSeconds([&] {
        std::memcpy(copy.data(), floats.data(), kFloatBytes);
        sink = sink + copy[12345];
    });
    const double memcpyRate = MBps(kFloatBytes, memcpySeconds);
    std::printf("memcpy              %9.0f MB/s (16 MB)\n", memcpyRate);

    struct Case {
        const char* name;
        ZUSAMPLETYPE dst, src;
        size_t intBytes;  // bytes per sample on the integer side
        bool toFloat;
    };
    const Case cases[] = {
        {"int16 -> float32", ZUSAMPLE_F32, ZUSAMPLE_S16, 2, true},
        {"float32 -> int16", ZUSAMPLE_S16, ZUSAMPLE_F32, 2, false},
        {"int24 -> float32", ZUSAMPLE_F32, ZUSAMPLE_S24, 3, true},
    };
    for (const Case& c : cases) {
        const struct {
            const char* kind;
            ZUSAMPLECOPYFUNC fn;
        } variants[] = {{"chosen", ZuAudio_GetCopyFunction(c.dst, c.src)},
                        {"scalar", zu::audio::GetScalarCopyFunction(c.dst, c.src)}};
        for (const auto& v : variants) {
            if (!v.fn) continue;
            uint8_t* out = c.toFloat ? copy.data() : ints.data();
            const uint8_t* in = c.toFloat ? ints.data() : floats.data();
            const double seconds = BestSeconds([&] {
                v.fn(out, in, kSamples, 1.0f);
                sink = sink + out[777];
            });
            const double rate = MBps(kFloatBytes, seconds);
            std::printf("%-17s %s %9.0f MB/s (%7.0f MB/s integer side)  %.2f x memcpy  %6.0f Msamples/s\n", c.name,
                        v.kind, rate, MBps(kSamples * c.intBytes, seconds), rate / memcpyRate,
                        static_cast<double>(kSamples) / seconds / 1e6);
        }
    }
    return 0;
}

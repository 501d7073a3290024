#include "render/sample_layout.h"

#include <algorithm>
#include <numeric>

#include "kernel/byte_order.h"

namespace zu {
namespace {

constexpr uint32_t kHeaderSize = 46;

}  // namespace

HRESULT PlanSampleLayout(const CRiffInstrument& instrument, const std::vector<uint8_t>& headers, SampleLayout* layout) {
    layout->headers = headers;
    const uint32_t waves = instrument.WaveCount();
    if (headers.size() / kHeaderSize < waves) return ZU_E_CORRUPT;
    struct Range {
        uint64_t start, frames;
    };
    std::vector<Range> original(waves);
    uint64_t smplEnd = 0;
    for (uint32_t i = 0; i < waves; ++i) {
        // The range the reader offered: the header's start and the frames it
        // found there (an impossible header gave an empty wave).
        original[i] = {LoadLE32(&headers[i * kHeaderSize + 20]), instrument.Wave(i)->soundFontFrames};
        smplEnd = std::max(smplEnd, original[i].start + original[i].frames);
    }
    if (waves) {
        // The last header's gap reaches the end of the sample data that was read.
        const InstrumentWaveInfo& last = *instrument.Wave(waves - 1);
        const uint64_t lastEnd = LoadLE32(&headers[(waves - 1) * kHeaderSize + 24]);
        if (last.soundFontGap) smplEnd = std::max(smplEnd, lastEnd + last.soundFontGap);
    }
    std::vector<uint32_t> order(waves);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return original[a].start != original[b].start ? original[a].start < original[b].start : original[a].frames < original[b].frames;
    });
    uint64_t cursor = 0, previousEnd = 0;
    for (uint32_t i : order) {
        const Range& r = original[i];
        // Samples that share data cannot each keep theirs: refuse rather than
        // write one over the other.
        if (r.frames && r.start < previousEnd) return ZU_E_CORRUPT;
        const uint64_t before = r.start >= previousEnd ? r.start - previousEnd : 0;
        const uint64_t frames = instrument.Wave(i)->frameCount;
        const uint64_t newStart = cursor + before;
        const uint64_t newEnd = newStart + frames;
        if (newEnd > 0xFFFFFFFFu) return ZU_E_TOO_LARGE;
        uint8_t* h = &layout->headers[i * kHeaderSize];
        const int64_t shift = static_cast<int64_t>(newStart) - static_cast<int64_t>(r.start);
        StoreLE32(h + 20, static_cast<uint32_t>(newStart));
        StoreLE32(h + 24, static_cast<uint32_t>(newEnd));
        // Loop points move with their sample and stay inside it.
        bool clamped = false;
        for (int k = 0; k < 2; ++k) {
            int64_t loop = static_cast<int64_t>(LoadLE32(h + 28 + 4 * k)) + shift;
            const int64_t lo = static_cast<int64_t>(newStart), hi = static_cast<int64_t>(newEnd);
            if (loop < lo || loop > hi) {
                // A loop point the old header already had outside its sample is
                // kept as it was; one the new length cuts off is clamped.
                const int64_t oldLoop = LoadLE32(h + 28 + 4 * k);
                const bool wasInside = oldLoop >= static_cast<int64_t>(r.start) && oldLoop <= static_cast<int64_t>(r.start + r.frames);
                if (wasInside) {
                    loop = std::clamp(loop, lo, hi);
                    clamped = true;
                } else {
                    continue;
                }
            }
            StoreLE32(h + 28 + 4 * k, static_cast<uint32_t>(loop));
        }
        if (clamped) layout->clampedLoops.push_back(i);
        layout->slots.push_back({i, before, frames});
        cursor = newEnd;
        previousEnd = std::max(previousEnd, r.start + r.frames);
    }
    layout->silenceAfter = smplEnd > previousEnd ? smplEnd - previousEnd : 0;
    return S_OK;
}

}  // namespace zu

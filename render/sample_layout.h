// Where each SoundFont 2 sample's data goes in a written "smpl" chunk, and the
// sample headers that point there. Samples keep the order of their data and
// the silence that stood between them; a sample whose length changed moves
// the samples after it, with their loop points.
#ifndef ZU_RENDER_SAMPLE_LAYOUT_H
#define ZU_RENDER_SAMPLE_LAYOUT_H

#include <cstdint>
#include <vector>

#include "instrument/riff_instrument.h"

namespace zu {

struct SampleSlot {
    uint32_t wave = 0;            // wave (and sample header) index
    uint64_t silenceBefore = 0;   // points of silence written before the sample
    uint64_t frames = 0;          // points of the sample written
};

struct SampleLayout {
    std::vector<SampleSlot> slots;    // in data order
    uint64_t silenceAfter = 0;        // points after the last sample
    std::vector<uint8_t> headers;     // the "shdr" records to write back
    std::vector<uint32_t> clampedLoops;  // samples whose loop no longer fitted and was cut to the sample
};

// Plans the "smpl" data of an instrument from its sample headers (as read
// from the header image). 0x8004E00B when the headers cannot describe the
// waves: fewer headers than waves, or samples sharing data.
HRESULT PlanSampleLayout(const CRiffInstrument& instrument, const std::vector<uint8_t>& headers, SampleLayout* layout);

}  // namespace zu

#endif

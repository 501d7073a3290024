// Moves one wave's samples from the host's audio stream into a file: reads
// the stream at the wave's first frame in blocks of at most 1,024 frames and
// converts each block into the wave's own format when the two differ.
#ifndef ZU_RENDER_SAMPLE_FEEDER_H
#define ZU_RENDER_SAMPLE_FEEDER_H

#include <functional>
#include <vector>

#include "zuinstr/zuinstr.h"

namespace zu {

class SampleFeeder {
public:
    static constexpr uint32_t kBlockFrames = 1024;

    // Reads the stream's frame count and format; false when it has none.
    bool Open(IZuReadAudioStream* stream);
    uint64_t frames() const { return frames_; }
    uint32_t blockAlign() const { return sourceWfx_.nBlockAlign; }
    uint32_t sampleRate() const { return sourceWfx_.nSamplesPerSec; }
    HRESULT formatResult() const { return formatResult_; }

    // Writes `frames` frames of the wave starting at `firstFrame`, in the
    // wave's format, through write(bytes, count); `progress` is told the bytes
    // of each block. Returns the frames delivered; *shortSource is set when
    // the stream delivered fewer than asked.
    uint64_t FeedWave(uint64_t firstFrame, uint64_t frames, const WAVEFORMATEX& waveFormat,
                      const std::function<bool(const void*, uint32_t)>& write,
                      const std::function<void(uint32_t)>& progress, bool* shortSource);

private:
    IZuReadAudioStream* stream_ = nullptr;
    uint64_t frames_ = 0;
    HRESULT formatResult_ = S_OK;
    _zuwaveformatmax sourceRecord_ = {};
    WAVEFORMATEX sourceWfx_ = {};
    std::vector<uint8_t> source_, converted_;
};

// Writes `points` zero sample points (2 bytes each) in runs of at most 46.
bool WriteSilence(const std::function<bool(const void*, uint32_t)>& write, uint64_t points);

}  // namespace zu

#endif

// What a render settles before it writes anything: the estimate of the output
// size, whether the target volume can take a file of that size, and whether the
// instrument rebuilt from the host's metadata is of the render class's kind.
#ifndef ZU_RENDER_RENDER_PREFLIGHT_H
#define ZU_RENDER_RENDER_PREFLIGHT_H

#include <cstdint>

#include "plugin/instrument_kind.h"
#include "zuinstr/zuinstr_types.h"

namespace zu {

inline constexpr uint64_t kRenderEstimateOverhead = 1000000;  // bytes added to every estimate
// An estimate this much above the free space still passes: the overhead is
// a margin, only 1,024 bytes of it are needed for sure.
inline constexpr uint64_t kRenderEstimateSlack = 998976;
inline constexpr uint64_t kRenderSizeLimit = 0x80000000ull;  // the writers' 32-bit file positions
inline constexpr uint64_t kFatFileSizeLimit = 0xFFFFFFFFull;
inline constexpr int64_t kHundredNanosecondsPerSecond = 10000000;

// frames / rate in 100-nanosecond units, rounded to nearest; 0 for rate 0.
int64_t DurationOfFrames(uint64_t frames, uint32_t samplesPerSec);

// bytesPerSec x (whole seconds of duration + 1) + the overhead. A negative
// duration counts as 0; a result beyond 64 bits saturates.
uint64_t EstimateRenderBytes(uint32_t bytesPerSec, int64_t duration);

// Checks a target before a render of `estimate` bytes: 0x8004E002 when the
// volume of path has too little free space (checked first), 0x8004E03A when
// a compressed format has more than 0xFFFFFFFF frames or the estimate
// reaches 2^31 bytes (or passes the FAT limit on a FAT volume); else S_OK.
HRESULT CheckRenderTarget(const WCHAR* path, uint64_t estimate, bool compressedFormat, uint64_t frames);

// False when the images of an instrument say it is of the other family than
// kind: SoundFont 2 images ("smpW" wave pool, "pdta" header) against DLS and
// GIG ones ("ptbl" or "wvpl" wave pool, "colh" header). Images that tell
// nothing (empty, unknown chunks) pass.
bool InstrumentImagesFitKind(InstrumentKind kind, const uint8_t* header, uint32_t headerSize, const uint8_t* wavePool,
                             uint32_t wavePoolSize);

}  // namespace zu

#endif

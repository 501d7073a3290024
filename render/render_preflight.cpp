#include "render/render_preflight.h"

#include <algorithm>
#include <limits>

#include "kernel/byte_order.h"
#include "platform/platform.h"
#include "riff/riff_handler.h"
#include "zuinstr/zuinstr_guids.h"

namespace zu {
namespace {

// Whether a plain chunk image holds the chunk (or "LIST" of that type) at its top level.
bool HasTopLevelChunk(const uint8_t* image, uint32_t size, uint32_t id, bool isList) {
    if (!image || size < 8) return false;
    CRiffMemFile riff;
    if (!riff.OpenMemoryReadOnly(image, size, RIFF_FORM_NONE)) return false;
    return riff.Descend(id, isList) != 0;
}

}  // namespace

int64_t DurationOfFrames(uint64_t frames, uint32_t samplesPerSec) {
    if (samplesPerSec == 0) return 0;
    const double units = static_cast<double>(frames) / samplesPerSec * kHundredNanosecondsPerSecond + 0.5;
    if (units >= static_cast<double>(std::numeric_limits<int64_t>::max())) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(units);
}

uint64_t EstimateRenderBytes(uint32_t bytesPerSec, int64_t duration) {
    const uint64_t seconds = duration > 0 ? static_cast<uint64_t>(duration / kHundredNanosecondsPerSecond) + 1 : 1;
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    if (bytesPerSec && seconds > (max - kRenderEstimateOverhead) / bytesPerSec) return max;
    return bytesPerSec * seconds + kRenderEstimateOverhead;
}

HRESULT CheckRenderTarget(const WCHAR* path, uint64_t estimate, bool compressedFormat, uint64_t frames) {
    const uint64_t withoutSlack = estimate - std::min(estimate, kRenderEstimateSlack);
    platform::VolumeInfo volume;
    // A volume that cannot be asked (a path on no mounted volume) is left to
    // the writer, which fails to create the file and says so.
    const bool known = path && platform::QueryVolume(path, &volume);
    if (known) {
        // Free space counts in whole kilobytes of 32 bits; saturating keeps
        // volumes beyond 4 TB from looking nearly empty.
        const uint64_t freeKilobytes = std::min<uint64_t>(volume.freeBytes / 1024, 0xFFFFFFFFu);
        const uint64_t freeBytes = freeKilobytes * 1024;
        if (estimate > freeBytes && withoutSlack > freeBytes) return ZU_E_DISK_FULL;
    }
    if (compressedFormat && frames > 0xFFFFFFFFull) return ZU_E_TOO_LARGE;
    if (estimate >= kRenderSizeLimit) return ZU_E_TOO_LARGE;
    // FAT's own 4 GB limit lies above the writers' 2 GB one; it is kept so
    // that the rule stays whole should the writers' limit rise.
    const bool fat = known && volume.fileSystem.compare(0, 3, u"FAT") == 0;
    if (fat && estimate > kFatFileSizeLimit && withoutSlack > kFatFileSizeLimit) return ZU_E_TOO_LARGE;
    return S_OK;
}

bool InstrumentImagesFitKind(InstrumentKind kind, const uint8_t* header, uint32_t headerSize, const uint8_t* wavePool,
                             uint32_t wavePoolSize) {
    const bool soundFont = HasTopLevelChunk(wavePool, wavePoolSize, FourCC("smpW"), false) ||
                           HasTopLevelChunk(header, headerSize, FourCC("pdta"), true);
    const bool dlsFamily = HasTopLevelChunk(wavePool, wavePoolSize, FourCC("ptbl"), false) ||
                           HasTopLevelChunk(wavePool, wavePoolSize, FourCC("wvpl"), true) ||
                           HasTopLevelChunk(header, headerSize, FourCC("colh"), false);
    return kind == kInstrumentSf2 ? !dlsFamily : !soundFont;
}

}  // namespace zu

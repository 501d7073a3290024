// Sample copy: the choice of copy routines by sample type. The exported
// ZuAudio_GetCopyFunction, ZuAudio_GetCopyChannelsFunction and
// ZuAudio_MuteChannel are declared in the public header; the arithmetic of
// every routine is in kernel/sample_codec.h.
#ifndef ZU_KERNEL_SAMPLE_COPY_H
#define ZU_KERNEL_SAMPLE_COPY_H

#include "zuinstr/zuinstr_audio.h"

namespace zu::audio {

// The sample types copy routines exist between, in table order.
inline constexpr ZUSAMPLETYPE kCopyTypes[] = {ZUSAMPLE_U8,      ZUSAMPLE_S16, ZUSAMPLE_S24,   ZUSAMPLE_S32,
                                              ZUSAMPLE_F32,     ZUSAMPLE_F64, ZUSAMPLE_S24IN32, ZUSAMPLE_S8,
                                              ZUSAMPLE_S16BE,   ZUSAMPLE_S24BE, ZUSAMPLE_S32BE};
// Sources the copy-channels routines accept besides kCopyTypes.
inline constexpr ZUSAMPLETYPE kChannelOnlySourceTypes[] = {ZUSAMPLE_U16, ZUSAMPLE_U24};

// The portable routine of a pair; null outside kCopyTypes.
ZUSAMPLECOPYFUNC GetScalarCopyFunction(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType);
// The vector routine of a pair where one exists for this processor, else null.
// It gives exactly the scalar routine's results.
ZUSAMPLECOPYFUNC GetVectorCopyFunction(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType);
// The copy-channels routine of a pair; null when none.
ZUCHANNELCOPYFUNC GetChannelCopyFunction(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType);

}  // namespace zu::audio

#endif

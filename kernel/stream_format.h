// The stream format record (_ZUFILESTREAMFORMATINFOv2) that describes a stream
// to the host. ZuFio_SetStreamFormatInfo is declared in the public header.
#ifndef ZU_KERNEL_STREAM_FORMAT_H
#define ZU_KERNEL_STREAM_FORMAT_H

#include "zuinstr/zuinstr_audio.h"

namespace zu::audio {

// Size of the audio extension record a stream carries beside its format.
constexpr size_t kAudioExtensionSize = 32;

}  // namespace zu::audio

#endif

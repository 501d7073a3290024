// The wave-format record and WAVEFORMATEX: sample types, conversions between
// the two, and the format tests. The exported ZuAudio_* routines are declared
// in the public header; these are the helpers the rest of the module shares.
#ifndef ZU_KERNEL_WAVE_FORMAT_H
#define ZU_KERNEL_WAVE_FORMAT_H

#include "zuinstr/zuinstr_audio.h"

namespace zu::audio {

// Bytes a sample of `bits` bits occupies in a plain format: bits / 8 for whole
// bytes, 3 for 20-bit data (which lives in 24-bit containers), 0 otherwise.
uint32_t ContainerBytes(uint32_t bits);

// The SubFormat of an extensible format, or null when wfx is not one or its
// cbSize is too small to hold it.
const GUID* ExtensibleSubFormat(const WAVEFORMATEX* wfx);

// True when the GUID is {tttt0000-0000-0010-8000-00AA00389B71} for some tag.
bool IsStandardSubtype(const GUID& subFormat);

}  // namespace zu::audio

#endif

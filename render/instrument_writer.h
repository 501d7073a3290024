// The instrument writer: one entry for every format. DLS and GIG are written
// here; SoundFont 2 by its own writer.
#ifndef ZU_RENDER_INSTRUMENT_WRITER_H
#define ZU_RENDER_INSTRUMENT_WRITER_H

#include "instrument/riff_instrument.h"
#include "zuinstr/zuinstr.h"

namespace zu {

// Writes the instrument to path with each wave's samples read from the
// audio source at the wave's first frame. S_FALSE when the source has no
// audio stream (nothing is written).
HRESULT WriteInstrument(CRiffInstrument& instrument, const WCHAR* path, IUnknown* audioSource, IZuProgressSink* progress);
HRESULT WriteSoundFont(CRiffInstrument& instrument, const WCHAR* path, IUnknown* audioSource, IZuProgressSink* progress);

}  // namespace zu

#endif

// Stand-in for the instrument builder from a host metadata object until it
// is merged: an empty instrument of the kind (no waves, no images). Weak on
// ELF builds, so the real constructor replaces it there; PE weak definitions
// do not resolve, so this file goes when the builder arrives.
#include "instrument/riff_instrument.h"

namespace zu {

#if defined(__GNUC__) && !defined(_WIN32)
__attribute__((weak))
#endif
CRiffInstrument::CRiffInstrument(IUnknown* source, InstrumentKind kind) : CRiffInstrument(kind) {
    source_ = source;
}

}  // namespace zu

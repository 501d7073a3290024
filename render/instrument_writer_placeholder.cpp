// Stand-in for the instrument writer until it is merged: nothing is
// written, E_NOTIMPL. Weak on ELF builds, so the real writer replaces it
// there; PE weak definitions do not resolve, so this file goes when the
// writer arrives.
#include "render/instrument_writer.h"

namespace zu {

#if defined(__GNUC__) && !defined(_WIN32)
__attribute__((weak))
#endif
HRESULT WriteInstrument(CRiffInstrument&, const WCHAR*, IUnknown*, IZuProgressSink*) {
    return E_NOTIMPL;
}

}  // namespace zu

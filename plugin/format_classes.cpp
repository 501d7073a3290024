// The format classes are not served yet: the factory answers E_NOINTERFACE
// for them until the reader and render classes exist.
#include "plugin/format_classes.h"

namespace zu {

HRESULT CreateReadFileClass(InstrumentKind, void**) { return E_NOINTERFACE; }
HRESULT CreateRenderFileClass(InstrumentKind, void**) { return E_NOINTERFACE; }

}  // namespace zu

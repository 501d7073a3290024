// Creation of the reader and render classes of one format, called by the
// class factory once it has matched the format's class identifier.
#ifndef ZU_PLUGIN_FORMAT_CLASSES_H
#define ZU_PLUGIN_FORMAT_CLASSES_H

#include "plugin/instrument_kind.h"
#include "zuinstr/zuinstr_types.h"

namespace zu {

// Creates the read file class of a format (count 0, then AddRef to 1).
HRESULT CreateReadFileClass(InstrumentKind kind, void** out);
// Creates the render file class of a format (count 0, then AddRef to 1).
HRESULT CreateRenderFileClass(InstrumentKind kind, void** out);

}  // namespace zu

#endif

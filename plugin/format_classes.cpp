// The reader and render classes of each format, created for the class factory.
#include "plugin/format_classes.h"

#include "plugin/allocator.h"
#include "reader/read_file_class.h"

namespace zu {

HRESULT CreateReadFileClass(InstrumentKind kind, void** out) {
    CDlsReadFileClass* cls = kind == kInstrumentDls ? ZuNew<CDlsReadFileClass>(kind)
                                                    : static_cast<CDlsReadFileClass*>(ZuNew<CGigReadFileClass>(kind));
    if (!cls) return E_OUTOFMEMORY;
    if (!cls->Ready()) {
        ZuDelete(cls);
        return E_OUTOFMEMORY;
    }
    cls->AddRef();
    *out = static_cast<IZuReadFileClass*>(cls);
    return S_OK;
}

// Render classes are not served yet.
HRESULT CreateRenderFileClass(InstrumentKind, void**) { return E_NOINTERFACE; }

}  // namespace zu

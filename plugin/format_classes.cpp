// The reader and render classes of each format, created for the class factory.
#include "plugin/format_classes.h"

#include "plugin/allocator.h"
#include "reader/read_file_class.h"
#include "render/render_file_class.h"

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

HRESULT CreateRenderFileClass(InstrumentKind kind, void** out) {
    CDlsRenderFileClass* cls = nullptr;
    switch (kind) {
        case kInstrumentGig: cls = ZuNew<CGigRenderFileClass>(); break;
        case kInstrumentSf2: cls = ZuNew<CSf2RenderFileClass>(); break;
        default: cls = ZuNew<CDlsRenderFileClass>(kInstrumentDls); break;
    }
    if (!cls) return E_OUTOFMEMORY;
    cls->AddRef();
    *out = static_cast<IZuRenderFileClass*>(cls);
    return S_OK;
}

}  // namespace zu

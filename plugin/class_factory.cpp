#include "plugin/class_factory.h"

#include <cstring>

#include "plugin/format_classes.h"
#include "plugin/plugin_info.h"
#include "zuinstr/zuinstr_guids.h"

namespace zu {
namespace {

// The three format identifiers share their last six bytes, so only the first
// ten are compared: Data1, Data2, Data3 and two bytes of Data4.
bool SameFormatClass(const CLSID& a, const CLSID& b) { return std::memcmp(&a, &b, 10) == 0; }

}  // namespace

HRESULT CClassFactory::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (ZuGuidEqual(iid, IID_ZuIUnknown) || ZuGuidEqual(iid, IID_ZuIClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CClassFactory::CreateInstance(IUnknown*, const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    static const struct {
        const CLSID* classId;
        InstrumentKind kind;
    } kFormats[] = {
        {&CLSID_ZuGigInstrument, kInstrumentGig},
        {&CLSID_ZuDlsInstrument, kInstrumentDls},
        {&CLSID_ZuSf2Instrument, kInstrumentSf2},
    };
    for (const auto& format : kFormats) {
        if (!SameFormatClass(classId_, *format.classId)) continue;
        if (ZuGuidEqual(iid, IID_IZuRenderFileClass)) return CreateRenderFileClass(format.kind, out);
        if (ZuGuidEqual(iid, IID_IZuReadFileClass)) return CreateReadFileClass(format.kind, out);
        return E_NOINTERFACE;
    }
    if (ZuGuidEqual(classId_, CLSID_ZuUnsharedFIOPluginInfo)) {
        if (!ZuGuidEqual(iid, IID_IZuUnsharedFIOPluginInfo) && !ZuGuidEqual(iid, IID_ZuIUnknown)) return E_NOINTERFACE;
        auto* info = ZuNew<CZuUnsharedFIOPluginInfo>();
        if (!info) return E_OUTOFMEMORY;
        info->AddRef();  // hold it across QueryInterface so a failure frees it
        const HRESULT hr = info->QueryInterface(iid, out);
        info->Release();
        return hr;
    }
    return E_NOINTERFACE;
}

}  // namespace zu

ZU_EXPORT_C HRESULT ZU_STDCALL DllGetClassObject(const CLSID& classId, const IID& interfaceId, void** out) {
    if (!out) return E_POINTER;
    if (!ZuGuidEqual(interfaceId, IID_ZuIUnknown) && !ZuGuidEqual(interfaceId, IID_ZuIClassFactory))
        return E_NOINTERFACE;  // the out pointer stays untouched
    auto* factory = zu::ZuNew<zu::CClassFactory>(classId);
    if (!factory) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    factory->AddRef();
    *out = static_cast<IClassFactory*>(factory);
    return S_OK;
}

// The module never agrees to be unloaded: hosts keep pointers into it.
ZU_EXPORT_C HRESULT ZU_STDCALL DllCanUnloadNow() { return S_FALSE; }

ZU_EXPORT_C void ZU_STDCALL DllInitClasses() {}

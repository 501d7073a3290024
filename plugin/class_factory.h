// The module's one class factory: handed out for any class identifier by
// DllGetClassObject, it decides at CreateInstance what to create.
#ifndef ZU_PLUGIN_CLASS_FACTORY_H
#define ZU_PLUGIN_CLASS_FACTORY_H

#include "plugin/com_object.h"

namespace zu {

class CClassFactory final : public IClassFactory, public RefCounted<CClassFactory> {
public:
    explicit CClassFactory(const CLSID& classId) : classId_(classId) {}
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return AddRefImpl(); }
    ULONG ZU_STDCALL Release() override { return ReleaseImpl(); }
    HRESULT ZU_STDCALL CreateInstance(IUnknown* outer, const IID& iid, void** out) override;
    HRESULT ZU_STDCALL LockServer(BOOL) override { return S_OK; }

private:
    CLSID classId_;
};

}  // namespace zu

#endif

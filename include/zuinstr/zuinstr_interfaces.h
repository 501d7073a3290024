// zuinstr public host header: the module's interfaces, in slot order. Slots 0
// to 2 of each are IUnknown's QueryInterface, AddRef and Release.
#ifndef ZUINSTR_INTERFACES_H
#define ZUINSTR_INTERFACES_H

#include "zuinstr/zuinstr_types.h"

// Capability word bits of a format class.
#define ZU_CLASS_CAN_READ 0x10u
#define ZU_CLASS_CAN_RENDER 0x20u
#define ZU_STREAM_TYPE_AUDIO 1u

// The plug-in information object: which format classes the module serves.
struct IZuUnsharedFIOPluginInfo : public IUnknown {
    virtual HRESULT ZU_STDCALL Reserved1() = 0;                   // 3: does nothing, S_OK
    virtual HRESULT ZU_STDCALL GetClassCount(ULONG* count) = 0;   // 4: always 3
    // 5: one row of the class table; every out argument may be null. The four
    // further words are left untouched, the zero word receives 0.
    virtual HRESULT ZU_STDCALL GetClassInfo(int32_t index, GUID* classId, WCHAR* name, int32_t nameCapacity,
                                            DWORD* capabilities, DWORD* streamType, DWORD* further1, DWORD* further2,
                                            DWORD* further3, DWORD* further4, DWORD* zeroWord, DWORD* flags) = 0;
};

// The module's exported entry points.
ZU_EXPORT_C HRESULT ZU_STDCALL DllGetClassObject(const CLSID& classId, const IID& interfaceId, void** out);
ZU_EXPORT_C HRESULT ZU_STDCALL DllCanUnloadNow();
ZU_EXPORT_C void ZU_STDCALL DllInitClasses();

#endif

// zuinstr public host header, part 1: the scalar types, GUID, IUnknown and
// IClassFactory of the module's binary conventions.
//
// The module is a COM-style in-process server on Windows and the same module as
// a shared object on Linux. Both builds share one binary contract:
//   HRESULT, BOOL      32-bit signed
//   ULONG, DWORD, UINT, LCID  32-bit unsigned
//   WCHAR              16-bit UTF-16 code unit (char16_t on Linux, never wchar_t)
//   BSTR               WCHAR* preceded by a 32-bit byte length, ended by a zero
//   GUID               {uint32 Data1; uint16 Data2; uint16 Data3; uint8 Data4[8]}
//   interfaces         abstract classes with only pure virtual functions, slots 0-2
//                      QueryInterface, AddRef, Release
//
// On Windows a host may include <windows.h> (or <objbase.h>) BEFORE this header:
// every definition here then defers to the platform's identical one.
#ifndef ZUINSTR_TYPES_H
#define ZUINSTR_TYPES_H

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ZU_STDCALL __stdcall
#define ZU_TEXT(s) L##s
// Windows spells the 32-bit types with long; keep the platform's exact types so
// that a host including <windows.h> sees identical typedefs.
typedef long HRESULT;
typedef int BOOL;
typedef unsigned long ULONG;
typedef unsigned long DWORD;
typedef unsigned int UINT;
typedef DWORD LCID;
typedef wchar_t WCHAR;
#else
#define ZU_STDCALL
#define ZU_TEXT(s) u##s
typedef int32_t HRESULT;
typedef int32_t BOOL;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint32_t LCID;
typedef char16_t WCHAR;
#endif
typedef WCHAR* BSTR;

static_assert(sizeof(HRESULT) == 4 && sizeof(BOOL) == 4, "32-bit signed scalars");
static_assert(sizeof(ULONG) == 4 && sizeof(DWORD) == 4 && sizeof(LCID) == 4, "32-bit unsigned scalars");
static_assert(sizeof(WCHAR) == 2, "WCHAR is one UTF-16 code unit");

#ifndef GUID_DEFINED
#define GUID_DEFINED
struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
#endif
// Repeating an identical typedef is legal C++, so this coexists with <guiddef.h>.
typedef GUID IID;
typedef GUID CLSID;
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

#ifndef S_OK
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#endif
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#ifndef SUCCEEDED
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif

#if !defined(__IUnknown_INTERFACE_DEFINED__) && !defined(__unknwn_h__)
#define __IUnknown_INTERFACE_DEFINED__
struct IUnknown {
    virtual HRESULT ZU_STDCALL QueryInterface(const IID& riid, void** ppv) = 0;
    virtual ULONG ZU_STDCALL AddRef() = 0;
    virtual ULONG ZU_STDCALL Release() = 0;
};
#endif

#if !defined(__IClassFactory_INTERFACE_DEFINED__) && !defined(__unknwn_h__)
#define __IClassFactory_INTERFACE_DEFINED__
struct IClassFactory : public IUnknown {
    virtual HRESULT ZU_STDCALL CreateInstance(IUnknown* outer, const IID& riid, void** ppv) = 0;
    virtual HRESULT ZU_STDCALL LockServer(BOOL lock) = 0;
};
#endif

// The Windows build exports through its .def file; the Linux build hides every
// symbol but those marked here.
#if defined(_WIN32)
#define ZU_EXPORT_C extern "C"
#else
#define ZU_EXPORT_C extern "C" __attribute__((visibility("default")))
#endif

// Byte-wise GUID equality, usable without any platform header.
inline bool ZuGuidEqual(const GUID& a, const GUID& b) {
    const auto* x = reinterpret_cast<const uint8_t*>(&a);
    const auto* y = reinterpret_cast<const uint8_t*>(&b);
    for (int i = 0; i < 16; ++i)
        if (x[i] != y[i]) return false;
    return true;
}

#endif

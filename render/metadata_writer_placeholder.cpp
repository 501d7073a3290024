// Stand-in for the summary metadata writer until it is merged: nothing is
// written, E_NOTIMPL. Weak on ELF builds, so the real writer replaces it
// there; PE weak definitions do not resolve, so this file goes when the
// writer arrives.
#include "zuinstr/zuinstr.h"

#if defined(__GNUC__) && !defined(_WIN32)
#define ZU_PLACEHOLDER __attribute__((weak))
#else
#define ZU_PLACEHOLDER
#endif

ZU_EXPORT_C ZU_PLACEHOLDER HRESULT ZuFMMeta_openAndWriteMetaStreamEx(const WCHAR*, BOOL, ULONG, IUnknown*, ULONG,
                                                                     ULONG) {
    return E_NOTIMPL;
}

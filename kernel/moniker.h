// Stream monikers: a file path, "?", and a query whose items are joined by "&"
// ("piano.dls?a&3" names wave 3 of piano.dls).
#ifndef ZU_KERNEL_MONIKER_H
#define ZU_KERNEL_MONIKER_H

#include "zuinstr/zuinstr_types.h"

// Splits a moniker at its first "?" into the path and the query; each output
// is cut to its capacity and always terminated. Either output may be null.
ZU_EXPORT_C HRESULT ZuFio_ParseMoniker(const WCHAR* moniker, WCHAR* path, ULONG pathCapacity, WCHAR* query,
                                       ULONG queryCapacity);
// Joins a path and query items into a moniker ("path?item1&item2").
// E_INVALIDARG when it does not fit.
ZU_EXPORT_C HRESULT ZuFio_BuildMoniker(const WCHAR* path, const WCHAR* const* items, ULONG itemCount, WCHAR* out,
                                       ULONG capacity);

#endif

#include "kernel/moniker.h"

namespace {

// Copies at most capacity - 1 units and terminates; returns false when cut.
bool CopyCut(const WCHAR* from, const WCHAR* end, WCHAR* to, ULONG capacity) {
    if (!to || capacity == 0) return true;
    ULONG i = 0;
    for (; from + i < end && i + 1 < capacity; ++i) to[i] = from[i];
    to[i] = 0;
    return from + i == end;
}

}  // namespace

ZU_EXPORT_C HRESULT ZuFio_ParseMoniker(const WCHAR* moniker, WCHAR* path, ULONG pathCapacity, WCHAR* query,
                                       ULONG queryCapacity) {
    if (path && pathCapacity) path[0] = 0;
    if (query && queryCapacity) query[0] = 0;
    if (!moniker) return E_INVALIDARG;
    const WCHAR* end = moniker;
    while (*end) ++end;
    const WCHAR* mark = moniker;
    while (mark < end && *mark != '?') ++mark;
    CopyCut(moniker, mark, path, pathCapacity);
    if (mark < end) CopyCut(mark + 1, end, query, queryCapacity);
    return S_OK;
}

ZU_EXPORT_C HRESULT ZuFio_BuildMoniker(const WCHAR* path, const WCHAR* const* items, ULONG itemCount, WCHAR* out,
                                       ULONG capacity) {
    if (!path || !out || capacity == 0) return E_INVALIDARG;
    ULONG n = 0;
    auto put = [&](WCHAR c) {
        if (n + 1 >= capacity) return false;
        out[n++] = c;
        return true;
    };
    bool ok = true;
    for (const WCHAR* p = path; *p && ok; ++p) ok = put(*p);
    for (ULONG i = 0; i < itemCount && ok; ++i) {
        ok = put(i == 0 ? '?' : '&');
        for (const WCHAR* p = items[i]; p && *p && ok; ++p) ok = put(*p);
    }
    out[n] = 0;
    return ok ? S_OK : E_INVALIDARG;
}

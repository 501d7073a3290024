#include "kernel/string_resource_map.h"

#include <string>

#include "platform/platform.h"

ZU_EXPORT_C HRESULT ZuFio_FillBstrArrayFromStringResourceMap(HZULANG language, const ULONG* identifiers, ULONG count,
                                                             BSTR* texts, const ZuStringResourceMapRow* rows,
                                                             ULONG rowCount, const WCHAR* suffix) {
    if (count == 0) return S_OK;
    if (!identifiers || !texts) return E_POINTER;
    HRESULT result = S_OK;
    for (ULONG i = 0; i < count; ++i) {
        texts[i] = nullptr;
        const ZuStringResourceMapRow* row = nullptr;
        for (ULONG r = 0; r < rowCount && !row; ++r)
            if (rows[r].identifier == identifiers[i]) row = &rows[r];
        if (!row) continue;  // not in the table: a null entry, no error
        const WCHAR* base = row->text ? row->text : ZuGetString(language, row->messageNumber);
        std::basic_string<WCHAR> text(base ? base : ZU_TEXT(""));
        if (suffix) text += suffix;
        texts[i] = zu::platform::BstrAllocLen(text.c_str(), static_cast<uint32_t>(text.size()));
        if (!texts[i]) result = E_OUTOFMEMORY;
    }
    return result;
}

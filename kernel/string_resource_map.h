// Fills an array of system strings from a table of texts, each row either a
// fixed text or a message number of the module's string table.
#ifndef ZU_KERNEL_STRING_RESOURCE_MAP_H
#define ZU_KERNEL_STRING_RESOURCE_MAP_H

#include "kernel/string_table.h"

// One row: the identifier asked for, and either a fixed text or (when text
// is null) a message number fetched in the current language.
struct ZuStringResourceMapRow {
    ULONG identifier;
    const WCHAR* text;
    UINT messageNumber;
};

// texts[i] receives a new system string for identifiers[i] (the caller frees
// it), or null when the identifier is not in the table. An allocation failure
// leaves a null entry and makes the result E_OUTOFMEMORY; the rest is filled.
ZU_EXPORT_C HRESULT ZuFio_FillBstrArrayFromStringResourceMap(HZULANG language, const ULONG* identifiers, ULONG count,
                                                             BSTR* texts, const ZuStringResourceMapRow* rows,
                                                             ULONG rowCount, const WCHAR* suffix);

#endif

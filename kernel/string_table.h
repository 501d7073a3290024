// The module's string table: localised texts fetched by message number through
// one language handle, in the host's language, with a language module beside
// the plug-in searched first and English as the fallback.
#ifndef ZU_KERNEL_STRING_TABLE_H
#define ZU_KERNEL_STRING_TABLE_H

#include "zuinstr/zuinstr_types.h"

struct ZuLangHandle;
typedef ZuLangHandle* HZULANG;

ZU_EXPORT_C HRESULT ZuLang_Open(HZULANG* outHandle, void* moduleInstance, LCID lcid, UINT scratchChars, UINT version);
ZU_EXPORT_C void ZuLang_Close(HZULANG handle);
ZU_EXPORT_C LCID ZuLang_GetLCID(HZULANG handle);
ZU_EXPORT_C BOOL ZuLang_UpdateKernelLCID(HZULANG handle, LCID lcid, UINT flag);
ZU_EXPORT_C const WCHAR* ZuGetString(HZULANG handle, UINT messageNumber);
ZU_EXPORT_C int ZuLoadString(HZULANG handle, UINT messageNumber, WCHAR* buffer, int capacity);

#endif

// System strings from OLE Automation.
#include <windows.h>
#include <oleauto.h>

#include "platform/platform.h"

namespace zu::platform {

BSTR BstrAlloc(const WCHAR* text) { return ::SysAllocString(text); }
BSTR BstrAllocLen(const WCHAR* text, uint32_t chars) { return ::SysAllocStringLen(text, chars); }
void BstrFree(BSTR text) { ::SysFreeString(text); }
uint32_t BstrLen(BSTR text) { return ::SysStringLen(text); }

}  // namespace zu::platform

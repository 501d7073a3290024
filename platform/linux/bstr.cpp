// System strings: the module's own implementation of the BSTR functions with the
// Windows memory layout (a 32-bit byte length, the UTF-16 text, a zero), exported
// so that a host can free the texts the module hands it.
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace zu::platform {

BSTR BstrAllocLen(const WCHAR* text, uint32_t chars) {
    if (chars > 0x3FFFFFF0u) return nullptr;
    const size_t bytes = static_cast<size_t>(chars) * sizeof(WCHAR);
    auto* block = static_cast<unsigned char*>(std::calloc(1, sizeof(uint32_t) + bytes + sizeof(WCHAR)));
    if (!block) return nullptr;
    const uint32_t len = static_cast<uint32_t>(bytes);
    std::memcpy(block, &len, sizeof len);
    if (text) std::memcpy(block + sizeof(uint32_t), text, bytes);
    return reinterpret_cast<BSTR>(block + sizeof(uint32_t));
}

BSTR BstrAlloc(const WCHAR* text) {
    if (!text) return nullptr;
    return BstrAllocLen(text, static_cast<uint32_t>(WideLength(text)));
}

void BstrFree(BSTR text) {
    if (text) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t));
}

uint32_t BstrLen(BSTR text) {
    if (!text) return 0;
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t), sizeof bytes);
    return bytes / sizeof(WCHAR);
}

}  // namespace zu::platform

ZU_EXPORT_C BSTR SysAllocString(const WCHAR* text) { return zu::platform::BstrAlloc(text); }
ZU_EXPORT_C BSTR SysAllocStringLen(const WCHAR* text, UINT chars) { return zu::platform::BstrAllocLen(text, chars); }
ZU_EXPORT_C void SysFreeString(BSTR text) { zu::platform::BstrFree(text); }
ZU_EXPORT_C UINT SysStringLen(BSTR text) { return zu::platform::BstrLen(text); }

// The system ANSI code page, converted by Windows itself.
#include <windows.h>

#include "platform/platform.h"

namespace zu::platform {

int AnsiToWide(const char* src, int srcLen, WCHAR* dst, int dstCapacity) {
    if (!src || srcLen == 0) return 0;
    return ::MultiByteToWideChar(CP_ACP, 0, src, srcLen, dst, dstCapacity);
}

int WideToAnsi(const WCHAR* src, int srcLen, char* dst, int dstCapacity) {
    if (!src || srcLen == 0) return 0;
    return ::WideCharToMultiByte(CP_ACP, 0, src, srcLen, dst, dstCapacity, nullptr, nullptr);
}

}  // namespace zu::platform

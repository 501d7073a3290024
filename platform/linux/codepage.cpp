// Windows-1252, the ANSI code page the module's texts use, converted exactly as
// Windows converts it: the five bytes the code page leaves undefined map to the
// C1 controls of the same value, and characters it cannot hold become '?'.
#include "platform/platform.h"

namespace zu::platform {
namespace {

const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t ByteToWide(unsigned char b) { return (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : b; }

char WideToByte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

int AnsiToWide(const char* src, int srcLen, WCHAR* dst, int dstCapacity) {
    if (!src || dstCapacity < 0) return 0;
    size_t n = srcLen < 0 ? 0 : static_cast<size_t>(srcLen);
    if (srcLen < 0) {
        while (src[n]) ++n;
        ++n;  // the terminator is converted and counted
    }
    if (dstCapacity == 0) return static_cast<int>(n);
    if (!dst || n > static_cast<size_t>(dstCapacity)) return 0;
    for (size_t i = 0; i < n; ++i) dst[i] = static_cast<WCHAR>(ByteToWide(static_cast<unsigned char>(src[i])));
    return static_cast<int>(n);
}

int WideToAnsi(const WCHAR* src, int srcLen, char* dst, int dstCapacity) {
    if (!src || dstCapacity < 0) return 0;
    size_t n = srcLen < 0 ? WideLength(src) + 1 : static_cast<size_t>(srcLen);
    // Each unit converts on its own: both halves of a surrogate pair become '?'.
    size_t out = 0;
    for (size_t i = 0; i < n; ++i) {
        if (dstCapacity > 0) {
            if (!dst || out >= static_cast<size_t>(dstCapacity)) return 0;
            dst[out] = WideToByte(static_cast<char16_t>(src[i]));
        }
        ++out;
    }
    return static_cast<int>(out);
}

}  // namespace zu::platform

// UTF-8 <-> UTF-16 helpers shared by both sides of the platform layer; only
// the tool-facing paths and Linux file names need them.
#include "platform/platform.h"

namespace zu::platform {

size_t WideLength(const WCHAR* s) {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

std::string U16ToUtf8(const std::u16string& src) {
    std::string out;
    out.reserve(src.size());
    for (size_t i = 0; i < src.size(); ++i) {
        uint32_t c = src[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < src.size() && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (src[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf8ToU16(const std::string& src) {
    std::u16string out;
    out.reserve(src.size());
    size_t i = 0;
    while (i < src.size()) {
        const auto b = static_cast<unsigned char>(src[i]);
        uint32_t c = 0xFFFD;
        size_t need = 0;
        if (b < 0x80) { c = b; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; need = 1; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; need = 2; }
        else if ((b & 0xF8) == 0xF0) { c = b & 0x07; need = 3; }
        ++i;
        bool ok = need > 0 || b < 0x80;
        for (size_t k = 0; k < need; ++k, ++i) {
            if (i >= src.size() || (static_cast<unsigned char>(src[i]) & 0xC0) != 0x80) { ok = false; break; }
            c = (c << 6) | (static_cast<unsigned char>(src[i]) & 0x3F);
        }
        if (!ok) c = 0xFFFD;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u16string AnsiToU16(const char* src, size_t len) {
    if (!src || len == 0) return {};
    const int n = AnsiToWide(src, static_cast<int>(len), nullptr, 0);
    std::u16string out(static_cast<size_t>(n > 0 ? n : 0), u'\0');
    if (n > 0) AnsiToWide(src, static_cast<int>(len), reinterpret_cast<WCHAR*>(out.data()), n);
    return out;
}

std::string U16ToAnsi(const std::u16string& src) {
    if (src.empty()) return {};
    const auto* w = reinterpret_cast<const WCHAR*>(src.data());
    const int n = WideToAnsi(w, static_cast<int>(src.size()), nullptr, 0);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideToAnsi(w, static_cast<int>(src.size()), out.data(), n);
    return out;
}

}  // namespace zu::platform

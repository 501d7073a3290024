// Naming and recognising the metadata side file.
#include "kernel/meta_side_file.h"

#include <cstring>

#include "kernel/byte_order.h"
#include "kernel/riff_file_edit.h"
#include "platform/platform.h"
#include "zuinstr/zuinstr_render.h"

namespace zu {
namespace {

constexpr WCHAR kSideExtension[] = {'.', 'z', 'u', 'l', 0};
constexpr size_t kSideExtensionLength = 4;
constexpr uint32_t kMaxStoredName = 259;  // bytes of the "ZUPI" name that are compared

bool IsSeparator(WCHAR c) { return c == '\\' || c == '/'; }

// Lower case for the letters that the common ANSI code pages can produce
// (Latin-1, Latin Extended-A, Greek, Cyrillic); the platform layer has no
// case mapping of its own, and side-file names come through an ANSI page.
char16_t FoldCase(char16_t c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char16_t>(c + 32);
    if (c < 0xC0) return c;
    if (c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    if (c == 0x178) return 0xFF;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return static_cast<char16_t>(c | 1u);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1u) ? static_cast<char16_t>(c + 1) : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    return c;
}

size_t NameStart(const WCHAR* path, size_t len) {
    size_t start = 0;
    for (size_t i = 0; i < len; ++i)
        if (IsSeparator(path[i])) start = i + 1;
    return start;
}

// Length of the path without the extension of its file name (if any).
size_t StemLength(const WCHAR* path, size_t len) {
    const size_t start = NameStart(path, len);
    for (size_t i = len; i > start; --i)
        if (path[i - 1] == '.') return i - 1;
    return len;
}

}  // namespace

std::basic_string<WCHAR> MediaFileName(const WCHAR* path) {
    const size_t len = platform::WideLength(path);
    return std::basic_string<WCHAR>(path + NameStart(path, len), path + len);
}

bool FileNamesEqual(const WCHAR* a, size_t aLen, const WCHAR* b, size_t bLen) {
    if (aLen != bLen) return false;
    for (size_t i = 0; i < aLen; ++i)
        if (FoldCase(static_cast<char16_t>(a[i])) != FoldCase(static_cast<char16_t>(b[i]))) return false;
    return true;
}

}  // namespace zu

using namespace zu;

ZU_EXPORT_C HRESULT ZuFMMeta_CreateMetaName(const WCHAR* mediaPath, WCHAR* out, ULONG capacity, BOOL append) {
    if (!mediaPath || !out || capacity == 0) return E_INVALIDARG;
    const size_t limit = capacity < kMetaNameLimit ? capacity : kMetaNameLimit;
    // The extension and the terminator must fit whole.
    if (limit < kSideExtensionLength + 1) {
        out[0] = 0;
        return E_INVALIDARG;
    }
    const size_t len = platform::WideLength(mediaPath);
    size_t keep = append ? len : StemLength(mediaPath, len);
    // An over-long path loses its end, never the side extension.
    if (keep > limit - 1 - kSideExtensionLength) {
        keep = limit - 1 - kSideExtensionLength;
        // Never keep half of a surrogate pair.
        if (keep > 0 && mediaPath[keep - 1] >= 0xD800 && mediaPath[keep - 1] <= 0xDBFF) --keep;
    }
    std::memmove(out, mediaPath, keep * sizeof(WCHAR));
    std::memcpy(out + keep, kSideExtension, sizeof kSideExtension);
    return S_OK;
}

ZU_EXPORT_C BOOL ZuFMMeta_IsMetaFile(const WCHAR* mediaPath, const WCHAR* sidePath) {
    if (!mediaPath || !sidePath) return FALSE;
    try {
        ScopedFile file(platform::FileOpen(sidePath, platform::FileAccess::Read, platform::FileShare::ReadWrite,
                                           platform::FileDisposition::OpenExisting, false, nullptr));
        if (!file) return FALSE;
        RiffChunkSpan span;
        if (FAILED(riff_FindTopLevelChunk(file.Get(), FourCC("ZUPI"), false, &span))) return FALSE;
        char stored[kMaxStoredName] = {};
        const uint32_t want = span.size < kMaxStoredName ? span.size : kMaxStoredName;
        uint32_t got = 0;
        if (!platform::FileSetPosition(file.Get(), span.offset + 8) ||
            !platform::FileRead(file.Get(), stored, want, &got) || got != want)
            return FALSE;
        const size_t storedLen = strnlen(stored, got);
        const std::u16string name = platform::AnsiToU16(stored, storedLen);
        const std::basic_string<WCHAR> media = MediaFileName(mediaPath);
        return FileNamesEqual(reinterpret_cast<const WCHAR*>(name.data()), name.size(), media.data(), media.size())
                   ? TRUE
                   : FALSE;
    } catch (...) {
        return FALSE;
    }
}

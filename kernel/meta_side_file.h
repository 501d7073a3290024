// The metadata side file beside a media file: its name ("<media>.zul", or
// the media name with its extension replaced for the older spelling) and the
// test whether a side file belongs to a given media file.
#ifndef ZU_KERNEL_META_SIDE_FILE_H
#define ZU_KERNEL_META_SIDE_FILE_H

#include <cstddef>
#include <string>

#include "zuinstr/zuinstr_types.h"

namespace zu {

// Side names are at most this many characters, terminator included.
constexpr size_t kMetaNameLimit = 260;

// The media file's name without its folder ('\' and '/' both separate).
std::basic_string<WCHAR> MediaFileName(const WCHAR* path);

// Equality of two names, ignoring case as the platform's file names do.
bool FileNamesEqual(const WCHAR* a, size_t aLen, const WCHAR* b, size_t bLen);

}  // namespace zu

#endif

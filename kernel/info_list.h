// The "INFO" list as the metadata writer puts it into a RIFF file: "LIST",
// size, "INFO", then per item its FourCC, size n and the text in the system
// ANSI code page with its terminating zero (n bytes), padded to even length.
#ifndef ZU_KERNEL_INFO_LIST_H
#define ZU_KERNEL_INFO_LIST_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "zuinstr/zuinstr_types.h"

namespace zu {

class InfoListBuilder {
public:
    InfoListBuilder();
    // Appends one item; text (len units, no terminator needed) is UTF-16.
    // E_OUTOFMEMORY, or 0x8004E03A when the list would outgrow a RIFF size.
    HRESULT Add(uint32_t fourCC, const WCHAR* text, size_t len);
    size_t ItemCount() const { return items_; }
    // The whole list, its size field up to date.
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
    size_t items_ = 0;
};

// The "ZUPI" chunk of a side file: the name in the system ANSI code page
// with its terminating zero, padded to even length.
std::string BuildNameChunk(const WCHAR* name, size_t len);

}  // namespace zu

#endif

// Building the "INFO" list and the side file's name chunk.
#include "kernel/info_list.h"

#include <new>

#include "kernel/byte_order.h"
#include "kernel/riff_file_edit.h"
#include "platform/platform.h"
#include "zuinstr/zuinstr_guids.h"

namespace zu {
namespace {

void PutU32(std::string& out, uint32_t v) {
    char b[4];
    StoreLE32(b, v);
    out.append(b, 4);
}

// The text as ANSI bytes followed by its zero; a text that converts to
// nothing gives the zero alone.
std::string AnsiWithZero(const WCHAR* text, size_t len) {
    std::string ansi = len ? platform::U16ToAnsi(std::u16string(reinterpret_cast<const char16_t*>(text), len))
                           : std::string();
    ansi.push_back('\0');
    return ansi;
}

void AppendChunk(std::string& out, uint32_t id, const std::string& data) {
    PutU32(out, id);
    PutU32(out, static_cast<uint32_t>(data.size()));
    out += data;
    if (data.size() & 1u) out.push_back('\0');
}

}  // namespace

InfoListBuilder::InfoListBuilder() {
    PutU32(bytes_, FourCC("LIST"));
    PutU32(bytes_, 4);
    PutU32(bytes_, FourCC("INFO"));
}

HRESULT InfoListBuilder::Add(uint32_t fourCC, const WCHAR* text, size_t len) {
    // The code-page conversion counts in int.
    if (len > 0x7FFFFFF0u) return ZU_E_TOO_LARGE;
    try {
        const std::string ansi = AnsiWithZero(text, len);
        const uint64_t grown = static_cast<uint64_t>(bytes_.size()) + 8 + ansi.size() + (ansi.size() & 1u);
        if (grown >= kRiffSizeLimit) return ZU_E_TOO_LARGE;
        bytes_.reserve(static_cast<size_t>(grown));  // the only step that can fail
        AppendChunk(bytes_, fourCC, ansi);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    StoreLE32(&bytes_[4], static_cast<uint32_t>(bytes_.size() - 8));
    ++items_;
    return S_OK;
}

std::string BuildNameChunk(const WCHAR* name, size_t len) {
    std::string chunk;
    AppendChunk(chunk, FourCC("ZUPI"), AnsiWithZero(name, len));
    return chunk;
}

}  // namespace zu

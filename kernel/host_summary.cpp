// Summary items out of a host's metadata streams.
#include "kernel/host_summary.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "kernel/byte_order.h"
#include "plugin/com_object.h"
#include "zuinstr/zuinstr_guids.h"
#include "zuinstr/zuinstr_meta.h"

namespace zu {
namespace {

// A host enumeration that never ends is cut off here.
constexpr int kMaxGenericStreams = 1024;
constexpr ULONG kTextBlock = 8192;  // even, so only the last block can split a code unit

// The byte count decides: a read that delivered less than asked fails
// whatever its code says, one that delivered everything counts.
bool ReadExact(IStream* stream, void* buffer, ULONG count) {
    if (count == 0) return true;
    ULONG got = 0;
    stream->Read(buffer, count, &got);
    return got == count;
}

bool Rewind(IStream* stream) { return SUCCEEDED(stream->Seek(0, ZU_STREAM_SEEK_SET, nullptr)); }

// One SummaryItem: the 12-byte head, then its text bytes, read in blocks so
// that memory follows what the stream really delivers, not what it claims.
HRESULT ReadItem(IStream* stream, const SummarySink& sink) {
    uint8_t head[sizeof(SummaryItem)];
    if (!ReadExact(stream, head, sizeof head)) return ZU_E_FILE_READ;
    const uint32_t fourCC = LoadLE32(head + offsetof(SummaryItem, fourCC));
    uint32_t left = LoadLE32(head + offsetof(SummaryItem, textBytes));
    // Zero text bytes: not even a terminator, so the item has no text.
    const bool hasText = left != 0;
    std::u16string text;
    bool ended = false;
    uint8_t block[kTextBlock];
    while (left) {
        const ULONG n = left < kTextBlock ? left : kTextBlock;
        if (!ReadExact(stream, block, n)) return ZU_E_FILE_READ;
        for (ULONG i = 0; i + 1 < n && !ended; i += 2) {
            const char16_t unit = LoadLE16(block + i);
            if (unit == 0) ended = true;
            else text.push_back(unit);
        }
        left -= n;
    }
    if (!hasText) return S_OK;
    return sink(fourCC, reinterpret_cast<const WCHAR*>(text.data()), text.size());
}

// The first GUID_SUMMARYLIST stream of the generic enumeration.
HRESULT ReadGenericSummary(IUnknown* metadata, const SummarySink& sink, bool* found) {
    ComPtr<IZuReadGenericMeta> generic;
    if (FAILED(metadata->QueryInterface(IID_IZuReadGenericMeta, reinterpret_cast<void**>(generic.Put()))) || !generic)
        return S_OK;
    if (FAILED(generic->Reset())) return S_OK;
    for (int i = 0; i < kMaxGenericStreams; ++i) {
        ComPtr<IStream> stream;
        // S_FALSE ends the enumeration; a failure ends it as well.
        if (generic->Next(stream.Put()) != S_OK || !stream) return S_OK;
        uint8_t head[sizeof(GenericStreamHeader)];
        if (!Rewind(stream.Get()) || !ReadExact(stream.Get(), head, sizeof head)) continue;
        GUID kind;
        std::memcpy(&kind, head + offsetof(GenericStreamHeader, kind), sizeof kind);
        if (!ZuGuidEqual(kind, GUID_SUMMARYLIST)) continue;
        *found = true;
        const uint32_t count = LoadLE32(head + offsetof(GenericStreamHeader, itemCount));
        for (uint32_t r = 0; r < count; ++r) {
            uint8_t record[sizeof(MetaRecordHeader)];
            if (!ReadExact(stream.Get(), record, sizeof record)) return ZU_E_FILE_READ;
            ZU_RETURN_IF_FAILED(ReadItem(stream.Get(), sink));
        }
        return S_OK;
    }
    return S_OK;
}

// The object's summary stream, rewound to its start; null when it has none.
ComPtr<IStream> SummaryStreamOf(IUnknown* metadata) {
    ComPtr<IZuReadMeta> meta;
    if (FAILED(metadata->QueryInterface(IID_IZuReadMeta, reinterpret_cast<void**>(meta.Put()))) || !meta) return {};
    ComPtr<IStream> stream;
    if (FAILED(meta->GetSummaryStream(stream.Put())) || !stream) return {};
    return stream;
}

}  // namespace

uint32_t CountHostSummaryItems(IUnknown* metadata) {
    if (!metadata) return 0;
    ComPtr<IStream> stream = SummaryStreamOf(metadata);
    uint8_t head[sizeof(SummaryStreamHeader)];
    if (!stream || !Rewind(stream.Get()) || !ReadExact(stream.Get(), head, sizeof head)) return 0;
    return LoadLE32(head + offsetof(SummaryStreamHeader, itemCount));
}

HRESULT ReadHostSummary(IUnknown* metadata, const SummarySink& sink, bool* found) {
    *found = false;
    if (!metadata) return S_OK;
    ZU_RETURN_IF_FAILED(ReadGenericSummary(metadata, sink, found));
    if (*found) return S_OK;

    ComPtr<IStream> stream = SummaryStreamOf(metadata);
    if (!stream) return S_OK;
    *found = true;
    uint8_t head[sizeof(SummaryStreamHeader)];
    if (!Rewind(stream.Get()) || !ReadExact(stream.Get(), head, sizeof head)) return ZU_E_FILE_READ;
    const uint32_t count = LoadLE32(head + offsetof(SummaryStreamHeader, itemCount));
    for (uint32_t i = 0; i < count; ++i) ZU_RETURN_IF_FAILED(ReadItem(stream.Get(), sink));
    return S_OK;
}

}  // namespace zu

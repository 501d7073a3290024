// The forward cursor shared by the read-only metadata streams: a stream
// header, then the bytes of each record of a list of record pointers, emitted
// straight from the list's storage. The results it gives are the ones hosts
// rely on: S_OK when the data asked for was delivered, E_FAIL when a read ran
// past the end of the last record, E_INVALIDARG when nothing was there.
#ifndef ZU_META_RECORD_CURSOR_H
#define ZU_META_RECORD_CURSOR_H

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "zuinstr/zuinstr_list.h"
#include "zuinstr/zuinstr_meta.h"

namespace zu {

// A stream without a list, or a relative seek past its last record.
constexpr HRESULT kMetaStreamOutOfRange = static_cast<HRESULT>(0x800A0026L);

struct RecordCursor {
    int32_t index = -1;   // -1 while in the stream header
    uint32_t offset = 0;  // within the header or the current record
    const uint8_t* current = nullptr;
    uint32_t currentBytes = 0;
};

// True for a list whose slots can hold a record pointer.
inline bool IsRecordList(const tZULIST* list) {
    return list && list->signature == ZULIST_SIGNATURE && list->itemSize >= sizeof(void*) && list->count >= 0;
}

inline int32_t RecordCount(const tZULIST* list) { return IsRecordList(list) ? list->count : 0; }

// The record pointer in slot i; null outside the list.
inline const uint8_t* RecordAt(const tZULIST* list, int32_t i) {
    if (!IsRecordList(list) || i < 0 || i >= list->count || !list->items) return nullptr;
    const void* record = nullptr;
    std::memcpy(&record, static_cast<const uint8_t*>(list->items) + static_cast<size_t>(i) * list->itemSize,
                sizeof record);
    return static_cast<const uint8_t*>(record);
}

// Moves the cursor over up to `count` bytes, copying them to `out` (or
// skipping them when `out` is null). `header` holds the stream header as it is
// emitted. `fetch(record, &bytes, &byteCount)` makes a record current; it
// answers a failure when the record is the one just finished, which moves the
// cursor to the next slot. `done` receives the bytes moved over.
template <typename Fetch>
HRESULT MoveThroughRecords(const tZULIST* list, const uint8_t* header, uint32_t headerSize, RecordCursor& c,
                           uint8_t* out, uint32_t count, uint32_t* done, Fetch&& fetch) {
    HRESULT hr = E_INVALIDARG;
    uint32_t moved = 0;
    while (moved < count) {
        if (c.index < 0) {
            if (c.offset < headerSize) {
                const uint32_t n = std::min(headerSize - c.offset, count - moved);
                if (out) std::memcpy(out + moved, header + c.offset, n);
                c.offset += n;
                moved += n;
                hr = S_OK;
                continue;
            }
            c.index = 0;
            c.offset = 0;
            c.current = nullptr;
            c.currentBytes = 0;
            if (const uint8_t* first = RecordAt(list, 0)) {
                const HRESULT got = fetch(first, &c.current, &c.currentBytes);
                if (FAILED(got)) {
                    hr = got;
                    break;
                }
                hr = S_OK;
            }
            continue;
        }
        if (c.index >= RecordCount(list)) break;
        if (c.offset < c.currentBytes && c.current) {
            const uint32_t n = std::min(c.currentBytes - c.offset, count - moved);
            if (out) std::memcpy(out + moved, c.current + c.offset, n);
            c.offset += n;
            moved += n;
            hr = S_OK;
            continue;
        }
        const uint8_t* record = RecordAt(list, c.index);
        if (!record) {
            // A null slot has no bytes; stepping over it keeps the loop moving.
            ++c.index;
            c.current = nullptr;
            c.currentBytes = 0;
            c.offset = 0;
            continue;
        }
        const uint8_t* bytes = nullptr;
        uint32_t byteCount = 0;
        const HRESULT got = fetch(record, &bytes, &byteCount);
        if (FAILED(got)) {
            ++c.index;
            hr = got;
        } else {
            c.current = bytes;
            c.currentBytes = byteCount;
            c.offset = 0;
            hr = S_OK;
        }
    }
    *done = moved;
    return hr;
}

// Read as every record stream answers it: the header `serialise` writes
// (its item count taken from the list while the cursor is still in the
// header), then the records; E_INVALIDARG for no buffer or a count of 0,
// 0x800A0026 without a list.
template <size_t HeaderSize, typename Serialise, typename Fetch>
HRESULT ReadRecordStream(const tZULIST* list, RecordCursor& c, uint32_t& itemCount, Serialise&& serialise,
                         void* buffer, ULONG count, ULONG* read, Fetch&& fetch) {
    if (!buffer) return E_INVALIDARG;
    if (!list) return kMetaStreamOutOfRange;
    if (count == 0) {
        if (read) *read = 0;
        return E_INVALIDARG;
    }
    if (c.index < 0) itemCount = static_cast<uint32_t>(RecordCount(list));
    uint8_t header[HeaderSize];
    serialise(header);
    uint32_t done = 0;
    const HRESULT hr = MoveThroughRecords(list, header, HeaderSize, c, static_cast<uint8_t*>(buffer), count, &done, fetch);
    if (read) *read = done;
    return hr;
}

// Seek as every record stream answers it, reporting the record index (0 while
// in the header), not a byte offset. `forget()` drops the record last handed
// out when the cursor restarts or ends.
template <size_t HeaderSize, typename Forget, typename Fetch>
HRESULT SeekRecordStream(const tZULIST* list, RecordCursor& c, uint32_t& itemCount, int64_t move, DWORD origin,
                         uint64_t* newPosition, Forget&& forget, Fetch&& fetch) {
    if (!list) return kMetaStreamOutOfRange;
    switch (origin) {
        case ZU_STREAM_SEEK_SET:
            c = RecordCursor{};
            forget();
            break;
        case ZU_STREAM_SEEK_CUR: {
            // Only the low 32 bits count. In the header the skip counts header
            // bytes too, so that a relative seek always equals reading as many
            // bytes.
            const uint32_t distance = static_cast<uint32_t>(static_cast<uint64_t>(move));
            if (c.index < 0) itemCount = static_cast<uint32_t>(RecordCount(list));
            const uint8_t header[HeaderSize] = {};  // skipped, never copied
            uint32_t skipped = 0;
            MoveThroughRecords(list, header, HeaderSize, c, nullptr, distance, &skipped, fetch);
            if (skipped < distance) return kMetaStreamOutOfRange;
            break;
        }
        case ZU_STREAM_SEEK_END:
            c = RecordCursor{};
            c.index = RecordCount(list);
            forget();
            break;
        default:
            break;
    }
    if (newPosition) *newPosition = c.index < 0 ? 0u : static_cast<uint64_t>(c.index);
    return S_OK;
}

}  // namespace zu

#endif

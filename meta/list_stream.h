// Read-only IStreams that serialise a list of byte records on the fly: a
// 12-byte stream header (12, 100, record count), then the bytes each record
// contributes, in list order. The list is not copied and not owned; it must
// outlive every read. The cursor is shared by everybody holding the stream,
// so each reader starts with Seek (0, STREAM_SEEK_SET).
#ifndef ZU_META_LIST_STREAM_H
#define ZU_META_LIST_STREAM_H

#include <cstdint>

#include "meta/record_cursor.h"
#include "meta/stream_base.h"
#include "zuinstr/zuinstr_list.h"
#include "zuinstr/zuinstr_meta.h"

namespace zu {

// Only QueryInterface, AddRef, Release, Read and Seek do anything; every other
// IStream operation answers E_NOTIMPL. Seek reports the record index (0 while
// in the header), not a byte offset.
class CZuListStream : public CZuReadOnlyStream {
public:
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    HRESULT ZU_STDCALL Read(void* buffer, ULONG count, ULONG* read) override;
    HRESULT ZU_STDCALL Seek(int64_t move, DWORD origin, uint64_t* newPosition) override;

    // The bytes `item` contributes. A null item forgets the record last handed
    // out. Asked again for the record just handed out, it answers E_FAIL: that
    // record is finished and the cursor moves to the next slot.
    virtual HRESULT GetItemBytes(const void* item, const uint8_t** bytes, uint32_t* count) = 0;

protected:
    explicit CZuListStream(tZULIST* list);

private:
    auto ItemBytes() {
        return [this](const uint8_t* item, const uint8_t** bytes, uint32_t* n) { return GetItemBytes(item, bytes, n); };
    }

    tZULIST* list_;
    RecordCursor cursor_;
    SummaryStreamHeader header_;
};

// The stream over a list of SummaryItem blocks (12-byte head, then the text):
// each contributes its head and its text bytes.
class CZuSummaryStream final : public CZuListStream {
public:
    // For the allocator; use CreateSummaryStream.
    explicit CZuSummaryStream(tZULIST* items) : CZuListStream(items) {}

    HRESULT GetItemBytes(const void* item, const uint8_t** bytes, uint32_t* count) override;

private:
    const void* lastItem_ = nullptr;
};

// A summary stream over `items` (null gives a stream whose reads and seeks
// answer 0x800A0026), handed out with one reference. E_INVALIDARG for a null
// out pointer or a list whose slots cannot hold pointers; E_OUTOFMEMORY.
HRESULT CreateSummaryStream(tZULIST* items, IStream** out);
// The same, holding a reference on the lists' owner for the stream's life, so
// a host may read the stream after the lists' metadata object is gone.
HRESULT CreateSummaryStream(tZULIST* items, IUnknown* keepAlive, IStream** out);

}  // namespace zu

#endif

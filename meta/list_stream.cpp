#include "meta/list_stream.h"

#include "kernel/byte_order.h"
#include "plugin/allocator.h"
#include "zuinstr/zuinstr_guids.h"

namespace zu {

CZuListStream::CZuListStream(tZULIST* list) : list_(list) {
    header_.headerSize = sizeof(SummaryStreamHeader);
    header_.formatCode = ZU_META_FORMAT_CODE;
    header_.itemCount = 0;
}

HRESULT CZuListStream::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (ZuGuidEqual(iid, IID_ZuIUnknown) || ZuGuidEqual(iid, IID_ZuIStream)) {
        AddRef();
        *out = static_cast<IStream*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CZuListStream::AddRef() { return ++refs_; }

ULONG CZuListStream::Release() {
    const ULONG left = --refs_;
    // The stream is the first base of every derived stream, so `this` is the
    // block the allocator handed out; the virtual destructor runs the rest.
    if (left == 0) ZuDelete(this);
    return left;
}

HRESULT CZuListStream::Read(void* buffer, ULONG count, ULONG* read) {
    if (!buffer) return E_INVALIDARG;
    if (!list_) return kMetaStreamOutOfRange;
    if (count == 0) {
        if (read) *read = 0;
        return E_INVALIDARG;
    }
    if (cursor_.index < 0) header_.itemCount = static_cast<uint32_t>(RecordCount(list_));
    uint8_t header[sizeof(SummaryStreamHeader)];
    StoreLE32(header, header_.headerSize);
    StoreLE32(header + 4, header_.formatCode);
    StoreLE32(header + 8, header_.itemCount);
    uint32_t done = 0;
    const HRESULT hr = MoveThroughRecords(
        list_, header, sizeof header, cursor_, static_cast<uint8_t*>(buffer), count, &done,
        [this](const uint8_t* item, const uint8_t** bytes, uint32_t* n) { return GetItemBytes(item, bytes, n); });
    if (read) *read = done;
    return hr;
}

HRESULT CZuListStream::Seek(int64_t move, DWORD origin, uint64_t* newPosition) {
    if (!list_) return kMetaStreamOutOfRange;
    const uint8_t* unusedBytes = nullptr;
    uint32_t unusedCount = 0;
    switch (origin) {
        case ZU_STREAM_SEEK_SET:
            cursor_ = RecordCursor{};
            GetItemBytes(nullptr, &unusedBytes, &unusedCount);
            break;
        case ZU_STREAM_SEEK_CUR: {
            // Only the low 32 bits count. In the header the skip counts header
            // bytes too, so that a relative seek always equals reading as many
            // bytes.
            const uint32_t distance = static_cast<uint32_t>(static_cast<uint64_t>(move));
            if (cursor_.index < 0) header_.itemCount = static_cast<uint32_t>(RecordCount(list_));
            uint8_t header[sizeof(SummaryStreamHeader)] = {};
            uint32_t skipped = 0;
            MoveThroughRecords(
                list_, header, sizeof header, cursor_, nullptr, distance, &skipped,
                [this](const uint8_t* item, const uint8_t** bytes, uint32_t* n) { return GetItemBytes(item, bytes, n); });
            if (skipped < distance) return kMetaStreamOutOfRange;
            break;
        }
        case ZU_STREAM_SEEK_END:
            cursor_ = RecordCursor{};
            cursor_.index = RecordCount(list_);
            GetItemBytes(nullptr, &unusedBytes, &unusedCount);
            break;
        default:
            break;
    }
    if (newPosition) *newPosition = cursor_.index < 0 ? 0u : static_cast<uint64_t>(cursor_.index);
    return S_OK;
}

HRESULT CZuListStream::Write(const void*, ULONG, ULONG*) { return E_NOTIMPL; }
HRESULT CZuListStream::SetSize(uint64_t) { return E_NOTIMPL; }
HRESULT CZuListStream::CopyTo(IStream*, uint64_t, uint64_t*, uint64_t*) { return E_NOTIMPL; }
HRESULT CZuListStream::Commit(DWORD) { return E_NOTIMPL; }
HRESULT CZuListStream::Revert() { return E_NOTIMPL; }
HRESULT CZuListStream::LockRegion(uint64_t, uint64_t, DWORD) { return E_NOTIMPL; }
HRESULT CZuListStream::UnlockRegion(uint64_t, uint64_t, DWORD) { return E_NOTIMPL; }
HRESULT CZuListStream::Stat(void*, DWORD) { return E_NOTIMPL; }
HRESULT CZuListStream::Clone(IStream**) { return E_NOTIMPL; }

HRESULT CZuSummaryStream::GetItemBytes(const void* item, const uint8_t** bytes, uint32_t* count) {
    if (!item) {
        lastItem_ = nullptr;
        return S_OK;
    }
    if (item == lastItem_) return E_FAIL;
    lastItem_ = item;
    const auto* head = static_cast<const uint8_t*>(item);
    // Item blocks come from the module's own builders: the head's sizes
    // describe the block.
    *bytes = head;
    *count = LoadLE32(head) + LoadLE32(head + 8);
    return S_OK;
}

CZuListStream::~CZuListStream() {
    if (keepAlive_) keepAlive_->Release();
}

void CZuListStream::KeepAlive(IUnknown* owner) {
    if (owner) owner->AddRef();
    if (keepAlive_) keepAlive_->Release();
    keepAlive_ = owner;
}

HRESULT CreateSummaryStream(tZULIST* items, IUnknown* keepAlive, IStream** out) {
    const HRESULT hr = CreateSummaryStream(items, out);
    if (SUCCEEDED(hr)) static_cast<CZuListStream*>(*out)->KeepAlive(keepAlive);
    return hr;
}

HRESULT CreateSummaryStream(tZULIST* items, IStream** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (items && !IsRecordList(items)) return E_INVALIDARG;
    CZuSummaryStream* stream = ZuNew<CZuSummaryStream>(items);
    if (!stream) return E_OUTOFMEMORY;
    stream->AddRef();
    *out = stream;
    return S_OK;
}

}  // namespace zu

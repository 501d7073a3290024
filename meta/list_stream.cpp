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

HRESULT CZuListStream::Read(void* buffer, ULONG count, ULONG* read) {
    auto serialise = [this](uint8_t* out) {
        StoreLE32(out, header_.headerSize);
        StoreLE32(out + 4, header_.formatCode);
        StoreLE32(out + 8, header_.itemCount);
    };
    return ReadRecordStream<sizeof(SummaryStreamHeader)>(list_, cursor_, header_.itemCount, serialise, buffer, count, read,
                                                         ItemBytes());
}

HRESULT CZuListStream::Seek(int64_t move, DWORD origin, uint64_t* newPosition) {
    auto forget = [this] {
        const uint8_t* unusedBytes = nullptr;
        uint32_t unusedCount = 0;
        GetItemBytes(nullptr, &unusedBytes, &unusedCount);
    };
    return SeekRecordStream<sizeof(SummaryStreamHeader)>(list_, cursor_, header_.itemCount, move, origin, newPosition,
                                                         forget, ItemBytes());
}


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

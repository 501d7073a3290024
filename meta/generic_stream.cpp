#include "meta/generic_stream.h"

#include <cstddef>
#include <cstring>

#include "kernel/byte_order.h"
#include "plugin/allocator.h"
#include "zuinstr/zuinstr_guids.h"

namespace zu {

CZuGenericStreamBase::CZuGenericStreamBase(const GUID& kind) {
    header_.headerSize = sizeof(GenericStreamHeader);
    header_.formatCode = ZU_META_FORMAT_CODE;
    header_.itemCount = 0;
    header_.kind = kind;
}

HRESULT CZuGenericStreamBase::QueryInterface(const IID& iid, void** out) {
    if (!ZuGuidEqual(iid, IID_ZuIUnknown) && !ZuGuidEqual(iid, IID_ZuIStream)) return E_NOINTERFACE;
    // Never written through a null pointer, even for an identifier it serves.
    if (!out) return E_POINTER;
    AddRef();
    *out = static_cast<IStream*>(this);
    return S_OK;
}

HRESULT CZuGenericStreamBase::Read(void*, ULONG, ULONG*) { return E_NOTIMPL; }
HRESULT CZuGenericStreamBase::Seek(int64_t, DWORD, uint64_t*) { return E_NOTIMPL; }

HRESULT CZuGenericStream::Fetch(const uint8_t* record, const uint8_t** bytes, uint32_t* count) {
    if (record == lastItem_) return E_FAIL;
    lastItem_ = record;
    *bytes = record;
    // Header size + data size; records come from the module's own builders.
    *count = LoadLE32(record) + LoadLE32(record + offsetof(MetaRecordHeader, dataSize));
    return S_OK;
}

void CZuGenericStream::SerialiseHeader(uint8_t* out) const {
    StoreLE32(out, header_.headerSize);
    StoreLE32(out + 4, header_.formatCode);
    StoreLE32(out + 8, header_.itemCount);
    StoreLE32(out + 12, header_.kind.Data1);
    StoreLE16(out + 16, header_.kind.Data2);
    StoreLE16(out + 18, header_.kind.Data3);
    std::memcpy(out + 20, header_.kind.Data4, sizeof header_.kind.Data4);
}

HRESULT CZuGenericStream::Read(void* buffer, ULONG count, ULONG* read) {
    return ReadRecordStream<sizeof(GenericStreamHeader)>(
        list_, cursor_, header_.itemCount, [this](uint8_t* out) { SerialiseHeader(out); }, buffer, count, read,
        [this](const uint8_t* record, const uint8_t** bytes, uint32_t* n) { return Fetch(record, bytes, n); });
}

HRESULT CZuGenericStream::Seek(int64_t move, DWORD origin, uint64_t* newPosition) {
    return SeekRecordStream<sizeof(GenericStreamHeader)>(
        list_, cursor_, header_.itemCount, move, origin, newPosition, [this] { lastItem_ = nullptr; },
        [this](const uint8_t* record, const uint8_t** bytes, uint32_t* n) { return Fetch(record, bytes, n); });
}

HRESULT CreateGenericStream(tZULIST* records, const GUID& kind, IUnknown* keepAlive, IStream** out) {
    const HRESULT hr = ZuMetaStream_CreateGeneric(records, kind, out);
    if (SUCCEEDED(hr)) static_cast<CZuGenericStreamBase*>(*out)->KeepAlive(keepAlive);
    return hr;
}

}  // namespace zu

ZU_EXPORT_C HRESULT ZuMetaStream_CreateGeneric(tZULIST* records, const GUID& kind, IStream** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!zu::IsRecordList(records)) return E_INVALIDARG;
    zu::CZuGenericStream* stream = zu::ZuNew<zu::CZuGenericStream>(records, kind);
    if (!stream) return E_OUTOFMEMORY;
    stream->AddRef();  // the caller's reference
    *out = stream;
    return S_OK;
}

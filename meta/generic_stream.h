// The generic metadata stream: a read-only IStream over a list of whole
// metadata records (MetaRecordHeader followed by its data), introduced by a
// 28-byte header that names the records' kind (28, 100, record count, kind).
// The list is not copied and not owned; it must outlive every read.
#ifndef ZU_META_GENERIC_STREAM_H
#define ZU_META_GENERIC_STREAM_H

#include <cstdint>

#include "meta/record_cursor.h"
#include "meta/stream_base.h"
#include "zuinstr/zuinstr_list.h"
#include "zuinstr/zuinstr_meta.h"

namespace zu {

// The generic stream header; Read and Seek answer E_NOTIMPL here and are the
// derived stream's own.
class CZuGenericStreamBase : public CZuReadOnlyStream {
public:
    // IUnknown and IStream give the stream; any other identifier answers
    // E_NOINTERFACE and leaves `out` as it was.
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    HRESULT ZU_STDCALL Read(void* buffer, ULONG count, ULONG* read) override;
    HRESULT ZU_STDCALL Seek(int64_t move, DWORD origin, uint64_t* newPosition) override;

protected:
    explicit CZuGenericStreamBase(const GUID& kind);

    GenericStreamHeader header_;
};

class CZuGenericStream final : public CZuGenericStreamBase {
public:
    // For the allocator; use ZuMetaStream_CreateGeneric. Starts with count 0.
    CZuGenericStream(tZULIST* records, const GUID& kind) : CZuGenericStreamBase(kind), list_(records) {}

    // The same results as the summary stream's: S_OK when all was delivered,
    // E_FAIL past the last record, E_INVALIDARG for no buffer, a count of 0 or
    // nothing left, 0x800A0026 without a list.
    HRESULT ZU_STDCALL Read(void* buffer, ULONG count, ULONG* read) override;
    // Reports the record index (0 while in the header), not a byte offset.
    HRESULT ZU_STDCALL Seek(int64_t move, DWORD origin, uint64_t* newPosition) override;

private:
    // Makes `record` current unless it is the record just finished.
    HRESULT Fetch(const uint8_t* record, const uint8_t** bytes, uint32_t* count);
    void SerialiseHeader(uint8_t* out) const;

    const uint8_t* lastItem_ = nullptr;
    tZULIST* list_;
    RecordCursor cursor_;
};

// ZuMetaStream_CreateGeneric holding a reference on the lists' owner.
HRESULT CreateGenericStream(tZULIST* records, const GUID& kind, IUnknown* keepAlive, IStream** out);

}  // namespace zu

#endif

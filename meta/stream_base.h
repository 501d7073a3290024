// What the module's read-only metadata streams have in common: the reference
// count, the owner they keep alive, and the IStream operations they do not
// serve (Write, SetSize, CopyTo, Commit, Revert, the region locks, Stat and
// Clone answer E_NOTIMPL).
#ifndef ZU_META_STREAM_BASE_H
#define ZU_META_STREAM_BASE_H

#include <atomic>

#include "zuinstr/zuinstr_meta.h"

namespace zu {

class CZuReadOnlyStream : public IStream {
public:
    ULONG ZU_STDCALL AddRef() override;
    ULONG ZU_STDCALL Release() override;
    HRESULT ZU_STDCALL Write(const void* buffer, ULONG count, ULONG* written) override;
    HRESULT ZU_STDCALL SetSize(uint64_t size) override;
    HRESULT ZU_STDCALL CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) override;
    HRESULT ZU_STDCALL Commit(DWORD flags) override;
    HRESULT ZU_STDCALL Revert() override;
    HRESULT ZU_STDCALL LockRegion(uint64_t offset, uint64_t count, DWORD type) override;
    HRESULT ZU_STDCALL UnlockRegion(uint64_t offset, uint64_t count, DWORD type) override;
    HRESULT ZU_STDCALL Stat(void* statstg, DWORD flags) override;
    HRESULT ZU_STDCALL Clone(IStream** out) override;

    virtual ~CZuReadOnlyStream();
    // Keeps the owner of the stream's list alive as long as the stream lives.
    void KeepAlive(IUnknown* owner);
    ULONG RefCount() const { return refs_.load(); }

private:
    std::atomic<ULONG> refs_{0};
    IUnknown* keepAlive_ = nullptr;
};

}  // namespace zu

#endif

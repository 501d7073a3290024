#include "meta/stream_base.h"

#include "plugin/allocator.h"

namespace zu {

ULONG CZuReadOnlyStream::AddRef() { return ++refs_; }

ULONG CZuReadOnlyStream::Release() {
    const ULONG left = --refs_;
    // This is the first base of every stream, so `this` is the block the
    // allocator handed out; the virtual destructor runs the rest.
    if (left == 0) ZuDelete(this);
    return left;
}

CZuReadOnlyStream::~CZuReadOnlyStream() {
    if (keepAlive_) keepAlive_->Release();
}

void CZuReadOnlyStream::KeepAlive(IUnknown* owner) {
    if (owner) owner->AddRef();
    if (keepAlive_) keepAlive_->Release();
    keepAlive_ = owner;
}

HRESULT CZuReadOnlyStream::Write(const void*, ULONG, ULONG*) { return E_NOTIMPL; }
HRESULT CZuReadOnlyStream::SetSize(uint64_t) { return E_NOTIMPL; }
HRESULT CZuReadOnlyStream::CopyTo(IStream*, uint64_t, uint64_t*, uint64_t*) { return E_NOTIMPL; }
HRESULT CZuReadOnlyStream::Commit(DWORD) { return E_NOTIMPL; }
HRESULT CZuReadOnlyStream::Revert() { return E_NOTIMPL; }
HRESULT CZuReadOnlyStream::LockRegion(uint64_t, uint64_t, DWORD) { return E_NOTIMPL; }
HRESULT CZuReadOnlyStream::UnlockRegion(uint64_t, uint64_t, DWORD) { return E_NOTIMPL; }
HRESULT CZuReadOnlyStream::Stat(void*, DWORD) { return E_NOTIMPL; }
HRESULT CZuReadOnlyStream::Clone(IStream**) { return E_NOTIMPL; }

}  // namespace zu

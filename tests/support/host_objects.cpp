#include "support/host_objects.h"

#include <algorithm>
#include <cstring>

namespace zu::test {

HRESULT MemoryAudioStream::QueryInterface(const IID& iid, void** out) {
    if (ZuGuidEqual(iid, IID_IZuReadAudioStream) || ZuGuidEqual(iid, IID_IZuReadStream) || ZuGuidEqual(iid, IID_ZuIUnknown)) {
        AddRef();
        *out = static_cast<IZuReadAudioStream*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG MemoryAudioStream::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT MemoryAudioStream::GetDuration(uint64_t* d) {
    *d = 0;
    return S_OK;
}

HRESULT MemoryAudioStream::GetFrameCount(uint64_t* frames) {
    *frames = format_.nBlockAlign ? bytes_.size() / format_.nBlockAlign : 0;
    return S_OK;
}

HRESULT MemoryAudioStream::GetBlockAlign(ULONG* align) {
    *align = format_.nBlockAlign;
    return S_OK;
}

HRESULT MemoryAudioStream::GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) {
    uint64_t frames = 0;
    GetFrameCount(&frames);
    return ZuFio_SetStreamFormatInfo(record, &format_, nullptr, frames);
}

HRESULT MemoryAudioStream::ReadToToken(uint64_t start, const _zumemorytoken* token, ULONG frames, ULONG* read) {
    uint64_t total = 0;
    GetFrameCount(&total);
    total = std::min(total, cutAt_);
    *read = 0;
    if (start >= total) return S_FALSE;
    const uint64_t n = std::min<uint64_t>({frames, total - start, token->size / format_.nBlockAlign});
    std::memcpy(reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(token->baseAddress)) + token->offset,
                bytes_.data() + start * format_.nBlockAlign, static_cast<size_t>(n) * format_.nBlockAlign);
    *read = static_cast<ULONG>(n);
    return S_OK;
}

ResizedMeta::ResizedMeta(IZuReadMeta* inner, std::vector<uint64_t> frames) : meta_(inner), frames_(std::move(frames)) {
    meta_->AddRef();
    meta_->QueryInterface(IID_IZuReadGenericMeta, reinterpret_cast<void**>(&generic_));
    meta_->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&inst_));
}

ResizedMeta::~ResizedMeta() {
    if (generic_) generic_->Release();
    if (inst_) inst_->Release();
    meta_->Release();
}

HRESULT ResizedMeta::QueryInterface(const IID& iid, void** out) {
    void* self = nullptr;
    if (ZuGuidEqual(iid, IID_IZuReadMeta) || ZuGuidEqual(iid, IID_ZuIUnknown)) self = static_cast<IZuReadMeta*>(this);
    else if (ZuGuidEqual(iid, IID_IZuReadGenericMeta)) self = static_cast<IZuReadGenericMeta*>(this);
    else if (ZuGuidEqual(iid, IID_IZuReadInstrumentMeta)) self = static_cast<IZuReadInstrumentMeta*>(this);
    if (!self) return E_NOINTERFACE;
    AddRef();
    *out = self;
    return S_OK;
}

ULONG ResizedMeta::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT ResizedMeta::GetWaveInfo(ULONG w, InstrumentWaveInfo* x) {
    const HRESULT hr = inst_->GetWaveInfo(w, x);
    if (w < frames_.size()) {
        x->frameCount = frames_[w];
        uint64_t first = 0;
        for (ULONG k = 0; k < w && k < frames_.size(); ++k) first += frames_[k];
        x->firstFrame = first;
    }
    return hr;
}

}  // namespace zu::test

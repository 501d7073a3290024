#include "host_audio_stream.h"

namespace zutool {

HRESULT HostAudioStream::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (ZuGuidEqual(iid, IID_IZuReadAudioStream) || ZuGuidEqual(iid, IID_IZuReadStream) || ZuGuidEqual(iid, IID_ZuIUnknown)) {
        AddRef();
        *out = static_cast<IZuReadAudioStream*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG HostAudioStream::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT HostAudioStream::ReservedStreamWord(ULONG* v) {
    if (v) *v = 0;
    return S_OK;
}

HRESULT HostAudioStream::GetStreamIds(ULONG* type, ULONG* subType, ULONG* index) {
    if (type) *type = ZU_STREAM_TYPE_AUDIO;
    if (subType) *subType = 0;
    if (index) *index = 0;
    return S_OK;
}

HRESULT HostAudioStream::GetDuration(uint64_t* d) {
    if (!d) return E_POINTER;
    *d = format_.nSamplesPerSec ? static_cast<uint64_t>(static_cast<double>(frames_) / format_.nSamplesPerSec * 1e7) : 0;
    return S_OK;
}

HRESULT HostAudioStream::ReservedStreamTime(uint64_t* v) {
    if (v) *v = 0;
    return S_OK;
}

HRESULT HostAudioStream::GetFrameCount(uint64_t* frames) {
    if (!frames) return E_POINTER;
    *frames = frames_;
    return S_OK;
}

HRESULT HostAudioStream::GetBlockAlign(ULONG* align) {
    if (!align) return E_POINTER;
    *align = format_.nBlockAlign;
    return S_OK;
}

HRESULT HostAudioStream::GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) {
    if (!record || !fill_) return E_FAIL;
    return fill_(record, &format_, nullptr, frames_);
}

}  // namespace zutool

// The tool's own audio streams, handed to the module's render classes as a
// host hands its audio: everything but the reading itself is the same for a
// WAV file and for WAV files joined end to end.
#ifndef ZUINSTR_TOOL_HOST_AUDIO_STREAM_H
#define ZUINSTR_TOOL_HOST_AUDIO_STREAM_H

#include <atomic>
#include <cstdint>

#include "zuinstr/zuinstr.h"

namespace zutool {

class HostAudioStream : public IZuReadAudioStream {
public:
    virtual ~HostAudioStream() = default;
    const WAVEFORMATEX& format() const { return format_; }
    uint64_t frames() const { return frames_; }

    // The module's record filler, for GetFormatInfo (the stream is the tool's, the record layout the module's).
    using SetStreamFormatInfoFn = HRESULT (*)(_ZUFILESTREAMFORMATINFOv2*, const WAVEFORMATEX*, const void*, uint64_t);
    void UseRecordFiller(SetStreamFormatInfoFn fn) { fill_ = fn; }

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return ++refs_; }
    ULONG ZU_STDCALL Release() override;
    HRESULT ZU_STDCALL GetFileClass(IZuReadFileClass**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL GetReadFile(IZuReadFile**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ReservedStreamWord(ULONG* v) override;
    HRESULT ZU_STDCALL GetStreamIds(ULONG* type, ULONG* subType, ULONG* index) override;
    HRESULT ZU_STDCALL GetDuration(uint64_t* d) override;
    HRESULT ZU_STDCALL ReservedStreamTime(uint64_t* v) override;
    HRESULT ZU_STDCALL SetOwnerThread(ULONG) override { return S_OK; }
    HRESULT ZU_STDCALL WaitForIdle() override { return S_OK; }
    HRESULT ZU_STDCALL GetFrameCount(uint64_t* frames) override;
    HRESULT ZU_STDCALL GetBlockAlign(ULONG* align) override;
    HRESULT ZU_STDCALL GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) override;
    HRESULT ZU_STDCALL GetNativeFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) override { return GetFormatInfo(record); }
    HRESULT ZU_STDCALL SetOutputFormat(_ZUFILESTREAMFORMATINFOv2*) override { return S_FALSE; }
    HRESULT ZU_STDCALL BeginDirectAccess(uint64_t*, uint64_t*, void**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL EndDirectAccess() override { return S_OK; }

protected:
    WAVEFORMATEX format_ = {};
    uint64_t frames_ = 0;

private:
    std::atomic<ULONG> refs_{1};
    SetStreamFormatInfoFn fill_ = nullptr;
};

}  // namespace zutool

#endif

// Host-side objects for render tests: an audio stream that delivers what the
// test gives it (a copy of another stream's audio, edited), and a metadata
// object that passes another one's answers on with other wave lengths.
#ifndef ZU_TESTS_HOST_OBJECTS_H
#define ZU_TESTS_HOST_OBJECTS_H

#include <atomic>
#include <string>
#include <vector>

#include "zuinstr/zuinstr.h"

namespace zu::test {

// An audio stream over bytes in memory, in one WAVEFORMATEX.
class MemoryAudioStream final : public IZuReadAudioStream {
public:
    MemoryAudioStream(const WAVEFORMATEX& format, std::string bytes) : format_(format), bytes_(std::move(bytes)) {}
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return ++refs_; }
    ULONG ZU_STDCALL Release() override;
    HRESULT ZU_STDCALL GetFileClass(IZuReadFileClass**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL GetReadFile(IZuReadFile**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ReservedStreamWord(ULONG* v) override { return v ? (*v = 0, S_OK) : S_OK; }
    HRESULT ZU_STDCALL GetStreamIds(ULONG*, ULONG*, ULONG*) override { return S_OK; }
    HRESULT ZU_STDCALL GetDuration(uint64_t* d) override;
    HRESULT ZU_STDCALL ReservedStreamTime(uint64_t* v) override { return v ? (*v = 0, S_OK) : S_OK; }
    HRESULT ZU_STDCALL SetOwnerThread(ULONG) override { return S_OK; }
    HRESULT ZU_STDCALL WaitForIdle() override { return S_OK; }
    HRESULT ZU_STDCALL GetFrameCount(uint64_t* frames) override;
    HRESULT ZU_STDCALL GetBlockAlign(ULONG* align) override;
    HRESULT ZU_STDCALL GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) override;
    HRESULT ZU_STDCALL GetNativeFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) override { return GetFormatInfo(record); }
    HRESULT ZU_STDCALL SetOutputFormat(_ZUFILESTREAMFORMATINFOv2*) override { return S_FALSE; }
    HRESULT ZU_STDCALL ReadToToken(uint64_t start, const _zumemorytoken* token, ULONG frames, ULONG* read) override;
    HRESULT ZU_STDCALL BeginDirectAccess(uint64_t*, uint64_t*, void**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL EndDirectAccess() override { return S_OK; }
    // Reads at or after this frame deliver nothing (a source that runs short).
    void CutAt(uint64_t frame) { cutAt_ = frame; }

private:
    std::atomic<ULONG> refs_{1};
    WAVEFORMATEX format_;
    std::string bytes_;
    uint64_t cutAt_ = ~0ull;
};

// Passes a metadata object on, but reports the waves' frame counts (and the
// first frames that follow from them) of the test's choosing.
class ResizedMeta final : public IZuReadMeta, public IZuReadGenericMeta, public IZuReadInstrumentMeta {
public:
    ResizedMeta(IZuReadMeta* inner, std::vector<uint64_t> frames);
    ~ResizedMeta();
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return ++refs_; }
    ULONG ZU_STDCALL Release() override;
    HRESULT ZU_STDCALL GetMarkerStream(IStream** out) override { return meta_->GetMarkerStream(out); }
    HRESULT ZU_STDCALL GetCommandStream(IStream** out) override { return meta_->GetCommandStream(out); }
    HRESULT ZU_STDCALL GetReservedStream(IStream** out) override { return meta_->GetReservedStream(out); }
    HRESULT ZU_STDCALL GetSummaryText(uint32_t f, WCHAR* b, int32_t c) override { return meta_->GetSummaryText(f, b, c); }
    HRESULT ZU_STDCALL GetSummaryStream(IStream** out) override { return meta_->GetSummaryStream(out); }
    HRESULT ZU_STDCALL Reset() override { return generic_->Reset(); }
    HRESULT ZU_STDCALL Next(IStream** out) override { return generic_->Next(out); }
    HRESULT ZU_STDCALL GetSourcePath(WCHAR* b, ULONG c) override { return inst_->GetSourcePath(b, c); }
    HRESULT ZU_STDCALL GetInstrumentCount(ULONG* c) override { return inst_->GetInstrumentCount(c); }
    HRESULT ZU_STDCALL GetInstrumentInfo(ULONG i, InstrumentInfo* x) override { return inst_->GetInstrumentInfo(i, x); }
    HRESULT ZU_STDCALL GetRegionInfo(ULONG i, ULONG r, RegionInfo* x) override { return inst_->GetRegionInfo(i, r, x); }
    HRESULT ZU_STDCALL GetRegionWaveLink(ULONG i, ULONG r, ULONG l, RegionWaveLink* x) override { return inst_->GetRegionWaveLink(i, r, l, x); }
    HRESULT ZU_STDCALL GetWaveCount(ULONG* c) override { return inst_->GetWaveCount(c); }
    HRESULT ZU_STDCALL GetWaveInfo(ULONG w, InstrumentWaveInfo* x) override;
    HRESULT ZU_STDCALL GetInstrumentImageSize(ULONG* s) override { return inst_->GetInstrumentImageSize(s); }
    HRESULT ZU_STDCALL GetInstrumentImage(void* b) override { return inst_->GetInstrumentImage(b); }

private:
    std::atomic<ULONG> refs_{1};
    IZuReadMeta* meta_;
    IZuReadGenericMeta* generic_ = nullptr;
    IZuReadInstrumentMeta* inst_ = nullptr;
    std::vector<uint64_t> frames_;
};

}  // namespace zu::test

#endif

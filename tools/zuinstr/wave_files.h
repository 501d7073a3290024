// Wave-by-wave editing: each wave of an instrument as its own WAV file, and
// the host objects that put edited files back: one audio stream joining the
// files end to end, and a metadata object reporting their new lengths.
#ifndef ZUINSTR_TOOL_WAVE_FILES_H
#define ZUINSTR_TOOL_WAVE_FILES_H

#include <string>
#include <vector>

#include "module_loader.h"
#include "wav_audio_stream.h"

namespace zutool {

class ProgressBar;
class WavWriter;

// A file name for a wave that every file system accepts: "007-Name.wav".
std::string WaveFileName(uint32_t index, const std::string& name);

// Copies a stream's frames into a WAV writer of the same format; *done counts
// the frames written. Returns the first read or write failure.
HRESULT CopyStreamToWav(IZuReadAudioStream* stream, const WAVEFORMATEX& format, uint64_t frames, WavWriter& writer,
                        ProgressBar& progress, uint64_t progressBase, uint64_t* done);

// Every WAV file of a folder joined end to end as one audio stream in 32-bit
// float with the most channels any of them has; each file's samples are
// converted by the module's own sample copy.
class JoinedAudioStream final : public HostAudioStream {
public:
    // Takes ownership of the streams (one reference each).
    JoinedAudioStream(const Module& module, std::vector<WavAudioStream*> parts);
    ~JoinedAudioStream() override;
    HRESULT ZU_STDCALL ReadToToken(uint64_t start, const _zumemorytoken* token, ULONG frames, ULONG* read) override;

private:
    using MuteFn = HRESULT (*)(void*, ZUSAMPLETYPE, uint32_t, uint32_t, size_t);
    std::vector<WavAudioStream*> parts_;
    std::vector<uint64_t> firstFrames_;
    std::vector<ZUCHANNELCOPYFUNC> copies_;  // one per part, into the joined format
    MuteFn mute_ = nullptr;
    std::vector<uint8_t> raw_;
};

// The source's metadata object with the waves' lengths (and so their first
// frames) of the edited files; everything else is passed on.
class ResizedMetadata final : public IZuReadMeta, public IZuReadGenericMeta, public IZuReadInstrumentMeta {
public:
    ResizedMetadata(IZuReadMeta* source, std::vector<uint64_t> frames);
    ~ResizedMetadata();
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return ++refs_; }
    ULONG ZU_STDCALL Release() override;
    HRESULT ZU_STDCALL GetMarkerStream(IStream** out) override { return meta_->GetMarkerStream(out); }
    HRESULT ZU_STDCALL GetCommandStream(IStream** out) override { return meta_->GetCommandStream(out); }
    HRESULT ZU_STDCALL GetReservedStream(IStream** out) override { return meta_->GetReservedStream(out); }
    HRESULT ZU_STDCALL GetSummaryText(uint32_t f, WCHAR* b, int32_t c) override { return meta_->GetSummaryText(f, b, c); }
    HRESULT ZU_STDCALL GetSummaryStream(IStream** out) override { return meta_->GetSummaryStream(out); }
    HRESULT ZU_STDCALL Reset() override { return generic_ ? generic_->Reset() : E_NOTIMPL; }
    HRESULT ZU_STDCALL Next(IStream** out) override { return generic_ ? generic_->Next(out) : S_FALSE; }
    HRESULT ZU_STDCALL GetSourcePath(WCHAR* b, ULONG c) override { return inst_->GetSourcePath(b, c); }
    HRESULT ZU_STDCALL GetInstrumentCount(ULONG* c) override { return inst_->GetInstrumentCount(c); }
    HRESULT ZU_STDCALL GetInstrumentInfo(ULONG i, InstrumentInfo* x) override { return inst_->GetInstrumentInfo(i, x); }
    HRESULT ZU_STDCALL GetRegionInfo(ULONG i, ULONG r, RegionInfo* x) override { return inst_->GetRegionInfo(i, r, x); }
    HRESULT ZU_STDCALL GetRegionWaveLink(ULONG i, ULONG r, ULONG l, RegionWaveLink* x) override {
        return inst_->GetRegionWaveLink(i, r, l, x);
    }
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
    std::vector<uint64_t> firstFrames_;
};

}  // namespace zutool

#endif

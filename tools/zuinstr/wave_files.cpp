#include "wave_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "progress_bar.h"
#include "wav_writer.h"

namespace zutool {

std::string WaveFileName(uint32_t index, const std::string& name) {
    std::string safe;
    for (unsigned char c : name) {
        // Letters, digits and a few marks only: nothing a file system reserves.
        if (std::isalnum(c) || c == '-' || c == '_' || c == ' ' || c == '#' || c == '+') safe += static_cast<char>(c);
        else safe += '_';
        if (safe.size() >= 48) break;
    }
    while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.')) safe.pop_back();
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%03u", index);
    return std::string(prefix) + (safe.empty() ? "" : "-" + safe) + ".wav";
}

HRESULT CopyStreamToWav(IZuReadAudioStream* stream, const WAVEFORMATEX& format, uint64_t frames, WavWriter& writer,
                        ProgressBar& progress, uint64_t progressBase, uint64_t* done) {
    const ULONG block = 4096;
    std::vector<uint8_t> buffer(static_cast<size_t>(block) * format.nBlockAlign);
    *done = 0;
    while (*done < frames) {
        _zumemorytoken token{};
        token.baseAddress = reinterpret_cast<uintptr_t>(buffer.data());
        token.size = static_cast<uint32_t>(buffer.size());
        token.kind = ZU_MEMORY_TOKEN_PROCESS;
        ULONG got = 0;
        const HRESULT hr = stream->ReadToToken(*done, &token, block, &got);
        if (FAILED(hr)) return hr;
        if (got == 0) break;
        if (!writer.Write(buffer.data(), static_cast<size_t>(got) * format.nBlockAlign)) return static_cast<HRESULT>(0x8004E009L);
        *done += got;
        progress.Update(progressBase + *done);
    }
    return S_OK;
}

JoinedAudioStream::JoinedAudioStream(const Module& module, std::vector<WavAudioStream*> parts)
    : parts_(std::move(parts)) {
    UseRecordFiller(reinterpret_cast<SetStreamFormatInfoFn>(module.Symbol("ZuFio_SetStreamFormatInfo")));
    uint16_t channels = 1;
    uint32_t rate = 0;
    for (WavAudioStream* p : parts_) {
        firstFrames_.push_back(frames_);
        frames_ += p->frames();
        channels = std::max(channels, p->format().nChannels);
        if (!rate) rate = p->format().nSamplesPerSec;
    }
    // 32-bit float holds every 8-, 16- and 24-bit sample exactly.
    format_.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format_.nChannels = channels;
    format_.nSamplesPerSec = rate;
    format_.wBitsPerSample = 32;
    format_.nBlockAlign = static_cast<uint16_t>(channels * 4);
    format_.nAvgBytesPerSec = rate * format_.nBlockAlign;
    // The module's sample copy converts each file's samples into the joined
    // format; the routines are looked up once, not on every read.
    using InitFn = HRESULT (*)(_zuwaveformat*, uint32_t, const WAVEFORMATEX*);
    using CopyFn = ZUCHANNELCOPYFUNC (*)(const WAVEFORMATEX*, const _zuwaveformat*);
    auto init = reinterpret_cast<InitFn>(module.Symbol("ZuAudio_InitWaveFormat"));
    auto getCopy = reinterpret_cast<CopyFn>(module.Symbol("ZuAudio_GetCopyChannelsFunction"));
    mute_ = reinterpret_cast<MuteFn>(module.Symbol("ZuAudio_MuteChannel"));
    for (WavAudioStream* p : parts_) {
        _zuwaveformatmax record{};
        const bool ok = init && getCopy && SUCCEEDED(init(&record.format, sizeof record, &p->format()));
        copies_.push_back(ok ? getCopy(&format_, &record.format) : nullptr);
    }
}

JoinedAudioStream::~JoinedAudioStream() {
    for (WavAudioStream* p : parts_) p->Release();
}

HRESULT JoinedAudioStream::ReadToToken(uint64_t start, const _zumemorytoken* token, ULONG frames, ULONG* read) {
    if (read) *read = 0;
    if (!token || !token->baseAddress) return E_INVALIDARG;
    if (start >= frames_) return S_FALSE;
    // The part holding the start frame; a read ends at that part's end.
    size_t part = static_cast<size_t>(std::upper_bound(firstFrames_.begin(), firstFrames_.end(), start) - firstFrames_.begin()) - 1;
    while (part < parts_.size() && parts_[part]->frames() == 0) ++part;
    if (part >= parts_.size()) return S_FALSE;
    WavAudioStream* p = parts_[part];
    const uint64_t into = start - firstFrames_[part];
    const uint64_t n = std::min<uint64_t>({frames, p->frames() - into, token->size / format_.nBlockAlign});
    const uint32_t partAlign = p->format().nBlockAlign;
    raw_.resize(static_cast<size_t>(n) * partAlign);
    _zumemorytoken local{};
    local.baseAddress = reinterpret_cast<uintptr_t>(raw_.data());
    local.size = static_cast<uint32_t>(raw_.size());
    ULONG got = 0;
    HRESULT hr = p->ReadToToken(into, &local, static_cast<ULONG>(n), &got);
    if (FAILED(hr)) return hr;
    const ZUCHANNELCOPYFUNC copy = copies_[part];
    if (!copy || !mute_) return E_FAIL;
    auto* out = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(token->baseAddress)) + token->offset;
    copy(out, format_.nChannels, 0, raw_.data(), p->format().nChannels, 0, got);
    for (uint32_t ch = p->format().nChannels; ch < format_.nChannels; ++ch) mute_(out, 32, format_.nChannels, ch, got);
    if (read) *read = got;
    return S_OK;
}

ResizedMetadata::ResizedMetadata(IZuReadMeta* source, std::vector<uint64_t> frames) : meta_(source), frames_(std::move(frames)) {
    // The render asks for every wave, often more than once: first frames are summed once.
    uint64_t first = 0;
    for (uint64_t f : frames_) {
        firstFrames_.push_back(first);
        first += f;
    }
    meta_->AddRef();
    meta_->QueryInterface(IID_IZuReadGenericMeta, reinterpret_cast<void**>(&generic_));
    meta_->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&inst_));
}

ResizedMetadata::~ResizedMetadata() {
    if (generic_) generic_->Release();
    if (inst_) inst_->Release();
    meta_->Release();
}

HRESULT ResizedMetadata::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    void* self = nullptr;
    if (ZuGuidEqual(iid, IID_IZuReadMeta) || ZuGuidEqual(iid, IID_ZuIUnknown)) self = static_cast<IZuReadMeta*>(this);
    else if (ZuGuidEqual(iid, IID_IZuReadGenericMeta) && generic_) self = static_cast<IZuReadGenericMeta*>(this);
    else if (ZuGuidEqual(iid, IID_IZuReadInstrumentMeta) && inst_) self = static_cast<IZuReadInstrumentMeta*>(this);
    if (!self) return E_NOINTERFACE;
    AddRef();
    *out = self;
    return S_OK;
}

ULONG ResizedMetadata::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT ResizedMetadata::GetWaveInfo(ULONG w, InstrumentWaveInfo* info) {
    const HRESULT hr = inst_->GetWaveInfo(w, info);
    if (info && w < frames_.size()) {
        info->frameCount = frames_[w];
        info->firstFrame = firstFrames_[w];
    }
    return hr;
}

}  // namespace zutool

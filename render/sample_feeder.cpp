#include "render/sample_feeder.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace zu {

bool SampleFeeder::Open(IZuReadAudioStream* stream) {
    stream_ = stream;
    if (!stream) return false;
    stream->GetFrameCount(&frames_);
    _ZUFILESTREAMFORMATINFOv2 record{};
    record.cbSize = ZUFIO_STREAMFORMATINFO_SIZE;
    formatResult_ = stream->GetFormatInfo(&record);
    std::memcpy(&sourceRecord_, &record.format, ZUFIO_STREAMFORMAT_ROOM);
    ZuAudio_WaveFormatToWfx(&record.format, &sourceWfx_);
    return true;
}

uint64_t SampleFeeder::FeedWave(uint64_t firstFrame, uint64_t frames, const WAVEFORMATEX& wave,
                                const std::function<bool(const void*, uint32_t)>& write,
                                const std::function<void(uint32_t)>& progress, bool* shortSource) {
    const uint32_t sourceAlign = sourceWfx_.nBlockAlign;
    const uint32_t waveAlign = wave.nBlockAlign;
    if (sourceAlign == 0 || waveAlign == 0 || frames == 0) {
        if (frames && shortSource) *shortSource = true;
        return 0;
    }
    // Converted whenever the representation differs, not only when the block
    // alignments differ: 16-bit stereo and 32-bit mono have equal blocks.
    const bool convert = ZuAudio_GetSampleType(&wave) != ZuAudio_GetSampleType(&sourceWfx_) ||
                         wave.nChannels != sourceWfx_.nChannels || waveAlign != sourceAlign;
    ZUCHANNELCOPYFUNC copy = convert ? ZuAudio_GetCopyChannelsFunction(&wave, &sourceRecord_.format) : nullptr;
    const ZUSAMPLETYPE waveType = ZuAudio_GetSampleType(&wave);
    // Blocks of 1,024 frames of whatever width the formats have.
    source_.resize(static_cast<size_t>(kBlockFrames) * sourceAlign);
    converted_.resize(static_cast<size_t>(kBlockFrames) * waveAlign);
    uint64_t done = 0;
    while (done < frames) {
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(frames - done, kBlockFrames));
        _zumemorytoken token{};
        token.baseAddress = reinterpret_cast<uintptr_t>(source_.data());
        token.size = static_cast<uint32_t>(source_.size());
        token.kind = ZU_MEMORY_TOKEN_PROCESS;
        token.ownerProcessId = platform::CurrentProcessId();
        ULONG got = 0;
        const HRESULT hr = stream_->ReadToToken(firstFrame + done, &token, want, &got);
        if (FAILED(hr) || got == 0) break;
        got = std::min<ULONG>(got, want);
        const uint32_t bytes = got * waveAlign;
        bool ok;
        if (!convert) {
            ok = write(source_.data(), bytes);
        } else {
            if (copy) {
                copy(converted_.data(), wave.nChannels, 0, source_.data(), sourceWfx_.nChannels, 0, got);
                for (uint32_t ch = sourceWfx_.nChannels; ch < wave.nChannels; ++ch)
                    ZuAudio_MuteChannel(converted_.data(), waveType, wave.nChannels, ch, got);
            } else {
                std::memset(converted_.data(), 0, bytes);  // no conversion into this format: silence, not garbage
            }
            ok = write(converted_.data(), bytes);
        }
        done += got;
        if (progress) progress(bytes);
        if (!ok) break;
    }
    if (done < frames && shortSource) *shortSource = true;
    return done;
}

bool WriteSilence(const std::function<bool(const void*, uint32_t)>& write, uint64_t points) {
    static const uint8_t zeros[92] = {};
    bool ok = true;
    while (points > 0) {
        const uint32_t run = static_cast<uint32_t>(std::min<uint64_t>(points, 46));
        ok = write(zeros, run * 2) && ok;
        points -= run;
    }
    return ok;
}

}  // namespace zu

// The exported sample-copy entry points: routine choice by sample type and
// channel muting.
#include "kernel/sample_copy.h"

#include <cstring>

ZU_EXPORT_C ZUSAMPLECOPYFUNC ZuAudio_GetCopyFunction(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType) {
    if (ZUSAMPLECOPYFUNC vector = zu::audio::GetVectorCopyFunction(dstType, srcType)) return vector;
    return zu::audio::GetScalarCopyFunction(dstType, srcType);
}

ZU_EXPORT_C ZUCHANNELCOPYFUNC ZuAudio_GetCopyChannelsFunction(const WAVEFORMATEX* dst, const _zuwaveformat* src) {
    if (!dst || !src) return nullptr;
    return zu::audio::GetChannelCopyFunction(ZuAudio_GetSampleType(dst), src->sampleType);
}

ZU_EXPORT_C HRESULT ZuAudio_MuteChannel(void* buffer, ZUSAMPLETYPE type, uint32_t channels, uint32_t channel,
                                        size_t frames) {
    if (type < ZUSAMPLE_U8 || type > ZUSAMPLE_S32BE) return E_FAIL;
    const size_t bytes = ZuAudio_BytesFromSampleType(type);
    if (bytes == 0) return E_FAIL;
    if (channel >= channels) return E_INVALIDARG;
    if (frames == 0) return S_OK;
    if (!buffer) return E_POINTER;
    const int silence = type == ZUSAMPLE_U8 ? 128 : 0;
    auto* p = static_cast<uint8_t*>(buffer) + channel * bytes;
    const size_t stride = channels * bytes;
    for (size_t f = 0; f < frames; ++f, p += stride) std::memset(p, silence, bytes);
    return S_OK;
}

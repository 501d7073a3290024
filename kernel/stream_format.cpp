// Filling the stream format record from a stream's format, extension and length.
#include "kernel/stream_format.h"

#include <cstring>

static_assert(sizeof(_ZUFILESTREAMFORMATINFOv2::audioExtension) == zu::audio::kAudioExtensionSize,
              "the record holds one audio extension");

ZU_EXPORT_C HRESULT ZuFio_SetStreamFormatInfo(_ZUFILESTREAMFORMATINFOv2* record, const WAVEFORMATEX* wfx,
                                              const void* audioExtension, uint64_t length) {
    if (!record) return E_POINTER;
    constexpr size_t kKept = offsetof(_ZUFILESTREAMFORMATINFOv2, reserved0);
    std::memset(reinterpret_cast<uint8_t*>(record) + kKept, 0, sizeof(*record) - kKept);
    // A caller that knows a larger record keeps its size; what lies beyond 184 bytes is its own.
    if (record->cbSize < ZUFIO_STREAMFORMATINFO_SIZE) record->cbSize = ZUFIO_STREAMFORMATINFO_SIZE;
    record->streamType = ZUFIO_STREAM_AUDIO;
    record->length = length;
    HRESULT hr = S_OK;
    if (wfx) hr = record->format.Init(ZUFIO_STREAMFORMAT_ROOM, wfx);
    if (audioExtension) std::memcpy(record->audioExtension, audioExtension, zu::audio::kAudioExtensionSize);
    return hr;
}

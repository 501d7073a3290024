// Asking a stream for its format record, as the read file does for the host.
#include <cstring>

#include "zuinstr/zuinstr.h"
#include "zuinstr/zuinstr_audio.h"

ZU_EXPORT_C HRESULT ZuFio_FillStreamFormatInfo(IUnknown* stream, ULONG streamType, _ZUFILESTREAMFORMATINFOv2* record) {
    if (!record) return E_POINTER;
    // A caller may state a larger record; a size beyond any record's is taken
    // as garbage and the record as the plain 184 bytes.
    const uint32_t stated = record->cbSize;
    const size_t size = (stated > ZUFIO_STREAMFORMATINFO_SIZE && stated <= 4096) ? stated : ZUFIO_STREAMFORMATINFO_SIZE;
    std::memset(record, 0, size);
    record->cbSize = static_cast<uint32_t>(size);
    record->streamType = streamType;
    if (streamType == ZUFIO_STREAM_NOFORMAT) return S_OK;
    if (streamType == ZUFIO_STREAM_VIDEO) return E_NOINTERFACE;  // the module has no video streams
    if (streamType != ZUFIO_STREAM_AUDIO) return E_INVALIDARG;
    if (!stream) return E_POINTER;
    IZuReadAudioStream* audio = nullptr;
    HRESULT hr = stream->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(&audio));
    if (FAILED(hr) || !audio) return FAILED(hr) ? hr : E_NOINTERFACE;
    hr = audio->GetFormatInfo(record);
    audio->Release();
    return hr;
}

#include "render/render_file.h"

#include <cstring>
#include <memory>

#include "instrument/riff_instrument.h"
#include "kernel/render_template.h"
#include "render/instrument_writer.h"
#include "render/render_file_class.h"
#include "render/render_preflight.h"

namespace zu {
namespace {

struct InstrumentDelete {
    void operator()(CRiffInstrument* instrument) const { ZuDelete(instrument); }
};

// The wave format of a template's audio part that counts, with room for its extra bytes.
_zuwaveformatmax AudioFormatOf(const tagZUTEMPLATExV2* tmpl) {
    _zuwaveformatmax format{};
    std::memcpy(&format, TemplateAudioFormat(tmpl), sizeof tmpl->audioFormat);
    return format;
}

}  // namespace

CDlsRenderFile::CDlsRenderFile(CDlsRenderFileClass* renderClass, tagZUTEMPLATExV2* renderTemplate)
    : renderClass_(renderClass), renderTemplate_(renderTemplate) {
    // Held, so that a host releasing the class first cannot leave this file
    // with a dangling class (the file's kind and GetRenderFileClass need it).
    if (renderClass_) renderClass_->AddRef();
}

CDlsRenderFile::~CDlsRenderFile() {
    if (audioSource_) audioSource_->Release();
    if (metadataSource_) metadataSource_->Release();
    ZuFio_FreeTemplate(renderTemplate_);
    if (renderClass_) renderClass_->Release();
}

InstrumentKind CDlsRenderFile::kind() const { return renderClass_ ? renderClass_->kind() : kInstrumentDls; }

HRESULT CDlsRenderFile::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!ZuGuidEqual(iid, IID_IZuRenderFile) && !ZuGuidEqual(iid, IID_ZuIUnknown)) return E_NOINTERFACE;
    *out = static_cast<IZuRenderFile*>(this);
    AddRef();
    return S_OK;
}

HRESULT CDlsRenderFile::GetRenderFileClass(IZuRenderFileClass** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!renderClass_) return E_NOTIMPL;
    return renderClass_->QueryInterface(IID_IZuRenderFileClass, reinterpret_cast<void**>(out));
}

HRESULT CDlsRenderFile::SetFileName(const WCHAR* path) {
    if (!path) return S_OK;
    size_t i = 0;
    for (; i + 1 < kRenderFileNameChars && path[i]; ++i) fileName_[i] = path[i];
    fileName_[i] = 0;
    return S_OK;
}

HRESULT CDlsRenderFile::GetFileName(WCHAR* buffer, ULONG capacity) {
    if (!buffer || capacity < 1) return S_OK;
    size_t i = 0;
    for (; i + 1 < capacity && fileName_[i]; ++i) buffer[i] = fileName_[i];
    buffer[i] = 0;
    return S_OK;
}

HRESULT CDlsRenderFile::GetStreamCount(ULONG* count) {
    if (!count) return E_POINTER;
    *count = renderTemplate_ ? renderTemplate_->audioStreamCount : 0;
    return S_OK;
}

HRESULT CDlsRenderFile::AddSource(IUnknown* audioSource) {
    if (audioSource_) return E_OUTOFMEMORY;
    if (!audioSource) return E_POINTER;
    void* stream = nullptr;
    const HRESULT hr = audioSource->QueryInterface(IID_IZuReadAudioStream, &stream);
    if (FAILED(hr)) return hr;
    if (!stream) return E_NOINTERFACE;
    static_cast<IZuReadAudioStream*>(stream)->Release();
    audioSource->AddRef();
    audioSource_ = audioSource;
    return hr;
}

HRESULT CDlsRenderFile::SetMetadataSource(IUnknown* metadata) {
    if (metadata) metadata->AddRef();
    if (metadataSource_) metadataSource_->Release();
    metadataSource_ = metadata;
    return S_OK;
}

HRESULT CDlsRenderFile::GetTemplate(tagZUTEMPLATExV2** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!renderTemplate_ || renderTemplate_->cbSize == 0) return E_UNEXPECTED;
    const HRESULT hr = ZuFio_SetTemplate(out, renderTemplate_, ZUTEMPLATE_SET_COPY);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CDlsRenderFile::EstimateFileSize(uint64_t* bytes) {
    duration_ = 0;
    frameCount_ = 0;
    if (!renderTemplate_ || renderTemplate_->audioStreamCount == 0) return E_FAIL;
    if (!audioSource_) return E_UNEXPECTED;
    const _zuwaveformatmax format = AudioFormatOf(renderTemplate_);

    ComPtr<IZuReadAudioStream> stream;
    HRESULT hr = audioSource_->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(stream.Put()));
    if (FAILED(hr)) return hr;
    if (!stream) return E_NOINTERFACE;
    uint64_t length = 0;
    if (SUCCEEDED(stream->GetDuration(&length))) duration_ = static_cast<int64_t>(length);
    uint64_t frames = 0;
    const HRESULT framesResult = stream->GetFrameCount(&frames);
    if (SUCCEEDED(framesResult)) frameCount_ = frames;
    if (duration_ == 0) duration_ = DurationOfFrames(frameCount_, format.format.samplesPerSec);

    hr = duration_ != 0 && frameCount_ != 0 ? S_OK : framesResult;
    if (FAILED(hr)) return hr;
    if (!bytes) return E_INVALIDARG;
    // A host template may leave the byte rate out of a plain sample format:
    // it then follows from the frame size and the rate.
    uint32_t bytesPerSec = format.format.avgBytesPerSec;
    if (bytesPerSec == 0) bytesPerSec = static_cast<uint32_t>(format.format.blockAlign) * format.format.samplesPerSec;
    *bytes = EstimateRenderBytes(bytesPerSec, duration_);
    return hr;
}

bool CDlsRenderFile::TemplateFormatIsCompressed() const {
    if (!renderTemplate_) return false;
    const _zuwaveformatmax format = AudioFormatOf(renderTemplate_);
    WAVEFORMATEX wfx{};
    if (FAILED(ZuAudio_WaveFormatToWfx(&format.format, &wfx))) return false;
    return ZuAudio_IsCompressed(&wfx) != FALSE;
}

HRESULT CDlsRenderFile::Render(IZuProgressSink* progress) {
    if (!audioSource_) return ZU_E_NO_AUDIO;
    // Every instrument-side chunk and wave comes from the metadata: without it
    // the file would hold audio nobody can find, so nothing is written.
    if (!metadataSource_) return ZU_E_NOT_FOUND;

    uint64_t estimate = 0;
    if (SUCCEEDED(EstimateFileSize(&estimate)))
        ZU_RETURN_IF_FAILED(CheckRenderTarget(fileName_, estimate, TemplateFormatIsCompressed(), frameCount_));

    std::unique_ptr<CRiffInstrument, InstrumentDelete> instrument(ZuNew<CRiffInstrument>(metadataSource_, kind()));
    if (!instrument) return E_OUTOFMEMORY;
    // The writers copy the images verbatim: images of the other family (a
    // SoundFont 2 instrument handed to a DLS or GIG class, or the reverse)
    // would make a broken file, so they are refused before the target is touched.
    if (!InstrumentImagesFitKind(kind(), instrument->header(), instrument->headerSize(), instrument->wavePool(),
                                 instrument->wavePoolSize()))
        return ZU_E_CORRUPT;
    return WriteInstrument(*instrument, fileName_, audioSource_, progress);
}

HRESULT CDlsRenderFile::WriteMetadata(ULONG sampleRate) {
    return ZuFMMeta_openAndWriteMetaStreamEx(fileName_, 0, sampleRate, metadataSource_, 1, 1);
}

}  // namespace zu

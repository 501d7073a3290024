#include "reader/read_file.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/byte_order.h"
#include "kernel/moniker.h"
#include "kernel/render_template.h"
#include "meta/read_meta.h"
#include "plugin/module_state.h"
#include "reader/audio_stream.h"
#include "reader/read_file_class.h"
#include "zuinstr/zuinstr_template.h"

namespace zu {
namespace {

void CopyText(WCHAR* buffer, ULONG capacity, const WCHAR* text) {
    if (!buffer || capacity < 1) return;
    ULONG i = 0;
    for (; text && text[i] && i + 1 < capacity; ++i) buffer[i] = text[i];
    buffer[i] = 0;
}

// The decimal value at the start of a text, as _wtoi reads it.
int32_t DecimalOf(const WCHAR* text) {
    int64_t value = 0;
    bool negative = false;
    size_t i = 0;
    while (text[i] == ' ' || text[i] == '\t') ++i;
    if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
    for (; text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x7FFFFFFF) return -1;  // no wave has such an index
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

uint64_t DurationOf(uint64_t frames, uint32_t samplesPerSec) {
    if (samplesPerSec == 0) return 0;  // a rate of 0 has no duration to report
    return static_cast<uint64_t>(static_cast<double>(frames) / samplesPerSec * 10000000.0);
}

CDlsReadFile* CDlsReadFile::Create(CDlsReadFileClass* fileClass) { return ZuNew<CDlsReadFile>(fileClass); }

CDlsReadFile::CDlsReadFile(CDlsReadFileClass* fileClass) : fileClass_(fileClass) {
    if (fileClass_) fileClass_->AddRef();
}

CDlsReadFile::~CDlsReadFile() {
    if (isOpen_) CloseFile();
    if (entry_.stream) {
        entry_.stream->WaitForIdle();
        ZuDelete(entry_.stream);
        entry_.stream = nullptr;
    }
    CDlsReadMeta::Discard(std::exchange(meta_, nullptr));
    HandBackContainer();
    if (fileClass_) fileClass_->Release();
}

void CDlsReadFile::HandBackContainer() {
    if (!container_) return;
    if (fileClass_) fileClass_->ReturnContainer(container_);
    else container_->Release();
    container_ = nullptr;
}

HRESULT CDlsReadFile::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (ZuGuidEqual(iid, IID_IZuReadFile) || ZuGuidEqual(iid, IID_ZuIUnknown)) {
        AddRef();
        *out = static_cast<IZuReadFile*>(this);
        return S_OK;
    }
    if (ZuGuidEqual(iid, IID_IZuContainerFile) && container_) {
        container_->AddRef();
        *out = static_cast<IZuContainerFile*>(container_);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CDlsReadFile::GetFileClass(IZuReadFileClass** out) {
    if (!fileClass_) return E_NOTIMPL;
    return fileClass_->QueryInterface(IID_IZuReadFileClass, reinterpret_cast<void**>(out));
}

HRESULT CDlsReadFile::GetFileText(WCHAR* buffer, ULONG capacity, ULONG kind) {
    if (buffer && capacity) buffer[0] = 0;
    switch (kind) {
        case 1: {
            const UINT message = fileClass_ ? IdentityOf(fileClass_->kind()).formatNameMessage : 1016;
            CopyText(buffer, capacity, ZuGetString(ModuleLanguage(), message));
            return S_OK;
        }
        case 2:
            return GetStreamText(buffer, capacity, 0, 3);
        case 4: {
            if (!container_) return S_OK;
            InstrumentWaveEntry info;
            const HRESULT hr = container_->GetSubStreamInfo(static_cast<ULONG>(subStream_), &info, subStream_ == -1 ? 1 : 0);
            CopyText(buffer, capacity, info.name);
            return hr;
        }
        default:
            return S_FALSE;
    }
}

HRESULT CDlsReadFile::EnsureStream(ULONG index) {
    if (index >= kStreamCount) return E_INVALIDARG;
    if (entry_.stream) return S_OK;
    if (entry_.type == 2) return E_INVALIDARG;
    if (entry_.type != 1) return S_OK;
    entry_.stream = CDLSReadAudioStream::Create(this, &entry_);
    return entry_.stream ? S_OK : ZU_E_FILE_OPEN;
}

HRESULT CDlsReadFile::GetStreamText(WCHAR* buffer, ULONG capacity, ULONG stream, ULONG kind) {
    if (stream >= kStreamCount) return S_OK;
    ZU_RETURN_IF_FAILED(EnsureStream(stream));
    if (!entry_.stream) return S_FALSE;
    return entry_.stream->GetText(buffer, capacity, kind);
}

HRESULT CDlsReadFile::GetStreamValue(void* out, ULONG size, ULONG kind) {
    if (kind != 1) return S_FALSE;
    return GetStreamProperty(out, size, 0, 2);
}

HRESULT CDlsReadFile::GetStreamProperty(void* out, ULONG size, ULONG stream, ULONG kind) {
    if (stream >= kStreamCount) return S_OK;
    ZU_RETURN_IF_FAILED(EnsureStream(stream));
    if (!entry_.stream) return S_FALSE;
    ZU_RETURN_IF_FAILED(entry_.stream->Prepare());
    if (kind == 2 && out && size >= 8) {
        const uint64_t value = entry_.stream->NativeAverageBytesPerSecond();
        std::memcpy(out, &value, sizeof value);
        return S_OK;
    }
    return S_FALSE;
}

HRESULT CDlsReadFile::CloseFile() {
    if (!isOpen_) return S_OK;
    if (entry_.stream) entry_.stream->WaitForIdle();
    if (container_ && container_->instrument() && container_->instrument()->AreFilesOpen())
        container_->CloseContainerFiles(fileName_);
    // A metadata object the host still holds lives on, emptied; the next
    // GetMeta makes a fresh one.
    CDlsReadMeta::Discard(std::exchange(meta_, nullptr));
    isOpen_ = 0;
    return S_OK;
}

HRESULT CDlsReadFile::ReopenFile(ULONG, ULONG) {
    if (isOpen_) CloseFile();
    if (!container_ || !container_->instrument() || container_->instrument()->loadResult() != S_OK) return E_FAIL;
    container_->OpenContainerFiles(fileName_);
    isOpen_ = container_->instrument()->AreFilesOpen() ? 1 : 0;
    return isOpen_ ? S_OK : E_FAIL;
}

HRESULT CDlsReadFile::Open(const WCHAR* name) {
    if (!name) return E_POINTER;
    HandBackContainer();
    WCHAR path[260];
    WCHAR query[520];
    ZuFio_ParseMoniker(name, path, 260, query, 520);
    // The text after the query's first "&" selects a wave; nothing there (or
    // no "&" at all) selects the whole pool.
    const WCHAR* subText = query;
    while (*subText && *subText != '&') ++subText;
    if (*subText == '&') ++subText;
    wholePool_ = *subText == 0;
    subStream_ = wholePool_ ? -1 : DecimalOf(subText);
    CopyText(fileName_, 260, name);

    if (fileClass_) container_ = fileClass_->AcquireContainer(path);
    CRiffInstrument* instrument = container_ ? container_->instrument() : nullptr;
    if (!instrument || instrument->loadResult() != S_OK) {
        title_[0] = 0;
        return instrument ? instrument->loadResult() : ZU_E_FILE_OPEN;
    }
    // A name that selects no wave of the instrument opens nothing.
    if (!wholePool_ && (subStream_ < 0 || static_cast<uint32_t>(subStream_) >= instrument->WaveCount())) {
        title_[0] = 0;
        return ZU_E_FILE_OPEN;
    }
    InstrumentWaveEntry info;
    container_->GetSubStreamInfo(static_cast<ULONG>(subStream_), &info, wholePool_ ? 1 : 0);
    dataBytes_ = info.dataBytes;
    frames_ = info.frames;
    dataOffset_ = info.dataOffset;
    frames2_ = info.frames32;
    // A single-wave stream is that wave: its own length from its own first
    // frame; only the whole pool spans every wave.
    if (wholePool_) frames_ = frames2_ = instrument->totalFrames();
    std::memset(&format_, 0, sizeof format_);
    ZuAudio_WaveFormatToWfx(&info.format, &format_);
    const StreamEntry previous = entry_;
    entry_ = StreamEntry();
    entry_.type = 1;
    entry_.duration = DurationOf(frames_, format_.nSamplesPerSec);
    entry_.frames = frames_;
    entry_.dataBytes = dataBytes_;
    entry_.dataOffset = dataOffset_;
    entry_.stream = previous.stream;
    if (entry_.stream) entry_.stream->Refresh();
    return S_OK;
}

HRESULT CDlsReadFile::GetFileName(WCHAR* buffer, ULONG capacity) {
    CopyText(buffer, capacity, fileName_);
    return S_OK;
}

HRESULT CDlsReadFile::GetDuration(uint64_t* out) {
    if (!out) return E_POINTER;
    *out = DurationOf(frames_, format_.nSamplesPerSec);
    return S_OK;
}

HRESULT CDlsReadFile::GetStreamCount(ULONG* count) {
    if (count) *count = kStreamCount;
    return S_OK;
}

HRESULT CDlsReadFile::GetVersion(ULONG* version) {
    if (fileClass_) return fileClass_->GetVersion(version);
    if (version) *version = 1;
    return S_OK;
}

HRESULT CDlsReadFile::GetStreamFormatInfo(_ZUFILESTREAMFORMATINFOv2* records, ULONG first, ULONG count) {
    if (static_cast<uint64_t>(first) + count > kStreamCount) return E_INVALIDARG;
    if (first >= kStreamCount) return GetStreamCount(nullptr);
    if (!records) return E_POINTER;
    HRESULT result = S_OK;
    auto* bytes = reinterpret_cast<uint8_t*>(records);
    for (ULONG i = 0; i < count; ++i) {
        const HRESULT made = EnsureStream(first + i);
        if (FAILED(made)) {
            result = made;
            continue;
        }
        auto* record = reinterpret_cast<_ZUFILESTREAMFORMATINFOv2*>(bytes + static_cast<size_t>(i) * ZUFIO_STREAMFORMATINFO_SIZE);
        const HRESULT hr = ZuFio_FillStreamFormatInfo(entry_.stream ? static_cast<IUnknown*>(static_cast<IZuReadAudioStream*>(entry_.stream)) : nullptr,
                                                      entry_.type, record);
        if (FAILED(hr)) result = hr;
    }
    return result;
}

HRESULT CDlsReadFile::GetStreamType(ULONG index, ULONG* type, ULONG* secondWord) {
    if (index >= kStreamCount) return E_INVALIDARG;
    if (type) *type = entry_.type;
    if (secondWord) *secondWord = entry_.second;
    return S_OK;
}

HRESULT CDlsReadFile::FindStream(ULONG index, ULONG type, ULONG* outIndex) {
    if (index >= kStreamCount) return E_INVALIDARG;
    if (entry_.type == type && outIndex) *outIndex = index;
    return S_OK;
}

HRESULT CDlsReadFile::GetStream(IZuReadStream** out, ULONG type, ULONG index, void*, _ZUFILESTREAMFORMATINFOv2* outputFormat) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index >= kStreamCount) return E_INVALIDARG;
    if (type != 0xFFFFFFFFu && entry_.type != type) return E_INVALIDARG;
    HRESULT hr = EnsureStream(index);
    if (FAILED(hr) || entry_.type != 1 || !entry_.stream) return hr;
    ComPtr<IZuReadAudioStream> audio;
    hr = entry_.stream->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(audio.Put()));
    if (FAILED(hr)) return hr;
    if (outputFormat) hr = audio->SetOutputFormat(outputFormat);
    if (SUCCEEDED(hr)) hr = audio->QueryInterface(IID_IZuReadStream, reinterpret_cast<void**>(out));
    return hr;
}

HRESULT CDlsReadFile::ConfigureStream(ULONG index, void*, _ZUFILESTREAMFORMATINFOv2* record) {
    if (!record) return E_POINTER;
    if (index >= kStreamCount) return E_INVALIDARG;
    ZU_RETURN_IF_FAILED(EnsureStream(index));
    if (entry_.type != 1 || !entry_.stream) return S_OK;
    return entry_.stream->SetOutputFormat(record);
}

HRESULT CDlsReadFile::GetMeta(IZuReadMeta** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!meta_) {
        meta_ = CDlsReadMeta::Create(this, fileClass_ ? fileClass_->kind() : kInstrumentDls);
        if (!meta_) return E_OUTOFMEMORY;
    }
    return meta_->QueryInterface(IID_IZuReadMeta, reinterpret_cast<void**>(out));
}

HRESULT CDlsReadFile::GetTemplate(tagZUTEMPLATExV2** out) {
    if (!out) return E_POINTER;
    WAVEFORMATEX wfx = format_;
    if (ZuAudio_IsCompressed(&format_)) {
        // A compressed file renders as 32-bit float with its rate, channels and mask.
        uint32_t mask = 0;
        if (format_.wFormatTag == WAVE_FORMAT_EXTENSIBLE && format_.cbSize >= 22)
            mask = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(&format_)->dwChannelMask;
        else
            mask = format_.nChannels >= 32 ? 0xFFFFFFFFu : ((1u << format_.nChannels) - 1u);
        uint32_t bits = 0;
        for (uint32_t m = mask; m; m &= m - 1) ++bits;
        if (bits == format_.nChannels) ZuAudio_InitWfxFlex(&wfx, sizeof wfx, WAVE_FORMAT_IEEE_FLOAT, 32, format_.nSamplesPerSec, format_.nChannels, 0);
    }
    // The source record of the default template: size, one audio stream and the format.
    uint8_t source[ZUTEMPLATE_FIXED_SIZE] = {};
    StoreLE32(source, ZUTEMPLATE_FIXED_SIZE);
    StoreLE32(source + 56, 200);
    StoreLE32(source + 60, 1);
    _zuwaveformatmax record{};
    ZuAudio_InitWaveFormat(&record.format, 72, &wfx);
    std::memcpy(source + 72, &record, 72);
    *out = nullptr;
    return ZuFio_MakeTemplate(out, ZUTEMPLATE_FLAGS_DEFAULT, reinterpret_cast<const tagZUTEMPLATExV2*>(source), ZUTEMPLATE_PART_AUDIO, 0,
                              ZuGetString(ModuleLanguage(), 1022), nullptr);
}

void CDlsReadFile::ReleaseDirectAccess() {
    uint32_t users = handleUsers_.load();
    while (users > 0 && !handleUsers_.compare_exchange_weak(users, users - 1)) {
    }
}

}  // namespace zu

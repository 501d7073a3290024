#include "reader/audio_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/allocator.h"
#include "plugin/module_state.h"
#include "reader/read_file_class.h"

namespace zu {
namespace {

using Text = std::basic_string<WCHAR>;

Text Widen(const char* ascii) {
    Text t;
    for (; *ascii; ++ascii) t += static_cast<WCHAR>(*ascii);
    return t;
}

// Replaces the first occurrence of a placeholder ("%s", "$s", "%d", "$d").
void Fill(Text& text, const char* placeholder, const Text& value) {
    const Text marker = Widen(placeholder);
    const size_t at = text.find(marker);
    if (at != Text::npos) text.replace(at, marker.size(), value);
}

void CopyText(WCHAR* buffer, ULONG capacity, const Text& text) {
    if (!buffer || capacity < 1) return;
    const size_t n = std::min<size_t>(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
}

// True when a frame of the format is exactly its channels' samples.
bool HoldsItsChannels(const _zuwaveformat& f) {
    return static_cast<uint32_t>(f.channels) * ZuAudio_BytesFromSampleType(f.sampleType) == f.blockAlign;
}

// Sample rate, bit depth and channel wording of a format.
Text AttributesText(const WAVEFORMATEX& f) {
    char buf[96];
    const char* channels = f.nChannels == 1 ? "Mono" : f.nChannels == 2 ? "Stereo" : nullptr;
    if (channels)
        std::snprintf(buf, sizeof buf, "%lu Hz, %u-bit, %s", static_cast<unsigned long>(f.nSamplesPerSec), f.wBitsPerSample, channels);
    else
        std::snprintf(buf, sizeof buf, "%lu Hz, %u-bit, %u channels", static_cast<unsigned long>(f.nSamplesPerSec),
                      f.wBitsPerSample, f.nChannels);
    return Widen(buf);
}

}  // namespace

CDLSReadAudioStream* CDLSReadAudioStream::Create(CDlsReadFile* readFile, StreamEntry* entry) {
    return ZuNew<CDLSReadAudioStream>(readFile, entry);
}

CDLSReadAudioStream::CDLSReadAudioStream(CDlsReadFile* readFile, StreamEntry* entry)
    : readFile_(readFile), ownerThread_(platform::CurrentThreadId()), entry_(entry) {
    streamType_ = entry->type;
    streamSubType_ = entry->second;
}

CDLSReadAudioStream::~CDLSReadAudioStream() {
    ZuFree(audioExtension_);
    ZuFree(outputFormat_);
    ZuFree(scratch_);
}

HRESULT CDLSReadAudioStream::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (ZuGuidEqual(iid, IID_IZuReadAudioStream) || ZuGuidEqual(iid, IID_IZuReadStream) || ZuGuidEqual(iid, IID_ZuIUnknown)) {
        AddRef();
        *out = static_cast<IZuReadAudioStream*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

// The stream lives as long as its read file: its references are the read file's.
ULONG CDLSReadAudioStream::AddRef() {
    readFile_->AddRef();
    return ++refs_;
}

ULONG CDLSReadAudioStream::Release() {
    const ULONG left = --refs_;
    readFile_->Release();  // may destroy the read file, and this stream with it
    return left;
}

HRESULT CDLSReadAudioStream::GetFileClass(IZuReadFileClass** out) {
    return readFile_ ? readFile_->GetFileClass(out) : E_NOTIMPL;
}

HRESULT CDLSReadAudioStream::GetReadFile(IZuReadFile** out) {
    if (!readFile_) return E_NOTIMPL;
    if (!out) return E_POINTER;
    readFile_->AddRef();
    *out = readFile_;
    return S_OK;
}

HRESULT CDLSReadAudioStream::ReservedStreamWord(ULONG* value) {
    if (value) *value = 0;
    return S_OK;
}

HRESULT CDLSReadAudioStream::GetStreamIds(ULONG* type, ULONG* subType, ULONG* index) {
    if (type) *type = streamType_;
    if (subType) *subType = streamSubType_;
    if (index) *index = streamIndex_;
    return S_OK;
}

HRESULT CDLSReadAudioStream::GetDuration(uint64_t* out) {
    if (!out) return E_POINTER;
    Prepare();
    *out = DurationOf(entry_->frames, nativeFormat_ ? nativeFormat_->nSamplesPerSec : 0);
    return S_OK;
}

HRESULT CDLSReadAudioStream::ReservedStreamTime(uint64_t* value) {
    if (value) *value = 0;
    return S_OK;
}

HRESULT CDLSReadAudioStream::SetOwnerThread(ULONG threadId) {
    ownerThread_ = threadId;
    return S_OK;
}

HRESULT CDLSReadAudioStream::WaitForIdle() {
    readLock_.Lock(0xFFFFFFFFu);
    readLock_.Unlock();
    return S_OK;
}

HRESULT CDLSReadAudioStream::GetFrameCount(uint64_t* frames) {
    if (!frames) return E_POINTER;
    *frames = entry_->frames;
    return S_OK;
}

HRESULT CDLSReadAudioStream::Prepare() {
    if (!nativeFormat_) {
        nativeFormat_ = &readFile_->format();
        plainNative_ = !ZuAudio_IsCompressed(nativeFormat_);
    }
    if (!audioExtension_) {
        audioExtension_ = static_cast<uint8_t*>(ZuAlloc(32));
        if (!audioExtension_) return E_OUTOFMEMORY;
        // All zero but the flag word (bit 0 clear) and a code of one blank.
        audioExtension_[4] = ' ';
    }
    return S_OK;
}

void CDLSReadAudioStream::Refresh() {
    nativeFormat_ = &readFile_->format();
    plainNative_ = !ZuAudio_IsCompressed(nativeFormat_);
    position_ = bytePosition_ = 0;
    cursor_ = Cursor();
    cursorAt_ = kNoCursor;
}

HRESULT CDLSReadAudioStream::GetBlockAlign(ULONG* blockAlign) {
    if (!blockAlign) return E_POINTER;
    Prepare();
    const WAVEFORMATEX* f = outputFormat_ ? outputFormat_ : nativeFormat_;
    if (!f) return static_cast<HRESULT>(0x8000FFFFu);
    *blockAlign = f->nBlockAlign;
    return S_OK;
}

HRESULT CDLSReadAudioStream::GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) {
    if (!record) return E_POINTER;
    ZU_RETURN_IF_FAILED(Prepare());
    if (outputFormat_) return ZuFio_SetStreamFormatInfo(record, outputFormat_, requestedExtension_, entry_->frames);
    if (!nativeFormat_) return static_cast<HRESULT>(0x8000FFFFu);
    return ZuFio_SetStreamFormatInfo(record, nativeFormat_, audioExtension_, entry_->frames);
}

HRESULT CDLSReadAudioStream::GetNativeFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) {
    if (!record) return E_POINTER;
    ZU_RETURN_IF_FAILED(Prepare());
    if (!nativeFormat_) return static_cast<HRESULT>(0x8000FFFFu);
    return ZuFio_SetStreamFormatInfo(record, nativeFormat_, audioExtension_, entry_->frames);
}

HRESULT CDLSReadAudioStream::SetOutputFormat(_ZUFILESTREAMFORMATINFOv2* record) {
    if (!record) return E_POINTER;
    HRESULT hr;
    const _zuwaveformat& f = record->format;
    const bool holdsFormat = (f.flags & ZUWF_FLAG_OWNTAG) ? f.formatTag != 0 : f.sampleType != 0;
    if (record->cbSize != 0 && record->streamType != 0 && holdsFormat) {
        uint8_t requested[136] = {};
        auto* wfx = reinterpret_cast<WAVEFORMATEX*>(requested);
        ZuAudio_GeneralCopyWfx(&f, wfx, sizeof requested);
        hr = ChooseOutputFormat(wfx, record->audioExtension);
    } else {
        hr = ChooseOutputFormat(nullptr, nullptr);
    }
    GetFormatInfo(record);
    return hr;
}

HRESULT CDLSReadAudioStream::ChooseOutputFormat(const WAVEFORMATEX* requested, const uint8_t* extension) {
    ZU_RETURN_IF_FAILED(Prepare());
    if (!nativeFormat_) return E_INVALIDARG;
    // A plain native format is delivered as it is; only a format the module
    // cannot read frame by frame takes the host's request.
    const WAVEFORMATEX* target = (requested && ZuAudio_IsCompressed(nativeFormat_)) ? requested : nativeFormat_;
    const size_t targetSize = (target->wFormatTag == WAVE_FORMAT_PCM || target->wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
                                  ? sizeof(WAVEFORMATEX)
                                  : sizeof(WAVEFORMATEX) + target->cbSize;
    copyFunction_ = nullptr;
    narrowing_ = false;
    ZuFree(scratch_);
    scratch_ = nullptr;
    scratchSize_ = 0;
    if (!outputFormat_ || outputSize_ < targetSize) {
        ZuFree(outputFormat_);
        outputFormat_ = static_cast<WAVEFORMATEX*>(ZuAlloc(targetSize));
        outputSize_ = outputFormat_ ? targetSize : 0;
        if (!outputFormat_) return E_OUTOFMEMORY;
    }
    std::memmove(outputFormat_, target, targetSize);
    HRESULT result = S_OK;
    if (!ZuAudio_IsEqualFormat(outputFormat_, nativeFormat_)) {
        copyFunction_ = ZuAudio_GetCopyFunction(ZuAudio_GetSampleType(outputFormat_), ZuAudio_GetSampleType(nativeFormat_));
        if (copyFunction_ && outputFormat_->nChannels == nativeFormat_->nChannels) {
            narrowing_ = outputFormat_->wBitsPerSample < nativeFormat_->wBitsPerSample;
        } else {
            copyFunction_ = nullptr;
            result = S_FALSE;
            std::memcpy(outputFormat_, nativeFormat_, sizeof(WAVEFORMATEX));
        }
    }
    if (extension) std::memcpy(requestedExtension_, extension, 32);
    return result;
}

const InstrumentWaveEntry* CDLSReadAudioStream::CurrentWave() const {
    CRiffInstrument* instrument = readFile_->container() ? readFile_->container()->instrument() : nullptr;
    return instrument ? instrument->Entry(static_cast<uint32_t>(cursor_.waveIndex)) : nullptr;
}

bool CDLSReadAudioStream::ExpandsInPool(const InstrumentWaveEntry& e) const {
    // Converted whenever the representation differs, not only when the block
    // alignments divide: a 16-bit stereo wave in a 24-bit stereo pool too.
    const _zuwaveformat& pool = readFile_->container()->aggregateRecord();
    return e.format.sampleType != pool.sampleType || e.format.channels != pool.channels ||
           e.format.blockAlign != pool.blockAlign || e.format.flags != pool.flags;
}

bool CDLSReadAudioStream::PositionWave(uint32_t wave, uint64_t framesInto) {
    CRiffInstrument* instrument = readFile_->container()->instrument();
    const InstrumentWaveEntry* e = instrument->Entry(wave);
    if (!e) return false;
    const uint64_t into = std::min(framesInto, e->frames) * e->format.blockAlign;
    cursor_.waveIndex = static_cast<int32_t>(wave);
    cursor_.bytesLeft = e->dataBytes - into;
    cursor_.expand = readFile_->wholePool() && ExpandsInPool(*e);
    cursor_.fileOffset = e->dataOffset + into;
    return instrument->GetFileHandle(*e) != nullptr;
}

HRESULT CDLSReadAudioStream::SeekTo(uint64_t position) {
    CRiffInstrument* instrument = readFile_->container()->instrument();
    if (!readFile_->wholePool()) {
        // A single-wave stream starts at the wave's own first sample.
        return PositionWave(static_cast<uint32_t>(readFile_->subStream()), position) ? S_OK : ZU_E_FILE_READ;
    }
    const uint32_t count = instrument->WaveCount();
    const InstrumentWaveEntry* current = CurrentWave();
    uint32_t w = (current && position >= current->firstFrame) ? static_cast<uint32_t>(cursor_.waveIndex) : 0;
    for (; w < count; ++w) {
        const InstrumentWaveEntry* e = instrument->Entry(w);
        if (position >= e->firstFrame && position - e->firstFrame < e->frames)
            return PositionWave(w, position - e->firstFrame) ? S_OK : ZU_E_FILE_READ;
    }
    cursor_ = Cursor();
    return S_OK;
}

size_t CDLSReadAudioStream::ReadFile(uint32_t fileIndex, uint8_t* destination, size_t bytes) {
    platform::FileHandle file = readFile_->container()->instrument()->GetFileHandleByIndex(fileIndex);
    size_t total = 0;
    while (total < bytes) {
        const size_t want = bytes - total;
        if (ahead_.size && ahead_.fileIndex == fileIndex && cursor_.fileOffset >= ahead_.offset &&
            cursor_.fileOffset - ahead_.offset < ahead_.size) {
            const size_t at = static_cast<size_t>(cursor_.fileOffset - ahead_.offset);
            const size_t n = std::min(want, ahead_.size - at);
            std::memcpy(destination + total, ahead_.bytes.data() + at, n);
            total += n;
            cursor_.fileOffset += n;
            continue;
        }
        uint32_t done = 0;
        if (want < ReadAhead::kBytes / 4) {
            ahead_.size = 0;
            ahead_.bytes.resize(ReadAhead::kBytes);
            if (!platform::FileReadAt(file, cursor_.fileOffset, ahead_.bytes.data(), ReadAhead::kBytes, &done) || done == 0) break;
            ahead_.fileIndex = fileIndex;
            ahead_.offset = cursor_.fileOffset;
            ahead_.size = std::min<size_t>(done, ReadAhead::kBytes);
            continue;
        }
        const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(want, 0x40000000u));
        if (!platform::FileReadAt(file, cursor_.fileOffset, destination + total, chunk, &done) || done == 0) break;
        total += done;
        cursor_.fileOffset += done;
    }
    return total;
}

size_t CDLSReadAudioStream::ReadFromPool(uint8_t* destination, size_t bytes, bool* shortRead) {
    CDlsContainerFile* container = readFile_->container();
    CRiffInstrument* instrument = container->instrument();
    const WAVEFORMATEX& pool = container->aggregateFormat();
    const uint32_t poolAlign = pool.nBlockAlign;
    const ZUSAMPLETYPE poolType = container->aggregateRecord().sampleType;
    cursor_.bytesRead += bytes;
    size_t produced = 0;
    size_t remaining = bytes;
    while (remaining > 0) {
        const InstrumentWaveEntry* e = CurrentWave();
        if (!e) break;
        const uint32_t waveAlign = e->format.blockAlign;
        size_t asked = 0, made = 0;
        if (cursor_.expand && waveAlign && poolAlign) {
            asked = static_cast<size_t>(std::min<uint64_t>(cursor_.bytesLeft, static_cast<uint64_t>(remaining / poolAlign) * waveAlign));
            uint8_t* raw = container->ExpansionBuffer(asked);
            if (!raw) {
                *shortRead = true;
                break;
            }
            const size_t got = ReadFile(e->fileIndex, raw, asked);
            const size_t frames = got / waveAlign;
            ZUCHANNELCOPYFUNC copy = ZuAudio_GetCopyChannelsFunction(&pool, &e->format);
            // The copy steps by channels x sample bytes: a block align that
            // does not hold them (a format the loader could not repair) would
            // take it past the frames read or the frames written.
            if (copy && HoldsItsChannels(e->format) && HoldsItsChannels(container->aggregateRecord())) {
                copy(destination, pool.nChannels, 0, raw, e->format.channels, 0, frames);
                for (uint32_t ch = e->format.channels; ch < pool.nChannels; ++ch)
                    ZuAudio_MuteChannel(destination, poolType, pool.nChannels, ch, frames);
            } else {
                std::memset(destination, 0, frames * poolAlign);  // no conversion known: silence, never garbage
            }
            made = frames * poolAlign;
            if (got < asked) *shortRead = true;
        } else {
            asked = static_cast<size_t>(std::min<uint64_t>(cursor_.bytesLeft, remaining));
            made = ReadFile(e->fileIndex, destination, asked);
            if (made < asked) *shortRead = true;
        }
        destination += made;
        produced += made;
        remaining -= made;
        cursor_.bytesLeft -= asked;
        if (*shortRead || remaining == 0) break;
        const uint32_t next = static_cast<uint32_t>(cursor_.waveIndex) + 1;
        if (next >= instrument->WaveCount()) {
            cursor_.bytesLeft = 0;
            break;
        }
        if (!PositionWave(next, 0)) {
            *shortRead = true;
            break;
        }
    }
    return produced;
}

HRESULT CDLSReadAudioStream::Read(uint64_t startFrame, uint8_t* destination, size_t capacityBytes, ULONG frames,
                                  ULONG* framesRead) {
    readLock_.Lock(0xFFFFFFFFu);
    struct Unlock {
        platform::TimedMutex& m;
        ~Unlock() { m.Unlock(); }
    } unlock{readLock_};
    if (!readFile_->isOpen()) return ZU_E_FILE_OPEN;
    if (framesRead) *framesRead = 0;
    ZU_RETURN_IF_FAILED(Prepare());
    if (!nativeFormat_ || !readFile_->container() || !readFile_->container()->instrument()) return ZU_E_FILE_READ;
    const uint32_t nativeAlign = nativeFormat_->nBlockAlign;
    const bool plain = plainNative_;
    if (startFrame != position_) {
        position_ = startFrame;
        if (plain) bytePosition_ = position_ * nativeAlign;
    }
    if (position_ >= entry_->frames) return S_FALSE;
    uint64_t n = std::min<uint64_t>(frames, entry_->frames - position_);
    // Never more than the host's buffer holds, whatever the count asked for.
    const uint32_t outAlign = outputFormat_ ? outputFormat_->nBlockAlign : nativeAlign;
    if (outAlign == 0 || nativeAlign == 0) return ZU_E_FILE_READ;
    n = std::min<uint64_t>(n, capacityBytes / std::max(outAlign, nativeAlign));
    if (!destination || n == 0) return ZU_E_FILE_READ;
    const size_t byteCount = static_cast<size_t>(n) * nativeAlign;
    uint8_t* raw = destination;
    if (narrowing_) {
        if (scratchSize_ < byteCount) {
            ZuFree(scratch_);
            scratch_ = static_cast<uint8_t*>(ZuAlloc(byteCount));
            scratchSize_ = scratch_ ? byteCount : 0;
            if (!scratch_) return E_OUTOFMEMORY;
        }
        raw = scratch_;
    }
    HRESULT result = S_OK;
    uint64_t got = 0;
    if (plain) {
        if (cursorAt_ != position_) {
            cursorAt_ = kNoCursor;
            ZU_RETURN_IF_FAILED(SeekTo(position_));
        }
        size_t bytes = 0;
        bool shortRead = false;
        if (readFile_->wholePool()) {
            bytes = ReadFromPool(raw, byteCount, &shortRead);
        } else {
            const InstrumentWaveEntry* e = CurrentWave();
            const size_t limit = static_cast<size_t>(std::min<uint64_t>(byteCount, cursor_.bytesLeft));
            bytes = e ? ReadFile(e->fileIndex, raw, limit) : 0;
            cursor_.bytesLeft -= bytes;
            shortRead = bytes < byteCount;
        }
        got = bytes / nativeAlign;
        if (shortRead || bytes < byteCount) {
            result = ZU_E_FILE_READ;
            cursorAt_ = kNoCursor;
        } else {
            position_ += got;
            bytePosition_ += bytes;
            cursorAt_ = position_;
        }
    }
    if (copyFunction_ && got) copyFunction_(destination, raw, static_cast<size_t>(got) * nativeFormat_->nChannels, 1.0f);
    if (framesRead) *framesRead = static_cast<ULONG>(got);
    return result;
}

HRESULT CDLSReadAudioStream::ReadToToken(uint64_t startFrame, const _zumemorytoken* token, ULONG frames, ULONG* framesRead) {
    if (framesRead) *framesRead = 0;
    if (!token) return ZU_E_FILE_READ;
    platform::TokenTarget target;
    target.mappingHandle = token->mappingHandle;
    target.baseAddress = token->baseAddress;
    target.size = token->size;
    target.offset = token->offset;
    target.kind = token->kind;
    target.ownerProcessId = token->ownerProcessId;
    platform::TokenWriteMapping mapping(target);
    if (!mapping.data()) {
        if (!readFile_->isOpen()) return ZU_E_FILE_OPEN;
        return ZU_E_FILE_READ;
    }
    HRESULT hr = Read(startFrame, mapping.data(), mapping.size(), frames, framesRead);
    // Samples that could not be delivered into the host's process were not read.
    if (!mapping.Finish() && SUCCEEDED(hr)) {
        hr = ZU_E_FILE_READ;
        if (framesRead) *framesRead = 0;
    }
    return hr;
}

HRESULT CDLSReadAudioStream::BeginDirectAccess(uint64_t*, uint64_t*, void**) { return ZU_E_FILE_OPEN; }

HRESULT CDLSReadAudioStream::EndDirectAccess() {
    readFile_->ReleaseDirectAccess();
    return static_cast<HRESULT>(readFile_->DirectAccessUsers());
}

HRESULT CDLSReadAudioStream::GetText(WCHAR* buffer, ULONG capacity, ULONG kind) {
    if (buffer && capacity) buffer[0] = 0;
    ZU_RETURN_IF_FAILED(Prepare());
    HZULANG language = ModuleLanguage();
    Text text;
    switch (kind) {
        case 1: {
            const UINT message = readFile_->fileClass() ? IdentityOf(readFile_->fileClass()->kind()).streamFormatMessage : 1031;
            text = ZuGetString(language, message);
            break;
        }
        case 2: {
            ULONG waves = 0;
            if (readFile_->container()) readFile_->container()->GetSubStreamCount(&waves);
            text = ZuGetString(language, waves == 1 ? 1148 : 1147);
            Fill(text, "%s", nativeFormat_ ? AttributesText(*nativeFormat_) : Text());
            Fill(text, "%d", Widen(std::to_string(waves).c_str()));
            break;
        }
        case 3: {
            text = ZuGetString(language, 1021);
            const uint64_t kbps = nativeFormat_ ? static_cast<uint64_t>(nativeFormat_->nAvgBytesPerSec) * 8 / 1000 : 0;
            Fill(text, "$d", Widen(std::to_string(kbps).c_str()));
            break;
        }
        case 4:
            text = entry_->name;
            break;
        default:
            return S_FALSE;
    }
    CopyText(buffer, capacity, text);
    return S_OK;
}

}  // namespace zu

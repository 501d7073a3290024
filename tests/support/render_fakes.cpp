#include "support/render_fakes.h"

#include <algorithm>
#include <cstring>

#include "support/fixture_builder.h"

namespace zu::test {

FakeAudioStream::FakeAudioStream(uint64_t frameCount, uint16_t channels, uint32_t rate) : frames(frameCount) {
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<uint16_t>(channels * 2);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
}

HRESULT FakeAudioStream::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const bool stream = ZuGuidEqual(iid, IID_IZuReadAudioStream) || ZuGuidEqual(iid, IID_IZuReadStream);
    if (!ZuGuidEqual(iid, IID_ZuIUnknown) && !(stream && offerStream)) return E_NOINTERFACE;
    *out = static_cast<IZuReadAudioStream*>(this);
    AddRef();
    return S_OK;
}

HRESULT FakeAudioStream::GetFileClass(IZuReadFileClass** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeAudioStream::GetReadFile(IZuReadFile** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeAudioStream::ReservedStreamWord(ULONG* value) {
    if (value) *value = 0;
    return E_NOTIMPL;
}

HRESULT FakeAudioStream::GetStreamIds(ULONG* type, ULONG* subType, ULONG* index) {
    if (type) *type = ZU_STREAM_TYPE_AUDIO;
    if (subType) *subType = 0;
    if (index) *index = 0;
    return S_OK;
}

HRESULT FakeAudioStream::GetDuration(uint64_t* hundredNanoseconds) {
    if (!hundredNanoseconds) return E_POINTER;
    if (FAILED(durationResult)) return durationResult;
    *hundredNanoseconds = duration;
    return durationResult;
}

HRESULT FakeAudioStream::ReservedStreamTime(uint64_t* value) {
    if (value) *value = 0;
    return E_NOTIMPL;
}

HRESULT FakeAudioStream::GetFrameCount(uint64_t* out) {
    if (!out) return E_POINTER;
    if (FAILED(frameCountResult)) return frameCountResult;
    *out = frames;
    return frameCountResult;
}

HRESULT FakeAudioStream::GetBlockAlign(ULONG* blockAlign) {
    if (!blockAlign) return E_POINTER;
    *blockAlign = format.nBlockAlign;
    return S_OK;
}

HRESULT FakeAudioStream::GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) {
    return ZuFio_SetStreamFormatInfo(record, &format, nullptr, frames);
}

HRESULT FakeAudioStream::GetNativeFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) { return GetFormatInfo(record); }

HRESULT FakeAudioStream::ReadToToken(uint64_t startFrame, const _zumemorytoken* token, ULONG count,
                                     ULONG* framesRead) {
    if (framesRead) *framesRead = 0;
    if (!token || token->kind != ZU_MEMORY_TOKEN_PROCESS) return E_INVALIDARG;
    const uint64_t align = format.nBlockAlign;
    const uint64_t available = data.size() / align;
    if (startFrame >= available) return S_FALSE;
    const uint64_t fit = token->size / align;
    const uint64_t n = std::min<uint64_t>({count, available - startFrame, fit});
    auto* target = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(token->baseAddress)) + token->offset;
    std::memcpy(target, data.data() + startFrame * align, static_cast<size_t>(n * align));
    if (framesRead) *framesRead = static_cast<ULONG>(n);
    return S_OK;
}

HRESULT FakeNoAudio::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!ZuGuidEqual(iid, IID_ZuIUnknown)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
}

HRESULT FakeManager::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!ZuGuidEqual(iid, IID_ZuIUnknown)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
}

HRESULT FakeManager::GetLCID(LCID* lcid, ULONG reserved) {
    ++lcidCalls;
    presetSeen = lcid ? *lcid : 0xFFFFFFFFu;
    reservedSeen = reserved;
    if (FAILED(languageResult)) return languageResult;
    if (lcid) *lcid = language;
    return languageResult;
}

HRESULT FakeManager::FindReadFileClass(IZuReadFileClass** out, const GUID& readerIdentity, uintptr_t context) {
    outSeen = out;
    identitySeen = readerIdentity;
    contextSeen = context;
    if (out) *out = nullptr;
    return findResult;
}

HRESULT FakeManager::FindRenderFileClass(IZuRenderFileClass** out, const GUID&) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeInstrumentMeta::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (ZuGuidEqual(iid, IID_ZuIUnknown) || ZuGuidEqual(iid, IID_IZuReadMeta))
        *out = static_cast<IZuReadMeta*>(this);
    else if (ZuGuidEqual(iid, IID_IZuReadInstrumentMeta))
        *out = static_cast<IZuReadInstrumentMeta*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT FakeInstrumentMeta::GetSourcePath(WCHAR* buffer, ULONG capacity) {
    if (buffer && capacity) buffer[0] = 0;
    return S_OK;
}

HRESULT FakeInstrumentMeta::GetInstrumentCount(ULONG* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT FakeInstrumentMeta::GetWaveCount(ULONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<ULONG>(waves.size());
    return S_OK;
}

HRESULT FakeInstrumentMeta::GetWaveInfo(ULONG wave, InstrumentWaveInfo* info) {
    if (!info) return E_POINTER;
    if (wave >= waves.size()) return ZU_E_NOT_FOUND;
    *info = waves[wave];
    info->waveIndex = wave;
    return S_OK;
}

HRESULT FakeInstrumentMeta::GetInstrumentImageSize(ULONG* size) {
    if (!size) return E_POINTER;
    *size = static_cast<ULONG>(image.size());
    return S_OK;
}

HRESULT FakeInstrumentMeta::GetInstrumentImage(void* buffer) {
    if (!buffer) return E_POINTER;
    std::memcpy(buffer, image.data(), image.size());
    return S_OK;
}

namespace render_images {

using fixture::PutU16;
using fixture::PutU32;
using fixture::RiffWriter;

std::string InstrumentImage(const std::string& header, const std::string& wavePool) {
    RiffWriter w;
    w.BeginChunk("META");
    w.Chunk("ARTG", header);
    w.Chunk("WAVG", wavePool);
    w.Chunk("LAYG", std::string(1060, '\0'));
    w.End();
    return w.Take();
}

std::string DlsHeader() {
    RiffWriter w;
    w.Chunk("colh", fixture::U32(0));
    w.Chunk("vers", fixture::U32(0x00010000) + fixture::U32(0));
    return w.Take();
}

std::string DlsWavePool(const std::vector<uint32_t>& frames) {
    RiffWriter w;
    std::string ptbl = fixture::U32(8) + fixture::U32(static_cast<uint32_t>(frames.size()));
    for (size_t i = 0; i < frames.size(); ++i) PutU32(ptbl, 0);
    w.Chunk("ptbl", ptbl);
    w.BeginList("wvpl");
    for (size_t i = 0; i < frames.size(); ++i) {
        std::string fmt;
        PutU16(fmt, 1);
        PutU16(fmt, 1);
        PutU32(fmt, 44100);
        PutU32(fmt, 88200);
        PutU16(fmt, 2);
        PutU16(fmt, 16);
        w.List("wave", {{"fmt ", fmt}, {"data", fixture::U32(0xFEEDF00D)}});
    }
    w.End();
    return w.Take();
}

std::string Sf2Header() {
    RiffWriter w;
    w.List("pdta", {{"phdr", std::string(38, '\0')}, {"shdr", std::string(46, '\0')}});
    return w.Take();
}

std::string Sf2WavePool(const std::vector<uint32_t>& frames) {
    std::string smpw;
    for (uint32_t f : frames) {
        PutU32(smpw, f);
        PutU32(smpw, 46);
    }
    RiffWriter w;
    w.Chunk("smpW", smpw);
    return w.Take();
}

std::vector<InstrumentWaveInfo> MonoWaves(const std::vector<uint32_t>& frames) {
    std::vector<InstrumentWaveInfo> waves;
    uint64_t first = 0;
    for (uint32_t f : frames) {
        InstrumentWaveInfo info{};
        info.structSize = 562;
        info.frameCount = f;
        info.firstFrame = first;
        info.format = WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
        info.soundFontFrames = f;
        first += f;
        waves.push_back(info);
    }
    return waves;
}

}  // namespace render_images

namespace {

std::u16string g_fileSystem;
uint64_t g_freeBytes = 0;
bool g_answers = true;

bool FakeQuery(const WCHAR*, platform::VolumeInfo* info) {
    ++FakeVolume::queries;
    if (!g_answers) return false;
    info->fileSystem = g_fileSystem;
    info->freeBytes = g_freeBytes;
    return true;
}

}  // namespace

int FakeVolume::queries = 0;

FakeVolume::FakeVolume(const std::u16string& fileSystem, uint64_t freeBytes, bool answers) {
    g_fileSystem = fileSystem;
    g_freeBytes = freeBytes;
    g_answers = answers;
    queries = 0;
    platform::SetVolumeQueryForTesting(&FakeQuery);
}

FakeVolume::~FakeVolume() { platform::SetVolumeQueryForTesting(nullptr); }

}  // namespace zu::test

// Host-side objects for render tests: an audio stream serving frames from a
// byte vector, a file-I/O manager that records what it is asked, a metadata
// object serving wave records and an instrument image, and the volume query
// replaced by one whose answer the test sets.
#ifndef ZU_TESTS_RENDER_FAKES_H
#define ZU_TESTS_RENDER_FAKES_H

#include <atomic>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "zuinstr/zuinstr.h"

namespace zu::test {

// Counts references but never frees itself: tests own these on the stack and
// check the count afterwards.
template <typename Base>
class StackUnknown : public Base {
public:
    ULONG ZU_STDCALL AddRef() override { return ++refs; }
    ULONG ZU_STDCALL Release() override { return --refs; }
    std::atomic<ULONG> refs{1};
};

class FakeAudioStream : public StackUnknown<IZuReadAudioStream> {
public:
    // 16-bit PCM of the given channels and rate; frames zero-filled.
    FakeAudioStream(uint64_t frames, uint16_t channels = 2, uint32_t rate = 44100);

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    HRESULT ZU_STDCALL GetFileClass(IZuReadFileClass** out) override;
    HRESULT ZU_STDCALL GetReadFile(IZuReadFile** out) override;
    HRESULT ZU_STDCALL ReservedStreamWord(ULONG* value) override;
    HRESULT ZU_STDCALL GetStreamIds(ULONG* type, ULONG* subType, ULONG* index) override;
    HRESULT ZU_STDCALL GetDuration(uint64_t* hundredNanoseconds) override;
    HRESULT ZU_STDCALL ReservedStreamTime(uint64_t* value) override;
    HRESULT ZU_STDCALL SetOwnerThread(ULONG) override { return S_OK; }
    HRESULT ZU_STDCALL WaitForIdle() override { return S_OK; }
    HRESULT ZU_STDCALL GetFrameCount(uint64_t* frames) override;
    HRESULT ZU_STDCALL GetBlockAlign(ULONG* blockAlign) override;
    HRESULT ZU_STDCALL GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) override;
    HRESULT ZU_STDCALL GetNativeFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) override;
    HRESULT ZU_STDCALL SetOutputFormat(_ZUFILESTREAMFORMATINFOv2*) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ReadToToken(uint64_t startFrame, const _zumemorytoken* token, ULONG frames,
                                   ULONG* framesRead) override;
    HRESULT ZU_STDCALL BeginDirectAccess(uint64_t*, uint64_t*, void**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL EndDirectAccess() override { return E_NOTIMPL; }

    WAVEFORMATEX format{};
    uint64_t frames = 0;
    uint64_t duration = 0;  // what GetDuration reports
    HRESULT durationResult = S_OK;
    HRESULT frameCountResult = S_OK;
    std::string data;  // frames x block align bytes, served by ReadToToken
    bool offerStream = true;  // false: QueryInterface refuses IZuReadAudioStream
};

// Refuses every interface but IUnknown.
class FakeNoAudio : public StackUnknown<IUnknown> {
public:
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
};

class FakeManager : public StackUnknown<IZuFileIOManager> {
public:
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    HRESULT ZU_STDCALL GetLCID(LCID* lcid, ULONG reserved) override;
    HRESULT ZU_STDCALL ManagerSlot4() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot5() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot6() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot7() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot8() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot9() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot10() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot11() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot12() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot13() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot14() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot15() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot16() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL ManagerSlot17() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL FindReadFileClass(IZuReadFileClass** out, const GUID& readerIdentity, uintptr_t context) override;
    HRESULT ZU_STDCALL FindRenderFileClass(IZuRenderFileClass** out, const GUID& rendererIdentity) override;

    LCID language = 1033;  // answered by GetLCID
    HRESULT languageResult = S_OK;
    LCID presetSeen = 0xFFFFFFFFu;  // the value GetLCID found in its out argument
    ULONG reservedSeen = 0xFFFFFFFFu;
    int lcidCalls = 0;
    GUID identitySeen{};
    uintptr_t contextSeen = 0;
    IZuReadFileClass** outSeen = nullptr;
    HRESULT findResult = static_cast<HRESULT>(0x80040154L);
};

// A metadata object answering IZuReadMeta and IZuReadInstrumentMeta with the
// given wave records and instrument image.
class FakeInstrumentMeta : public StackUnknown<IZuReadMeta>, public IZuReadInstrumentMeta {
public:
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return StackUnknown<IZuReadMeta>::AddRef(); }
    ULONG ZU_STDCALL Release() override { return StackUnknown<IZuReadMeta>::Release(); }
    HRESULT ZU_STDCALL GetMarkerStream(IStream**) override { return ZU_E_NOT_FOUND; }
    HRESULT ZU_STDCALL GetCommandStream(IStream**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL GetReservedStream(IStream**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL GetSummaryText(uint32_t, WCHAR*, int32_t) override { return ZU_E_NOT_FOUND; }
    HRESULT ZU_STDCALL GetSummaryStream(IStream**) override { return ZU_E_NOT_FOUND; }
    HRESULT ZU_STDCALL GetSourcePath(WCHAR* buffer, ULONG capacity) override;
    HRESULT ZU_STDCALL GetInstrumentCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetInstrumentInfo(ULONG, InstrumentInfo*) override { return ZU_E_NOT_FOUND; }
    HRESULT ZU_STDCALL GetRegionInfo(ULONG, ULONG, RegionInfo*) override { return ZU_E_NOT_FOUND; }
    HRESULT ZU_STDCALL GetRegionWaveLink(ULONG, ULONG, ULONG, RegionWaveLink*) override { return ZU_E_NOT_FOUND; }
    HRESULT ZU_STDCALL GetWaveCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetWaveInfo(ULONG wave, InstrumentWaveInfo* info) override;
    HRESULT ZU_STDCALL GetInstrumentImageSize(ULONG* size) override;
    HRESULT ZU_STDCALL GetInstrumentImage(void* buffer) override;

    std::vector<InstrumentWaveInfo> waves;
    std::string image;  // the "META" chunk
};

// Instrument images as the reader side hands them over.
namespace render_images {
// "META" holding "ARTG" (header), "WAVG" (wave pool) and "LAYG" (a zero layout).
std::string InstrumentImage(const std::string& header, const std::string& wavePool);
// A DLS header image ("colh", "vers") and a wave-pool image ("ptbl" and "wvpl")
// of mono 16-bit waves of the given frame counts.
std::string DlsHeader();
std::string DlsWavePool(const std::vector<uint32_t>& frames);
// A SoundFont 2 header image ("LIST" "pdta") and wave-pool image ("smpW").
std::string Sf2Header();
std::string Sf2WavePool(const std::vector<uint32_t>& frames);
// Wave records of mono 16-bit 44,100 Hz waves laid end to end.
std::vector<InstrumentWaveInfo> MonoWaves(const std::vector<uint32_t>& frames);
}  // namespace render_images

// Replaces the module's volume query for the life of the object.
class FakeVolume {
public:
    FakeVolume(const std::u16string& fileSystem, uint64_t freeBytes, bool answers = true);
    ~FakeVolume();
    FakeVolume(const FakeVolume&) = delete;
    FakeVolume& operator=(const FakeVolume&) = delete;
    static int queries;  // volume queries since construction
};

}  // namespace zu::test

#endif

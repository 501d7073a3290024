// The audio of a read file: the whole wave pool as one stream in the
// container's aggregated format, or one wave alone. Samples are read straight
// from the instrument's files into host memory handed over as memory tokens.
#ifndef ZU_READER_AUDIO_STREAM_H
#define ZU_READER_AUDIO_STREAM_H

#include <atomic>
#include <vector>

#include "platform/platform.h"
#include "reader/read_file.h"
#include "zuinstr/zuinstr.h"
#include "zuinstr/zuinstr_audio.h"

namespace zu {

class CDLSReadAudioStream final : public IZuReadAudioStream {
public:
    static CDLSReadAudioStream* Create(CDlsReadFile* readFile, StreamEntry* entry);
    CDLSReadAudioStream(CDlsReadFile* readFile, StreamEntry* entry);
    ~CDLSReadAudioStream();

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override;
    ULONG ZU_STDCALL Release() override;
    HRESULT ZU_STDCALL GetFileClass(IZuReadFileClass** out) override;
    HRESULT ZU_STDCALL GetReadFile(IZuReadFile** out) override;
    HRESULT ZU_STDCALL ReservedStreamWord(ULONG* value) override;
    HRESULT ZU_STDCALL GetStreamIds(ULONG* type, ULONG* subType, ULONG* index) override;
    HRESULT ZU_STDCALL GetDuration(uint64_t* hundredNanoseconds) override;
    HRESULT ZU_STDCALL ReservedStreamTime(uint64_t* value) override;
    HRESULT ZU_STDCALL SetOwnerThread(ULONG threadId) override;
    HRESULT ZU_STDCALL WaitForIdle() override;
    HRESULT ZU_STDCALL GetFrameCount(uint64_t* frames) override;
    HRESULT ZU_STDCALL GetBlockAlign(ULONG* blockAlign) override;
    HRESULT ZU_STDCALL GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) override;
    HRESULT ZU_STDCALL GetNativeFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) override;
    HRESULT ZU_STDCALL SetOutputFormat(_ZUFILESTREAMFORMATINFOv2* record) override;
    HRESULT ZU_STDCALL ReadToToken(uint64_t startFrame, const _zumemorytoken* token, ULONG frames, ULONG* framesRead) override;
    HRESULT ZU_STDCALL BeginDirectAccess(uint64_t* dataOffset, uint64_t* dataBytes, void** handle) override;
    HRESULT ZU_STDCALL EndDirectAccess() override;

    // For the read file.
    HRESULT Prepare();
    HRESULT GetText(WCHAR* buffer, ULONG capacity, ULONG kind);
    uint64_t NativeAverageBytesPerSecond() const { return nativeFormat_ ? nativeFormat_->nAvgBytesPerSec : 0; }
    void Refresh();  // the read file was opened again under another name
    // Reads frames into memory of this process with room for capacityBytes.
    HRESULT Read(uint64_t startFrame, uint8_t* destination, size_t capacityBytes, ULONG frames, ULONG* framesRead);

private:
    struct Cursor {
        bool expand = false;
        int32_t waveIndex = 0;
        uint64_t bytesLeft = 0;
        uint64_t bytesRead = 0;
        uint64_t fileOffset = 0;  // where the next byte of the current wave lies in its file
    };
    HRESULT ChooseOutputFormat(const WAVEFORMATEX* requested, const uint8_t* extension);
    HRESULT SeekTo(uint64_t position);
    bool PositionWave(uint32_t wave, uint64_t framesInto);
    size_t ReadFromPool(uint8_t* destination, size_t bytes, bool* shortRead);
    size_t ReadFile(uint32_t fileIndex, uint8_t* destination, size_t bytes);
    bool ExpandsInPool(const InstrumentWaveEntry& e) const;
    const InstrumentWaveEntry* CurrentWave() const;

    CDlsReadFile* readFile_;
    std::atomic<ULONG> refs_{0};
    uint32_t ownerThread_;
    platform::TimedMutex readLock_;
    uint32_t streamIndex_ = 0, streamSubType_ = 0, streamType_ = 1;
    const WAVEFORMATEX* nativeFormat_ = nullptr;
    uint8_t* audioExtension_ = nullptr;  // 32 bytes
    WAVEFORMATEX* outputFormat_ = nullptr;
    size_t outputSize_ = 0;
    uint8_t requestedExtension_[32] = {};
    ZUSAMPLECOPYFUNC copyFunction_ = nullptr;
    uint8_t* scratch_ = nullptr;
    size_t scratchSize_ = 0;
    bool narrowing_ = false;
    StreamEntry* entry_;
    Cursor cursor_;
    // The stream position the cursor stands at, so a read that continues the
    // previous one needs no positioning (kNoCursor: position first).
    static constexpr uint64_t kNoCursor = ~0ull;
    uint64_t cursorAt_ = kNoCursor;
    // Bytes read ahead of small reads: hosts ask a few kilobytes at a time,
    // and one system call per request would cost more than the copy.
    struct ReadAhead {
        static constexpr size_t kBytes = 256 * 1024;
        std::vector<uint8_t> bytes;
        uint32_t fileIndex = 0;
        uint64_t offset = 0;
        size_t size = 0;  // 0: nothing held
    };
    ReadAhead ahead_;
    bool plainNative_ = false;
    uint64_t position_ = 0;
    uint64_t bytePosition_ = 0;
};

}  // namespace zu

#endif

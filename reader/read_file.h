// An opened instrument file as the host sees it: one audio stream, chosen by
// the name the file was opened under ("path": the whole wave pool joined end
// to end; "path?a&N": wave N alone), over the container of its path.
#ifndef ZU_READER_READ_FILE_H
#define ZU_READER_READ_FILE_H

#include "plugin/com_object.h"
#include "reader/container_file.h"
#include "zuinstr/zuinstr.h"
#include "zuinstr/zuinstr_audio.h"

namespace zu {

class CDlsReadFileClass;
class CDLSReadAudioStream;
class CDlsReadMeta;

// The read file's one stream, as the host addresses it by index.
struct StreamEntry {
    uint32_t type = 0;    // 1 audio
    uint32_t second = 0;
    uint64_t duration = 0;  // 100-nanosecond units
    uint64_t frames = 0;
    uint64_t dataBytes = 0;
    uint32_t zero = 0;
    CDLSReadAudioStream* stream = nullptr;  // created on first use
    uint64_t dataOffset = 0;
    WCHAR name[260] = {};
};

class CDlsReadFile : public IZuReadFile, public RefCounted<CDlsReadFile> {
public:
    static CDlsReadFile* Create(CDlsReadFileClass* fileClass);
    explicit CDlsReadFile(CDlsReadFileClass* fileClass);
    virtual ~CDlsReadFile();

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return AddRefImpl(); }
    ULONG ZU_STDCALL Release() override { return ReleaseImpl(); }
    HRESULT ZU_STDCALL GetFileClass(IZuReadFileClass** out) override;
    HRESULT ZU_STDCALL GetFileText(WCHAR* buffer, ULONG capacity, ULONG kind) override;
    HRESULT ZU_STDCALL GetStreamText(WCHAR* buffer, ULONG capacity, ULONG stream, ULONG kind) override;
    HRESULT ZU_STDCALL GetStreamValue(void* out, ULONG size, ULONG kind) override;
    HRESULT ZU_STDCALL GetStreamProperty(void* out, ULONG size, ULONG stream, ULONG kind) override;
    HRESULT ZU_STDCALL ReservedFileOp() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL CloseFile() override;
    HRESULT ZU_STDCALL IsFileClosed() override { return isOpen_ ? FALSE : TRUE; }
    HRESULT ZU_STDCALL ReopenFile(ULONG, ULONG) override;
    HRESULT ZU_STDCALL Open(const WCHAR* nameOrMoniker) override;
    HRESULT ZU_STDCALL GetFileName(WCHAR* buffer, ULONG capacity) override;
    HRESULT ZU_STDCALL GetDuration(uint64_t* hundredNanoseconds) override;
    HRESULT ZU_STDCALL GetStreamCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetVersion(ULONG* version) override;
    HRESULT ZU_STDCALL GetStreamFormatInfo(_ZUFILESTREAMFORMATINFOv2* records, ULONG first, ULONG count) override;
    HRESULT ZU_STDCALL GetStreamType(ULONG index, ULONG* type, ULONG* secondWord) override;
    HRESULT ZU_STDCALL FindStream(ULONG index, ULONG type, ULONG* outIndex) override;
    HRESULT ZU_STDCALL GetStream(IZuReadStream** out, ULONG type, ULONG index, void* ignored,
                                 _ZUFILESTREAMFORMATINFOv2* outputFormat) override;
    HRESULT ZU_STDCALL ConfigureStream(ULONG index, void* ignored, _ZUFILESTREAMFORMATINFOv2* record) override;
    HRESULT ZU_STDCALL GetMeta(IZuReadMeta** out) override;
    HRESULT ZU_STDCALL GetTemplate(tagZUTEMPLATExV2** out) override;

    // What the stream reads from.
    CDlsContainerFile* container() const { return container_; }
    CDlsReadFileClass* fileClass() const { return fileClass_; }
    const WAVEFORMATEX& format() const { return format_; }
    int32_t subStream() const { return subStream_; }
    bool wholePool() const { return wholePool_; }
    bool isOpen() const { return isOpen_ != 0; }
    const StreamEntry& entry() const { return entry_; }
    void ReleaseDirectAccess();
    uint32_t DirectAccessUsers() const { return handleUsers_.load(); }

private:
    static constexpr ULONG kStreamCount = 1;
    HRESULT EnsureStream(ULONG index);
    void HandBackContainer();

    CDlsReadFileClass* fileClass_;  // holds a reference so the class outlives its files
    WCHAR fileName_[260] = {};
    uint32_t isOpen_ = 0;
    std::atomic<uint32_t> handleUsers_{0};
    CDlsContainerFile* container_ = nullptr;
    int32_t subStream_ = -1;
    bool wholePool_ = true;
    StreamEntry entry_;
    CDlsReadMeta* meta_ = nullptr;  // owned; created at the first GetMeta
    char title_[1088] = {};
    uint64_t dataOffset_ = 0, dataBytes_ = 0, frames_ = 0, frames2_ = 0;
    WAVEFORMATEX format_ = {};
};

// Duration in 100-nanosecond units of frames at a rate; 0 for a rate of 0.
uint64_t DurationOf(uint64_t frames, uint32_t samplesPerSec);

}  // namespace zu

#endif

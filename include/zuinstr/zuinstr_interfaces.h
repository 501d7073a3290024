// zuinstr public host header: the module's interfaces, in slot order. Slots 0
// to 2 of each are IUnknown's QueryInterface, AddRef and Release.
#ifndef ZUINSTR_INTERFACES_H
#define ZUINSTR_INTERFACES_H

#include "zuinstr/zuinstr_types.h"

// Capability word bits of a format class.
#define ZU_CLASS_CAN_READ 0x10u
#define ZU_CLASS_CAN_RENDER 0x20u
#define ZU_STREAM_TYPE_AUDIO 1u

// The plug-in information object: which format classes the module serves.
struct IZuUnsharedFIOPluginInfo : public IUnknown {
    virtual HRESULT ZU_STDCALL Reserved1() = 0;                   // 3: does nothing, S_OK
    virtual HRESULT ZU_STDCALL GetClassCount(ULONG* count) = 0;   // 4: always 3
    // 5: one row of the class table; every out argument may be null. The four
    // further words are left untouched, the zero word receives 0.
    virtual HRESULT ZU_STDCALL GetClassInfo(int32_t index, GUID* classId, WCHAR* name, int32_t nameCapacity,
                                            DWORD* capabilities, DWORD* streamType, DWORD* further1, DWORD* further2,
                                            DWORD* further3, DWORD* further4, DWORD* zeroWord, DWORD* flags) = 0;
};

struct _ZUFILESTREAMFORMATINFOv2;  // the 184-byte stream format record (zuinstr_audio.h)
struct tagZUTEMPLATExV2;           // the render template record (zuinstr_template.h)
struct InstrumentWaveEntry;        // one wave's (or the whole pool's) description (zuinstr_instrument.h)
struct IZuReadFileClass;
struct IZuRenderFileClass;
struct IZuReadFile;
struct IZuReadStream;
struct IZuReadMeta;


// A host's sample buffer, possibly in another process.
#define ZU_MEMORY_TOKEN_PROCESS 0u  // baseAddress is memory of the owner process
#define ZU_MEMORY_TOKEN_MAPPING 1u  // mappingHandle is a file mapping of the owner (Linux: a descriptor number)
#pragma pack(push, 1)
struct _zumemorytoken {
    uint64_t mappingHandle;
    uint64_t baseAddress;
    uint32_t size;  // bytes available from offset on
    uint32_t reserved1;
    uint32_t offset;  // where the data starts
    uint32_t reserved2;
    uint32_t kind;
    uint32_t ownerProcessId;
};
#pragma pack(pop)
static_assert(sizeof(_zumemorytoken) == 40, "memory token size");
static_assert(offsetof(_zumemorytoken, offset) == 24 && offsetof(_zumemorytoken, ownerProcessId) == 36, "memory token offsets");

// ---- Objects of the host's framework that the module calls ----

// The host's file-I/O manager. The module calls slots 3, 18 and 19 only.
struct IZuFileIOManager : public IUnknown {
    // 3: the host's language; the out value arrives preset to the module's own.
    virtual HRESULT ZU_STDCALL GetLCID(LCID* lcid, ULONG reserved) = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot4() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot5() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot6() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot7() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot8() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot9() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot10() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot11() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot12() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot13() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot14() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot15() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot16() = 0;
    virtual HRESULT ZU_STDCALL ManagerSlot17() = 0;
    // 18: a read file class by its reader identity.
    virtual HRESULT ZU_STDCALL FindReadFileClass(IZuReadFileClass** out, const GUID& readerIdentity, uintptr_t context) = 0;
    // 19: a render file class by its renderer identity.
    virtual HRESULT ZU_STDCALL FindRenderFileClass(IZuRenderFileClass** out, const GUID& rendererIdentity) = 0;
};

// The host's progress sink for a render. The module calls slots 3 and 6 only.
struct IZuProgressSink : public IUnknown {
    virtual HRESULT ZU_STDCALL Start(ULONG low, ULONG high) = 0;  // 3: once, (0, 100)
    virtual HRESULT ZU_STDCALL SinkSlot4() = 0;
    virtual HRESULT ZU_STDCALL SinkSlot5() = 0;
    virtual HRESULT ZU_STDCALL Progress(ULONG percent) = 0;       // 6: 0..100 after each block
};

// ---- Reading ----

// Information texts of a file class.
enum ZUFIO_FILECLASS_INFO_TEXT : uint32_t {
    ZUFIO_INFO_SHORT_NAME = 1,     // "DLS", "GIG", "SF2"
    ZUFIO_INFO_LONG_NAME = 2,      // "DLS Instruments", ...
    ZUFIO_INFO_EMPTY3 = 3,
    ZUFIO_INFO_FILTER = 4,         // "*.dls", ...
    ZUFIO_INFO_FORMAT_NAME = 5,    // localised format name
    ZUFIO_INFO_OPEN_TITLE = 6,     // localised open-dialog title
    ZUFIO_INFO_EMPTY7 = 7,
};

// A readable format. Handed out by the class factory for a format's class identifier.
struct IZuReadFileClass : public IUnknown {
    virtual HRESULT ZU_STDCALL SetUserValue(ULONG value) = 0;                    // 3
    virtual HRESULT ZU_STDCALL GetUserValue(ULONG* value) = 0;                   // 4
    virtual HRESULT ZU_STDCALL SetFileIOManager(IZuFileIOManager* manager) = 0;  // 5: kept without a reference; switches the language
    virtual HRESULT ZU_STDCALL GetFileIOManager(IZuFileIOManager** manager) = 0; // 6
    virtual HRESULT ZU_STDCALL GetClassGuid(GUID* readerIdentity) = 0;           // 7
    virtual HRESULT ZU_STDCALL GetVersion(ULONG* version) = 0;                   // 8
    virtual HRESULT ZU_STDCALL GetCapabilities(ULONG* capabilities) = 0;         // 9
    virtual HRESULT ZU_STDCALL GetRenderFileClass(IZuRenderFileClass** out) = 0; // 10: through the manager
    // 11: texts[i] receives a system string the caller frees (SysFreeString), or null.
    virtual HRESULT ZU_STDCALL GetInfoText(const ULONG* identifiers, ULONG count, BSTR* texts) = 0;
    // 12: S_OK when the first bytes of a file are this format, else 0x8004E080.
    virtual HRESULT ZU_STDCALL IdentifyHeader(void* ignored, const uint8_t* header, ULONG length) = 0;
    virtual HRESULT ZU_STDCALL IdentifyFile(const WCHAR* path) = 0;              // 13: S_OK for any RIFF file
    virtual HRESULT ZU_STDCALL ReservedClassOp1(ULONG) = 0;                      // 14
    // 15: "path" opens the whole wave pool as one stream, "path?a&N" wave N alone.
    virtual HRESULT ZU_STDCALL OpenFile(IZuReadFile** out, void* ignored1, void* ignored2, const WCHAR* path,
                                        ULONG openNow) = 0;
    virtual HRESULT ZU_STDCALL ReservedClassOp2() = 0;                           // 16
    virtual HRESULT ZU_STDCALL ShowAbout(void* parentWindow) = 0;                // 17
    virtual HRESULT ZU_STDCALL ReservedClassOp3(void*, void*) = 0;               // 18
};

// An opened instrument file with exactly one audio stream.
struct IZuReadFile : public IUnknown {
    virtual HRESULT ZU_STDCALL GetFileClass(IZuReadFileClass** out) = 0;                           // 3
    virtual HRESULT ZU_STDCALL GetFileText(WCHAR* buffer, ULONG capacity, ULONG kind) = 0;         // 4
    virtual HRESULT ZU_STDCALL GetStreamText(WCHAR* buffer, ULONG capacity, ULONG stream, ULONG kind) = 0;  // 5
    virtual HRESULT ZU_STDCALL GetStreamValue(void* out, ULONG size, ULONG kind) = 0;              // 6
    virtual HRESULT ZU_STDCALL GetStreamProperty(void* out, ULONG size, ULONG stream, ULONG kind) = 0;  // 7
    virtual HRESULT ZU_STDCALL ReservedFileOp() = 0;                                               // 8
    virtual HRESULT ZU_STDCALL CloseFile() = 0;                                                    // 9
    virtual HRESULT ZU_STDCALL IsFileClosed() = 0;                                                 // 10: TRUE (1) when closed
    virtual HRESULT ZU_STDCALL ReopenFile(ULONG, ULONG) = 0;                                       // 11
    virtual HRESULT ZU_STDCALL Open(const WCHAR* nameOrMoniker) = 0;                               // 12
    virtual HRESULT ZU_STDCALL GetFileName(WCHAR* buffer, ULONG capacity) = 0;                     // 13
    virtual HRESULT ZU_STDCALL GetDuration(uint64_t* hundredNanoseconds) = 0;                      // 14
    virtual HRESULT ZU_STDCALL GetStreamCount(ULONG* count) = 0;                                   // 15
    virtual HRESULT ZU_STDCALL GetVersion(ULONG* version) = 0;                                     // 16
    virtual HRESULT ZU_STDCALL GetStreamFormatInfo(_ZUFILESTREAMFORMATINFOv2* records, ULONG first, ULONG count) = 0;  // 17
    virtual HRESULT ZU_STDCALL GetStreamType(ULONG index, ULONG* type, ULONG* secondWord) = 0;     // 18
    virtual HRESULT ZU_STDCALL FindStream(ULONG index, ULONG type, ULONG* outIndex) = 0;           // 19
    // 20: type 0xFFFFFFFF accepts any type; the optional record sets the output format.
    virtual HRESULT ZU_STDCALL GetStream(IZuReadStream** out, ULONG type, ULONG index, void* ignored,
                                         _ZUFILESTREAMFORMATINFOv2* outputFormat) = 0;
    virtual HRESULT ZU_STDCALL ConfigureStream(ULONG index, void* ignored, _ZUFILESTREAMFORMATINFOv2* record) = 0;  // 21
    virtual HRESULT ZU_STDCALL GetMeta(IZuReadMeta** out) = 0;                                     // 22
    // 23: the caller frees the template with ZuFio_FreeTemplate.
    virtual HRESULT ZU_STDCALL GetTemplate(tagZUTEMPLATExV2** out) = 0;
};

// The parsed instrument shared by every read file of one path; a read file
// hands it out for IID_IZuContainerFile.
struct IZuContainerFile : public IUnknown {
    virtual HRESULT ZU_STDCALL OpenContainerFiles(const WCHAR* path) = 0;            // 3
    virtual HRESULT ZU_STDCALL CloseContainerFiles(const WCHAR* path) = 0;           // 4
    virtual HRESULT ZU_STDCALL GetContainerPath(WCHAR* buffer, ULONG capacity) = 0;  // 5: S_FALSE when it does not fit
    virtual HRESULT ZU_STDCALL GetContainerFlags(ULONG* flags) = 0;                  // 6
    virtual HRESULT ZU_STDCALL GetSubStreamCount(ULONG* count) = 0;                  // 7: the number of waves
    // 8: flags bit 0 describes the aggregated pool instead of one wave.
    virtual HRESULT ZU_STDCALL GetSubStreamInfo(ULONG index, InstrumentWaveEntry* info, ULONG flags) = 0;
};

struct IZuReadStream : public IUnknown {
    virtual HRESULT ZU_STDCALL GetFileClass(IZuReadFileClass** out) = 0;           // 3
    virtual HRESULT ZU_STDCALL GetReadFile(IZuReadFile** out) = 0;                 // 4
    virtual HRESULT ZU_STDCALL ReservedStreamWord(ULONG* value) = 0;               // 5
    virtual HRESULT ZU_STDCALL GetStreamIds(ULONG* type, ULONG* subType, ULONG* index) = 0;  // 6
    virtual HRESULT ZU_STDCALL GetDuration(uint64_t* hundredNanoseconds) = 0;      // 7
    virtual HRESULT ZU_STDCALL ReservedStreamTime(uint64_t* value) = 0;            // 8
    virtual HRESULT ZU_STDCALL SetOwnerThread(ULONG threadId) = 0;                 // 9
    virtual HRESULT ZU_STDCALL WaitForIdle() = 0;                                  // 10: returns once no read runs
};

// The audio of a read file (or the audio a host hands a render file).
struct IZuReadAudioStream : public IZuReadStream {
    virtual HRESULT ZU_STDCALL GetFrameCount(uint64_t* frames) = 0;                         // 11
    virtual HRESULT ZU_STDCALL GetBlockAlign(ULONG* blockAlign) = 0;                        // 12
    virtual HRESULT ZU_STDCALL GetFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) = 0;        // 13
    virtual HRESULT ZU_STDCALL GetNativeFormatInfo(_ZUFILESTREAMFORMATINFOv2* record) = 0;  // 14
    virtual HRESULT ZU_STDCALL SetOutputFormat(_ZUFILESTREAMFORMATINFOv2* record) = 0;      // 15
    // 16: S_FALSE at or past the end; 0x8004E007 while the file is closed; 0x8004E008 on a short read.
    virtual HRESULT ZU_STDCALL ReadToToken(uint64_t startFrame, const _zumemorytoken* token, ULONG frames,
                                           ULONG* framesRead) = 0;
    virtual HRESULT ZU_STDCALL BeginDirectAccess(uint64_t* dataOffset, uint64_t* dataBytes, void** handle) = 0;  // 17
    virtual HRESULT ZU_STDCALL EndDirectAccess() = 0;                                       // 18
};

// Fills one stream format record by asking a stream for its format (type 1
// audio, 8 a stream without format); clears the record first.
ZU_EXPORT_C HRESULT ZuFio_FillStreamFormatInfo(IUnknown* stream, ULONG streamType, _ZUFILESTREAMFORMATINFOv2* record);

// The module's exported entry points.
ZU_EXPORT_C HRESULT ZU_STDCALL DllGetClassObject(const CLSID& classId, const IID& interfaceId, void** out);
ZU_EXPORT_C HRESULT ZU_STDCALL DllCanUnloadNow();
ZU_EXPORT_C void ZU_STDCALL DllInitClasses();

#endif

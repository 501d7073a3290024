// The module's one door to the operating system. Everything that touches files,
// memory blocks, locks, code pages, system strings, string resources, volumes,
// cryptography or other processes goes through here; the Win32 side calls the
// real API, the Linux side stands in for it with POSIX. No other folder
// includes an operating-system header.
#ifndef ZU_PLATFORM_H
#define ZU_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "zuinstr/zuinstr_types.h"

namespace zu::platform {

// ---- Global memory: zero-filled blocks behind the module's allocator pair ----
void* GlobalAllocZeroed(size_t bytes);  // null on failure
void GlobalFreeBlock(void* block);      // null is accepted
// Shrinks a block without moving it; false when the platform refuses.
bool GlobalShrinkInPlace(void* block, size_t newBytes);

// ---- Private heaps (owned-item lists) ----
struct PrivateHeap;
PrivateHeap* PrivateHeapCreate(size_t initialBytes);
void* PrivateHeapAllocZeroed(PrivateHeap* heap, size_t bytes);
void PrivateHeapFree(PrivateHeap* heap, void* block);
void PrivateHeapDestroy(PrivateHeap* heap);  // frees every block at once

// ---- Locks and identities ----
// Re-entrant lock (a Windows critical section).
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter();
    void Leave();

private:
    alignas(8) unsigned char storage_[40];  // the size of a Windows critical section and of a Linux recursive mutex
};

class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    ~CriticalSectionGuard() { cs_.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& cs_;
};

// A mutex with a timed wait (a Windows mutex object).
class TimedMutex {
public:
    TimedMutex();
    ~TimedMutex();
    TimedMutex(const TimedMutex&) = delete;
    TimedMutex& operator=(const TimedMutex&) = delete;
    bool Lock(uint32_t timeoutMs);  // 0xFFFFFFFF waits forever
    void Unlock();

private:
    alignas(16) unsigned char storage_[80];
};

uint32_t CurrentThreadId();
uint32_t CurrentProcessId();

// ---- Files, with the 32-bit positions the RIFF layer relies on ----
using FileHandle = void*;  // null when closed
enum class FileAccess { Read, ReadWrite };
enum class FileShare { None, Read, ReadWrite };
enum class FileDisposition { OpenExisting, CreateAlways };
enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };
constexpr uint32_t kInvalidPosition = 0xFFFFFFFFu;

// Opens a file; on failure returns null and stores the platform error code
// (Windows numbering on both builds: 2 not found, 3 path not found, 5 access
// denied, 32 sharing violation, 112 disk full, ...).
FileHandle FileOpen(const WCHAR* path, FileAccess access, FileShare share,
                    FileDisposition disposition, bool sequentialHint, uint32_t* error);
void FileClose(FileHandle file);
bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done);
bool FileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* done);
// Signed 32-bit distance; returns the new position or kInvalidPosition.
uint32_t FileSeek(FileHandle file, int32_t distance, SeekOrigin origin);
bool FileTruncateAtPosition(FileHandle file);  // end of file = current position
// 64-bit absolute positioning, for sample data addressed by 64-bit offsets.
bool FileSetPosition(FileHandle file, uint64_t position);
// Reads at an absolute offset without depending on the shared file pointer
// (several streams may read one instrument's files in turn).
bool FileReadAt(FileHandle file, uint64_t offset, void* buffer, uint32_t count, uint32_t* done);
bool FileSize(FileHandle file, uint64_t* size);
bool FileDelete(const WCHAR* path);
uint32_t LastError();
HRESULT HresultFromError(uint32_t error);

// ---- Code page: the system ANSI code page (Windows-1252 on Linux) ----
// Same contract as MultiByteToWideChar / WideCharToMultiByte: a source length
// of -1 converts through the terminator (which is counted); a capacity of 0
// returns the needed size.
int AnsiToWide(const char* src, int srcLen, WCHAR* dst, int dstCapacity);
int WideToAnsi(const WCHAR* src, int srcLen, char* dst, int dstCapacity);
std::u16string AnsiToU16(const char* src, size_t len);
std::string U16ToAnsi(const std::u16string& src);
std::string U16ToUtf8(const std::u16string& src);
std::u16string Utf8ToU16(const std::string& src);
size_t WideLength(const WCHAR* s);

// ---- System strings (BSTR) ----
BSTR BstrAlloc(const WCHAR* text);
BSTR BstrAllocLen(const WCHAR* text, uint32_t chars);
void BstrFree(BSTR text);
uint32_t BstrLen(BSTR text);

// ---- Volumes ----
struct VolumeInfo {
    std::u16string fileSystem;  // "NTFS", "FAT32", "ext4", ...
    uint64_t freeBytes = 0;
};
bool QueryVolume(const WCHAR* path, VolumeInfo* info);
using VolumeQueryFn = bool (*)(const WCHAR* path, VolumeInfo* info);
// Tests replace the volume query to reach disk-full and file-system limits.
void SetVolumeQueryForTesting(VolumeQueryFn fn);

// ---- MD5, loaded on first use ----
bool Md5Available();
class Md5 {
public:
    Md5();
    bool ok() const { return ok_; }
    void Update(const void* data, size_t bytes);
    void Final(uint8_t digest[16]);

private:
    alignas(16) unsigned char ctx_[128];
    bool ok_ = false;
};

// ---- Modules and string resources ----
using ModuleHandle = void*;
ModuleHandle SelfModule();  // the module (or test program) this code is linked into
std::u16string ModulePath(ModuleHandle module);
ModuleHandle LoadLanguageModule(const WCHAR* path);  // null when it cannot be loaded
void FreeLanguageModule(ModuleHandle module);
// One string of a module's string table in one language (block id/16+1, entry
// id%16). Returns false when absent. The text is not terminated.
bool FindStringResource(ModuleHandle module, uint16_t language, uint32_t id,
                        const WCHAR** text, size_t* length);
// The platform's plain string loading from a module in its default language.
int LoadStringDefault(ModuleHandle module, uint32_t id, WCHAR* buffer, int capacity);

// String tables compiled into a Linux module (and into a Linux language module,
// which exports one under the name kLanguageModuleTableSymbol).
struct StringResourceEntry {
    uint16_t language;
    uint16_t length;
    uint32_t id;
    const WCHAR* text;
};
struct StringResourceTable {
    const StringResourceEntry* entries;
    size_t count;
};
constexpr const char* kLanguageModuleTableSymbol = "ZuLanguageModuleStrings";

// ---- Host memory handed over as a memory token, mapped for writing ----
struct TokenTarget {
    uint64_t mappingHandle = 0;  // kind 1: the owner's mapping handle (Linux: descriptor number)
    uint64_t baseAddress = 0;    // the owner's base address
    uint32_t size = 0;
    uint32_t offset = 0;
    uint32_t kind = 0;  // 0 process memory, 1 file mapping
    uint32_t ownerProcessId = 0;
};

// In the owner's own process the data pointer is base + offset. In another
// process a kind-1 mapping is duplicated and mapped; kind 0 gets a zero-filled
// local buffer that the destructor writes back into the owner's memory.
class TokenWriteMapping {
public:
    explicit TokenWriteMapping(const TokenTarget& target);
    ~TokenWriteMapping();
    TokenWriteMapping(const TokenWriteMapping&) = delete;
    TokenWriteMapping& operator=(const TokenWriteMapping&) = delete;
    uint8_t* data() const { return data_; }  // null when the token could not be mapped
    uint32_t size() const { return target_.size; }
    // Delivers what was written (another process's memory gets the local
    // buffer now); false when that failed. The destructor finishes too.
    bool Finish();

private:
    TokenTarget target_;
    uint8_t* data_ = nullptr;
    void* view_ = nullptr;
    size_t viewBytes_ = 0;
    void* duplicate_ = nullptr;
    uint8_t* local_ = nullptr;
    bool finished_ = false;
};

// ---- The process's default window layout (right-to-left languages) ----
void SetDefaultLayoutRightToLeft(bool rtl);
bool DefaultLayoutRightToLeft();

// ---- About box: a message box on Windows, nothing to show on Linux ----
void ShowMessageBox(void* parentWindow, const WCHAR* text, const WCHAR* title);

}  // namespace zu::platform

#endif

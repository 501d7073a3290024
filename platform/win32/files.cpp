// Win32 files with 32-bit positions: SetFilePointer without a high part takes a
// signed 32-bit distance and answers INVALID_SET_FILE_POINTER on failure.
#include <windows.h>

#include "platform/platform.h"

namespace zu::platform {

uint32_t LastError() { return ::GetLastError(); }

HRESULT HresultFromError(uint32_t error) {
    if (error == 0) return E_FAIL;
    return HRESULT_FROM_WIN32(error);
}

FileHandle FileOpen(const WCHAR* path, FileAccess access, FileShare share, FileDisposition disposition,
                    bool sequentialHint, uint32_t* error) {
    const DWORD acc = access == FileAccess::Read ? GENERIC_READ : (GENERIC_READ | GENERIC_WRITE);
    DWORD sh = 0;
    if (share == FileShare::Read) sh = FILE_SHARE_READ;
    if (share == FileShare::ReadWrite) sh = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD disp = disposition == FileDisposition::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
    const DWORD attrs = FILE_ATTRIBUTE_NORMAL | (sequentialHint ? FILE_FLAG_SEQUENTIAL_SCAN : 0);
    HANDLE h = ::CreateFileW(path, acc, sh, nullptr, disp, attrs, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = ::GetLastError();
        return nullptr;
    }
    if (error) *error = 0;
    return h;
}

void FileClose(FileHandle file) {
    if (file) ::CloseHandle(file);
}

bool FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    DWORD n = 0;
    const BOOL ok = file && ::ReadFile(file, buffer, count, &n, nullptr);
    if (done) *done = ok ? n : 0;
    return ok != FALSE;
}

bool FileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* done) {
    DWORD n = 0;
    const BOOL ok = file && ::WriteFile(file, buffer, count, &n, nullptr);
    if (done) *done = ok ? n : 0;
    return ok != FALSE;
}

uint32_t FileSeek(FileHandle file, int32_t distance, SeekOrigin origin) {
    if (!file) return kInvalidPosition;
    const DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
    return ::SetFilePointer(file, distance, nullptr, method);
}

bool FileSetPosition(FileHandle file, uint64_t position) {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(position);
    return file && position <= static_cast<uint64_t>(INT64_MAX) && ::SetFilePointerEx(file, li, nullptr, FILE_BEGIN);
}

bool FileReadAt(FileHandle file, uint64_t offset, void* buffer, uint32_t count, uint32_t* done) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const BOOL ok = file && ::ReadFile(file, buffer, count, &n, &at);
    if (done) *done = ok ? n : 0;
    // Reading at or past the end is a short read, not a failure.
    return ok != FALSE || ::GetLastError() == ERROR_HANDLE_EOF;
}

bool FileTruncateAtPosition(FileHandle file) { return file && ::SetEndOfFile(file); }

bool FileSize(FileHandle file, uint64_t* size) {
    LARGE_INTEGER li;
    if (!file || !::GetFileSizeEx(file, &li)) return false;
    if (size) *size = static_cast<uint64_t>(li.QuadPart);
    return true;
}

bool FileDelete(const WCHAR* path) { return path && ::DeleteFileW(path); }

}  // namespace zu::platform

#include "riff/disk_file.h"

#include "riff/riff_chunk_info.h"

namespace zu {

bool CDiskFile::Open(const WCHAR* path, uint32_t openMode) {
    Close();
    using platform::FileAccess;
    using platform::FileDisposition;
    using platform::FileShare;
    FileAccess access;
    FileShare share;
    FileDisposition disposition;
    bool sequential;
    switch (openMode) {
        case RIFF_OPEN_READ:
            access = FileAccess::Read;
            share = FileShare::ReadWrite;
            disposition = FileDisposition::OpenExisting;
            sequential = false;
            break;
        case RIFF_OPEN_READWRITE:
            access = FileAccess::ReadWrite;
            share = FileShare::None;
            disposition = FileDisposition::OpenExisting;
            sequential = true;
            break;
        case RIFF_OPEN_CREATE:
            access = FileAccess::ReadWrite;
            share = FileShare::None;
            disposition = FileDisposition::CreateAlways;
            sequential = true;
            break;
        default:
            openError_ = 87;  // ERROR_INVALID_PARAMETER
            return false;
    }
    if (!path) {
        openError_ = 3;
        return false;
    }
    handle_ = platform::FileOpen(path, access, share, disposition, sequential, &openError_);
    return handle_ != nullptr;
}

bool CDiskFile::Attach(platform::FileHandle handle) {
    Close();
    handle_ = handle;
    return handle_ != nullptr;
}

platform::FileHandle CDiskFile::Detach() {
    platform::FileHandle h = handle_;
    handle_ = nullptr;
    return h;
}

void CDiskFile::Close() {
    if (handle_) platform::FileClose(handle_);
    handle_ = nullptr;
}

uint32_t CDiskFile::Seek(int32_t distance, platform::SeekOrigin origin) {
    if (!handle_) return platform::kInvalidPosition;
    return platform::FileSeek(handle_, distance, origin);
}

uint32_t CDiskFile::Read(void* buffer, uint32_t count) {
    if (!handle_ || count == 0 || !buffer) return 0;
    uint32_t done = 0;
    platform::FileRead(handle_, buffer, count, &done);
    return done <= count ? done : 0;
}

uint32_t CDiskFile::Write(const void* buffer, uint32_t count) {
    if (!handle_ || count == 0 || !buffer) return 0;
    uint32_t done = 0;
    platform::FileWrite(handle_, buffer, count, &done);
    return done <= count ? done : 0;
}

bool CDiskFile::Size(uint64_t* size) const { return handle_ && platform::FileSize(handle_, size); }

}  // namespace zu

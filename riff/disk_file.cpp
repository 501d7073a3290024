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
    writeFailed_ = false;
    return handle_ != nullptr;
}

bool CDiskFile::Attach(platform::FileHandle handle) {
    Close();
    handle_ = handle;
    writeFailed_ = false;
    return handle_ != nullptr;
}

platform::FileHandle CDiskFile::Detach() {
    Flush();
    platform::FileHandle h = handle_;
    handle_ = nullptr;
    return h;
}

bool CDiskFile::Close() {
    const bool flushed = Flush();
    if (handle_) platform::FileClose(handle_);
    handle_ = nullptr;
    pending_ = std::vector<uint8_t>();
    return flushed && !writeFailed_;
}

bool CDiskFile::WriteThrough(const void* buffer, uint32_t count) {
    uint32_t done = 0;
    const bool ok = platform::FileWrite(handle_, buffer, count, &done) && done == count;
    if (!ok) writeFailed_ = true;
    return ok;
}

bool CDiskFile::Flush() {
    if (pending_.empty() || !handle_) return !writeFailed_;
    const bool ok = WriteThrough(pending_.data(), static_cast<uint32_t>(pending_.size()));
    pending_.clear();
    return ok;
}

uint32_t CDiskFile::Seek(int32_t distance, platform::SeekOrigin origin) {
    if (!handle_) return platform::kInvalidPosition;
    // Asking where we are needs no flush: the gathered bytes follow the handle's position.
    if (distance == 0 && origin == platform::SeekOrigin::Current && !pending_.empty()) {
        const uint32_t at = platform::FileSeek(handle_, 0, origin);
        const uint64_t end = uint64_t{at} + pending_.size();
        return at == platform::kInvalidPosition || end >= platform::kInvalidPosition ? platform::kInvalidPosition
                                                                                      : static_cast<uint32_t>(end);
    }
    if (!Flush()) return platform::kInvalidPosition;
    return platform::FileSeek(handle_, distance, origin);
}

uint32_t CDiskFile::Read(void* buffer, uint32_t count) {
    if (!handle_ || count == 0 || !buffer || !Flush()) return 0;
    uint32_t done = 0;
    platform::FileRead(handle_, buffer, count, &done);
    return done <= count ? done : 0;
}

uint32_t CDiskFile::Write(const void* buffer, uint32_t count) {
    if (!handle_ || count == 0 || !buffer || writeFailed_) return 0;
    if (pending_.size() + count > kGatherBytes && !Flush()) return 0;
    if (count >= kGatherBytes) return WriteThrough(buffer, count) ? count : 0;
    if (pending_.capacity() < kGatherBytes) pending_.reserve(kGatherBytes);
    pending_.insert(pending_.end(), static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + count);
    return count;
}

bool CDiskFile::Size(uint64_t* size) {
    // The gathered bytes belong to the file's size; a failed flush has no size.
    return handle_ && Flush() && platform::FileSize(handle_, size);
}

}  // namespace zu

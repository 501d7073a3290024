// Linux stand-in for CreateFileW/ReadFile/WriteFile/SetFilePointer/CloseHandle.
// Linux has no share modes, so the module's own open files are registered by
// device and inode and checked against each other as Windows would: a file
// opened without sharing cannot be opened again, and a writer cannot open a
// file that a reader holds without write sharing.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#include "platform/platform.h"

namespace zu::platform {
namespace {

struct LinuxFile {
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    FileAccess access = FileAccess::Read;
    FileShare share = FileShare::None;
};

thread_local uint32_t t_lastError = 0;

std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}
std::vector<LinuxFile*>& Registry() {
    static std::vector<LinuxFile*> open;
    return open;
}

bool ShareAllowsRead(FileShare s) { return s == FileShare::Read || s == FileShare::ReadWrite; }
bool ShareAllowsWrite(FileShare s) { return s == FileShare::ReadWrite; }

bool Compatible(const LinuxFile& held, FileAccess access, FileShare share) {
    // The new open must be allowed by the holder's share mode...
    if (!ShareAllowsRead(held.share)) return false;  // every access reads here
    if (access == FileAccess::ReadWrite && !ShareAllowsWrite(held.share)) return false;
    // ...and the holder's access must be allowed by the new share mode.
    if (!ShareAllowsRead(share)) return false;
    if (held.access == FileAccess::ReadWrite && !ShareAllowsWrite(share)) return false;
    return true;
}

uint32_t ErrorFromErrno(int e) {
    switch (e) {
        case ENOENT: return 2;     // ERROR_FILE_NOT_FOUND
        case ENOTDIR: return 3;    // ERROR_PATH_NOT_FOUND
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return 5;     // ERROR_ACCESS_DENIED
        case EMFILE:
        case ENFILE: return 4;     // ERROR_TOO_MANY_OPEN_FILES
        case ENOSPC: return 112;   // ERROR_DISK_FULL
        case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
        case EFBIG: return 223;    // ERROR_FILE_TOO_LARGE
        case EIO: return 1117;     // ERROR_IO_DEVICE
        default: return 31;        // ERROR_GEN_FAILURE
    }
}

// Windows reports a missing folder as "path not found", not "file not found".
uint32_t OpenError(int e, const std::string& path) {
    if (e == ENOENT) {
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash > 0) {
            struct stat st {};
            if (::stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 3;
        }
    }
    return ErrorFromErrno(e);
}

std::string NativePath(const WCHAR* path) {
    std::string p = U16ToUtf8(std::u16string(path, WideLength(path)));
    std::replace(p.begin(), p.end(), '\\', '/');  // a backslash separates folders on both builds
    return p;
}

LinuxFile* AsFile(FileHandle h) { return static_cast<LinuxFile*>(h); }

}  // namespace

uint32_t LastError() { return t_lastError; }

HRESULT HresultFromError(uint32_t error) {
    if (error == 0) return E_FAIL;
    return static_cast<HRESULT>((error & 0xFFFFu) | 0x80070000u);
}

FileHandle FileOpen(const WCHAR* path, FileAccess access, FileShare share, FileDisposition disposition,
                    bool /*sequentialHint*/, uint32_t* error) {
    auto fail = [&](uint32_t e) -> FileHandle {
        t_lastError = e;
        if (error) *error = e;
        return nullptr;
    };
    if (!path || !path[0]) return fail(3);
    const std::string native = NativePath(path);
    int flags = O_CLOEXEC | (access == FileAccess::Read ? O_RDONLY : O_RDWR);
    if (disposition == FileDisposition::CreateAlways) flags |= O_CREAT;
    const int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) return fail(OpenError(errno, native));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(5);
    }
    auto* file = new (std::nothrow) LinuxFile();
    if (!file) {
        ::close(fd);
        return fail(8);  // ERROR_NOT_ENOUGH_MEMORY
    }
    file->fd = fd;
    file->dev = st.st_dev;
    file->ino = st.st_ino;
    file->access = access;
    file->share = share;
    {
        std::lock_guard<std::mutex> g(RegistryLock());
        for (const LinuxFile* held : Registry()) {
            if (held->dev == st.st_dev && held->ino == st.st_ino && !Compatible(*held, access, share)) {
                ::close(fd);
                delete file;
                return fail(32);  // ERROR_SHARING_VIOLATION
            }
        }
        Registry().push_back(file);
    }
    // Truncate only once the share check has passed, so a refused create never
    // destroys a file that another open holds.
    // An empty file is left alone: ext4 takes a truncation to zero for a
    // replace-by-rewrite and flushes the whole new file on close.
    if (disposition == FileDisposition::CreateAlways && st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
        const int e = errno;
        FileClose(file);
        return fail(ErrorFromErrno(e));
    }
    t_lastError = 0;
    if (error) *error = 0;
    return file;
}

void FileClose(FileHandle h) {
    LinuxFile* file = AsFile(h);
    if (!file) return;
    {
        std::lock_guard<std::mutex> g(RegistryLock());
        auto& reg = Registry();
        reg.erase(std::remove(reg.begin(), reg.end(), file), reg.end());
    }
    ::close(file->fd);
    delete file;
}

bool FileRead(FileHandle h, void* buffer, uint32_t count, uint32_t* done) {
    if (done) *done = 0;
    LinuxFile* file = AsFile(h);
    if (!file) return false;
    uint32_t total = 0;
    auto* p = static_cast<unsigned char*>(buffer);
    while (total < count) {
        const ssize_t n = ::read(file->fd, p + total, count - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            t_lastError = ErrorFromErrno(errno);
            if (done) *done = total;
            return false;
        }
        if (n == 0) break;  // end of file: a short read that still succeeds
        total += static_cast<uint32_t>(n);
    }
    if (done) *done = total;
    return true;
}

bool FileWrite(FileHandle h, const void* buffer, uint32_t count, uint32_t* done) {
    if (done) *done = 0;
    LinuxFile* file = AsFile(h);
    if (!file || file->access != FileAccess::ReadWrite) {
        t_lastError = 5;
        return false;
    }
    uint32_t total = 0;
    const auto* p = static_cast<const unsigned char*>(buffer);
    while (total < count) {
        const ssize_t n = ::write(file->fd, p + total, count - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            t_lastError = ErrorFromErrno(errno);
            if (done) *done = total;
            return false;
        }
        total += static_cast<uint32_t>(n);
    }
    if (done) *done = total;
    return true;
}

uint32_t FileSeek(FileHandle h, int32_t distance, SeekOrigin origin) {
    LinuxFile* file = AsFile(h);
    if (!file) return kInvalidPosition;
    off_t base = 0;
    if (origin == SeekOrigin::Current) base = ::lseek(file->fd, 0, SEEK_CUR);
    else if (origin == SeekOrigin::End) base = ::lseek(file->fd, 0, SEEK_END);
    if (base < 0) return kInvalidPosition;
    const int64_t target = static_cast<int64_t>(base) + distance;
    // Positions are 32-bit: before the start or beyond 4 GB is a failure.
    if (target < 0 || target >= static_cast<int64_t>(kInvalidPosition)) {
        t_lastError = 131;  // ERROR_NEGATIVE_SEEK
        return kInvalidPosition;
    }
    if (::lseek(file->fd, static_cast<off_t>(target), SEEK_SET) < 0) return kInvalidPosition;
    return static_cast<uint32_t>(target);
}

bool FileSetPosition(FileHandle h, uint64_t position) {
    LinuxFile* file = AsFile(h);
    if (!file || position > static_cast<uint64_t>(INT64_MAX)) return false;
    return ::lseek(file->fd, static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool FileReadAt(FileHandle h, uint64_t offset, void* buffer, uint32_t count, uint32_t* done) {
    if (done) *done = 0;
    LinuxFile* file = AsFile(h);
    if (!file || offset > static_cast<uint64_t>(INT64_MAX)) return false;
    uint32_t total = 0;
    auto* p = static_cast<unsigned char*>(buffer);
    while (total < count) {
        const ssize_t n = ::pread(file->fd, p + total, count - total, static_cast<off_t>(offset + total));
        if (n < 0) {
            if (errno == EINTR) continue;
            t_lastError = ErrorFromErrno(errno);
            if (done) *done = total;
            return false;
        }
        if (n == 0) break;
        total += static_cast<uint32_t>(n);
    }
    if (done) *done = total;
    return true;
}

bool FileTruncateAtPosition(FileHandle h) {
    LinuxFile* file = AsFile(h);
    if (!file) return false;
    const off_t pos = ::lseek(file->fd, 0, SEEK_CUR);
    return pos >= 0 && ::ftruncate(file->fd, pos) == 0;
}

bool FileSize(FileHandle h, uint64_t* size) {
    LinuxFile* file = AsFile(h);
    struct stat st {};
    if (!file || ::fstat(file->fd, &st) != 0) return false;
    if (size) *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool FileDelete(const WCHAR* path) {
    if (!path) return false;
    if (::unlink(NativePath(path).c_str()) != 0) {
        t_lastError = ErrorFromErrno(errno);
        return false;
    }
    return true;
}

}  // namespace zu::platform

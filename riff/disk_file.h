// The RIFF handler's disk back-end: one operating-system file handle with
// 32-bit positions (files up to 2 GB are reachable by absolute seeks).
// Writes at the current position are gathered and reach the file in large
// pieces: writers hand over a few kilobytes at a time, and one system call
// (and one partly filled page) per block would cost more than the copy.
#ifndef ZU_RIFF_DISK_FILE_H
#define ZU_RIFF_DISK_FILE_H

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace zu {

class CDiskFile {
public:
    CDiskFile() = default;
    ~CDiskFile() { Close(); }
    CDiskFile(const CDiskFile&) = delete;
    CDiskFile& operator=(const CDiskFile&) = delete;

    // openMode is RIFF_OPEN_READ, RIFF_OPEN_READWRITE or RIFF_OPEN_CREATE;
    // any other mode fails. Closes a handle that was open before.
    bool Open(const WCHAR* path, uint32_t openMode);
    // Adopts an open handle; it is closed by Close unless Detach gives it back.
    bool Attach(platform::FileHandle handle);
    // Forgets the handle without closing it (it belongs to someone else).
    platform::FileHandle Detach();
    // False when gathered bytes could not be written: the file is incomplete.
    bool Close();

    // Signed 32-bit distance; the new position, or 0xFFFFFFFF on failure.
    uint32_t Seek(int32_t distance, platform::SeekOrigin origin);
    uint32_t Read(void* buffer, uint32_t count);         // bytes read
    uint32_t Write(const void* buffer, uint32_t count);  // bytes written
    bool Size(uint64_t* size);

    // Gathered bytes reach the file before anyone else may use the handle.
    platform::FileHandle GetHandle() {
        Flush();
        return handle_;
    }
    // Sticky: some write (perhaps a gathered one) did not reach the file.
    bool WriteFailed() const { return writeFailed_; }
    bool IsOpen() const { return handle_ != nullptr; }
    // Platform error code of the last failed Open.
    uint32_t LastOpenError() const { return openError_; }

private:
    static constexpr size_t kGatherBytes = 256 * 1024;
    bool Flush();
    bool WriteThrough(const void* buffer, uint32_t count);

    platform::FileHandle handle_ = nullptr;
    uint32_t openError_ = 0;
    std::vector<uint8_t> pending_;  // bytes that follow the handle's position
    bool writeFailed_ = false;
};

}  // namespace zu

#endif

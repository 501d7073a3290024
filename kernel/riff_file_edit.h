// Edits of a RIFF file in place, at the top level of its form: finding a
// chunk, cutting one out, appending data at the end of the form and keeping
// the form's size field in step. Every position and size taken from the file
// is checked against the file's real length, so a hostile size field can
// neither move a read or write outside the file nor make a walk loop.
#ifndef ZU_KERNEL_RIFF_FILE_EDIT_H
#define ZU_KERNEL_RIFF_FILE_EDIT_H

#include <cstdint>

#include "platform/platform.h"
#include "zuinstr/zuinstr_types.h"

namespace zu {

// A form may not reach this size: its 8-byte header must still fit 32 bits.
constexpr uint32_t kRiffSizeLimit = 0xFFFFFFF8u;

// Closes a platform file handle when it goes out of scope.
class ScopedFile {
public:
    explicit ScopedFile(platform::FileHandle file = nullptr) : file_(file) {}
    ~ScopedFile() { Close(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    platform::FileHandle Get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    void Close() {
        if (file_) platform::FileClose(file_);
        file_ = nullptr;
    }

private:
    platform::FileHandle file_;
};

// One top-level chunk: the offset of its 8-byte header, its size field and
// the offset just past it (data plus the pad byte of an odd size).
struct RiffChunkSpan {
    uint64_t offset = 0;
    uint32_t size = 0;
    uint64_t end = 0;
};

// Reads the form's size field (offset 4). 0x8004E080 when the file does not
// start with "RIFF", 0x8004E008 on a short read.
HRESULT riff_ReadRIFFSize(platform::FileHandle file, uint32_t* size);

// Finds the first top-level chunk `id` or, with listFlag, the first top-level
// "LIST" of list type `id`. Only chunk headers that lie wholly inside both the
// form and the file are looked at. 0x8004E00A when there is none.
HRESULT riff_FindTopLevelChunk(platform::FileHandle file, uint32_t id, bool listFlag, RiffChunkSpan* span);

// Removes the first top-level chunk `id` (listFlag: the first "LIST" of type
// `id`) by moving everything behind it forward in 4,096-byte blocks, cutting
// the file and lowering the form's size. removedBytes (may be null) receives
// the bytes cut (header, data, pad byte). 0x8004E00A not found, 0x8004E080
// not RIFF, 0x8004E008 short read (also: the chunk runs past the end of the
// file, which is then left untouched), 0x8004E009 failed write.
HRESULT riff_DeleteChunk(platform::FileHandle file, uint32_t id, uint32_t* removedBytes, bool listFlag);

// Adds delta to the form's size field and restores the file position. When
// the size would reach 0xFFFFFFF8 the file is cut back to the end of the old
// form and the result is 0x8004E03A.
HRESULT riff_UpdateRIFFSize(platform::FileHandle file, int64_t delta);

// Writes bytes at the end of the form and adds their count to its size.
// 0x8004E03A (nothing written) when the form would reach 0xFFFFFFF8 bytes;
// 0x8004E009 when a write fails, after cutting the partial data off again.
HRESULT riff_AppendToForm(platform::FileHandle file, const void* data, uint32_t bytes);

}  // namespace zu

#endif

// The shared library's memory stream: a reference-counted byte stream over a
// caller's memory block, which it never owns or frees. Reads stop at the size;
// writes may grow the size up to the capacity and are cut off there; seeks
// beyond the capacity fail. One user at a time apart from the count.
#ifndef ZU_RIFF_MEMORY_STREAM_H
#define ZU_RIFF_MEMORY_STREAM_H

#include <cstdint>

#include "platform/platform.h"
#include "plugin/com_object.h"

namespace zu {

class CMemoryStream : public RefCounted<CMemoryStream> {
public:
    // Use ZuCreateStreamFromMemory; public only for the allocator's placement.
    CMemoryStream(uint8_t* block, uint32_t size, uint32_t capacity, bool readOnly)
        : block_(block), size_(size), capacity_(capacity), readOnly_(readOnly) {}

    ULONG AddRef() { return AddRefImpl(); }
    ULONG Release() { return ReleaseImpl(); }

    uint32_t Read(void* buffer, uint32_t count);         // bytes read
    uint32_t Write(const void* buffer, uint32_t count);  // bytes written, fewer at the capacity
    // The new position, or 0xFFFFFFFF when it would be before 0 or beyond the capacity.
    uint32_t Seek(int32_t distance, platform::SeekOrigin origin);

    uint32_t Position() const { return pos_; }
    uint32_t Size() const { return size_; }
    uint32_t Capacity() const { return capacity_; }
    const uint8_t* Data() const { return block_; }

private:
    uint8_t* block_;
    uint32_t size_;
    uint32_t capacity_;
    uint32_t pos_ = 0;
    bool readOnly_;
};

// A stream over block with the given size and capacity (size is clamped to the
// capacity), reference count 1; null for a null block or when memory runs out.
CMemoryStream* ZuCreateStreamFromMemory(void* block, uint32_t size, uint32_t capacity);
// The same over memory the stream must never write: every write reports 0 bytes.
CMemoryStream* ZuCreateStreamFromReadOnlyMemory(const void* block, uint32_t size);

}  // namespace zu

#endif

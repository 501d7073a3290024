#include "riff/memory_stream.h"

#include <algorithm>
#include <cstring>

#include "plugin/allocator.h"

namespace zu {
namespace {

CMemoryStream* Create(uint8_t* block, uint32_t size, uint32_t capacity, bool readOnly) {
    if (!block) return nullptr;
    CMemoryStream* stream = ZuNew<CMemoryStream>(block, std::min(size, capacity), capacity, readOnly);
    if (stream) stream->AddRef();
    return stream;
}

}  // namespace

uint32_t CMemoryStream::Read(void* buffer, uint32_t count) {
    if (!buffer || pos_ >= size_) return 0;
    const uint32_t n = std::min(count, size_ - pos_);
    if (n) std::memcpy(buffer, block_ + pos_, n);
    pos_ += n;
    return n;
}

uint32_t CMemoryStream::Write(const void* buffer, uint32_t count) {
    if (readOnly_ || !buffer || pos_ >= capacity_) return 0;
    const uint32_t n = std::min(count, capacity_ - pos_);
    if (n) std::memcpy(block_ + pos_, buffer, n);
    pos_ += n;
    size_ = std::max(size_, pos_);
    return n;
}

uint32_t CMemoryStream::Seek(int32_t distance, platform::SeekOrigin origin) {
    int64_t base = 0;
    if (origin == platform::SeekOrigin::Current) base = pos_;
    else if (origin == platform::SeekOrigin::End) base = size_;
    const int64_t target = base + distance;
    if (target < 0 || target > static_cast<int64_t>(capacity_) || target == platform::kInvalidPosition)
        return platform::kInvalidPosition;
    pos_ = static_cast<uint32_t>(target);
    return pos_;
}

CMemoryStream* ZuCreateStreamFromMemory(void* block, uint32_t size, uint32_t capacity) {
    return Create(static_cast<uint8_t*>(block), size, capacity, false);
}

CMemoryStream* ZuCreateStreamFromReadOnlyMemory(const void* block, uint32_t size) {
    // The block is only ever read through this stream.
    return Create(const_cast<uint8_t*>(static_cast<const uint8_t*>(block)), size, size, true);
}

}  // namespace zu

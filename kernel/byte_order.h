// Little-endian loads and stores, and one bounds-checked reader for bytes that
// come from files: every integer of a RIFF file or a record goes through here.
#ifndef ZU_KERNEL_BYTE_ORDER_H
#define ZU_KERNEL_BYTE_ORDER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zu {

inline uint16_t LoadLE16(const void* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t LoadLE32(const void* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
}
inline uint64_t LoadLE64(const void* p) {
    return static_cast<uint64_t>(LoadLE32(p)) | (static_cast<uint64_t>(LoadLE32(static_cast<const uint8_t*>(p) + 4)) << 32);
}
inline void StoreLE16(void* p, uint16_t v) {
    auto* b = static_cast<uint8_t*>(p);
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(void* p, uint32_t v) {
    auto* b = static_cast<uint8_t*>(p);
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
    b[2] = static_cast<uint8_t>(v >> 16);
    b[3] = static_cast<uint8_t>(v >> 24);
}
inline void StoreLE64(void* p, uint64_t v) {
    StoreLE32(p, static_cast<uint32_t>(v));
    StoreLE32(static_cast<uint8_t*>(p) + 4, static_cast<uint32_t>(v >> 32));
}

// A FourCC as the 32-bit value whose little-endian bytes are the four characters.
constexpr uint32_t FourCC(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}

// Reads from a byte range; every read checks the bounds and fails (returns
// false and leaves the output untouched) instead of reading past the end.
class ByteReader {
public:
    ByteReader(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

    size_t size() const { return size_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool Seek(size_t pos) {
        if (pos > size_) return false;
        pos_ = pos;
        return true;
    }
    bool Skip(size_t n) { return n <= remaining() ? (pos_ += n, true) : false; }

    bool U8(uint8_t* v) { return Fixed(v, 1, [](const uint8_t* p) { return p[0]; }); }
    bool U16(uint16_t* v) { return Fixed(v, 2, LoadLE16); }
    bool U32(uint32_t* v) { return Fixed(v, 4, LoadLE32); }
    bool U64(uint64_t* v) { return Fixed(v, 8, LoadLE64); }
    bool Bytes(void* out, size_t n) {
        if (n > remaining()) return false;
        if (n) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    // A view of the next n bytes without copying them.
    const uint8_t* View(size_t n) {
        if (n > remaining()) return nullptr;
        const uint8_t* p = data_ + pos_;
        pos_ += n;
        return p;
    }
    // Reads at an absolute offset without moving the position.
    bool U32At(size_t offset, uint32_t* v) const {
        if (offset > size_ || size_ - offset < 4) return false;
        *v = LoadLE32(data_ + offset);
        return true;
    }

private:
    template <typename T, typename F>
    bool Fixed(T* v, size_t n, F load) {
        if (n > remaining()) return false;
        *v = static_cast<T>(load(data_ + pos_));
        pos_ += n;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace zu

#endif

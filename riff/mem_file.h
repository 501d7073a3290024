// The RIFF handler's memory back-end: a memory stream over a caller's block,
// whose size and capacity are both the block size.
#ifndef ZU_RIFF_MEM_FILE_H
#define ZU_RIFF_MEM_FILE_H

#include <cstdint>

#include "platform/platform.h"
#include "riff/memory_stream.h"

namespace zu {

class CMemFile {
public:
    CMemFile() = default;
    ~CMemFile() { Close(); }
    CMemFile(const CMemFile&) = delete;
    CMemFile& operator=(const CMemFile&) = delete;

    // Creates the stream over the block; closes a stream that was open before.
    bool Open(void* block, uint32_t size);
    bool OpenReadOnly(const void* block, uint32_t size);
    // Takes a reference on an existing stream.
    bool Attach(CMemoryStream* stream);
    // Releases the stream reference; for memory that is all closing does.
    void Detach() { Close(); }
    void Close();

    uint32_t Seek(int32_t distance, platform::SeekOrigin origin);
    uint32_t Read(void* buffer, uint32_t count);
    uint32_t Write(const void* buffer, uint32_t count);
    bool Size(uint64_t* size) const;

    CMemoryStream* Stream() const { return stream_; }
    const void* Block() const { return block_; }
    bool IsOpen() const { return stream_ != nullptr; }

private:
    CMemoryStream* stream_ = nullptr;
    const void* block_ = nullptr;
};

}  // namespace zu

#endif

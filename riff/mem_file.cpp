#include "riff/mem_file.h"

namespace zu {

bool CMemFile::Open(void* block, uint32_t size) {
    Close();
    stream_ = ZuCreateStreamFromMemory(block, size, size);
    block_ = stream_ ? block : nullptr;
    return stream_ != nullptr;
}

bool CMemFile::OpenReadOnly(const void* block, uint32_t size) {
    Close();
    stream_ = ZuCreateStreamFromReadOnlyMemory(block, size);
    block_ = stream_ ? block : nullptr;
    return stream_ != nullptr;
}

bool CMemFile::Attach(CMemoryStream* stream) {
    Close();
    if (!stream) return false;
    stream->AddRef();
    stream_ = stream;
    block_ = stream->Data();
    return true;
}

void CMemFile::Close() {
    if (stream_) stream_->Release();
    stream_ = nullptr;
    block_ = nullptr;
}

uint32_t CMemFile::Seek(int32_t distance, platform::SeekOrigin origin) {
    return stream_ ? stream_->Seek(distance, origin) : platform::kInvalidPosition;
}

uint32_t CMemFile::Read(void* buffer, uint32_t count) { return stream_ ? stream_->Read(buffer, count) : 0; }

uint32_t CMemFile::Write(const void* buffer, uint32_t count) { return stream_ ? stream_->Write(buffer, count) : 0; }

bool CMemFile::Size(uint64_t* size) const {
    if (!stream_) return false;
    if (size) *size = stream_->Size();
    return true;
}

}  // namespace zu

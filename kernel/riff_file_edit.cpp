// Top-level RIFF edits on a disk file.
#include "kernel/riff_file_edit.h"

#include <algorithm>

#include "kernel/byte_order.h"
#include "zuinstr/zuinstr_guids.h"

namespace zu {
namespace {

constexpr uint32_t kMoveBlock = 4096;
constexpr uint64_t kFormStart = 12;  // "RIFF", size, form type

bool ReadAt(platform::FileHandle file, uint64_t offset, void* buffer, uint32_t count) {
    uint32_t done = 0;
    return platform::FileSetPosition(file, offset) && platform::FileRead(file, buffer, count, &done) && done == count;
}

bool WriteAt(platform::FileHandle file, uint64_t offset, const void* buffer, uint32_t count) {
    uint32_t done = 0;
    return platform::FileSetPosition(file, offset) && platform::FileWrite(file, buffer, count, &done) && done == count;
}

bool TruncateAt(platform::FileHandle file, uint64_t offset) {
    return platform::FileSetPosition(file, offset) && platform::FileTruncateAtPosition(file);
}

bool WriteFormSize(platform::FileHandle file, uint32_t size) {
    uint8_t b[4];
    StoreLE32(b, size);
    return WriteAt(file, 4, b, 4);
}

// The current position, to be put back after editing the size field.
class PositionKeeper {
public:
    explicit PositionKeeper(platform::FileHandle file)
        : file_(file), position_(platform::FileSeek(file, 0, platform::SeekOrigin::Current)) {}
    ~PositionKeeper() {
        if (position_ == platform::kInvalidPosition) return;
        uint64_t size = 0;
        // A position past a cut lands on the new end instead of leaving a gap.
        const uint64_t at = platform::FileSize(file_, &size) ? std::min<uint64_t>(position_, size) : position_;
        platform::FileSetPosition(file_, at);
    }
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

private:
    platform::FileHandle file_;
    uint32_t position_;
};

// Where the form ends as far as the file really holds it.
HRESULT FormLimit(platform::FileHandle file, uint32_t* formSize, uint64_t* fileSize, uint64_t* limit) {
    const HRESULT hr = riff_ReadRIFFSize(file, formSize);
    if (FAILED(hr)) return hr;
    if (!platform::FileSize(file, fileSize)) return ZU_E_FILE_READ;
    *limit = std::min<uint64_t>(static_cast<uint64_t>(*formSize) + 8, *fileSize);
    return S_OK;
}

}  // namespace

HRESULT riff_ReadRIFFSize(platform::FileHandle file, uint32_t* size) {
    if (!file || !size) return E_INVALIDARG;
    uint8_t head[8] = {};
    uint32_t done = 0;
    if (!platform::FileSetPosition(file, 0) || !platform::FileRead(file, head, sizeof head, &done)) return ZU_E_FILE_READ;
    if (done >= 4 && LoadLE32(head) != FourCC("RIFF")) return ZU_E_NO_RIFF_HEADER;
    if (done < sizeof head) return ZU_E_FILE_READ;
    *size = LoadLE32(head + 4);
    return S_OK;
}

HRESULT riff_FindTopLevelChunk(platform::FileHandle file, uint32_t id, bool listFlag, RiffChunkSpan* span) {
    if (!span) return E_INVALIDARG;
    uint32_t formSize = 0;
    uint64_t fileSize = 0, limit = 0;
    const HRESULT hr = FormLimit(file, &formSize, &fileSize, &limit);
    if (FAILED(hr)) return hr;
    // Every step moves on by at least a header, so the walk always ends.
    for (uint64_t pos = kFormStart; pos + 8 <= limit;) {
        uint8_t head[12];
        if (!ReadAt(file, pos, head, 8)) return ZU_E_FILE_READ;
        const uint32_t chunkId = LoadLE32(head);
        const uint32_t size = LoadLE32(head + 4);
        bool match = false;
        if (!listFlag) {
            match = chunkId == id;
        } else if (chunkId == FourCC("LIST") && size >= 4 && pos + 12 <= limit) {
            if (!ReadAt(file, pos + 8, head + 8, 4)) return ZU_E_FILE_READ;
            match = LoadLE32(head + 8) == id;
        }
        const uint64_t end = pos + 8 + size + (size & 1u);
        if (match) {
            span->offset = pos;
            span->size = size;
            span->end = end;
            return S_OK;
        }
        pos = end;
    }
    return ZU_E_NOT_FOUND;
}

HRESULT riff_DeleteChunk(platform::FileHandle file, uint32_t id, uint32_t* removedBytes, bool listFlag) {
    if (removedBytes) *removedBytes = 0;
    RiffChunkSpan span;
    HRESULT hr = riff_FindTopLevelChunk(file, id, listFlag, &span);
    if (FAILED(hr)) return hr;
    uint32_t formSize = 0;
    uint64_t fileSize = 0, limit = 0;
    hr = FormLimit(file, &formSize, &fileSize, &limit);
    if (FAILED(hr)) return hr;

    uint64_t end = span.end;
    // A last chunk of odd size often lacks its pad byte; anything shorter is
    // a cut file, which is left as it is rather than guessed at.
    if (end > fileSize) {
        if ((span.size & 1u) && end - fileSize == 1) end = fileSize;
        else return ZU_E_FILE_READ;
    }
    const uint64_t removed = end - span.offset;

    uint8_t block[kMoveBlock];
    uint64_t from = end, to = span.offset;
    while (from < fileSize) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kMoveBlock, fileSize - from));
        if (!ReadAt(file, from, block, n)) return ZU_E_FILE_READ;
        if (!WriteAt(file, to, block, n)) return ZU_E_FILE_WRITE;
        from += n;
        to += n;
    }
    if (!TruncateAt(file, to)) return ZU_E_FILE_WRITE;

    // A chunk that reached past the form's end (a size field too small) would
    // lower the size below the form type; it stops there.
    const uint64_t lower = std::min<uint64_t>(removed, formSize >= 4 ? formSize - 4 : 0);
    if (!WriteFormSize(file, static_cast<uint32_t>(formSize - lower))) return ZU_E_FILE_WRITE;
    if (removedBytes) *removedBytes = static_cast<uint32_t>(removed);
    return S_OK;
}

HRESULT riff_UpdateRIFFSize(platform::FileHandle file, int64_t delta) {
    if (!file) return E_INVALIDARG;
    PositionKeeper keep(file);
    uint32_t formSize = 0;
    const HRESULT hr = riff_ReadRIFFSize(file, &formSize);
    if (FAILED(hr)) return hr;
    const int64_t newSize = static_cast<int64_t>(formSize) + delta;
    if (newSize >= static_cast<int64_t>(kRiffSizeLimit)) {
        uint64_t fileSize = 0;
        if (!platform::FileSize(file, &fileSize)) return ZU_E_FILE_READ;
        // Never past the file's end: cutting there would grow the file.
        const uint64_t cut = static_cast<uint64_t>(formSize) + 8;
        if (cut < fileSize && !TruncateAt(file, cut)) return ZU_E_FILE_WRITE;
        return ZU_E_TOO_LARGE;
    }
    // The form type itself is inside the size; a smaller size is no RIFF form.
    if (newSize < 4) return E_INVALIDARG;
    if (!WriteFormSize(file, static_cast<uint32_t>(newSize))) return ZU_E_FILE_WRITE;
    return S_OK;
}

HRESULT riff_AppendToForm(platform::FileHandle file, const void* data, uint32_t bytes) {
    if (!file || (!data && bytes)) return E_INVALIDARG;
    uint32_t formSize = 0;
    uint64_t fileSize = 0, at = 0;
    HRESULT hr = FormLimit(file, &formSize, &fileSize, &at);
    if (FAILED(hr)) return hr;
    // Checked before writing: nothing is written that would only be cut off.
    if (static_cast<uint64_t>(formSize) + bytes >= kRiffSizeLimit) return ZU_E_TOO_LARGE;
    if (bytes == 0) return S_OK;
    if (!WriteAt(file, at, data, bytes)) {
        TruncateAt(file, at);
        return ZU_E_FILE_WRITE;
    }
    hr = riff_UpdateRIFFSize(file, bytes);
    if (FAILED(hr)) {
        TruncateAt(file, at);
        return hr;
    }
    // Leave the position after the new data, where a further write would go.
    platform::FileSetPosition(file, at + bytes);
    return S_OK;
}

}  // namespace zu

// Every RIFF read and write of the module: a stack of open chunks over a disk
// or memory back-end, with descend, ascend and create in the manner of the
// classic multimedia-I/O RIFF calls. Operations return 1 for success and 0 for
// failure. Sizes come from untrusted files: positions are computed in 64 bits
// and checked before any seek, chunk data is never buffered, and every search
// moves strictly forward. One user at a time; no lock.
#ifndef ZU_RIFF_RIFF_HANDLER_H
#define ZU_RIFF_RIFF_HANDLER_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "kernel/byte_order.h"
#include "platform/platform.h"
#include "plugin/allocator.h"
#include "riff/disk_file.h"
#include "riff/mem_file.h"
#include "riff/riff_chunk_info.h"

namespace zu {

template <typename F>
class CRiffHandler {
public:
    static constexpr int kMaxDepth = 10;
    static constexpr uint32_t kNoPadding = 0xFFFFFFFFu;

    CRiffHandler() = default;
    virtual ~CRiffHandler();
    CRiffHandler(const CRiffHandler&) = delete;
    CRiffHandler& operator=(const CRiffHandler&) = delete;

    // ---- Opening and closing ----
    // Disk: opens path by openMode, then checks (reading) or starts (creating)
    // the form selected by formCode. An attached handler is neither ascended nor
    // closed by its destructor.
    int Open(const WCHAR* path, uint32_t formCode, uint32_t openMode, bool attached);
    // Disk: as Open on a handle that is already open.
    int Attach(platform::FileHandle handle, uint32_t formCode, uint32_t openMode, bool attached);
    // Memory: a stream over block. The images of the instrument are opened in
    // plain mode (RIFF_FORM_NONE), rewound.
    int OpenMemory(void* block, uint32_t size, uint32_t formCode = RIFF_FORM_NONE,
                   uint32_t openMode = RIFF_OPEN_READWRITE, bool attached = false);
    // Memory that must not be written (a header handed over by the host).
    int OpenMemoryReadOnly(const void* block, uint32_t size, uint32_t formCode = RIFF_FORM_NONE);
    // Ascends every open chunk and the form, then closes the back-end. Returns
    // 1 when nothing was open.
    int Close();

    // Back to the start of the RIFF form (or to offset 0 in plain mode).
    int Rewind();
    // Offset 0, depth 0, no form entry; the form is not looked for.
    int Reset();

    // ---- Descending ----
    // Finds chunk id (or, with isList, a "LIST" of type id) inside the current
    // chunk from the current position on, and enters it. The position is left
    // after the header (after the type for "RIFF" and "LIST"). On failure the
    // position and depth are as before.
    int Descend(uint32_t id, bool isList, uint32_t* outSize = nullptr, uint32_t* outDataOffset = nullptr);
    int DescendList(uint32_t listType) { return Descend(listType, true); }
    // Enters the next chunk, whatever it is: a "LIST" reports its list type and
    // isList 1, any other chunk its id with the top bit cleared and isList 0.
    int DescendAny(uint32_t* outId, int* outIsList, uint32_t* outSize);
    // The search behind every descend: fills entry with the first chunk from the
    // current position that matches findFlag against entry's ckid / fccType and
    // starts at or before the last header position inside parent (none: no
    // limit). Does not change depth and does not restore the position.
    int Search(RiffChunkInfo& entry, const RiffChunkInfo* parent, uint32_t findFlag);

    // ---- Ascending ----
    // Leaves entry: a read chunk by seeking past it (even-padded); a written
    // chunk by padding it to even and patching its size field.
    int Ascend(RiffChunkInfo& entry);
    // Leaves the current chunk; 0 when at the top level.
    int AscendCurrent();

    // ---- Creating ----
    int CreateChunk(uint32_t id) { return CreateTypedChunk(id, 0); }
    int CreateList(uint32_t listType) { return CreateTypedChunk(kListId, listType); }
    int CreateChunk(uint32_t id, bool isList) { return isList ? CreateList(id) : CreateChunk(id); }
    // Writes a header with id ckid (and fccType after it for "RIFF" and "LIST")
    // and enters the new chunk. A short write leaves depth unchanged.
    int CreateTypedChunk(uint32_t ckid, uint32_t fccType);

    // ---- Data ----
    // Reads min(count, current cksize) bytes at the current position and zero-fills
    // the rest of buffer up to count; 0 when fewer bytes arrived.
    int Read(void* buffer, uint32_t count);
    // Finds chunk id, reads min(count, cksize) bytes from its start (rest zero),
    // leaves it; restorePosition puts the position back where it was. 1 only
    // when the chunk was found and fully read.
    int ReadChunk(uint32_t id, void* buffer, uint32_t count, bool restorePosition,
                  uint32_t* outDataOffset = nullptr);
    // Writes count bytes; or, unless paddedCount is kNoPadding, exactly
    // paddedCount bytes: a prefix of buffer, or buffer followed by zeros.
    int Write(const void* buffer, uint32_t count, uint32_t paddedCount = kNoPadding);
    int WriteChunk(uint32_t id, const void* buffer, uint32_t count, uint32_t paddedCount = kNoPadding);
    // The size field of chunk id (or a "LIST" of type id); the position is kept.
    // 0 when not found.
    uint32_t GetChunkSize(uint32_t id, bool isList);

    // Copies chunk id (or a "LIST" of type id), searched over the whole form,
    // into target as a new chunk there; the source's position is kept, its depth
    // is back at the top level. Returns the chunk's cksize, 0 when it was not
    // found or could not be copied.
    template <typename G>
    uint32_t CopyChunk(CRiffHandler<G>& target, uint32_t id, bool isList);
    // Copies the current chunk into target (the source stays inside it).
    template <typename G>
    int CopyCurrentChunk(CRiffHandler<G>& target);

    // ---- Raw access at the current position, without chunk clamping ----
    uint32_t ReadRaw(void* buffer, uint32_t count) { return file_.Read(buffer, count); }
    uint32_t WriteRaw(const void* buffer, uint32_t count) { return file_.Write(buffer, count); }
    uint32_t Seek(int32_t distance, platform::SeekOrigin origin) { return file_.Seek(distance, origin); }
    uint32_t Position() { return file_.Seek(0, platform::SeekOrigin::Current); }
    // Absolute seek; positions beyond 0x7FFFFFFF cannot be reached and fail.
    bool SeekTo(uint64_t position);

    // ---- State ----
    bool IsOpen() const { return file_.IsOpen(); }
    int Depth() const { return depth_; }
    uint32_t CurrentSize() const { return chunks_[depth_].cksize; }
    const RiffChunkInfo& Current() const { return chunks_[depth_]; }
    const RiffChunkInfo& Form() const { return chunks_[0]; }
    uint32_t FormDataOffset() const { return chunks_[0].dataOffset; }
    bool IsRiffForm() const { return riffForm_; }
    bool IsAttached() const { return attached_; }
    F& File() { return file_; }
    const F& File() const { return file_; }

private:
    static uint32_t FormTypeFor(uint32_t formCode);
    static bool HasType(uint32_t ckid) { return ckid == kRiffId || ckid == kListId; }
    static uint64_t EvenEnd(uint32_t dataOffset, uint32_t cksize) {
        const uint64_t end = static_cast<uint64_t>(dataOffset) + cksize;
        return end + (end & 1);
    }

    // Steps after the back-end is open: check or start the form.
    int Start(uint32_t formCode, uint32_t openMode, bool attached);
    bool WriteHeader(RiffChunkInfo& entry);
    bool WriteZeros(uint32_t count);
    void AscendAll();
    // Gives an attached back-end back to its owner, closes any other.
    bool CloseBackEnd();  // false when written bytes did not all reach the file
    void ClearState();
    // Writes entry's data, read from the current position, as a new chunk of target.
    template <typename G>
    bool CopyBody(CRiffHandler<G>& target, const RiffChunkInfo& entry);

    int32_t depth_ = 0;
    RiffChunkInfo chunks_[kMaxDepth + 1] = {};
    bool riffForm_ = false;
    bool attached_ = false;
    F file_;
};

class CRiffFile : public CRiffHandler<CDiskFile> {};
class CRiffMemFile : public CRiffHandler<CMemFile> {};

// ---------------------------------------------------------------------------

template <typename F>
CRiffHandler<F>::~CRiffHandler() {
    if (!file_.IsOpen()) return;
    if (attached_) {
        file_.Detach();
        return;
    }
    AscendAll();
    file_.Close();
}

template <typename F>
uint32_t CRiffHandler<F>::FormTypeFor(uint32_t formCode) {
    switch (formCode) {
        case RIFF_FORM_ANY: return FourCC("    ");
        case RIFF_FORM_DLS: return FourCC("DLS ");
        case RIFF_FORM_SOUNDFONT: return FourCC("sfbk");
        default: return 0;
    }
}

template <typename F>
void CRiffHandler<F>::ClearState() {
    depth_ = 0;
    std::memset(chunks_, 0, sizeof(chunks_));
    riffForm_ = false;
    attached_ = false;
}

template <typename F>
bool CRiffHandler<F>::CloseBackEnd() {
    bool complete = true;
    if constexpr (std::is_same_v<F, CDiskFile>) {
        if (attached_) {
            file_.Detach();
            complete = !file_.WriteFailed();
        } else {
            complete = file_.Close();
        }
    } else {
        if (attached_) file_.Detach();
        else file_.Close();
    }
    ClearState();
    return complete;
}

template <typename F>
int CRiffHandler<F>::Open(const WCHAR* path, uint32_t formCode, uint32_t openMode, bool attached) {
    static_assert(std::is_same_v<F, CDiskFile>, "Open by path needs the disk back-end");
    Close();
    if (!file_.Open(path, openMode)) return 0;
    return Start(formCode, openMode, attached);
}

template <typename F>
int CRiffHandler<F>::Attach(platform::FileHandle handle, uint32_t formCode, uint32_t openMode, bool attached) {
    static_assert(std::is_same_v<F, CDiskFile>, "Attach needs the disk back-end");
    Close();
    if (openMode != RIFF_OPEN_READ && openMode != RIFF_OPEN_READWRITE && openMode != RIFF_OPEN_CREATE) return 0;
    if (!file_.Attach(handle)) return 0;
    return Start(formCode, openMode, attached);
}

template <typename F>
int CRiffHandler<F>::OpenMemory(void* block, uint32_t size, uint32_t formCode, uint32_t openMode, bool attached) {
    static_assert(std::is_same_v<F, CMemFile>, "OpenMemory needs the memory back-end");
    Close();
    if (openMode != RIFF_OPEN_READ && openMode != RIFF_OPEN_READWRITE && openMode != RIFF_OPEN_CREATE) return 0;
    if (!file_.Open(block, size)) return 0;
    return Start(formCode, openMode, attached);
}

template <typename F>
int CRiffHandler<F>::OpenMemoryReadOnly(const void* block, uint32_t size, uint32_t formCode) {
    static_assert(std::is_same_v<F, CMemFile>, "OpenMemoryReadOnly needs the memory back-end");
    Close();
    if (!file_.OpenReadOnly(block, size)) return 0;
    return Start(formCode, RIFF_OPEN_READ, false);
}

template <typename F>
int CRiffHandler<F>::Start(uint32_t formCode, uint32_t openMode, bool attached) {
    ClearState();
    attached_ = attached;
    riffForm_ = formCode != RIFF_FORM_NONE;
    const uint32_t formType = FormTypeFor(formCode);
    if (openMode != RIFF_OPEN_CREATE) {
        const int found = Rewind();
        if (riffForm_ && formCode != RIFF_FORM_ANY && (!found || chunks_[0].fccType != formType)) {
            CloseBackEnd();
            return 0;
        }
        return 1;
    }
    if (!riffForm_) {
        Reset();
        return 1;
    }
    RiffChunkInfo form{kRiffId, 0, formType, 0, 0};
    if (!WriteHeader(form)) {
        CloseBackEnd();
        return 0;
    }
    chunks_[0] = form;
    return 1;
}

template <typename F>
void CRiffHandler<F>::AscendAll() {
    while (depth_ > 0)
        if (!AscendCurrent()) break;
    if (riffForm_) Ascend(chunks_[0]);
}

template <typename F>
int CRiffHandler<F>::Close() {
    if (!file_.IsOpen()) {
        ClearState();
        return 1;
    }
    bool inner = true;
    while (depth_ > 0 && inner) inner = AscendCurrent() != 0;
    // Inner failures are reported too, not only the form's.
    const bool form = !riffForm_ || Ascend(chunks_[0]);
    const bool complete = CloseBackEnd();
    return inner && form && complete ? 1 : 0;
}

template <typename F>
bool CRiffHandler<F>::SeekTo(uint64_t position) {
    if (position > 0x7FFFFFFFu) return false;
    return file_.Seek(static_cast<int32_t>(position), platform::SeekOrigin::Begin) == position;
}

template <typename F>
int CRiffHandler<F>::Rewind() {
    if (!SeekTo(0)) return 0;
    depth_ = 0;
    chunks_[0] = RiffChunkInfo{};
    if (!riffForm_) return 1;
    RiffChunkInfo form{};  // form type 0: any "RIFF" matches
    if (Search(form, nullptr, RIFF_FIND_RIFF)) {
        chunks_[0] = form;
        return 1;
    }
    // Without a form the chunks are still readable from the start.
    SeekTo(0);
    return 0;
}

template <typename F>
int CRiffHandler<F>::Reset() {
    depth_ = 0;
    chunks_[0] = RiffChunkInfo{};
    return SeekTo(0) ? 1 : 0;
}

template <typename F>
int CRiffHandler<F>::Search(RiffChunkInfo& entry, const RiffChunkInfo* parent, uint32_t findFlag) {
    // The last position at which a header can start inside the parent. A sum
    // that is negative or beyond 31 bits (the form entry of a plain file is all
    // zero, a size field may be absurd) means no limit.
    int64_t limit = 0x7FFFFFFF;
    if (parent) {
        const int64_t last = static_cast<int64_t>(parent->dataOffset) + parent->cksize - 8;
        if (last >= 0 && last <= 0x7FFFFFFF) limit = last;
    }
    const uint32_t start = Position();
    if (start == platform::kInvalidPosition || start > limit) return 0;
    uint64_t pos = start;
    for (;;) {
        uint8_t header[8];
        if (ReadRaw(header, 8) != 8) return 0;
        const uint32_t id = LoadLE32(header);
        const uint32_t size = LoadLE32(header + 4);
        const uint32_t dataOffset = static_cast<uint32_t>(pos + 8);
        uint32_t type = 0;
        if (HasType(id)) {
            uint8_t t[4];
            if (ReadRaw(t, 4) != 4) return 0;
            type = LoadLE32(t);
        }
        bool match = false;
        switch (findFlag) {
            case RIFF_FIND_ANY: match = true; break;
            case RIFF_FIND_CHUNK: match = id == entry.ckid; break;
            case RIFF_FIND_RIFF: match = id == kRiffId && (entry.fccType == 0 || type == entry.fccType); break;
            case RIFF_FIND_LIST: match = id == kListId && type == entry.fccType; break;
            default: break;
        }
        if (match) {
            entry = RiffChunkInfo{id, size, type, dataOffset, 0};
            return 1;
        }
        // Always at least 8 bytes further on, so the loop ends.
        const uint64_t next = EvenEnd(dataOffset, size);
        if (static_cast<int64_t>(next) > limit || !SeekTo(next)) return 0;
        pos = next;
    }
}

template <typename F>
int CRiffHandler<F>::Descend(uint32_t id, bool isList, uint32_t* outSize, uint32_t* outDataOffset) {
    if (!file_.IsOpen() || depth_ >= kMaxDepth) return 0;
    const uint32_t start = Position();
    if (start == platform::kInvalidPosition) return 0;
    RiffChunkInfo entry{};
    if (isList) {
        entry.ckid = kListId;
        entry.fccType = id;
    } else {
        entry.ckid = id;
    }
    if (!Search(entry, &chunks_[depth_], isList ? RIFF_FIND_LIST : RIFF_FIND_CHUNK)) {
        SeekTo(start);
        return 0;
    }
    chunks_[++depth_] = entry;
    if (outSize) *outSize = entry.cksize;
    if (outDataOffset) *outDataOffset = entry.dataOffset;
    return 1;
}

template <typename F>
int CRiffHandler<F>::DescendAny(uint32_t* outId, int* outIsList, uint32_t* outSize) {
    if (!file_.IsOpen() || depth_ >= kMaxDepth) return 0;
    const uint32_t start = Position();
    if (start == platform::kInvalidPosition) return 0;
    RiffChunkInfo entry{};
    if (!Search(entry, &chunks_[depth_], RIFF_FIND_ANY)) {
        SeekTo(start);
        return 0;
    }
    chunks_[++depth_] = entry;
    const bool isList = entry.ckid == kListId;
    if (outId) *outId = isList ? entry.fccType : (entry.ckid & 0x7FFFFFFFu);
    if (outIsList) *outIsList = isList ? 1 : 0;
    if (outSize) *outSize = entry.cksize;
    return 1;
}

template <typename F>
int CRiffHandler<F>::Ascend(RiffChunkInfo& entry) {
    if (!(entry.chunkFlags & RIFF_CHUNK_DIRTY)) return SeekTo(EvenEnd(entry.dataOffset, entry.cksize)) ? 1 : 0;

    uint32_t pos = Position();
    // A position before the data means the caller moved out of the chunk;
    // there is no size to patch that would make sense.
    if (pos == platform::kInvalidPosition || pos < entry.dataOffset) return 0;
    const uint32_t size = pos - entry.dataOffset;
    if (pos & 1) {
        const uint8_t pad = 0;
        if (WriteRaw(&pad, 1) != 1) return 0;
        ++pos;  // the pad byte is not part of the size
    }
    if (size != entry.cksize) {
        uint8_t field[4];
        StoreLE32(field, size);
        if (entry.dataOffset < 4 || !SeekTo(entry.dataOffset - 4u) || WriteRaw(field, 4) != 4 || !SeekTo(pos))
            return 0;
        entry.cksize = size;
    }
    return 1;
}

template <typename F>
int CRiffHandler<F>::AscendCurrent() {
    if (depth_ <= 0) return 0;
    --depth_;
    return Ascend(chunks_[depth_ + 1]);
}

template <typename F>
bool CRiffHandler<F>::WriteHeader(RiffChunkInfo& entry) {
    const uint32_t start = Position();
    if (start == platform::kInvalidPosition || start > 0xFFFFFFFFu - 8) return false;
    uint8_t header[12];
    StoreLE32(header, entry.ckid);
    StoreLE32(header + 4, 0);  // the real size is written by the ascend
    StoreLE32(header + 8, entry.fccType);
    const uint32_t length = HasType(entry.ckid) ? 12 : 8;
    if (WriteRaw(header, length) != length) return false;
    entry.cksize = 0;
    entry.dataOffset = start + 8;
    entry.chunkFlags = RIFF_CHUNK_DIRTY;
    return true;
}

template <typename F>
int CRiffHandler<F>::CreateTypedChunk(uint32_t ckid, uint32_t fccType) {
    if (!file_.IsOpen() || depth_ >= kMaxDepth) return 0;
    RiffChunkInfo entry{ckid, 0, HasType(ckid) ? fccType : 0, 0, 0};
    if (!WriteHeader(entry)) return 0;
    chunks_[++depth_] = entry;
    return 1;
}

template <typename F>
int CRiffHandler<F>::Read(void* buffer, uint32_t count) {
    if (count == 0) return 1;
    if (!buffer) return 0;
    const uint32_t wanted = std::min(count, chunks_[depth_].cksize);
    const uint32_t got = wanted ? ReadRaw(buffer, wanted) : 0;
    std::memset(static_cast<uint8_t*>(buffer) + got, 0, count - got);
    return got == wanted ? 1 : 0;
}

template <typename F>
int CRiffHandler<F>::ReadChunk(uint32_t id, void* buffer, uint32_t count, bool restorePosition,
                               uint32_t* outDataOffset) {
    if (buffer && count) std::memset(buffer, 0, count);
    const uint32_t start = Position();
    if (start == platform::kInvalidPosition) return 0;
    uint32_t dataOffset = 0;
    if (!Descend(id, false, nullptr, &dataOffset)) return 0;
    if (outDataOffset) *outDataOffset = dataOffset;
    int ok = Read(buffer, count);
    const int left = AscendCurrent();
    if (restorePosition) {
        SeekTo(start);
    } else if (!left) {
        ok = 0;  // the position is stuck inside the chunk
    }
    return ok;
}

template <typename F>
bool CRiffHandler<F>::WriteZeros(uint32_t count) {
    static const uint8_t zeros[4096] = {};
    while (count) {
        const uint32_t n = std::min<uint32_t>(count, sizeof(zeros));
        if (WriteRaw(zeros, n) != n) return false;
        count -= n;
    }
    return true;
}

template <typename F>
int CRiffHandler<F>::Write(const void* buffer, uint32_t count, uint32_t paddedCount) {
    const uint32_t fromBuffer = paddedCount == kNoPadding ? count : std::min(count, paddedCount);
    if (fromBuffer && (!buffer || WriteRaw(buffer, fromBuffer) != fromBuffer)) return 0;
    if (paddedCount != kNoPadding && paddedCount > count && !WriteZeros(paddedCount - count)) return 0;
    return 1;
}

template <typename F>
int CRiffHandler<F>::WriteChunk(uint32_t id, const void* buffer, uint32_t count, uint32_t paddedCount) {
    if (!CreateChunk(id)) return 0;
    const int written = Write(buffer, count, paddedCount);
    return AscendCurrent() ? written : 0;
}

template <typename F>
uint32_t CRiffHandler<F>::GetChunkSize(uint32_t id, bool isList) {
    const uint32_t start = Position();
    if (start == platform::kInvalidPosition) return 0;
    uint32_t size = 0;
    if (!Descend(id, isList, &size, nullptr)) return 0;
    AscendCurrent();
    SeekTo(start);
    return size;
}

template <typename F>
template <typename G>
bool CRiffHandler<F>::CopyBody(CRiffHandler<G>& target, const RiffChunkInfo& entry) {
    const bool typed = HasType(entry.ckid);
    if (typed && entry.cksize < 4) return false;
    const uint32_t bytes = typed ? entry.cksize - 4 : entry.cksize;
    // The size comes from the file: refuse a chunk that runs past the end of
    // the source rather than allocate and write what is not there.
    uint64_t sourceSize = 0;
    if (!file_.Size(&sourceSize) || static_cast<uint64_t>(entry.dataOffset) + entry.cksize > sourceSize) return false;
    struct Free {
        void operator()(void* p) const { ZuFree(p); }
    };
    std::unique_ptr<uint8_t, Free> buffer(static_cast<uint8_t*>(ZuAlloc(bytes ? bytes : 1)));
    if (!buffer) return false;
    if (!target.CreateTypedChunk(entry.ckid, entry.fccType)) return false;
    // A short read still completes the target chunk (zero-filled) so that it
    // stays consistent, but fails the copy.
    const bool read = ReadRaw(buffer.get(), bytes) == bytes;
    const bool written = target.WriteRaw(buffer.get(), bytes) == bytes;
    const bool left = target.AscendCurrent() != 0;
    return read && written && left;
}

template <typename F>
template <typename G>
uint32_t CRiffHandler<F>::CopyChunk(CRiffHandler<G>& target, uint32_t id, bool isList) {
    if (!file_.IsOpen() || !target.IsOpen()) return 0;
    const uint32_t start = Position();
    if (start == platform::kInvalidPosition) return 0;
    Rewind();  // the search covers the whole form
    uint32_t result = 0;
    if (depth_ < kMaxDepth && Descend(id, isList)) {
        if (CopyBody(target, chunks_[depth_])) result = chunks_[depth_].cksize;
        AscendCurrent();
    }
    SeekTo(start);
    return result;
}

template <typename F>
template <typename G>
int CRiffHandler<F>::CopyCurrentChunk(CRiffHandler<G>& target) {
    if (depth_ < 1 || !target.IsOpen()) return 0;
    const RiffChunkInfo& entry = chunks_[depth_];
    // From the chunk's data whatever the caller has read of it since entering.
    if (!SeekTo(static_cast<uint64_t>(entry.dataOffset) + (HasType(entry.ckid) ? 4 : 0))) return 0;
    return CopyBody(target, entry) ? 1 : 0;
}

}  // namespace zu

#endif

// One entry of a RIFF handler's chunk stack, and the codes that select how a
// RIFF file is opened, which form it must be and how a chunk is searched for.
#ifndef ZU_RIFF_RIFF_CHUNK_INFO_H
#define ZU_RIFF_RIFF_CHUNK_INFO_H

#include <cstddef>
#include <cstdint>

#include "kernel/byte_order.h"

namespace zu {

struct RiffChunkInfo {
    uint32_t ckid;        // chunk identifier as a FourCC
    uint32_t cksize;      // size field as read, or as last written
    uint32_t fccType;     // form or list type of "RIFF"/"LIST", else 0
    uint32_t dataOffset;  // absolute offset of the first byte after the 8-byte header
    uint32_t chunkFlags;  // 0 or RIFF_CHUNK_DIRTY
};
static_assert(sizeof(RiffChunkInfo) == 20, "five u32");
static_assert(offsetof(RiffChunkInfo, cksize) == 4 && offsetof(RiffChunkInfo, fccType) == 8 &&
                  offsetof(RiffChunkInfo, dataOffset) == 12 && offsetof(RiffChunkInfo, chunkFlags) == 16,
              "field order");

// Open modes (disk back-end: access, sharing and disposition; all: create or not).
constexpr uint32_t RIFF_OPEN_READ = 0x200;       // existing file, read, share read+write
constexpr uint32_t RIFF_OPEN_READWRITE = 0x201;  // existing file, read+write, no sharing
constexpr uint32_t RIFF_OPEN_CREATE = 0x202;     // create or truncate, read+write, no sharing; starts a form

// Form codes: the form type expected when reading, written when creating.
constexpr uint32_t RIFF_FORM_ANY = 256;        // reading: any form (or none); creating: "    "
constexpr uint32_t RIFF_FORM_DLS = 257;        // "DLS "
constexpr uint32_t RIFF_FORM_SOUNDFONT = 258;  // "sfbk"
constexpr uint32_t RIFF_FORM_NONE = 260;       // plain chunk file, no RIFF form

// Chunk search flags.
constexpr uint32_t RIFF_FIND_ANY = 0;       // the next chunk, whatever it is
constexpr uint32_t RIFF_FIND_CHUNK = 0x10;  // ckid equal to the wanted one
constexpr uint32_t RIFF_FIND_RIFF = 0x20;   // "RIFF" of the wanted form type (any when it is 0)
constexpr uint32_t RIFF_FIND_LIST = 0x40;   // "LIST" of the wanted list type

// The chunk was created by the handler; its size is patched when it is ascended.
constexpr uint32_t RIFF_CHUNK_DIRTY = 0x10000000;

constexpr uint32_t kRiffId = FourCC("RIFF");
constexpr uint32_t kListId = FourCC("LIST");

}  // namespace zu

#endif

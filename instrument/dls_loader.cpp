// Loading DLS and GIG files: the file set (main file and GIG extension files),
// the pool table, one wave per cue, the header image (every instrument-side
// chunk) and the wave-pool image (the pool with the sample data left out).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "instrument/riff_instrument.h"
#include "kernel/byte_order.h"
#include "plugin/allocator.h"

namespace zu {
namespace {

struct Cue {
    uint32_t fileIndex;
    uint32_t offset;
};

struct TopChunk {
    uint32_t id;      // "LIST" lists report their list type here
    bool isList;
    uint64_t start;   // offset of the 8-byte header
    uint64_t bytes;   // header, data and pad byte
};

constexpr uint32_t kMaxName = 1024;

bool IsPoolChunk(const TopChunk& c, InstrumentKind kind) {
    if (c.isList) return c.id == FourCC("wvpl");
    if (c.id == FourCC("ptbl")) return true;
    return kind == kInstrumentGig && (c.id == FourCC("3crc") || c.id == FourCC("einf"));
}

// An extension file must start with its form: the handler would otherwise
// search a file that has none 8 bytes at a time, seconds for a large one.
bool StartsWithDlsForm(const WCHAR* path) {
    CDiskFile file;
    uint8_t head[12];
    return file.Open(path, RIFF_OPEN_READ) && file.Read(head, 12) == 12 && LoadLE32(head) == FourCC("RIFF") &&
           LoadLE32(head + 8) == FourCC("DLS ");
}

bool FileSizeOf(InstrumentRiffFile& file, uint64_t* size) { return platform::FileSize(file.File().GetHandle(), size); }

// A size field as far as the file can hold it: the images made from a file
// are never sized by a size field that runs past its end.
uint64_t HeldBytes(InstrumentRiffFile& file, uint64_t size) {
    uint64_t fileSize = 0;
    return FileSizeOf(file, &fileSize) ? std::min(size, fileSize) : size;
}

// The top-level chunks of a form in file order; a chunk that runs past the
// end of the file counts the bytes the file holds.
std::vector<TopChunk> ListTopChunks(InstrumentRiffFile& file) {
    std::vector<TopChunk> chunks;
    if (!file.Rewind()) return chunks;
    uint64_t fileSize = 0;
    const bool sized = FileSizeOf(file, &fileSize);
    uint32_t id = 0, size = 0;
    int isList = 0;
    while (file.DescendAny(&id, &isList, &size)) {
        const RiffChunkInfo& c = file.Current();
        TopChunk t{isList ? c.fccType : c.ckid, isList != 0, static_cast<uint64_t>(c.dataOffset) - 8,
                   8 + static_cast<uint64_t>(c.cksize) + (c.cksize & 1u)};
        if (sized) t.bytes = std::min(t.bytes, fileSize > t.start ? fileSize - t.start : 0);
        chunks.push_back(t);
        if (!file.AscendCurrent()) break;
    }
    return chunks;
}

// Reads bytes at an absolute offset; what lies past the end of the file stays zero.
void ReadAt(InstrumentRiffFile& file, uint64_t offset, uint8_t* out, uint32_t count) {
    std::memset(out, 0, count);
    if (file.SeekTo(offset)) file.ReadRaw(out, count);
}

// An extension file lies beside the main file or below its folder, never
// outside it: absolute names, drive names and ".." are refused.
bool IsSafeExtensionName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos) return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

HRESULT CRiffInstrument::OpenDlsFileSet(bool withLayout) {
    files_.Close();
    auto main = std::make_unique<InstrumentRiffFile>();
    if (!main->Open(layout_.path, RIFF_FORM_DLS, RIFF_OPEN_READ, false)) return ZU_E_FILE_OPEN;
    files_.kind = kind_;
    if (withLayout) {
        uint8_t vers[8];
        main->Rewind();
        if (main->ReadChunk(FourCC("vers"), vers, 8, true)) {
            layout_.versionMS = LoadLE32(vers);
            layout_.versionLS = LoadLE32(vers + 4);
        }
    }
    uint32_t offset = 0;
    main->Rewind();
    if (!main->Descend(FourCC("wvpl"), true, nullptr, &offset)) return ZU_E_FILE_OPEN;
    main->wavePoolBase = offset + 4;
    main->Rewind();
    if (!main->Descend(FourCC("ptbl"), false, nullptr, &offset)) return ZU_E_FILE_OPEN;
    main->poolTableOffset = offset;
    if (withLayout && main->wavePoolBase <= main->poolTableOffset) layout_.flags |= ZU_LAYOUT_POOL_FIRST;
    main->Rewind();
    InstrumentRiffFile* mainFile = main.get();
    files_.Append(std::move(main));
    if (kind_ != kInstrumentGig) return S_OK;

    uint32_t xfilSize = 0;
    mainFile->Rewind();
    if (!mainFile->Descend(FourCC("xfil"), false, &xfilSize)) return S_OK;
    if (withLayout) layout_.flags |= ZU_LAYOUT_EXTENSIONS;
    uint8_t countBytes[4];
    if (!mainFile->Read(countBytes, 4)) return ZU_E_FILE_OPEN;
    const uint32_t count = LoadLE32(countBytes);
    // A count the chunk cannot hold names files that are not there.
    if (xfilSize < 4 || count > (xfilSize - 4) / 144) return ZU_E_FILE_OPEN;
    files_.extensionCount = count;
    files_.extensionNames.clear();
    std::u16string folder(reinterpret_cast<const char16_t*>(layout_.path));
    const size_t sep = folder.find_last_of(u"\\/");
    folder = sep == std::u16string::npos ? std::u16string() : folder.substr(0, sep + 1);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t entry[144];
        if (mainFile->ReadRaw(entry, 144) != 144) return ZU_E_FILE_OPEN;
        const size_t len = static_cast<size_t>(std::find(entry, entry + 128, 0) - entry);
        const std::string name(reinterpret_cast<const char*>(entry), len);
        files_.extensionNames.push_back(name);
        if (!IsSafeExtensionName(name)) return ZU_E_FILE_OPEN;
        const std::u16string path = folder + platform::AnsiToU16(name.data(), name.size());
        if (!StartsWithDlsForm(reinterpret_cast<const WCHAR*>(path.c_str()))) return ZU_E_FILE_OPEN;
        auto ext = std::make_unique<InstrumentRiffFile>();
        if (!ext->Open(reinterpret_cast<const WCHAR*>(path.c_str()), RIFF_FORM_DLS, RIFF_OPEN_READ, false)) return ZU_E_FILE_OPEN;
        ext->Rewind();
        if (!ext->Descend(FourCC("wvpl"), true, nullptr, &offset)) return ZU_E_FILE_OPEN;
        ext->wavePoolBase = offset + 4;
        ext->Rewind();
        files_.Append(std::move(ext));
    }
    mainFile->Rewind();
    return S_OK;
}

uint32_t CRiffInstrument::ReadWave(InstrumentRiffFile& file, InstrumentWaveEntry& entry, InstrumentWaveInfo& info,
                                   uint32_t fileIndex) {
    const uint32_t p = file.Position();
    // 18 bytes are read, but the repair looks at the extensible part of a
    // format whose cbSize announces one: give it zeros to look at, never the
    // bytes beyond the record.
    WAVEFORMATEXTENSIBLE room{};
    WAVEFORMATEX& wfx = room.Format;
    file.ReadChunk(FourCC("fmt "), &wfx, sizeof wfx, true);
    ZuAudio_FixBadWfx(&wfx);
    info.format = wfx;
    // Only 18 bytes of the format are read: extra bytes beyond them are unknown.
    WAVEFORMATEX plain = wfx;
    plain.cbSize = 0;
    ZuAudio_InitWaveFormat(&entry.format, ZU_ENTRY_FORMAT_ROOM, &plain);

    file.Seek(static_cast<int32_t>(p), platform::SeekOrigin::Begin);
    std::string name;
    if (file.Descend(FourCC("INFO"), true)) {
        uint32_t size = 0;
        if (file.Descend(FourCC("INAM"), false, &size)) {
            std::vector<uint8_t> text(std::min(size, kMaxName) + 1, 0);
            file.Read(text.data(), static_cast<uint32_t>(text.size() - 1));
            name.assign(reinterpret_cast<const char*>(text.data()));
            file.AscendCurrent();
        }
        file.AscendCurrent();
    }
    const std::u16string wide = platform::AnsiToU16(name.data(), name.size());
    const size_t n = std::min<size_t>(wide.size(), 127);
    std::memcpy(entry.name, wide.data(), n * sizeof(WCHAR));
    entry.name[n] = 0;

    file.Seek(static_cast<int32_t>(p), platform::SeekOrigin::Begin);
    uint32_t dataSize = 0, dataOffset = 0;
    if (file.Descend(FourCC("data"), false, &dataSize, &dataOffset)) file.AscendCurrent();
    else dataSize = dataOffset = 0;
    // A "data" chunk that runs past the end of a truncated file is offered as
    // far as the file goes.
    uint64_t fileSize = 0;
    if (FileSizeOf(file, &fileSize)) {
        const uint64_t available = dataOffset < fileSize ? fileSize - dataOffset : 0;
        if (dataSize > available) dataSize = static_cast<uint32_t>(available);
    }
    const uint32_t align = entry.format.blockAlign;
    // A wave without a block alignment cannot be cut into frames: it is empty.
    const uint64_t frames = align ? dataSize / align : 0;
    entry.fileIndex = fileIndex;
    entry.dataOffset = dataOffset;
    entry.frames = entry.frames32 = frames;
    entry.dataBytes = frames * align;
    entry.info = &info;
    file.Seek(static_cast<int32_t>(p), platform::SeekOrigin::Begin);

    if (kind_ == kInstrumentGig) {
        uint8_t ewav[88];
        if (file.ReadChunk(FourCC("ewav"), ewav, sizeof ewav, true)) {
            std::memcpy(info.gigWave0, ewav, 16);
            std::memcpy(info.gigWave1, ewav + 16, 16);
            std::memcpy(info.gigWave2, ewav + 32, 4);
            info.reserved620 = info.reserved628 = 0;
            info.gigWaveWord = LoadLE32(ewav + 4);
        } else {
            std::memset(info.gigWave0, 0, 4);
        }
    }
    return dataSize;
}

HRESULT CRiffInstrument::LoadDlsOrGig() {
    if (FAILED(OpenDlsFileSet(true))) return ZU_E_FILE_OPEN;
    InstrumentRiffFile& main = *files_.File(0);

    // The pool table: cue width from its size where it tells (another tool
    // writes 4-byte cues into version 3 and 4 GIG files), else from the version.
    uint32_t ptblSize = 0;
    main.Rewind();
    if (!main.Descend(FourCC("ptbl"), false, &ptblSize)) return ZU_E_FILE_OPEN;
    uint8_t head[8];
    main.Read(head, 8);
    const uint32_t count = LoadLE32(head + 4);
    const uint32_t room = ptblSize >= 8 ? ptblSize - 8 : 0;
    const bool versionWide = kind_ == kInstrumentGig && (layout_.versionMS >> 16) >= 3;
    uint32_t width = versionWide ? 8 : 4;
    if (static_cast<uint64_t>(count) * width > room) width = 4;
    if (static_cast<uint64_t>(count) * width > room) return ZU_E_FILE_OPEN;  // more cues than the chunk holds
    std::vector<uint8_t> raw(static_cast<size_t>(count) * width);
    if (count && main.ReadRaw(raw.data(), static_cast<uint32_t>(raw.size())) != raw.size()) return ZU_E_FILE_OPEN;
    std::vector<Cue> cues(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (width == 8) cues[i] = {LoadLE32(&raw[i * 8]), LoadLE32(&raw[i * 8 + 4])};
        else cues[i] = {0, LoadLE32(&raw[i * 4])};
    }
    main.AscendCurrent();
    main.Rewind();
    if (!main.Descend(FourCC("wvpl"), true)) return ZU_E_FILE_OPEN;

    for (const Cue& cue : cues) {
        InstrumentRiffFile* file = files_.File(cue.fileIndex);
        if (!file) return ZU_E_FILE_OPEN;
        if (!file->SeekTo(static_cast<uint64_t>(cue.offset) + file->wavePoolBase)) return ZU_E_FILE_OPEN;
        if (!file->Descend(FourCC("wave"), true)) return ZU_E_FILE_OPEN;
        auto* info = static_cast<InstrumentWaveInfo*>(ZuAlloc(sizeof(InstrumentWaveInfo)));
        if (!info) return ZU_E_FILE_OPEN;
        InstrumentWaveEntry entry{};
        ReadWave(*file, entry, *info, cue.fileIndex);
        file->AscendCurrent();
        entry.firstFrame = totalFrames_;
        totalFrames_ += entry.frames;
        info->structSize = ZU_WAVE_INFO_STRUCT_SIZE;
        info->frameCount = entry.frames;
        info->firstFrame = entry.firstFrame;
        ZuAudio_WaveFormatToWfx(&entry.format, &info->format);
        std::memcpy(info->name, entry.name, sizeof entry.name);
        if (FAILED(AppendWave(entry, info))) return ZU_E_FILE_OPEN;
    }

    // The header image: every instrument-side chunk. Those before the pool are
    // cut out as they stand; chunks after the pool (another tool puts "colh",
    // "vers" and "INFO" there) follow them in file order.
    const std::vector<TopChunk> top = ListTopChunks(main);
    const uint32_t firstPoolId = (layout_.flags & ZU_LAYOUT_POOL_FIRST) ? FourCC("wvpl") : FourCC("ptbl");
    uint64_t poolStart = 0;
    bool poolFound = false;
    for (const TopChunk& c : top) {
        if (c.id == firstPoolId && c.isList == (firstPoolId == FourCC("wvpl"))) {
            poolStart = c.start;
            poolFound = true;
            break;
        }
    }
    if (!poolFound || poolStart < 12) return ZU_E_FILE_OPEN;
    uint64_t gathered = 0;
    for (const TopChunk& c : top)
        if (c.start > poolStart && !IsPoolChunk(c, kind_)) gathered += c.bytes;
    const uint64_t headerBytes = poolStart - 12 + gathered;
    if (headerBytes > 0x7FFFFFFFu) return ZU_E_FILE_OPEN;
    headerSize_ = static_cast<uint32_t>(headerBytes);
    header_ = static_cast<uint8_t*>(ZuAlloc(headerSize_ ? headerSize_ : 1));
    if (!header_) return ZU_E_FILE_OPEN;
    ReadAt(main, 12, header_, static_cast<uint32_t>(poolStart - 12));
    uint64_t at = poolStart - 12;
    for (const TopChunk& c : top) {
        if (c.start <= poolStart || IsPoolChunk(c, kind_)) continue;
        ReadAt(main, c.start, header_ + at, static_cast<uint32_t>(c.bytes));
        at += c.bytes;
    }
    // Records that the header image holds chunks from after the pool.
    if (gathered) layout_.flags |= ZU_LAYOUT_GATHERED;

    std::vector<uint64_t> cuePositions;
    for (const Cue& c : cues) cuePositions.push_back((static_cast<uint64_t>(c.fileIndex) << 32) | c.offset);
    const HRESULT hr = BuildDlsWavePoolImage(cuePositions.data(), count);
    return hr;
}

HRESULT CRiffInstrument::BuildDlsWavePoolImage(const uint64_t* cues, uint32_t cueCount) {
    InstrumentRiffFile& main = *files_.File(0);
    auto enterWave = [&](uint64_t cue, InstrumentRiffFile** out) {
        InstrumentRiffFile* file = files_.File(static_cast<uint32_t>(cue >> 32));
        *out = file;
        return file && file->SeekTo((cue & 0xFFFFFFFFu) + file->wavePoolBase) && file->Descend(FourCC("wave"), true);
    };
    // The size as the pool's own arithmetic gives it, and the size the image
    // really takes (waves in extension files lie outside the main pool list):
    // the larger of the two is allocated.
    uint64_t poolSize = 0, exact = 12;
    uint32_t wvplSize = 0;
    main.Rewind();
    if (!main.Descend(FourCC("wvpl"), true, &wvplSize)) return ZU_E_FILE_OPEN;
    main.AscendCurrent();
    poolSize = HeldBytes(main, wvplSize) + 12;
    for (uint32_t i = 0; i < cueCount; ++i) {
        InstrumentRiffFile* file = nullptr;
        if (!enterWave(cues[i], &file)) return ZU_E_FILE_OPEN;
        exact += 12;
        uint32_t id = 0, size = 0;
        int isList = 0;
        bool hasData = false;
        while (file->DescendAny(&id, &isList, &size)) {
            if (id == FourCC("data")) {
                hasData = true;
                poolSize += 4;
                poolSize -= std::min<uint64_t>(size, poolSize);
                exact += 12;
            } else {
                exact += 8 + HeldBytes(*file, static_cast<uint64_t>(size) + (size & 1u));
            }
            if (!file->AscendCurrent()) break;
        }
        if (!hasData) poolSize += 4;
        file->AscendCurrent();
    }
    main.Rewind();
    for (const uint32_t fcc : {FourCC("ptbl"), FourCC("3crc"), FourCC("einf")}) {
        const uint32_t size = main.GetChunkSize(fcc, false);
        poolSize += HeldBytes(main, size) + 8;
        uint32_t found = 0;
        main.Rewind();
        if (main.Descend(fcc, false, &found)) {
            exact += 8 + HeldBytes(main, static_cast<uint64_t>(found) + (found & 1u));
            main.AscendCurrent();
        }
        main.Rewind();
    }
    const uint64_t bytes = std::max(poolSize, exact);
    if (bytes > 0x7FFFFFFFu) return ZU_E_FILE_OPEN;
    wavePoolSize_ = static_cast<uint32_t>(bytes);
    wavePool_ = static_cast<uint8_t*>(ZuAlloc(wavePoolSize_));
    if (!wavePool_) return ZU_E_FILE_OPEN;

    CRiffMemFile image;
    if (!image.OpenMemory(wavePool_, wavePoolSize_, RIFF_FORM_NONE, RIFF_OPEN_CREATE)) return ZU_E_FILE_OPEN;
    main.CopyChunk(image, FourCC("ptbl"), false);
    image.CreateList(FourCC("wvpl"));
    uint8_t marker[4];
    StoreLE32(marker, ZU_DATA_MARKER);
    for (uint32_t i = 0; i < cueCount; ++i) {
        InstrumentRiffFile* file = nullptr;
        if (!enterWave(cues[i], &file)) return ZU_E_FILE_OPEN;
        image.CreateList(FourCC("wave"));
        uint32_t id = 0, size = 0;
        int isList = 0;
        while (file->DescendAny(&id, &isList, &size)) {
            if (id == FourCC("data")) image.WriteChunk(FourCC("data"), marker, 4);
            else file->CopyCurrentChunk(image);
            if (!file->AscendCurrent()) break;
        }
        image.AscendCurrent();
        file->AscendCurrent();
    }
    image.AscendCurrent();
    main.CopyChunk(image, FourCC("3crc"), false);
    main.CopyChunk(image, FourCC("einf"), false);
    image.Close();
    return S_OK;
}

}  // namespace zu

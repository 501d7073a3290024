// Test fixtures: DLS, GIG and SoundFont 2 files whose every byte the test
// controls. Written with a small RIFF writer of their own and nothing of the
// module's code, so that they check the module's reader independently.
#ifndef ZU_TESTS_FIXTURE_BUILDER_H
#define ZU_TESTS_FIXTURE_BUILDER_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zu::fixture {

// ---- Little-endian byte helpers -------------------------------------------

void PutU8(std::string& out, uint8_t v);
void PutU16(std::string& out, uint16_t v);
void PutU32(std::string& out, uint32_t v);
void PutU64(std::string& out, uint64_t v);
std::string U16(uint16_t v);
std::string U32(uint32_t v);
// Overwrites four bytes at `offset` (which must lie inside `out`).
void PatchU32(std::string& out, uint64_t offset, uint32_t v);
// Reads at `offset`; throws std::out_of_range beyond the end.
uint16_t GetU16(const std::string& in, uint64_t offset);
uint32_t GetU32(const std::string& in, uint64_t offset);

// Deterministic filler bytes and 16-bit points, different for each seed.
std::string PatternBytes(size_t count, uint32_t seed);
std::vector<int16_t> PatternPoints(size_t count, uint32_t seed);
// The points as little-endian bytes, as they lie in a file.
std::string PointBytes(const std::vector<int16_t>& points);

// ---- RIFF writer -----------------------------------------------------------

// Appends chunks to a byte string. Every Begin* is closed by one End, which
// writes the chunk's size and pads odd data with one zero byte that the size
// does not count (the enclosing chunk does count it).
class RiffWriter {
public:
    void BeginForm(const std::string& formType);  // "RIFF" + size + form type
    void BeginList(const std::string& listType);  // "LIST" + size + list type
    void BeginChunk(const std::string& id);       // id + size
    void Write(const std::string& bytes);
    void End();
    // A whole plain chunk.
    void Chunk(const std::string& id, const std::string& data);
    // A whole "LIST" of plain chunks, in the given order.
    void List(const std::string& listType, const std::vector<std::pair<std::string, std::string>>& chunks);

    uint64_t Position() const { return out_.size(); }
    int Depth() const { return static_cast<int>(open_.size()); }
    std::string& Bytes() { return out_; }
    // The finished bytes; every chunk must have been ended.
    std::string Take();

private:
    void Header(const std::string& id);
    std::string out_;
    std::vector<uint64_t> open_;  // data offsets of the open chunks
};

// ---- DLS and GIG -----------------------------------------------------------

struct WaveDesc {
    std::string name;     // "INAM" in the wave's "INFO" list (written with a zero terminator)
    bool withInfo = true; // false => no "INFO" list at all
    uint16_t formatTag = 1, channels = 1, bitsPerSample = 16, extraSize = 0;
    uint32_t sampleRate = 44100;
    uint16_t blockAlign = 0;      // 0 => channels * bits / 8
    uint32_t bytesPerSecond = 0;  // 0 => sampleRate * block align
    // The "fmt " chunk is 16 bytes for PCM without extra bytes, else 18 bytes
    // (ending with extraSize) followed by extraSize zero bytes. A non-empty
    // fmtRaw replaces the whole chunk payload (e.g. a short or odd chunk).
    std::string fmtRaw;
    std::string data;  // raw sample bytes (any length, odd allowed)
    bool withData = true;  // false => no "data" chunk
    std::string ewav;  // raw "ewav" chunk bytes (empty => none); a non-zero first u32 marks the wave compressed
    // Other chunks inside the "wave" list, in order: `extraChunks` before
    // "data", `trailingChunks` after it.
    std::vector<std::pair<std::string, std::string>> extraChunks;
    std::vector<std::pair<std::string, std::string>> trailingChunks;
    uint32_t fileIndex = 0;  // GIG: 0 main file, k => extension file k ("xfil" entry k-1)
};

// A PCM wave of `frames` frames of pattern bytes (seeded), for tests.
WaveDesc PatternWave(const std::string& name, uint16_t channels, uint16_t bits, uint32_t rate, size_t frames, uint32_t seed);

struct RegionDesc {
    uint16_t keyLo = 0, keyHi = 127, velLo = 0, velHi = 127, options = 0, keyGroup = 0;
    bool rgn2 = false;  // "rgn2" list instead of "rgn "
    uint32_t wave = 0;  // "wlnk" wave number (pool-table index)
    // GIG "3lnk": bits of each dimension definition in use (at most 5 below
    // major version 3, else 8), optional type byte of each, and the wave
    // numbers of the dimension regions (the rest of the table is zero).
    std::vector<uint8_t> dimensionBits;
    std::vector<uint8_t> dimensionTypes;
    std::vector<uint32_t> gigWaves;
    int64_t dimensionRegionCount = -1;  // -1 => 2 to the power of the sum of the bits
    bool alsoWlnk = false;  // GIG: write "wlnk" as well as "3lnk", as real GIG files do
    uint16_t wlnkOptions = 0, phaseGroup = 0;
    uint32_t channel = 0;
};

struct InstrumentDesc {
    std::string name;  // "INAM" of the instrument's "INFO" list; empty => no "INFO"
    uint8_t bankMsb = 0, bankLsb = 0;
    bool drum = false;
    uint32_t program = 0;
    std::vector<RegionDesc> regions;
};

struct DlsDesc {
    bool gig = false;  // "dlid" chunk, "3lnk" instead of "wlnk" in regions
    bool hasVers = true;
    uint32_t versionMS = 0x00010000, versionLS = 0;  // major version = versionMS >> 16
    int cueWidth = 0;  // 0 => 8 for GIG of major version >= 3, else 4; 4 or 8 forces it
    bool ptblAfterWvpl = false;  // wave pool before the pool table
    // Top-level order as another tool writes it: DLS "lins","ptbl","wvpl",
    // "INFO","vers","colh"; GIG "INFO","vers","colh","dlid","lins","ptbl",
    // "wvpl","3crc","einf". Instruments are then laid out in that tool's
    // order too (DLS: lrgn, INFO, insh; GIG: INFO, insh, lrgn).
    bool libgigOrder = false;
    bool withPtbl = true, withWvpl = true, withColh = true;
    std::string dlid;  // GIG "dlid" payload; empty => 16 fixed bytes
    std::vector<std::pair<std::string, std::string>> info;  // top-level INFO items (zero-terminated when written)
    // Other top-level chunks, written after "lins" (so inside the header image).
    std::vector<std::pair<std::string, std::string>> extraTopChunks;
    std::vector<InstrumentDesc> instruments;
    std::vector<WaveDesc> waves;  // cue i = wave i
    // "xfil" entries (144 bytes each, name zero-terminated); written whenever
    // not empty. Extension file k is named extensionFileNames[k-1].
    std::vector<std::string> extensionFileNames;
    std::string crc3, einf;  // "3crc"/"einf" payloads (empty => none), after the pool

    int MajorVersion() const { return hasVers ? static_cast<int>(versionMS >> 16) : 0; }
    int EffectiveCueWidth() const;
};

struct BuiltFile {
    std::string name;
    std::string bytes;
};

struct WaveLocation {
    uint32_t fileIndex = 0;
    uint64_t dataOffset = 0;  // absolute offset of the first data byte in its file
    uint32_t dataSize = 0;    // "data" chunk size (0 when there is none)
};

// Where the builder put things, computed while writing.
struct DlsLayout {
    std::vector<WaveLocation> waves;
    uint32_t ptblDataOffset = 0;  // main file: data offset of "ptbl"
    uint32_t ptblSize = 0;        // its size field
    uint32_t wvplBase = 0;        // main file: "wvpl" data offset + 4 (cue offsets are relative to it)
    // Main file: offset of the 8-byte header of "ptbl" or "wvpl", whichever
    // comes first: the header image is bytes 12 up to here.
    uint32_t headerImageEnd = 0;
    std::vector<uint32_t> fileWvplBase;     // per file of the set
    std::vector<uint32_t> cueOffsets;       // per wave, relative to its file's wvpl base
    std::vector<uint64_t> waveListOffsets;  // per wave, absolute offset of its "LIST" header
};

// Main file first, then extension files 1..n (each a "DLS " form holding only
// a "wvpl" with the waves of that file index, in wave order).
std::vector<BuiltFile> BuildDls(const DlsDesc& desc, const std::string& mainName, DlsLayout* layout = nullptr);
// Single-file convenience (extension files, if any, are dropped).
std::string BuildDlsBytes(const DlsDesc& desc, DlsLayout* layout = nullptr);

// Bank word of "insh": LSB in bits 0-7, MSB in bits 8-15, bit 31 for drums.
uint32_t BankWord(uint8_t msb, uint8_t lsb, bool drum);

// Ready-made small files for other tests.
// DLS 1.0 with INFO "INAM" "Two Waves": wave 0 "Mono16" (mono 16-bit
// 44100 Hz, 10 frames), wave 1 "Odd8" (mono 8-bit 11025 Hz, 7 bytes: odd);
// "Piano" (bank 0:0, program 0) with regions 0-59 -> wave 0 and 60-127 ->
// wave 1; "Kit" (drum, bank MSB 1 LSB 2, program 5) with one "rgn2" region
// 36-48, velocity 10-100, key group 1 -> wave 1.
DlsDesc TwoWaveDls();
// GIG of the given major version (2, 3 or 4): two mono 16-bit waves with
// "ewav" chunks (40 and 88 bytes, first word zero: not compressed), one instrument "GigPiano" whose region has one 1-bit
// dimension linking waves 0 and 1, and small "3crc"/"einf" payloads.
DlsDesc SmallGig(int majorVersion);

// ---- SoundFont 2 ------------------------------------------------------------

struct Sf2Sample {
    std::string name;  // 20-byte field, zero-padded (a 20-character name has no terminator)
    uint32_t sampleRate = 44100;
    std::vector<int16_t> data;
    uint32_t loopStart = 0, loopEnd = 0;  // relative to the sample's own start
    uint8_t rootKey = 60;
    int8_t correction = 0;
    uint16_t link = 0, type = 1;
    uint32_t gapAfter = 46;  // zero points after the sample in "smpl"
    // The header says start/end as given (absolute points in "smpl"); the
    // sample's data, if any, is written there (over earlier bytes, growing
    // "smpl" as needed), followed by gapAfter zero points if that grows it.
    // Used for headers out of data order or overlapping.
    bool explicitPosition = false;
    uint32_t start = 0, end = 0;
};

struct Sf2Generator {
    uint16_t oper;
    uint16_t amount;
};
// Range generators (keyRange 43, velRange 44) keep the low end in the low byte.
inline Sf2Generator Sf2Range(uint16_t oper, uint8_t lo, uint8_t hi) {
    return Sf2Generator{oper, static_cast<uint16_t>(lo | (hi << 8))};
}

struct Sf2Zone {
    std::vector<Sf2Generator> gens;  // written in the caller's order
};
struct Sf2Instrument {
    std::string name;
    std::vector<Sf2Zone> zones;
};
struct Sf2Preset {
    std::string name;
    uint16_t preset = 0, bank = 0;
    uint32_t library = 0, genre = 0, morphology = 0;
    std::vector<Sf2Zone> zones;
};

struct Sf2Desc {
    // Top-level "INFO" items, written exactly as given (no terminator added),
    // e.g. {"ifil", std::string("\x02\x00\x01\x00", 4)}, {"INAM", "Test\0"}.
    std::vector<std::pair<std::string, std::string>> info;
    std::vector<Sf2Sample> samples;
    std::vector<Sf2Instrument> instruments;
    std::vector<Sf2Preset> presets;
    bool sdtaAfterPdta = false;
    bool withSdta = true, withPdta = true;
    std::string sm24;  // "sm24" payload after "smpl" (empty => none)
};

struct Sf2Layout {
    uint64_t smplDataOffset = 0;
    uint32_t smplSize = 0;
    uint64_t pdtaOffset = 0;  // offset of the "pdta" "LIST" header
    uint32_t pdtaSize = 0;    // its size field
    std::vector<uint32_t> starts, ends;  // per sample, in points
};

std::string BuildSf2(const Sf2Desc& desc, Sf2Layout* layout = nullptr);

// "ifil" 2.01, "isng" and "INAM" "Small"; samples "SineA" (20 points,
// loop 4..16, 44100 Hz, root 60) and "SineB" (13 points, 22050 Hz, root 72,
// correction -5); instrument "Inst" with zones keyRange 0-63 -> sample 0 and
// keyRange 64-127 -> sample 1; preset "Preset" 0:0 with one zone -> "Inst".
Sf2Desc SmallSf2();

// SoundFont 2 generator numbers used by the fixtures.
enum : uint16_t { kSf2GenInstrument = 41, kSf2GenKeyRange = 43, kSf2GenVelRange = 44, kSf2GenSampleId = 53 };

}  // namespace zu::fixture

#endif

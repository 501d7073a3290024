// An independent reader for test fixtures: walks DLS, GIG and SoundFont 2
// files with its own bounds-checked RIFF code (nothing of the module's) and
// reports what the files say, without interpretation beyond that.
// Malformed structure is reported by throwing FixtureError.
#ifndef ZU_TESTS_FIXTURE_READER_H
#define ZU_TESTS_FIXTURE_READER_H

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/fixture_builder.h"

namespace zu::fixture {

struct FixtureError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// ---- Generic RIFF tree ------------------------------------------------------

struct RiffNode {
    std::string id;      // "RIFF", "LIST" or the chunk's identifier
    std::string type;    // form or list type; empty for plain chunks
    uint64_t offset = 0;      // offset of the 8-byte header
    uint64_t dataOffset = 0;  // offset + 8 (for lists: where the type is)
    uint32_t size = 0;        // size field
    std::vector<RiffNode> children;  // for "RIFF" and "LIST" only

    bool IsList() const { return id == "RIFF" || id == "LIST"; }
    // "LIST" nodes are named by their list type, others by their id.
    std::string Name() const { return id == "LIST" ? type : id; }
    // Offset of the first byte after the list type (lists) or of the data.
    uint64_t ContentOffset() const { return IsList() ? dataOffset + 4 : dataOffset; }
};

// Parses the file's "RIFF" form and every list inside it. Every chunk must
// lie inside its parent (a missing final pad byte is tolerated); the form
// must fit the file; bytes after the form are ignored.
RiffNode ParseRiff(const std::string& bytes);
// First child that is a plain chunk `id` / a "LIST" of type `listType`; null if none.
const RiffNode* FindChunk(const RiffNode& parent, const std::string& id);
const RiffNode* FindList(const RiffNode& parent, const std::string& listType);
// The child names in file order (see RiffNode::Name).
std::vector<std::string> ChildNames(const RiffNode& parent);
// The data bytes of a plain chunk (size field bytes from its data offset).
std::string ChunkData(const std::string& bytes, const RiffNode& chunk);
// Text of a zero-terminated field: the bytes up to the first zero.
std::string TextUpToZero(const std::string& bytes);

// ---- DLS and GIG ------------------------------------------------------------

struct DlsReadWave {
    uint32_t fileIndex = 0;   // from the cue (0 with 4-byte cues)
    uint32_t cueOffset = 0;   // relative to that file's wave-pool base
    uint64_t listOffset = 0;  // absolute offset of the "wave" "LIST" header
    std::vector<std::string> chunkOrder;  // sub-chunk names in file order
    bool hasName = false;
    std::string name;  // "INAM" of the wave's "INFO", up to the first zero
    std::string fmt;   // raw "fmt " payload (empty when absent)
    // From the first bytes of "fmt " (zero where the chunk is shorter).
    uint16_t formatTag = 0, channels = 0;
    uint32_t sampleRate = 0, bytesPerSecond = 0;
    uint16_t blockAlign = 0, bitsPerSample = 0, extraSize = 0;
    bool hasData = false;
    uint64_t dataOffset = 0;  // absolute, in file fileIndex
    uint32_t dataSize = 0;
    std::string data;  // exactly the "data" chunk's bytes
    bool hasEwav = false;
    std::string ewav;
};

struct DlsReadRegion {
    std::string listType;  // "rgn " or "rgn2"
    std::string rgnh;      // raw payload
    uint16_t keyLo = 0, keyHi = 0, velLo = 0, velHi = 0, options = 0, keyGroup = 0;
    bool hasWlnk = false;
    uint16_t wlnkOptions = 0, phaseGroup = 0;
    uint32_t channel = 0, wave = 0;
    bool has3lnk = false;
    std::string lnk3;  // raw payload
    // Parsed by the chunk's size: 172 bytes (5 definitions, 32 waves at 44),
    // 1092 (8, 256 at 68) or 4164 (8, 1024 at 68); other sizes stay unparsed.
    uint32_t dimensionRegionCount = 0;
    std::vector<uint8_t> dimensionTypes;  // byte 0 of each definition
    std::vector<uint8_t> dimensionBits;   // byte 1 of each definition
    std::vector<uint32_t> gigWaves;       // the whole wave-number table
};

struct DlsReadInstrument {
    bool hasName = false;
    std::string name;
    bool hasInsh = false;
    uint32_t regionCount = 0, bank = 0, program = 0;
    uint8_t bankMsb = 0, bankLsb = 0;
    bool drum = false;
    std::vector<std::string> chunkOrder;
    std::vector<DlsReadRegion> regions;  // "rgn " and "rgn2" lists in file order
};

struct DlsContents {
    std::vector<std::string> topLevel;  // names in file order
    bool gig = false;                   // a top-level "dlid" chunk
    bool hasVers = false;
    uint32_t versionMS = 0, versionLS = 0;
    bool hasColh = false;
    uint32_t instrumentCount = 0;
    std::vector<std::pair<std::string, std::string>> info;  // text up to the first zero
    uint64_t ptblOffset = 0, ptblDataOffset = 0;
    uint32_t ptblSize = 0, ptblHeaderSize = 0, cueCount = 0;
    int cueWidth = 0;  // 4 when the size is 8 + 4n, 8 when 8 + 8n
    uint64_t wvplOffset = 0, wvplBase = 0;
    uint64_t headerImageEnd = 0;  // the lower of ptblOffset and wvplOffset
    std::vector<std::string> extensionFileNames;  // "xfil", up to the first zero of each entry
    bool has3crc = false, hasEinf = false;
    std::string crc3, einf;
    std::vector<DlsReadWave> waves;  // in pool-table order
    std::vector<DlsReadInstrument> instruments;
};

// Loads extension file `name` (as "xfil" gives it); throws when missing.
using FileLoader = std::function<std::string(const std::string& name)>;
DlsContents ReadDls(const std::string& mainBytes, const FileLoader& loadExtension);
// A set built in memory: files[0] is the main file, extensions are found by name.
DlsContents ReadDlsSet(const std::vector<BuiltFile>& files);
// A set on disk: extension names are relative to the main file's folder,
// with backslashes taken as separators. Paths are UTF-8.
DlsContents ReadDlsFile(const std::string& mainPath);

// ---- SoundFont 2 ------------------------------------------------------------

struct Sf2ReadSample {
    std::string name;
    uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0, sampleRate = 0;
    uint8_t rootKey = 0;
    int8_t correction = 0;
    uint16_t link = 0, type = 0;
    bool inRange = false;  // start <= end and 2 * end within "smpl"
    std::string data;      // bytes 2*start .. 2*end of "smpl" (empty unless inRange)
};

struct Sf2ReadZone {
    uint16_t genIndex = 0, modIndex = 0;
    std::vector<Sf2Generator> gens;
};

struct Sf2ReadPreset {
    std::string name;
    uint16_t preset = 0, bank = 0, bagIndex = 0;
    uint32_t library = 0, genre = 0, morphology = 0;
    std::vector<Sf2ReadZone> zones;
};

struct Sf2ReadInstrument {
    std::string name;
    uint16_t bagIndex = 0;
    std::vector<Sf2ReadZone> zones;
};

struct Sf2Contents {
    std::vector<std::string> topLevel;
    std::vector<std::pair<std::string, std::string>> info;  // raw payloads
    bool hasSmpl = false;
    uint64_t smplDataOffset = 0;
    uint32_t smplSize = 0;
    bool hasSm24 = false;
    uint32_t sm24Size = 0;
    bool hasPdta = false;
    uint64_t pdtaOffset = 0;
    uint32_t pdtaSize = 0;
    std::vector<std::string> pdtaOrder;
    // Whole records of each chunk, terminal records included.
    uint32_t phdrCount = 0, pbagCount = 0, pmodCount = 0, pgenCount = 0;
    uint32_t instCount = 0, ibagCount = 0, imodCount = 0, igenCount = 0, shdrCount = 0;
    std::vector<Sf2ReadPreset> presets;  // without the terminal record
    Sf2ReadPreset terminalPreset;
    std::vector<Sf2ReadInstrument> instruments;
    Sf2ReadInstrument terminalInstrument;
    std::vector<Sf2ReadSample> samples;
    Sf2ReadSample terminalSample;
    Sf2Generator terminalPresetGen{0, 0}, terminalInstrumentGen{0, 0};  // the last record of pgen / igen
    Sf2ReadZone terminalPresetBag, terminalInstrumentBag;                // the last record of pbag / ibag
    std::string pmod, imod;                                              // raw payloads
};

Sf2Contents ReadSf2(const std::string& bytes);
Sf2Contents ReadSf2File(const std::string& path);

// Whole file as bytes (UTF-8 path); throws FixtureError when unreadable.
std::string LoadFile(const std::string& path);

}  // namespace zu::fixture

#endif

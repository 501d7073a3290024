#include "support/fixture_reader.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <memory>

namespace zu::fixture {

namespace {

constexpr int kMaxDepth = 16;

[[noreturn]] void Fail(const std::string& what) { throw FixtureError(what); }

// Bounds-checked little-endian reads from a byte string.
class View {
public:
    View(const std::string& bytes, uint64_t begin, uint64_t end) : bytes_(bytes), begin_(begin), end_(end) {
        if (begin > end || end > bytes.size()) Fail("view outside the file");
    }
    uint64_t Size() const { return end_ - begin_; }
    uint8_t U8(uint64_t at) const {
        Need(at, 1);
        return static_cast<uint8_t>(bytes_[static_cast<size_t>(begin_ + at)]);
    }
    uint16_t U16(uint64_t at) const {
        Need(at, 2);
        return static_cast<uint16_t>(U8(at) | (U8(at + 1) << 8));
    }
    uint32_t U32(uint64_t at) const {
        Need(at, 4);
        return static_cast<uint32_t>(U16(at)) | (static_cast<uint32_t>(U16(at + 2)) << 16);
    }
    std::string Bytes(uint64_t at, uint64_t count) const {
        Need(at, count);
        return bytes_.substr(static_cast<size_t>(begin_ + at), static_cast<size_t>(count));
    }
    // Zero where the view is shorter: for fields of chunks that may be short.
    uint16_t U16OrZero(uint64_t at) const { return at + 2 <= Size() ? U16(at) : 0; }
    uint32_t U32OrZero(uint64_t at) const { return at + 4 <= Size() ? U32(at) : 0; }

private:
    void Need(uint64_t at, uint64_t count) const {
        if (at > Size() || Size() - at < count) Fail("read beyond the end of a chunk");
    }
    const std::string& bytes_;
    uint64_t begin_, end_;
};

View DataView(const std::string& bytes, const RiffNode& n) {
    return View(bytes, n.dataOffset, n.dataOffset + n.size);
}

void ParseChildren(const std::string& bytes, RiffNode& parent, uint64_t begin, uint64_t end, int depth) {
    if (depth > kMaxDepth) Fail("chunks nested too deep");
    uint64_t pos = begin;
    while (pos < end) {
        // One stray byte at the end is the pad of an odd last child.
        if (end - pos < 8) {
            if (end - pos == 1) break;
            Fail("truncated chunk header at offset " + std::to_string(pos));
        }
        RiffNode n;
        n.id = bytes.substr(static_cast<size_t>(pos), 4);
        n.offset = pos;
        n.dataOffset = pos + 8;
        n.size = View(bytes, pos, end).U32(4);
        if (n.dataOffset + n.size > end) {
            Fail("chunk '" + n.id + "' at offset " + std::to_string(pos) + " runs past its parent");
        }
        if (n.IsList()) {
            if (n.size < 4) Fail("list '" + n.id + "' at offset " + std::to_string(pos) + " has no type");
            n.type = bytes.substr(static_cast<size_t>(n.dataOffset), 4);
            ParseChildren(bytes, n, n.dataOffset + 4, n.dataOffset + n.size, depth + 1);
        }
        parent.children.push_back(std::move(n));
        const uint64_t next = pos + 8 + parent.children.back().size + (parent.children.back().size & 1u);
        if (next > end) break;  // the last odd child's pad byte lies outside its parent
        pos = next;
    }
}

std::string Name(const std::string& bytes) { return TextUpToZero(bytes); }

}  // namespace

// ---- Generic RIFF tree ------------------------------------------------------

RiffNode ParseRiff(const std::string& bytes) {
    if (bytes.size() < 12) Fail("file too short for a RIFF form");
    if (bytes.compare(0, 4, "RIFF") != 0) Fail("file does not start with RIFF");
    RiffNode root;
    root.id = "RIFF";
    root.offset = 0;
    root.dataOffset = 8;
    root.size = View(bytes, 0, bytes.size()).U32(4);
    if (root.size < 4) Fail("RIFF form without type");
    if (8 + static_cast<uint64_t>(root.size) > bytes.size()) Fail("RIFF form larger than the file");
    root.type = bytes.substr(8, 4);
    ParseChildren(bytes, root, 12, 8 + static_cast<uint64_t>(root.size), 1);
    return root;
}

const RiffNode* FindChunk(const RiffNode& parent, const std::string& id) {
    for (const auto& c : parent.children) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

const RiffNode* FindList(const RiffNode& parent, const std::string& listType) {
    for (const auto& c : parent.children) {
        if (c.id == "LIST" && c.type == listType) return &c;
    }
    return nullptr;
}

std::vector<std::string> ChildNames(const RiffNode& parent) {
    std::vector<std::string> names;
    for (const auto& c : parent.children) names.push_back(c.Name());
    return names;
}

std::string ChunkData(const std::string& bytes, const RiffNode& chunk) {
    return DataView(bytes, chunk).Bytes(0, chunk.size);
}

std::string TextUpToZero(const std::string& bytes) {
    const size_t z = bytes.find('\0');
    return z == std::string::npos ? bytes : bytes.substr(0, z);
}

std::string LoadFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in) Fail("cannot open " + path);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) Fail("cannot read " + path);
    return bytes;
}

// ---- DLS and GIG ------------------------------------------------------------

namespace {

struct LoadedFile {
    std::string bytes;
    RiffNode root;
    const RiffNode* wvpl = nullptr;
};

std::vector<std::pair<std::string, std::string>> InfoItems(const std::string& bytes, const RiffNode& info) {
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto& c : info.children) {
        if (!c.IsList()) items.emplace_back(c.id, Name(ChunkData(bytes, c)));
    }
    return items;
}

bool InamOf(const std::string& bytes, const RiffNode& parent, std::string& name) {
    const RiffNode* info = FindList(parent, "INFO");
    const RiffNode* inam = info != nullptr ? FindChunk(*info, "INAM") : nullptr;
    if (inam == nullptr) return false;
    name = Name(ChunkData(bytes, *inam));
    return true;
}

DlsReadWave ReadWaveList(const std::string& bytes, const RiffNode& wave) {
    DlsReadWave w;
    w.listOffset = wave.offset;
    w.chunkOrder = ChildNames(wave);
    w.hasName = InamOf(bytes, wave, w.name);
    if (const RiffNode* fmt = FindChunk(wave, "fmt ")) {
        w.fmt = ChunkData(bytes, *fmt);
        const View f = DataView(bytes, *fmt);
        w.formatTag = f.U16OrZero(0);
        w.channels = f.U16OrZero(2);
        w.sampleRate = f.U32OrZero(4);
        w.bytesPerSecond = f.U32OrZero(8);
        w.blockAlign = f.U16OrZero(12);
        w.bitsPerSample = f.U16OrZero(14);
        w.extraSize = f.U16OrZero(16);
    }
    if (const RiffNode* data = FindChunk(wave, "data")) {
        w.hasData = true;
        w.dataOffset = data->dataOffset;
        w.dataSize = data->size;
        w.data = ChunkData(bytes, *data);
    }
    if (const RiffNode* ewav = FindChunk(wave, "ewav")) {
        w.hasEwav = true;
        w.ewav = ChunkData(bytes, *ewav);
    }
    return w;
}

DlsReadRegion ReadRegion(const std::string& bytes, const RiffNode& rgn) {
    DlsReadRegion r;
    r.listType = rgn.type;
    if (const RiffNode* rgnh = FindChunk(rgn, "rgnh")) {
        r.rgnh = ChunkData(bytes, *rgnh);
        const View v = DataView(bytes, *rgnh);
        r.keyLo = v.U16OrZero(0);
        r.keyHi = v.U16OrZero(2);
        r.velLo = v.U16OrZero(4);
        r.velHi = v.U16OrZero(6);
        r.options = v.U16OrZero(8);
        r.keyGroup = v.U16OrZero(10);
    }
    if (const RiffNode* wlnk = FindChunk(rgn, "wlnk")) {
        r.hasWlnk = true;
        const View v = DataView(bytes, *wlnk);
        r.wlnkOptions = v.U16OrZero(0);
        r.phaseGroup = v.U16OrZero(2);
        r.channel = v.U32OrZero(4);
        r.wave = v.U32OrZero(8);
    }
    if (const RiffNode* lnk = FindChunk(rgn, "3lnk")) {
        r.has3lnk = true;
        r.lnk3 = ChunkData(bytes, *lnk);
        const View v = DataView(bytes, *lnk);
        size_t definitions = 0, waves = 0;
        uint64_t wavesAt = 0;
        if (lnk->size == 172) {
            definitions = 5, waves = 32, wavesAt = 44;
        } else if (lnk->size == 1092) {
            definitions = 8, waves = 256, wavesAt = 68;
        } else if (lnk->size == 4164) {
            definitions = 8, waves = 1024, wavesAt = 68;
        }
        if (definitions != 0) {
            r.dimensionRegionCount = v.U32(0);
            for (size_t d = 0; d < definitions; ++d) {
                r.dimensionTypes.push_back(v.U8(4 + 8 * d));
                r.dimensionBits.push_back(v.U8(4 + 8 * d + 1));
            }
            for (size_t i = 0; i < waves; ++i) r.gigWaves.push_back(v.U32(wavesAt + 4 * i));
        }
    }
    return r;
}

DlsReadInstrument ReadInstrument(const std::string& bytes, const RiffNode& ins) {
    DlsReadInstrument i;
    i.chunkOrder = ChildNames(ins);
    i.hasName = InamOf(bytes, ins, i.name);
    if (const RiffNode* insh = FindChunk(ins, "insh")) {
        i.hasInsh = true;
        const View v = DataView(bytes, *insh);
        i.regionCount = v.U32OrZero(0);
        i.bank = v.U32OrZero(4);
        i.program = v.U32OrZero(8);
        i.bankLsb = static_cast<uint8_t>(i.bank & 0xFF);
        i.bankMsb = static_cast<uint8_t>((i.bank >> 8) & 0xFF);
        i.drum = (i.bank & 0x80000000u) != 0;
    }
    if (const RiffNode* lrgn = FindList(ins, "lrgn")) {
        for (const auto& c : lrgn->children) {
            if (c.id == "LIST" && (c.type == "rgn " || c.type == "rgn2")) i.regions.push_back(ReadRegion(bytes, c));
        }
    }
    return i;
}

}  // namespace

DlsContents ReadDls(const std::string& mainBytes, const FileLoader& loadExtension) {
    DlsContents d;
    std::vector<std::unique_ptr<LoadedFile>> files;
    files.push_back(std::make_unique<LoadedFile>());
    LoadedFile& main = *files[0];
    main.bytes = mainBytes;
    main.root = ParseRiff(main.bytes);
    const std::string& bytes = main.bytes;
    const RiffNode& root = main.root;
    if (root.type != "DLS ") Fail("not a DLS form: '" + root.type + "'");

    d.topLevel = ChildNames(root);
    d.gig = FindChunk(root, "dlid") != nullptr;
    if (const RiffNode* vers = FindChunk(root, "vers")) {
        const View v = DataView(bytes, *vers);
        d.hasVers = true;
        d.versionMS = v.U32OrZero(0);
        d.versionLS = v.U32OrZero(4);
    }
    if (const RiffNode* colh = FindChunk(root, "colh")) {
        d.hasColh = true;
        d.instrumentCount = DataView(bytes, *colh).U32OrZero(0);
    }
    if (const RiffNode* info = FindList(root, "INFO")) d.info = InfoItems(bytes, *info);
    if (const RiffNode* xfil = FindChunk(root, "xfil")) {
        const View v = DataView(bytes, *xfil);
        const uint32_t count = v.U32(0);
        for (uint32_t k = 0; k < count; ++k) d.extensionFileNames.push_back(Name(v.Bytes(4 + 144ull * k, 144)));
    }
    if (const RiffNode* c = FindChunk(root, "3crc")) {
        d.has3crc = true;
        d.crc3 = ChunkData(bytes, *c);
    }
    if (const RiffNode* c = FindChunk(root, "einf")) {
        d.hasEinf = true;
        d.einf = ChunkData(bytes, *c);
    }

    const RiffNode* ptbl = FindChunk(root, "ptbl");
    if (ptbl == nullptr) Fail("no \"ptbl\" chunk");
    main.wvpl = FindList(root, "wvpl");
    if (main.wvpl == nullptr) Fail("no \"wvpl\" list");
    d.ptblOffset = ptbl->offset;
    d.ptblDataOffset = ptbl->dataOffset;
    d.ptblSize = ptbl->size;
    d.wvplOffset = main.wvpl->offset;
    d.wvplBase = main.wvpl->ContentOffset();
    d.headerImageEnd = std::min(d.ptblOffset, d.wvplOffset);

    const View pt = DataView(bytes, *ptbl);
    d.ptblHeaderSize = pt.U32(0);
    d.cueCount = pt.U32(4);
    // The cue width follows from the size alone: 8 + 4n or 8 + 8n.
    if (ptbl->size == 8 + 4ull * d.cueCount) {
        d.cueWidth = 4;
    } else if (ptbl->size == 8 + 8ull * d.cueCount) {
        d.cueWidth = 8;
    } else {
        Fail("\"ptbl\" size " + std::to_string(ptbl->size) + " fits neither 4- nor 8-byte cues for " +
             std::to_string(d.cueCount) + " cues");
    }

    const auto fileAt = [&](uint32_t index) -> LoadedFile& {
        if (index >= 1 + d.extensionFileNames.size()) Fail("cue names file " + std::to_string(index) + " of none");
        if (files.size() <= index) files.resize(index + 1);
        if (!files[index]) {
            auto f = std::make_unique<LoadedFile>();
            f->bytes = loadExtension(d.extensionFileNames[index - 1]);
            f->root = ParseRiff(f->bytes);
            if (f->root.type != "DLS ") Fail("extension file " + std::to_string(index) + " is not a DLS form");
            f->wvpl = FindList(f->root, "wvpl");
            if (f->wvpl == nullptr) Fail("extension file " + std::to_string(index) + " has no \"wvpl\"");
            files[index] = std::move(f);
        }
        return *files[index];
    };

    for (uint32_t i = 0; i < d.cueCount; ++i) {
        uint32_t fileIndex = 0, offset = 0;
        if (d.cueWidth == 8) {
            fileIndex = pt.U32(8 + 8ull * i);
            offset = pt.U32(8 + 8ull * i + 4);
        } else {
            offset = pt.U32(8 + 4ull * i);
        }
        LoadedFile& f = fileAt(fileIndex);
        const uint64_t at = f.wvpl->ContentOffset() + offset;
        const RiffNode* wave = nullptr;
        for (const auto& c : f.wvpl->children) {
            if (c.offset == at) wave = &c;
        }
        if (wave == nullptr || wave->id != "LIST" || wave->type != "wave") {
            Fail("cue " + std::to_string(i) + " does not point at a \"wave\" list");
        }
        DlsReadWave w = ReadWaveList(f.bytes, *wave);
        w.fileIndex = fileIndex;
        w.cueOffset = offset;
        d.waves.push_back(std::move(w));
    }

    if (const RiffNode* lins = FindList(root, "lins")) {
        for (const auto& c : lins->children) {
            if (c.id == "LIST" && c.type == "ins ") d.instruments.push_back(ReadInstrument(bytes, c));
        }
    }
    return d;
}

DlsContents ReadDlsSet(const std::vector<BuiltFile>& files) {
    if (files.empty()) Fail("no files");
    return ReadDls(files[0].bytes, [&](const std::string& name) -> std::string {
        for (size_t k = 1; k < files.size(); ++k) {
            if (files[k].name == name) return files[k].bytes;
        }
        Fail("extension file '" + name + "' is not in the set");
    });
}

DlsContents ReadDlsFile(const std::string& mainPath) {
    const std::filesystem::path folder = std::filesystem::u8path(mainPath).parent_path();
    return ReadDls(LoadFile(mainPath), [&](const std::string& name) {
        std::string relative = name;
        for (char& c : relative) {
            if (c == '\\') c = '/';
        }
        return LoadFile((folder / std::filesystem::u8path(relative)).u8string());
    });
}

// ---- SoundFont 2 ------------------------------------------------------------

namespace {

struct Records {
    const RiffNode* chunk = nullptr;
    uint32_t count = 0;
};

Records RecordsOf(const RiffNode* pdta, const char* id, uint32_t recordSize) {
    Records r;
    if (pdta == nullptr) return r;
    r.chunk = FindChunk(*pdta, id);
    if (r.chunk != nullptr) r.count = r.chunk->size / recordSize;
    return r;
}

// Zones [first, last) of a bag chunk with their generators.
std::vector<Sf2ReadZone> Zones(const std::string& bytes, const Records& bags, const Records& gens, uint32_t first,
                               uint32_t last, const char* what) {
    std::vector<Sf2ReadZone> zones;
    if (last < first) Fail(std::string(what) + ": zone indices go backwards");
    if (last >= bags.count && last > first) Fail(std::string(what) + ": zone index beyond the bag chunk");
    for (uint32_t b = first; b < last; ++b) {
        const View bag = DataView(bytes, *bags.chunk);
        Sf2ReadZone z;
        z.genIndex = bag.U16(4ull * b);
        z.modIndex = bag.U16(4ull * b + 2);
        const uint16_t genEnd = bag.U16(4ull * (b + 1));
        if (genEnd < z.genIndex || genEnd > gens.count) Fail(std::string(what) + ": generator indices out of range");
        const View g = DataView(bytes, *gens.chunk);
        for (uint32_t k = z.genIndex; k < genEnd; ++k) z.gens.push_back(Sf2Generator{g.U16(4ull * k), g.U16(4ull * k + 2)});
        zones.push_back(std::move(z));
    }
    return zones;
}

Sf2ReadZone LastBag(const std::string& bytes, const Records& bags) {
    Sf2ReadZone z;
    if (bags.count == 0) return z;
    const View v = DataView(bytes, *bags.chunk);
    z.genIndex = v.U16(4ull * (bags.count - 1));
    z.modIndex = v.U16(4ull * (bags.count - 1) + 2);
    return z;
}

Sf2Generator LastGen(const std::string& bytes, const Records& gens) {
    if (gens.count == 0) return Sf2Generator{0, 0};
    const View v = DataView(bytes, *gens.chunk);
    return Sf2Generator{v.U16(4ull * (gens.count - 1)), v.U16(4ull * (gens.count - 1) + 2)};
}

}  // namespace

Sf2Contents ReadSf2(const std::string& bytes) {
    Sf2Contents s;
    const RiffNode root = ParseRiff(bytes);
    if (root.type != "sfbk") Fail("not a SoundFont 2 form: '" + root.type + "'");
    s.topLevel = ChildNames(root);
    if (const RiffNode* info = FindList(root, "INFO")) {
        for (const auto& c : info->children) {
            if (!c.IsList()) s.info.emplace_back(c.id, ChunkData(bytes, c));
        }
    }
    const RiffNode* smpl = nullptr;
    if (const RiffNode* sdta = FindList(root, "sdta")) {
        smpl = FindChunk(*sdta, "smpl");
        if (smpl != nullptr) {
            s.hasSmpl = true;
            s.smplDataOffset = smpl->dataOffset;
            s.smplSize = smpl->size;
        }
        if (const RiffNode* sm24 = FindChunk(*sdta, "sm24")) {
            s.hasSm24 = true;
            s.sm24Size = sm24->size;
        }
    }
    const RiffNode* pdta = FindList(root, "pdta");
    if (pdta == nullptr) return s;
    s.hasPdta = true;
    s.pdtaOffset = pdta->offset;
    s.pdtaSize = pdta->size;
    s.pdtaOrder = ChildNames(*pdta);

    const Records phdr = RecordsOf(pdta, "phdr", 38), pbag = RecordsOf(pdta, "pbag", 4),
                  pmod = RecordsOf(pdta, "pmod", 10), pgen = RecordsOf(pdta, "pgen", 4),
                  inst = RecordsOf(pdta, "inst", 22), ibag = RecordsOf(pdta, "ibag", 4),
                  imod = RecordsOf(pdta, "imod", 10), igen = RecordsOf(pdta, "igen", 4),
                  shdr = RecordsOf(pdta, "shdr", 46);
    s.phdrCount = phdr.count, s.pbagCount = pbag.count, s.pmodCount = pmod.count, s.pgenCount = pgen.count;
    s.instCount = inst.count, s.ibagCount = ibag.count, s.imodCount = imod.count, s.igenCount = igen.count;
    s.shdrCount = shdr.count;
    if (pmod.chunk != nullptr) s.pmod = ChunkData(bytes, *pmod.chunk);
    if (imod.chunk != nullptr) s.imod = ChunkData(bytes, *imod.chunk);

    for (uint32_t i = 0; i < phdr.count; ++i) {
        const View v = DataView(bytes, *phdr.chunk);
        const uint64_t at = 38ull * i;
        Sf2ReadPreset p;
        p.name = Name(v.Bytes(at, 20));
        p.preset = v.U16(at + 20);
        p.bank = v.U16(at + 22);
        p.bagIndex = v.U16(at + 24);
        p.library = v.U32(at + 26);
        p.genre = v.U32(at + 30);
        p.morphology = v.U32(at + 34);
        if (i + 1 == phdr.count) {
            s.terminalPreset = p;
        } else {
            p.zones = Zones(bytes, pbag, pgen, p.bagIndex, v.U16(at + 38 + 24), "preset");
            s.presets.push_back(std::move(p));
        }
    }
    for (uint32_t i = 0; i < inst.count; ++i) {
        const View v = DataView(bytes, *inst.chunk);
        const uint64_t at = 22ull * i;
        Sf2ReadInstrument in;
        in.name = Name(v.Bytes(at, 20));
        in.bagIndex = v.U16(at + 20);
        if (i + 1 == inst.count) {
            s.terminalInstrument = in;
        } else {
            in.zones = Zones(bytes, ibag, igen, in.bagIndex, v.U16(at + 22 + 20), "instrument");
            s.instruments.push_back(std::move(in));
        }
    }
    s.terminalPresetBag = LastBag(bytes, pbag);
    s.terminalInstrumentBag = LastBag(bytes, ibag);
    s.terminalPresetGen = LastGen(bytes, pgen);
    s.terminalInstrumentGen = LastGen(bytes, igen);

    for (uint32_t i = 0; i < shdr.count; ++i) {
        const View v = DataView(bytes, *shdr.chunk);
        const uint64_t at = 46ull * i;
        Sf2ReadSample m;
        m.name = Name(v.Bytes(at, 20));
        m.start = v.U32(at + 20);
        m.end = v.U32(at + 24);
        m.loopStart = v.U32(at + 28);
        m.loopEnd = v.U32(at + 32);
        m.sampleRate = v.U32(at + 36);
        m.rootKey = v.U8(at + 40);
        m.correction = static_cast<int8_t>(v.U8(at + 41));
        m.link = v.U16(at + 42);
        m.type = v.U16(at + 44);
        m.inRange = smpl != nullptr && m.start <= m.end && 2ull * m.end <= smpl->size;
        if (m.inRange) m.data = DataView(bytes, *smpl).Bytes(2ull * m.start, 2ull * (m.end - m.start));
        if (i + 1 == shdr.count) {
            s.terminalSample = m;
        } else {
            s.samples.push_back(std::move(m));
        }
    }
    return s;
}

Sf2Contents ReadSf2File(const std::string& path) { return ReadSf2(LoadFile(path)); }

}  // namespace zu::fixture

#include "support/fixture_builder.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace zu::fixture {

// ---- Little-endian byte helpers -------------------------------------------

void PutU8(std::string& out, uint8_t v) { out.push_back(static_cast<char>(v)); }

void PutU16(std::string& out, uint16_t v) {
    PutU8(out, static_cast<uint8_t>(v & 0xFF));
    PutU8(out, static_cast<uint8_t>(v >> 8));
}

void PutU32(std::string& out, uint32_t v) {
    PutU16(out, static_cast<uint16_t>(v & 0xFFFF));
    PutU16(out, static_cast<uint16_t>(v >> 16));
}

void PutU64(std::string& out, uint64_t v) {
    PutU32(out, static_cast<uint32_t>(v & 0xFFFFFFFFu));
    PutU32(out, static_cast<uint32_t>(v >> 32));
}

std::string U16(uint16_t v) {
    std::string s;
    PutU16(s, v);
    return s;
}

std::string U32(uint32_t v) {
    std::string s;
    PutU32(s, v);
    return s;
}

void PatchU32(std::string& out, uint64_t offset, uint32_t v) {
    if (offset > out.size() || out.size() - offset < 4) throw std::out_of_range("PatchU32 outside the buffer");
    const std::string b = U32(v);
    out.replace(static_cast<size_t>(offset), 4, b);
}

uint16_t GetU16(const std::string& in, uint64_t offset) {
    if (offset > in.size() || in.size() - offset < 2) throw std::out_of_range("GetU16 outside the buffer");
    const auto b = [&](size_t i) { return static_cast<uint16_t>(static_cast<uint8_t>(in[offset + i])); };
    return static_cast<uint16_t>(b(0) | (b(1) << 8));
}

uint32_t GetU32(const std::string& in, uint64_t offset) {
    if (offset > in.size() || in.size() - offset < 4) throw std::out_of_range("GetU32 outside the buffer");
    return static_cast<uint32_t>(GetU16(in, offset)) | (static_cast<uint32_t>(GetU16(in, offset + 2)) << 16);
}

namespace {

// xorshift32: cheap, deterministic and never stuck at zero.
uint32_t NextPattern(uint32_t& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

uint32_t PatternState(uint32_t seed) {
    const uint32_t x = seed * 0x9E3779B9u + 0x7F4A7C15u;
    return x == 0 ? 1u : x;
}

void CheckFourCC(const std::string& id) {
    if (id.size() != 4) throw std::invalid_argument("a chunk identifier must have four bytes: '" + id + "'");
}

uint32_t ToU32(uint64_t v, const char* what) {
    if (v > std::numeric_limits<uint32_t>::max()) throw std::length_error(std::string(what) + " does not fit 32 bits");
    return static_cast<uint32_t>(v);
}

uint16_t ToU16(size_t v, const char* what) {
    if (v > std::numeric_limits<uint16_t>::max()) throw std::length_error(std::string(what) + " does not fit 16 bits");
    return static_cast<uint16_t>(v);
}

// A fixed-length text field, zero-padded, cut at `length` bytes.
std::string FixedText(const std::string& text, size_t length) {
    std::string s = text.substr(0, std::min(text.size(), length));
    s.resize(length, '\0');
    return s;
}

std::string ZeroTerminated(const std::string& text) { return text + std::string(1, '\0'); }

}  // namespace

std::string PatternBytes(size_t count, uint32_t seed) {
    uint32_t x = PatternState(seed);
    std::string out(count, '\0');
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<char>(NextPattern(x) >> 24);
    return out;
}

std::vector<int16_t> PatternPoints(size_t count, uint32_t seed) {
    uint32_t x = PatternState(seed);
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>(static_cast<uint16_t>(NextPattern(x) >> 16));
    return out;
}

std::string PointBytes(const std::vector<int16_t>& points) {
    std::string out;
    out.reserve(points.size() * 2);
    for (int16_t p : points) PutU16(out, static_cast<uint16_t>(p));
    return out;
}

// ---- RIFF writer -----------------------------------------------------------

void RiffWriter::Header(const std::string& id) {
    CheckFourCC(id);
    out_ += id;
    PutU32(out_, 0);  // patched by End
    open_.push_back(out_.size());
}

void RiffWriter::BeginForm(const std::string& formType) {
    CheckFourCC(formType);
    Header("RIFF");
    out_ += formType;
}

void RiffWriter::BeginList(const std::string& listType) {
    CheckFourCC(listType);
    Header("LIST");
    out_ += listType;
}

void RiffWriter::BeginChunk(const std::string& id) { Header(id); }

void RiffWriter::Write(const std::string& bytes) { out_ += bytes; }

void RiffWriter::End() {
    if (open_.empty()) throw std::logic_error("RiffWriter::End without an open chunk");
    const uint64_t dataOffset = open_.back();
    open_.pop_back();
    const uint32_t size = ToU32(out_.size() - dataOffset, "chunk size");
    PatchU32(out_, dataOffset - 4, size);
    // The pad byte belongs to the parent, not to this chunk's size.
    if (size & 1u) out_.push_back('\0');
}

void RiffWriter::Chunk(const std::string& id, const std::string& data) {
    BeginChunk(id);
    Write(data);
    End();
}

void RiffWriter::List(const std::string& listType, const std::vector<std::pair<std::string, std::string>>& chunks) {
    BeginList(listType);
    for (const auto& c : chunks) Chunk(c.first, c.second);
    End();
}

std::string RiffWriter::Take() {
    if (!open_.empty()) throw std::logic_error("RiffWriter::Take with open chunks");
    return std::move(out_);
}

// ---- DLS and GIG -----------------------------------------------------------

int DlsDesc::EffectiveCueWidth() const {
    if (cueWidth == 4 || cueWidth == 8) return cueWidth;
    if (cueWidth != 0) throw std::invalid_argument("cueWidth must be 0, 4 or 8");
    return gig && MajorVersion() >= 3 ? 8 : 4;
}

uint32_t BankWord(uint8_t msb, uint8_t lsb, bool drum) {
    return static_cast<uint32_t>(lsb) | (static_cast<uint32_t>(msb) << 8) | (drum ? 0x80000000u : 0u);
}

namespace {

std::string FmtPayload(const WaveDesc& w) {
    if (!w.fmtRaw.empty()) return w.fmtRaw;
    const uint16_t blockAlign =
        w.blockAlign != 0 ? w.blockAlign : static_cast<uint16_t>(w.channels * w.bitsPerSample / 8);
    const uint32_t bytesPerSecond = w.bytesPerSecond != 0 ? w.bytesPerSecond : w.sampleRate * blockAlign;
    std::string f;
    PutU16(f, w.formatTag);
    PutU16(f, w.channels);
    PutU32(f, w.sampleRate);
    PutU32(f, bytesPerSecond);
    PutU16(f, blockAlign);
    PutU16(f, w.bitsPerSample);
    if (w.formatTag != 1 || w.extraSize != 0) {
        PutU16(f, w.extraSize);
        f.append(w.extraSize, '\0');
    }
    return f;
}

void WriteWave(RiffWriter& w, const WaveDesc& wave, WaveLocation& loc) {
    w.BeginList("wave");
    w.Chunk("fmt ", FmtPayload(wave));
    if (wave.withInfo) w.List("INFO", {{"INAM", ZeroTerminated(wave.name)}});
    if (!wave.ewav.empty()) w.Chunk("ewav", wave.ewav);
    for (const auto& c : wave.extraChunks) w.Chunk(c.first, c.second);
    if (wave.withData) {
        w.BeginChunk("data");
        loc.dataOffset = w.Position();
        w.Write(wave.data);
        w.End();
        loc.dataSize = ToU32(wave.data.size(), "wave data");
    }
    for (const auto& c : wave.trailingChunks) w.Chunk(c.first, c.second);
    w.End();
}

// The "wvpl" list of file `fileIndex`; fills the layout of its waves.
void WritePool(RiffWriter& w, const DlsDesc& desc, uint32_t fileIndex, DlsLayout& layout) {
    w.BeginList("wvpl");
    const uint64_t base = w.Position();
    layout.fileWvplBase[fileIndex] = ToU32(base, "wave pool offset");
    for (size_t i = 0; i < desc.waves.size(); ++i) {
        if (desc.waves[i].fileIndex != fileIndex) continue;
        layout.waveListOffsets[i] = w.Position();
        layout.cueOffsets[i] = ToU32(w.Position() - base, "cue offset");
        layout.waves[i].fileIndex = fileIndex;
        WriteWave(w, desc.waves[i], layout.waves[i]);
    }
    w.End();
}

std::string Lnk3Payload(const RegionDesc& r, int major) {
    const size_t definitions = major < 3 ? 5 : 8;
    const size_t waveSlots = major < 3 ? 32 : (major == 3 ? 256 : 1024);
    if (r.dimensionBits.size() > definitions) throw std::invalid_argument("too many GIG dimension definitions");
    if (r.gigWaves.size() > waveSlots) throw std::invalid_argument("too many GIG dimension-region waves");
    unsigned bitSum = 0;
    for (uint8_t b : r.dimensionBits) bitSum += b;
    if (r.dimensionRegionCount < 0 && bitSum > 31) throw std::invalid_argument("GIG dimension bits sum too large");
    const uint32_t count =
        r.dimensionRegionCount >= 0 ? static_cast<uint32_t>(r.dimensionRegionCount) : (1u << bitSum);
    std::string p;
    PutU32(p, count);
    for (size_t d = 0; d < definitions; ++d) {
        std::string def(8, '\0');
        if (d < r.dimensionBits.size()) {
            def[0] = static_cast<char>(d < r.dimensionTypes.size() ? r.dimensionTypes[d] : 0);
            def[1] = static_cast<char>(r.dimensionBits[d]);
            def[2] = static_cast<char>(r.dimensionBits[d] < 8 ? (1u << r.dimensionBits[d]) : 0);  // zones
        }
        p += def;
    }
    for (size_t s = 0; s < waveSlots; ++s) PutU32(p, s < r.gigWaves.size() ? r.gigWaves[s] : 0);
    return p;
}

void WriteRegion(RiffWriter& w, const RegionDesc& r, const DlsDesc& desc) {
    w.BeginList(r.rgn2 ? "rgn2" : "rgn ");
    std::string rgnh;
    PutU16(rgnh, r.keyLo);
    PutU16(rgnh, r.keyHi);
    PutU16(rgnh, r.velLo);
    PutU16(rgnh, r.velHi);
    PutU16(rgnh, r.options);
    PutU16(rgnh, r.keyGroup);
    w.Chunk("rgnh", rgnh);
    if (!desc.gig || r.alsoWlnk) {
        std::string wlnk;
        PutU16(wlnk, r.wlnkOptions);
        PutU16(wlnk, r.phaseGroup);
        PutU32(wlnk, r.channel);
        PutU32(wlnk, r.wave);
        w.Chunk("wlnk", wlnk);
    }
    if (desc.gig) w.Chunk("3lnk", Lnk3Payload(r, desc.MajorVersion()));
    w.End();
}

void WriteInstrument(RiffWriter& w, const InstrumentDesc& ins, const DlsDesc& desc) {
    std::string insh;
    PutU32(insh, ToU32(ins.regions.size(), "region count"));
    PutU32(insh, BankWord(ins.bankMsb, ins.bankLsb, ins.drum));
    PutU32(insh, ins.program);
    const auto writeInsh = [&] { w.Chunk("insh", insh); };
    const auto writeRegions = [&] {
        w.BeginList("lrgn");
        for (const auto& r : ins.regions) WriteRegion(w, r, desc);
        w.End();
    };
    const auto writeInfo = [&] {
        if (!ins.name.empty()) w.List("INFO", {{"INAM", ZeroTerminated(ins.name)}});
    };
    w.BeginList("ins ");
    if (desc.libgigOrder && !desc.gig) {
        writeRegions();
        writeInfo();
        writeInsh();
    } else if (desc.libgigOrder) {
        writeInfo();
        writeInsh();
        writeRegions();
    } else {
        writeInsh();
        writeRegions();
        writeInfo();
    }
    w.End();
}

std::string XfilPayload(const std::vector<std::string>& names) {
    std::string p;
    PutU32(p, ToU32(names.size(), "extension file count"));
    for (const auto& n : names) {
        if (n.size() > 143) throw std::invalid_argument("extension file name longer than 143 bytes");
        p += FixedText(n, 144);
    }
    return p;
}

std::string DefaultDlid() {
    std::string d;
    for (int i = 0; i < 16; ++i) PutU8(d, static_cast<uint8_t>(0x10 + i));
    return d;
}

}  // namespace

std::vector<BuiltFile> BuildDls(const DlsDesc& desc, const std::string& mainName, DlsLayout* layoutOut) {
    const int cueWidth = desc.EffectiveCueWidth();
    const size_t fileCount = desc.extensionFileNames.size() + 1;
    for (const auto& w : desc.waves) {
        if (w.fileIndex >= fileCount) throw std::invalid_argument("a wave names an extension file that is not listed");
    }

    DlsLayout layout;
    layout.waves.resize(desc.waves.size());
    layout.cueOffsets.resize(desc.waves.size());
    layout.waveListOffsets.resize(desc.waves.size());
    layout.fileWvplBase.resize(fileCount);

    std::vector<BuiltFile> files(fileCount);
    // Extension files first: the main file's pool table needs their offsets.
    for (size_t k = 1; k < fileCount; ++k) {
        RiffWriter w;
        w.BeginForm("DLS ");
        WritePool(w, desc, static_cast<uint32_t>(k), layout);
        w.End();
        files[k] = BuiltFile{desc.extensionFileNames[k - 1], w.Take()};
    }

    RiffWriter w;
    w.BeginForm("DLS ");
    uint64_t ptblHeader = 0, wvplHeader = 0;
    bool havePtbl = false, haveWvpl = false;
    const auto item = [&](const std::string& what) {
        if (what == "colh") {
            if (desc.withColh) w.Chunk("colh", U32(ToU32(desc.instruments.size(), "instrument count")));
        } else if (what == "vers") {
            if (desc.hasVers) w.Chunk("vers", U32(desc.versionMS) + U32(desc.versionLS));
        } else if (what == "dlid") {
            if (desc.gig) w.Chunk("dlid", desc.dlid.empty() ? DefaultDlid() : desc.dlid);
        } else if (what == "xfil") {
            if (!desc.extensionFileNames.empty()) w.Chunk("xfil", XfilPayload(desc.extensionFileNames));
        } else if (what == "INFO") {
            if (desc.info.empty()) return;
            w.BeginList("INFO");
            for (const auto& i : desc.info) w.Chunk(i.first, ZeroTerminated(i.second));
            w.End();
        } else if (what == "lins") {
            w.BeginList("lins");
            for (const auto& ins : desc.instruments) WriteInstrument(w, ins, desc);
            w.End();
            for (const auto& c : desc.extraTopChunks) w.Chunk(c.first, c.second);
        } else if (what == "ptbl") {
            if (!desc.withPtbl) return;
            havePtbl = true;
            ptblHeader = w.Position();
            w.BeginChunk("ptbl");
            layout.ptblDataOffset = ToU32(w.Position(), "pool table offset");
            PutU32(w.Bytes(), 8);
            PutU32(w.Bytes(), ToU32(desc.waves.size(), "cue count"));
            w.Write(std::string(desc.waves.size() * static_cast<size_t>(cueWidth), '\0'));  // patched below
            w.End();
            layout.ptblSize = ToU32(8 + desc.waves.size() * static_cast<size_t>(cueWidth), "pool table size");
        } else if (what == "wvpl") {
            if (!desc.withWvpl) return;
            haveWvpl = true;
            wvplHeader = w.Position();
            WritePool(w, desc, 0, layout);
            layout.wvplBase = layout.fileWvplBase[0];
        } else if (what == "3crc") {
            if (!desc.crc3.empty()) w.Chunk("3crc", desc.crc3);
        } else if (what == "einf") {
            if (!desc.einf.empty()) w.Chunk("einf", desc.einf);
        }
    };

    const std::vector<std::string> pool =
        desc.ptblAfterWvpl ? std::vector<std::string>{"wvpl", "ptbl"} : std::vector<std::string>{"ptbl", "wvpl"};
    std::vector<std::string> order;
    if (desc.libgigOrder && !desc.gig) {
        order = {"lins", pool[0], pool[1], "INFO", "vers", "colh", "xfil", "3crc", "einf"};
    } else if (desc.libgigOrder) {
        order = {"INFO", "vers", "colh", "dlid", "xfil", "lins", pool[0], pool[1], "3crc", "einf"};
    } else {
        order = {"colh", "vers", "dlid", "xfil", "INFO", "lins", pool[0], pool[1], "3crc", "einf"};
    }
    for (const auto& o : order) item(o);
    w.End();
    std::string bytes = w.Take();

    if (havePtbl) {
        for (size_t i = 0; i < desc.waves.size(); ++i) {
            const uint64_t at = layout.ptblDataOffset + 8 + i * static_cast<uint64_t>(cueWidth);
            if (cueWidth == 8) {
                PatchU32(bytes, at, desc.waves[i].fileIndex);
                PatchU32(bytes, at + 4, layout.cueOffsets[i]);
            } else {
                PatchU32(bytes, at, layout.cueOffsets[i]);
            }
        }
    }
    if (havePtbl && haveWvpl) {
        layout.headerImageEnd = ToU32(std::min(ptblHeader, wvplHeader), "header image end");
    } else if (havePtbl || haveWvpl) {
        layout.headerImageEnd = ToU32(havePtbl ? ptblHeader : wvplHeader, "header image end");
    }

    files[0] = BuiltFile{mainName, std::move(bytes)};
    if (layoutOut != nullptr) *layoutOut = std::move(layout);
    return files;
}

std::string BuildDlsBytes(const DlsDesc& desc, DlsLayout* layout) {
    return BuildDls(desc, "main.dls", layout).front().bytes;
}

DlsDesc TwoWaveDls() {
    DlsDesc s;
    s.info = {{"INAM", "Two Waves"}, {"ICOP", "None"}};
    WaveDesc mono;
    mono.name = "Mono16";
    mono.data = PatternBytes(20, 1);
    WaveDesc odd;
    odd.name = "Odd8";
    odd.bitsPerSample = 8;
    odd.sampleRate = 11025;
    odd.data = PatternBytes(7, 2);
    s.waves = {mono, odd};

    InstrumentDesc piano;
    piano.name = "Piano";
    RegionDesc low;
    low.keyHi = 59;
    low.wave = 0;
    RegionDesc high;
    high.keyLo = 60;
    high.wave = 1;
    piano.regions = {low, high};

    InstrumentDesc kit;
    kit.name = "Kit";
    kit.drum = true;
    kit.bankMsb = 1;
    kit.bankLsb = 2;
    kit.program = 5;
    RegionDesc drum;
    drum.rgn2 = true;
    drum.keyLo = 36;
    drum.keyHi = 48;
    drum.velLo = 10;
    drum.velHi = 100;
    drum.keyGroup = 1;
    drum.wave = 1;
    kit.regions = {drum};
    s.instruments = {piano, kit};
    return s;
}

DlsDesc SmallGig(int majorVersion) {
    DlsDesc s;
    s.gig = true;
    s.versionMS = static_cast<uint32_t>(majorVersion) << 16;
    s.versionLS = 0x00000001;
    s.info = {{"INAM", "Small Gig"}};
    WaveDesc a;
    a.name = "GigA";
    a.data = PatternBytes(24, 21);
    a.ewav = std::string(4, '\0') + PatternBytes(36, 31);  // first word zero: not compressed
    WaveDesc b;
    b.name = "GigB";
    b.sampleRate = 48000;
    b.data = PatternBytes(18, 22);
    b.ewav = std::string(4, '\0') + PatternBytes(84, 32);
    s.waves = {a, b};

    InstrumentDesc ins;
    ins.name = "GigPiano";
    RegionDesc r;
    r.keyLo = 21;
    r.keyHi = 108;
    r.dimensionBits = {1};
    r.dimensionTypes = {0x82};
    r.gigWaves = {0, 1};
    r.alsoWlnk = true;
    ins.regions = {r};
    s.instruments = {ins};
    s.crc3 = PatternBytes(16, 41);
    s.einf = PatternBytes(21, 51);
    return s;
}

// ---- SoundFont 2 ------------------------------------------------------------

namespace {

void WriteGenerators(std::string& gens, std::string& bags, const std::vector<Sf2Zone>& zones, size_t& genCount) {
    for (const auto& z : zones) {
        PutU16(bags, ToU16(genCount, "generator index"));
        PutU16(bags, 0);  // modulator index: the files carry no modulators
        for (const auto& g : z.gens) {
            PutU16(gens, g.oper);
            PutU16(gens, g.amount);
            ++genCount;
        }
    }
}

}  // namespace

std::string BuildSf2(const Sf2Desc& desc, Sf2Layout* layoutOut) {
    Sf2Layout layout;
    // Sample points of "smpl": sequential samples first, then the explicit ones.
    std::vector<int16_t> points;
    layout.starts.resize(desc.samples.size());
    layout.ends.resize(desc.samples.size());
    for (size_t i = 0; i < desc.samples.size(); ++i) {
        const Sf2Sample& s = desc.samples[i];
        if (s.explicitPosition) continue;
        layout.starts[i] = ToU32(points.size(), "sample start");
        points.insert(points.end(), s.data.begin(), s.data.end());
        layout.ends[i] = ToU32(points.size(), "sample end");
        points.resize(points.size() + s.gapAfter, 0);
    }
    for (size_t i = 0; i < desc.samples.size(); ++i) {
        const Sf2Sample& s = desc.samples[i];
        if (!s.explicitPosition) continue;
        layout.starts[i] = s.start;
        layout.ends[i] = s.end;
        if (s.data.empty()) continue;
        const size_t dataEnd = static_cast<size_t>(s.start) + s.data.size();
        if (points.size() < dataEnd) points.resize(dataEnd + s.gapAfter, 0);
        std::copy(s.data.begin(), s.data.end(), points.begin() + s.start);
    }

    RiffWriter w;
    w.BeginForm("sfbk");
    if (!desc.info.empty()) w.List("INFO", desc.info);

    const auto writeSdta = [&] {
        if (!desc.withSdta) return;
        w.BeginList("sdta");
        w.BeginChunk("smpl");
        layout.smplDataOffset = w.Position();
        w.Write(PointBytes(points));
        w.End();
        layout.smplSize = ToU32(points.size() * 2, "smpl size");
        if (!desc.sm24.empty()) w.Chunk("sm24", desc.sm24);
        w.End();
    };

    const auto writePdta = [&] {
        if (!desc.withPdta) return;
        std::string phdr, pbag, pgen, inst, ibag, igen, shdr;
        size_t bagCount = 0, genCount = 0;
        for (const auto& p : desc.presets) {
            phdr += FixedText(p.name, 20);
            PutU16(phdr, p.preset);
            PutU16(phdr, p.bank);
            PutU16(phdr, ToU16(bagCount, "preset zone index"));
            PutU32(phdr, p.library);
            PutU32(phdr, p.genre);
            PutU32(phdr, p.morphology);
            WriteGenerators(pgen, pbag, p.zones, genCount);
            bagCount += p.zones.size();
        }
        phdr += FixedText("EOP", 20);
        PutU16(phdr, 0);
        PutU16(phdr, 0);
        PutU16(phdr, ToU16(bagCount, "preset zone count"));
        phdr.append(12, '\0');
        PutU16(pbag, ToU16(genCount, "preset generator count"));
        PutU16(pbag, 0);
        pgen.append(4, '\0');

        bagCount = 0;
        genCount = 0;
        for (const auto& i : desc.instruments) {
            inst += FixedText(i.name, 20);
            PutU16(inst, ToU16(bagCount, "instrument zone index"));
            WriteGenerators(igen, ibag, i.zones, genCount);
            bagCount += i.zones.size();
        }
        inst += FixedText("EOI", 20);
        PutU16(inst, ToU16(bagCount, "instrument zone count"));
        PutU16(ibag, ToU16(genCount, "instrument generator count"));
        PutU16(ibag, 0);
        igen.append(4, '\0');

        for (size_t i = 0; i < desc.samples.size(); ++i) {
            const Sf2Sample& s = desc.samples[i];
            shdr += FixedText(s.name, 20);
            PutU32(shdr, layout.starts[i]);
            PutU32(shdr, layout.ends[i]);
            PutU32(shdr, layout.starts[i] + s.loopStart);
            PutU32(shdr, layout.starts[i] + s.loopEnd);
            PutU32(shdr, s.sampleRate);
            PutU8(shdr, s.rootKey);
            PutU8(shdr, static_cast<uint8_t>(s.correction));
            PutU16(shdr, s.link);
            PutU16(shdr, s.type);
        }
        shdr += FixedText("EOS", 20);
        shdr.append(26, '\0');

        layout.pdtaOffset = w.Position();
        w.List("pdta", {{"phdr", phdr},
                        {"pbag", pbag},
                        {"pmod", std::string(10, '\0')},
                        {"pgen", pgen},
                        {"inst", inst},
                        {"ibag", ibag},
                        {"imod", std::string(10, '\0')},
                        {"igen", igen},
                        {"shdr", shdr}});
        layout.pdtaSize = GetU32(w.Bytes(), layout.pdtaOffset + 4);
    };

    if (desc.sdtaAfterPdta) {
        writePdta();
        writeSdta();
    } else {
        writeSdta();
        writePdta();
    }
    w.End();
    if (layoutOut != nullptr) *layoutOut = std::move(layout);
    return w.Take();
}

Sf2Desc SmallSf2() {
    Sf2Desc s;
    s.info = {{"ifil", std::string("\x02\x00\x01\x00", 4)},
              {"isng", std::string("EMU8000\0", 8)},
              {"INAM", std::string("Small\0", 6)}};
    Sf2Sample a;
    a.name = "SineA";
    a.data = PatternPoints(20, 3);
    a.loopStart = 4;
    a.loopEnd = 16;
    Sf2Sample b;
    b.name = "SineB";
    b.sampleRate = 22050;
    b.data = PatternPoints(13, 4);
    b.rootKey = 72;
    b.correction = -5;
    s.samples = {a, b};

    Sf2Instrument inst;
    inst.name = "Inst";
    inst.zones = {Sf2Zone{{Sf2Range(kSf2GenKeyRange, 0, 63), {kSf2GenSampleId, 0}}},
                  Sf2Zone{{Sf2Range(kSf2GenKeyRange, 64, 127), {kSf2GenSampleId, 1}}}};
    s.instruments = {inst};
    Sf2Preset preset;
    preset.name = "Preset";
    preset.zones = {Sf2Zone{{{kSf2GenInstrument, 0}}}};
    s.presets = {preset};
    return s;
}

WaveDesc PatternWave(const std::string& name, uint16_t channels, uint16_t bits, uint32_t rate, size_t frames, uint32_t seed) {
    WaveDesc w;
    w.name = name;
    w.channels = channels;
    w.bitsPerSample = bits;
    w.sampleRate = rate;
    w.data = PatternBytes(frames * channels * bits / 8, seed);
    return w;
}

}  // namespace zu::fixture

#include "meta/sf2_preset_model.h"

#include <algorithm>

#include "kernel/byte_order.h"
#include "platform/platform.h"
#include "riff/riff_handler.h"

namespace zu {
namespace {

// One table of the "pdta" list, read whole.
struct Table {
    std::vector<uint8_t> bytes;
    uint32_t recordSize = 1;
    uint32_t count = 0;
    const uint8_t* Record(uint32_t i) const { return &bytes[static_cast<size_t>(i) * recordSize]; }
};

Table ReadTable(CRiffMemFile& reader, const char (&id)[5], uint32_t recordSize) {
    Table t;
    t.recordSize = recordSize;
    uint32_t size = 0;
    const uint32_t listStart = reader.Current().dataOffset + 4;
    reader.Seek(static_cast<int32_t>(listStart), platform::SeekOrigin::Begin);
    if (!reader.Descend(FourCC(id), false, &size)) return t;
    uint64_t imageSize = 0;
    reader.File().Size(&imageSize);
    // A size that runs past the image gives the records that are there.
    const uint64_t present = std::min<uint64_t>(size, imageSize > reader.Current().dataOffset ? imageSize - reader.Current().dataOffset : 0);
    t.count = static_cast<uint32_t>(present / recordSize);
    t.bytes.resize(static_cast<size_t>(t.count) * recordSize);
    if (t.count && reader.ReadRaw(t.bytes.data(), static_cast<uint32_t>(t.bytes.size())) != t.bytes.size()) t.count = 0;
    reader.AscendCurrent();
    return t;
}

std::u16string NameOf(const uint8_t* record) {
    const size_t len = static_cast<size_t>(std::find(record, record + 20, 0) - record);
    std::u16string name = platform::AnsiToU16(reinterpret_cast<const char*>(record), len);
    if (name.size() > 19) name.resize(19);  // 20 characters with the terminator
    return name;
}

// The records [first, next) of a range taken from two neighbouring index
// words, cut to the table.
std::pair<uint32_t, uint32_t> Range(uint32_t first, uint32_t next, uint32_t tableCount) {
    first = std::min(first, tableCount);
    next = std::min(next, tableCount);
    return {first, std::max(first, next)};
}

}  // namespace

void CombineGenerators(Sf2GeneratorTable& target, uint16_t g, uint16_t amount) {
    if (g >= kSf2GeneratorCount) return;
    auto& e = target.entries[g];
    if (e.oper != g) {
        e.oper = g;
        e.amount = amount;
    } else if (g == kSf2GenKeyRange) {
        const uint8_t lo = std::max<uint8_t>(e.amount & 0xFF, amount & 0xFF);
        const uint8_t hi = std::min<uint8_t>(e.amount >> 8, amount >> 8);
        if (lo > hi) e = Sf2GeneratorTable::Entry();
        else e.amount = static_cast<uint16_t>(lo | (hi << 8));
    } else {
        e.amount = static_cast<uint16_t>(e.amount + amount);
    }
}

void CombineGenerators(Sf2GeneratorTable& target, const Sf2GeneratorTable& source) {
    for (uint16_t g = 0; g < kSf2GeneratorCount; ++g)
        if (source.IsSet(g)) CombineGenerators(target, g, source.Amount(g));
}

uint32_t Sf2Preset::RegionCount() const {
    uint32_t n = 0;
    for (const auto& z : zones) n += static_cast<uint32_t>(z.regions.size());
    return n;
}

const Sf2InstrumentZone* Sf2Preset::Region(uint32_t r) const {
    uint32_t before = 0;
    for (const auto& z : zones) {
        if (r < before + z.regions.size()) return &z.regions[r - before];
        before += static_cast<uint32_t>(z.regions.size());
    }
    return nullptr;
}

std::vector<Sf2Preset> BuildSf2Presets(const uint8_t* headerImage, uint32_t size) {
    std::vector<Sf2Preset> presets;
    CRiffMemFile reader;
    if (!headerImage || !reader.OpenMemoryReadOnly(headerImage, size) || !reader.Rewind()) return presets;
    if (!reader.Descend(FourCC("pdta"), true)) return presets;
    const Table phdr = ReadTable(reader, "phdr", 38);
    const Table pbag = ReadTable(reader, "pbag", 4);
    const Table pgen = ReadTable(reader, "pgen", 4);
    const Table inst = ReadTable(reader, "inst", 22);
    const Table ibag = ReadTable(reader, "ibag", 4);
    const Table igen = ReadTable(reader, "igen", 4);
    const uint32_t presetCount = phdr.count ? phdr.count - 1 : 0;  // the last record is the terminal one
    // A bag's generators run to the next bag's first one, so the last bag
    // record only closes the ranges.
    const uint32_t pbagUsable = pbag.count ? pbag.count - 1 : 0;
    const uint32_t ibagUsable = ibag.count ? ibag.count - 1 : 0;
    const uint32_t instUsable = inst.count ? inst.count - 1 : 0;

    presets.reserve(presetCount);
    for (uint32_t i = 0; i < presetCount; ++i) {
        const uint8_t* h = phdr.Record(i);
        Sf2Preset preset;
        preset.name = NameOf(h);
        preset.program = LoadLE16(h + 20);
        preset.bank = LoadLE16(h + 22);
        const auto bags = Range(LoadLE16(h + 24), LoadLE16(phdr.Record(i + 1) + 24), pbagUsable);
        for (uint32_t b = bags.first; b < bags.second; ++b) {
            Sf2PresetZone zone;
            CombineGenerators(zone.generators, preset.globals);
            const auto gens = Range(LoadLE16(pbag.Record(b)), LoadLE16(pbag.Record(b + 1)), pgen.count);
            for (uint32_t g = gens.first; g < gens.second; ++g)
                CombineGenerators(zone.generators, LoadLE16(pgen.Record(g)), LoadLE16(pgen.Record(g) + 2));
            if (zone.generators.IsSet(kSf2GenKeyRange)) zone.keyRange = zone.generators.Amount(kSf2GenKeyRange);
            const bool hasInstrument = zone.generators.IsSet(kSf2GenInstrument);
            if (b == bags.first && !hasInstrument) {
                // The preset's global zone: its generators reach every later zone.
                CombineGenerators(preset.globals, zone.generators);
                continue;
            }
            if (hasInstrument && zone.generators.Amount(kSf2GenInstrument) < instUsable) {
                zone.instrumentIndex = zone.generators.Amount(kSf2GenInstrument);
                const uint8_t* ir = inst.Record(zone.instrumentIndex);
                zone.instrumentName = NameOf(ir);
                const auto ibags = Range(LoadLE16(ir + 20), LoadLE16(inst.Record(zone.instrumentIndex + 1) + 20), ibagUsable);
                for (uint32_t k = ibags.first; k < ibags.second; ++k) {
                    Sf2InstrumentZone region;
                    CombineGenerators(region.generators, zone.generators);
                    const auto igens = Range(LoadLE16(ibag.Record(k)), LoadLE16(ibag.Record(k + 1)), igen.count);
                    for (uint32_t g = igens.first; g < igens.second; ++g)
                        CombineGenerators(region.generators, LoadLE16(igen.Record(g)), LoadLE16(igen.Record(g) + 2));
                    const bool hasSample = region.generators.IsSet(kSf2GenSampleId);
                    region.sampleIndex = hasSample ? region.generators.Amount(kSf2GenSampleId) : 0;
                    if (hasSample && !region.generators.IsSet(kSf2GenKeyRange))
                        region.generators.entries[kSf2GenKeyRange] = {kSf2GenKeyRange, 0x7F00};
                    if (region.generators.IsSet(kSf2GenKeyRange)) {
                        region.keyLow = region.generators.Amount(kSf2GenKeyRange) & 0xFF;
                        region.keyHigh = region.generators.Amount(kSf2GenKeyRange) >> 8;
                    }
                    if (k == ibags.first && !hasSample) {
                        // The instrument's global zone: later zones start from it.
                        CombineGenerators(zone.generators, region.generators);
                    } else if (region.generators.IsSet(kSf2GenKeyRange)) {
                        zone.regions.push_back(region);
                    }
                }
            }
            preset.zones.push_back(std::move(zone));
        }
        presets.push_back(std::move(preset));
    }
    return presets;
}

}  // namespace zu

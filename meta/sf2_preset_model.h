// The presets of a SoundFont 2 header image resolved into zones and regions:
// preset zones with their instrument, instrument zones (regions) with their
// sample and key range, generators combined from global zones downwards.
#ifndef ZU_META_SF2_PRESET_MODEL_H
#define ZU_META_SF2_PRESET_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "zuinstr/zuinstr_types.h"

namespace zu {

constexpr int kSf2GeneratorCount = 59;
constexpr uint16_t kSf2GenInstrument = 41;
constexpr uint16_t kSf2GenKeyRange = 43;
constexpr uint16_t kSf2GenSampleId = 53;

// Generators by number; an entry is set when its operator equals its index.
struct Sf2GeneratorTable {
    struct Entry {
        uint16_t oper = 0xFFFF;
        uint16_t amount = 0;
    };
    Entry entries[kSf2GeneratorCount];
    bool IsSet(uint16_t g) const { return g < kSf2GeneratorCount && entries[g].oper == g; }
    uint16_t Amount(uint16_t g) const { return entries[g].amount; }
};

// Combines one generator into a table: unset entries take it; key ranges
// intersect (disjoint ranges unset the entry); other set generators add up
// (16-bit wrap). Generator numbers above 58 are not part of any table.
void CombineGenerators(Sf2GeneratorTable& target, uint16_t generator, uint16_t amount);
void CombineGenerators(Sf2GeneratorTable& target, const Sf2GeneratorTable& source);

struct Sf2InstrumentZone {
    uint32_t sampleIndex = 0;
    uint8_t keyLow = 0, keyHigh = 0;
    Sf2GeneratorTable generators;
};

struct Sf2PresetZone {
    uint16_t keyRange = 0x7F00;  // low byte low key, high byte high key
    uint32_t instrumentIndex = 0;
    std::u16string instrumentName;
    Sf2GeneratorTable generators;
    std::vector<Sf2InstrumentZone> regions;
};

struct Sf2Preset {
    uint16_t bank = 0, program = 0;
    std::u16string name;
    std::vector<Sf2PresetZone> zones;
    Sf2GeneratorTable globals;
    uint32_t RegionCount() const;
    // Region r across the zones; null when the preset has no such region.
    const Sf2InstrumentZone* Region(uint32_t r) const;
};

// Builds the presets from a "pdta" header image (the whole list with its
// "LIST" header). Indices from the file that point outside their tables are
// cut to the tables, so a damaged file gives fewer zones, never a bad read.
std::vector<Sf2Preset> BuildSf2Presets(const uint8_t* headerImage, uint32_t size);

}  // namespace zu

#endif

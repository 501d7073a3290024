// zuinstr public host header: the records in which the module describes an
// instrument's waves and layout. A host hands waves to a render in exactly the
// InstrumentWaveInfo form, and reads sub-streams as InstrumentWaveEntry.
#ifndef ZUINSTR_INSTRUMENT_H
#define ZUINSTR_INSTRUMENT_H

#include "zuinstr/zuinstr_audio.h"
#include "zuinstr/zuinstr_types.h"

#define ZU_WAVE_INFO_STRUCT_SIZE 562u  // the defined part of InstrumentWaveInfo
#define ZU_DATA_MARKER 0xFEEDF00Du     // stands for the sample data in a wave-pool image

// Layout flags.
#define ZU_LAYOUT_POOL_FIRST 0x1u      // "wvpl" starts at or before "ptbl"
#define ZU_LAYOUT_EXTENSIONS 0x4u      // the file names GIG extension files ("xfil")
#define ZU_LAYOUT_SDTA_FIRST 0x8u      // "sdta" starts at or before "pdta"
#define ZU_LAYOUT_GATHERED 0x10u       // the header image holds instrument chunks gathered from after the pool

#pragma pack(push, 1)
// One wave (sample) of an instrument, as loaders make it and hosts exchange it.
struct InstrumentWaveInfo {
    uint32_t structSize;        // 562
    WCHAR name[260];            // zero-terminated
    uint64_t frameCount;
    uint64_t firstFrame;        // frames of all waves before this one
    WAVEFORMATEX format;        // 18 bytes
    uint32_t waveIndex;         // written by the metadata object's wave query
    uint8_t reserved562[6];
    uint64_t waveImage;         // render side: address of the wave's "wave" list in the wave-pool image
    uint32_t waveImageSize;     // render side: that list's size field + 8
    uint8_t gigWave0[16];       // GIG: "ewav" bytes 0..15 (first word 0: no "ewav")
    uint8_t gigWave1[16];       // GIG: "ewav" bytes 16..31
    uint8_t gigWave2[4];        // GIG: "ewav" bytes 32..35
    uint32_t reserved616;
    uint64_t reserved620;
    uint64_t reserved628;
    uint32_t gigWaveWord;       // GIG: "ewav" bytes 4..7
    uint32_t reserved640;
    uint32_t soundFontFrames;   // SoundFont 2: the sample's frame count
    uint32_t soundFontGap;      // SoundFont 2: points between this sample's end and the next one's start
    uint32_t reserved652;
};

// Where the instrument came from and in which order its file held the pool.
struct InstrumentLayout {
    WCHAR path[520];  // the main file, zero-terminated, at most 519 characters
    uint32_t flags;   // ZU_LAYOUT_*
    uint8_t reserved[8];
    uint32_t versionMS;  // "vers": major in the high 16 bits
    uint32_t versionLS;
};
#pragma pack(pop)

static_assert(sizeof(InstrumentWaveInfo) == 656, "InstrumentWaveInfo is 656 bytes");
static_assert(offsetof(InstrumentWaveInfo, name) == 4 && offsetof(InstrumentWaveInfo, frameCount) == 524 &&
                  offsetof(InstrumentWaveInfo, firstFrame) == 532 && offsetof(InstrumentWaveInfo, format) == 540 &&
                  offsetof(InstrumentWaveInfo, waveIndex) == 558 && offsetof(InstrumentWaveInfo, waveImage) == 568 &&
                  offsetof(InstrumentWaveInfo, waveImageSize) == 576 && offsetof(InstrumentWaveInfo, gigWave0) == 580 &&
                  offsetof(InstrumentWaveInfo, gigWave1) == 596 && offsetof(InstrumentWaveInfo, gigWave2) == 612 &&
                  offsetof(InstrumentWaveInfo, gigWaveWord) == 636 && offsetof(InstrumentWaveInfo, soundFontFrames) == 644 &&
                  offsetof(InstrumentWaveInfo, soundFontGap) == 648,
              "InstrumentWaveInfo offsets");
static_assert(sizeof(InstrumentLayout) == 1060, "InstrumentLayout is 1060 bytes");
static_assert(offsetof(InstrumentLayout, flags) == 1040 && offsetof(InstrumentLayout, versionMS) == 1052 &&
                  offsetof(InstrumentLayout, versionLS) == 1056,
              "InstrumentLayout offsets");

#define ZU_ENTRY_FORMAT_ROOM 96u  // room of an entry's wave format: 58 extra bytes

// One wave as the loader found it: where its samples lie and in which format.
// A container's sub-stream information record has exactly this layout.
struct InstrumentWaveEntry {
    uint8_t reserved0[8];
    WCHAR name[128];
    uint32_t fileIndex;   // which file of the set holds the samples (0: the main file)
    uint32_t reserved268;
    uint64_t dataOffset;  // absolute offset of the first sample byte in that file
    uint64_t frames;
    uint64_t dataBytes;   // frames * block align
    uint64_t frames32;
    uint64_t firstFrame;
    uint32_t blockRatio;  // the pool's block align / this wave's (1 when equal)
    _zuwaveformat format;
    uint8_t formatExtra[ZU_ENTRY_FORMAT_ROOM - sizeof(_zuwaveformat)];
    uint32_t reserved412;
    InstrumentWaveInfo* info;  // the wave's record (not owned)
};
static_assert(offsetof(InstrumentWaveEntry, name) == 8 && offsetof(InstrumentWaveEntry, fileIndex) == 264 &&
                  offsetof(InstrumentWaveEntry, dataOffset) == 272 && offsetof(InstrumentWaveEntry, firstFrame) == 304 &&
                  offsetof(InstrumentWaveEntry, blockRatio) == 312 && offsetof(InstrumentWaveEntry, format) == 316 &&
                  offsetof(InstrumentWaveEntry, info) == 416 && sizeof(InstrumentWaveEntry) == 424,
              "InstrumentWaveEntry layout");

#endif

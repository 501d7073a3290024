// What a host can learn of an instrument file through the module, gathered
// into plain values so that two files can be compared: every wave's format
// and samples, the instruments with their regions and wave links, the INFO texts.
#ifndef ZU_TESTS_INSTRUMENT_COMPARE_H
#define ZU_TESTS_INSTRUMENT_COMPARE_H

#include <string>
#include <vector>

#include "zuinstr/zuinstr.h"

namespace zu::test {

struct SeenWave {
    std::basic_string<WCHAR> name;
    WAVEFORMATEX format = {};
    std::string samples;
};
struct SeenRegion {
    uint32_t keyLow = 0, keyHigh = 0, layers = 0;
    std::vector<uint32_t> waves;
};
struct SeenInstrument {
    std::basic_string<WCHAR> name;
    uint16_t bankMsb = 0, bankLsb = 0, program = 0;
    uint32_t drum = 0;
    std::vector<SeenRegion> regions;
};
struct SeenFile {
    HRESULT hr = E_FAIL;
    std::vector<SeenWave> waves;
    std::vector<SeenInstrument> instruments;
    std::vector<std::pair<uint32_t, std::basic_string<WCHAR>>> info;
};

// Opens a file with the class of a kind (0 DLS, 1 GIG, 2 SoundFont 2) and
// gathers everything; hr tells whether it opened.
SeenFile SeeFile(int kind, const std::string& path);
// A readable account of the first difference, or empty when equal.
std::string FirstDifference(const SeenFile& a, const SeenFile& b, bool compareInfo);

}  // namespace zu::test

#endif

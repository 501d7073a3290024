// Inputs on which the fuzz target once found a fault in the module, rebuilt
// with the fixture builder so that a reader can see what each one is. The
// regression tests open them; the fuzz seed writer adds them to the corpus.
#ifndef ZU_TESTS_FUZZ_REGRESSION_INPUTS_H
#define ZU_TESTS_FUZZ_REGRESSION_INPUTS_H

#include <string>
#include <utility>
#include <vector>

namespace zu::fuzz_regression {

// A GIG whose first wave is marked compressed: the GIG class refuses it.
std::string CompressedGig();
// A DLS laid out in libgig's order whose last top-level chunk ("colh", after
// the pool) announces 0x6C00003A bytes the file does not hold.
std::string OversizedChunkAfterPool();
// A DLS whose "wvpl" list (the last chunk) announces 0x70000000 bytes.
std::string OversizedWavePool();
// A SoundFont 2 whose "pdta" list (the last chunk) announces 0x70000000 bytes.
std::string OversizedPdta();
// A DLS whose first wave has an extensible format tag (0xFFFE) with 22 extra
// bytes announced; only 18 bytes of a format are ever read.
std::string ExtensibleFormat();
// A DLS with a wave of 65281 channels and 65535 bits per sample.
std::string HugeChannelsAndBits();
// A DLS with a 24-bit wave of 30465 channels whose block align says 3 bytes
// (too wide to repair), beside a mono 16-bit wave: the pool expands it.
std::string UnrepairableBlockAlign();

// Every input above with a file name (for the seed corpus).
std::vector<std::pair<std::string, std::string>> All();

}  // namespace zu::fuzz_regression

#endif

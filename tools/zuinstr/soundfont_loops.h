// The loop points of a SoundFont's sample headers, read by the tool itself so
// that it can tell the user which loops a change of length cuts off.
#ifndef ZUINSTR_TOOL_SOUNDFONT_LOOPS_H
#define ZUINSTR_TOOL_SOUNDFONT_LOOPS_H

#include <cstdint>
#include <string>
#include <vector>

namespace zutool {

struct SampleLoop {
    uint32_t start, end, loopStart, loopEnd;  // absolute points in "smpl"
};

// One entry per sample header (the terminal one left out); empty when the
// file is not a SoundFont or its "shdr" cannot be found.
std::vector<SampleLoop> ReadSoundFontLoops(const std::string& path);

// Whether a sample of newFrames points keeps its loop (relative to its start).
bool LoopFits(const SampleLoop& s, uint64_t newFrames);

}  // namespace zutool

#endif

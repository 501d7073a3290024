#include "soundfont_loops.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zutool {
namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

bool Is(const std::vector<uint8_t>& b, size_t at, const char* id) {
    return b[at] == id[0] && b[at + 1] == id[1] && b[at + 2] == id[2] && b[at + 3] == id[3];
}

}  // namespace

std::vector<SampleLoop> ReadSoundFontLoops(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<SampleLoop> loops;
    if (b.size() < 12 || !Is(b, 0, "RIFF") || !Is(b, 8, "sfbk")) return loops;
    // Chunks at [from, to): each LIST is entered, "shdr" is read where found.
    size_t at = 12;
    size_t end = b.size();
    while (at + 8 <= end) {
        const uint64_t size = Le32(b, at + 4);
        const size_t body = at + 8;
        if (size > end - body) break;
        if (Is(b, at, "LIST") && size >= 4 && Is(b, body, "pdta")) {
            at = body + 4;
            end = body + static_cast<size_t>(size);
            continue;
        }
        if (Is(b, at, "shdr")) {
            for (size_t r = 0; r + 1 < size / 46; ++r) {
                const size_t h = body + r * 46;
                loops.push_back({Le32(b, h + 20), Le32(b, h + 24), Le32(b, h + 28), Le32(b, h + 32)});
            }
            return loops;
        }
        at = body + static_cast<size_t>(size) + (size & 1);
    }
    return loops;
}

bool LoopFits(const SampleLoop& s, uint64_t newFrames) {
    // A loop the header already had outside its sample is kept, never clamped.
    if (s.loopStart < s.start || s.loopEnd > s.end || s.loopStart > s.loopEnd) return true;
    return s.loopEnd - s.start <= newFrames;
}

}  // namespace zutool

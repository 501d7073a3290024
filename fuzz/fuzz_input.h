// What the fuzz target and the seed writer agree on.
#ifndef ZU_FUZZ_FUZZ_INPUT_H
#define ZU_FUZZ_FUZZ_INPUT_H

namespace zu::fuzz {

// The name under which read_fuzz writes each input (in a private folder). A
// GIG seed that names this file as its extension file makes the loader open
// an extension file that exists.
inline constexpr const char kInputFileName[] = "input.gig";

// The longest input scripts/fuzz.sh lets libFuzzer make; every seed fits.
inline constexpr unsigned kMaxInputBytes = 16384;

}  // namespace zu::fuzz

#endif

// Writes the seed corpus of read_fuzz: small DLS, GIG and SoundFont 2 files
// made by the test fixture builder, one file per seed, into the folder given
// as the only argument, and the inputs of the fuzz regression tests. Nothing
// binary is kept in the repository; the seeds are made again on every run.
//   make_seeds <folder>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "support/fixture_builder.h"
#include "support/fuzz_regression_inputs.h"

namespace {

using namespace zu::fixture;

std::vector<std::pair<std::string, std::string>> Seeds() {
    std::vector<std::pair<std::string, std::string>> seeds;
    auto dls = [&](const std::string& name, const DlsDesc& d) { seeds.emplace_back(name, BuildDlsBytes(d)); };

    dls("two_wave.dls", TwoWaveDls());
    dls("small_gig2.gig", SmallGig(2));
    dls("small_gig3.gig", SmallGig(3));
    dls("small_gig4.gig", SmallGig(4));

    // The second wave in an extension file that is the input file itself
    // (the fuzz target writes each input under that name), and one whose
    // extension file does not exist.
    DlsDesc ext = SmallGig(3);
    ext.extensionFileNames = {zu::fuzz::kInputFileName};
    ext.waves[1].fileIndex = 1;
    seeds.emplace_back("gig_extension.gig", BuildDls(ext, zu::fuzz::kInputFileName).front().bytes);
    DlsDesc missing = SmallGig(2);
    missing.extensionFileNames = {"missing.gx01"};
    missing.waves[1].fileIndex = 1;
    seeds.emplace_back("gig_missing_extension.gig", BuildDls(missing, "main.gig").front().bytes);

    DlsDesc libgigDls = TwoWaveDls();
    libgigDls.libgigOrder = true;
    dls("libgig_order.dls", libgigDls);
    DlsDesc libgigGig = SmallGig(3);
    libgigGig.libgigOrder = true;
    dls("libgig_order.gig", libgigGig);

    // Stereo 8-bit beside mono 16-bit and 24-bit waves: the pool is widened
    // and every wave expanded into it.
    DlsDesc mixed = TwoWaveDls();
    WaveDesc stereo8;
    stereo8.name = "Stereo8";
    stereo8.channels = 2;
    stereo8.bitsPerSample = 8;
    stereo8.data = PatternBytes(2 * 9, 7);
    WaveDesc mono24;
    mono24.name = "Mono24";
    mono24.bitsPerSample = 24;
    mono24.sampleRate = 96000;
    mono24.data = PatternBytes(3 * 5, 8);
    mixed.waves.push_back(stereo8);
    mixed.waves.push_back(mono24);
    mixed.info.push_back({"ICMT", "Mixed formats"});
    dls("stereo8_mixed.dls", mixed);

    DlsDesc poolFirst = TwoWaveDls();
    poolFirst.ptblAfterWvpl = true;
    poolFirst.waves[0].withInfo = false;
    dls("pool_first.dls", poolFirst);

    seeds.emplace_back("small.sf2", BuildSf2(SmallSf2()));
    Sf2Desc sf2 = SmallSf2();
    sf2.sdtaAfterPdta = true;
    sf2.sm24 = PatternBytes(33, 9);
    Sf2Preset drums;
    drums.name = "Drums";
    drums.bank = 128;
    drums.preset = 3;
    // A global zone (no instrument generator) narrowing the key range.
    drums.zones = {Sf2Zone{{Sf2Range(kSf2GenKeyRange, 30, 90)}}, Sf2Zone{{{kSf2GenInstrument, 0}}}};
    sf2.presets.push_back(drums);
    seeds.emplace_back("pdta_first.sf2", BuildSf2(sf2));

    // Inputs that once found a fault (a compressed GIG among them).
    for (auto& r : zu::fuzz_regression::All()) seeds.push_back(std::move(r));
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    int written = 0;
    for (const auto& [name, bytes] : Seeds()) {
        if (bytes.size() > zu::fuzz::kMaxInputBytes) {
            std::fprintf(stderr, "make_seeds: %s has %zu bytes, more than the fuzz input limit %u\n", name.c_str(),
                         bytes.size(), zu::fuzz::kMaxInputBytes);
            return 1;
        }
        std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "make_seeds: cannot write %s/%s\n", folder.c_str(), name.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("make_seeds: %d seeds in %s\n", written, folder.c_str());
    return 0;
}

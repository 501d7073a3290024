#include "support/fuzz_regression_inputs.h"

#include "support/fixture_builder.h"

namespace zu::fuzz_regression {

using namespace zu::fixture;

std::string CompressedGig() {
    DlsDesc d = SmallGig(3);
    d.waves[0].ewav[0] = 1;
    return BuildDlsBytes(d);
}

std::string OversizedChunkAfterPool() {
    DlsDesc d = TwoWaveDls();
    d.libgigOrder = true;  // ... "INFO", "vers", "colh" after the pool
    std::string bytes = BuildDlsBytes(d);
    PatchU32(bytes, bytes.size() - 8, 0x6C00003Au);  // "colh" is the last 12 bytes
    return bytes;
}

std::string OversizedWavePool() {
    DlsLayout layout;
    std::string bytes = BuildDlsBytes(TwoWaveDls(), &layout);
    PatchU32(bytes, layout.wvplBase - 8, 0x70000000u);  // wvplBase is the byte after the list type
    return bytes;
}

std::string OversizedPdta() {
    Sf2Layout layout;
    std::string bytes = BuildSf2(SmallSf2(), &layout);
    PatchU32(bytes, layout.pdtaOffset + 4, 0x70000000u);
    return bytes;
}

std::string ExtensibleFormat() {
    DlsDesc d = TwoWaveDls();
    d.waves[0].formatTag = 0xFFFE;
    d.waves[0].extraSize = 22;
    return BuildDlsBytes(d);
}

std::string HugeChannelsAndBits() {
    DlsDesc d = TwoWaveDls();
    WaveDesc w;
    w.name = "Huge";
    w.channels = 65281;
    w.bitsPerSample = 65535;
    w.blockAlign = 0xFFFF;
    w.bytesPerSecond = 1;
    w.data = PatternBytes(16, 5);
    d.waves.push_back(w);
    return BuildDlsBytes(d);
}

std::string UnrepairableBlockAlign() {
    DlsDesc d = TwoWaveDls();
    WaveDesc w;
    w.name = "Wide";
    w.channels = 30465;
    w.bitsPerSample = 24;
    w.blockAlign = 3;
    w.bytesPerSecond = 3 * 44100;
    w.data = PatternBytes(3 * 362, 6);
    d.waves.push_back(w);
    return BuildDlsBytes(d);
}

std::vector<std::pair<std::string, std::string>> All() {
    return {{"regression_compressed.gig", CompressedGig()},
            {"regression_oversized_after_pool.dls", OversizedChunkAfterPool()},
            {"regression_oversized_wvpl.dls", OversizedWavePool()},
            {"regression_oversized_pdta.sf2", OversizedPdta()},
            {"regression_extensible_format.dls", ExtensibleFormat()},
            {"regression_huge_channels.dls", HugeChannelsAndBits()},
            {"regression_unrepairable_align.dls", UnrepairableBlockAlign()}};
}

}  // namespace zu::fuzz_regression

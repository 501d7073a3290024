// Writes the example instruments that ship in examples/: a small DLS, GIG and
// SoundFont 2 file made by the project's own fixture builder, with short
// decaying tones as their samples. Run: make_examples OUTPUT_FOLDER
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/fixture_builder.h"

namespace {

using namespace zu::fixture;

constexpr double kPi = 3.14159265358979323846;

// A decaying tone of a MIDI key, 16-bit, interleaved over the channels.
std::string Tone(int key, uint32_t rate, uint32_t frames, uint16_t channels, uint16_t bits) {
    std::string out;
    const double freq = 440.0 * std::pow(2.0, (key - 69) / 12.0);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double v = 0.6 * std::exp(-3.0 * t) * std::sin(2 * kPi * freq * t);
        for (uint16_t c = 0; c < channels; ++c) {
            const double s = c ? v * 0.8 : v;
            if (bits == 8) {
                out += static_cast<char>(static_cast<uint8_t>(std::lround(128 + s * 127)));
            } else {
                const int16_t x = static_cast<int16_t>(std::lround(s * 32767));
                out += static_cast<char>(x & 0xFF);
                out += static_cast<char>((x >> 8) & 0xFF);
            }
        }
    }
    return out;
}

std::vector<int16_t> Points(const std::string& bytes) {
    std::vector<int16_t> p(bytes.size() / 2);
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return p;
}

bool Save(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

DlsDesc Piano(bool gig) {
    DlsDesc d = gig ? SmallGig(3) : DlsDesc();
    d.waves.clear();
    d.instruments.clear();
    d.info = {{"INAM", gig ? "Example Strings" : "Example Piano"}, {"ICOP", "Made by zuinstr's fixture builder"}};
    const int keys[] = {48, 60, 72};
    InstrumentDesc ins;
    ins.name = gig ? "Strings" : "Piano";
    ins.program = gig ? 48 : 0;
    for (int i = 0; i < 3; ++i) {
        WaveDesc w;
        w.name = std::string(gig ? "Str" : "Pno") + std::to_string(keys[i]);
        w.channels = gig ? 2 : 1;
        w.sampleRate = 22050;
        w.data = Tone(keys[i], 22050, 11025, w.channels, 16);
        d.waves.push_back(w);
        RegionDesc r;
        r.keyLo = static_cast<uint16_t>(i == 0 ? 0 : keys[i] - 6);
        r.keyHi = static_cast<uint16_t>(i == 2 ? 127 : keys[i] + 5);
        r.wave = static_cast<uint32_t>(i);
        if (gig) {
            r.dimensionBits = {0, 0, 0, 0, 0, 0, 0, 0};
            r.gigWaves.assign(256, static_cast<uint32_t>(i));
        }
        ins.regions.push_back(r);
    }
    d.instruments.push_back(ins);
    return d;
}

Sf2Desc Bells() {
    Sf2Desc d;
    d.info = {{"ifil", std::string("\x02\x00\x01\x00", 4)}, {"isng", std::string("EMU8000\0", 8)},
              {"INAM", std::string("Example Bells\0", 14)}};
    const int keys[] = {60, 72, 84};
    Sf2Instrument inst;
    inst.name = "Bells";
    for (int i = 0; i < 3; ++i) {
        Sf2Sample s;
        s.name = "Bell" + std::to_string(keys[i]);
        s.sampleRate = 22050;
        s.rootKey = static_cast<uint8_t>(keys[i]);
        s.data = Points(Tone(keys[i], 22050, 8000, 1, 16));
        s.loopStart = 4000;
        s.loopEnd = 7900;
        d.samples.push_back(s);
        const uint8_t lo = static_cast<uint8_t>(i == 0 ? 0 : keys[i] - 6), hi = static_cast<uint8_t>(i == 2 ? 127 : keys[i] + 5);
        inst.zones.push_back({{Sf2Range(kSf2GenKeyRange, lo, hi), Sf2Generator{kSf2GenSampleId, static_cast<uint16_t>(i)}}});
    }
    d.instruments.push_back(inst);
    Sf2Preset p;
    p.name = "Bells";
    p.preset = 14;
    p.zones = {{{Sf2Generator{kSf2GenInstrument, 0}}}};
    d.presets.push_back(p);
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const bool ok = Save(folder, "piano.dls", BuildDlsBytes(Piano(false))) && Save(folder, "strings.gig", BuildDlsBytes(Piano(true))) &&
                    Save(folder, "bells.sf2", BuildSf2(Bells()));
    if (!ok) std::fprintf(stderr, "make_examples: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}

// A saved SoundFont plays like the original: another synthesizer renders a
// small MIDI file to the same audio bytes from both files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "instrument/riff_instrument.h"
#include "render/instrument_writer.h"
#include "support/fixture_builder.h"
#include "support/fixture_reader.h"
#include "support/host_objects.h"
#include "support/module_host.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

#ifndef _WIN32
std::string VarLen(uint32_t n) {
    std::string out(1, static_cast<char>(n & 0x7F));
    while (n >>= 7) out.insert(out.begin(), static_cast<char>((n & 0x7F) | 0x80));
    return out;
}

// A chord on program 0, then a drum hit: enough to reach several samples.
std::string SmallMidi() {
    std::string ev;
    ev += VarLen(0) + "\xC0" + std::string(1, '\0');
    const int notes[] = {48, 60, 64, 67, 72};
    for (int i = 0; i < 5; ++i) ev += VarLen(i ? 48 : 0) + "\x90" + char(notes[i]) + "\x64";
    ev += VarLen(192) + "\x80" + char(60) + std::string(1, '\0');
    ev += VarLen(0) + "\x99" + char(36) + "\x6E" + VarLen(96) + "\x89" + char(36) + std::string(1, '\0');
    ev += VarLen(0) + std::string("\xFF\x2F\x00", 3);
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    return std::string("MThd") + be32(6) + std::string("\x00\x00\x00\x01\x00\x60", 6) + "MTrk" + be32(static_cast<uint32_t>(ev.size())) + ev;
}

bool HaveFluidsynth() { return std::system("command -v fluidsynth > /dev/null 2>&1") == 0; }

std::string Render(const TempDir& dir, const std::string& sf2, const std::string& name) {
    const std::string out = dir.File(name).u8string();
    const std::string cmd = "fluidsynth -ni -q -r 44100 -F '" + out + "' '" + sf2 + "' '" + dir.File("t.mid").u8string() + "' > /dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return {};
    return ReadFileBytes(dir.File(name));
}

HRESULT Save(const std::string& src, const std::string& dst) {
    OpenedFile f;
    OpenWith(2, src, &f);
    if (FAILED(f.hr)) return f.hr;
    IZuReadMeta* meta = nullptr;
    f.file->GetMeta(&meta);
    IZuReadAudioStream* s = f.Stream();
    CRiffInstrument instrument(static_cast<IUnknown*>(meta), kInstrumentSf2);
    const HRESULT hr = WriteInstrument(instrument, Widen(dst).c_str(), s, nullptr);
    s->Release();
    meta->Release();
    return hr;
}

TEST(Playback, SavedSoundFontsRenderTheSameAudio) {
    if (!HaveFluidsynth()) GTEST_SKIP() << "fluidsynth is not installed";
    TempDir dir;
    WriteFileBytes(dir.File("t.mid"), SmallMidi());
    // A SoundFont of the tests' own: INFO texts of odd and even lengths,
    // headers out of data order, a gap of another size than 46 points.
    fixture::Sf2Desc desc = fixture::SmallSf2();
    desc.info.push_back({"ICMT", std::string("odd\0", 4)});
    desc.info.push_back({"ICOP", std::string("even\0\0", 6)});
    fixture::Sf2Sample late;
    late.name = "Late";
    late.data = fixture::PatternPoints(400, 3);
    late.explicitPosition = true;
    late.start = 300;
    late.end = 700;
    late.loopStart = 320;
    late.loopEnd = 680;
    desc.samples.insert(desc.samples.begin(), late);
    desc.samples[1].gapAfter = 77;
    WriteFileBytes(dir.File("own.sf2"), fixture::BuildSf2(desc));
    std::vector<std::string> sources = {dir.File("own.sf2").u8string()};
    if (std::ifstream("/usr/share/sounds/sf2/TimGM6mb.sf2").good()) sources.push_back("/usr/share/sounds/sf2/TimGM6mb.sf2");
    for (size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i]);
        const std::string saved = dir.File("saved" + std::to_string(i) + ".sf2").u8string();
        ASSERT_EQ(Save(sources[i], saved), S_OK);
        const std::string a = Render(dir, sources[i], "a.wav"), b = Render(dir, saved, "b.wav");
        ASSERT_FALSE(a.empty()) << "fluidsynth refused the original";
        ASSERT_FALSE(b.empty()) << "fluidsynth refused the saved file";
        EXPECT_TRUE(a == b) << "the saved file plays differently";
    }
}
// One wave made longer, as an editor's save does: the other samples keep their
// audio and their loops, and the synthesizer still loads and plays the file.
TEST(Playback, AFileWithALongerWaveStillPlays) {
    if (!HaveFluidsynth()) GTEST_SKIP() << "fluidsynth is not installed";
    TempDir dir;
    WriteFileBytes(dir.File("t.mid"), SmallMidi());
    fixture::Sf2Desc desc = fixture::SmallSf2();
    desc.samples[0].gapAfter = 60;
    WriteFileBytes(dir.File("src.sf2"), fixture::BuildSf2(desc));
    const std::string src = dir.File("src.sf2").u8string(), dst = dir.File("longer.sf2").u8string();
    const auto before = fixture::ReadSf2File(src);
    OpenedFile f;
    OpenWith(2, src, &f);
    IZuReadMeta* meta = nullptr;
    f.file->GetMeta(&meta);
    std::vector<uint64_t> frames;
    for (const auto& sample : before.samples) frames.push_back(sample.end - sample.start);
    frames[0] += 25;
    auto* resized = new ResizedMeta(meta, frames);
    IZuReadAudioStream* s = f.Stream();
    const StreamContents pool = ReadWholeStream(s, 4096);
    s->Release();
    const size_t cut = static_cast<size_t>(frames[0] - 25) * 2;
    auto* audio = new MemoryAudioStream(pool.format, pool.bytes.substr(0, cut) + std::string(50, '\x20') + pool.bytes.substr(cut));
    CRiffInstrument instrument(static_cast<IUnknown*>(static_cast<IZuReadMeta*>(resized)), kInstrumentSf2);
    ASSERT_EQ(WriteInstrument(instrument, Widen(dst).c_str(), audio, nullptr), S_OK);
    audio->Release();
    resized->Release();
    meta->Release();
    const auto after = fixture::ReadSf2File(dst);
    for (size_t i = 1; i < before.samples.size(); ++i) {
        EXPECT_EQ(after.samples[i].data, before.samples[i].data) << i;
        EXPECT_EQ(after.samples[i].loopEnd - after.samples[i].start, before.samples[i].loopEnd - before.samples[i].start) << i;
    }
    EXPECT_FALSE(Render(dir, dst, "longer.wav").empty()) << "fluidsynth refused the file with a longer wave";
}
#endif

}  // namespace
}  // namespace zu::test

// zuinstr export-waves / import-waves: every wave of an instrument as its own
// WAV file for editing elsewhere, and the edited files saved back with the
// instrument data.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "cli.h"
#include "instrument_session.h"
#include "progress_bar.h"
#include "safe_save.h"
#include "soundfont_loops.h"
#include "wav_writer.h"
#include "wave_files.h"

namespace zutool {
namespace {

std::filesystem::path U8(const std::string& s) { return std::filesystem::u8path(s); }

struct WaveEntry {
    std::string name;
    uint64_t frames = 0;
    WAVEFORMATEX format{};
};

std::vector<WaveEntry> ListWaves(const Module& module, const OpenInstrument& inst) {
    std::vector<WaveEntry> waves;
    ULONG count = 0;
    inst.container()->GetSubStreamCount(&count);
    for (ULONG i = 0; i < count; ++i) {
        InstrumentWaveEntry e{};
        inst.container()->GetSubStreamInfo(i, &e, 0);
        WaveEntry w;
        w.name = Utf8(e.name);
        w.frames = e.frames;
        RecordToWfx(module, e.format, &w.format);
        waves.push_back(w);
    }
    return waves;
}

// The files of a folder by the wave index their names start with ("007-..." or "007.wav").
std::map<uint32_t, std::string> WaveFilesIn(const std::string& dir, std::string* error) {
    std::map<uint32_t, std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(U8(dir), ec)) {
        const std::string name = entry.path().filename().u8string();
        if (name.size() < 8 || name.compare(name.size() - 4, 4, ".wav") != 0) continue;
        size_t digits = 0;
        while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9') ++digits;
        if (digits < 3 || (name[digits] != '-' && name[digits] != '.')) continue;
        const uint32_t index = static_cast<uint32_t>(std::strtoul(name.substr(0, digits).c_str(), nullptr, 10));
        if (files.count(index)) {
            *error = "two files in " + dir + " are wave " + std::to_string(index) + ": " + files[index] + " and " + name;
            return {};
        }
        files[index] = entry.path().u8string();
    }
    if (ec) *error = "cannot read the folder " + dir + ": " + ec.message();
    return files;
}

}  // namespace

int RunExportWaves(const Args& args) {
    if (args.positional.size() != 2) {
        std::fprintf(stderr, "zuinstr export-waves: give FILE and DIR (see 'zuinstr export-waves --help')\n");
        return kExitUsage;
    }
    const std::string& src = args.positional[0];
    const std::string& dir = args.positional[1];
    ModuleSession session;
    if (!session.Open(args)) return kExitRefused;
    std::vector<WaveEntry> waves;
    std::string formatName;
    {
        OpenInstrument inst;
        const HRESULT hr = inst.Open(session.module(), src, -1);
        if (FAILED(hr)) return session.Refused(src, hr);
        waves = ListWaves(session.module(), inst);
        formatName = inst.formatName();
    }
    std::error_code ec;
    std::filesystem::create_directories(U8(dir), ec);
    if (ec) {
        std::fprintf(stderr, "zuinstr export-waves: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return kExitRefused;
    }
    uint64_t total = 0;
    for (const WaveEntry& w : waves) total += w.frames;
    ProgressBar progress("exporting", total, args.Has("--quiet"));
    std::string manifest = "{\"source\": " + JsonString(src) + ", \"format\": " + JsonString(formatName) + ", \"waves\": [";
    uint64_t base = 0;
    for (size_t i = 0; i < waves.size(); ++i) {
        OpenInstrument inst;
        HRESULT hr = inst.Open(session.module(), src, static_cast<int>(i));
        if (FAILED(hr)) return session.Refused(src + " wave " + std::to_string(i), hr);
        IZuReadAudioStream* stream = nullptr;
        WAVEFORMATEX format{};
        uint64_t frames = 0;
        hr = inst.Stream(&stream, &format, &frames);
        if (FAILED(hr)) return session.Refused(src + " wave " + std::to_string(i), hr);
        const std::string file = WaveFileName(static_cast<uint32_t>(i), waves[i].name);
        const std::string path = (U8(dir) / U8(file)).u8string();
        std::string error;
        auto writer = CreateWavWriter(path, format, &error);
        if (!writer) {
            stream->Release();
            std::fprintf(stderr, "zuinstr export-waves: %s\n", error.c_str());
            return kExitRefused;
        }
        uint64_t done = 0;
        hr = CopyStreamToWav(stream, format, frames, *writer, progress, base, &done);
        stream->Release();
        const bool closed = writer->Close();
        if (FAILED(hr)) return session.Refused(src + " wave " + std::to_string(i), hr);
        if (!closed) return session.Refused(path, static_cast<HRESULT>(0x8004E009L));
        base += frames;
        manifest += std::string(i ? ", " : "") + "{\"index\": " + std::to_string(i) + ", \"name\": " + JsonString(waves[i].name) +
                    ", \"file\": " + JsonString(file) + ", \"frames\": " + std::to_string(done) + "}";
    }
    progress.Finish();
    manifest += "]}\n";
    // The manifest records what was exported; import-waves reads the files by their index prefix.
    std::ofstream out(U8(dir) / "manifest.json", std::ios::binary);
    out << manifest;
    if (!out) {
        std::fprintf(stderr, "zuinstr export-waves: cannot write %s/manifest.json\n", dir.c_str());
        return kExitRefused;
    }
    if (!args.Has("--quiet")) std::fprintf(stderr, "wrote %zu waves to %s\n", waves.size(), dir.c_str());
    return kExitOk;
}

int RunImportWaves(const Args& args) {
    const std::string dst = args.Get("-o", args.Get("--output"));
    if (args.positional.size() != 2 || dst.empty()) {
        std::fprintf(stderr, "zuinstr import-waves: give SRC, DIR and -o DST (see 'zuinstr import-waves --help')\n");
        return kExitUsage;
    }
    const std::string& src = args.positional[0];
    const std::string& dir = args.positional[1];
    ModuleSession session;
    if (!session.Open(args)) return kExitRefused;
    const int dstKind = KindOfTarget(dst);
    SafeSave save(session.module(), dst);
    const bool quiet = args.Has("--quiet");
    {
        OpenInstrument inst;
        HRESULT hr = inst.Open(session.module(), src, -1);
        if (FAILED(hr)) return session.Refused(src, hr);
        const int srcKind = KindOfFormatName(inst.formatName());
        if (dstKind != srcKind) {
            std::fprintf(stderr, "zuinstr import-waves: %s holds a %s instrument; DST must be a %s file\n", src.c_str(),
                         KindName(srcKind), KindName(srcKind));
            return kExitRefused;
        }
        const std::vector<WaveEntry> waves = ListWaves(session.module(), inst);
        std::string error;
        const auto files = WaveFilesIn(dir, &error);
        if (!error.empty()) {
            std::fprintf(stderr, "zuinstr import-waves: %s\n", error.c_str());
            return kExitRefused;
        }
        auto setFormat = reinterpret_cast<WavAudioStream::SetStreamFormatInfoFn>(session.module().Symbol("ZuFio_SetStreamFormatInfo"));
        std::vector<WavAudioStream*> parts;
        std::vector<uint64_t> lengths;
        // SoundFont loops are absolute positions the writer clamps when a
        // sample shrinks under them; DLS and GIG loops are relative to their
        // wave and travel in the instrument data as stored.
        const std::vector<SampleLoop> loops = srcKind == KindOfTarget("loops.sf2") ? ReadSoundFontLoops(src) : std::vector<SampleLoop>();
        auto fail = [&](const std::string& message) {
            for (WavAudioStream* p : parts) p->Release();
            std::fprintf(stderr, "zuinstr import-waves: %s\n", message.c_str());
            return kExitRefused;
        };
        for (uint32_t i = 0; i < waves.size(); ++i) {
            const auto found = files.find(i);
            if (found == files.end()) return fail("no file for wave " + std::to_string(i) + " (" + WaveFileName(i, waves[i].name) + ") in " + dir);
            WavAudioStream* wav = WavAudioStream::Open(found->second, &error);
            if (!wav) return fail(error);
            parts.push_back(wav);
            wav->UseRecordFiller(setFormat);
            // Each file is converted into its wave's own sample format, but
            // channels and rate are the instrument's, not the file's, to choose.
            if (wav->format().nChannels != waves[i].format.nChannels || wav->format().nSamplesPerSec != waves[i].format.nSamplesPerSec)
                return fail(found->second + " is " + FormatText(wav->format()) + "; wave " + std::to_string(i) + " is " +
                            FormatText(waves[i].format) + " (channels and rate must stay)");
            if (wav->frames() == 0) return fail(found->second + " holds no frames");
            if (wav->frames() != waves[i].frames && !quiet) {
                std::fprintf(stderr, "wave %u (%s) now holds %llu frames instead of %llu\n", i, waves[i].name.c_str(),
                             static_cast<unsigned long long>(wav->frames()), static_cast<unsigned long long>(waves[i].frames));
                if (i < loops.size() && !LoopFits(loops[i], wav->frames()))
                    std::fprintf(stderr, "  its loop (%u..%u of the sample) no longer fits and is clamped to the new length\n",
                                 loops[i].loopStart - loops[i].start, loops[i].loopEnd - loops[i].start);
            }
            lengths.push_back(wav->frames());
        }
        if (files.size() > waves.size() && !quiet)
            std::fprintf(stderr, "note: %s holds files beyond the %zu waves of %s; they are left out\n", dir.c_str(), waves.size(), src.c_str());
        IZuReadMeta* meta = nullptr;
        hr = inst.file()->GetMeta(&meta);
        if (FAILED(hr)) {
            for (WavAudioStream* p : parts) p->Release();
            return session.Refused("the metadata of " + src, hr);
        }
        auto* joined = new JoinedAudioStream(session.module(), std::move(parts));
        auto* resized = new ResizedMetadata(meta, lengths);
        meta->Release();
        hr = save.Render(ClassOfKind(dstKind), static_cast<IZuReadAudioStream*>(joined), static_cast<IZuReadMeta*>(resized), quiet);
        joined->Release();
        resized->Release();
        if (FAILED(hr)) return session.Refused(dst, hr);
    }  // the source is closed before it may be replaced
    return CommitAndReport(save, dst, quiet);
}

}  // namespace zutool

// zuinstr identify / waves / extract: reading instruments through the module.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli.h"
#include "instrument_session.h"
#include "progress_bar.h"
#include "wav_writer.h"
#include "wave_files.h"

namespace zutool {

int RunIdentify(const Args& args) {
    if (args.positional.size() != 1) {
        std::fprintf(stderr, "zuinstr identify: give one FILE (see 'zuinstr identify --help')\n");
        return kExitUsage;
    }
    ModuleSession session;
    if (!session.Open(args)) return kExitRefused;
    const auto classes = ListFormatClasses(session.module());
    HRESULT refusal = S_OK;
    const int which = IdentifyFile(session.module(), classes, args.positional[0], &refusal);
    const bool json = args.Has("--json");
    if (which < 0) {
        if (json) {
            std::printf("{\"file\": %s, \"accepted\": false, \"result\": \"0x%08lX\", \"message\": %s}\n",
                        JsonString(args.positional[0]).c_str(), static_cast<unsigned long>(static_cast<uint32_t>(refusal)),
                        JsonString(ResultText(refusal)).c_str());
            return kExitRefused;
        }
        return session.Refused(args.positional[0], refusal);
    }
    // The class's own name for its files, in the module's current language.
    std::string localized;
    IZuReadFileClass* cls = nullptr;
    if (SUCCEEDED(session.module().Create(classes[which].classId, IID_IZuReadFileClass, reinterpret_cast<void**>(&cls)))) {
        const ULONG ids[] = {5, 6};
        BSTR texts[2] = {};
        if (SUCCEEDED(cls->GetInfoText(ids, 2, texts)) && texts[0]) localized = Utf8(texts[0]);
        for (BSTR t : texts) FreeSystemString(session.module(), t);
        cls->Release();
    }
    if (json)
        std::printf("{\"file\": %s, \"accepted\": true, \"class\": %s, \"classId\": \"%s\", \"localizedName\": %s}\n",
                    JsonString(args.positional[0]).c_str(), JsonString(classes[which].name).c_str(),
                    GuidText(classes[which].classId).c_str(), JsonString(localized).c_str());
    else
        std::printf("%s: %s %s (%s)\n", args.positional[0].c_str(), classes[which].name.c_str(),
                    GuidText(classes[which].classId).c_str(), localized.c_str());
    return kExitOk;
}

int RunWaves(const Args& args) {
    if (args.positional.size() != 1) {
        std::fprintf(stderr, "zuinstr waves: give one FILE (see 'zuinstr waves --help')\n");
        return kExitUsage;
    }
    ModuleSession session;
    if (!session.Open(args)) return kExitRefused;
    OpenInstrument inst;
    const HRESULT hr = inst.Open(session.module(), args.positional[0], -1);
    if (FAILED(hr)) return session.Refused(args.positional[0], hr);
    ULONG count = 0;
    inst.container()->GetSubStreamCount(&count);
    const bool json = args.Has("--json");
    if (json) std::printf("{\"file\": %s, \"format\": %s, \"waves\": [", JsonString(args.positional[0]).c_str(), JsonString(inst.formatName()).c_str());
    else std::printf("%5s  %-24s  %-28s  %10s  %10s\n", "index", "name", "format", "frames", "seconds");
    for (ULONG i = 0; i < count; ++i) {
        InstrumentWaveEntry e{};
        inst.container()->GetSubStreamInfo(i, &e, 0);
        WAVEFORMATEX f{};
        RecordToWfx(session.module(), e.format, &f);
        const double seconds = f.nSamplesPerSec ? static_cast<double>(e.frames) / f.nSamplesPerSec : 0.0;
        const std::string name = Utf8(e.name);
        if (json)
            std::printf("%s{\"index\": %lu, \"name\": %s, \"formatTag\": %u, \"channels\": %u, \"sampleRate\": %lu, "
                        "\"bitsPerSample\": %u, \"frames\": %llu, \"seconds\": %.6f}",
                        i ? ", " : "", static_cast<unsigned long>(i), JsonString(name).c_str(), f.wFormatTag, f.nChannels,
                        static_cast<unsigned long>(f.nSamplesPerSec), f.wBitsPerSample,
                        static_cast<unsigned long long>(e.frames), seconds);
        else
            std::printf("%5lu  %-24s  %-28s  %10llu  %10.3f\n", static_cast<unsigned long>(i), name.c_str(),
                        FormatText(f).c_str(), static_cast<unsigned long long>(e.frames), seconds);
    }
    if (json) std::printf("]}\n");
    return kExitOk;
}

int RunExtract(const Args& args) {
    const std::string out = args.Get("-o", args.Get("--output"));
    if (args.positional.size() != 1 || out.empty()) {
        std::fprintf(stderr, "zuinstr extract: give FILE and -o OUT.wav (see 'zuinstr extract --help')\n");
        return kExitUsage;
    }
    int wave = -1;
    if (args.Has("--wave")) {
        const std::string text = args.Get("--wave");  // end points into it: it must outlive the check
        char* end = nullptr;
        const long v = std::strtol(text.c_str(), &end, 10);
        if (!end || *end || v < 0) {
            std::fprintf(stderr, "zuinstr extract: --wave takes a wave index\n");
            return kExitUsage;
        }
        wave = static_cast<int>(v);
    }
    ModuleSession session;
    if (!session.Open(args)) return kExitRefused;
    OpenInstrument inst;
    HRESULT hr = inst.Open(session.module(), args.positional[0], wave);
    if (FAILED(hr)) return session.Refused(args.positional[0], hr);
    IZuReadAudioStream* stream = nullptr;
    WAVEFORMATEX format{};
    uint64_t frames = 0;
    hr = inst.Stream(&stream, &format, &frames);
    if (FAILED(hr)) return session.Refused("the audio stream", hr);
    std::string error;
    auto writer = CreateWavWriter(out, format, &error);
    if (!writer) {
        stream->Release();
        std::fprintf(stderr, "zuinstr extract: %s\n", error.c_str());
        return kExitRefused;
    }
    ProgressBar progress("extracting", frames, args.Has("--quiet"));
    uint64_t done = 0;
    hr = CopyStreamToWav(stream, format, frames, *writer, progress, 0, &done);
    progress.Finish();
    stream->Release();
    const bool closed = writer->Close();
    if (FAILED(hr)) return session.Refused(args.positional[0], hr);
    if (!closed) return session.Refused(out, static_cast<HRESULT>(0x8004E009L));
    if (!args.Has("--quiet"))
        std::fprintf(stderr, "wrote %llu frames (%s) to %s\n", static_cast<unsigned long long>(done), FormatText(format).c_str(), out.c_str());
    return kExitOk;
}

}  // namespace zutool

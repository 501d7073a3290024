// zuinstr convert / replace: saving instruments through the module's render
// classes, the tool acting as the host, with a safe save.
#include <cstdio>

#include "cli.h"
#include "instrument_session.h"
#include "safe_save.h"
#include "wav_audio_stream.h"

namespace zutool {
namespace {

// The metadata describes an instrument of one kind; its images can only be
// written as that kind.
bool CheckKinds(const std::string& src, int srcKind, const std::string& dst, int dstKind) {
    if (dstKind < 0) {
        std::fprintf(stderr, "zuinstr: %s: the target must end in .dls, .gig or .sf2\n", dst.c_str());
        return false;
    }
    if (srcKind != dstKind) {
        std::fprintf(stderr, "zuinstr: %s holds a %s instrument; it can only be saved as a %s file, not as %s\n",
                     src.c_str(), KindName(srcKind), KindName(srcKind), dst.c_str());
        return false;
    }
    return true;
}

int Save(const Args& args, const std::string& src, const std::string& dst, const std::string& audioPath) {
    ModuleSession session;
    if (!session.Open(args)) return kExitRefused;
    const int dstKind = KindOfTarget(dst);
    SafeSave save(session.module(), dst);
    {
        OpenInstrument inst;
        HRESULT hr = inst.Open(session.module(), src, -1);
        if (FAILED(hr)) return session.Refused(src, hr);
        if (!CheckKinds(src, KindOfFormatName(inst.formatName()), dst, dstKind)) return kExitRefused;
        IZuReadMeta* meta = nullptr;
        hr = inst.file()->GetMeta(&meta);
        if (FAILED(hr)) return session.Refused("the metadata of " + src, hr);
        IUnknown* audio = nullptr;
        IZuReadAudioStream* stream = nullptr;
        WAVEFORMATEX format{};
        uint64_t frames = 0;
        hr = inst.Stream(&stream, &format, &frames);
        if (FAILED(hr)) {
            meta->Release();
            return session.Refused("the audio of " + src, hr);
        }
        if (audioPath.empty()) {
            audio = stream;
            audio->AddRef();
        } else {
            std::string error;
            WavAudioStream* wav = WavAudioStream::Open(audioPath, &error);
            if (!wav) {
                std::fprintf(stderr, "zuinstr: %s\n", error.c_str());
                stream->Release();
                meta->Release();
                return kExitRefused;
            }
            wav->UseRecordFiller(reinterpret_cast<WavAudioStream::SetStreamFormatInfoFn>(session.module().Symbol("ZuFio_SetStreamFormatInfo")));
            if (wav->frames() != frames) {
                std::fprintf(stderr, "zuinstr: %s holds %llu frames; the wave pool of %s holds %llu\n", audioPath.c_str(),
                             static_cast<unsigned long long>(wav->frames()), src.c_str(), static_cast<unsigned long long>(frames));
                wav->Release();
                stream->Release();
                meta->Release();
                return kExitRefused;
            }
            audio = static_cast<IZuReadAudioStream*>(wav);
        }
        stream->Release();
        hr = save.Render(ClassOfKind(dstKind), audio, meta, args.Has("--quiet"));
        audio->Release();
        meta->Release();
        if (FAILED(hr)) return session.Refused(dst, hr);
    }  // the source is closed before it may be replaced
    return CommitAndReport(save, dst, args.Has("--quiet"));
}

}  // namespace

int RunConvert(const Args& args) {
    if (args.positional.size() != 2) {
        std::fprintf(stderr, "zuinstr convert: give SRC and DST (see 'zuinstr convert --help')\n");
        return kExitUsage;
    }
    return Save(args, args.positional[0], args.positional[1], std::string());
}

int RunReplace(const Args& args) {
    const std::string dst = args.Get("-o", args.Get("--output"));
    const std::string audio = args.Get("--audio");
    if (args.positional.size() != 1 || dst.empty() || audio.empty()) {
        std::fprintf(stderr, "zuinstr replace: give SRC, --audio EDITED.wav and -o DST (see 'zuinstr replace --help')\n");
        return kExitUsage;
    }
    return Save(args, args.positional[0], dst, audio);
}

}  // namespace zutool

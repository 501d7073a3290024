// The tool as a host: an audio stream over a WAV file, handed to the module's
// render class in place of an instrument's own audio. Read with libsndfile
// where the build has it, with the tool's own small reader elsewhere.
#ifndef ZUINSTR_TOOL_WAV_AUDIO_STREAM_H
#define ZUINSTR_TOOL_WAV_AUDIO_STREAM_H

#include <atomic>
#include <memory>
#include <string>

#include "host_audio_stream.h"
#include "zuinstr/zuinstr.h"

namespace zutool {

class WavSource;  // the file behind the stream

class WavAudioStream final : public HostAudioStream {
public:
    // Null with a message in *error when the file cannot be read as PCM or float WAV.
    static WavAudioStream* Open(const std::string& path, std::string* error);
    ~WavAudioStream() override;
    HRESULT ZU_STDCALL ReadToToken(uint64_t start, const _zumemorytoken* token, ULONG frames, ULONG* read) override;

private:
    WavAudioStream() = default;
    std::unique_ptr<WavSource> source_;
};

}  // namespace zutool

#endif

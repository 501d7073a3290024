// Writes PCM or float audio to a WAV file: with libsndfile where the build has
// it (Linux), with a small writer of the tool's own elsewhere.
#ifndef ZUINSTR_TOOL_WAV_WRITER_H
#define ZUINSTR_TOOL_WAV_WRITER_H

#include <memory>
#include <string>

#include "zuinstr/zuinstr_audio.h"

namespace zutool {

class WavWriter {
public:
    virtual ~WavWriter() = default;
    // Appends whole frames of the format given at creation.
    virtual bool Write(const void* frames, size_t bytes) = 0;
    virtual bool Close() = 0;
};

// Null with a message in *error when the file cannot be created.
std::unique_ptr<WavWriter> CreateWavWriter(const std::string& path, const WAVEFORMATEX& format, std::string* error);

}  // namespace zutool

#endif

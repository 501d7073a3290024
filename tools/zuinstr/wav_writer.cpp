#include "wav_writer.h"

#include <cstdio>
#include <cstring>

#ifdef ZU_TOOL_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace zutool {
namespace {

#ifdef ZU_TOOL_HAVE_SNDFILE
class SndfileWriter final : public WavWriter {
public:
    SndfileWriter(SNDFILE* f, int blockAlign) : file_(f), blockAlign_(blockAlign) {}
    ~SndfileWriter() override { Close(); }
    bool Write(const void* frames, size_t bytes) override {
        const sf_count_t n = static_cast<sf_count_t>(bytes / blockAlign_);
        // Raw bytes in the file's own sample format: no conversion on the way.
        return sf_write_raw(file_, frames, n * blockAlign_) == n * blockAlign_;
    }
    bool Close() override {
        if (!file_) return true;
        const bool ok = sf_close(file_) == 0;
        file_ = nullptr;
        return ok;
    }

private:
    SNDFILE* file_;
    int blockAlign_;
};
#endif

// A canonical 44-byte-header WAV, sizes patched at Close.
class PlainWavWriter final : public WavWriter {
public:
    PlainWavWriter(FILE* f, const WAVEFORMATEX& format) : file_(f) {
        unsigned char h[44] = {};
        std::memcpy(h, "RIFF", 4);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        Put32(h + 16, 16);
        Put16(h + 20, format.wFormatTag);
        Put16(h + 22, format.nChannels);
        Put32(h + 24, format.nSamplesPerSec);
        Put32(h + 28, format.nAvgBytesPerSec);
        Put16(h + 32, format.nBlockAlign);
        Put16(h + 34, format.wBitsPerSample);
        std::memcpy(h + 36, "data", 4);
        ok_ = std::fwrite(h, 1, 44, file_) == 44;
    }
    ~PlainWavWriter() override { Close(); }
    bool Write(const void* frames, size_t bytes) override {
        ok_ = ok_ && std::fwrite(frames, 1, bytes, file_) == bytes;
        dataBytes_ += bytes;
        return ok_;
    }
    bool Close() override {
        if (!file_) return ok_;
        if (dataBytes_ & 1) ok_ = ok_ && std::fputc(0, file_) != EOF;
        unsigned char size[4];
        Put32(size, static_cast<uint32_t>(36 + dataBytes_ + (dataBytes_ & 1)));
        ok_ = ok_ && std::fseek(file_, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
        Put32(size, static_cast<uint32_t>(dataBytes_));
        ok_ = ok_ && std::fseek(file_, 40, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
        ok_ = std::fclose(file_) == 0 && ok_;
        file_ = nullptr;
        return ok_;
    }

private:
    static void Put16(unsigned char* p, uint32_t v) {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
    }
    static void Put32(unsigned char* p, uint32_t v) {
        Put16(p, v & 0xFFFF);
        Put16(p + 2, v >> 16);
    }
    FILE* file_;
    size_t dataBytes_ = 0;
    bool ok_ = true;
};

}  // namespace

std::unique_ptr<WavWriter> CreateWavWriter(const std::string& path, const WAVEFORMATEX& format, std::string* error) {
#ifdef ZU_TOOL_HAVE_SNDFILE
    SF_INFO info{};
    info.samplerate = static_cast<int>(format.nSamplesPerSec);
    info.channels = format.nChannels;
    int sub = 0;
    if (format.wFormatTag == 3) sub = format.wBitsPerSample == 64 ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT;
    else if (format.wBitsPerSample == 8) sub = SF_FORMAT_PCM_U8;
    else if (format.wBitsPerSample == 16) sub = SF_FORMAT_PCM_16;
    else if (format.wBitsPerSample == 24) sub = SF_FORMAT_PCM_24;
    else if (format.wBitsPerSample == 32) sub = SF_FORMAT_PCM_32;
    if (sub != 0) {
        info.format = SF_FORMAT_WAV | sub;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!f) {
            if (error) *error = sf_strerror(nullptr);
            return nullptr;
        }
        return std::make_unique<SndfileWriter>(f, format.nBlockAlign);
    }
#endif
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot create " + path;
        return nullptr;
    }
    return std::make_unique<PlainWavWriter>(f, format);
}

}  // namespace zutool

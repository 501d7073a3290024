#include "wav_audio_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef ZU_TOOL_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace zutool {

// Random access to the raw sample bytes of a WAV file.
class WavSource {
public:
    virtual ~WavSource() = default;
    virtual bool ReadFrames(uint64_t first, uint64_t count, uint32_t blockAlign, void* out) = 0;
};

namespace {

uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The tool's own reader: "fmt " and "data" of a RIFF WAVE file.
class PlainWavSource final : public WavSource {
public:
    ~PlainWavSource() override {
        if (f_) std::fclose(f_);
    }
    bool Open(const std::string& path, WAVEFORMATEX* format, uint64_t* frames, std::string* error) {
        f_ = std::fopen(path.c_str(), "rb");
        if (!f_) return Fail(error, "cannot open " + path);
        unsigned char head[12];
        if (std::fread(head, 1, 12, f_) != 12 || std::memcmp(head, "RIFF", 4) || std::memcmp(head + 8, "WAVE", 4))
            return Fail(error, path + " is not a WAV file");
        bool haveFmt = false;
        for (;;) {
            unsigned char ck[8];
            if (std::fread(ck, 1, 8, f_) != 8) break;
            const uint32_t size = Le32(ck + 4);
            const long at = std::ftell(f_);
            if (!std::memcmp(ck, "fmt ", 4)) {
                unsigned char fmt[40] = {};
                if (std::fread(fmt, 1, std::min<uint32_t>(size, 40), f_) < 16) return Fail(error, "short fmt chunk");
                format->wFormatTag = Le16(fmt);
                format->nChannels = Le16(fmt + 2);
                format->nSamplesPerSec = Le32(fmt + 4);
                format->nAvgBytesPerSec = Le32(fmt + 8);
                format->nBlockAlign = Le16(fmt + 12);
                format->wBitsPerSample = Le16(fmt + 14);
                if (format->wFormatTag == 0xFFFE && size >= 40) format->wFormatTag = Le16(fmt + 24);  // the subtype's tag
                format->cbSize = 0;
                haveFmt = true;
            } else if (!std::memcmp(ck, "data", 4)) {
                if (!haveFmt || format->nBlockAlign == 0) return Fail(error, "the WAV file has no usable fmt chunk before its data");
                dataOffset_ = at;
                *frames = size / format->nBlockAlign;
                return true;
            }
            if (std::fseek(f_, at + static_cast<long>(size + (size & 1)), SEEK_SET) != 0) break;
        }
        return Fail(error, path + " has no data chunk");
    }
    bool ReadFrames(uint64_t first, uint64_t count, uint32_t align, void* out) override {
        return std::fseek(f_, static_cast<long>(dataOffset_ + first * align), SEEK_SET) == 0 &&
               std::fread(out, align, static_cast<size_t>(count), f_) == count;
    }

private:
    static bool Fail(std::string* error, const std::string& what) {
        if (error) *error = what;
        return false;
    }
    FILE* f_ = nullptr;
    long dataOffset_ = 0;
};

#ifdef ZU_TOOL_HAVE_SNDFILE
class SndfileSource final : public WavSource {
public:
    ~SndfileSource() override {
        if (file_) sf_close(file_);
    }
    bool Open(const std::string& path, WAVEFORMATEX* format, uint64_t* frames, std::string* error) {
        SF_INFO info{};
        file_ = sf_open(path.c_str(), SFM_READ, &info);
        if (!file_) {
            if (error) *error = sf_strerror(nullptr);
            return false;
        }
        int bits = 0, tag = 1;
        switch (info.format & SF_FORMAT_SUBMASK) {
            case SF_FORMAT_PCM_U8: bits = 8; break;
            case SF_FORMAT_PCM_16: bits = 16; break;
            case SF_FORMAT_PCM_24: bits = 24; break;
            case SF_FORMAT_PCM_32: bits = 32; break;
            case SF_FORMAT_FLOAT: bits = 32, tag = 3; break;
            case SF_FORMAT_DOUBLE: bits = 64, tag = 3; break;
            default:
                if (error) *error = path + ": only PCM and float WAV files can be used";
                return false;
        }
        if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV) {
            if (error) *error = path + " is not a WAV file";
            return false;
        }
        format->wFormatTag = static_cast<uint16_t>(tag);
        format->nChannels = static_cast<uint16_t>(info.channels);
        format->nSamplesPerSec = static_cast<uint32_t>(info.samplerate);
        format->wBitsPerSample = static_cast<uint16_t>(bits);
        format->nBlockAlign = static_cast<uint16_t>(info.channels * bits / 8);
        format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
        *frames = static_cast<uint64_t>(info.frames);
        return true;
    }
    bool ReadFrames(uint64_t first, uint64_t count, uint32_t align, void* out) override {
        // Raw bytes in the file's own sample format: the module converts.
        return sf_seek(file_, static_cast<sf_count_t>(first), SEEK_SET) == static_cast<sf_count_t>(first) &&
               sf_read_raw(file_, out, static_cast<sf_count_t>(count * align)) == static_cast<sf_count_t>(count * align);
    }

private:
    SNDFILE* file_ = nullptr;
};
#endif

}  // namespace

WavAudioStream* WavAudioStream::Open(const std::string& path, std::string* error) {
    std::unique_ptr<WavAudioStream> s(new WavAudioStream());
#ifdef ZU_TOOL_HAVE_SNDFILE
    auto snd = std::make_unique<SndfileSource>();
    if (!snd->Open(path, &s->format_, &s->frames_, error)) return nullptr;
    s->source_ = std::move(snd);
#else
    auto plain = std::make_unique<PlainWavSource>();
    if (!plain->Open(path, &s->format_, &s->frames_, error)) return nullptr;
    s->source_ = std::move(plain);
#endif
    return s.release();
}

WavAudioStream::~WavAudioStream() = default;

HRESULT WavAudioStream::ReadToToken(uint64_t start, const _zumemorytoken* token, ULONG frames, ULONG* read) {
    if (read) *read = 0;
    if (!token || !token->baseAddress || format_.nBlockAlign == 0) return E_INVALIDARG;
    if (start >= frames_) return S_FALSE;
    const uint64_t n = std::min<uint64_t>({frames, frames_ - start, token->size / format_.nBlockAlign});
    auto* out = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(token->baseAddress)) + token->offset;
    if (!source_->ReadFrames(start, n, format_.nBlockAlign, out)) return static_cast<HRESULT>(0x8004E008L);
    if (read) *read = static_cast<ULONG>(n);
    return S_OK;
}

}  // namespace zutool

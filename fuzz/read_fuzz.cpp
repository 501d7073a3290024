// libFuzzer target: arbitrary bytes as an instrument file. Each input goes
// through the three reader classes as a host drives them: header
// identification, opening under the pool name and under single-wave names,
// reading the whole stream in reads of odd sizes, the container's wave
// records, and every metadata query. The work per input is bounded so that no
// input can time out by asking for huge counts.
//
// Built only by the fuzz configuration (scripts/fuzz.sh); POSIX is used here
// for the private folder that holds the input file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "platform/platform.h"
#include "zuinstr/zuinstr.h"

namespace {

// ---- Bounds of the work done for one input ----
constexpr ULONG kMaxInstruments = 64;
constexpr ULONG kMaxRegions = 64;
constexpr ULONG kMaxWaves = 64;
constexpr uint32_t kMaxQueries = 3000;         // instrument, region and link queries per metadata object
constexpr uint64_t kMaxStreamBytes = 4u << 20;  // audio or metadata bytes read from one stream
constexpr uint32_t kMaxReadCalls = 2048;        // reads of one stream
constexpr size_t kMaxReadBuffer = 1u << 20;     // one read's buffer
constexpr uint32_t kMaxImageBytes = 64u << 20;  // the instrument image

// Frames per read, cycled, so that reads start and end at many offsets.
constexpr ULONG kReadSizes[] = {1, 7, 97, 4099, 3};

// ZU_FUZZ_TRACE=1 prints what each input reached (to check the seeds).
const bool g_trace = std::getenv("ZU_FUZZ_TRACE") != nullptr;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "read_fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok) Fail(what);
}

// One reference, released at scope end.
template <class T>
class Ref {
public:
    Ref() = default;
    ~Ref() { Reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

uint32_t FourCC(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

// ---- The process-wide set-up: reader classes and the input file ----

struct Harness {
    IZuReadFileClass* classes[3] = {};
    std::string folder;
    std::string path;
    std::u16string widePath;
};

Harness* g_harness = nullptr;

void TearDown() {
    if (!g_harness) return;
    for (IZuReadFileClass*& c : g_harness->classes) {
        if (c) c->Release();
        c = nullptr;
    }
    ::unlink(g_harness->path.c_str());
    ::rmdir(g_harness->folder.c_str());
    delete g_harness;
    g_harness = nullptr;
}

IZuReadFileClass* NewReaderClass(const CLSID& clsid) {
    void* factory = nullptr;
    if (FAILED(DllGetClassObject(clsid, IID_ZuIClassFactory, &factory)) || !factory) return nullptr;
    void* cls = nullptr;
    static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IZuReadFileClass, &cls);
    static_cast<IClassFactory*>(factory)->Release();
    return static_cast<IZuReadFileClass*>(cls);
}

Harness* Setup() {
    auto* h = new Harness;
    const CLSID* ids[3] = {&CLSID_ZuDlsInstrument, &CLSID_ZuGigInstrument, &CLSID_ZuSf2Instrument};
    for (int k = 0; k < 3; ++k) {
        h->classes[k] = NewReaderClass(*ids[k]);
        Check(h->classes[k] != nullptr, "a reader class could not be created");
    }
    // A private folder in memory (tmpfs), so that GIG extension names taken
    // from an input can only reach files of this folder.
    std::string base = "/dev/shm";
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = base + "/zuinstr-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    Check(::mkdtemp(buf.data()) != nullptr, "cannot create the input folder");
    h->folder = buf.data();
    h->path = h->folder + "/" + zu::fuzz::kInputFileName;
    h->widePath = zu::platform::Utf8ToU16(h->path);
    g_harness = h;
    std::atexit(TearDown);
    return h;
}

void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Check(fd >= 0, "cannot write the input file");
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        Check(n > 0, "cannot write the input file");
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}

// ---- Identification ----

void Identify(const Harness& h, const uint8_t* data, size_t size) {
    const ULONG length = static_cast<ULONG>(size);
    int accepted = 0;
    for (IZuReadFileClass* c : h.classes) {
        const HRESULT hr = c->IdentifyHeader(nullptr, data, length);
        Check(hr == S_OK || hr == static_cast<HRESULT>(0x8004E080u), "IdentifyHeader: unexpected result");
        if (hr == S_OK) ++accepted;
        // A host may pass only the first bytes it has.
        c->IdentifyHeader(nullptr, data, std::min<ULONG>(length, 12));
        c->IdentifyHeader(nullptr, data, length / 2);
    }
    Check(accepted <= 1, "IdentifyHeader: more than one class accepts the same header");
}

// ---- Metadata streams ----

// Reads a stream to its end in reads of odd sizes, then again as a host
// parses it: header, then each record's head and its announced bytes.
void DrainStream(IStream* s, uint32_t headerBytes, uint32_t recordHeadBytes, uint32_t sizeWordAt) {
    if (!s) return;
    std::vector<uint8_t> buf(1024);
    uint64_t pos = 0;
    s->Seek(0, ZU_STREAM_SEEK_SET, &pos);
    const ULONG chunks[] = {7, 64, 1000, 1};
    uint64_t total = 0;
    for (uint32_t call = 0; call < kMaxReadCalls && total < kMaxStreamBytes; ++call) {
        ULONG got = 0;
        const ULONG want = chunks[call % 4];
        const HRESULT hr = s->Read(buf.data(), want, &got);
        Check(got <= want, "IStream::Read: more bytes than asked");
        total += got;
        if (hr != S_OK || got == 0) break;
    }

    s->Seek(0, ZU_STREAM_SEEK_SET, &pos);
    std::vector<uint8_t> head(headerBytes);
    ULONG got = 0;
    if (s->Read(head.data(), headerBytes, &got) != S_OK || got != headerBytes) return;
    uint32_t count = 0;
    std::memcpy(&count, head.data() + 8, 4);
    total = 0;
    for (uint32_t i = 0; i < count && i < 4096 && total < kMaxStreamBytes; ++i) {
        std::vector<uint8_t> record(recordHeadBytes);
        if (s->Read(record.data(), recordHeadBytes, &got) != S_OK || got != recordHeadBytes) break;
        uint32_t bytes = 0;
        std::memcpy(&bytes, record.data() + sizeWordAt, 4);
        if (bytes == 0) continue;
        if (bytes > kMaxStreamBytes - total) break;
        std::vector<uint8_t> body(bytes);
        const HRESULT hr = s->Read(body.data(), bytes, &got);
        Check(got <= bytes, "IStream::Read: more bytes than asked");
        total += recordHeadBytes + got;
        if (hr != S_OK) break;
    }
    // The other moves of the cursor, and what reads answer after them.
    s->Read(buf.data(), 16, &got);
    s->Seek(5, ZU_STREAM_SEEK_CUR, &pos);
    s->Seek(0, ZU_STREAM_SEEK_END, &pos);
    s->Read(buf.data(), 16, &got);
    s->Seek(0, 7, &pos);
    s->Seek(0, ZU_STREAM_SEEK_SET, nullptr);
    s->Read(buf.data(), 0, nullptr);
    s->Read(nullptr, 16, &got);
    s->Seek(3, ZU_STREAM_SEEK_CUR, nullptr);
    s->Read(buf.data(), 16, nullptr);
    s->Seek(0, ZU_STREAM_SEEK_SET, nullptr);
    Ref<IUnknown> other;
    s->QueryInterface(IID_ZuIStream, other.PutVoid());
    s->QueryInterface(IID_IZuReadMeta, other.PutVoid());
}

void ExerciseSummary(IZuReadMeta* meta) {
    Ref<IStream> s;
    meta->GetMarkerStream(s.Put());
    meta->GetCommandStream(s.Put());
    meta->GetReservedStream(s.Put());
    s.Reset();

    WCHAR text[300];
    const uint32_t ids[] = {FourCC("INAM"), FourCC("ICOP"), FourCC("ICMT"), FourCC("ISFT"), FourCC("IENG"),
                            FourCC("ifil"), FourCC("isng"), 0};
    for (uint32_t id : ids) {
        meta->GetSummaryText(id, text, 260);
        meta->GetSummaryText(id, text, 3);
        meta->GetSummaryText(id, text, 1);
        meta->GetSummaryText(id, text, 0);
    }
    meta->GetSummaryStream(nullptr);
    if (SUCCEEDED(meta->GetSummaryStream(s.Put())) && s) DrainStream(s.get(), 12, 12, 8);
    // The same stream again, with its cursor where the last reader left it.
    if (SUCCEEDED(meta->GetSummaryStream(s.Put())) && s) DrainStream(s.get(), 12, 12, 8);

    Ref<IZuReadGenericMeta> generic;
    if (FAILED(meta->QueryInterface(IID_IZuReadGenericMeta, generic.PutVoid())) || !generic) return;
    generic->Next(nullptr);
    for (int round = 0; round < 2; ++round) {
        generic->Reset();
        for (int i = 0; i < 4; ++i) {
            const HRESULT hr = generic->Next(s.Put());
            if (hr != S_OK) break;
            if (s) DrainStream(s.get(), 28, 28, 24);
        }
    }
}

// ---- Instrument metadata ----

void ExerciseInstruments(IZuReadMeta* meta) {
    Ref<IZuReadInstrumentMeta> im;
    if (FAILED(meta->QueryInterface(IID_IZuReadInstrumentMeta, im.PutVoid())) || !im) return;
    WCHAR path[300];
    im->GetSourcePath(path, 260);
    im->GetSourcePath(path, 1);

    uint32_t budget = kMaxQueries;
    ULONG instruments = 0;
    im->GetInstrumentCount(&instruments);
    im->GetInstrumentInfo(0, nullptr);
    im->GetRegionInfo(0, 0, nullptr);
    im->GetRegionWaveLink(0, 0, 0, nullptr);
    const ULONG lastInstrument = std::min(instruments, kMaxInstruments);
    for (ULONG i = 0; i <= lastInstrument && budget > 0; ++i) {  // one past the last as well
        InstrumentInfo info{};
        im->GetInstrumentInfo(i, &info);
        --budget;
        const ULONG lastRegion = std::min<ULONG>(info.regionCount, kMaxRegions);
        for (ULONG r = 0; r <= lastRegion && budget > 0; ++r) {
            RegionInfo region{};
            im->GetRegionInfo(i, r, &region);
            --budget;
            // The first layers, the last one, one past it and a far one.
            const ULONG layers[] = {0, 1, 2, 3, region.layerCount - 1, region.layerCount, 0xFFFFFFFFu};
            for (ULONG layer : layers) {
                if (budget == 0) break;
                RegionWaveLink link{};
                im->GetRegionWaveLink(i, r, layer, &link);
                --budget;
            }
        }
    }
    InstrumentInfo far{};
    im->GetInstrumentInfo(0xFFFFFFFFu, &far);
    RegionInfo farRegion{};
    im->GetRegionInfo(0, 0xFFFFFFFFu, &farRegion);

    ULONG waves = 0;
    im->GetWaveCount(&waves);
    im->GetWaveInfo(0, nullptr);
    for (ULONG w = 0; w <= std::min(waves, kMaxWaves); ++w) {
        InstrumentWaveInfo wave{};
        im->GetWaveInfo(w, &wave);
    }
    InstrumentWaveInfo farWave{};
    im->GetWaveInfo(0xFFFFFFFFu, &farWave);

    im->GetInstrumentImageSize(nullptr);
    im->GetInstrumentImage(nullptr);
    ULONG imageSize = 0;
    if (im->GetInstrumentImageSize(&imageSize) == S_OK && imageSize > 0 && imageSize <= kMaxImageBytes) {
        std::vector<uint8_t> image(imageSize);
        im->GetInstrumentImage(image.data());
        // A second call must give the same bytes.
        std::vector<uint8_t> again(imageSize);
        im->GetInstrumentImage(again.data());
        Check(image == again, "GetInstrumentImage: two calls give different images");
    }
}

void ExerciseMeta(IZuReadFile* file) {
    Ref<IZuReadMeta> meta;
    const HRESULT hr = file->GetMeta(meta.Put());
    if (g_trace) std::fprintf(stderr, "  GetMeta %08X\n", static_cast<unsigned>(hr));
    if (FAILED(hr) || !meta) return;
    Ref<IZuReadMeta> same;
    meta->QueryInterface(IID_IZuReadMeta, same.PutVoid());
    Ref<IUnknown> unknown;
    meta->QueryInterface(IID_ZuIUnknown, unknown.PutVoid());
    meta->QueryInterface(IID_IZuReadFile, unknown.PutVoid());
    ExerciseSummary(meta.get());
    ExerciseInstruments(meta.get());
}

// ---- Audio ----

// One read of `frames` frames at `start` into a buffer of exactly the bytes
// asked for (at `offset` within the token), so that the sanitizer sees any
// write beyond it. Returns the frames delivered; *hr receives the result.
ULONG ReadOnce(IZuReadAudioStream* s, uint64_t start, ULONG frames, size_t align, uint32_t offset, HRESULT* hr) {
    std::vector<uint8_t> buffer(offset + static_cast<size_t>(frames) * align);
    _zumemorytoken token{};
    token.baseAddress = reinterpret_cast<uintptr_t>(buffer.data());
    token.size = static_cast<uint32_t>(buffer.size() - offset);
    token.offset = offset;
    token.kind = ZU_MEMORY_TOKEN_PROCESS;
    token.ownerProcessId = 0;
    ULONG got = 0;
    *hr = s->ReadToToken(start, &token, frames, &got);
    Check(got <= frames, "ReadToToken: more frames than asked");
    return got;
}

// Reads the whole stream; returns the frames read in the first pass.
uint64_t ReadStream(IZuReadAudioStream* s) {
    _ZUFILESTREAMFORMATINFOv2 record{};
    _ZUFILESTREAMFORMATINFOv2 native{};
    s->GetNativeFormatInfo(&native);
    uint64_t duration = 0;
    s->GetDuration(&duration);
    ULONG type = 0, subType = 0, index = 0;
    s->GetStreamIds(&type, &subType, &index);
    uint64_t frames = 0;
    s->GetFrameCount(&frames);
    ULONG align = 0;
    s->GetBlockAlign(&align);
    HRESULT hr = s->GetFormatInfo(&record);
    if (FAILED(hr) || align == 0) {
        ReadOnce(s, 0, 1, 16, 0, &hr);  // must fail cleanly
        return 0;
    }
    const size_t a = align;
    const ULONG maxFrames = static_cast<ULONG>(std::max<size_t>(1, kMaxReadBuffer / a));
    uint64_t pos = 0, bytes = 0;
    for (uint32_t call = 0; call < kMaxReadCalls && pos < frames && bytes < kMaxStreamBytes; ++call) {
        const ULONG want = std::min(kReadSizes[call % (sizeof kReadSizes / sizeof kReadSizes[0])], maxFrames);
        const ULONG got = ReadOnce(s, pos, want, a, call % 3 == 2 ? 1 : 0, &hr);
        if (hr != S_OK || got == 0) break;
        pos += got;
        bytes += static_cast<uint64_t>(got) * a;
    }
    // At and beyond the end, backwards, and into a buffer too small for a frame.
    ReadOnce(s, frames, 1, a, 0, &hr);
    ReadOnce(s, frames + 1000, 5, a, 0, &hr);
    ReadOnce(s, UINT64_MAX - 1, 1, a, 0, &hr);
    if (frames > 2) ReadOnce(s, frames / 2, 3, a, 0, &hr);
    ReadOnce(s, 0, 2, a, 0, &hr);
    if (a > 1) {
        std::vector<uint8_t> small(a - 1);
        _zumemorytoken token{};
        token.baseAddress = reinterpret_cast<uintptr_t>(small.data());
        token.size = static_cast<uint32_t>(small.size());
        ULONG got = 0;
        s->ReadToToken(0, &token, 1, &got);
        Check(got == 0, "ReadToToken: a frame delivered into a buffer smaller than one frame");
    }
    ULONG got = 0;
    s->ReadToToken(0, nullptr, 1, &got);
    uint64_t dataOffset = 0, dataBytes = 0;
    void* handle = nullptr;
    if (SUCCEEDED(s->BeginDirectAccess(&dataOffset, &dataBytes, &handle))) s->EndDirectAccess();
    s->WaitForIdle();
    return pos;
}

// The output formats a host may ask for: none, 32-bit float, 8-bit PCM.
bool OutputRequest(int variant, const _ZUFILESTREAMFORMATINFOv2& native, _ZUFILESTREAMFORMATINFOv2* out) {
    if (variant == 0) return false;
    WAVEFORMATEX wfx{};
    ZuAudio_WaveFormatToWfx(&native.format, &wfx);
    if (wfx.nChannels == 0 || wfx.nSamplesPerSec == 0) return false;
    WAVEFORMATEX want{};
    const bool isFloat = variant == 1;
    ZuAudio_InitWfxFlex(&want, sizeof want, isFloat ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM, isFloat ? 32 : 8,
                        wfx.nSamplesPerSec, wfx.nChannels, 0);
    *out = _ZUFILESTREAMFORMATINFOv2{};
    return SUCCEEDED(ZuFio_SetStreamFormatInfo(out, &want, nullptr, 0));
}

void ExerciseFile(IZuReadFile* file, int variant) {
    WCHAR text[300];
    for (ULONG kind = 0; kind <= 5; ++kind) file->GetFileText(text, 260, kind);
    file->GetFileText(text, 1, 4);
    file->GetStreamText(text, 260, 0, 1);
    file->GetStreamText(text, 260, 0, 2);
    file->GetStreamText(text, 5, 0, 3);
    file->GetStreamText(text, 260, 0, 4);
    file->GetFileName(text, 260);
    file->GetFileName(text, 2);
    uint64_t duration = 0;
    file->GetDuration(&duration);
    ULONG count = 0;
    file->GetStreamCount(&count);
    _ZUFILESTREAMFORMATINFOv2 records[2] = {};
    file->GetStreamFormatInfo(records, 0, 1);
    file->GetStreamFormatInfo(records, 0, 2);
    ULONG type = 0, second = 0, found = 0;
    file->GetStreamType(0, &type, &second);
    file->GetStreamType(1, &type, &second);
    file->FindStream(0, 1, &found);
    uint64_t value = 0;
    file->GetStreamValue(&value, sizeof value, 1);
    file->GetStreamProperty(&value, sizeof value, 0, 2);
    tagZUTEMPLATExV2* tmpl = nullptr;
    if (SUCCEEDED(file->GetTemplate(&tmpl)) && tmpl) ZuFio_FreeTemplate(tmpl);

    Ref<IZuContainerFile> container;
    if (SUCCEEDED(file->QueryInterface(IID_IZuContainerFile, container.PutVoid())) && container) {
        ULONG waves = 0;
        container->GetSubStreamCount(&waves);
        InstrumentWaveEntry entry;
        for (ULONG i = 0; i <= std::min(waves, kMaxWaves); ++i) {
            container->GetSubStreamInfo(i, &entry, 0);
            if (g_trace && i < waves)
                std::fprintf(stderr, "  wave %u: type %u, %u channels, align %u, flags %X, %llu frames, %llu bytes\n", i,
                             entry.format.sampleType, entry.format.channels, entry.format.blockAlign, entry.format.flags,
                             static_cast<unsigned long long>(entry.frames), static_cast<unsigned long long>(entry.dataBytes));
        }
        container->GetSubStreamInfo(0xFFFFFFFFu, &entry, 0);
        container->GetSubStreamInfo(0, &entry, 1);
        if (g_trace)
            std::fprintf(stderr, "  pool: type %u, %u channels, align %u, flags %X\n", entry.format.sampleType,
                         entry.format.channels, entry.format.blockAlign, entry.format.flags);
        ULONG flags = 0;
        container->GetContainerFlags(&flags);
        container->GetContainerPath(text, 260);
        container->GetContainerPath(text, 4);
    }

    _ZUFILESTREAMFORMATINFOv2 request{};
    const bool withRequest = OutputRequest(variant, records[0], &request);
    Ref<IZuReadStream> stream;
    if (SUCCEEDED(file->GetStream(stream.Put(), 1, 0, nullptr, withRequest ? &request : nullptr)) && stream) {
        Ref<IZuReadAudioStream> audio;
        if (SUCCEEDED(stream->QueryInterface(IID_IZuReadAudioStream, audio.PutVoid())) && audio) {
            const uint64_t read = ReadStream(audio.get());
            if (g_trace) std::fprintf(stderr, "  read %llu frames\n", static_cast<unsigned long long>(read));
            // Closed, reads fail; reopened, they work again.
            file->CloseFile();
            HRESULT hr = S_OK;
            ReadOnce(audio.get(), 0, 1, 64, 0, &hr);
            Check(FAILED(hr), "ReadToToken: a read succeeds while the file is closed");
            file->ReopenFile(0, 32);
            ULONG align = 0;
            audio->GetBlockAlign(&align);
            if (align) ReadOnce(audio.get(), 0, 7, align, 0, &hr);
        }
    }
    Ref<IZuReadStream> any;
    file->GetStream(any.Put(), 0xFFFFFFFFu, 0, nullptr, nullptr);
    file->GetStream(any.Put(), 1, 1, nullptr, nullptr);

    ExerciseMeta(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness* h = Setup();
    Identify(*h, data, size);
    WriteInput(h->path, data, size);
    h->classes[0]->IdentifyFile(reinterpret_cast<const WCHAR*>(h->widePath.c_str()));

    const std::u16string names[3] = {h->widePath, h->widePath + u"?a&0", h->widePath + u"?a&1"};
    for (int k = 0; k < 3; ++k) {
        for (int v = 0; v < 3; ++v) {
            IZuReadFile* file = nullptr;
            const HRESULT hr =
                h->classes[k]->OpenFile(&file, nullptr, nullptr, reinterpret_cast<const WCHAR*>(names[v].c_str()), 1);
            if (g_trace) std::fprintf(stderr, "class %d name %d: OpenFile %08X\n", k, v, static_cast<unsigned>(hr));
            if (!file) continue;
            ExerciseFile(file, v);
            file->CloseFile();
            file->Release();
        }
    }
    return 0;
}

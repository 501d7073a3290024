// Reading figures: the aggregated stream of a large SoundFont against plain
// reads of the same file, the cost of opening it, the resident memory it
// takes, and how opening a DLS file grows with its wave count. Prints figures;
// asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/fixture_builder.h"
#include "zuinstr/zuinstr.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::basic_string<WCHAR> Wide(const std::string& s) {
    const std::u16string u = zu::platform::Utf8ToU16(s);
    return std::basic_string<WCHAR>(u.begin(), u.end());
}

long ResidentKb() {
#ifdef _WIN32
    return -1;
#else
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
#endif
}

IZuReadFileClass* ReaderClass(const CLSID& clsid) {
    void* factory = nullptr;
    if (FAILED(DllGetClassObject(clsid, IID_ZuIClassFactory, &factory))) return nullptr;
    void* cls = nullptr;
    static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IZuReadFileClass, &cls);
    static_cast<IClassFactory*>(factory)->Release();
    return static_cast<IZuReadFileClass*>(cls);
}

// Plain reads of the file's bytes in blocks of the given size.
double PlainReadRate(const std::string& path, size_t block, uint64_t* bytesOut) {
    const auto wide = Wide(path);
    uint32_t err = 0;
    zu::platform::FileHandle f = zu::platform::FileOpen(wide.c_str(), zu::platform::FileAccess::Read,
                                                        zu::platform::FileShare::ReadWrite,
                                                        zu::platform::FileDisposition::OpenExisting, true, &err);
    if (!f) return 0;
    std::vector<uint8_t> buf(block);
    uint64_t total = 0;
    const auto t0 = Clock::now();
    for (;;) {
        uint32_t done = 0;
        if (!zu::platform::FileRead(f, buf.data(), static_cast<uint32_t>(block), &done) || done == 0) break;
        total += done;
    }
    const auto t1 = Clock::now();
    zu::platform::FileClose(f);
    *bytesOut = total;
    return total / Seconds(t0, t1) / 1e6;
}

void BenchSoundFont(const std::string& path) {
    std::printf("== %s\n", path.c_str());
    uint64_t fileBytes = 0;
    PlainReadRate(path, 1 << 20, &fileBytes);  // into the page cache
    const auto wide = Wide(path);
    const long rssBefore = ResidentKb();
    const auto t0 = Clock::now();
    IZuReadFileClass* cls = ReaderClass(CLSID_ZuSf2Instrument);
    IZuReadFile* file = nullptr;
    HRESULT hr = cls->OpenFile(&file, nullptr, nullptr, wide.c_str(), 1);
    const auto t1 = Clock::now();
    const long rssAfter = ResidentKb();
    // Then warm runs: the best of them is the opening cost.
    double bestOpen = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto a = Clock::now();
        IZuReadFileClass* c = ReaderClass(CLSID_ZuSf2Instrument);
        IZuReadFile* f = nullptr;
        c->OpenFile(&f, nullptr, nullptr, wide.c_str(), 1);
        const auto b = Clock::now();
        bestOpen = std::min(bestOpen, Seconds(a, b));
        if (f) {
            f->CloseFile();
            f->Release();
        }
        c->Release();
    }
    if (FAILED(hr) || !file) {
        std::printf("cannot open: 0x%08X\n", static_cast<unsigned>(hr));
        return;
    }
    IZuReadStream* s = nullptr;
    file->GetStream(&s, 1, 0, nullptr, nullptr);
    IZuReadAudioStream* stream = nullptr;
    s->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(&stream));
    s->Release();
    uint64_t frames = 0;
    ULONG align = 0;
    stream->GetFrameCount(&frames);
    stream->GetBlockAlign(&align);
    const ULONG block = 4096;
    std::vector<uint8_t> buf(static_cast<size_t>(block) * align);
    // The two are measured in turn three times; the best of each counts, so
    // that other work on the machine disturbs both alike.
    double streamRate = 0, plainRate = 0;
    uint64_t plainBytes = 0;
    for (int round = 0; round < 3; ++round) {
        uint64_t bytes = 0;
        const auto t2 = Clock::now();
        for (uint64_t pos = 0; pos < frames;) {
            _zumemorytoken token{};
            token.baseAddress = reinterpret_cast<uintptr_t>(buf.data());
            token.size = static_cast<uint32_t>(buf.size());
            ULONG got = 0;
            if (FAILED(stream->ReadToToken(pos, &token, block, &got)) || got == 0) break;
            pos += got;
            bytes += static_cast<uint64_t>(got) * align;
        }
        const auto t3 = Clock::now();
        streamRate = std::max(streamRate, bytes / Seconds(t2, t3) / 1e6);
        plainRate = std::max(plainRate, PlainReadRate(path, buf.size(), &plainBytes));
    }
    const double openSeconds = bestOpen;
    std::printf("first open in this process: %.2f ms\n", Seconds(t0, t1) * 1e3);
    const double readAllSeconds = plainBytes / (plainRate * 1e6);
    std::printf("aggregated stream: %llu frames, block align %lu, reads of %lu frames: %.0f MB/s\n",
                static_cast<unsigned long long>(frames), static_cast<unsigned long>(align), static_cast<unsigned long>(block), streamRate);
    std::printf("plain reads of the file, %zu-byte blocks: %.0f MB/s\n", buf.size(), plainRate);
    std::printf("ratio stream / plain: %.2f (target at least 0.90)\n", streamRate / plainRate);
    std::printf("open (class, read file, container, instrument): %.2f ms = %.2f %% of reading the file's bytes (target below 2 %%)\n",
                openSeconds * 1e3, 100.0 * openSeconds / readAllSeconds);
    if (rssBefore >= 0)
        std::printf("resident memory grew by %ld kB on opening (target below 4096 kB)\n", rssAfter - rssBefore);
    stream->Release();
    file->CloseFile();
    file->Release();
    cls->Release();
}

void BenchDlsOpening(int waves) {
    zu::fixture::DlsDesc desc;
    for (int i = 0; i < waves; ++i) {
        zu::fixture::WaveDesc w;
        w.name = "wave" + std::to_string(i);
        w.data = zu::fixture::PatternBytes(200, static_cast<uint32_t>(i));
        desc.waves.push_back(w);
    }
    const std::string bytes = zu::fixture::BuildDlsBytes(desc);
    const std::string path = "zu-bench-" + std::to_string(waves) + ".dls";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    IZuReadFileClass* cls = ReaderClass(CLSID_ZuDlsInstrument);
    const auto wide = Wide(path);
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        IZuReadFile* file = nullptr;
        const auto t0 = Clock::now();
        cls->OpenFile(&file, nullptr, nullptr, wide.c_str(), 1);
        const auto t1 = Clock::now();
        if (file) {
            file->CloseFile();
            file->Release();
        }
        best = std::min(best, Seconds(t0, t1));
    }
    cls->Release();
    std::remove(path.c_str());
    std::printf("DLS with %5d waves: open %.2f ms, %.2f us per wave\n", waves, best * 1e3, best * 1e6 / waves);
}

}  // namespace

int main(int argc, char** argv) {
    std::string sf2 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (argc > 1) sf2 = argv[1];
    if (std::ifstream(sf2).good()) BenchSoundFont(sf2);
    else std::printf("%s not found: skipping the SoundFont figures\n", sf2.c_str());
    for (int n : {500, 1000, 2000}) BenchDlsOpening(n);
    return 0;
}

// Enumeration figures: every instrument, region and wave link of a large
// SoundFont and of generated DLS and GIG files with many instruments, through
// the metadata interfaces as a host walks them. Prints times; asserts nothing.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "support/fixture_builder.h"
#include "zuinstr/zuinstr.h"

namespace {

using Clock = std::chrono::steady_clock;

std::basic_string<WCHAR> Wide(const std::string& s) {
    const std::u16string u = zu::platform::Utf8ToU16(s);
    return std::basic_string<WCHAR>(u.begin(), u.end());
}

// Opens the file, walks everything, and reports the time of the walk alone.
void Enumerate(const CLSID& clsid, const std::string& path, const char* label) {
    void* factory = nullptr;
    DllGetClassObject(clsid, IID_ZuIClassFactory, &factory);
    IZuReadFileClass* cls = nullptr;
    static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IZuReadFileClass, reinterpret_cast<void**>(&cls));
    static_cast<IClassFactory*>(factory)->Release();
    IZuReadFile* file = nullptr;
    if (FAILED(cls->OpenFile(&file, nullptr, nullptr, Wide(path).c_str(), 1)) || !file) {
        std::printf("%s: cannot open\n", label);
        return;
    }
    IZuReadMeta* meta = nullptr;
    file->GetMeta(&meta);
    IZuReadInstrumentMeta* im = nullptr;
    meta->QueryInterface(IID_IZuReadInstrumentMeta, reinterpret_cast<void**>(&im));
    const auto t0 = Clock::now();
    ULONG instruments = 0;
    uint64_t regions = 0, links = 0;
    im->GetInstrumentCount(&instruments);
    for (ULONG i = 0; i < instruments; ++i) {
        InstrumentInfo info{};
        im->GetInstrumentInfo(i, &info);
        for (ULONG r = 0; r < info.regionCount; ++r) {
            RegionInfo region{};
            if (im->GetRegionInfo(i, r, &region) != S_OK) break;
            ++regions;
            for (ULONG l = 0; l < region.layerCount && l < 64; ++l) {
                RegionWaveLink link{};
                im->GetRegionWaveLink(i, r, l, &link);
                ++links;
            }
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    std::printf("%-40s %6lu instruments %7llu regions %7llu wave links: %8.2f ms (%.2f us per region)\n", label,
                static_cast<unsigned long>(instruments), static_cast<unsigned long long>(regions),
                static_cast<unsigned long long>(links), ms, regions ? ms * 1000 / regions : 0.0);
    im->Release();
    meta->Release();
    file->CloseFile();
    file->Release();
    cls->Release();
}

void Generated(bool gig, int instruments, int regions) {
    zu::fixture::DlsDesc desc = gig ? zu::fixture::SmallGig(3) : zu::fixture::TwoWaveDls();
    desc.instruments.clear();
    for (int i = 0; i < instruments; ++i) {
        zu::fixture::InstrumentDesc ins;
        ins.name = "I" + std::to_string(i);
        ins.program = static_cast<uint32_t>(i % 128);
        for (int r = 0; r < regions; ++r) {
            zu::fixture::RegionDesc region;
            region.keyLo = static_cast<uint16_t>(r * 6);
            region.keyHi = static_cast<uint16_t>(r * 6 + 5);
            region.wave = static_cast<uint32_t>(r % desc.waves.size());
            if (gig) {
                region.dimensionBits = {1};
                region.gigWaves.assign(256, region.wave);
            }
            ins.regions.push_back(region);
        }
        desc.instruments.push_back(ins);
    }
    const std::string path = gig ? "zu-meta-bench.gig" : "zu-meta-bench.dls";
    const std::string bytes = zu::fixture::BuildDlsBytes(desc);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::string label = std::string(gig ? "GIG " : "DLS ") + std::to_string(instruments) + " x " + std::to_string(regions);
    Enumerate(gig ? CLSID_ZuGigInstrument : CLSID_ZuDlsInstrument, path, label.c_str());
    std::remove(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string sf2 = argc > 1 ? argv[1] : "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (std::ifstream(sf2).good()) Enumerate(CLSID_ZuSf2Instrument, sf2, "FluidR3_GM.sf2");
    for (int n : {250, 500, 1000}) Generated(false, n, 20);
    Generated(true, 1000, 20);
    return 0;
}

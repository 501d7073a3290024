// A complete host of the zuinstr module in one file: it loads the module,
// opens an instrument, reads one wave into memory and saves the instrument
// again. It needs only the public header; the module is loaded at run time.
//
//   host_example MODULE INSTRUMENT OUTPUT
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "zuinstr/zuinstr.h"

namespace {

// Paths cross the module's interfaces as UTF-16 (ASCII is enough here).
std::basic_string<WCHAR> Wide(const std::string& s) { return std::basic_string<WCHAR>(s.begin(), s.end()); }

// Every object comes from the module's class factory.
template <typename T>
T* Create(void* module, const CLSID& clsid, const IID& iid) {
    using GetClassObjectFn = HRESULT(ZU_STDCALL*)(const CLSID&, const IID&, void**);
#ifdef _WIN32
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(GetProcAddress(static_cast<HMODULE>(module), "DllGetClassObject"));
#else
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(dlsym(module, "DllGetClassObject"));
#endif
    IClassFactory* factory = nullptr;
    if (!getClassObject || FAILED(getClassObject(clsid, IID_ZuIClassFactory, reinterpret_cast<void**>(&factory)))) return nullptr;
    T* object = nullptr;
    factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object));
    factory->Release();  // the host releases what it holds, always
    return object;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: host_example MODULE INSTRUMENT OUTPUT\n");
        return 2;
    }
#ifdef _WIN32
    void* module = LoadLibraryA(argv[1]);
#else
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
#endif
    if (!module) return 1;
    // The format: here from the extension; a host may ask every class's IdentifyHeader instead.
    const std::string path = argv[2];
    const std::string ext = path.substr(path.size() - 4);
    const CLSID& clsid = ext == ".sf2" ? CLSID_ZuSf2Instrument : ext == ".gig" ? CLSID_ZuGigInstrument : CLSID_ZuDlsInstrument;

    // 1. Open wave 0 alone ("path?a&0"; plain "path" gives every wave end to end).
    IZuReadFileClass* reader = Create<IZuReadFileClass>(module, clsid, IID_IZuReadFileClass);
    IZuReadFile* file = nullptr;
    if (!reader || FAILED(reader->OpenFile(&file, nullptr, nullptr, Wide(path + "?a&0").c_str(), 1))) return 1;
    IZuReadStream* s = nullptr;
    file->GetStream(&s, ZU_STREAM_TYPE_AUDIO, 0, nullptr, nullptr);
    IZuReadAudioStream* wave = nullptr;
    s->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(&wave));
    s->Release();

    // 2. Read it into our memory: a memory token describes the buffer.
    uint64_t frames = 0;
    ULONG align = 0;
    wave->GetFrameCount(&frames);
    wave->GetBlockAlign(&align);
    std::vector<uint8_t> samples(static_cast<size_t>(frames) * align);
    _zumemorytoken token{};
    token.baseAddress = reinterpret_cast<uintptr_t>(samples.data());
    token.size = static_cast<uint32_t>(samples.size());
    token.kind = ZU_MEMORY_TOKEN_PROCESS;
    ULONG read = 0;
    const HRESULT hr = wave->ReadToToken(0, &token, static_cast<ULONG>(frames), &read);
    std::printf("wave 0: %lu of %llu frames read (0x%08lX)\n", static_cast<unsigned long>(read),
                static_cast<unsigned long long>(frames), static_cast<unsigned long>(hr));
    wave->Release();
    file->Release();

    // 3. Save the whole instrument: its pooled audio and its metadata object
    //    go to the render class of the same format.
    IZuReadFile* whole = nullptr;
    reader->OpenFile(&whole, nullptr, nullptr, Wide(path).c_str(), 1);
    IZuReadStream* pool = nullptr;
    whole->GetStream(&pool, ZU_STREAM_TYPE_AUDIO, 0, nullptr, nullptr);
    IZuReadMeta* meta = nullptr;
    whole->GetMeta(&meta);
    IZuRenderFileClass* renderer = Create<IZuRenderFileClass>(module, clsid, IID_IZuRenderFileClass);
    IZuRenderFile* target = nullptr;
    IUnknown* sources[] = {pool};
    HRESULT saved = renderer->CreateRenderFile(&target, Wide(argv[3]).c_str(), 1, sources, nullptr);
    if (SUCCEEDED(saved)) {
        target->SetMetadataSource(meta);
        saved = target->Render(nullptr);
        target->Release();
    }
    std::printf("saved %s: 0x%08lX\n", argv[3], static_cast<unsigned long>(saved));
    renderer->Release();
    meta->Release();
    pool->Release();
    whole->Release();
    reader->Release();
    return SUCCEEDED(saved) && read == frames ? 0 : 1;
}

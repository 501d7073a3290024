#include "support/module_host.h"

#include "support/temp_dir.h"

namespace zu::test {

IZuReadFileClass* NewReaderClass(const CLSID& clsid) {
    void* factory = nullptr;
    if (FAILED(DllGetClassObject(clsid, IID_ZuIClassFactory, &factory))) return nullptr;
    void* cls = nullptr;
    static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IZuReadFileClass, &cls);
    static_cast<IClassFactory*>(factory)->Release();
    return static_cast<IZuReadFileClass*>(cls);
}

const CLSID& ClassIdOfKind(int kind) {
    return kind == 0 ? CLSID_ZuDlsInstrument : kind == 1 ? CLSID_ZuGigInstrument : CLSID_ZuSf2Instrument;
}

OpenedFile::~OpenedFile() {
    if (file) {
        file->CloseFile();
        file->Release();
    }
    if (cls) cls->Release();
}

IZuReadAudioStream* OpenedFile::Stream() const {
    if (!file) return nullptr;
    IZuReadStream* s = nullptr;
    if (FAILED(file->GetStream(&s, 1, 0, nullptr, nullptr)) || !s) return nullptr;
    IZuReadAudioStream* audio = nullptr;
    s->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(&audio));
    s->Release();
    return audio;
}

IZuContainerFile* OpenedFile::Container() const {
    IZuContainerFile* c = nullptr;
    if (file) file->QueryInterface(IID_IZuContainerFile, reinterpret_cast<void**>(&c));
    return c;
}

void OpenWith(int kind, const std::string& utf8Name, OpenedFile* out) {
    out->cls = NewReaderClass(ClassIdOfKind(kind));
    if (!out->cls) return;
    const auto name = Widen(utf8Name);
    out->hr = out->cls->OpenFile(&out->file, nullptr, nullptr, name.c_str(), 1);
}

StreamContents ReadWholeStream(IZuReadAudioStream* stream, uint32_t framesPerRead) {
    StreamContents c;
    _ZUFILESTREAMFORMATINFOv2 record{};
    c.hr = stream->GetFormatInfo(&record);
    if (FAILED(c.hr)) return c;
    ZuAudio_WaveFormatToWfx(&record.format, &c.format);
    stream->GetFrameCount(&c.frames);
    const size_t align = c.format.nBlockAlign;
    std::string buffer(static_cast<size_t>(framesPerRead) * align, '\0');
    for (uint64_t pos = 0; pos < c.frames;) {
        _zumemorytoken token{};
        token.baseAddress = reinterpret_cast<uintptr_t>(buffer.data());
        token.size = static_cast<uint32_t>(buffer.size());
        ULONG got = 0;
        c.hr = stream->ReadToToken(pos, &token, framesPerRead, &got);
        if (FAILED(c.hr) || got == 0) break;
        c.bytes.append(buffer.data(), static_cast<size_t>(got) * align);
        pos += got;
    }
    return c;
}

}  // namespace zu::test

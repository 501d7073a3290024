// The module driven as a host drives it, in-process, for the tests: reader
// classes from the class factory, read files opened under a name, and whole
// streams read into memory through memory tokens.
#ifndef ZU_TESTS_MODULE_HOST_H
#define ZU_TESTS_MODULE_HOST_H

#include <string>
#include <vector>

#include "zuinstr/zuinstr.h"

namespace zu::test {

// A reader class of one format class identifier (count 1; caller releases).
IZuReadFileClass* NewReaderClass(const CLSID& clsid);
const CLSID& ClassIdOfKind(int kind);  // 0 DLS, 1 GIG, 2 SoundFont 2

struct OpenedFile {
    IZuReadFileClass* cls = nullptr;
    IZuReadFile* file = nullptr;
    HRESULT hr = E_FAIL;
    OpenedFile() = default;
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    ~OpenedFile();
    IZuReadAudioStream* Stream() const;  // new reference, or null
    IZuContainerFile* Container() const;  // new reference, or null
};

// Opens name (a path, or path?a&N) with the class of a kind, opened at once.
void OpenWith(int kind, const std::string& utf8Name, OpenedFile* out);

struct StreamContents {
    HRESULT hr = S_OK;
    WAVEFORMATEX format = {};
    uint64_t frames = 0;
    std::string bytes;
};
// Reads a stream from start to end in reads of `framesPerRead` frames.
StreamContents ReadWholeStream(IZuReadAudioStream* stream, uint32_t framesPerRead);

}  // namespace zu::test

#endif

// A host process that owns the memory behind two memory tokens: a plain
// buffer (kind 0) and a page-file-backed mapping (kind 1). It announces its
// process id, the buffer's address and the mapping's handle value, waits for
// the go line on its standard input, then checks that exactly the expected
// bytes arrived in both places. Both areas start filled with 0xEE, so bytes
// that nobody wrote and bytes written outside the data are both seen.
//
//   token_child <buffer bytes> <buffer offset> <buffer expected file>
//               <mapping bytes> <mapping offset> <mapping expected file>
//
// An expected file of "-" means nothing is expected there: the whole area must
// still hold the fill. Standard output gets one line:
//   ready pid=<decimal> base=<hex> mapping=<hex>
// Exit codes: 0 all bytes as expected; 2 bad arguments; 3 an expected file
// could not be read or does not fit; 4 the buffer or the mapping could not
// be created; 5 no go line; 10/11 the buffer's data area / the bytes around
// it differ; 20/21 the same for the mapping.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr uint8_t kFill = 0xEE;

// The arguments are taken in UTF-16, so that any path names a file.
bool ReadExpected(const wchar_t* path, std::string* out) {
    out->clear();
    if (std::wcscmp(path, L"-") == 0) return true;
    FILE* in = _wfopen(path, L"rb");
    if (!in) return false;
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) out->append(chunk, got);
    const bool ok = !std::ferror(in);
    std::fclose(in);
    return ok;
}

bool ParseSize(const wchar_t* text, size_t* out) {
    wchar_t* end = nullptr;
    const unsigned long long v = std::wcstoull(text, &end, 10);
    if (!end || *end || end == text) return false;
    *out = static_cast<size_t>(v);
    return true;
}

// 0 when the area holds `expected` at `offset` and the fill everywhere else;
// 1 when the data differ; 2 when a byte around them is not the fill.
int Check(const char* what, const uint8_t* area, size_t bytes, size_t offset, const std::string& expected) {
    for (size_t i = 0; i < expected.size(); ++i) {
        if (area[offset + i] != static_cast<uint8_t>(expected[i])) {
            std::fprintf(stderr, "token_child: %s byte %llu is 0x%02x, expected 0x%02x\n", what,
                         static_cast<unsigned long long>(offset + i),
                         area[offset + i], static_cast<uint8_t>(expected[i]));
            return 1;
        }
    }
    for (size_t i = 0; i < bytes; ++i) {
        if (i >= offset && i < offset + expected.size()) continue;
        if (area[i] != kFill) {
            std::fprintf(stderr, "token_child: %s byte %llu outside the data is 0x%02x\n", what,
                         static_cast<unsigned long long>(i), area[i]);
            return 2;
        }
    }
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc != 7) {
        std::fprintf(stderr, "usage: token_child <buffer bytes> <buffer offset> <buffer expected file> "
                             "<mapping bytes> <mapping offset> <mapping expected file>\n");
        return 2;
    }
    size_t bufferBytes = 0, bufferOffset = 0, mappingBytes = 0, mappingOffset = 0;
    if (!ParseSize(argv[1], &bufferBytes) || !ParseSize(argv[2], &bufferOffset) || !ParseSize(argv[4], &mappingBytes) ||
        !ParseSize(argv[5], &mappingOffset) || bufferBytes == 0 || mappingBytes == 0)
        return 2;
    std::string bufferExpected, mappingExpected;
    const bool read = ReadExpected(argv[3], &bufferExpected) && ReadExpected(argv[6], &mappingExpected);
    ::LocalFree(argv);
    if (!read) return 3;
    if (bufferOffset + bufferExpected.size() > bufferBytes || mappingOffset + mappingExpected.size() > mappingBytes)
        return 3;

    // Private memory of this process only.
    auto* buffer = static_cast<uint8_t*>(
        ::VirtualAlloc(nullptr, bufferBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    // A mapping backed by the page file, unnamed: reachable from outside only
    // by duplicating this process's handle.
    HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                          static_cast<DWORD>(static_cast<uint64_t>(mappingBytes) >> 32),
                                          static_cast<DWORD>(mappingBytes), nullptr);
    if (!buffer || !mapping) return 4;
    auto* view = static_cast<uint8_t*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, mappingBytes));
    if (!view) return 4;
    std::memset(buffer, kFill, bufferBytes);
    std::memset(view, kFill, mappingBytes);

    std::printf("ready pid=%lu base=%llx mapping=%llx\n", static_cast<unsigned long>(::GetCurrentProcessId()),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(buffer)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(mapping)));
    std::fflush(stdout);

    char line[64];
    if (!std::fgets(line, sizeof line, stdin) || std::string(line).rfind("go", 0) != 0) return 5;

    // Both areas are checked (each reports its first difference); the
    // buffer's code wins.
    const int bufferCheck = Check("buffer", buffer, bufferBytes, bufferOffset, bufferExpected);
    const int mappingCheck = Check("mapping", view, mappingBytes, mappingOffset, mappingExpected);
    int result = 0;
    if (bufferCheck) result = bufferCheck == 1 ? 10 : 11;
    else if (mappingCheck) result = mappingCheck == 1 ? 20 : 21;
    ::UnmapViewOfFile(view);
    ::CloseHandle(mapping);
    ::VirtualFree(buffer, 0, MEM_RELEASE);
    return result;
}

// Memory tokens of another Windows process: a child program (token_child,
// built beside this one) owns a plain buffer and a page-file-backed mapping;
// this process writes into both through the platform's token mapping and
// through the module's audio stream, and the child checks what arrived.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#ifdef _WIN32

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "support/fixture_builder.h"
#include "support/module_host.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

std::wstring ChildProgram() {
    std::wstring self(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size()));
    self.resize(n);
    const size_t slash = self.find_last_of(L"\\/");
    return self.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + L"token_child.exe";
}

// One argument quoted as CommandLineToArgvW takes it apart again.
std::wstring Quote(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// What one side of the child holds: its size, where the data should land and
// the bytes expected there (none: the area must stay untouched).
struct Area {
    size_t bytes = 0;
    size_t offset = 0;
    std::string expected;
};

// The child program, owner of the memory; started by Start, told to check by
// Go, its verdict collected by ExitCode. A child left running is told to stop
// (its standard input closes) and, failing that, ended.
class TokenChild {
public:
    TokenChild() = default;
    TokenChild(const TokenChild&) = delete;
    TokenChild& operator=(const TokenChild&) = delete;
    ~TokenChild() {
        CloseInput();
        if (process_) {
            if (::WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) ::TerminateProcess(process_, 99);
            ::CloseHandle(process_);
        }
        if (output_) ::CloseHandle(output_);
    }

    ::testing::AssertionResult Start(const TempDir& dir, const Area& buffer, const Area& mapping) {
        std::wstring command = Quote(ChildProgram());
        const Area* areas[2] = {&buffer, &mapping};
        for (int i = 0; i < 2; ++i) {
            std::wstring expected = L"-";
            if (!areas[i]->expected.empty()) {
                const std::string name = i == 0 ? "buffer.bin" : "mapping.bin";
                WriteFileBytes(dir.File(name), areas[i]->expected);
                expected = dir.File(name).wstring();
            }
            command += L" " + std::to_wstring(areas[i]->bytes) + L" " + std::to_wstring(areas[i]->offset) + L" " +
                       Quote(expected);
        }

        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE childInput = nullptr, childOutput = nullptr;
        if (!::CreatePipe(&childInput, &input_, &inheritable, 0)) return Failure("CreatePipe (input)");
        if (!::CreatePipe(&output_, &childOutput, &inheritable, 0)) {
            const DWORD error = ::GetLastError();
            ::CloseHandle(childInput);
            return Failure("CreatePipe (output)", error);
        }
        // Only the child's ends are inherited.
        ::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        // The child's diagnostics go to this program's error output.
        HANDLE childError = nullptr;
        const HANDLE ownError = ::GetStdHandle(STD_ERROR_HANDLE);
        if (ownError && ownError != INVALID_HANDLE_VALUE)
            ::DuplicateHandle(::GetCurrentProcess(), ownError, ::GetCurrentProcess(), &childError, 0, TRUE,
                              DUPLICATE_SAME_ACCESS);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput;
        startup.hStdOutput = childOutput;
        startup.hStdError = childError;
        PROCESS_INFORMATION info{};
        const BOOL started = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                              &startup, &info);
        const DWORD startError = ::GetLastError();
        ::CloseHandle(childInput);
        ::CloseHandle(childOutput);
        if (childError) ::CloseHandle(childError);
        if (!started) return Failure("CreateProcessW", startError);
        ::CloseHandle(info.hThread);
        process_ = info.hProcess;

        // "ready pid=<decimal> base=<hex> mapping=<hex>"
        std::string line;
        char c = 0;
        DWORD got = 0;
        while (line.size() < 200 && ::ReadFile(output_, &c, 1, &got, nullptr) && got == 1 && c != '\n') line += c;
        unsigned long pid = 0;
        unsigned long long base = 0, handle = 0;
        if (std::sscanf(line.c_str(), "ready pid=%lu base=%llx mapping=%llx", &pid, &base, &handle) != 3)
            return ::testing::AssertionFailure() << "the child did not announce itself (it said \"" << line
                                                 << "\", exit code " << ExitCode(5000) << ")";
        pid_ = static_cast<uint32_t>(pid);
        base_ = base;
        mapping_ = handle;
        if (pid_ != ::GetProcessId(process_))
            return ::testing::AssertionFailure() << "the child announced process " << pid_ << ", not "
                                                 << ::GetProcessId(process_);
        return ::testing::AssertionSuccess();
    }

    // Tells the child that everything has been written.
    bool Go() {
        DWORD written = 0;
        const bool ok = input_ && ::WriteFile(input_, "go\n", 3, &written, nullptr) && written == 3;
        CloseInput();
        return ok;
    }

    // The child's exit code; 0xFFFFFFFF when it did not end in time.
    DWORD ExitCode(DWORD timeoutMs = 60000) {
        if (!process_ || ::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return 0xFFFFFFFFu;
        DWORD code = 0xFFFFFFFFu;
        ::GetExitCodeProcess(process_, &code);
        return code;
    }

    uint32_t pid() const { return pid_; }
    uint64_t base() const { return base_; }
    uint64_t mapping() const { return mapping_; }

private:
    static ::testing::AssertionResult Failure(const char* what, DWORD error = ::GetLastError()) {
        return ::testing::AssertionFailure() << what << " failed with error " << error;
    }
    void CloseInput() {
        if (input_) ::CloseHandle(input_);
        input_ = nullptr;
    }

    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;
    HANDLE output_ = nullptr;
    uint32_t pid_ = 0;
    uint64_t base_ = 0, mapping_ = 0;
};

_zumemorytoken ProcessToken(const TokenChild& child, uint32_t offset, uint32_t size) {
    _zumemorytoken token{};
    token.baseAddress = child.base();
    token.offset = offset;
    token.size = size;
    token.kind = ZU_MEMORY_TOKEN_PROCESS;
    token.ownerProcessId = child.pid();
    return token;
}

_zumemorytoken MappingToken(const TokenChild& child, uint32_t offset, uint32_t size) {
    _zumemorytoken token{};
    token.mappingHandle = child.mapping();
    token.offset = offset;
    token.size = size;
    token.kind = ZU_MEMORY_TOKEN_MAPPING;
    token.ownerProcessId = child.pid();
    return token;
}

platform::TokenTarget TargetOf(const _zumemorytoken& token) {
    platform::TokenTarget t;
    t.mappingHandle = token.mappingHandle;
    t.baseAddress = token.baseAddress;
    t.size = token.size;
    t.offset = token.offset;
    t.kind = token.kind;
    t.ownerProcessId = token.ownerProcessId;
    return t;
}

TEST(TokenOfAnotherWindowsProcess, PlatformMappingWritesTheOwnersBufferAndMapping) {
    TempDir dir;
    Area buffer{4096, 8, fixture::PatternBytes(100, 7)};
    // The data starts inside the first page and runs over two page boundaries.
    Area mapping{16384, 3000, fixture::PatternBytes(5000, 8)};
    TokenChild child;
    ASSERT_TRUE(child.Start(dir, buffer, mapping));
    ASSERT_NE(child.pid(), ::GetCurrentProcessId());

    {
        platform::TokenWriteMapping m(TargetOf(ProcessToken(child, 8, 100)));
        ASSERT_NE(m.data(), nullptr);
        EXPECT_EQ(m.size(), 100u);
        std::memcpy(m.data(), buffer.expected.data(), 100);
    }  // written back into the child here
    {
        platform::TokenWriteMapping m(TargetOf(MappingToken(child, 3000, 5000)));
        ASSERT_NE(m.data(), nullptr) << "the child's mapping could not be duplicated and mapped";
        EXPECT_EQ(m.size(), 5000u);
        std::memcpy(m.data(), mapping.expected.data(), 5000);
    }
    ASSERT_TRUE(child.Go());
    EXPECT_EQ(child.ExitCode(), 0u) << "the child saw other bytes (10/11 buffer, 20/21 mapping)";
}

TEST(TokenOfAnotherWindowsProcess, AudioStreamReadsSamplesIntoBothKinds) {
    TempDir dir;
    fixture::DlsDesc desc;
    fixture::WaveDesc wave;
    wave.name = "a";
    wave.channels = 2;
    wave.bitsPerSample = 16;
    wave.data = fixture::PatternBytes(1500 * 4, 11);
    desc.waves = {wave};
    WriteFileBytes(dir.File("x.dls"), fixture::BuildDlsBytes(desc));
    OpenedFile f;
    OpenWith(0, dir.File("x.dls").u8string(), &f);
    ASSERT_EQ(f.hr, S_OK);
    IZuReadAudioStream* s = f.Stream();
    ASSERT_NE(s, nullptr);

    // Frames 100..1099 into the buffer at offset 16; frames 300..799 into the
    // mapping at offset 24.
    Area buffer{8192, 16, wave.data.substr(100 * 4, 1000 * 4)};
    Area mapping{8192, 24, wave.data.substr(300 * 4, 500 * 4)};
    TokenChild child;
    ASSERT_TRUE(child.Start(dir, buffer, mapping));

    ULONG got = 0;
    const _zumemorytoken processToken = ProcessToken(child, 16, 4000);
    EXPECT_EQ(s->ReadToToken(100, &processToken, 1000, &got), S_OK);
    EXPECT_EQ(got, 1000u);
    got = 0;
    const _zumemorytoken mappingToken = MappingToken(child, 24, 2000);
    EXPECT_EQ(s->ReadToToken(300, &mappingToken, 500, &got), S_OK);
    EXPECT_EQ(got, 500u);
    s->Release();

    ASSERT_TRUE(child.Go());
    EXPECT_EQ(child.ExitCode(), 0u) << "the child saw other bytes (10/11 buffer, 20/21 mapping)";
}

TEST(TokenOfAnotherWindowsProcess, UnmappableMappingTokensReadNothing) {
    TempDir dir;
    fixture::DlsDesc desc;
    fixture::WaveDesc wave;
    wave.name = "a";
    wave.data = fixture::PatternBytes(200 * 2, 12);
    desc.waves = {wave};
    WriteFileBytes(dir.File("x.dls"), fixture::BuildDlsBytes(desc));
    OpenedFile f;
    OpenWith(0, dir.File("x.dls").u8string(), &f);
    ASSERT_EQ(f.hr, S_OK);
    IZuReadAudioStream* s = f.Stream();
    ASSERT_NE(s, nullptr);

    TokenChild child;
    ASSERT_TRUE(child.Start(dir, Area{4096, 0, {}}, Area{4096, 0, {}}));

    // No handle at all in the child.
    _zumemorytoken noHandle = MappingToken(child, 0, 200);
    noHandle.mappingHandle = 0;
    ULONG got = 7;
    EXPECT_EQ(s->ReadToToken(0, &noHandle, 100, &got), static_cast<HRESULT>(0x8004E008));
    EXPECT_EQ(got, 0u);
    // The child's real mapping, but a view larger than it.
    const _zumemorytoken tooLarge = MappingToken(child, 4000, 4096);
    got = 7;
    EXPECT_EQ(s->ReadToToken(0, &tooLarge, 100, &got), static_cast<HRESULT>(0x8004E008));
    EXPECT_EQ(got, 0u);
    s->Release();

    ASSERT_TRUE(child.Go());
    EXPECT_EQ(child.ExitCode(), 0u) << "the child's memory was touched (11 buffer, 21 mapping)";
}

}  // namespace
}  // namespace zu::test

#else

// The token transfers between Linux processes are tested in memory_token_test
// and read_file_test; this program has nothing to do there.
TEST(TokenOfAnotherWindowsProcess, WindowsOnly) { GTEST_SKIP() << "Windows processes only"; }

#endif

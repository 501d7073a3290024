// Memory tokens: the module writes samples into a host's buffer in its own
// process directly, and into another process through the platform's
// cross-process writes (process memory) and duplicated mappings.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/platform.h"

#ifndef _WIN32
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zu::platform {
namespace {

TEST(MemoryToken, OwnProcessWritesInPlace) {
    std::vector<uint8_t> host(64, 0);
    TokenTarget t;
    t.baseAddress = reinterpret_cast<uintptr_t>(host.data());
    t.size = 32;
    t.offset = 16;
    t.ownerProcessId = CurrentProcessId();
    {
        TokenWriteMapping m(t);
        ASSERT_EQ(m.data(), host.data() + 16);
        std::memset(m.data(), 0xAB, 32);
    }
    EXPECT_EQ(host[15], 0);
    EXPECT_EQ(host[16], 0xAB);
    EXPECT_EQ(host[47], 0xAB);
    EXPECT_EQ(host[48], 0);
}

TEST(MemoryToken, UnknownKindInAnotherProcessMapsNothing) {
    TokenTarget t;
    t.baseAddress = 0x1000;
    t.size = 8;
    t.kind = 7;
    t.ownerProcessId = CurrentProcessId() + 1;
    TokenWriteMapping m(t);
    EXPECT_EQ(m.data(), nullptr);
}

#ifndef _WIN32
// The child owns the memory; it waits until the parent has written, then
// checks what arrived and reports through its exit status.
uint8_t g_childBuffer[4096];

int RunChild(int goPipe, int memfd) {
    char go = 0;
    if (read(goPipe, &go, 1) != 1) return 10;
    for (int i = 0; i < 100; ++i)
        if (g_childBuffer[8 + i] != static_cast<uint8_t>(i * 3)) return 11;
    if (g_childBuffer[7] != 0 || g_childBuffer[108] != 0) return 12;
    uint8_t mapped[64] = {0};
    if (pread(memfd, mapped, sizeof mapped, 0) != static_cast<ssize_t>(sizeof mapped)) return 13;
    for (int i = 0; i < 32; ++i)
        if (mapped[32 + i] != static_cast<uint8_t>(0xC0 + i)) return 14;
    return 0;
}

TEST(MemoryToken, AnotherProcessReceivesThroughBothKinds) {
    const int memfd = memfd_create("zuinstr-token", 0);
    ASSERT_GE(memfd, 0);
    ASSERT_EQ(ftruncate(memfd, 4096), 0);
    int pipes[2];
    ASSERT_EQ(pipe(pipes), 0);
    std::memset(g_childBuffer, 0, sizeof g_childBuffer);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipes[1]);
        _exit(RunChild(pipes[0], memfd));
    }
    close(pipes[0]);

    TokenTarget process;
    process.baseAddress = reinterpret_cast<uintptr_t>(g_childBuffer);  // same address in the forked child
    process.offset = 8;
    process.size = 100;
    process.kind = 0;
    process.ownerProcessId = static_cast<uint32_t>(child);
    {
        TokenWriteMapping m(process);
        ASSERT_NE(m.data(), nullptr);
        for (int i = 0; i < 100; ++i) m.data()[i] = static_cast<uint8_t>(i * 3);
    }
    EXPECT_EQ(g_childBuffer[8], 0);  // our own copy is untouched: the write went to the child

    TokenTarget mapping;
    mapping.mappingHandle = static_cast<uint64_t>(memfd);  // the descriptor number in the owner
    mapping.offset = 32;
    mapping.size = 32;
    mapping.kind = 1;
    mapping.ownerProcessId = static_cast<uint32_t>(child);
    {
        TokenWriteMapping m(mapping);
        ASSERT_NE(m.data(), nullptr);
        for (int i = 0; i < 32; ++i) m.data()[i] = static_cast<uint8_t>(0xC0 + i);
    }
    ASSERT_EQ(write(pipes[1], "g", 1), 1);
    close(pipes[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child saw other bytes (code " << WEXITSTATUS(status) << ")";
    close(memfd);
}
#endif

}  // namespace
}  // namespace zu::platform

// The platform layer's contracts that the rest of the module relies on: the
// ANSI code page, system-string layout, 32-bit file positions, share modes,
// volume queries, MD5 and the default layout flag.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace zu::platform {
namespace {

using test::TempDir;

TEST(CodePage, Windows1252RoundTripsEveryByte) {
    for (int b = 1; b < 256; ++b) {
        const char in[2] = {static_cast<char>(b), 0};
        WCHAR w[4] = {0};
        ASSERT_EQ(AnsiToWide(in, 1, w, 4), 1) << b;
        char back[4] = {0};
        ASSERT_EQ(WideToAnsi(w, 1, back, 4), 1) << b;
        EXPECT_EQ(static_cast<unsigned char>(back[0]), b) << "byte " << b << " did not survive";
    }
}

TEST(CodePage, ConvertsAsWindowsDoes) {
    const char euro[] = "\x80\x9f\xe9";
    WCHAR w[4] = {0};
    ASSERT_EQ(AnsiToWide(euro, -1, w, 4), 4);  // the terminator is converted and counted
    EXPECT_EQ(w[0], 0x20AC);
    EXPECT_EQ(w[1], 0x0178);
    EXPECT_EQ(w[2], 0x00E9);
    EXPECT_EQ(w[3], 0);
    // Characters outside the code page become '?', each half of a surrogate pair too.
    const WCHAR foreign[] = {0x3042, 'a', 0xD83D, 0xDE00, 0};
    char a[8] = {0};
    ASSERT_EQ(WideToAnsi(foreign, -1, a, 8), 5);
    EXPECT_STREQ(a, "?a??");
    // A capacity of 0 asks for the size; a short buffer fails.
    EXPECT_EQ(AnsiToWide("abc", -1, nullptr, 0), 4);
    EXPECT_EQ(AnsiToWide("abc", -1, w, 2), 0);
    EXPECT_EQ(U16ToAnsi(u"Gr\u00fc\u00dfe"), "Gr\xfc\xdf" "e");
    EXPECT_EQ(AnsiToU16("\x93x\x94", 3), u"\u201cx\u201d");
}

TEST(Utf8, RoundTripsThroughUtf16) {
    const std::string s = "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80";
    const std::u16string u = Utf8ToU16(s);
    ASSERT_EQ(u.size(), 5u);
    EXPECT_EQ(u[3], 0xD83D);
    EXPECT_EQ(U16ToUtf8(u), s);
}

TEST(SystemString, HasTheBstrLayout) {
    const WCHAR text[] = ZU_TEXT("Piano");
    BSTR b = BstrAlloc(text);
    ASSERT_NE(b, nullptr);
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(b) - 4, 4);
    EXPECT_EQ(bytes, 10u);
    EXPECT_EQ(BstrLen(b), 5u);
    EXPECT_EQ(b[5], 0);
    BstrFree(b);
    BSTR e = BstrAllocLen(nullptr, 3);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(BstrLen(e), 3u);
    BstrFree(e);
    BstrFree(nullptr);
    EXPECT_EQ(BstrLen(nullptr), 0u);
}

TEST(Files, SeekUsesSigned32BitDistancesAndFailsWithAllOnes) {
    TempDir dir;
    const auto path = dir.WidePath("seek.bin");
    uint32_t err = 0;
    FileHandle f = FileOpen(path.c_str(), FileAccess::ReadWrite, FileShare::None, FileDisposition::CreateAlways, true, &err);
    ASSERT_NE(f, nullptr) << err;
    uint32_t done = 0;
    ASSERT_TRUE(FileWrite(f, "0123456789", 10, &done));
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(FileSeek(f, 0, SeekOrigin::Current), 10u);
    EXPECT_EQ(FileSeek(f, -4, SeekOrigin::End), 6u);
    EXPECT_EQ(FileSeek(f, -7, SeekOrigin::Current), kInvalidPosition);  // before the start
    char buf[8] = {0};
    ASSERT_EQ(FileSeek(f, 3, SeekOrigin::Begin), 3u);
    ASSERT_TRUE(FileRead(f, buf, 8, &done));
    EXPECT_EQ(done, 7u);  // end of file: a short read that still succeeds
    EXPECT_EQ(std::string(buf, 7), "3456789");
    ASSERT_EQ(FileSeek(f, 4, SeekOrigin::Begin), 4u);
    ASSERT_TRUE(FileTruncateAtPosition(f));
    uint64_t size = 0;
    ASSERT_TRUE(FileSize(f, &size));
    EXPECT_EQ(size, 4u);
    FileClose(f);
    EXPECT_TRUE(FileDelete(path.c_str()));
    EXPECT_FALSE(FileDelete(path.c_str()));
}

TEST(Files, ShareModesAreEnforcedAmongTheModulesOwnOpens) {
    TempDir dir;
    test::WriteFileBytes(dir.File("held.bin"), "held");
    const auto path = dir.WidePath("held.bin");
    uint32_t err = 0;
    FileHandle reader = FileOpen(path.c_str(), FileAccess::Read, FileShare::ReadWrite, FileDisposition::OpenExisting, false, &err);
    ASSERT_NE(reader, nullptr);
    // A create without sharing must not truncate a file another open holds.
    FileHandle writer = FileOpen(path.c_str(), FileAccess::ReadWrite, FileShare::None, FileDisposition::CreateAlways, true, &err);
    EXPECT_EQ(writer, nullptr);
    EXPECT_EQ(err, 32u);
    EXPECT_EQ(test::ReadFileBytes(dir.File("held.bin")), "held");
    // Sharing read and write with each other is allowed.
    FileHandle second = FileOpen(path.c_str(), FileAccess::ReadWrite, FileShare::ReadWrite, FileDisposition::OpenExisting, false, &err);
    EXPECT_NE(second, nullptr);
    FileClose(second);
    FileClose(reader);
    writer = FileOpen(path.c_str(), FileAccess::ReadWrite, FileShare::None, FileDisposition::CreateAlways, true, &err);
    ASSERT_NE(writer, nullptr);
    // Held without sharing: even a reader is refused.
    EXPECT_EQ(FileOpen(path.c_str(), FileAccess::Read, FileShare::ReadWrite, FileDisposition::OpenExisting, false, &err), nullptr);
    EXPECT_EQ(err, 32u);
    FileClose(writer);
}

TEST(Files, MissingFilesAndFoldersReportWindowsErrors) {
    TempDir dir;
    uint32_t err = 0;
    EXPECT_EQ(FileOpen(dir.WidePath("absent.bin").c_str(), FileAccess::Read, FileShare::Read, FileDisposition::OpenExisting, false, &err), nullptr);
    EXPECT_EQ(err, 2u);
    EXPECT_EQ(FileOpen(dir.WidePath("no-such-folder/x.bin").c_str(), FileAccess::ReadWrite, FileShare::None, FileDisposition::CreateAlways, false, &err), nullptr);
    EXPECT_EQ(err, 3u);
    EXPECT_EQ(HresultFromError(32), static_cast<HRESULT>(0x80070020u));
}

bool FullFatVolume(const WCHAR*, VolumeInfo* info) {
    info->fileSystem = u"FAT32";
    info->freeBytes = 1234;
    return true;
}

TEST(Volumes, RealQueryAnswersAndTestsCanReplaceIt) {
    TempDir dir;
    VolumeInfo real;
    ASSERT_TRUE(QueryVolume(dir.WidePath("not-yet-written.bin").c_str(), &real));
    EXPECT_FALSE(real.fileSystem.empty());
    EXPECT_GT(real.freeBytes, 0u);
    SetVolumeQueryForTesting(&FullFatVolume);
    VolumeInfo fake;
    ASSERT_TRUE(QueryVolume(dir.WidePath("x").c_str(), &fake));
    EXPECT_EQ(fake.fileSystem, u"FAT32");
    EXPECT_EQ(fake.freeBytes, 1234u);
    SetVolumeQueryForTesting(nullptr);
}

TEST(Md5, IsLoadedOnFirstUseAndDigestsCorrectly) {
    ASSERT_TRUE(Md5Available());
    Md5 md5;
    ASSERT_TRUE(md5.ok());
    md5.Update("a", 1);
    md5.Update("bc", 2);
    uint8_t d[16];
    md5.Final(d);
    const uint8_t expected[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                  0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    EXPECT_EQ(std::memcmp(d, expected, 16), 0);
}

TEST(Memory, GlobalBlocksStartZeroedAndPrivateHeapsFreeWhole) {
    auto* p = static_cast<unsigned char*>(GlobalAllocZeroed(4096));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(p[i], 0);
    EXPECT_TRUE(GlobalShrinkInPlace(p, 16));
    GlobalFreeBlock(p);
    GlobalFreeBlock(nullptr);
    PrivateHeap* heap = PrivateHeapCreate(4096);
    ASSERT_NE(heap, nullptr);
    for (int i = 0; i < 100; ++i) ASSERT_NE(PrivateHeapAllocZeroed(heap, 100), nullptr);
    void* one = PrivateHeapAllocZeroed(heap, 8);
    PrivateHeapFree(heap, one);
    PrivateHeapDestroy(heap);  // the sanitizer build reports a leak if blocks survive
}

TEST(Locks, CriticalSectionIsReentrantAndMutexTimesOut) {
    CriticalSection cs;
    cs.Enter();
    cs.Enter();
    cs.Leave();
    cs.Leave();
    TimedMutex m;
    EXPECT_TRUE(m.Lock(0));
    m.Unlock();
    EXPECT_NE(CurrentThreadId(), 0u);
    EXPECT_NE(CurrentProcessId(), 0u);
}

TEST(Layout, RightToLeftFlagIsRecorded) {
    SetDefaultLayoutRightToLeft(true);
    EXPECT_TRUE(DefaultLayoutRightToLeft());
    SetDefaultLayoutRightToLeft(false);
    EXPECT_FALSE(DefaultLayoutRightToLeft());
}

}  // namespace
}  // namespace zu::platform

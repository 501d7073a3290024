// Inputs on which the fuzz target (fuzz/read_fuzz.cpp) found faults in the
// module, opened and read as the target does. Most of the faults were memory
// errors or undefined behaviour that only the sanitizer build of these tests
// reports; the plain build checks results and the sizes the loader allocates.
#include <gtest/gtest.h>

#include "instrument/riff_instrument.h"
#include "support/fixture_builder.h"
#include "support/fuzz_regression_inputs.h"
#include "support/module_host.h"
#include "support/temp_dir.h"

namespace zu::test {
namespace {

constexpr HRESULT kCompressed = static_cast<HRESULT>(0x8004E189u);

bool KnownResult(HRESULT hr) {
    switch (static_cast<uint32_t>(hr)) {
        case 0: case 1: case 0x8004E007: case 0x8004E008: case 0x8004E080: case 0x8004E189: case 0x80004005:
        case 0x80070057:
            return true;
        default:
            return false;
    }
}

// Opens the file with one class under the pool name and the first waves'
// names, and reads each stream to its end.
void OpenAndReadAll(int kind, const std::string& path) {
    for (int wave = -1; wave < 4; ++wave) {
        OpenedFile f;
        OpenWith(kind, wave < 0 ? path : path + "?a&" + std::to_string(wave), &f);
        EXPECT_TRUE(KnownResult(f.hr)) << std::hex << f.hr;
        if (IZuReadAudioStream* s = f.Stream()) {
            for (uint32_t framesPerRead : {1u, 97u}) {
                const StreamContents got = ReadWholeStream(s, framesPerRead);
                EXPECT_TRUE(KnownResult(got.hr)) << std::hex << got.hr;
            }
            s->Release();
        }
    }
}

// The GIG class refused a compressed file while still holding a reference on
// its container, so the container was freed but stayed in the class's list:
// the next open through that class read freed memory.
TEST(FuzzRegressions, CompressedGigOpenedTwiceBySameClass) {
    TempDir dir;
    WriteFileBytes(dir.File("c.gig"), fuzz_regression::CompressedGig());
    WriteFileBytes(dir.File("ok.gig"), fixture::BuildDlsBytes(fixture::SmallGig(3)));
    IZuReadFileClass* cls = NewReaderClass(CLSID_ZuGigInstrument);
    ASSERT_NE(cls, nullptr);
    for (int i = 0; i < 2; ++i) {
        IZuReadFile* file = nullptr;
        EXPECT_EQ(cls->OpenFile(&file, nullptr, nullptr, dir.WidePath("c.gig").c_str(), 1), kCompressed);
        EXPECT_EQ(file, nullptr);
        if (file) file->Release();
    }
    IZuReadFile* file = nullptr;
    EXPECT_EQ(cls->OpenFile(&file, nullptr, nullptr, dir.WidePath("ok.gig").c_str(), 1), S_OK);
    if (file) {
        file->CloseFile();
        file->Release();
    }
    cls->Release();
}

// Size fields that run past the end of the file sized the header image and
// the wave-pool image: a 600-byte file made the loader allocate 1.8 GB.
TEST(FuzzRegressions, ImagesAreNeverSizedBeyondTheFile) {
    TempDir dir;
    const struct {
        const char* name;
        InstrumentKind kind;
        std::string bytes;
    } cases[] = {
        {"after_pool.dls", kInstrumentDls, fuzz_regression::OversizedChunkAfterPool()},
        {"wvpl.dls", kInstrumentDls, fuzz_regression::OversizedWavePool()},
        {"pdta.sf2", kInstrumentSf2, fuzz_regression::OversizedPdta()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir.File(c.name), c.bytes);
        CRiffInstrument instrument(dir.WidePath(c.name).c_str(), c.kind);
        const uint64_t fileSize = c.bytes.size();
        EXPECT_LE(instrument.headerSize(), fileSize);
        EXPECT_LE(instrument.wavePoolSize(), 4 * fileSize);
        OpenAndReadAll(c.kind == kInstrumentSf2 ? 2 : 0, dir.File(c.name).u8string());
    }
}

// Only 18 bytes of a "fmt " chunk are read, but the format repair looked at
// the extensible part its cbSize announced: past the end of the record.
TEST(FuzzRegressions, ExtensibleFormatIsRepairedWithinItsRecord) {
    TempDir dir;
    WriteFileBytes(dir.File("ext.dls"), fuzz_regression::ExtensibleFormat());
    OpenAndReadAll(0, dir.File("ext.dls").u8string());
}

// The pool's block align (channels x bits / 8) was computed in int and
// overflowed for 65281 channels of 65535 bits.
TEST(FuzzRegressions, PoolFormatOfHugeChannelsAndBits) {
    TempDir dir;
    WriteFileBytes(dir.File("huge.dls"), fuzz_regression::HugeChannelsAndBits());
    OpenAndReadAll(0, dir.File("huge.dls").u8string());
}

// A wave whose block align does not hold its channels (too wide to repair)
// was expanded into the pool by a copy that steps by channels x sample bytes,
// far past the frames read.
TEST(FuzzRegressions, UnrepairableBlockAlignIsNotExpanded) {
    TempDir dir;
    WriteFileBytes(dir.File("wide.dls"), fuzz_regression::UnrepairableBlockAlign());
    OpenAndReadAll(0, dir.File("wide.dls").u8string());
}

// A host that keeps the container of a read file after the read file's last
// release: the container's own last release must take it off the class's
// list, or the next open through the class reads a freed container.
TEST(FuzzRegressions, ContainerHeldPastItsReadFile) {
    TempDir dir;
    WriteFileBytes(dir.File("two.dls"), fixture::BuildDlsBytes(fixture::TwoWaveDls()));
    IZuReadFileClass* cls = NewReaderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(cls, nullptr);
    IZuReadFile* file = nullptr;
    ASSERT_EQ(cls->OpenFile(&file, nullptr, nullptr, dir.WidePath("two.dls").c_str(), 1), S_OK);
    IZuContainerFile* container = nullptr;
    ASSERT_EQ(file->QueryInterface(IID_IZuContainerFile, reinterpret_cast<void**>(&container)), S_OK);
    file->CloseFile();
    file->Release();
    container->Release();
    file = nullptr;
    EXPECT_EQ(cls->OpenFile(&file, nullptr, nullptr, dir.WidePath("two.dls").c_str(), 1), S_OK);
    if (file) {
        file->CloseFile();
        file->Release();
    }
    cls->Release();
}

}  // namespace
}  // namespace zu::test

// The RIFF handler over disk files and memory blocks: descend/ascend geometry,
// size patching, searches, copies between back-ends, and malformed input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "kernel/byte_order.h"
#include "platform/platform.h"
#include "riff/disk_file.h"
#include "riff/memory_stream.h"
#include "riff/riff_handler.h"

namespace fs = std::filesystem;
using zu::CRiffFile;
using zu::CRiffMemFile;
using zu::FourCC;
using Bytes = std::vector<uint8_t>;
using WString = std::basic_string<WCHAR>;

namespace {

// ---- Building RIFF bytes independently of the handler ----
Bytes U32(uint32_t v) {
    Bytes b(4);
    zu::StoreLE32(b.data(), v);
    return b;
}
Bytes Str(const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); }
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Chunk(const char (&id)[5], const Bytes& data) {
    Bytes out = Cat({Str(id), U32(static_cast<uint32_t>(data.size())), data});
    if (data.size() & 1) out.push_back(0);
    return out;
}
Bytes List(const char (&type)[5], std::initializer_list<Bytes> children) {
    return Chunk("LIST", Cat({Str(type), Cat(children)}));
}
Bytes Riff(const char (&type)[5], std::initializer_list<Bytes> children) {
    return Chunk("RIFF", Cat({Str(type), Cat(children)}));
}
Bytes Seq(size_t n, uint8_t first = 1) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(first + i);
    return b;
}

// ---- Temporary files with UTF-16 paths ----
class TempDir {
public:
    TempDir() {
        dir_ = fs::temp_directory_path() /
               ("zuinstr_riff_" + std::to_string(zu::platform::CurrentProcessId()) + "_" + std::to_string(counter_++));
        fs::create_directories(dir_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path Path(const char* name) const { return dir_ / name; }

private:
    static inline int counter_ = 0;
    fs::path dir_;
};

WString Wide(const fs::path& p) {
    const std::u16string u = p.u16string();
    return WString(u.begin(), u.end());
}
void WriteFileBytes(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
Bytes ReadFileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- The two back-ends behind one test interface ----
struct DiskBackend {
    using Handler = CRiffFile;
    TempDir dir;
    fs::path path = dir.Path("test.riff");

    int OpenRead(Handler& h, const Bytes& bytes, uint32_t formCode) {
        WriteFileBytes(path, bytes);
        return h.Open(Wide(path).c_str(), formCode, zu::RIFF_OPEN_READ, false);
    }
    int OpenCreate(Handler& h, uint32_t formCode) {
        return h.Open(Wide(path).c_str(), formCode, zu::RIFF_OPEN_CREATE, false);
    }
    // Call once the handler is closed or destroyed.
    Bytes Written(size_t) const { return ReadFileBytes(path); }
};

struct MemBackend {
    using Handler = CRiffMemFile;
    Bytes block;

    int OpenRead(Handler& h, const Bytes& bytes, uint32_t formCode) {
        block = bytes;
        return h.OpenMemory(block.data(), static_cast<uint32_t>(block.size()), formCode, zu::RIFF_OPEN_READ);
    }
    int OpenCreate(Handler& h, uint32_t formCode) {
        block.assign(16384, 0xEE);
        return h.OpenMemory(block.data(), static_cast<uint32_t>(block.size()), formCode, zu::RIFF_OPEN_CREATE);
    }
    Bytes Written(size_t expected) const { return Bytes(block.begin(), block.begin() + expected); }
};

template <typename B>
class RiffBothBackends : public ::testing::Test {
protected:
    B backend;
};
using Backends = ::testing::Types<DiskBackend, MemBackend>;
TYPED_TEST_SUITE(RiffBothBackends, Backends);

// ---- Geometry of reading ----

TYPED_TEST(RiffBothBackends, OddSizedChunksAscendToEvenOffsets) {
    const Bytes file = Riff("TEST", {Chunk("abc ", Seq(3)), Chunk("odd5", Seq(5)), Chunk("last", Seq(2))});
    typename TypeParam::Handler h;
    ASSERT_EQ(1, this->backend.OpenRead(h, file, zu::RIFF_FORM_ANY));
    EXPECT_EQ(FourCC("TEST"), h.Form().fccType);
    EXPECT_EQ(8u, h.FormDataOffset());
    EXPECT_EQ(12u, h.Position());

    uint32_t size = 0, offset = 0;
    ASSERT_EQ(1, h.Descend(FourCC("abc "), false, &size, &offset));
    EXPECT_EQ(3u, size);
    EXPECT_EQ(20u, offset);
    EXPECT_EQ(1, h.Depth());
    ASSERT_EQ(1, h.AscendCurrent());
    EXPECT_EQ(24u, h.Position());  // 20 + 3 + pad
    EXPECT_EQ(0, h.Depth());

    // The search skips the odd chunk by its padded size.
    ASSERT_EQ(1, h.Descend(FourCC("last"), false, &size, &offset));
    EXPECT_EQ(46u, offset);
    uint8_t two[2] = {};
    EXPECT_EQ(1, h.Read(two, 2));
    EXPECT_EQ(1, two[0]);
    EXPECT_EQ(2, two[1]);
    ASSERT_EQ(1, h.AscendCurrent());
    EXPECT_EQ(file.size(), h.Position());

    // Every chunk once, in order, through DescendAny.
    ASSERT_EQ(1, h.Rewind());
    std::vector<uint32_t> ids;
    uint32_t id = 0;
    int isList = -1;
    while (h.DescendAny(&id, &isList, &size)) {
        ids.push_back(id);
        EXPECT_EQ(0, isList);
        ASSERT_EQ(1, h.AscendCurrent());
    }
    EXPECT_EQ((std::vector<uint32_t>{FourCC("abc "), FourCC("odd5"), FourCC("last")}), ids);
    EXPECT_EQ(0, h.Depth());
    EXPECT_EQ(file.size(), h.Position());  // the failed descend left the position
}

TYPED_TEST(RiffBothBackends, ListFoundByIdAndOnlyByItsOwnType) {
    const Bytes file = Riff("DLS ", {Chunk("colh", U32(1)), List("INFO", {Chunk("INAM", Str("ab"))})});
    typename TypeParam::Handler h;
    ASSERT_EQ(1, this->backend.OpenRead(h, file, zu::RIFF_FORM_DLS));

    ASSERT_EQ(1, h.Descend(FourCC("LIST"), false));
    EXPECT_EQ(FourCC("INFO"), h.Current().fccType);
    EXPECT_EQ(14u, h.CurrentSize());
    ASSERT_EQ(1, h.AscendCurrent());

    ASSERT_EQ(1, h.Rewind());
    const uint32_t before = h.Position();
    EXPECT_EQ(0, h.Descend(FourCC("wvpl"), true));
    EXPECT_EQ(before, h.Position());
    EXPECT_EQ(0, h.Depth());
    EXPECT_EQ(0, h.Descend(FourCC("INFO"), false));  // a plain-chunk search does not look at list types
    EXPECT_EQ(before, h.Position());

    ASSERT_EQ(1, h.DescendList(FourCC("INFO")));
    uint32_t id = 0, size = 0;
    int isList = 0;
    ASSERT_EQ(1, h.DescendAny(&id, &isList, &size));
    EXPECT_EQ(FourCC("INAM"), id);
    EXPECT_EQ(2u, size);
    EXPECT_EQ(2, h.Depth());
    EXPECT_EQ(0, h.DescendAny(&id, &isList, &size)) << "INAM holds no chunk";
    ASSERT_EQ(1, h.AscendCurrent());
    EXPECT_EQ(0, h.DescendAny(&id, &isList, &size)) << "nothing follows INAM inside INFO";
    EXPECT_EQ(1, h.Depth());
}

TYPED_TEST(RiffBothBackends, DescendAnyReportsListTypeAndClearsTopBitOfIds) {
    Bytes highId = Str("ab\xC1\xC2");
    const Bytes file = Cat({highId, U32(0), List("wave", {})});
    typename TypeParam::Handler h;
    ASSERT_EQ(1, this->backend.OpenRead(h, file, zu::RIFF_FORM_NONE));
    uint32_t id = 0, size = 1;
    int isList = -1;
    ASSERT_EQ(1, h.DescendAny(&id, &isList, &size));
    EXPECT_EQ(zu::LoadLE32(highId.data()) & 0x7FFFFFFFu, id);
    EXPECT_EQ(0, isList);
    EXPECT_EQ(0u, size);
    ASSERT_EQ(1, h.AscendCurrent());
    ASSERT_EQ(1, h.DescendAny(&id, &isList, &size));
    EXPECT_EQ(FourCC("wave"), id);
    EXPECT_EQ(1, isList);
    EXPECT_EQ(4u, size);
}

TYPED_TEST(RiffBothBackends, EmptyChunkEndingItsParentIsFound) {
    // "b   " starts exactly at the last position where a header fits.
    const Bytes file = Cat({List("outr", {Chunk("a   ", {}), Chunk("b   ", {})}), Str("tail")});
    typename TypeParam::Handler h;
    ASSERT_EQ(1, this->backend.OpenRead(h, file, zu::RIFF_FORM_NONE));
    ASSERT_EQ(1, h.DescendList(FourCC("outr")));
    uint32_t offset = 0;
    ASSERT_EQ(1, h.Descend(FourCC("b   "), false, nullptr, &offset));
    EXPECT_EQ(28u, offset);
    ASSERT_EQ(1, h.AscendCurrent());
    ASSERT_EQ(1, h.AscendCurrent());
    // A header cut off at the end of the file: the failed descend moves nothing.
    const uint32_t at = h.Position();
    EXPECT_EQ(28u, at);
    EXPECT_EQ(0, h.DescendAny(nullptr, nullptr, nullptr));
    EXPECT_EQ(at, h.Position());
    EXPECT_EQ(0, h.Descend(FourCC("tail"), false));
    EXPECT_EQ(at, h.Position());
}

TYPED_TEST(RiffBothBackends, ReadClampsToChunkAndZeroFills) {
    const Bytes file = Cat({Chunk("ten ", Seq(10)), Chunk("next", Seq(4, 0x80))});
    typename TypeParam::Handler h;
    ASSERT_EQ(1, this->backend.OpenRead(h, file, zu::RIFF_FORM_NONE));
    ASSERT_EQ(1, h.Descend(FourCC("ten "), false));
    uint8_t buffer[100];
    std::memset(buffer, 0xAA, sizeof(buffer));
    EXPECT_EQ(1, h.Read(buffer, 100));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(i + 1, buffer[i]);
    for (int i = 10; i < 100; ++i) ASSERT_EQ(0, buffer[i]) << i;
    EXPECT_EQ(18u, h.Position());
}

TYPED_TEST(RiffBothBackends, ChunkRunningPastItsParentIsStillEntered) {
    // "kid " claims 100 bytes inside a list of 12; only its start counts.
    const Bytes file = Cat({Str("LIST"), U32(12), Str("outr"), Str("kid "), U32(100), Seq(6)});
    typename TypeParam::Handler h;
    ASSERT_EQ(1, this->backend.OpenRead(h, file, zu::RIFF_FORM_NONE));
    ASSERT_EQ(1, h.DescendList(FourCC("outr")));
    uint32_t size = 0;
    ASSERT_EQ(1, h.Descend(FourCC("kid "), false, &size));
    EXPECT_EQ(100u, size);
    uint8_t buffer[8];
    EXPECT_EQ(0, h.Read(buffer, 8)) << "only 6 bytes exist";
    EXPECT_EQ(0, buffer[6]);

    // A chunk that starts after the parent's end is not found inside it.
    const Bytes outside = Cat({List("outr", {}), Chunk("kid ", Seq(2))});
    typename TypeParam::Handler h2;
    TypeParam other;
    ASSERT_EQ(1, other.OpenRead(h2, outside, zu::RIFF_FORM_NONE));
    ASSERT_EQ(1, h2.DescendList(FourCC("outr")));
    EXPECT_EQ(0, h2.Descend(FourCC("kid "), false));
    ASSERT_EQ(1, h2.AscendCurrent());
    EXPECT_EQ(1, h2.Descend(FourCC("kid "), false));
}

TYPED_TEST(RiffBothBackends, DepthLimitRefusesWithoutTouchingTheFile) {
    Bytes inner = Chunk("leaf", Seq(2));
    for (int i = 0; i < 11; ++i) inner = Cat({Str("LIST"), U32(static_cast<uint32_t>(inner.size() + 4)), Str("nest"), inner});
    typename TypeParam::Handler h;
    ASSERT_EQ(1, this->backend.OpenRead(h, inner, zu::RIFF_FORM_NONE));
    for (int i = 0; i < 10; ++i) ASSERT_EQ(1, h.DescendList(FourCC("nest"))) << i;
    EXPECT_EQ(10, h.Depth());
    const uint32_t at = h.Position();
    EXPECT_EQ(0, h.DescendList(FourCC("nest")));
    EXPECT_EQ(0, h.DescendAny(nullptr, nullptr, nullptr));
    EXPECT_EQ(0, h.CreateChunk(FourCC("more")));
    EXPECT_EQ(at, h.Position());
    EXPECT_EQ(10, h.Depth());
    while (h.Depth() > 0) ASSERT_EQ(1, h.AscendCurrent());
    EXPECT_EQ(inner.size(), h.Position());
}

TYPED_TEST(RiffBothBackends, ReadChunkAndGetChunkSizeKeepOrRestoreThePosition) {
    const Bytes file = Riff("DLS ", {Chunk("aaaa", Seq(3)), Chunk("bbbb", Seq(4, 0x10)), Chunk("cccc", Seq(6, 0x20)),
                                     List("lins", {Chunk("ins ", Seq(1))})});
    typename TypeParam::Handler h;
    ASSERT_EQ(1, this->backend.OpenRead(h, file, zu::RIFF_FORM_DLS));
    const uint32_t start = h.Position();

    EXPECT_EQ(6u, h.GetChunkSize(FourCC("cccc"), false));
    EXPECT_EQ(14u, h.GetChunkSize(FourCC("lins"), true));
    EXPECT_EQ(0u, h.GetChunkSize(FourCC("none"), false));
    EXPECT_EQ(start, h.Position());

    uint8_t buffer[8];
    uint32_t offset = 0;
    EXPECT_EQ(1, h.ReadChunk(FourCC("cccc"), buffer, 8, true, &offset));
    EXPECT_EQ(44u, offset);
    EXPECT_EQ(0x20, buffer[0]);
    EXPECT_EQ(0x25, buffer[5]);
    EXPECT_EQ(0, buffer[6]);
    EXPECT_EQ(0, buffer[7]);
    EXPECT_EQ(start, h.Position());
    EXPECT_EQ(0, h.Depth());

    EXPECT_EQ(1, h.ReadChunk(FourCC("bbbb"), buffer, 2, false));
    EXPECT_EQ(0x11, buffer[1]);
    EXPECT_EQ(36u, h.Position());  // after "bbbb"

    // Searches go forward only: "aaaa" lies behind.
    std::memset(buffer, 0x55, sizeof(buffer));
    EXPECT_EQ(0, h.ReadChunk(FourCC("aaaa"), buffer, 8, false));
    for (uint8_t b : buffer) EXPECT_EQ(0, b);
    EXPECT_EQ(36u, h.Position());
}

TYPED_TEST(RiffBothBackends, FormCheckOnOpen) {
    const Bytes wave = Riff("WAVE", {Chunk("fmt ", Seq(16))});
    {
        typename TypeParam::Handler h;
        EXPECT_EQ(0, this->backend.OpenRead(h, wave, zu::RIFF_FORM_DLS));
        EXPECT_FALSE(h.IsOpen());
        EXPECT_EQ(0, this->backend.OpenRead(h, wave, zu::RIFF_FORM_SOUNDFONT));
        EXPECT_FALSE(h.IsOpen());
        EXPECT_EQ(0, this->backend.OpenRead(h, wave, 259)) << "an unknown code expects four zero bytes";
    }
    {
        typename TypeParam::Handler h;
        ASSERT_EQ(1, this->backend.OpenRead(h, wave, zu::RIFF_FORM_ANY));
        EXPECT_TRUE(h.IsRiffForm());
        EXPECT_EQ(FourCC("WAVE"), h.Form().fccType);
        EXPECT_EQ(1, h.Descend(FourCC("fmt "), false));
    }
    {
        // A leading chunk (odd-sized) before the form is skipped.
        typename TypeParam::Handler h;
        const Bytes lead = Cat({Chunk("junk", Seq(1)), Riff("sfbk", {Chunk("ifil", U32(0x10002))})});
        ASSERT_EQ(1, this->backend.OpenRead(h, lead, zu::RIFF_FORM_SOUNDFONT));
        EXPECT_EQ(18u, h.FormDataOffset());
        EXPECT_EQ(1, h.Descend(FourCC("ifil"), false));
    }
    {
        // Any form also admits a plain chunk file, read from offset 0.
        typename TypeParam::Handler h;
        ASSERT_EQ(1, this->backend.OpenRead(h, Chunk("plai", Seq(2)), zu::RIFF_FORM_ANY));
        EXPECT_EQ(0u, h.Form().ckid);
        EXPECT_EQ(0u, h.Position());
        EXPECT_EQ(1, h.Descend(FourCC("plai"), false));
    }
}

// ---- Writing ----

TYPED_TEST(RiffBothBackends, ThreeByteChunkGetsSizeThreeAndOnePadByte) {
    {
        typename TypeParam::Handler h;
        ASSERT_EQ(1, this->backend.OpenCreate(h, zu::RIFF_FORM_NONE));
        EXPECT_FALSE(h.IsRiffForm());
        const uint8_t data[3] = {'x', 'y', 'z'};
        ASSERT_EQ(1, h.WriteChunk(FourCC("abc "), data, 3));
        EXPECT_EQ(12u, h.Position());
        EXPECT_EQ(1, h.Close());
    }
    EXPECT_EQ(Chunk("abc ", Str("xyz")), this->backend.Written(12));
    EXPECT_EQ(0, this->backend.Written(12)[11]);
}

TYPED_TEST(RiffBothBackends, NestedListsPatchEveryLevelAndTheForm) {
    const Bytes expected = Riff("DLS ", {Chunk("colh", U32(1)),
                                         List("lins", {List("ins ", {Chunk("insh", Seq(5)), Chunk("data", Seq(2))}),
                                                       List("ins ", {})})});
    {
        typename TypeParam::Handler h;
        ASSERT_EQ(1, this->backend.OpenCreate(h, zu::RIFF_FORM_DLS));
        EXPECT_EQ(8u, h.FormDataOffset());
        EXPECT_EQ(zu::RIFF_CHUNK_DIRTY, h.Form().chunkFlags);
        const Bytes one = U32(1), five = Seq(5), two = Seq(2);
        ASSERT_EQ(1, h.WriteChunk(FourCC("colh"), one.data(), 4));
        ASSERT_EQ(1, h.CreateList(FourCC("lins")));
        ASSERT_EQ(1, h.CreateChunk(FourCC("ins "), true));
        ASSERT_EQ(1, h.WriteChunk(FourCC("insh"), five.data(), 5));
        ASSERT_EQ(1, h.CreateChunk(FourCC("data")));
        ASSERT_EQ(1, h.Write(two.data(), 2));
        EXPECT_EQ(3, h.Depth());
        ASSERT_EQ(1, h.AscendCurrent());
        EXPECT_EQ(0u, h.CurrentSize()) << "a list's size is patched when it is left";
        ASSERT_EQ(1, h.AscendCurrent());
        ASSERT_EQ(1, h.CreateList(FourCC("ins ")));
        ASSERT_EQ(1, h.AscendCurrent());
        ASSERT_EQ(1, h.AscendCurrent());
        EXPECT_EQ(0, h.Depth());
        EXPECT_EQ(0, h.AscendCurrent()) << "nothing left to ascend at the top level";
        EXPECT_EQ(1, h.Close());
        EXPECT_FALSE(h.IsOpen());
        EXPECT_EQ(1, h.Close()) << "closing a closed handler";
    }
    EXPECT_EQ(expected, this->backend.Written(expected.size()));

    // What was written reads back through the same handler.
    typename TypeParam::Handler r;
    TypeParam reread;
    ASSERT_EQ(1, reread.OpenRead(r, expected, zu::RIFF_FORM_DLS));
    ASSERT_EQ(1, r.DescendList(FourCC("lins")));
    ASSERT_EQ(1, r.DescendList(FourCC("ins ")));
    uint32_t size = 0;
    ASSERT_EQ(1, r.Descend(FourCC("data"), false, &size));
    EXPECT_EQ(2u, size);
}

TYPED_TEST(RiffBothBackends, WriteWithPaddedCount) {
    const Bytes six = Seq(6);
    {
        typename TypeParam::Handler h;
        ASSERT_EQ(1, this->backend.OpenCreate(h, zu::RIFF_FORM_NONE));
        ASSERT_EQ(1, h.WriteChunk(FourCC("shrt"), six.data(), 6, 4));  // a prefix
        ASSERT_EQ(1, h.WriteChunk(FourCC("long"), six.data(), 3, 7));  // zeros after the buffer
        ASSERT_EQ(1, h.WriteChunk(FourCC("same"), six.data(), 6, zu::CRiffHandler<zu::CDiskFile>::kNoPadding));
        ASSERT_EQ(1, h.WriteChunk(FourCC("zero"), nullptr, 0, 5000));  // more zeros than one block
    }
    const Bytes expected = Cat({Chunk("shrt", Seq(4)), Chunk("long", Cat({Seq(3), Bytes(4, 0)})), Chunk("same", six),
                                Chunk("zero", Bytes(5000, 0))});
    EXPECT_EQ(expected, this->backend.Written(expected.size()));
}

TYPED_TEST(RiffBothBackends, DestructorPatchesSizesOfAnUnfinishedWriter) {
    {
        typename TypeParam::Handler h;
        ASSERT_EQ(1, this->backend.OpenCreate(h, zu::RIFF_FORM_SOUNDFONT));
        ASSERT_EQ(1, h.CreateList(FourCC("sdta")));
        ASSERT_EQ(1, h.CreateChunk(FourCC("smpl")));
        const Bytes data = Seq(3);
        ASSERT_EQ(1, h.Write(data.data(), 3));
        // The writer stops here without ascending anything.
    }
    const Bytes expected = Riff("sfbk", {List("sdta", {Chunk("smpl", Seq(3))})});
    EXPECT_EQ(expected, this->backend.Written(expected.size()));
}

TYPED_TEST(RiffBothBackends, CreatedFormTypes) {
    {
        typename TypeParam::Handler h;
        ASSERT_EQ(1, this->backend.OpenCreate(h, zu::RIFF_FORM_ANY));
    }
    EXPECT_EQ(Riff("    ", {}), this->backend.Written(12));
    {
        typename TypeParam::Handler h;
        ASSERT_EQ(1, this->backend.OpenCreate(h, 259));
    }
    EXPECT_EQ(Cat({Str("RIFF"), U32(4), Bytes(4, 0)}), this->backend.Written(12));
}

// ---- Copies between back-ends ----

const Bytes kLins = List("lins", {List("ins ", {Chunk("insh", Seq(12)), List("INFO", {Chunk("INAM", Str("pno"))})})});
const Bytes kPtbl = Chunk("ptbl", Seq(13));
const Bytes kSource = Riff("DLS ", {Chunk("colh", U32(1)), kLins, kPtbl});

TEST(RiffCopy, DiskToMemoryAndBackByteExact) {
    TempDir dir;
    const fs::path src = dir.Path("src.dls");
    WriteFileBytes(src, kSource);

    Bytes image(256, 0);
    {
        CRiffFile disk;
        ASSERT_EQ(1, disk.Open(Wide(src).c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_READ, false));
        CRiffMemFile mem;
        ASSERT_EQ(1, mem.OpenMemory(image.data(), static_cast<uint32_t>(image.size()), zu::RIFF_FORM_NONE,
                                    zu::RIFF_OPEN_CREATE));
        // Copies start from the form's beginning whatever the current position.
        ASSERT_EQ(1, disk.Descend(FourCC("ptbl"), false));
        ASSERT_EQ(1, disk.AscendCurrent());
        const uint32_t at = disk.Position();
        EXPECT_EQ(13u, disk.CopyChunk(mem, FourCC("ptbl"), false));
        EXPECT_EQ(kLins.size() - 8, disk.CopyChunk(mem, FourCC("lins"), true));
        EXPECT_EQ(0u, disk.CopyChunk(mem, FourCC("none"), false));
        EXPECT_EQ(0u, disk.CopyChunk(mem, FourCC("ptbl"), true)) << "ptbl is no list";
        EXPECT_EQ(at, disk.Position());
        EXPECT_EQ(0, mem.Depth());
    }
    const Bytes expectedImage = Cat({kPtbl, kLins});
    ASSERT_EQ(expectedImage, Bytes(image.begin(), image.begin() + expectedImage.size()));
    for (size_t i = expectedImage.size(); i < image.size(); ++i) ASSERT_EQ(0, image[i]);

    const fs::path dst = dir.Path("dst.dls");
    {
        CRiffMemFile mem;
        ASSERT_EQ(1, mem.OpenMemoryReadOnly(image.data(), static_cast<uint32_t>(expectedImage.size())));
        CRiffFile disk;
        ASSERT_EQ(1, disk.Open(Wide(dst).c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_CREATE, false));
        const Bytes colh = U32(1);
        ASSERT_EQ(1, disk.WriteChunk(FourCC("colh"), colh.data(), 4));
        EXPECT_EQ(kLins.size() - 8, mem.CopyChunk(disk, FourCC("lins"), true));
        EXPECT_EQ(13u, mem.CopyChunk(disk, FourCC("ptbl"), false));
        EXPECT_EQ(1, disk.Close());
    }
    EXPECT_EQ(kSource, ReadFileBytes(dst));
}

TEST(RiffCopy, CurrentChunksOfAListOneByOne) {
    const Bytes wave = List("wave", {Chunk("fmt ", Seq(17)), List("INFO", {Chunk("INAM", Str("a"))}), Chunk("data", Seq(9))});
    Bytes source = Riff("DLS ", {List("wvpl", {wave})});
    CRiffMemFile src;
    ASSERT_EQ(1, src.OpenMemoryReadOnly(source.data(), static_cast<uint32_t>(source.size()), zu::RIFF_FORM_DLS));
    ASSERT_EQ(1, src.DescendList(FourCC("wvpl")));
    ASSERT_EQ(1, src.DescendList(FourCC("wave")));

    TempDir dir;
    const fs::path dst = dir.Path("copy.riff");
    {
        CRiffFile out;
        ASSERT_EQ(1, out.Open(Wide(dst).c_str(), zu::RIFF_FORM_NONE, zu::RIFF_OPEN_CREATE, false));
        ASSERT_EQ(1, out.CreateList(FourCC("wave")));
        uint32_t id = 0, size = 0;
        int isList = 0;
        while (src.DescendAny(&id, &isList, &size)) {
            uint8_t skip[3];
            src.Read(skip, 3);  // the copy starts at the chunk's data anyway
            EXPECT_EQ(1, src.CopyCurrentChunk(out));
            ASSERT_EQ(1, src.AscendCurrent());
        }
        ASSERT_EQ(1, out.AscendCurrent());
        EXPECT_EQ(1, src.CopyCurrentChunk(out)) << "the wave list itself is current again";
    }
    const Bytes got = ReadFileBytes(dst);
    EXPECT_EQ(Cat({wave, wave}), got);
}

TEST(RiffCopy, AbsurdSizeIsRefusedAndTargetUntouched) {
    Bytes source = Cat({Str("ptbl"), U32(0xFFFFFFF0u), Seq(8)});
    CRiffMemFile src;
    ASSERT_EQ(1, src.OpenMemoryReadOnly(source.data(), static_cast<uint32_t>(source.size())));
    Bytes image(64, 0);
    CRiffMemFile mem;
    ASSERT_EQ(1, mem.OpenMemory(image.data(), 64, zu::RIFF_FORM_NONE, zu::RIFF_OPEN_CREATE));
    EXPECT_EQ(0u, src.CopyChunk(mem, FourCC("ptbl"), false));
    EXPECT_EQ(0u, mem.Position());
    EXPECT_EQ(Bytes(64, 0), image);
    ASSERT_EQ(1, src.Descend(FourCC("ptbl"), false));
    EXPECT_EQ(0, src.CopyCurrentChunk(mem));
    EXPECT_EQ(0, src.AscendCurrent()) << "its end lies beyond the block";
}

// ---- Memory limits ----

TEST(RiffMemory, StreamStopsAtSizeAndCapacity) {
    uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    zu::CMemoryStream* s = zu::ZuCreateStreamFromMemory(block, 6, 8);
    ASSERT_NE(nullptr, s);
    uint8_t out[10] = {};
    EXPECT_EQ(6u, s->Read(out, 10));
    EXPECT_EQ(0u, s->Read(out, 1));
    EXPECT_EQ(2u, s->Write("abcd", 4));  // cut at the capacity
    EXPECT_EQ(8u, s->Size());
    EXPECT_EQ('b', block[7]);
    EXPECT_EQ(zu::platform::kInvalidPosition, s->Seek(9, zu::platform::SeekOrigin::Begin));
    EXPECT_EQ(zu::platform::kInvalidPosition, s->Seek(-1, zu::platform::SeekOrigin::Begin));
    EXPECT_EQ(8u, s->Position()) << "a failed seek keeps the position";
    EXPECT_EQ(4u, s->Seek(-4, zu::platform::SeekOrigin::End));
    {
        zu::CMemFile file;  // a back-end attached to the stream holds its own reference
        ASSERT_TRUE(file.Attach(s));
        EXPECT_EQ(2u, s->RefCount());
        EXPECT_EQ(static_cast<const void*>(block), file.Block());
        EXPECT_EQ(4u, file.Seek(0, zu::platform::SeekOrigin::Current));
    }
    EXPECT_EQ(1u, s->RefCount());
    EXPECT_EQ(0u, s->Release());

    const uint8_t fixed[4] = {9, 9, 9, 9};
    zu::CMemoryStream* ro = zu::ZuCreateStreamFromReadOnlyMemory(fixed, 4);
    ASSERT_NE(nullptr, ro);
    EXPECT_EQ(0u, ro->Write("x", 1));
    ro->Release();
    EXPECT_EQ(nullptr, zu::ZuCreateStreamFromMemory(nullptr, 4, 4));
}

TEST(RiffMemory, WritesPastCapacityAreCutOff) {
    Bytes block(20, 0xEE);
    CRiffMemFile h;
    ASSERT_EQ(1, h.OpenMemory(block.data(), 20, zu::RIFF_FORM_NONE, zu::RIFF_OPEN_CREATE));
    const Bytes data = Seq(16);
    EXPECT_EQ(0, h.WriteChunk(FourCC("big "), data.data(), 16)) << "8 + 16 bytes do not fit in 20";
    EXPECT_EQ(20u, h.Position());
    EXPECT_EQ(0, h.Depth());
    EXPECT_EQ(0u, h.WriteRaw(data.data(), 1));
    EXPECT_EQ(zu::platform::kInvalidPosition, h.Seek(21, zu::platform::SeekOrigin::Begin));
    // The header of a chunk that does not fit is refused with depth unchanged.
    ASSERT_TRUE(h.SeekTo(16));
    EXPECT_EQ(0, h.CreateChunk(FourCC("tiny")));
    EXPECT_EQ(0, h.Depth());

    EXPECT_EQ(0, h.OpenMemory(block.data(), 16, zu::RIFF_FORM_NONE, 0x203)) << "no such open mode";
    EXPECT_FALSE(h.IsOpen());
    EXPECT_EQ(0, h.OpenMemory(nullptr, 16));
    EXPECT_EQ(0, h.Descend(FourCC("any "), false));
    EXPECT_EQ(0, h.CreateChunk(FourCC("any ")));
    EXPECT_EQ(1, h.Close());
}

// ---- Disk back-end ----

TEST(RiffDisk, OpenModesMapToAccessAndSharing) {
    TempDir dir;
    const fs::path p = dir.Path("share.dls");
    WriteFileBytes(p, Riff("DLS ", {}));
    const WString w = Wide(p);
    {
        CRiffFile a, b, c;
        ASSERT_EQ(1, a.Open(w.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_READ, false));
        EXPECT_EQ(1, b.Open(w.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_READ, false)) << "readers share";
        EXPECT_EQ(0, c.Open(w.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_READWRITE, false));
        EXPECT_EQ(0, c.Open(w.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_CREATE, false));
    }
    {
        CRiffFile a, b;
        ASSERT_EQ(1, a.Open(w.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_READWRITE, false));
        EXPECT_EQ(0, b.Open(w.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_READ, false)) << "no sharing";
    }
    CRiffFile h;
    EXPECT_EQ(0, h.Open(w.c_str(), zu::RIFF_FORM_DLS, 0x1234, false));
    EXPECT_EQ(0, h.Open(Wide(dir.Path("missing.dls")).c_str(), zu::RIFF_FORM_ANY, zu::RIFF_OPEN_READ, false));
    // A failed form check closes the file: it can then be opened exclusively.
    EXPECT_EQ(0, h.Open(w.c_str(), zu::RIFF_FORM_SOUNDFONT, zu::RIFF_OPEN_READ, false));
    CRiffFile x;
    EXPECT_EQ(1, x.Open(w.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_READWRITE, false));
}

// Writes are gathered in memory before they reach the file: chunk sizes
// patched behind gathered bytes, positions asked in between and writes larger
// than the gathering all have to land exactly where an unbuffered file puts them.
TEST(RiffDisk, GatheredWritesLandWhereTheyBelong) {
    TempDir dir;
    const fs::path p = dir.Path("gathered.dls");
    std::mt19937 random(7);
    std::vector<Bytes> chunks;
    for (size_t size : {size_t{1}, size_t{4095}, size_t{300000}, size_t{3}, size_t{262143}, size_t{262145}, size_t{70000}}) {
        Bytes b(size);
        for (auto& x : b) x = static_cast<uint8_t>(random());
        chunks.push_back(b);
    }
    {
        CRiffFile h;
        ASSERT_EQ(1, h.Open(Wide(p).c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_CREATE, false));
        uint32_t expected = 12;
        for (const Bytes& b : chunks) {
            ASSERT_EQ(1, h.CreateChunk(FourCC("dat ")));
            // Odd sizes written in two pieces, so a piece boundary falls inside the gathering.
            const uint32_t half = static_cast<uint32_t>(b.size() / 2);
            ASSERT_EQ(1, h.Write(b.data(), half));
            ASSERT_EQ(expected + 8 + half, h.Position());
            ASSERT_EQ(1, h.Write(b.data() + half, static_cast<uint32_t>(b.size()) - half));
            ASSERT_EQ(1, h.AscendCurrent());
            expected += 8 + static_cast<uint32_t>(b.size() + (b.size() & 1));
            ASSERT_EQ(expected, h.Position());
        }
        EXPECT_EQ(1, h.Close());
    }
    Bytes want;
    for (const Bytes& b : chunks) {
        const Bytes c = Chunk("dat ", b);
        want.insert(want.end(), c.begin(), c.end());
    }
    const Bytes got = ReadFileBytes(p);
    const Bytes riff = Cat({Str("RIFF"), U32(static_cast<uint32_t>(want.size() + 4)), Str("DLS "), want});
    ASSERT_EQ(riff.size(), got.size());
    EXPECT_TRUE(riff == got) << "gathered bytes landed in the wrong place";
}

#ifndef _WIN32
// A device that refuses every byte: the write is gathered and "succeeds", so
// the failure must come back when the file is closed, never be lost.
TEST(RiffDisk, GatheredWriteFailureSurfacesAtClose) {
    const WString full = Wide(fs::path("/dev/full"));
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    zu::CDiskFile d;
    ASSERT_TRUE(d.Open(full.c_str(), zu::RIFF_OPEN_READWRITE));
    const Bytes b(1000, 0x55);
    EXPECT_EQ(1000u, d.Write(b.data(), 1000));
    EXPECT_FALSE(d.Close()) << "a lost write was reported as a complete file";
    EXPECT_TRUE(d.WriteFailed());
    CRiffFile h;
    ASSERT_EQ(1, h.Open(full.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_CREATE, false));
    ASSERT_EQ(1, h.CreateChunk(FourCC("data")));
    h.Write(b.data(), 1000);
    EXPECT_EQ(0, h.Close());
}
#endif

TEST(RiffDisk, AttachedHandleIsNeitherAscendedNorClosed) {
    TempDir dir;
    const fs::path p = dir.Path("attached.riff");
    const WString w = Wide(p);
    zu::platform::FileHandle handle = zu::platform::FileOpen(
        w.c_str(), zu::platform::FileAccess::ReadWrite, zu::platform::FileShare::None,
        zu::platform::FileDisposition::CreateAlways, false, nullptr);
    ASSERT_NE(nullptr, handle);
    {
        CRiffFile h;
        ASSERT_EQ(1, h.Attach(handle, zu::RIFF_FORM_DLS, zu::RIFF_OPEN_CREATE, true));
        EXPECT_EQ(handle, h.File().GetHandle());
        ASSERT_EQ(1, h.CreateChunk(FourCC("open")));
        const uint8_t one = 1;
        ASSERT_EQ(1, h.Write(&one, 1));
    }
    EXPECT_EQ(21u, zu::platform::FileSeek(handle, 0, zu::platform::SeekOrigin::Current)) << "the handle still works";
    zu::platform::FileClose(handle);
    EXPECT_EQ(Cat({Str("RIFF"), U32(0), Str("DLS "), Str("open"), U32(0), Bytes{1}}), ReadFileBytes(p));

    // Opened for read and write, a chunk is changed in place.
    WriteFileBytes(p, Riff("DLS ", {Chunk("open", Bytes{1})}));
    {
        CRiffFile h;
        ASSERT_EQ(1, h.Open(w.c_str(), zu::RIFF_FORM_DLS, zu::RIFF_OPEN_READWRITE, false));
        ASSERT_EQ(1, h.Descend(FourCC("open"), false));
        const uint8_t two = 2;
        ASSERT_EQ(1, h.Write(&two, 1));
    }
    EXPECT_EQ(2, ReadFileBytes(p)[20]);
}

// ---- Malformed input: every walk must end, and nothing may read out of bounds ----

// Enters and leaves everything reachable, reading and copying as it goes.
template <typename H>
void Walk(H& h, CRiffMemFile& sink, int budget) {
    uint32_t id = 0, size = 0;
    int isList = 0;
    while (budget-- > 0 && h.DescendAny(&id, &isList, &size)) {
        uint8_t buffer[32];
        h.Read(buffer, sizeof(buffer));
        h.CopyCurrentChunk(sink);
        sink.Reset();
        if (isList) Walk(h, sink, budget);
        if (!h.AscendCurrent()) return;
    }
}

std::vector<Bytes> MalformedFiles() {
    std::vector<Bytes> files = {
        {},
        Str("RIF"),
        Str("RIFF"),
        Cat({Str("RIFF"), U32(0xFFFFFFFFu)}),
        Cat({Str("RIFF"), U32(0xFFFFFFFFu), Str("DLS ")}),
        Cat({Str("RIFF"), U32(0xFFFFFFFFu), Str("DLS "), Str("LIST"), U32(0xFFFFFFFFu), Str("lins"), Str("ins "),
             U32(0x7FFFFFFFu)}),
        Cat({Str("RIFF"), U32(30), Str("DLS "), Str("LIST"), U32(2), Str("lins"), Str("colh"), U32(0xFFFFFFF9u)}),
        Cat({Str("RIFF"), U32(40), Str("DLS "), Str("colh"), U32(0x7FFFFFF0u), U32(1)}),
        Cat({Str("RIFF"), U32(3), Str("DLS "), Str("colh"), U32(4), U32(1)}),
        Cat({Str("RIFF"), U32(100), Str("DLS "), Str("LIST"), U32(0), Str("wvpl")}),
        Cat({Str("RIFF"), U32(100), Str("DLS "), Str("colh"), U32(4)}),  // truncated data
        Cat({Str("RIFF"), U32(100), Str("DLS "), Str("LI")}),            // truncated header
    };
    std::mt19937 rng(20240601);
    for (int i = 0; i < 200; ++i) {
        Bytes b = Riff("DLS ", {List("lins", {List("ins ", {Chunk("insh", Seq(12))}), Chunk("ptbl", Seq(9))})});
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < flips; ++f) b[rng() % b.size()] = static_cast<uint8_t>(rng());
        b.resize(rng() % (b.size() + 1));
        files.push_back(b);
    }
    return files;
}

template <typename B>
class RiffMalformed : public ::testing::Test {};
TYPED_TEST_SUITE(RiffMalformed, Backends);

TYPED_TEST(RiffMalformed, WalksEndWithoutCrashing) {
    Bytes sinkBlock(64, 0);
    CRiffMemFile sink;
    ASSERT_EQ(1, sink.OpenMemory(sinkBlock.data(), 64, zu::RIFF_FORM_NONE, zu::RIFF_OPEN_CREATE));
    TypeParam backend;
    for (const Bytes& file : MalformedFiles()) {
        for (uint32_t form : {zu::RIFF_FORM_ANY, zu::RIFF_FORM_NONE}) {
            typename TypeParam::Handler h;
            if (!backend.OpenRead(h, file, form)) continue;
            Walk(h, sink, 64);
            h.Rewind();
            EXPECT_EQ(0u, h.GetChunkSize(FourCC("zzzz"), false));
            h.GetChunkSize(FourCC("lins"), true);
            uint8_t buffer[16];
            h.ReadChunk(FourCC("colh"), buffer, sizeof(buffer), true);
            h.ReadChunk(FourCC("ptbl"), buffer, sizeof(buffer), false);
            h.Rewind();
            h.CopyChunk(sink, FourCC("lins"), true);
            sink.Reset();
        }
    }
}

TEST(RiffLimits, SearchLimitsOfAbsurdParents) {
    // A form whose size overflows 32 bits with its offset does not limit the search.
    Bytes huge = Cat({Str("RIFF"), U32(0xFFFFFFFFu), Str("DLS "), Chunk("colh", U32(7))});
    CRiffMemFile h;
    ASSERT_EQ(1, h.OpenMemoryReadOnly(huge.data(), static_cast<uint32_t>(huge.size()), zu::RIFF_FORM_DLS));
    uint32_t value[1] = {};
    EXPECT_EQ(1, h.ReadChunk(FourCC("colh"), value, 4, true));
    EXPECT_EQ(7u, zu::LoadLE32(value));
    // A list whose end lies beyond 4 GB does not wrap around to a tiny limit.
    Bytes wrap = Cat({Str("RIFF"), U32(100), Str("DLS "), Str("LIST"), U32(0xFFFFFFFFu), Str("lins"), Chunk("ins ", Seq(2))});
    CRiffMemFile w;
    ASSERT_EQ(1, w.OpenMemoryReadOnly(wrap.data(), static_cast<uint32_t>(wrap.size()), zu::RIFF_FORM_DLS));
    ASSERT_EQ(1, w.DescendList(FourCC("lins")));
    EXPECT_EQ(1, w.Descend(FourCC("ins "), false));
    // A form too small for any chunk finds nothing.
    Bytes tiny = Cat({Str("RIFF"), U32(4), Str("DLS "), Chunk("colh", U32(7))});
    CRiffMemFile t;
    ASSERT_EQ(1, t.OpenMemoryReadOnly(tiny.data(), static_cast<uint32_t>(tiny.size()), zu::RIFF_FORM_DLS));
    EXPECT_EQ(0, t.Descend(FourCC("colh"), false));
    EXPECT_EQ(12u, t.Position());
}

}  // namespace

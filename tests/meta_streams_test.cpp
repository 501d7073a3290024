// The metadata streams and the summary records: the exact bytes and results of
// the summary and generic streams, reading them as a host does, the record
// layout, replacing a text, and loading the INFO list of DLS, SoundFont 2 and
// malformed files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kernel/byte_order.h"
#include "meta/generic_stream.h"
#include "meta/list_stream.h"
#include "meta/summary_records.h"
#include "platform/platform.h"
#include "plugin/allocator.h"
#include "support/fixture_builder.h"
#include "support/temp_dir.h"
#include "zuinstr/zuinstr_guids.h"
#include "zuinstr/zuinstr_list.h"
#include "zuinstr/zuinstr_meta.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zu::FourCC;

constexpr HRESULT kOutOfRange = static_cast<HRESULT>(0x800A0026L);
constexpr IID kIidSequentialStream = {0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3A}};
constexpr uint8_t kSummaryKindBytes[16] = {0xBC, 0x94, 0x5F, 0x92, 0x5A, 0x52, 0xD2, 0x11,
                                           0x86, 0xDC, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};

// ---- Lists and streams held by RAII ----

struct ListDestroyer {
    void operator()(tZULIST* list) const { ZuList_Destroy(list); }
};
using ListPtr = std::unique_ptr<tZULIST, ListDestroyer>;

ListPtr MakeList(uint32_t options = ZULIST_OPT_THREADSAFE | ZULIST_OPT_HEAPITEMS) {
    tZULIST* list = nullptr;
    EXPECT_EQ(ZuList_CreateExZ(&list, 8, -1, -1, options), S_OK);
    return ListPtr(list);
}

struct Summary {
    ListPtr items = MakeList();
    ListPtr records = MakeList();
    void Set(const char (&fourCC)[5], const std::u16string& text) {
        const std::basic_string<WCHAR> w(text.begin(), text.end());
        ASSERT_EQ(ZuFMMeta_SetSummaryText(items.get(), records.get(), FourCC(fourCC), w.c_str()), S_OK);
    }
};

struct StreamReleaser {
    void operator()(IStream* s) const { s->Release(); }
};
using StreamPtr = std::unique_ptr<IStream, StreamReleaser>;

StreamPtr SummaryStreamOver(tZULIST* items) {
    IStream* s = nullptr;
    EXPECT_EQ(zu::CreateSummaryStream(items, &s), S_OK);
    return StreamPtr(s);
}

StreamPtr GenericStreamOver(tZULIST* records) {
    IStream* s = nullptr;
    EXPECT_EQ(ZuMetaStream_CreateGeneric(records, GUID_SUMMARYLIST, &s), S_OK);
    return StreamPtr(s);
}

struct ReadResult {
    HRESULT hr;
    Bytes bytes;
};

ReadResult ReadN(IStream* s, ULONG count) {
    Bytes buffer(count + 1, 0xEE);
    ULONG got = 0xDEAD;
    const HRESULT hr = s->Read(buffer.data(), count, &got);
    EXPECT_LE(got, count);
    buffer.resize(got <= count ? got : 0);
    return {hr, buffer};
}

uint64_t SeekTo(IStream* s, int64_t move, DWORD origin, HRESULT expected = S_OK) {
    uint64_t position = 0xBAD;
    EXPECT_EQ(s->Seek(move, origin, &position), expected);
    return position;
}

// ---- Expected bytes, built independently of the module ----

void Put32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutText(Bytes& out, const std::u16string& text) {
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}
Bytes ItemBytes(const char (&fourCC)[5], const std::u16string& text) {
    Bytes out;
    Put32(out, 12);
    out.insert(out.end(), fourCC, fourCC + 4);
    Put32(out, static_cast<uint32_t>((text.size() + 1) * 2));
    PutText(out, text);
    return out;
}
Bytes RecordBytes(const char (&fourCC)[5], const std::u16string& text) {
    const Bytes item = ItemBytes(fourCC, text);
    Bytes out;
    Put32(out, 28);
    Put32(out, 100);
    out.insert(out.end(), kSummaryKindBytes, kSummaryKindBytes + 16);
    Put32(out, static_cast<uint32_t>(item.size()));
    out.insert(out.end(), item.begin(), item.end());
    return out;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes SummaryHeader(uint32_t count) {
    Bytes out;
    Put32(out, 12);
    Put32(out, 100);
    Put32(out, count);
    return out;
}
Bytes GenericHeader(uint32_t count) {
    Bytes out;
    Put32(out, 28);
    Put32(out, 100);
    Put32(out, count);
    out.insert(out.end(), kSummaryKindBytes, kSummaryKindBytes + 16);
    return out;
}

const uint8_t* Slot(const tZULIST* list, int32_t i) {
    const void* p = nullptr;
    std::memcpy(&p, static_cast<const uint8_t*>(list->items) + static_cast<size_t>(i) * list->itemSize, sizeof p);
    return static_cast<const uint8_t*>(p);
}
Bytes SlotItem(const tZULIST* list, int32_t i) {
    const uint8_t* p = Slot(list, i);
    return Bytes(p, p + 12 + zu::LoadLE32(p + 8));
}
Bytes SlotRecord(const tZULIST* list, int32_t i) {
    const uint8_t* p = Slot(list, i);
    return Bytes(p, p + 28 + zu::LoadLE32(p + 24));
}

std::u16string TextOf(const uint8_t* item) {
    size_t chars = 0;
    const WCHAR* text = zu::SummaryItemText(item, &chars);
    return std::u16string(text, text + chars);
}

// Every FourCC and text of a summary, in list order, checking that the two
// lists agree record for record.
std::vector<std::pair<std::string, std::u16string>> Entries(const Summary& s) {
    std::vector<std::pair<std::string, std::u16string>> out;
    EXPECT_EQ(s.items->count, s.records->count);
    for (int32_t i = 0; i < s.items->count; ++i) {
        const Bytes item = SlotItem(s.items.get(), i);
        const Bytes record = SlotRecord(s.records.get(), i);
        EXPECT_EQ(Bytes(record.begin() + 28, record.end()), item);
        out.emplace_back(std::string(item.begin() + 4, item.begin() + 8), TextOf(item.data()));
    }
    return out;
}

// The two-item summary of the stream cases: texts of one and two characters.
Summary TwoItems() {
    Summary s;
    s.Set("INAM", u"a");
    s.Set("ICMT", u"bc");
    return s;
}
const Bytes kTwoItemStream =
    Cat({SummaryHeader(2), ItemBytes("INAM", u"a"), ItemBytes("ICMT", u"bc")});

// ---- Summary stream ----

TEST(SummaryStream, EmptyListGivesExactlyTheTwelveHeaderBytes) {
    ListPtr items = MakeList();
    StreamPtr s = SummaryStreamOver(items.get());
    const ReadResult all = ReadN(s.get(), 100);
    EXPECT_EQ(all.hr, S_OK);
    EXPECT_EQ(all.bytes, (Bytes{0x0C, 0, 0, 0, 0x64, 0, 0, 0, 0, 0, 0, 0}));
    const ReadResult more = ReadN(s.get(), 10);
    EXPECT_EQ(more.hr, E_INVALIDARG);
    EXPECT_TRUE(more.bytes.empty());

    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    EXPECT_EQ(ReadN(s.get(), 12).hr, S_OK);
    EXPECT_EQ(ReadN(s.get(), 1).hr, E_INVALIDARG);
}

TEST(SummaryStream, TwoItemsMakeFortySixBytes) {
    Summary sum = TwoItems();
    StreamPtr s = SummaryStreamOver(sum.items.get());
    ASSERT_EQ(kTwoItemStream.size(), 46u);

    const ReadResult exact = ReadN(s.get(), 46);
    EXPECT_EQ(exact.hr, S_OK);
    EXPECT_EQ(exact.bytes, kTwoItemStream);
    // Nothing is left: the finished last item answers E_FAIL.
    const ReadResult after = ReadN(s.get(), 1);
    EXPECT_EQ(after.hr, E_FAIL);
    EXPECT_TRUE(after.bytes.empty());

    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    const ReadResult over = ReadN(s.get(), 100);
    EXPECT_EQ(over.hr, E_FAIL);
    EXPECT_EQ(over.bytes, kTwoItemStream);
    const ReadResult none = ReadN(s.get(), 100);
    EXPECT_EQ(none.hr, E_INVALIDARG);
    EXPECT_TRUE(none.bytes.empty());
}

TEST(SummaryStream, SeekToStartAfterHalfAnItemReadsEverythingAgain) {
    Summary sum = TwoItems();
    StreamPtr s = SummaryStreamOver(sum.items.get());
    const ReadResult part = ReadN(s.get(), 12 + 8);
    EXPECT_EQ(part.hr, S_OK);
    EXPECT_EQ(part.bytes, Bytes(kTwoItemStream.begin(), kTwoItemStream.begin() + 20));

    // The distance of an absolute seek is ignored: it always goes to the start.
    EXPECT_EQ(SeekTo(s.get(), 7, ZU_STREAM_SEEK_SET), 0u);
    const ReadResult again = ReadN(s.get(), 46);
    EXPECT_EQ(again.hr, S_OK);
    EXPECT_EQ(again.bytes, kTwoItemStream);
}

TEST(SummaryStream, SeekToEndReportsTheItemCount) {
    Summary sum = TwoItems();
    StreamPtr s = SummaryStreamOver(sum.items.get());
    ReadN(s.get(), 5);
    EXPECT_EQ(SeekTo(s.get(), 0, ZU_STREAM_SEEK_END), 2u);
    const ReadResult r = ReadN(s.get(), 46);
    EXPECT_EQ(r.hr, E_INVALIDARG);
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_EQ(s->Seek(0, ZU_STREAM_SEEK_END, nullptr), S_OK);

    EXPECT_EQ(SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET), 0u);
    EXPECT_EQ(ReadN(s.get(), 46).bytes, kTwoItemStream);
}

TEST(SummaryStream, ReadArgumentsAreChecked) {
    Summary sum = TwoItems();
    StreamPtr s = SummaryStreamOver(sum.items.get());
    uint8_t buffer[8];
    ULONG got = 77;
    EXPECT_EQ(s->Read(buffer, 0, &got), E_INVALIDARG);
    EXPECT_EQ(got, 0u);
    got = 77;
    EXPECT_EQ(s->Read(nullptr, 8, &got), E_INVALIDARG);
    EXPECT_EQ(got, 77u);
    // The count of bytes read may be left out.
    EXPECT_EQ(s->Read(buffer, 8, nullptr), S_OK);
    EXPECT_EQ(Bytes(buffer, buffer + 8), Bytes(kTwoItemStream.begin(), kTwoItemStream.begin() + 8));
    // The failed calls did not move the cursor.
    EXPECT_EQ(ReadN(s.get(), 38).bytes, Bytes(kTwoItemStream.begin() + 8, kTwoItemStream.end()));
}

TEST(SummaryStream, WithoutAListReadAndSeekAnswer800A0026) {
    StreamPtr s = SummaryStreamOver(nullptr);
    ASSERT_TRUE(s);
    uint8_t buffer[4];
    ULONG got = 5;
    EXPECT_EQ(s->Read(buffer, 4, &got), kOutOfRange);
    EXPECT_EQ(s->Read(buffer, 0, &got), kOutOfRange);
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(s->Read(nullptr, 4, &got), E_INVALIDARG);
    for (DWORD origin : {ZU_STREAM_SEEK_SET, ZU_STREAM_SEEK_CUR, ZU_STREAM_SEEK_END})
        EXPECT_EQ(s->Seek(0, origin, nullptr), kOutOfRange);
}

TEST(SummaryStream, ByteAtATimeGivesTheSameBytes) {
    Summary sum = TwoItems();
    StreamPtr s = SummaryStreamOver(sum.items.get());
    Bytes all;
    for (size_t i = 0; i < kTwoItemStream.size(); ++i) {
        const ReadResult one = ReadN(s.get(), 1);
        ASSERT_EQ(one.hr, S_OK) << "byte " << i;
        ASSERT_EQ(one.bytes.size(), 1u);
        all.push_back(one.bytes[0]);
    }
    EXPECT_EQ(all, kTwoItemStream);
    EXPECT_EQ(ReadN(s.get(), 1).hr, E_FAIL);
}

TEST(SummaryStream, HostReadsItemByItem) {
    Summary sum;
    sum.Set("INAM", u"Grand Piano");
    sum.Set("ICOP", u"");
    sum.Set("ICMT", u"x");
    StreamPtr s = SummaryStreamOver(sum.items.get());
    ASSERT_EQ(SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET), 0u);
    const ReadResult head = ReadN(s.get(), 12);
    ASSERT_EQ(head.hr, S_OK);
    const uint32_t count = zu::LoadLE32(head.bytes.data() + 8);
    ASSERT_EQ(count, 3u);
    std::vector<std::pair<std::string, std::u16string>> seen;
    for (uint32_t i = 0; i < count; ++i) {
        const ReadResult itemHead = ReadN(s.get(), 12);
        ASSERT_EQ(itemHead.hr, S_OK);
        ASSERT_EQ(zu::LoadLE32(itemHead.bytes.data()), 12u);
        const uint32_t textBytes = zu::LoadLE32(itemHead.bytes.data() + 8);
        const ReadResult text = ReadN(s.get(), textBytes);
        ASSERT_EQ(text.hr, S_OK);
        ASSERT_EQ(text.bytes.size(), textBytes);
        std::u16string t;
        for (uint32_t k = 0; k + 2 < textBytes; k += 2) t.push_back(static_cast<char16_t>(zu::LoadLE16(&text.bytes[k])));
        EXPECT_EQ(zu::LoadLE16(&text.bytes[textBytes - 2]), 0u);
        seen.emplace_back(std::string(itemHead.bytes.begin() + 4, itemHead.bytes.begin() + 8), t);
    }
    const std::vector<std::pair<std::string, std::u16string>> expected = {
        {"INAM", u"Grand Piano"}, {"ICOP", u""}, {"ICMT", u"x"}};
    EXPECT_EQ(seen, expected);
}

TEST(SummaryStream, RelativeSeekEqualsReadingAsManyBytes) {
    Summary sum = TwoItems();
    StreamPtr s = SummaryStreamOver(sum.items.get());
    for (uint32_t k = 0; k <= kTwoItemStream.size(); ++k) {
        SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
        SeekTo(s.get(), k, ZU_STREAM_SEEK_CUR);
        const uint32_t rest = static_cast<uint32_t>(kTwoItemStream.size()) - k;
        if (rest == 0) continue;
        const ReadResult r = ReadN(s.get(), rest);
        EXPECT_EQ(r.hr, S_OK) << "after skipping " << k;
        EXPECT_EQ(r.bytes, Bytes(kTwoItemStream.begin() + k, kTwoItemStream.end())) << "after skipping " << k;
    }
    // The position reported is the item index.
    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    EXPECT_EQ(SeekTo(s.get(), 5, ZU_STREAM_SEEK_CUR), 0u);
    EXPECT_EQ(SeekTo(s.get(), 12 - 5 + 16, ZU_STREAM_SEEK_CUR), 0u);
    EXPECT_EQ(SeekTo(s.get(), 1, ZU_STREAM_SEEK_CUR), 1u);
    // Past the last item; a negative distance is a huge one in 32 bits.
    EXPECT_EQ(SeekTo(s.get(), 18, ZU_STREAM_SEEK_CUR, kOutOfRange), 0xBADu);
    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    SeekTo(s.get(), 47, ZU_STREAM_SEEK_CUR, kOutOfRange);
    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    SeekTo(s.get(), -1, ZU_STREAM_SEEK_CUR, kOutOfRange);
    // Only the low 32 bits of the distance count.
    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    SeekTo(s.get(), (int64_t{1} << 32) + 12, ZU_STREAM_SEEK_CUR);
    EXPECT_EQ(ReadN(s.get(), 34).bytes, Bytes(kTwoItemStream.begin() + 12, kTwoItemStream.end()));
}

TEST(SummaryStream, UnknownSeekOriginMovesNothing) {
    Summary sum = TwoItems();
    StreamPtr s = SummaryStreamOver(sum.items.get());
    ReadN(s.get(), 30);
    EXPECT_EQ(SeekTo(s.get(), 0, 3), 1u);
    EXPECT_EQ(ReadN(s.get(), 16).bytes, Bytes(kTwoItemStream.begin() + 30, kTwoItemStream.end()));
}

TEST(SummaryStream, HeaderCountFollowsTheList) {
    Summary sum;
    StreamPtr s = SummaryStreamOver(sum.items.get());
    sum.Set("INAM", u"late");
    EXPECT_EQ(ReadN(s.get(), 100).bytes, Cat({SummaryHeader(1), ItemBytes("INAM", u"late")}));
}

TEST(SummaryStream, NullSlotIsSteppedOver) {
    Summary sum = TwoItems();
    ListPtr pointers = MakeList(0);
    const uint8_t* slots[3] = {Slot(sum.items.get(), 0), nullptr, Slot(sum.items.get(), 1)};
    ASSERT_EQ(ZuList_InsertList(pointers.get(), -1, slots, 3), S_OK);
    StreamPtr s = SummaryStreamOver(pointers.get());
    const ReadResult r = ReadN(s.get(), 100);
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_EQ(r.bytes, Cat({SummaryHeader(3), ItemBytes("INAM", u"a"), ItemBytes("ICMT", u"bc")}));

    const uint8_t* first[2] = {nullptr, Slot(sum.items.get(), 0)};
    ListPtr leadingNull = MakeList(0);
    ASSERT_EQ(ZuList_InsertList(leadingNull.get(), -1, first, 2), S_OK);
    StreamPtr t = SummaryStreamOver(leadingNull.get());
    EXPECT_EQ(ReadN(t.get(), 100).bytes, Cat({SummaryHeader(2), ItemBytes("INAM", u"a")}));
}

TEST(SummaryStream, QueryInterfaceAnswersUnknownAndStreamOnly) {
    ListPtr items = MakeList();
    StreamPtr s = SummaryStreamOver(items.get());
    void* out = nullptr;
    ASSERT_EQ(s->QueryInterface(IID_ZuIUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(s.get()));
    EXPECT_EQ(s->Release(), 1u);
    ASSERT_EQ(s->QueryInterface(IID_ZuIStream, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(s.get()));
    EXPECT_EQ(s->Release(), 1u);

    for (const IID& iid : {kIidSequentialStream, IID_IZuReadMeta, GUID_SUMMARYLIST}) {
        out = &out;
        EXPECT_EQ(s->QueryInterface(iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(s->QueryInterface(IID_ZuIStream, nullptr), E_POINTER);
}

TEST(SummaryStream, EveryOtherSlotIsNotImplemented) {
    ListPtr items = MakeList();
    StreamPtr s = SummaryStreamOver(items.get());
    uint8_t buffer[4] = {};
    uint64_t a = 0, b = 0;
    IStream* clone = nullptr;
    EXPECT_EQ(s->Write(buffer, 4, nullptr), E_NOTIMPL);
    EXPECT_EQ(s->SetSize(10), E_NOTIMPL);
    EXPECT_EQ(s->CopyTo(s.get(), 4, &a, &b), E_NOTIMPL);
    EXPECT_EQ(s->Commit(0), E_NOTIMPL);
    EXPECT_EQ(s->Revert(), E_NOTIMPL);
    EXPECT_EQ(s->LockRegion(0, 4, 0), E_NOTIMPL);
    EXPECT_EQ(s->UnlockRegion(0, 4, 0), E_NOTIMPL);
    EXPECT_EQ(s->Stat(buffer, 0), E_NOTIMPL);
    EXPECT_EQ(s->Clone(&clone), E_NOTIMPL);
}

TEST(SummaryStream, CreatedWithOneReferenceAndFreedByTheLast) {
    ListPtr items = MakeList();
    IStream* s = nullptr;
    ASSERT_EQ(zu::CreateSummaryStream(items.get(), &s), S_OK);
    EXPECT_EQ(static_cast<zu::CZuListStream*>(s)->RefCount(), 1u);
    EXPECT_EQ(s->AddRef(), 2u);
    EXPECT_EQ(s->Release(), 1u);
    EXPECT_EQ(s->Release(), 0u);  // freed here; the leak checker sees the rest
}

TEST(SummaryStream, FactoryRefusesBadArguments) {
    ListPtr items = MakeList();
    EXPECT_EQ(zu::CreateSummaryStream(items.get(), nullptr), E_INVALIDARG);
    tZULIST* narrow = nullptr;
    ASSERT_EQ(ZuList_CreateExZ(&narrow, 4, -1, -1, ZULIST_OPT_FIXEDSIZE), S_OK);
    ListPtr narrowList(narrow);
    IStream* out = reinterpret_cast<IStream*>(&out);
    EXPECT_EQ(zu::CreateSummaryStream(narrow, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
}

// ---- Generic stream ----

TEST(GenericStream, OneRecordOfOneCharacter) {
    Summary sum;
    sum.Set("INAM", u"a");
    StreamPtr s = GenericStreamOver(sum.records.get());
    const ReadResult head = ReadN(s.get(), 28);
    EXPECT_EQ(head.hr, S_OK);
    EXPECT_EQ(head.bytes, GenericHeader(1));
    const ReadResult record = ReadN(s.get(), 44);
    EXPECT_EQ(record.hr, S_OK);
    EXPECT_EQ(record.bytes, RecordBytes("INAM", u"a"));
    EXPECT_EQ(record.bytes.size(), 28u + 12u + 4u);

    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    const ReadResult over = ReadN(s.get(), 100);
    EXPECT_EQ(over.hr, E_FAIL);
    EXPECT_EQ(over.bytes.size(), 72u);
}

TEST(GenericStream, EmptyListGivesTheHeaderWithTheKind) {
    ListPtr records = MakeList();
    StreamPtr s = GenericStreamOver(records.get());
    const ReadResult r = ReadN(s.get(), 100);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.bytes, GenericHeader(0));
    EXPECT_EQ(ReadN(s.get(), 1).hr, E_INVALIDARG);

    IStream* other = nullptr;
    ASSERT_EQ(ZuMetaStream_CreateGeneric(records.get(), GUID_UNKNOWNMETA, &other), S_OK);
    StreamPtr o(other);
    const Bytes h = ReadN(o.get(), 28).bytes;
    ASSERT_EQ(h.size(), 28u);
    GUID kind;
    kind.Data1 = zu::LoadLE32(&h[12]);
    kind.Data2 = zu::LoadLE16(&h[16]);
    kind.Data3 = zu::LoadLE16(&h[18]);
    std::memcpy(kind.Data4, &h[20], 8);
    EXPECT_TRUE(ZuGuidEqual(kind, GUID_UNKNOWNMETA));
}

TEST(GenericStream, HostReadsRecordByRecord) {
    Summary sum;
    sum.Set("INAM", u"Strings");
    sum.Set("ICMT", u"");
    sum.Set("ISFT", u"zu");
    StreamPtr s = GenericStreamOver(sum.records.get());
    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    const ReadResult head = ReadN(s.get(), 28);
    ASSERT_EQ(head.hr, S_OK);
    ASSERT_EQ(zu::LoadLE32(&head.bytes[8]), 3u);
    std::vector<std::pair<std::string, std::u16string>> seen;
    for (int i = 0; i < 3; ++i) {
        const ReadResult recordHead = ReadN(s.get(), 28);
        ASSERT_EQ(recordHead.hr, S_OK);
        EXPECT_EQ(zu::LoadLE32(&recordHead.bytes[0]), 28u);
        EXPECT_EQ(zu::LoadLE32(&recordHead.bytes[4]), 100u);
        EXPECT_EQ(Bytes(recordHead.bytes.begin() + 8, recordHead.bytes.begin() + 24),
                  Bytes(kSummaryKindBytes, kSummaryKindBytes + 16));
        const uint32_t dataSize = zu::LoadLE32(&recordHead.bytes[24]);
        const ReadResult itemHead = ReadN(s.get(), 12);
        ASSERT_EQ(itemHead.hr, S_OK);
        const uint32_t textBytes = zu::LoadLE32(&itemHead.bytes[8]);
        EXPECT_EQ(dataSize, 12 + textBytes);
        const ReadResult text = ReadN(s.get(), textBytes);
        ASSERT_EQ(text.hr, S_OK);
        std::u16string t;
        for (uint32_t k = 0; k + 2 < textBytes; k += 2) t.push_back(static_cast<char16_t>(zu::LoadLE16(&text.bytes[k])));
        seen.emplace_back(std::string(itemHead.bytes.begin() + 4, itemHead.bytes.begin() + 8), t);
    }
    const std::vector<std::pair<std::string, std::u16string>> expected = {
        {"INAM", u"Strings"}, {"ICMT", u""}, {"ISFT", u"zu"}};
    EXPECT_EQ(seen, expected);
    const ReadResult end = ReadN(s.get(), 28);
    EXPECT_EQ(end.hr, E_FAIL);
    EXPECT_TRUE(end.bytes.empty());
}

TEST(GenericStream, SeeksAsTheSummaryStreamDoes) {
    Summary sum = TwoItems();
    StreamPtr s = GenericStreamOver(sum.records.get());
    const Bytes all = Cat({GenericHeader(2), RecordBytes("INAM", u"a"), RecordBytes("ICMT", u"bc")});
    EXPECT_EQ(ReadN(s.get(), 40).bytes, Bytes(all.begin(), all.begin() + 40));
    EXPECT_EQ(SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET), 0u);
    EXPECT_EQ(ReadN(s.get(), static_cast<ULONG>(all.size())).bytes, all);
    EXPECT_EQ(SeekTo(s.get(), 0, ZU_STREAM_SEEK_END), 2u);
    EXPECT_EQ(ReadN(s.get(), 4).hr, E_INVALIDARG);
    for (uint32_t k = 0; k <= all.size(); ++k) {
        SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
        SeekTo(s.get(), k, ZU_STREAM_SEEK_CUR);
        if (k == all.size()) continue;
        EXPECT_EQ(ReadN(s.get(), static_cast<ULONG>(all.size() - k)).bytes, Bytes(all.begin() + k, all.end()));
    }
    SeekTo(s.get(), 0, ZU_STREAM_SEEK_SET);
    SeekTo(s.get(), static_cast<int64_t>(all.size()) + 1, ZU_STREAM_SEEK_CUR, kOutOfRange);
}

TEST(GenericStream, ReadArgumentsAndMissingList) {
    Summary sum = TwoItems();
    StreamPtr s = GenericStreamOver(sum.records.get());
    uint8_t buffer[4];
    ULONG got = 9;
    EXPECT_EQ(s->Read(buffer, 0, &got), E_INVALIDARG);
    EXPECT_EQ(got, 0u);
    got = 9;
    EXPECT_EQ(s->Read(nullptr, 4, &got), E_INVALIDARG);
    EXPECT_EQ(got, 9u);

    zu::CZuGenericStream* bare = zu::ZuNew<zu::CZuGenericStream>(nullptr, GUID_SUMMARYLIST);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->AddRef(), 1u);
    EXPECT_EQ(bare->Read(buffer, 4, &got), kOutOfRange);
    EXPECT_EQ(bare->Seek(0, ZU_STREAM_SEEK_SET, nullptr), kOutOfRange);
    EXPECT_EQ(bare->Release(), 0u);
}

TEST(GenericStream, FactoryAndInterfaces) {
    Summary sum;
    IStream* out = reinterpret_cast<IStream*>(&out);
    EXPECT_EQ(ZuMetaStream_CreateGeneric(nullptr, GUID_SUMMARYLIST, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(ZuMetaStream_CreateGeneric(sum.records.get(), GUID_SUMMARYLIST, nullptr), E_INVALIDARG);

    ASSERT_EQ(ZuMetaStream_CreateGeneric(sum.records.get(), GUID_SUMMARYLIST, &out), S_OK);
    StreamPtr s(out);
    EXPECT_EQ(static_cast<zu::CZuGenericStreamBase*>(out)->RefCount(), 1u);
    void* q = nullptr;
    ASSERT_EQ(s->QueryInterface(IID_ZuIStream, &q), S_OK);
    EXPECT_EQ(q, static_cast<void*>(out));
    EXPECT_EQ(s->Release(), 1u);
    ASSERT_EQ(s->QueryInterface(IID_ZuIUnknown, &q), S_OK);
    EXPECT_EQ(s->Release(), 1u);
    // Unlike the summary stream it leaves the out pointer alone.
    q = &q;
    EXPECT_EQ(s->QueryInterface(kIidSequentialStream, &q), E_NOINTERFACE);
    EXPECT_EQ(q, static_cast<void*>(&q));
    EXPECT_EQ(s->QueryInterface(kIidSequentialStream, nullptr), E_NOINTERFACE);

    uint8_t buffer[4] = {};
    IStream* clone = nullptr;
    EXPECT_EQ(s->Write(buffer, 4, nullptr), E_NOTIMPL);
    EXPECT_EQ(s->SetSize(1), E_NOTIMPL);
    EXPECT_EQ(s->CopyTo(s.get(), 1, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(s->Commit(0), E_NOTIMPL);
    EXPECT_EQ(s->Revert(), E_NOTIMPL);
    EXPECT_EQ(s->LockRegion(0, 1, 0), E_NOTIMPL);
    EXPECT_EQ(s->UnlockRegion(0, 1, 0), E_NOTIMPL);
    EXPECT_EQ(s->Stat(buffer, 0), E_NOTIMPL);
    EXPECT_EQ(s->Clone(&clone), E_NOTIMPL);
}

// ---- Summary records ----

TEST(SummaryRecord, InamOfFiveCharactersIsFiftyTwoBytes) {
    Summary sum;
    sum.Set("INAM", u"Piano");
    ASSERT_EQ(sum.records->count, 1);
    const Bytes r = SlotRecord(sum.records.get(), 0);
    ASSERT_EQ(r.size(), 52u);
    EXPECT_EQ(zu::LoadLE32(&r[0]), 28u);
    EXPECT_EQ(zu::LoadLE32(&r[4]), 100u);
    EXPECT_EQ(Bytes(r.begin() + 8, r.begin() + 24), Bytes(kSummaryKindBytes, kSummaryKindBytes + 16));
    EXPECT_EQ(zu::LoadLE32(&r[24]), 24u);
    EXPECT_EQ(zu::LoadLE32(&r[28]), 12u);
    EXPECT_EQ(Bytes(r.begin() + 32, r.begin() + 36), (Bytes{0x49, 0x4E, 0x41, 0x4D}));
    EXPECT_EQ(zu::LoadLE32(&r[36]), 12u);
    EXPECT_EQ(Bytes(r.begin() + 40, r.end()), (Bytes{'P', 0, 'i', 0, 'a', 0, 'n', 0, 'o', 0, 0, 0}));
    EXPECT_EQ(r, RecordBytes("INAM", u"Piano"));
    // The item list holds the SummaryItem part in a block of its own.
    EXPECT_EQ(SlotItem(sum.items.get(), 0), ItemBytes("INAM", u"Piano"));
    EXPECT_NE(Slot(sum.items.get(), 0), Slot(sum.records.get(), 0) + 28);
}

TEST(SummaryRecord, EmptyTextHasTwoTextBytes) {
    Summary sum;
    sum.Set("ICMT", u"");
    ASSERT_EQ(ZuFMMeta_SetSummaryText(sum.items.get(), sum.records.get(), FourCC("ICOP"), nullptr), S_OK);
    for (int32_t i = 0; i < 2; ++i) {
        const Bytes item = SlotItem(sum.items.get(), i);
        EXPECT_EQ(zu::LoadLE32(&item[8]), 2u);
        EXPECT_EQ(item.size(), 14u);
        EXPECT_EQ(zu::LoadLE32(&SlotRecord(sum.records.get(), i)[24]), 14u);
    }
}

TEST(SummaryRecord, NonAsciiTextIsStoredAsUtf16) {
    Summary sum;
    sum.Set("INAM", u"Fl\u00FCgel \u266A \U0001F3B9");
    EXPECT_EQ(SlotItem(sum.items.get(), 0), ItemBytes("INAM", u"Fl\u00FCgel \u266A \U0001F3B9"));
}

TEST(SummaryRecord, SetSummaryTextMovesTheReplacedFourCCToTheEnd) {
    Summary sum;
    sum.Set("INAM", u"one");
    sum.Set("ICMT", u"two");
    sum.Set("ICOP", u"three");
    sum.Set("INAM", u"Wave 3");
    using E = std::vector<std::pair<std::string, std::u16string>>;
    EXPECT_EQ(Entries(sum), (E{{"ICMT", u"two"}, {"ICOP", u"three"}, {"INAM", u"Wave 3"}}));
    sum.Set("ICOP", u"3");
    EXPECT_EQ(Entries(sum), (E{{"ICMT", u"two"}, {"INAM", u"Wave 3"}, {"ICOP", u"3"}}));
    sum.Set("ISFT", u"new");
    EXPECT_EQ(Entries(sum), (E{{"ICMT", u"two"}, {"INAM", u"Wave 3"}, {"ICOP", u"3"}, {"ISFT", u"new"}}));
}

TEST(SummaryRecord, OnlyTheFirstOfARepeatedFourCCIsReplaced) {
    Summary sum;
    for (const char16_t* text : {u"first", u"second"}) {
        std::vector<uint8_t> record;
        const std::basic_string<WCHAR> w(text, text + std::char_traits<char16_t>::length(text));
        ASSERT_EQ(zu::BuildSummaryRecord(FourCC("INAM"), w.c_str(), w.size(), &record), S_OK);
        ASSERT_EQ(ZuList_AllocAndInsertItem(sum.records.get(), record.data(), record.size(), -1, nullptr), S_OK);
        ASSERT_EQ(ZuList_AllocAndInsertItem(sum.items.get(), record.data() + 28, record.size() - 28, -1, nullptr), S_OK);
    }
    sum.Set("INAM", u"third");
    using E = std::vector<std::pair<std::string, std::u16string>>;
    EXPECT_EQ(Entries(sum), (E{{"INAM", u"second"}, {"INAM", u"third"}}));
    EXPECT_EQ(TextOf(zu::FindSummaryItem(sum.items.get(), FourCC("INAM"))), u"second");
}

TEST(SummaryRecord, LookupOfItems) {
    Summary sum = TwoItems();
    EXPECT_EQ(TextOf(zu::FindSummaryItem(sum.items.get(), FourCC("ICMT"))), u"bc");
    EXPECT_EQ(zu::FindSummaryItem(sum.items.get(), FourCC("ICOP")), nullptr);
    EXPECT_EQ(zu::FindSummaryItem(nullptr, FourCC("ICMT")), nullptr);
    size_t chars = 9;
    EXPECT_EQ(zu::SummaryItemText(nullptr, &chars), nullptr);
    EXPECT_EQ(chars, 0u);
}

TEST(SummaryRecord, BadListsAndSizesAreRefused) {
    Summary sum;
    ListPtr plain = MakeList(0);  // slots, but no owned items
    const WCHAR text[] = {'x', 0};
    EXPECT_EQ(ZuFMMeta_SetSummaryText(nullptr, sum.records.get(), FourCC("INAM"), text), E_INVALIDARG);
    EXPECT_EQ(ZuFMMeta_SetSummaryText(sum.items.get(), nullptr, FourCC("INAM"), text), E_INVALIDARG);
    EXPECT_EQ(ZuFMMeta_SetSummaryText(sum.items.get(), plain.get(), FourCC("INAM"), text), E_INVALIDARG);
    EXPECT_EQ(sum.items->count, 0);

    std::vector<uint8_t> record;
    EXPECT_EQ(zu::BuildSummaryRecord(FourCC("INAM"), text, size_t{0x80000000u}, &record), E_OUTOFMEMORY);
    EXPECT_EQ(zu::BuildSummaryRecord(FourCC("INAM"), text, 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(zu::BuildSummaryRecord(FourCC("INAM"), nullptr, 5, &record), S_OK);
    EXPECT_EQ(Bytes(record.begin(), record.end()), RecordBytes("INAM", u""));
}

// ---- Loading the INFO list of a file ----

class OpenFile {
public:
    OpenFile(const zu::test::TempDir& dir, const std::string& name, const std::string& bytes) {
        zu::test::WriteFileBytes(dir.File(name), bytes);
        const auto path = dir.WidePath(name);
        uint32_t error = 0;
        handle_ = zu::platform::FileOpen(path.c_str(), zu::platform::FileAccess::Read,
                                         zu::platform::FileShare::ReadWrite,
                                         zu::platform::FileDisposition::OpenExisting, true, &error);
        EXPECT_NE(handle_, nullptr) << "error " << error;
    }
    ~OpenFile() { zu::platform::FileClose(handle_); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    void* handle() const { return handle_; }

private:
    zu::platform::FileHandle handle_ = nullptr;
};

class SummaryLoader : public ::testing::Test {
protected:
    // Loads `bytes` as a file into a fresh summary.
    HRESULT Load(const std::string& bytes, Summary& sum) {
        OpenFile file(dir_, "f" + std::to_string(counter_++), bytes);
        return ZuFMMeta_fillSummaryFromFileEx(file.handle(), sum.items.get(), sum.records.get());
    }
    zu::test::TempDir dir_;
    int counter_ = 0;
};

using Entry = std::pair<std::string, std::u16string>;
using EntryList = std::vector<Entry>;

std::string Le32(uint32_t v) { return zu::fixture::U32(v); }
// Chunks without pad bytes: the cases below give them even sizes or put them last.
std::string Sub(const std::string& id, const std::string& data) {
    return id + Le32(static_cast<uint32_t>(data.size())) + data;
}
std::string List(const std::string& type, const std::string& body) { return Sub("LIST", type + body); }
std::string Riff(const std::string& form, const std::string& body) { return Sub("RIFF", form + body); }

TEST_F(SummaryLoader, DlsTopLevelInfoOnly) {
    // The instruments and waves have "INFO" lists of their own, which are not the file's.
    zu::fixture::DlsDesc desc = zu::fixture::TwoWaveDls();
    desc.info = {{"INAM", "Two Waves"}, {"ICOP", "None"}, {"ISFT", "builder"}};
    Summary sum;
    ASSERT_EQ(Load(zu::fixture::BuildDlsBytes(desc), sum), S_OK);
    EXPECT_EQ(Entries(sum), (EntryList{{"INAM", u"Two Waves"}, {"ICOP", u"None"}, {"ISFT", u"builder"}}));
    EXPECT_EQ(SlotRecord(sum.records.get(), 0), RecordBytes("INAM", u"Two Waves"));
}

TEST_F(SummaryLoader, DlsInfoAfterThePoolIsFound) {
    zu::fixture::DlsDesc desc = zu::fixture::TwoWaveDls();
    desc.libgigOrder = true;  // "INFO" after "wvpl"
    Summary sum;
    ASSERT_EQ(Load(zu::fixture::BuildDlsBytes(desc), sum), S_OK);
    EXPECT_EQ(Entries(sum), (EntryList{{"INAM", u"Two Waves"}, {"ICOP", u"None"}}));
}

TEST_F(SummaryLoader, GigInfo) {
    Summary sum;
    ASSERT_EQ(Load(zu::fixture::BuildDlsBytes(zu::fixture::SmallGig(3)), sum), S_OK);
    EXPECT_EQ(Entries(sum), (EntryList{{"INAM", u"Small Gig"}}));
}

TEST_F(SummaryLoader, SoundFontInfoWithBinaryOddAndEmptyChunks) {
    zu::fixture::Sf2Desc desc = zu::fixture::SmallSf2();
    desc.info.push_back({"ICMT", "odd"});  // three bytes, no terminator, a pad byte
    desc.info.push_back({"ICOP", ""});
    desc.info.push_back({"IENG", std::string("Caf\xE9 \x80\0junk", 11)});
    Summary sum;
    ASSERT_EQ(Load(zu::fixture::BuildSf2(desc), sum), S_OK);
    EXPECT_EQ(Entries(sum), (EntryList{{"ifil", u"\u0002\u0001"},
                                       {"isng", u"EMU8000"},
                                       {"INAM", u"Small"},
                                       {"ICMT", u"odd"},
                                       {"ICOP", u""},
                                       {"IENG", u"Caf\u00E9 \u20AC"}}));
}

TEST_F(SummaryLoader, FirstOccurrenceOfAFourCCWins) {
    zu::fixture::DlsDesc desc = zu::fixture::TwoWaveDls();
    desc.info = {{"INAM", "First"}, {"ICMT", "c"}, {"INAM", "Second"}};
    Summary sum;
    ASSERT_EQ(Load(zu::fixture::BuildDlsBytes(desc), sum), S_OK);
    EXPECT_EQ(Entries(sum), (EntryList{{"INAM", u"First"}, {"ICMT", u"c"}}));

    // What the lists already hold wins as well, list by list.
    Summary held;
    held.Set("INAM", u"Wave 3");
    std::vector<uint8_t> record;
    const WCHAR old[] = {'o', 'l', 'd', 0};
    ASSERT_EQ(zu::BuildSummaryRecord(FourCC("ICMT"), old, 3, &record), S_OK);
    ASSERT_EQ(ZuList_AllocAndInsertItem(held.records.get(), record.data(), record.size(), -1, nullptr), S_OK);
    ASSERT_EQ(Load(zu::fixture::BuildDlsBytes(desc), held), S_OK);
    ASSERT_EQ(held.items->count, 2);
    ASSERT_EQ(held.records->count, 2);
    EXPECT_EQ(SlotItem(held.items.get(), 0), ItemBytes("INAM", u"Wave 3"));
    EXPECT_EQ(SlotItem(held.items.get(), 1), ItemBytes("ICMT", u"c"));
    EXPECT_EQ(SlotRecord(held.records.get(), 0), RecordBytes("INAM", u"Wave 3"));
    EXPECT_EQ(SlotRecord(held.records.get(), 1), RecordBytes("ICMT", u"old"));
}

TEST_F(SummaryLoader, WaveNameReplacesTheFileNameAfterLoading) {
    Summary sum;
    ASSERT_EQ(Load(zu::fixture::BuildDlsBytes(zu::fixture::TwoWaveDls()), sum), S_OK);
    sum.Set("INAM", u"Odd8");
    EXPECT_EQ(Entries(sum), (EntryList{{"ICOP", u"None"}, {"INAM", u"Odd8"}}));
}

TEST_F(SummaryLoader, FileWithoutInfoGivesEmptyLists) {
    zu::fixture::DlsDesc desc = zu::fixture::TwoWaveDls();
    desc.info.clear();
    Summary sum;
    ASSERT_EQ(Load(zu::fixture::BuildDlsBytes(desc), sum), S_OK);
    EXPECT_EQ(sum.items->count, 0);
    EXPECT_EQ(sum.records->count, 0);
    StreamPtr s = SummaryStreamOver(sum.items.get());
    EXPECT_EQ(ReadN(s.get(), 100).bytes, SummaryHeader(0));

    zu::fixture::Sf2Desc sf2 = zu::fixture::SmallSf2();
    sf2.info.clear();
    ASSERT_EQ(Load(zu::fixture::BuildSf2(sf2), sum), S_OK);
    EXPECT_EQ(sum.items->count, 0);

    // An "INFO" list inside another list is not the file's.
    const std::string nested = Riff("DLS ", List("lins", List("INFO", Sub("INAM", std::string("in\0\0", 4)))));
    ASSERT_EQ(Load(nested, sum), S_OK);
    EXPECT_EQ(sum.items->count, 0);

    // A bare header and an empty "INFO" list.
    ASSERT_EQ(Load("RIFF" + Le32(4) + "DLS ", sum), S_OK);
    ASSERT_EQ(Load("RIFF" + Le32(16) + "DLS " + "LIST" + Le32(4) + "INFO", sum), S_OK);
    EXPECT_EQ(sum.items->count, 0);
}

TEST_F(SummaryLoader, ListFormStartsFourBytesFurther) {
    const std::string info = "LIST" + Le32(4 + 8 + 8) + "INFO" + Sub("INAM", std::string("Listed\0\0", 8));
    const std::string bytes = "RIFF" + Le32(static_cast<uint32_t>(8 + info.size())) + "LIST" + Le32(0x11223344) + info;
    Summary sum;
    ASSERT_EQ(Load(bytes, sum), S_OK);
    EXPECT_EQ(Entries(sum), (EntryList{{"INAM", u"Listed"}}));
}

TEST_F(SummaryLoader, TruncatedInfoGivesWhatIsThere) {
    // "ICMT" claims 100 bytes; the file ends three bytes into it. The list and
    // the form claim more than the file holds too.
    const std::string bytes = "RIFF" + Le32(1000) + "DLS " + "LIST" + Le32(500) + "INFO" +
                              Sub("INAM", std::string("Alpha\0", 6)) + "ICMT" + Le32(100) + "Bet";
    Summary sum;
    ASSERT_EQ(Load(bytes, sum), S_OK);
    EXPECT_EQ(Entries(sum), (EntryList{{"INAM", u"Alpha"}, {"ICMT", u"Bet"}}));

    // A sub-chunk header cut short ends the list.
    Summary cut;
    ASSERT_EQ(Load("RIFF" + Le32(1000) + "DLS " + "LIST" + Le32(500) + "INFO" + Sub("INAM", "ab") + "ICM", cut), S_OK);
    EXPECT_EQ(Entries(cut), (EntryList{{"INAM", u"ab"}}));

    // A sub-chunk reaching past its list is cut at the list's end.
    Summary bounded;
    const std::string inner = "INFO" + Sub("INAM", "ab") + "ICMT" + Le32(40) + "xyz";
    ASSERT_EQ(Load("RIFF" + Le32(1000) + "DLS " + "LIST" + Le32(static_cast<uint32_t>(inner.size())) + inner +
                       Sub("ISFT", "after"),
                   bounded),
              S_OK);
    EXPECT_EQ(Entries(bounded), (EntryList{{"INAM", u"ab"}, {"ICMT", u"xyz"}}));
}

TEST_F(SummaryLoader, AbsurdSizesAreBoundedByTheFile) {
    const std::string bytes = "RIFF" + Le32(0xFFFFFFFFu) + "DLS " + "LIST" + Le32(0xFFFFFFFFu) + "INFO" +
                              Sub("INAM", "ok") + "ICMT" + Le32(0x7FFFFFF0u) + "huge claim";
    Summary sum;
    ASSERT_EQ(Load(bytes, sum), S_OK);
    EXPECT_EQ(Entries(sum), (EntryList{{"INAM", u"ok"}, {"ICMT", u"huge claim"}}));

    // A top-level chunk whose size runs past the file hides everything after it.
    Summary hidden;
    ASSERT_EQ(Load("RIFF" + Le32(100) + "DLS " + "junk" + Le32(0xFFFFFFF0u) + "LIST" + Le32(12) + "INFO" +
                       Sub("INAM", "no"),
                   hidden),
              S_OK);
    EXPECT_EQ(hidden.items->count, 0);

    // A text longer than one read block, without any zero.
    const std::string longText(10000, 'q');
    Summary big;
    ASSERT_EQ(Load("RIFF" + Le32(0) + "DLS " + "LIST" + Le32(static_cast<uint32_t>(4 + 8 + longText.size())) +
                       "INFO" + Sub("ICMT", longText),
                   big),
              S_OK);
    // A form size of 0 leaves no room for chunks.
    EXPECT_EQ(big.items->count, 0);
    ASSERT_EQ(Load("RIFF" + Le32(static_cast<uint32_t>(4 + 12 + 8 + longText.size())) + "DLS " + "LIST" +
                       Le32(static_cast<uint32_t>(4 + 8 + longText.size())) + "INFO" + Sub("ICMT", longText),
                   big),
              S_OK);
    ASSERT_EQ(big.items->count, 1);
    EXPECT_EQ(TextOf(Slot(big.items.get(), 0)), std::u16string(longText.begin(), longText.end()));
}

TEST_F(SummaryLoader, OneTextIsCutAtSixteenMegabytes) {
    const size_t limit = size_t{16} << 20;
    const std::string text(limit + 100, 'z');
    Summary sum;
    ASSERT_EQ(Load(Riff("DLS ", List("INFO", Sub("ICMT", text) + Sub("INAM", "ok"))), sum), S_OK);
    ASSERT_EQ(sum.items->count, 2);
    size_t chars = 0;
    zu::SummaryItemText(Slot(sum.items.get(), 0), &chars);
    EXPECT_EQ(chars, limit);
    EXPECT_EQ(zu::LoadLE32(Slot(sum.items.get(), 0) + 8), (limit + 1) * 2);
    EXPECT_EQ(TextOf(Slot(sum.items.get(), 1)), u"ok");
}

TEST_F(SummaryLoader, RefusesBadHandlesHeadersAndLists) {
    Summary sum;
    EXPECT_EQ(ZuFMMeta_fillSummaryFromFileEx(nullptr, sum.items.get(), sum.records.get()),
              static_cast<HRESULT>(0x8004E007L));
    EXPECT_EQ(ZuFMMeta_fillSummaryFromFileEx(reinterpret_cast<void*>(~uintptr_t{0}), sum.items.get(),
                                             sum.records.get()),
              static_cast<HRESULT>(0x8004E007L));
    EXPECT_EQ(Load("RIFF\x04", sum), static_cast<HRESULT>(0x8004E008L));
    EXPECT_EQ(Load("", sum), static_cast<HRESULT>(0x8004E008L));
    EXPECT_EQ(Load("JUNK" + Le32(4) + "DLS ", sum), static_cast<HRESULT>(0x8004E008L));

    OpenFile file(dir_, "lists", zu::fixture::BuildDlsBytes(zu::fixture::TwoWaveDls()));
    ListPtr plain = MakeList(0);
    EXPECT_EQ(ZuFMMeta_fillSummaryFromFileEx(file.handle(), nullptr, sum.records.get()), E_INVALIDARG);
    EXPECT_EQ(ZuFMMeta_fillSummaryFromFileEx(file.handle(), sum.items.get(), plain.get()), E_INVALIDARG);
    EXPECT_EQ(sum.items->count, 0);
}

TEST_F(SummaryLoader, LoadedSummaryReadsBackThroughBothStreams) {
    zu::fixture::DlsDesc desc = zu::fixture::TwoWaveDls();
    desc.info = {{"INAM", "Two Waves"}, {"ICMT", ""}, {"ICOP", "None"}};
    Summary sum;
    ASSERT_EQ(Load(zu::fixture::BuildDlsBytes(desc), sum), S_OK);

    StreamPtr items = SummaryStreamOver(sum.items.get());
    const Bytes expectedItems = Cat({SummaryHeader(3), ItemBytes("INAM", u"Two Waves"), ItemBytes("ICMT", u""),
                                     ItemBytes("ICOP", u"None")});
    const ReadResult a = ReadN(items.get(), static_cast<ULONG>(expectedItems.size()));
    EXPECT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.bytes, expectedItems);

    StreamPtr records = GenericStreamOver(sum.records.get());
    const Bytes expectedRecords = Cat({GenericHeader(3), RecordBytes("INAM", u"Two Waves"), RecordBytes("ICMT", u""),
                                       RecordBytes("ICOP", u"None")});
    const ReadResult b = ReadN(records.get(), 4096);
    EXPECT_EQ(b.hr, E_FAIL);
    EXPECT_EQ(b.bytes, expectedRecords);
}

}  // namespace

// The summary metadata writer: the "INFO" list that replaces a rendered
// file's own, the side file beside it, the side-file names, and the
// top-level RIFF edits underneath (chunk removal, size patching, the 32-bit
// form limit), driven by a host metadata object of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kernel/byte_order.h"
#include "kernel/riff_file_edit.h"
#include "platform/platform.h"
#include "support/fixture_builder.h"
#include "support/fixture_reader.h"
#include "support/temp_dir.h"
#include "zuinstr/zuinstr_guids.h"
#include "zuinstr/zuinstr_meta.h"
#include "zuinstr/zuinstr_render.h"

namespace fs = std::filesystem;
namespace fx = zu::fixture;
using WString = std::basic_string<WCHAR>;

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x8004E00A);
constexpr HRESULT kNoRiff = static_cast<HRESULT>(0x8004E080);
constexpr HRESULT kShortRead = static_cast<HRESULT>(0x8004E008);
constexpr HRESULT kTooLarge = static_cast<HRESULT>(0x8004E03A);

// ---- The host's side: summary items, their stream bytes, a metadata object ----

struct Item {
    std::string fourCC;
    std::u16string text;
    int64_t textBytes = -1;  // -1: (characters + 1) * 2, as a host writes it
};

std::string TextBytes(const Item& item) {
    std::string out;
    for (char16_t c : item.text) fx::PutU16(out, c);
    fx::PutU16(out, 0);
    if (item.textBytes >= 0) out.resize(static_cast<size_t>(item.textBytes), '\0');
    return out;
}

std::string ItemBytes(const Item& item) {
    const std::string text = TextBytes(item);
    std::string out;
    fx::PutU32(out, 12);
    out += item.fourCC;
    fx::PutU32(out, static_cast<uint32_t>(text.size()));
    return out + text;
}

std::string GuidBytes(const GUID& g) { return std::string(reinterpret_cast<const char*>(&g), sizeof g); }

std::string SummaryStreamBytes(const std::vector<Item>& items, int64_t count = -1) {
    std::string out;
    fx::PutU32(out, 12);
    fx::PutU32(out, 100);
    fx::PutU32(out, count >= 0 ? static_cast<uint32_t>(count) : static_cast<uint32_t>(items.size()));
    for (const Item& it : items) out += ItemBytes(it);
    return out;
}

std::string GenericStreamBytes(const GUID& kind, const std::vector<Item>& items, int64_t count = -1) {
    std::string out;
    fx::PutU32(out, 28);
    fx::PutU32(out, 100);
    fx::PutU32(out, count >= 0 ? static_cast<uint32_t>(count) : static_cast<uint32_t>(items.size()));
    out += GuidBytes(kind);
    for (const Item& it : items) {
        const std::string item = ItemBytes(it);
        fx::PutU32(out, 28);
        fx::PutU32(out, 100);
        out += GuidBytes(GUID_SUMMARYLIST);
        fx::PutU32(out, static_cast<uint32_t>(item.size()));
        out += item;
    }
    return out;
}

// A read-only stream over bytes. It starts at its end, as a stream that
// another reader has used up: readers must rewind it themselves.
class FakeStream : public IStream {
public:
    explicit FakeStream(std::string bytes) : bytes_(std::move(bytes)), pos_(bytes_.size()) {}
    int refs = 0;

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!ZuGuidEqual(iid, IID_ZuIUnknown) && !ZuGuidEqual(iid, IID_ZuIStream)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG ZU_STDCALL AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG ZU_STDCALL Release() override { return static_cast<ULONG>(--refs); }
    HRESULT ZU_STDCALL Read(void* buffer, ULONG count, ULONG* read) override {
        const size_t n = std::min<size_t>(count, bytes_.size() - pos_);
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        if (read) *read = static_cast<ULONG>(n);
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT ZU_STDCALL Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL Seek(int64_t move, DWORD origin, uint64_t* newPosition) override {
        const int64_t base = origin == ZU_STREAM_SEEK_SET   ? 0
                             : origin == ZU_STREAM_SEEK_CUR ? static_cast<int64_t>(pos_)
                                                            : static_cast<int64_t>(bytes_.size());
        if (base + move < 0 || base + move > static_cast<int64_t>(bytes_.size())) return E_INVALIDARG;
        pos_ = static_cast<size_t>(base + move);
        if (newPosition) *newPosition = pos_;
        return S_OK;
    }
    HRESULT ZU_STDCALL SetSize(uint64_t) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL CopyTo(IStream*, uint64_t, uint64_t*, uint64_t*) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL Revert() override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL LockRegion(uint64_t, uint64_t, DWORD) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL UnlockRegion(uint64_t, uint64_t, DWORD) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL Stat(void*, DWORD) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::string bytes_;
    size_t pos_;
};

// A host metadata object: a summary stream and, optionally, the generic
// enumeration over any streams the test gives it. It only counts its
// references, so a test can check that every one taken was given back.
class FakeMeta : public IZuReadMeta, public IZuReadGenericMeta {
public:
    // The same items through both interfaces, as a host offers them.
    static std::unique_ptr<FakeMeta> WithItems(const std::vector<Item>& items) {
        auto meta = std::make_unique<FakeMeta>();
        meta->SetSummary(SummaryStreamBytes(items));
        meta->AddGeneric(GenericStreamBytes(GUID_SUMMARYLIST, items));
        return meta;
    }
    void SetSummary(std::string bytes) { summary_ = std::make_unique<FakeStream>(std::move(bytes)); }
    void AddGeneric(std::string bytes) { generic_.push_back(std::make_unique<FakeStream>(std::move(bytes))); }
    bool offerGeneric = true;
    int refs = 0;

    IUnknown* Unknown() { return static_cast<IZuReadMeta*>(this); }
    // Every reference taken on the object and its streams was released.
    bool Balanced() const {
        if (refs != 0 || (summary_ && summary_->refs != 0)) return false;
        for (const auto& s : generic_)
            if (s->refs != 0) return false;
        return true;
    }

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (ZuGuidEqual(iid, IID_ZuIUnknown) || ZuGuidEqual(iid, IID_IZuReadMeta))
            *out = static_cast<IZuReadMeta*>(this);
        else if (offerGeneric && ZuGuidEqual(iid, IID_IZuReadGenericMeta))
            *out = static_cast<IZuReadGenericMeta*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG ZU_STDCALL AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG ZU_STDCALL Release() override { return static_cast<ULONG>(--refs); }

    HRESULT ZU_STDCALL GetMarkerStream(IStream** out) override { return static_cast<HRESULT>(0x8004E00A); }
    HRESULT ZU_STDCALL GetCommandStream(IStream**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL GetReservedStream(IStream**) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL GetSummaryText(uint32_t, WCHAR*, int32_t) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL GetSummaryStream(IStream** out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (!summary_) return static_cast<HRESULT>(0x8004E00A);
        summary_->AddRef();
        *out = summary_.get();
        return S_OK;
    }

    HRESULT ZU_STDCALL Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT ZU_STDCALL Next(IStream** out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (next_ >= generic_.size()) return S_FALSE;
        generic_[next_]->AddRef();
        *out = generic_[next_++].get();
        return S_OK;
    }

private:
    std::unique_ptr<FakeStream> summary_;
    std::vector<std::unique_ptr<FakeStream>> generic_;
    size_t next_ = 0;
};

// ---- What the files must hold, computed independently of the writer ----

// "LIST" size "INFO" and the items: id, n = text + zero, pad byte when n is odd.
std::string ExpectedInfo(const std::vector<std::pair<std::string, std::string>>& items) {
    std::string body = "INFO";
    for (const auto& it : items) {
        body += it.first;
        fx::PutU32(body, static_cast<uint32_t>(it.second.size() + 1));
        body += it.second;
        body.push_back('\0');
        if ((it.second.size() + 1) % 2) body.push_back('\0');
    }
    std::string out = "LIST";
    fx::PutU32(out, static_cast<uint32_t>(body.size()));
    return out + body;
}

// The original file without the byte range of `removed`, plus `appended`,
// with the RIFF size made to fit.
std::string ExpectedFile(const std::string& original, const fx::RiffNode* removed, const std::string& appended) {
    std::string out = original;
    if (removed) {
        const uint64_t end = removed->dataOffset + removed->size + (removed->size & 1u);
        out.erase(static_cast<size_t>(removed->offset), static_cast<size_t>(end - removed->offset));
    }
    out += appended;
    fx::PatchU32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

std::string SideFile(const std::string& info, const std::string& mediaName) {
    std::string zupi = mediaName;
    zupi.push_back('\0');
    std::string out = "RIFF";
    fx::PutU32(out, 0);
    out += "ZUPL";
    out += info;
    out += "ZUPI";
    fx::PutU32(out, static_cast<uint32_t>(zupi.size()));
    out += zupi;
    if (zupi.size() % 2) out.push_back('\0');
    fx::PatchU32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

std::vector<const fx::RiffNode*> InfoLists(const fx::RiffNode& form) {
    std::vector<const fx::RiffNode*> out;
    for (const auto& c : form.children)
        if (c.id == "LIST" && c.type == "INFO") out.push_back(&c);
    return out;
}

// A small DLS file with one top-level "INFO" list ("INAM" "Two Waves").
fx::DlsDesc PianoDls() { return fx::TwoWaveDls(); }

class MetaWriterTest : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const std::string& bytes) {
        zu::test::WriteFileBytes(dir_.File(name), bytes);
        return bytes;
    }
    std::string Get(const std::string& name) const { return zu::test::ReadFileBytes(dir_.File(name)); }
    bool Exists(const std::string& name) const { return fs::exists(dir_.File(name)); }
    WString Path(const std::string& name) const { return dir_.WidePath(name); }
    HRESULT Write(const std::string& name, IUnknown* meta) {
        return ZuFMMeta_openAndWriteMetaStreamEx(Path(name).c_str(), FALSE, 44100, meta, 1, 1);
    }

    zu::test::TempDir dir_;
};

// ---- The writer end to end ----

TEST_F(MetaWriterTest, PianoReplacesTheFilesInfoListAndWritesTheSideFile) {
    const std::string original = Put("piano.dls", fx::BuildDlsBytes(PianoDls()));
    const fx::RiffNode before = fx::ParseRiff(original);
    ASSERT_EQ(InfoLists(before).size(), 1u);

    auto meta = FakeMeta::WithItems({{"INAM", u"Piano"}});
    ASSERT_EQ(Write("piano.dls", meta->Unknown()), S_OK);
    EXPECT_TRUE(meta->Balanced());

    const std::string info = ExpectedInfo({{"INAM", "Piano"}});
    ASSERT_EQ(info.size(), 26u);
    EXPECT_EQ(fx::GetU32(info, 4), 18u);  // 4 + 8 + 6
    const std::string media = Get("piano.dls");
    EXPECT_EQ(media, ExpectedFile(original, InfoLists(before)[0], info));
    const fx::RiffNode after = fx::ParseRiff(media);
    ASSERT_EQ(InfoLists(after).size(), 1u);
    EXPECT_EQ(&after.children.back(), InfoLists(after)[0]);

    ASSERT_TRUE(Exists("piano.dls.zul"));
    EXPECT_EQ(Get("piano.dls.zul"), SideFile(info, "piano.dls"));
    EXPECT_FALSE(Exists("piano.zul"));
}

TEST_F(MetaWriterTest, OddTextsArePaddedInTheListButNotInTheItemSize) {
    const std::string original = Put("odd.dls", fx::BuildDlsBytes(PianoDls()));
    // "Four" + zero = 5 bytes (padded), "" = the zero alone (padded), "Xy" = 3.
    auto meta = FakeMeta::WithItems({{"ICMT", u"Four"}, {"ICOP", u""}, {"IART", u"Xy"}, {"INAM", u"Even"}});
    ASSERT_EQ(Write("odd.dls", meta->Unknown()), S_OK);

    const std::string media = Get("odd.dls");
    const fx::RiffNode form = fx::ParseRiff(media);
    const fx::RiffNode& list = form.children.back();
    ASSERT_EQ(list.Name(), "INFO");
    EXPECT_EQ(list.size, 4u + (8 + 5 + 1) + (8 + 1 + 1) + (8 + 3 + 1) + (8 + 5 + 1));
    ASSERT_EQ(fx::ChildNames(list), (std::vector<std::string>{"ICMT", "ICOP", "IART", "INAM"}));
    EXPECT_EQ(list.children[0].size, 5u);
    EXPECT_EQ(fx::ChunkData(media, list.children[0]), std::string("Four\0", 5));
    EXPECT_EQ(list.children[1].size, 1u);
    EXPECT_EQ(fx::ChunkData(media, list.children[1]), std::string("\0", 1));
    EXPECT_EQ(list.children[2].size, 3u);
    EXPECT_EQ(fx::ChunkData(media, list.children[3]), std::string("Even\0", 5));
    // The pad bytes are zeros.
    EXPECT_EQ(media[static_cast<size_t>(list.children[0].dataOffset + 5)], '\0');
    EXPECT_EQ(media, ExpectedFile(original, InfoLists(fx::ParseRiff(original))[0],
                                  ExpectedInfo({{"ICMT", "Four"}, {"ICOP", ""}, {"IART", "Xy"}, {"INAM", "Even"}})));
}

TEST_F(MetaWriterTest, OnlyTheFirstOfTwoInfoListsIsReplaced) {
    fx::DlsDesc d = PianoDls();
    d.info = {{"INAM", "First"}};
    std::string second = "INFO";
    second += "ICMT";
    fx::PutU32(second, 7);
    second += std::string("Second\0", 7);
    second.push_back('\0');
    d.extraTopChunks = {{"LIST", second}};
    const std::string original = Put("two.dls", fx::BuildDlsBytes(d));
    const fx::RiffNode before = fx::ParseRiff(original);
    ASSERT_EQ(InfoLists(before).size(), 2u);

    auto meta = FakeMeta::WithItems({{"INAM", u"Third"}});
    ASSERT_EQ(Write("two.dls", meta->Unknown()), S_OK);

    const std::string media = Get("two.dls");
    EXPECT_EQ(media, ExpectedFile(original, InfoLists(before)[0], ExpectedInfo({{"INAM", "Third"}})));
    const fx::RiffNode parsed = fx::ParseRiff(media);
    const auto after = InfoLists(parsed);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(fx::ChildNames(*after[0]), std::vector<std::string>{"ICMT"});
    EXPECT_EQ(fx::ChildNames(*after[1]), std::vector<std::string>{"INAM"});
}

TEST_F(MetaWriterTest, SideFileNamePadsAnOddNameAndDropsTheFolder) {
    const std::string original = Put("ab.dls", fx::BuildDlsBytes(PianoDls()));
    auto meta = FakeMeta::WithItems({{"INAM", u"Piano"}, {"ICMT", u"x"}});
    ASSERT_EQ(Write("ab.dls", meta->Unknown()), S_OK);
    const std::string side = Get("ab.dls.zul");
    EXPECT_EQ(side, SideFile(ExpectedInfo({{"INAM", "Piano"}, {"ICMT", "x"}}), "ab.dls"));
    const fx::RiffNode form = fx::ParseRiff(side);
    EXPECT_EQ(form.type, "ZUPL");
    EXPECT_EQ(fx::ChildNames(form), (std::vector<std::string>{"INFO", "ZUPI"}));
    EXPECT_EQ(form.children[1].size, 7u);  // "ab.dls" and its zero, then one pad byte
    EXPECT_TRUE(ZuFMMeta_IsMetaFile(Path("ab.dls").c_str(), Path("ab.dls.zul").c_str()));
}

TEST_F(MetaWriterTest, StaleSideFilesOfThisMediaFileAreRemoved) {
    Put("piano.dls", fx::BuildDlsBytes(PianoDls()));
    // Both spellings, the name stored in another case.
    Put("piano.zul", SideFile(ExpectedInfo({{"INAM", "Old"}}), "PIANO.DLS"));
    Put("piano.dls.zul", SideFile(ExpectedInfo({{"INAM", "Old"}}), "Piano.Dls"));
    FakeMeta empty;
    empty.SetSummary(SummaryStreamBytes({}));
    empty.AddGeneric(GenericStreamBytes(GUID_SUMMARYLIST, {}));
    ASSERT_EQ(Write("piano.dls", empty.Unknown()), S_OK);
    EXPECT_FALSE(Exists("piano.zul"));
    EXPECT_FALSE(Exists("piano.dls.zul"));
    EXPECT_TRUE(empty.Balanced());
}

TEST_F(MetaWriterTest, SideFilesOfOtherMediaFilesStay) {
    Put("piano.dls", fx::BuildDlsBytes(PianoDls()));
    const std::string other = Put("piano.zul", SideFile(ExpectedInfo({{"INAM", "Old"}}), "piano.gig"));
    const std::string notRiff = Put("piano.dls.zul", "just some text, no RIFF here");
    FakeMeta empty;
    empty.SetSummary(SummaryStreamBytes({}));
    ASSERT_EQ(Write("piano.dls", empty.Unknown()), S_OK);
    EXPECT_EQ(Get("piano.zul"), other);
    EXPECT_EQ(Get("piano.dls.zul"), notRiff);
}

TEST_F(MetaWriterTest, EmptySummaryRemovesTheInfoListAndWritesNoSideFile) {
    const std::string original = Put("e.dls", fx::BuildDlsBytes(PianoDls()));
    FakeMeta empty;
    empty.SetSummary(SummaryStreamBytes({}));
    empty.AddGeneric(GenericStreamBytes(GUID_SUMMARYLIST, {}));
    ASSERT_EQ(Write("e.dls", empty.Unknown()), S_OK);
    EXPECT_EQ(Get("e.dls"), ExpectedFile(original, InfoLists(fx::ParseRiff(original))[0], ""));
    EXPECT_FALSE(Exists("e.dls.zul"));
    EXPECT_TRUE(empty.Balanced());
}

TEST_F(MetaWriterTest, NoMetadataAtAllIsAnEmptySummary) {
    const std::string original = Put("n.dls", fx::BuildDlsBytes(PianoDls()));
    const std::string expected = ExpectedFile(original, InfoLists(fx::ParseRiff(original))[0], "");
    ASSERT_EQ(Write("n.dls", nullptr), S_OK);
    EXPECT_EQ(Get("n.dls"), expected);

    // An object with neither a generic stream nor a summary stream.
    Put("n2.dls", original);
    FakeMeta bare;
    bare.offerGeneric = false;
    ASSERT_EQ(Write("n2.dls", bare.Unknown()), S_OK);
    EXPECT_EQ(Get("n2.dls"), expected);
    EXPECT_FALSE(Exists("n2.dls.zul"));
    EXPECT_TRUE(bare.Balanced());
}

TEST_F(MetaWriterTest, FileWithoutInfoListGetsOneAppended) {
    fx::DlsDesc d = PianoDls();
    d.info.clear();
    const std::string original = Put("plain.dls", fx::BuildDlsBytes(d));
    ASSERT_TRUE(InfoLists(fx::ParseRiff(original)).empty());
    auto meta = FakeMeta::WithItems({{"INAM", u"Piano"}});
    ASSERT_EQ(Write("plain.dls", meta->Unknown()), S_OK);
    EXPECT_EQ(Get("plain.dls"), ExpectedFile(original, nullptr, ExpectedInfo({{"INAM", "Piano"}})));
}

TEST_F(MetaWriterTest, GenericStreamIsPreferredAndTheSummaryStreamIsTheFallback) {
    const std::string original = Put("g.dls", fx::BuildDlsBytes(PianoDls()));
    const fx::RiffNode parsed = fx::ParseRiff(original);
    const fx::RiffNode* oldInfo = InfoLists(parsed)[0];

    // Another kind first, then the summary kind: the latter is taken.
    FakeMeta both;
    both.SetSummary(SummaryStreamBytes({{"INAM", u"FromSummary"}}));
    both.AddGeneric(GenericStreamBytes(GUID_MARKER, {{"INAM", u"Marker"}}));
    both.AddGeneric(GenericStreamBytes(GUID_SUMMARYLIST, {{"INAM", u"FromGeneric"}}));
    ASSERT_EQ(Write("g.dls", both.Unknown()), S_OK);
    EXPECT_EQ(Get("g.dls"), ExpectedFile(original, oldInfo, ExpectedInfo({{"INAM", "FromGeneric"}})));
    EXPECT_TRUE(both.Balanced());

    // No generic interface: the summary stream is read.
    Put("g.dls", original);
    FakeMeta summaryOnly;
    summaryOnly.offerGeneric = false;
    summaryOnly.SetSummary(SummaryStreamBytes({{"INAM", u"FromSummary"}, {"ICMT", u"c"}}));
    ASSERT_EQ(Write("g.dls", summaryOnly.Unknown()), S_OK);
    EXPECT_EQ(Get("g.dls"), ExpectedFile(original, oldInfo, ExpectedInfo({{"INAM", "FromSummary"}, {"ICMT", "c"}})));

    // A generic enumeration without a summary stream falls back as well.
    Put("g.dls", original);
    FakeMeta noSummaryKind;
    noSummaryKind.SetSummary(SummaryStreamBytes({{"INAM", u"FromSummary"}}));
    noSummaryKind.AddGeneric(GenericStreamBytes(GUID_MARKER, {{"INAM", u"Marker"}}));
    ASSERT_EQ(Write("g.dls", noSummaryKind.Unknown()), S_OK);
    EXPECT_EQ(Get("g.dls"), ExpectedFile(original, oldInfo, ExpectedInfo({{"INAM", "FromSummary"}})));
    EXPECT_TRUE(noSummaryKind.Balanced());
}

TEST_F(MetaWriterTest, ItemsWithoutTextAreSkippedAndTextsEndAtTheirZero) {
    const std::string original = Put("t.dls", fx::BuildDlsBytes(PianoDls()));
    Item none{"ICOP", u"ignored", 0};
    Item odd{"ICMT", u"abc", 9};  // an odd byte count: the last byte is no code unit
    Item inner{"IART", std::u16string(u"ab\0cd", 5)};  // units after the zero are not text
    FakeMeta meta;
    meta.offerGeneric = false;
    meta.SetSummary(SummaryStreamBytes({none, odd, inner, {"INAM", u"End"}}));
    ASSERT_EQ(Write("t.dls", meta.Unknown()), S_OK);
    EXPECT_EQ(Get("t.dls"), ExpectedFile(original, InfoLists(fx::ParseRiff(original))[0],
                                         ExpectedInfo({{"ICMT", "abc"}, {"IART", "ab"}, {"INAM", "End"}})));
}

TEST_F(MetaWriterTest, SummaryStreamCountDecidesTheSideFile) {
    Put("s.dls", fx::BuildDlsBytes(PianoDls()));
    // The generic stream has an item, the summary stream none: the media
    // file gets the list, the side file is not written.
    FakeMeta meta;
    meta.SetSummary(SummaryStreamBytes({}));
    meta.AddGeneric(GenericStreamBytes(GUID_SUMMARYLIST, {{"INAM", u"Piano"}}));
    ASSERT_EQ(Write("s.dls", meta.Unknown()), S_OK);
    EXPECT_EQ(fx::ParseRiff(Get("s.dls")).children.back().Name(), "INFO");
    EXPECT_FALSE(Exists("s.dls.zul"));

    // Kinds without the summary bit write nothing of it.
    const std::string now = Get("s.dls");
    auto full = FakeMeta::WithItems({{"INAM", u"Piano"}});
    ASSERT_EQ(ZuFMMeta_openAndWriteMetaStreamEx(Path("s.dls").c_str(), FALSE, 0, full->Unknown(), 0, 0), S_OK);
    EXPECT_EQ(Get("s.dls"), now);
    EXPECT_FALSE(Exists("s.dls.zul"));
}

TEST_F(MetaWriterTest, StreamEndingEarlyIsAReadErrorAndLeavesNoSideFile) {
    const std::string original = Put("short.dls", fx::BuildDlsBytes(PianoDls()));
    // Two items announced, one delivered.
    FakeMeta meta;
    meta.SetSummary(SummaryStreamBytes({{"INAM", u"Piano"}}, 2));
    meta.AddGeneric(GenericStreamBytes(GUID_SUMMARYLIST, {{"INAM", u"Piano"}}, 2));
    EXPECT_EQ(Write("short.dls", meta.Unknown()), kShortRead);
    EXPECT_FALSE(Exists("short.dls.zul"));
    EXPECT_EQ(Get("short.dls"), original);  // the side file failed first
    EXPECT_TRUE(meta.Balanced());

    // A text cut short inside the only item.
    std::string cut = SummaryStreamBytes({{"INAM", u"Piano"}});
    cut.resize(cut.size() - 3);
    FakeMeta cutMeta;
    cutMeta.offerGeneric = false;
    cutMeta.SetSummary(cut);
    EXPECT_EQ(ZuFMMeta_openAndWriteMetaStreamEx(Path("short.dls").c_str(), FALSE, 0, cutMeta.Unknown(), 1, 0),
              kShortRead);
}

TEST_F(MetaWriterTest, FormReachingTheLimitIsRefusedAndLeftAsItWas) {
    fx::DlsDesc d = PianoDls();
    d.info.clear();
    const std::string list = ExpectedInfo({{"INAM", "Piano"}});  // 26 bytes
    auto meta = FakeMeta::WithItems({{"INAM", u"Piano"}});

    // A size field that the list would carry to exactly 0xFFFFFFF8.
    std::string atLimit = fx::BuildDlsBytes(d);
    fx::PatchU32(atLimit, 4, 0xFFFFFFF8u - static_cast<uint32_t>(list.size()));
    Put("big.dls", atLimit);
    EXPECT_EQ(ZuFMMeta_openAndWriteMetaStreamEx(Path("big.dls").c_str(), FALSE, 0, meta->Unknown(), 1, 0), kTooLarge);
    EXPECT_EQ(Get("big.dls"), atLimit);

    // One byte less fits: the list goes where the file really ends, never
    // out at the offset the size field claims.
    std::string below = fx::BuildDlsBytes(d);
    fx::PatchU32(below, 4, 0xFFFFFFF7u - static_cast<uint32_t>(list.size()));
    Put("big.dls", below);
    EXPECT_EQ(ZuFMMeta_openAndWriteMetaStreamEx(Path("big.dls").c_str(), FALSE, 0, meta->Unknown(), 1, 0), S_OK);
    std::string expected = below + list;
    fx::PatchU32(expected, 4, 0xFFFFFFF7u);
    EXPECT_EQ(Get("big.dls"), expected);
    EXPECT_TRUE(meta->Balanced());
}

TEST_F(MetaWriterTest, MissingMediaFileAndRefusedModes) {
    auto meta = FakeMeta::WithItems({{"INAM", u"Piano"}});
    EXPECT_EQ(Write("absent.dls", meta->Unknown()), static_cast<HRESULT>(0x80070002));  // file not found
    EXPECT_EQ(ZuFMMeta_openAndWriteMetaStreamEx(nullptr, FALSE, 0, meta->Unknown(), 1, 1), E_INVALIDARG);
    const std::string original = Put("keep.dls", fx::BuildDlsBytes(PianoDls()));
    EXPECT_EQ(ZuFMMeta_openAndWriteMetaStreamEx(Path("keep.dls").c_str(), TRUE, 0, meta->Unknown(), 1, 1), E_NOTIMPL);
    EXPECT_EQ(Get("keep.dls"), original);
    Put("text.dls", "not a RIFF file at all");
    EXPECT_EQ(ZuFMMeta_openAndWriteMetaStreamEx(Path("text.dls").c_str(), FALSE, 0, meta->Unknown(), 1, 0), kNoRiff);
    EXPECT_TRUE(meta->Balanced());
}

// ---- Side-file names and recognition ----

WString W(const char16_t* s) { return WString(s, s + std::char_traits<char16_t>::length(s)); }

WString MetaName(const WString& media, BOOL append, ULONG capacity = 260, HRESULT* hr = nullptr) {
    std::vector<WCHAR> out(capacity + 1, 'X');
    const HRESULT r = ZuFMMeta_CreateMetaName(media.c_str(), out.data(), capacity, append);
    if (hr) *hr = r;
    return FAILED(r) ? WString() : WString(out.data());
}

TEST(MetaNameTest, AppendOrReplaceTheExtension) {
    EXPECT_EQ(MetaName(W(u"C:\\sounds\\piano.dls"), TRUE), W(u"C:\\sounds\\piano.dls.zul"));
    EXPECT_EQ(MetaName(W(u"C:\\sounds\\piano.dls"), FALSE), W(u"C:\\sounds\\piano.zul"));
    EXPECT_EQ(MetaName(W(u"/a.b/piano"), FALSE), W(u"/a.b/piano.zul"));
    EXPECT_EQ(MetaName(W(u"dir.x\\noext"), FALSE), W(u"dir.x\\noext.zul"));
    EXPECT_EQ(MetaName(W(u"two.dots.gig"), FALSE), W(u"two.dots.zul"));
}

TEST(MetaNameTest, LongPathsAreCutBeforeTheExtension) {
    const WString media = W(u"C:\\") + WString(300, 'a') + W(u".dls");
    const WString side = MetaName(media, TRUE);
    EXPECT_EQ(side.size(), 259u);
    EXPECT_EQ(side.substr(side.size() - 4), W(u".zul"));
    EXPECT_EQ(side.substr(0, 255), media.substr(0, 255));
    // A small buffer cuts the same way; one that cannot hold ".zul" is refused.
    EXPECT_EQ(MetaName(W(u"piano.dls"), TRUE, 8), W(u"pia.zul"));
    HRESULT hr = S_OK;
    MetaName(W(u"piano.dls"), TRUE, 4, &hr);
    EXPECT_EQ(hr, E_INVALIDARG);
    // A surrogate pair is never split.
    const WString astral = WString(254, 'b') + W(u"\U0001F3B9.dls");
    const WString cut = MetaName(astral, TRUE);
    EXPECT_EQ(cut, WString(254, 'b') + W(u".zul"));
}

TEST_F(MetaWriterTest, IsMetaFileComparesTheStoredNameOnly) {
    Put("x.zul", SideFile(ExpectedInfo({{"INAM", "A"}}), "Piano.DLS"));
    EXPECT_TRUE(ZuFMMeta_IsMetaFile(W(u"C:\\any\\folder\\piano.dls").c_str(), Path("x.zul").c_str()));
    EXPECT_TRUE(ZuFMMeta_IsMetaFile(W(u"/other/PIANO.dls").c_str(), Path("x.zul").c_str()));
    EXPECT_FALSE(ZuFMMeta_IsMetaFile(W(u"piano.dl").c_str(), Path("x.zul").c_str()));
    EXPECT_FALSE(ZuFMMeta_IsMetaFile(W(u"piano.dls").c_str(), Path("missing.zul").c_str()));
    Put("nozupi.zul", fx::BuildDlsBytes(PianoDls()));
    EXPECT_FALSE(ZuFMMeta_IsMetaFile(W(u"piano.dls").c_str(), Path("nozupi.zul").c_str()));
    // A "ZUPI" chunk cut off by the end of the file does not count.
    std::string cut = SideFile("", "piano.dls");
    cut.resize(cut.size() - 4);
    Put("cut.zul", cut);
    EXPECT_FALSE(ZuFMMeta_IsMetaFile(W(u"piano.dls").c_str(), Path("cut.zul").c_str()));
}

// ---- Top-level chunk removal and the size field ----

std::string Chunk(const std::string& id, const std::string& data) {
    std::string out = id;
    fx::PutU32(out, static_cast<uint32_t>(data.size()));
    out += data;
    if (data.size() % 2) out.push_back('\0');
    return out;
}

std::string Form(const std::vector<std::string>& chunks) {
    std::string out = "RIFF";
    fx::PutU32(out, 0);
    out += "TEST";
    for (const auto& c : chunks) out += c;
    fx::PatchU32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

class RiffEditTest : public MetaWriterTest {
protected:
    HRESULT Delete(const std::string& bytes, const std::string& id, bool list, uint32_t* removed) {
        Put("f.riff", bytes);
        zu::ScopedFile file(zu::platform::FileOpen(Path("f.riff").c_str(), zu::platform::FileAccess::ReadWrite,
                                                   zu::platform::FileShare::ReadWrite,
                                                   zu::platform::FileDisposition::OpenExisting, false, nullptr));
        EXPECT_TRUE(file);
        return zu::riff_DeleteChunk(file.Get(), zu::LoadLE32(id.data()), removed, list);
    }
};

TEST_F(RiffEditTest, DeletesTheFirstMiddleAndLastChunk) {
    const std::string a = Chunk("aaaa", fx::PatternBytes(5, 1));  // odd: padded
    const std::string b = Chunk("bbbb", fx::PatternBytes(10000, 2));  // more than two move blocks
    const std::string c = Chunk("cccc", fx::PatternBytes(3, 3));
    const std::string whole = Form({a, b, c});
    struct Case {
        const char* id;
        std::string expected;
        uint32_t removed;
    } cases[] = {{"aaaa", Form({b, c}), 14}, {"bbbb", Form({a, c}), 10008}, {"cccc", Form({a, b}), 12}};
    for (const Case& k : cases) {
        uint32_t removed = 0;
        EXPECT_EQ(Delete(whole, k.id, false, &removed), S_OK) << k.id;
        EXPECT_EQ(removed, k.removed) << k.id;
        EXPECT_EQ(Get("f.riff"), k.expected) << k.id;
    }
}

TEST_F(RiffEditTest, DeletesOnlyTheFirstMatchAndListsByTheirType) {
    const std::string plainInfo = Chunk("INFO", "abcd");
    const std::string other = Chunk("LIST", "wxyzdata");
    const std::string lookalike = Chunk("JUNK", "INFO" + Chunk("INAM", "no"));  // not a "LIST"
    const std::string info1 = Chunk("LIST", "INFO" + Chunk("INAM", "one"));
    const std::string info2 = Chunk("LIST", "INFO" + Chunk("INAM", "two"));
    const std::string whole = Form({plainInfo, lookalike, other, info1, info2});
    uint32_t removed = 0;
    ASSERT_EQ(Delete(whole, "INFO", true, &removed), S_OK);
    EXPECT_EQ(removed, info1.size());
    EXPECT_EQ(Get("f.riff"), Form({plainInfo, lookalike, other, info2}));
    ASSERT_EQ(Delete(whole, "INFO", false, &removed), S_OK);
    EXPECT_EQ(Get("f.riff"), Form({lookalike, other, info1, info2}));
}

TEST_F(RiffEditTest, RefusesWhatItCannotFindOrRead) {
    const std::string whole = Form({Chunk("aaaa", "12"), Chunk("bbbb", "3456")});
    uint32_t removed = 77;
    EXPECT_EQ(Delete(whole, "zzzz", false, &removed), kNotFound);
    EXPECT_EQ(removed, 0u);
    EXPECT_EQ(Get("f.riff"), whole);
    EXPECT_EQ(Delete("RIFX" + whole.substr(4), "aaaa", false, nullptr), kNoRiff);
    EXPECT_EQ(Delete("RIF", "aaaa", false, nullptr), kShortRead);
    EXPECT_EQ(Delete("", "aaaa", false, nullptr), kShortRead);

    // Truncated: the chunk sought runs past the end of the file. Nothing moves.
    const std::string cut = whole.substr(0, whole.size() - 2);
    EXPECT_EQ(Delete(cut, "bbbb", false, nullptr), kShortRead);
    EXPECT_EQ(Get("f.riff"), cut);
    // Truncated before the chunk sought: the walk stops at the end of the file.
    EXPECT_EQ(Delete(whole.substr(0, 22), "bbbb", false, nullptr), kNotFound);
    // Chunks before the cut can still be removed; the size drops by what went.
    ASSERT_EQ(Delete(cut, "aaaa", false, &removed), S_OK);
    EXPECT_EQ(removed, 10u);
    EXPECT_EQ(fx::GetU32(Get("f.riff"), 4), fx::GetU32(whole, 4) - 10);
    EXPECT_EQ(Get("f.riff").substr(12), cut.substr(22));
}

TEST_F(RiffEditTest, HostileSizesStayInsideTheFile) {
    // A chunk size that would wrap a 32-bit position.
    std::string huge = Form({Chunk("aaaa", "12"), Chunk("bbbb", "34")});
    fx::PatchU32(huge, 16, 0xFFFFFFFFu);
    EXPECT_EQ(Delete(huge, "bbbb", false, nullptr), kNotFound);
    EXPECT_EQ(Delete(huge, "aaaa", false, nullptr), kShortRead);
    EXPECT_EQ(Get("f.riff"), huge);
    // A form size far beyond the file, and one too small for its chunks.
    std::string big = Form({Chunk("aaaa", "12"), Chunk("bbbb", "34")});
    fx::PatchU32(big, 4, 0xFFFFFFF0u);
    uint32_t removed = 0;
    ASSERT_EQ(Delete(big, "bbbb", false, &removed), S_OK);
    EXPECT_EQ(fx::GetU32(Get("f.riff"), 4), 0xFFFFFFF0u - 10);
    std::string small = Form({Chunk("aaaa", "12"), Chunk("bbbb", "34")});
    fx::PatchU32(small, 4, 12);  // the form ends after "aaaa"'s header
    EXPECT_EQ(Delete(small, "bbbb", false, nullptr), kNotFound);
    ASSERT_EQ(Delete(small, "aaaa", false, &removed), S_OK);
    EXPECT_EQ(fx::GetU32(Get("f.riff"), 4), 4u);  // never below the form type
    // The last odd chunk without its pad byte.
    std::string nopad = Form({Chunk("aaaa", "12"), Chunk("bbbb", "345")});
    nopad.pop_back();
    fx::PatchU32(nopad, 4, static_cast<uint32_t>(nopad.size() - 8));
    ASSERT_EQ(Delete(nopad, "bbbb", false, &removed), S_OK);
    EXPECT_EQ(removed, 11u);
    EXPECT_EQ(Get("f.riff"), Form({Chunk("aaaa", "12")}));
}

TEST_F(RiffEditTest, UpdateSizeRestoresThePositionAndCutsBackAtTheLimit) {
    const std::string form = Form({Chunk("aaaa", "1234")});
    Put("u.riff", form + "appended");  // data written past the form
    zu::ScopedFile file(zu::platform::FileOpen(Path("u.riff").c_str(), zu::platform::FileAccess::ReadWrite,
                                               zu::platform::FileShare::ReadWrite,
                                               zu::platform::FileDisposition::OpenExisting, false, nullptr));
    ASSERT_TRUE(file);
    ASSERT_EQ(zu::platform::FileSeek(file.Get(), 15, zu::platform::SeekOrigin::Begin), 15u);
    ASSERT_EQ(zu::riff_UpdateRIFFSize(file.Get(), 8), S_OK);
    EXPECT_EQ(zu::platform::FileSeek(file.Get(), 0, zu::platform::SeekOrigin::Current), 15u);
    uint32_t size = 0;
    ASSERT_EQ(zu::riff_ReadRIFFSize(file.Get(), &size), S_OK);
    EXPECT_EQ(size, fx::GetU32(form, 4) + 8);
    ASSERT_EQ(zu::riff_UpdateRIFFSize(file.Get(), -8), S_OK);

    // Reaching 0xFFFFFFF8 cuts the file back to the end of the old form.
    const uint32_t toLimit = 0xFFFFFFF8u - fx::GetU32(form, 4);
    ASSERT_EQ(zu::platform::FileSeek(file.Get(), 0, zu::platform::SeekOrigin::End), form.size() + 8);
    EXPECT_EQ(zu::riff_UpdateRIFFSize(file.Get(), toLimit), kTooLarge);
    EXPECT_EQ(zu::platform::FileSeek(file.Get(), 0, zu::platform::SeekOrigin::Current), form.size());
    ASSERT_EQ(zu::riff_UpdateRIFFSize(file.Get(), toLimit - 1), S_OK);
    ASSERT_EQ(zu::riff_ReadRIFFSize(file.Get(), &size), S_OK);
    EXPECT_EQ(size, 0xFFFFFFF7u);
    EXPECT_EQ(zu::riff_UpdateRIFFSize(file.Get(), -static_cast<int64_t>(size)), E_INVALIDARG);
    file.Close();
    std::string expected = form;
    fx::PatchU32(expected, 4, 0xFFFFFFF7u);
    EXPECT_EQ(Get("u.riff"), expected);
}

}  // namespace

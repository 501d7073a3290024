// Render templates: block sizes and texts, what making a template takes from
// its source, reuse of the caller's block, copy, take-over and compare, the
// content identifier and its MD5, and first-version recognition.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "kernel/byte_order.h"
#include "kernel/render_template.h"
#include "platform/platform.h"

namespace {

using WideString = std::basic_string<WCHAR>;

struct TemplateFree {
    void operator()(tagZUTEMPLATExV2* t) const { ZuFio_FreeTemplate(t); }
};
using TemplatePtr = std::unique_ptr<tagZUTEMPLATExV2, TemplateFree>;

// A source template as a host would hand it over: every byte of the fixed
// part recognisable, then private data, then text room.
class SourceRecord {
public:
    explicit SourceRecord(uint32_t privateSize = 0, uint32_t textChars = 0, uint8_t seed = 1)
        : bytes_(zu::TemplateBlockSize(privateSize, textChars)) {
        for (size_t i = 0; i < ZUTEMPLATE_FIXED_SIZE; ++i) bytes_[i] = static_cast<uint8_t>(i * 7 + seed);
        for (size_t i = 0; i < privateSize; ++i) bytes_[ZUTEMPLATE_FIXED_SIZE + i] = static_cast<uint8_t>(0xA0 + i);
        get()->cbSize = static_cast<uint32_t>(bytes_.size());
        get()->textChars = textChars;
        get()->privateSize = privateSize;
    }
    tagZUTEMPLATExV2* get() { return reinterpret_cast<tagZUTEMPLATExV2*>(bytes_.data()); }
    const uint8_t* bytes() const { return bytes_.data(); }

private:
    std::vector<uint8_t> bytes_;
};

uint8_t* Bytes(tagZUTEMPLATExV2* t) { return reinterpret_cast<uint8_t*>(t); }

bool SameBytes(const void* a, const void* b, size_t offset, size_t size) {
    return std::memcmp(static_cast<const uint8_t*>(a) + offset, static_cast<const uint8_t*>(b) + offset, size) == 0;
}

bool Zero(const void* p, size_t offset, size_t size) {
    const auto* b = static_cast<const uint8_t*>(p) + offset;
    for (size_t i = 0; i < size; ++i)
        if (b[i]) return false;
    return true;
}

WideString Name(const tagZUTEMPLATExV2* t) { return WideString(zu::TemplateName(t)); }
WideString Notes(const tagZUTEMPLATExV2* t) { return WideString(zu::TemplateNotes(t)); }

TemplatePtr Make(const tagZUTEMPLATExV2* source, uint32_t parts, uint32_t extra, const WCHAR* name,
                 const WCHAR* notes, uint32_t flags = ZUTEMPLATE_FLAGS_DEFAULT) {
    tagZUTEMPLATExV2* t = nullptr;
    EXPECT_EQ(ZuFio_MakeTemplate(&t, flags, source, parts, extra, name, notes), S_OK);
    return TemplatePtr(t);
}

GUID IdOf(const tagZUTEMPLATExV2* t, BOOL texts) {
    GUID id{};
    EXPECT_EQ(ZuFio_InitGUIDFromTemplateMD5DataHash(&id, t, texts), S_OK);
    return id;
}

std::string Hex(const uint8_t* digest) {
    static const char* kDigits = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 16; ++i) {
        s += kDigits[digest[i] >> 4];
        s += kDigits[digest[i] & 15];
    }
    return s;
}

// ---- The platform MD5 the identifiers rest on ----

TEST(TemplateMd5, PlatformDigestsMatchKnownAnswers) {
    ASSERT_TRUE(zu::platform::Md5Available());
    const struct {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6"},
    };
    for (const auto& c : cases) {
        zu::platform::Md5 md5;
        ASSERT_TRUE(md5.ok());
        md5.Update(c.text, std::strlen(c.text));
        uint8_t digest[16];
        md5.Final(digest);
        EXPECT_EQ(Hex(digest), c.digest) << c.text;
    }
    // Fed in pieces across the 64-byte block boundary.
    const std::string text(200, 'a');
    zu::platform::Md5 whole, pieces;
    whole.Update(text.data(), text.size());
    pieces.Update(text.data(), 1);
    pieces.Update(text.data() + 1, 70);
    pieces.Update(text.data() + 71, 129);
    uint8_t a[16], b[16];
    whole.Final(a);
    pieces.Final(b);
    EXPECT_EQ(Hex(a), Hex(b));
}

// ---- ZuFio_MakeTemplate ----

TEST(TemplateMake, DefaultTemplateWithoutNotes) {
    SourceRecord source;
    TemplatePtr t = Make(source.get(), ZUTEMPLATE_PART_AUDIO, 0, ZU_TEXT("Default Template"), nullptr);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->textChars, 18u);
    EXPECT_EQ(t->cbSize, 572u);
    EXPECT_EQ(t->privateSize, 0u);
    EXPECT_EQ(t->flags, ZUTEMPLATE_FLAGS_DEFAULT);
    EXPECT_EQ(Name(t.get()), WideString(ZU_TEXT("Default Template")));
    EXPECT_TRUE(Notes(t.get()).empty());
    // Name, terminator, empty notes, terminator: the last four bytes are zero.
    EXPECT_EQ(std::memcmp(Bytes(t.get()) + 536, ZU_TEXT("Default Template"), 32), 0);
    EXPECT_TRUE(Zero(t.get(), 568, 4));
}

TEST(TemplateMake, NameAndNotesFollowThePrivateData) {
    SourceRecord source(6);
    TemplatePtr t = Make(source.get(), 0, 0, ZU_TEXT("N"), ZU_TEXT("Notes"));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->textChars, 8u);
    EXPECT_EQ(t->privateSize, 6u);
    EXPECT_EQ(t->cbSize, 536u + 8 + 16);  // private data padded to 8
    const WCHAR expected[8] = {'N', 0, 'N', 'o', 't', 'e', 's', 0};
    EXPECT_EQ(std::memcmp(Bytes(t.get()) + 544, expected, sizeof expected), 0);
    EXPECT_TRUE(Zero(t.get(), 542, 2));  // the padding
    EXPECT_EQ(Notes(t.get()), WideString(ZU_TEXT("Notes")));
}

TEST(TemplateMake, TakesFieldsAndPartsFromTheSource) {
    SourceRecord source;
    for (uint32_t parts = 0; parts < 4; ++parts) {
        TemplatePtr t = Make(source.get(), parts, 0, ZU_TEXT("x"), nullptr, ZUTEMPLATE_FLAGS_ADAPTED);
        ASSERT_TRUE(t);
        SCOPED_TRACE(parts);
        EXPECT_EQ(t->flags, ZUTEMPLATE_FLAGS_ADAPTED);
        EXPECT_EQ(t->reserved8, source.get()->reserved8);
        EXPECT_EQ(t->formatIndex, source.get()->formatIndex);
        EXPECT_TRUE(SameBytes(t.get(), source.bytes(), 40, 16));    // templateId
        EXPECT_TRUE(SameBytes(t.get(), source.bytes(), 456, 72));   // further settings
        EXPECT_TRUE(Zero(t.get(), 16, 8));                          // reserved
        EXPECT_TRUE(Zero(t.get(), 24, 16));                         // classId: no private data
        const bool audio = parts & ZUTEMPLATE_PART_AUDIO, video = parts & ZUTEMPLATE_PART_VIDEO;
        EXPECT_EQ(SameBytes(t.get(), source.bytes(), 56, 200), audio);
        EXPECT_EQ(Zero(t.get(), 56, 200), !audio);
        EXPECT_EQ(SameBytes(t.get(), source.bytes(), 256, 200), video);
        EXPECT_EQ(Zero(t.get(), 256, 200), !video);
    }
}

TEST(TemplateMake, PrivateDataAndClassIdOnlyWithSourcePrivateData) {
    SourceRecord withPrivate(6);
    TemplatePtr t = Make(withPrivate.get(), 0, 10, ZU_TEXT("p"), nullptr);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->privateSize, 16u);
    EXPECT_EQ(t->cbSize, 536u + 16 + 2 * 3);
    EXPECT_TRUE(SameBytes(t.get(), withPrivate.bytes(), 24, 16));   // classId
    EXPECT_TRUE(SameBytes(t.get(), withPrivate.bytes(), 536, 6));   // private bytes
    EXPECT_TRUE(Zero(t.get(), 542, 10));                            // the extra bytes
    EXPECT_EQ(zu::TemplatePrivateData(t.get()), Bytes(t.get()) + 536);

    SourceRecord without;
    TemplatePtr u = Make(without.get(), 0, 8, ZU_TEXT("p"), nullptr);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->privateSize, 8u);
    EXPECT_TRUE(Zero(u.get(), 24, 16));
    EXPECT_TRUE(Zero(u.get(), 536, 8));
}

TEST(TemplateMake, ReusesACallerBlockWithRoom) {
    SourceRecord first(8, 0, 1), second(0, 0, 2);
    tagZUTEMPLATExV2* t = nullptr;
    ASSERT_EQ(ZuFio_MakeTemplate(&t, 1, first.get(), 3, 0, ZU_TEXT("A longer name"), ZU_TEXT("and notes")), S_OK);
    TemplatePtr owner(t);
    const uint32_t cbSize = t->cbSize, textChars = t->textChars;
    // Same private size (0 + 8 extra), fewer characters: the block is refilled.
    ASSERT_EQ(ZuFio_MakeTemplate(&t, 2, second.get(), 0, 8, ZU_TEXT("Short"), nullptr), S_OK);
    ASSERT_EQ(t, owner.get());
    EXPECT_EQ(t->cbSize, cbSize);
    EXPECT_EQ(t->textChars, textChars);
    EXPECT_EQ(t->flags, 2u);
    EXPECT_EQ(t->formatIndex, second.get()->formatIndex);
    EXPECT_TRUE(SameBytes(t, second.bytes(), 40, 16));
    // What the new source does not supply is cleared, not left from before.
    EXPECT_TRUE(Zero(t, 24, 16));
    EXPECT_TRUE(Zero(t, 56, 400));
    EXPECT_TRUE(Zero(t, 536, 8));
    EXPECT_EQ(Name(t), WideString(ZU_TEXT("Short")));
    EXPECT_TRUE(Notes(t).empty());
    EXPECT_TRUE(Zero(t, 536 + 8 + 2 * 5, (textChars - 5) * 2));
}

TEST(TemplateMake, ReplacesACallerBlockWithoutRoom) {
    SourceRecord source;
    tagZUTEMPLATExV2* t = nullptr;
    ASSERT_EQ(ZuFio_MakeTemplate(&t, 1, source.get(), 1, 0, ZU_TEXT("ab"), nullptr), S_OK);
    tagZUTEMPLATExV2* small = t;
    // More text than the block holds: a new block, the old one freed.
    ASSERT_EQ(ZuFio_MakeTemplate(&t, 1, source.get(), 1, 0, ZU_TEXT("abcdef"), nullptr), S_OK);
    EXPECT_NE(t, small);
    EXPECT_EQ(t->cbSize, 536u + 16);
    tagZUTEMPLATExV2* roomy = t;
    // Room enough but another private size: a new block as well.
    ASSERT_EQ(ZuFio_MakeTemplate(&t, 1, source.get(), 1, 4, ZU_TEXT("a"), nullptr), S_OK);
    EXPECT_NE(t, roomy);
    EXPECT_EQ(t->privateSize, 4u);
    ZuFio_FreeTemplate(t);
}

TEST(TemplateMake, FromItsOwnBlock) {
    SourceRecord source;
    TemplatePtr owner = Make(source.get(), ZUTEMPLATE_PART_AUDIO, 0, ZU_TEXT("First"), ZU_TEXT("Second"));
    tagZUTEMPLATExV2* t = owner.get();
    // Texts taken from the block being rewritten, swapped; no parts asked for,
    // yet a block that is its own source keeps its audio part.
    const WideString name = Name(t), notes = Notes(t);
    ASSERT_EQ(ZuFio_MakeTemplate(&t, 7, t, 0, 0, zu::TemplateNotes(t).data(), zu::TemplateName(t).data()), S_OK);
    ASSERT_EQ(t, owner.get());
    EXPECT_EQ(Name(t), notes);
    EXPECT_EQ(Notes(t), name);
    EXPECT_EQ(t->flags, 7u);
    EXPECT_TRUE(SameBytes(t, source.bytes(), 56, 200));
    // Too small for its new texts: copied to a new block, the old one freed.
    owner.release();
    ASSERT_EQ(ZuFio_MakeTemplate(&t, 7, t, ZUTEMPLATE_PART_AUDIO, 0, ZU_TEXT("A much longer name"), nullptr), S_OK);
    owner.reset(t);
    EXPECT_EQ(Name(t), WideString(ZU_TEXT("A much longer name")));
    EXPECT_TRUE(SameBytes(t, source.bytes(), 56, 200));
}

TEST(TemplateMake, RefusesBadArguments) {
    tagZUTEMPLATExV2* t = nullptr;
    EXPECT_EQ(ZuFio_MakeTemplate(&t, 0, nullptr, 1, 0, nullptr, nullptr), E_POINTER);
    SourceRecord source(4);
    EXPECT_EQ(ZuFio_MakeTemplate(nullptr, 0, source.get(), 1, 0, nullptr, nullptr), E_POINTER);
    // A private size that does not fit the stated block size.
    source.get()->privateSize = 100;
    EXPECT_EQ(ZuFio_MakeTemplate(&t, 0, source.get(), 1, 0, nullptr, nullptr), E_INVALIDARG);
    source.get()->privateSize = 4;
    source.get()->cbSize = 100;
    EXPECT_EQ(ZuFio_MakeTemplate(&t, 0, source.get(), 1, 0, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(t, nullptr);
    // Extra private bytes that would pass 32-bit sizes.
    source.get()->cbSize = 540;
    EXPECT_EQ(ZuFio_MakeTemplate(&t, 0, source.get(), 1, 0xFFFFFFF0u, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(t, nullptr);
    // Null texts are empty.
    ASSERT_EQ(ZuFio_MakeTemplate(&t, 0, source.get(), 1, 0, nullptr, nullptr), S_OK);
    TemplatePtr owner(t);
    EXPECT_EQ(t->textChars, 2u);
}

// ---- ZuFio_SetTemplate ----

TEST(TemplateSet, CopyOverALargerBlockKeepsTheBlock) {
    SourceRecord source;
    TemplatePtr big = Make(source.get(), 1, 0, ZU_TEXT("A rather long template name"), nullptr);
    TemplatePtr small = Make(source.get(), 3, 0, ZU_TEXT("S"), nullptr);
    tagZUTEMPLATExV2* target = big.get();
    ASSERT_EQ(ZuFio_SetTemplate(&target, small.get(), ZUTEMPLATE_SET_COPY), 0);
    EXPECT_EQ(target, big.get());
    EXPECT_EQ(target->cbSize, small->cbSize);
    EXPECT_EQ(std::memcmp(target, small.get(), small->cbSize), 0);
}

TEST(TemplateSet, CopyIntoANewBlock) {
    SourceRecord source;
    TemplatePtr big = Make(source.get(), 1, 0, ZU_TEXT("A rather long template name"), nullptr);
    // A smaller target is replaced.
    tagZUTEMPLATExV2* target = nullptr;
    ASSERT_EQ(ZuFio_MakeTemplate(&target, 0, source.get(), 0, 0, ZU_TEXT("S"), nullptr), S_OK);
    tagZUTEMPLATExV2* smaller = target;
    ASSERT_EQ(ZuFio_SetTemplate(&target, big.get(), ZUTEMPLATE_SET_COPY), 0);
    TemplatePtr copy(target);
    EXPECT_NE(target, smaller);
    EXPECT_NE(target, big.get());
    EXPECT_EQ(std::memcmp(target, big.get(), big->cbSize), 0);
    // A null target gets a new block too.
    tagZUTEMPLATExV2* fresh = nullptr;
    ASSERT_EQ(ZuFio_SetTemplate(&fresh, big.get(), ZUTEMPLATE_SET_COPY), 0);
    TemplatePtr freshOwner(fresh);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(std::memcmp(fresh, big.get(), big->cbSize), 0);
    // A target that is the source itself ends as a copy in a new block.
    const std::vector<uint8_t> bytes(Bytes(fresh), Bytes(fresh) + fresh->cbSize);
    freshOwner.release();
    ASSERT_EQ(ZuFio_SetTemplate(&fresh, fresh, ZUTEMPLATE_SET_COPY), 0);
    freshOwner.reset(fresh);
    EXPECT_EQ(std::memcmp(fresh, bytes.data(), bytes.size()), 0);
}

TEST(TemplateSet, CopyOfNothingFreesTheTarget) {
    SourceRecord source;
    tagZUTEMPLATExV2* target = Make(source.get(), 1, 0, ZU_TEXT("t"), nullptr).release();
    EXPECT_EQ(ZuFio_SetTemplate(&target, nullptr, ZUTEMPLATE_SET_COPY), 0);
    EXPECT_EQ(target, nullptr);
    EXPECT_EQ(ZuFio_SetTemplate(&target, nullptr, ZUTEMPLATE_SET_COPY | ZUTEMPLATE_SET_COMPARE), 1);
    EXPECT_EQ(ZuFio_SetTemplate(nullptr, nullptr, ZUTEMPLATE_SET_COPY), E_POINTER);
}

TEST(TemplateSet, TakeOverHandsTheSourceBlockOver) {
    SourceRecord source;
    tagZUTEMPLATExV2* target = Make(source.get(), 1, 0, ZU_TEXT("old"), nullptr).release();
    tagZUTEMPLATExV2* given = Make(source.get(), 1, 0, ZU_TEXT("new"), nullptr).release();
    ASSERT_EQ(ZuFio_SetTemplate(&target, given, 0), 0);  // the old target is freed
    EXPECT_EQ(target, given);
    ASSERT_EQ(ZuFio_SetTemplate(&target, target, 0), 0);  // the same block is kept
    EXPECT_EQ(target, given);
    ZuFio_FreeTemplate(target);
}

TEST(TemplateSet, CompareResults) {
    SourceRecord source;
    TemplatePtr a = Make(source.get(), 1, 0, ZU_TEXT("same"), nullptr);
    TemplatePtr b = Make(source.get(), 1, 0, ZU_TEXT("same"), nullptr);
    TemplatePtr longer = Make(source.get(), 1, 0, ZU_TEXT("samesame"), nullptr);
    TemplatePtr other = Make(source.get(), 1, 0, ZU_TEXT("SAME"), nullptr);
    const uint32_t compareCopy = ZUTEMPLATE_SET_COMPARE | ZUTEMPLATE_SET_COPY;
    tagZUTEMPLATExV2* target = a.get();
    EXPECT_EQ(ZuFio_SetTemplate(&target, b.get(), compareCopy), 1);  // equal bytes
    EXPECT_EQ(target, a.get());  // an equal-sized block takes the copy in place
    EXPECT_EQ(ZuFio_SetTemplate(&target, b.get(), ZUTEMPLATE_SET_COPY), 0);  // not asked
    EXPECT_EQ(target, a.get());
    EXPECT_EQ(ZuFio_SetTemplate(&target, other.get(), compareCopy), 0);  // one byte differs
    EXPECT_EQ(target, a.get());
    EXPECT_EQ(std::memcmp(target, other.get(), other->cbSize), 0);  // and is copied
    tagZUTEMPLATExV2* shorter = b.get();
    EXPECT_EQ(ZuFio_SetTemplate(&shorter, longer.get(), ZUTEMPLATE_SET_COMPARE | ZUTEMPLATE_SET_COPY), 0);
    b.release();
    b.reset(shorter);
    // The same block, and two nulls, compare equal.
    tagZUTEMPLATExV2* self = a.get();
    EXPECT_EQ(ZuFio_SetTemplate(&self, a.get(), ZUTEMPLATE_SET_COMPARE), 1);
    EXPECT_EQ(self, a.get());
    tagZUTEMPLATExV2* none = nullptr;
    EXPECT_EQ(ZuFio_SetTemplate(&none, nullptr, ZUTEMPLATE_SET_COMPARE), 1);
    EXPECT_EQ(ZuFio_SetTemplate(&self, nullptr, ZUTEMPLATE_SET_COMPARE | ZUTEMPLATE_SET_COPY), 0);
    a.release();  // freed by the copy of nothing
    EXPECT_EQ(self, nullptr);
}

TEST(TemplateSet, CompareAloneStillTakesTheSourceOver) {
    SourceRecord source;
    tagZUTEMPLATExV2* target = Make(source.get(), 1, 0, ZU_TEXT("t"), nullptr).release();
    TemplatePtr given = Make(source.get(), 1, 0, ZU_TEXT("t"), nullptr);
    EXPECT_EQ(ZuFio_SetTemplate(&target, given.get(), ZUTEMPLATE_SET_COMPARE), 1);
    EXPECT_EQ(target, given.get());
}

TEST(TemplateSet, RefusesACopyOfAMalformedSource) {
    SourceRecord source;
    source.get()->cbSize = 100;
    tagZUTEMPLATExV2* target = nullptr;
    EXPECT_EQ(ZuFio_SetTemplate(&target, source.get(), ZUTEMPLATE_SET_COPY), E_INVALIDARG);
    EXPECT_EQ(target, nullptr);
}

// ---- ZuFio_InitGUIDFromTemplateMD5DataHash ----

bool IsVersion3(const GUID& id) {
    const unsigned variant = id.Data4[0] >> 4;
    return (id.Data3 >> 12) == 3 && variant >= 8 && variant <= 0xB;
}

TEST(TemplateIdentifier, TextsCountOnlyWhenAskedFor) {
    SourceRecord source;
    TemplatePtr a = Make(source.get(), 3, 0, ZU_TEXT("Name one"), ZU_TEXT("Notes"));
    TemplatePtr b = Make(source.get(), 3, 0, ZU_TEXT("Name two"), ZU_TEXT("Notes"));
    TemplatePtr c = Make(source.get(), 3, 0, ZU_TEXT("Name one"), ZU_TEXT("Other notes"));
    EXPECT_TRUE(ZuGuidEqual(IdOf(a.get(), FALSE), IdOf(b.get(), FALSE)));
    EXPECT_FALSE(ZuGuidEqual(IdOf(a.get(), TRUE), IdOf(b.get(), TRUE)));
    EXPECT_FALSE(ZuGuidEqual(IdOf(a.get(), TRUE), IdOf(c.get(), TRUE)));
    EXPECT_FALSE(ZuGuidEqual(IdOf(a.get(), FALSE), IdOf(a.get(), TRUE)));
    EXPECT_TRUE(ZuGuidEqual(IdOf(a.get(), TRUE), IdOf(a.get(), TRUE)));
    // Empty texts add nothing to the hash.
    TemplatePtr bare = Make(source.get(), 3, 0, nullptr, nullptr);
    EXPECT_TRUE(ZuGuidEqual(IdOf(bare.get(), FALSE), IdOf(bare.get(), TRUE)));
}

TEST(TemplateIdentifier, CoversContentAndPrivateDataOnly) {
    SourceRecord source(8);
    TemplatePtr t = Make(source.get(), 3, 0, ZU_TEXT("n"), nullptr);
    const GUID base = IdOf(t.get(), FALSE);
    // Outside the hashed bytes: flags, identifiers, sizes of the header.
    t->flags ^= 1;
    t->reserved8 ^= 1;
    t->formatIndex ^= 1;
    Bytes(t.get())[16] ^= 1;
    Bytes(t.get())[24] ^= 1;
    Bytes(t.get())[40] ^= 1;
    EXPECT_TRUE(ZuGuidEqual(IdOf(t.get(), FALSE), base));
    // Each edge of the hashed range and the private data.
    for (size_t offset : {size_t{56}, size_t{255}, size_t{256}, size_t{527}, size_t{536}, size_t{543}}) {
        Bytes(t.get())[offset] ^= 0x40;
        EXPECT_FALSE(ZuGuidEqual(IdOf(t.get(), FALSE), base)) << offset;
        Bytes(t.get())[offset] ^= 0x40;
    }
    EXPECT_TRUE(ZuGuidEqual(IdOf(t.get(), FALSE), base));
}

TEST(TemplateIdentifier, IsAVersion3IdentifierOfTheSaltedDigest) {
    SourceRecord source(5);
    TemplatePtr t = Make(source.get(), 3, 0, ZU_TEXT("Name"), ZU_TEXT("Notes"));
    // The digest as the identifier's construction defines it, worked out here
    // from the record's bytes.
    zu::platform::Md5 md5;
    md5.Update(zu::kTemplateIdentifierSalt, 28);
    md5.Update(Bytes(t.get()) + 56, 472);
    md5.Update(Bytes(t.get()) + 536, 5);
    md5.Update(ZU_TEXT("Name"), 8);
    md5.Update(ZU_TEXT("Notes"), 10);
    uint8_t d[16];
    md5.Final(d);
    const GUID id = IdOf(t.get(), TRUE);
    EXPECT_EQ(id.Data1, zu::LoadLE32(d));
    EXPECT_EQ(id.Data2, zu::LoadLE16(d + 4));
    EXPECT_EQ(id.Data3, zu::LoadLE16(d + 6) % 4096 + 0x3000);
    EXPECT_EQ(id.Data4[0], d[8] % 64 + 128);
    EXPECT_EQ(std::memcmp(id.Data4 + 1, d + 9, 7), 0);
}

TEST(TemplateIdentifier, EveryIdentifierIsVersion3) {
    SourceRecord source;
    TemplatePtr t = Make(source.get(), 3, 0, ZU_TEXT("n"), nullptr);
    std::set<uint32_t> distinct;
    for (int i = 0; i < 256; ++i) {
        t->audioStreamCount = static_cast<uint32_t>(i);
        const GUID id = IdOf(t.get(), i & 1);
        EXPECT_TRUE(IsVersion3(id)) << i;
        distinct.insert(id.Data1);
    }
    EXPECT_GT(distinct.size(), 250u);
}

TEST(TemplateIdentifier, RefusesBadArguments) {
    SourceRecord source;
    GUID id{};
    EXPECT_EQ(ZuFio_InitGUIDFromTemplateMD5DataHash(nullptr, source.get(), FALSE), E_POINTER);
    EXPECT_EQ(ZuFio_InitGUIDFromTemplateMD5DataHash(&id, nullptr, FALSE), E_POINTER);
    source.get()->textChars = 1000;  // more text than the block holds
    EXPECT_EQ(ZuFio_InitGUIDFromTemplateMD5DataHash(&id, source.get(), TRUE), E_INVALIDARG);
}

// ---- ZuFio_IsUpliftedV1Template and the audio format that counts ----

TEST(TemplateUplifted, RecognisesTheFirstVersionIdentifier) {
    SourceRecord source;
    tagZUTEMPLATExV2* t = source.get();
    const uint8_t tail[10] = {0x10, 0x10, 0x80, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00};
    std::memcpy(Bytes(t) + 40 + 6, tail, sizeof tail);
    t->flags = ZUTEMPLATE_FLAGS_ADAPTED;
    EXPECT_TRUE(ZuFio_IsUpliftedV1Template(t));
    t->templateId.Data1 = 0x12345678;  // the first six bytes are free
    t->templateId.Data2 = 0xABCD;
    EXPECT_TRUE(ZuFio_IsUpliftedV1Template(t));
    t->flags = ZUTEMPLATE_FLAGS_DEFAULT;
    EXPECT_FALSE(ZuFio_IsUpliftedV1Template(t));
    t->flags = ZUTEMPLATE_FLAGS_ADAPTED;
    for (size_t i = 6; i < 16; ++i) {
        Bytes(t)[40 + i] ^= 0x01;
        EXPECT_FALSE(ZuFio_IsUpliftedV1Template(t)) << i;
        Bytes(t)[40 + i] ^= 0x01;
    }
    EXPECT_FALSE(ZuFio_IsUpliftedV1Template(nullptr));
}

TEST(TemplateAudio, SecondFormatCountsWhenSet) {
    SourceRecord source;
    tagZUTEMPLATExV2* t = source.get();
    std::memset(t->audioFormat2, 0, sizeof t->audioFormat2);
    EXPECT_EQ(zu::TemplateAudioFormat(t), t->audioFormat);
    zu::StoreLE32(t->audioFormat2 + 4, 17);  // a sample type
    EXPECT_EQ(zu::TemplateAudioFormat(t), t->audioFormat2);
    zu::StoreLE32(t->audioFormat2 + 24, 8);  // explicit-tag form: only the tag counts
    EXPECT_EQ(zu::TemplateAudioFormat(t), t->audioFormat);
    zu::StoreLE16(t->audioFormat2 + 28, 2);
    EXPECT_EQ(zu::TemplateAudioFormat(t), t->audioFormat2);
}

}  // namespace

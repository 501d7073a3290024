// The module's string table: language switching, fallback, the cache, and
// that every language carries every message of the English table.
#include <gtest/gtest.h>

#include <string>

#include "kernel/string_table.h"
#include "platform/platform.h"

namespace {

using Text = std::basic_string<WCHAR>;
Text T(const char16_t* s) { return Text(s, s + std::char_traits<char16_t>::length(s)); }

const LCID kLanguages[] = {1033, 1031, 1036, 1041, 1045, 1049, 2052, 3082};
const UINT kMessages[] = {1004, 1005, 1013, 1015, 1016, 1018, 1021, 1022, 1028, 1029, 1031, 1032, 1033, 1035,
                          1037, 1038, 1039, 1040, 1047, 1134, 1136, 1146, 1147, 1148, 1149, 2007, 2008};

class LanguageHandle : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ZuLang_Open(&h, nullptr, 0, 0, 0), S_OK); }
    void TearDown() override { ZuLang_Close(h); }
    HZULANG h = nullptr;
};

TEST_F(LanguageHandle, SwitchingLanguageFetchesAfreshAndZeroMeansEnglish) {
    EXPECT_EQ(ZuLang_GetLCID(h), 0u);
    EXPECT_EQ(Text(ZuGetString(h, 1016)), T(u"DLS Instrument"));  // neutral falls back to English
    ASSERT_TRUE(ZuLang_UpdateKernelLCID(h, 1031, 0));
    EXPECT_EQ(Text(ZuGetString(h, 1016)), T(u"DLS-Instrument"));
    EXPECT_EQ(Text(ZuGetString(h, 1015)), T(u"GIG-Instrument \u00f6ffnen"));
    ASSERT_TRUE(ZuLang_UpdateKernelLCID(h, 0, 0));
    EXPECT_EQ(ZuLang_GetLCID(h), 1033u);
    EXPECT_EQ(Text(ZuGetString(h, 1016)), T(u"DLS Instrument"));  // not the cached German text
    EXPECT_FALSE(zu::platform::DefaultLayoutRightToLeft());
    ASSERT_TRUE(ZuLang_UpdateKernelLCID(h, 1025, 0));  // Arabic lays out right to left
    EXPECT_TRUE(zu::platform::DefaultLayoutRightToLeft());
    EXPECT_EQ(Text(ZuGetString(h, 1016)), T(u"DLS Instrument"));  // no Arabic table: English
    ZuLang_UpdateKernelLCID(h, 1033, 0);
    EXPECT_FALSE(zu::platform::DefaultLayoutRightToLeft());
}

TEST_F(LanguageHandle, TrailingBlankAndMissingMessages) {
    ZuLang_UpdateKernelLCID(h, 1033, 0);
    EXPECT_EQ(Text(ZuGetString(h, 1013)), T(u"GIG Instrument "));
    EXPECT_EQ(Text(ZuGetString(h, 1148)), T(u"%s (5d wave)"));
    const WCHAR* missing = ZuGetString(h, 4242);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing[0], 0);
    EXPECT_EQ(ZuGetString(h, 4242)[0], 0);  // asked again, still nothing, no crash
    WCHAR buf[8];
    buf[0] = 'x';
    EXPECT_EQ(ZuLoadString(h, 4242, buf, 8), 0);
    EXPECT_EQ(buf[0], 0);
    // A short buffer is cut and terminated.
    EXPECT_EQ(ZuLoadString(h, 1016, buf, 4), 3);
    EXPECT_EQ(Text(buf), T(u"DLS"));
    // The cached pointer stays valid across later lookups.
    const WCHAR* first = ZuGetString(h, 1005);
    for (UINT m : kMessages) ZuGetString(h, m);
    EXPECT_EQ(Text(first), T(u"GIG Instrument"));
}

TEST_F(LanguageHandle, EveryLanguageHasEveryMessage) {
    for (LCID lcid : kLanguages) {
        ASSERT_TRUE(ZuLang_UpdateKernelLCID(h, lcid, 0));
        for (UINT m : kMessages) {
            const WCHAR* text = nullptr;
            size_t len = 0;
            EXPECT_TRUE(zu::platform::FindStringResource(zu::platform::SelfModule(), static_cast<uint16_t>(lcid), m, &text, &len))
                << "message " << m << " missing in " << lcid;
            EXPECT_NE(ZuGetString(h, m)[0], 0) << m << " in " << lcid;
        }
        // The trailing blank of 1013 survives in every language.
        const Text t(ZuGetString(h, 1013));
        ASSERT_FALSE(t.empty());
        EXPECT_EQ(t.back(), ' ') << lcid;
    }
}

TEST(LanguageHandleLifecycle, OpenTwiceIsRefusedAndNullHandlesAreHarmless) {
    HZULANG h = nullptr;
    ASSERT_EQ(ZuLang_Open(&h, nullptr, 1036, 100, 0), S_OK);
    HZULANG kept = h;
    EXPECT_LT(ZuLang_Open(&h, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(h, kept);
    EXPECT_EQ(ZuLang_GetLCID(h), 1036u);
    EXPECT_EQ(Text(ZuGetString(h, 1022)), T(u"Mod\u00e8le par d\u00e9faut"));
    ZuLang_Close(h);
    ZuLang_Close(nullptr);
    EXPECT_EQ(ZuLang_GetLCID(nullptr), 0u);
    EXPECT_FALSE(ZuLang_UpdateKernelLCID(nullptr, 1031, 0));
    EXPECT_EQ(ZuGetString(nullptr, 1016)[0], 0);
}

}  // namespace

namespace zu::platform {
extern const StringResourceTable kBuiltinStringTable;
}

// On Windows the texts come from the module's resources and on Linux from the
// compiled-in table; both are generated from one source and must agree.
TEST(MessageTable, ResourcesEqualTheCompiledInTable) {
    const auto& table = zu::platform::kBuiltinStringTable;
    ASSERT_EQ(table.count, 216u);
    for (size_t i = 0; i < table.count; ++i) {
        const auto& e = table.entries[i];
        const WCHAR* text = nullptr;
        size_t len = 0;
        ASSERT_TRUE(zu::platform::FindStringResource(zu::platform::SelfModule(), e.language, e.id, &text, &len)) << e.id;
        EXPECT_EQ(Text(text, len), Text(e.text, e.length)) << e.id << " in " << e.language;
    }
}

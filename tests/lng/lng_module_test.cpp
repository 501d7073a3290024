// A language module beside the program is searched first; what it lacks comes
// from the program's own table, and the "^*" marker is removed.
#include <gtest/gtest.h>

#include <string>

#include "kernel/string_table.h"

namespace {

using Text = std::basic_string<WCHAR>;
Text T(const char16_t* s) { return Text(s, s + std::char_traits<char16_t>::length(s)); }

TEST(LanguageModule, IsSearchedFirstAndFallsBackToTheModule) {
    HZULANG h = nullptr;
    ASSERT_EQ(ZuLang_Open(&h, nullptr, 0, 0, 0), S_OK);
    ASSERT_TRUE(ZuLang_UpdateKernelLCID(h, 1031, 0));
    EXPECT_EQ(Text(ZuGetString(h, 1016)), T(u"Sprachmodul-DLS"));
    // Missing from the language module: the module's own text in its default language.
    EXPECT_EQ(Text(ZuGetString(h, 1005)), T(u"GIG Instrument"));
    ASSERT_TRUE(ZuLang_UpdateKernelLCID(h, 1033, 0));
    EXPECT_EQ(Text(ZuGetString(h, 1022)), T(u"Marked Template"));
    WCHAR buf[64];
    EXPECT_EQ(ZuLoadString(h, 1022, buf, 64), 15);
    EXPECT_EQ(Text(ZuGetString(h, 1016)), T(u"DLS Instrument"));
    ZuLang_Close(h);
}

}  // namespace

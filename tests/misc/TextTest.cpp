#include "misc/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

namespace
{

TEST(Format, WideArgumentsNumbersAndLongOutput)
{
    EXPECT_EQ(Misc::Format(L"%ls=%d [%08X]", L"name", -3, 0xBEEFu), L"name=-3 [0000BEEF]");
    const std::wstring longText(5000, L'q');
    EXPECT_EQ(Misc::Format(L"<%ls>", longText.c_str()).size(), 5002u);
    EXPECT_EQ(Misc::FormatLimited(4, L"%ls", L"abcdefgh"), L"abcd");
}

TEST(LocalTimeText, FollowsTheStrftimePattern)
{
    const std::wstring text = Misc::LocalTimeText(L"Scanned at %H:%M:%S");
    EXPECT_TRUE(std::regex_match(std::string(text.begin(), text.end()),
                                 std::regex("Scanned at [0-2][0-9]:[0-5][0-9]:[0-6][0-9]")));
}

TEST(CodePages, RoundTripAndCaseInsensitiveEquality)
{
    const std::wstring text = L"Gr\u00FC\u00DFe \u20AC";
    EXPECT_EQ(OrvoTest::Widen(Misc::ToCodePage(text, CP_UTF8)), text);
    EXPECT_EQ(Misc::ToCodePage(L"", CP_UTF8), "");
    EXPECT_TRUE(Misc::EqualsNoCase(L"C:\\Program Files\\X", L"c:\\PROGRAM FILES\\x"));
    EXPECT_FALSE(Misc::EqualsNoCase(L"abc", L"abcd"));
}

} // namespace

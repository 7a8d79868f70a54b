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

TEST(EqualsAsciiNoCase, FoldsOnlyAsciiLetters)
{
    struct Case
    {
        const wchar_t* a;
        const wchar_t* b;
        bool equal;
    };
    const Case cases[] = {
        {L"C:\\Temp\\Viewer.log", L"c:\\temp\\VIEWER.LOG", true},
        {L"C:\\Temp\\Viewer.log", L"C:\\Temp\\Viewer.lo", false},
        {L"\u00C4.log", L"\u00E4.log", false}, // A with diaeresis is not folded
        {L"\u0414.log", L"\u0434.log", false}, // nor is Cyrillic
        {L"[.log", L"{.log", false},           // punctuation next to the letter ranges
        {L"@", L"`", false},
        {L"", L"", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Misc::EqualsAsciiNoCase(c.a, c.b), c.equal) << static_cast<int>(&c - cases);
}

} // namespace

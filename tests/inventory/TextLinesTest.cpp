#include "inventory/TextLines.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using V = std::vector<std::wstring>;

TEST(TextLines, SplitsBytesAndMarkedUnicodeIntoLines)
{
    struct Case
    {
        const char* what;
        std::string bytes;
        V lines;
    };
    const Case cases[] = {
        {"empty file", "", {}},
        {"end-of-text byte ends the file",
         "AB\x1A"
         "C",
         {L"AB"}},
        {"final line break adds no line", "one\r\ntwo\r\n", {L"one", L"two"}},
        {"last line without break", "one\ntwo", {L"one", L"two"}},
        {"empty lines stay", "\n\r\nx\n\n", {L"", L"", L"x", L""}},
        {"lone carriage return is a character", "a\rb\r", {L"a\rb\r"}},
        {"carriage return before end of text stays", "a\r\x1A\n", {L"a\r"}},
        {"bytes are characters of the same code", "\xE4\x80\xFF", {L"\u00E4\u0080\u00FF"}},
        {"UTF-8 without mark shows every byte", "\xC3\xA4", {L"\u00C3\u00A4"}},
        {"zero byte ends its line", std::string("a\0b\r\n\0c\nd", 9), {L"a", L"", L"d"}},
        {"UTF-16 zero character ends its line",
         std::string("\xFF\xFE"
                     "a\0\0\0b\0\n\0c\0",
                     12),
         {L"a", L"c"}},
        {"UTF-8 with mark",
         "\xEF\xBB\xBF"
         "K\xC3\xA4se\r\nZ\n",
         {L"K\u00E4se", L"Z"}},
        {"UTF-16 with mark", std::string("\xFF\xFEK\0\xE4\0\r\0\n\0[\0]\0", 14), {L"K\u00E4", L"[]"}},
        {"UTF-16 with a dangling byte", std::string("\xFF\xFEO\0K", 5), {L"O\uFFFD"}},
        {"mark alone", "\xFF\xFE", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextLines(c.bytes), c.lines) << c.what;
}

class TextFileTest : public OrvoTest::TempDirTest
{
};

TEST_F(TextFileTest, ReadsAWholeFileOrSaysItCannot)
{
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "line " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"big.txt"), big));
    V lines{L"stale"};
    ASSERT_TRUE(ReadTextFileLines(PathOf(L"big.txt"), lines));
    ASSERT_EQ(lines.size(), 20000u);
    EXPECT_EQ(lines.back(), L"line 19999");
    EXPECT_FALSE(ReadTextFileLines(PathOf(L"missing.txt"), lines));
    EXPECT_TRUE(lines.empty());
}

} // namespace

#include "system/EncodeBytes.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace
{

using OrvoTest::Narrow;

TEST(EncodeBytes, Base64LayoutWithTheReportAlphabet)
{
    struct Case
    {
        std::vector<unsigned char> bytes;
        const char* text;
    };
    const Case cases[] = {
        {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "ABorPE1e"},
        {{0xFF}, "-w[["},
        {{0xFB, 0xFF}, "*-8["},
        {{0xFB, 0xFF, 0xBF}, "*-*-"},
        {{0x00}, "AA[["},
        {{0x00, 0x00, 0x00}, "AAAA"},
        {{'M', 'a', 'n'}, "TWFu"},
        {{'M', 'a', 'n', 'y'}, "TWFueQ[["},
        {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70}, "ABorPE1eb3A["},
        {{}, ""},
    };
    for (const Case& c : cases)
    {
        std::unique_ptr<wchar_t[]> text;
        static const unsigned char kNone = 0;
        const unsigned char* bytes = c.bytes.empty() ? &kNone : c.bytes.data();
        const int n = EncodeBytes(bytes, c.bytes.size(), &text);
        ASSERT_NE(text, nullptr) << c.text;
        EXPECT_EQ(n, static_cast<int>(std::strlen(c.text))) << c.text;
        EXPECT_EQ(n, static_cast<int>(4 * ((c.bytes.size() + 2) / 3)));
        EXPECT_EQ(std::wcslen(text.get()), static_cast<std::size_t>(n)) << "NUL-terminated";
        EXPECT_EQ(Narrow(text.get()), c.text);
        std::vector<unsigned char> back = {0x42};
        EXPECT_TRUE(DecodeBytes(text.get(), back)) << c.text;
        EXPECT_EQ(back, c.bytes) << c.text;
    }
}

// A report read back from outside may hold any text where the address belongs.
TEST(DecodeBytes, RefusesWhatEncodeBytesNeverWrites)
{
    for (const wchar_t* text :
         {L"ABC", L"AB+/", L"AB==", L"A[[[", L"AB[A", L"AB[[ABCD", L"ABorPE1", L"AB CD"})
    {
        std::vector<unsigned char> bytes;
        EXPECT_FALSE(DecodeBytes(text, bytes)) << Narrow(text);
    }
}

TEST(EncodeBytes, MissingInputOrTargetGivesNothing)
{
    const unsigned char byte = 1;
    std::unique_ptr<wchar_t[]> text;
    EXPECT_EQ(EncodeBytes(nullptr, 3, &text), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(EncodeBytes(&byte, 1, nullptr), 0);
}

} // namespace

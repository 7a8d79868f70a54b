#include "report/ZipReader.h"

#include "misc/Handles.h"
#include "report/XmlReport.h"
#include "report/ZipArchive.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using Misc::ZipReader;

class ZipReaderTest : public OrvoTest::TempDirTest
{
};

// The report is parsed by the platform's DOM, a COM object.
class XmlReportTest : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(m_com.Started()); }

  private:
    Misc::ComScope m_com;
};

// What the writer packs, the reader gives back byte for byte: stored and deflated
// entries, an empty one, and two of one name told apart by their order.
TEST_F(ZipReaderTest, ReadsBackWhatTheWriterPacked)
{
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    const struct
    {
        const wchar_t* entry;
        std::string bytes;
    } files[] = {
        {L"Viewer.log", text}, {L"inner.zip", "PK not really"}, {L"empty.txt", ""}, {L"Viewer.log", "2nd"}};
    Misc::ZipArchive archive;
    ASSERT_TRUE(archive.Open(PathOf(L"a.zip")));
    int n = 0;
    for (const auto& f : files)
    {
        const std::wstring source = PathOf(L"src" + std::to_wstring(n++));
        ASSERT_TRUE(OrvoTest::WriteBytes(source, f.bytes));
        ASSERT_TRUE(archive.AddFile(f.entry, source));
    }
    ASSERT_TRUE(archive.Close());

    ZipReader reader;
    ASSERT_TRUE(reader.Open(PathOf(L"a.zip"))) << OrvoTest::Narrow(reader.Error());
    ASSERT_EQ(reader.Entries().size(), 4u);
    for (std::size_t occurrence : {0u, 1u})
    {
        const ZipReader::Entry* entry = reader.Find(L"Viewer.log", occurrence);
        ASSERT_NE(entry, nullptr);
        std::string data;
        ASSERT_TRUE(reader.Read(*entry, data)) << OrvoTest::Narrow(reader.Error());
        EXPECT_EQ(data, occurrence == 0 ? text : "2nd");
    }
    for (const wchar_t* name : {L"inner.zip", L"empty.txt"})
    {
        std::string data = "x";
        ASSERT_NE(reader.Find(name), nullptr) << OrvoTest::Narrow(name);
        EXPECT_TRUE(reader.Read(*reader.Find(name), data));
        EXPECT_EQ(data, name == std::wstring(L"empty.txt") ? "" : "PK not really");
    }
    EXPECT_EQ(reader.Find(L"Viewer.log", 2), nullptr);
    EXPECT_EQ(reader.Find(L"viewer.log"), nullptr); // names are only compared exactly
    EXPECT_EQ(reader.Find(L""), nullptr);
}

// Refused on the directory's word alone, before anything is read.
TEST(ZipEntryRefusal, SizesRatiosMethodsAndEncryption)
{
    const std::uint32_t GiB = 1u << 30;
    const struct
    {
        std::uint16_t flags, method;
        std::uint32_t compressed, size;
        const wchar_t* refusal; // empty: may be read
    } cases[] = {
        {0, 8, 2, 0, L""},
        {0, 8, 1000, 1000000, L""},
        {0, 8, 1000, 1000001, L"the entry \"e\" would expand more than 1000 to 1"},
        {0, 8, 0, 1001, L"the entry \"e\" would expand more than 1000 to 1"},
        {0, 0, GiB, GiB, L""},
        {0, 0, GiB + 1, GiB + 1, L"the entry \"e\" is larger than 1 GiB"},
        {0, 8, 0xFFFFFFFF, 0xFFFFFFFF, L"the entry \"e\" is larger than 1 GiB"},
        {0, 0, 10, 11, L"the entry \"e\" is damaged (its sizes differ)"},
        {1, 8, 10, 10, L"the entry \"e\" is encrypted"},
        {0, 12, 10, 10, L"the entry \"e\" uses an unknown compression method (12)"},
    };
    for (const auto& c : cases)
    {
        ZipReader::Entry entry;
        entry.name = "e";
        entry.flags = c.flags;
        entry.method = c.method;
        entry.compressedSize = c.compressed;
        entry.size = c.size;
        EXPECT_EQ(Misc::ZipEntryRefusal(entry), c.refusal) << c.compressed << " " << c.size;
    }
}

// Only well-formed XML without a document type is read; what is refused says why.
TEST_F(XmlReportTest, LoadsOnlyPlainWellFormedText)
{
    const struct
    {
        std::string bytes;
        const wchar_t* error; // empty: loads, and the root is "Root"
    } cases[] = {
        {"<Root><System/></Root>", L""},
        {"\xEF\xBB\xBF<Root a=\"&amp;quot;\"/>", L""},
        {std::string("\xFF\xFE<\0R\0o\0o\0t\0/\0>\0", 16), L""},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Root/>", L""},
        {"<!DOCTYPE Root [<!ENTITY x SYSTEM \"file:///C:/windows/win.ini\">]><Root>&x;</Root>",
         L"the report declares a document type, which OrvoDiag never writes"},
        {"<Root><!DOCTYPE x></Root>", L"the report declares a document type, which OrvoDiag never writes"},
        {"<Root>\xC3\x28</Root>", L"the report is not UTF-8 or UTF-16 text"},
        {std::string("<Root>\0</Root>", 14), L"the report holds NUL characters"},
        {std::string("\xFF\xFE<\0R", 5), L"the report is not UTF-8 or UTF-16 text"},
    };
    for (const auto& c : cases)
    {
        Misc::XmlReport report;
        std::wstring error;
        const bool loaded = report.Load(c.bytes, error);
        EXPECT_EQ(loaded, *c.error == 0) << c.bytes;
        EXPECT_EQ(error, c.error) << c.bytes;
        if (loaded)
        {
            EXPECT_EQ(report.Root().Name(), L"Root");
        }
    }
    for (const char* broken : {"", "<Root>", "<Root></Toor>", "just text", "<Root/><Root/>"})
    {
        Misc::XmlReport report;
        std::wstring error;
        EXPECT_FALSE(report.Load(broken, error)) << broken;
        EXPECT_EQ(error.rfind(L"the report is not well-formed XML (line ", 0), 0u) << OrvoTest::Narrow(error);
    }
}

TEST_F(XmlReportTest, AttributesComeBackAsTheBuilderWasGivenThem)
{
    Misc::XmlReport report;
    std::wstring error, text;
    ASSERT_TRUE(
        report.Load("<Root n=\"-12\" big=\"2147483648\" q=\"&amp;quot;a&amp;apos;\" x=\"1a\"/>", error));
    int value = 0;
    EXPECT_TRUE(report.Root().IntAttribute(L"n", value));
    EXPECT_EQ(value, -12);
    EXPECT_FALSE(report.Root().IntAttribute(L"big", value));
    EXPECT_FALSE(report.Root().IntAttribute(L"x", value));
    EXPECT_FALSE(report.Root().IntAttribute(L"missing", value));
    EXPECT_TRUE(report.Root().TextAttribute(L"q", text));
    EXPECT_EQ(text, L"\"a'");
}

} // namespace

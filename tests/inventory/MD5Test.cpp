#include "inventory/MD5.h"

#include "inventory/FileFacts.h"
#include "misc/Handles.h"
#include "misc/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{

using Misc::MD5;
using OrvoTest::Narrow;

std::wstring Digest(const std::string& bytes)
{
    MD5 md5;
    md5.Update(bytes.data(), bytes.size());
    uint8_t digest[MD5::kDigestSize];
    md5.Final(digest);
    return MD5::HexText(digest);
}

// The test suite of RFC 1321, in upper-case digits.
const std::pair<const char*, const wchar_t*> kRfcSuite[] = {
    {"", L"D41D8CD98F00B204E9800998ECF8427E"},
    {"a", L"0CC175B9C0F1B6A831C399E269772661"},
    {"abc", L"900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", L"F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", L"C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", L"D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     L"57EDF4A22BE3C955AC49DA2E2107B67A"},
};

TEST(MD5Digest, RfcTestSuite)
{
    for (const auto& [message, expected] : kRfcSuite)
        EXPECT_EQ(Digest(message), expected) << message;
}

// Lengths around the padding boundaries (56 and 64 bytes) and several blocks.
TEST(MD5Digest, PaddingBoundaries)
{
    const std::pair<std::size_t, const wchar_t*> cases[] = {
        {55, L"EF1772B6DFF9A122358552954AD0DF65"},  {56, L"3B0C8AC703F828B04C6C197006D17218"},
        {57, L"652B906D60AF96844EBD21B674F35E93"},  {63, L"B06521F39153D618550606BE297466D5"},
        {64, L"014842D480B571495A4A0363793F7367"},  {65, L"C743A45E0D2E6A95CB859ADAE0248435"},
        {119, L"8A7BD0732ED6A28CE75F6DABC90E1613"}, {120, L"5F61C0CCAD4CAC44C75FF505E1F1E537"},
        {128, L"E510683B3F5FFE4093D021808BC6FF70"}, {1000000, L"7707D6AE4E027C70EEA2A935C2296F21"},
    };
    for (const auto& [count, expected] : cases)
        EXPECT_EQ(Digest(std::string(count, 'a')), expected) << count << " times 'a'";
}

// However the message is cut into pieces, the digest is the same.
TEST(MD5Digest, PiecesGiveTheSameDigest)
{
    const std::string message = kRfcSuite[6].first;
    const std::wstring expected = kRfcSuite[6].second;
    for (std::size_t cut = 0; cut <= message.size(); ++cut)
    {
        MD5 md5;
        md5.Update(message.data(), cut);
        md5.Update(message.data() + cut, message.size() - cut);
        uint8_t digest[MD5::kDigestSize];
        md5.Final(digest);
        EXPECT_EQ(MD5::HexText(digest), expected) << "cut at " << cut;
    }
    MD5 md5;
    for (char c : message)
        md5.Update(&c, 1);
    md5.Update(nullptr, 0);
    uint8_t digest[MD5::kDigestSize];
    md5.Final(digest);
    EXPECT_EQ(MD5::HexText(digest), expected) << "byte by byte";
}

TEST(MD5Digest, FinalStartsAnEmptyMessage)
{
    MD5 md5;
    md5.Update("abc", 3);
    uint8_t digest[MD5::kDigestSize];
    md5.Final(digest);
    EXPECT_EQ(MD5::HexText(digest), L"900150983CD24FB0D6963F7D28E17F72");
    md5.Final(digest);
    EXPECT_EQ(MD5::HexText(digest), L"D41D8CD98F00B204E9800998ECF8427E");
    md5.Update("a", 1);
    md5.Final(digest);
    EXPECT_EQ(MD5::HexText(digest), L"0CC175B9C0F1B6A831C399E269772661");
}

TEST(MD5Digest, HexTextIsUpperCaseTwoDigitsPerByteInOrder)
{
    const uint8_t digest[MD5::kDigestSize] = {0x00, 0x01, 0x0F, 0x10, 0x7F, 0x80, 0xAB, 0xCD,
                                              0xEF, 0xF0, 0xFE, 0xFF, 0x09, 0x90, 0xA0, 0x0A};
    EXPECT_EQ(MD5::HexText(digest), L"00010F107F80ABCDEFF0FEFF0990A00A");
}

std::string Pattern(std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

class FileDigest : public OrvoTest::TempDirTest
{
};

TEST_F(FileDigest, RfcSuiteAsFiles)
{
    int n = 0;
    for (const auto& [message, expected] : kRfcSuite)
    {
        const std::wstring path = PathOf(Misc::Format(L"rfc%d.txt", ++n));
        ASSERT_TRUE(OrvoTest::WriteBytes(path, message));
        EXPECT_EQ(ReadFileFacts(path).digest, expected) << message;
    }
}

// Files around the sizes of the read blocks: one block and a byte more.
TEST_F(FileDigest, BlockSizes)
{
    const std::pair<std::size_t, const wchar_t*> cases[] = {
        {0, L"D41D8CD98F00B204E9800998ECF8427E"},     {512, L"6A5382ABBCDBCF1BD54B3AF589F56281"},
        {513, L"25C342511E72156B2041B8F6EC71228A"},   {65535, L"70A2002BD59609D66EFFC9F59E27E0A7"},
        {65536, L"55F3DA07043D8F6F30808F9309120B1D"}, {65537, L"8BBE2BA9B420C53493027ED87DBC57C8"},
    };
    for (const auto& [size, expected] : cases)
    {
        const std::wstring path = PathOf(Misc::Format(L"pattern%zu.bin", size));
        ASSERT_TRUE(OrvoTest::WriteBytes(path, Pattern(size)));
        EXPECT_EQ(ReadFileFacts(path).digest, expected) << size << " bytes";
    }
}

TEST_F(FileDigest, UnreadableFilesGiveNoDigest)
{
    CreateDirectoryW(PathOf(L"folder").c_str(), nullptr);
    for (const std::wstring& path : {PathOf(L"missing.bin"), PathOf(L"folder"), std::wstring()})
        EXPECT_EQ(ReadFileFacts(path).digest, L"") << Narrow(path);
}

TEST_F(FileDigest, WritersAreDeniedReadersNot)
{
    const std::wstring path = PathOf(L"held.bin");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "abc"));
    {
        // Another reader that lets others read does not stand in the way.
        Misc::FileHandle reader(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(reader);
        EXPECT_EQ(ReadFileFacts(path).digest, L"900150983CD24FB0D6963F7D28E17F72");
    }
    {
        // A file open for writing, even one shared for reading, is not digested.
        Misc::FileHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
        EXPECT_EQ(ReadFileFacts(path).digest, L"");
    }
    {
        Misc::FileHandle exclusive(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(exclusive);
        EXPECT_EQ(ReadFileFacts(path).digest, L"");
    }
    EXPECT_EQ(ReadFileFacts(path).digest, L"900150983CD24FB0D6963F7D28E17F72");
}

// Large generated files whose digests a later test step compares with md5sum.
TEST(Md5Artifacts, LargeGeneratedFiles)
{
    if (std::getenv("ORVO_MD5_ARTIFACTS") == nullptr)
        GTEST_SKIP() << "written only for the md5sum check (ORVO_MD5_ARTIFACTS)";

    const std::size_t sizes[] = {
        0, 1, 512, 513, 64 * 1024, 64 * 1024 + 1, 1024 * 1024 + 17, 7 * 1024 * 1024 - 3, 16 * 1024 * 1024};
    // A listing left by an earlier run must not stand in for this one.
    const std::wstring listingPath = OrvoTest::ArtifactPath(L"md5_digests.txt");
    ::DeleteFileW(listingPath.c_str());
    std::string listing;
    uint32_t seed = 0x4F52564F;
    int n = 0;
    for (std::size_t size : sizes)
    {
        std::string bytes(size, '\0');
        for (char& c : bytes)
        {
            seed = seed * 1664525u + 1013904223u;
            c = static_cast<char>(seed >> 24);
        }
        const std::wstring name = Misc::Format(L"md5_large_%d.bin", ++n);
        const std::wstring path = OrvoTest::ArtifactPath(name);
        ASSERT_TRUE(OrvoTest::WriteBytes(path, bytes)) << Narrow(path);
        const std::wstring text = ReadFileFacts(path).digest;
        ASSERT_EQ(text.size(), 32u) << Narrow(path);
        listing += Narrow(text) + "  " + Narrow(name) + "\n";
    }
    ASSERT_TRUE(OrvoTest::WriteBytes(listingPath, listing));
}

} // namespace

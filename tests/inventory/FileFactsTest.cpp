#include "inventory/FileFacts.h"

#include "inventory/ApplicationsInfo.h"
#include "inventory/PeInfo.h"
#include "misc/Handles.h"
#include "report/FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using OrvoTest::Narrow;

TEST(MayHoldVersionResource, OnlyImagesAndCompressedFiles)
{
    struct Case
    {
        std::string head;
        bool may;
    };
    const Case cases[] = {{"MZ", true},
                          {"MZ\x90\x00rest", true},
                          {"SZDD\x88\xf0", true},
                          {"KWAJ", true},
                          {"", false},
                          {"M", false},
                          {"ZM", false},
                          {"SZD", false},
                          {"mz", false},
                          {"[Settings]", false},
                          {"PE\0\0", false}};
    for (const Case& c : cases)
        EXPECT_EQ(MayHoldVersionResource(reinterpret_cast<const std::uint8_t*>(c.head.data()), c.head.size()),
                  c.may)
            << c.head;
}

// The one-pass reading gives every fact exactly as its own lookup does.
class ReadFileFactsTest : public OrvoTest::TempDirTest
{
  protected:
    // The image reader on a handle of its own, writers denied, as the platform is defined.
    static std::wstring PlatformOnItsOwn(const std::wstring& path)
    {
        Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        Misc::CpeInfo image;
        if (!file || !image.Read(file) || !image.IsRecognised())
            return {};
        return Misc::CpeInfo::PlatformName(image.Machine());
    }
    static void ExpectSameAsEachLookup(const std::wstring& path)
    {
        const FileFacts facts = ReadFileFacts(path);
        std::wstring date;
        Misc::FileDateText(path, date);
        EXPECT_EQ(facts.date, date) << Narrow(path);
        EXPECT_EQ(facts.size, FileSizeText(path)) << Narrow(path);
        EXPECT_EQ(facts.platform, PlatformOnItsOwn(path)) << Narrow(path);
        EXPECT_EQ(facts.digest, OrvoTest::ReferenceDigest(path)) << Narrow(path);
    }

    // An image whose headers lie beyond the first block read for the digest.
    static std::string FarHeaderImage(std::uint32_t lfanew)
    {
        std::string bytes(lfanew + 24 + 240 + 100, '\0');
        bytes[0] = 'M';
        bytes[1] = 'Z';
        for (int i = 0; i < 4; ++i)
            bytes[60 + i] = static_cast<char>(lfanew >> (8 * i));
        bytes.replace(lfanew, 4, std::string("PE\0\0", 4));
        bytes[lfanew + 4] = static_cast<char>(0x64); // x64
        bytes[lfanew + 5] = static_cast<char>(0x86);
        bytes[lfanew + 20] = static_cast<char>(240); // optional header size
        bytes[lfanew + 24] = 0x0B;                   // PE32+ magic
        bytes[lfanew + 25] = 0x02;
        return bytes;
    }
};

TEST_F(ReadFileFactsTest, AgreesWithEachLookupOnImagesTextsAndSizesAroundTheBlocks)
{
    for (const wchar_t* fixture :
         {L"pe64_library.dll", L"pe32_program.exe", L"version_plain.dll", L"pe_text.txt", L"pe_mz100.bin",
          L"pe_bad_signature.bin", L"pe_optional_small.bin", L"pe_optional240.bin", L"pe_itanium.bin",
          L"pe_no_gap.bin", L"pe_unknown_machine.bin"})
        ExpectSameAsEachLookup(OrvoTest::FixturePath(fixture));

    std::string pattern;
    for (int i = 0; i < 1600 * 1024; ++i)
        pattern += static_cast<char>((i * 7 + i / 251) & 0xFF);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65535}, std::size_t{65536},
                             std::size_t{65537}, std::size_t{1024 * 1024}, std::size_t{1600 * 1024}})
    {
        const std::wstring path = PathOf(L"data" + std::to_wstring(size) + L".bin");
        ASSERT_TRUE(OrvoTest::WriteBytes(path, pattern.substr(0, size)));
        ExpectSameAsEachLookup(path);
    }
    const std::wstring distant = PathOf(L"far.dll");
    ASSERT_TRUE(OrvoTest::WriteBytes(distant, FarHeaderImage(200000)));
    ExpectSameAsEachLookup(distant);
    EXPECT_EQ(ReadFileFacts(distant).platform, L"x64");
    EXPECT_EQ(ReadFileFacts(PathOf(L"data65536.bin")).version, Misc::ImageVersion::None);
    EXPECT_EQ(ReadFileFacts(distant).version, Misc::ImageVersion::None);
}

// The pass reads the version where the image settles its entry, through the bytes it
// already holds; a localised image is left to the platform's lookup.
TEST_F(ReadFileFactsTest, ReadsTheVersionWhereTheImageSettlesIt)
{
    const std::pair<const wchar_t*, Misc::ImageVersion> cases[] = {
        {L"version_plain.dll", Misc::ImageVersion::Read},
        {L"version_languages.dll", Misc::ImageVersion::Platform},
        {L"version_none.dll", Misc::ImageVersion::None},
        {L"pe_text.txt", Misc::ImageVersion::None},
    };
    for (const auto& [name, kind] : cases)
    {
        Misc::VersionInfo version;
        EXPECT_EQ(ReadFileFacts(OrvoTest::FixturePath(name), &version).version, kind) << Narrow(name);
        EXPECT_EQ(version.IsLoaded(), kind == Misc::ImageVersion::Read) << Narrow(name);
    }
}

// Another program reading the file (sharing reads) keeps out only the date; one that
// holds it without sharing keeps out everything but the size; a missing file has size
// "0". The version lookup is not ruled out for files whose first bytes were not read.
TEST_F(ReadFileFactsTest, FilesHeldByAnotherProgramOrMissing)
{
    const std::wstring path = PathOf(L"held.dll");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, FarHeaderImage(128)));
    {
        Misc::FileHandle reader(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(reader);
        const FileFacts facts = ReadFileFacts(path);
        EXPECT_EQ(facts.date, L"");
        EXPECT_EQ(facts.platform, L"x64");
        EXPECT_EQ(facts.digest.size(), 32u);
        ExpectSameAsEachLookup(path);
    }
    {
        Misc::FileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        const FileFacts facts = ReadFileFacts(path);
        EXPECT_EQ(facts.size, std::to_wstring(FarHeaderImage(128).size()));
        EXPECT_EQ(facts.date + facts.platform + facts.digest, L"");
        EXPECT_EQ(facts.version, Misc::ImageVersion::Platform);
        ExpectSameAsEachLookup(path);
    }
    const FileFacts missing = ReadFileFacts(PathOf(L"missing.exe"));
    EXPECT_EQ(missing.size, L"0");
    EXPECT_EQ(missing.date + missing.platform + missing.digest, L"");
}

} // namespace

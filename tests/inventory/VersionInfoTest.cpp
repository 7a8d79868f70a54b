#include "inventory/VersionInfo.h"

#include "inventory/VersionResource.h"
#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{

using Misc::VersionInfo;
using OrvoTest::FixturePath;

struct VersionCase
{
    unsigned major, minor, build, revision;
    const wchar_t* text;
};

TEST(VersionText, DateStampsArePaddedOtherVersionsPlain)
{
    const VersionCase cases[] = {
        {6, 1, 2212, 15001, L"6.1.2212.15001"},
        {1, 0, 912, 1005, L"1.0.0912.01005"},
        {2, 0, 0, 1, L"2.0.0.1"},           // build 0 is no date
        {1, 2, 1301, 3, L"1.2.1301.3"},     // day 0
        {1, 0, 813, 1000, L"1.0.813.1000"}, // month 13
        {6, 0, 2305, 9012, L"6.0.2305.09012"},
        {6, 0, 7, 42, L"6.0.7.42"},
        // Year boundary: 2008 is the first year of a date stamp.
        {1, 0, 801, 1000, L"1.0.0801.01000"},
        {1, 0, 701, 1000, L"1.0.701.1000"},
        // Month boundaries.
        {1, 0, 800, 1000, L"1.0.800.1000"},
        {1, 0, 812, 1000, L"1.0.0812.01000"},
        // Day boundaries: revision / 1000 from 1 to 31.
        {1, 0, 901, 999, L"1.0.901.999"},
        {1, 0, 901, 31999, L"1.0.0901.31999"},
        {1, 0, 901, 32000, L"1.0.901.32000"},
        {1, 0, 901, 65535, L"1.0.901.65535"},
        // The year is taken modulo 256: 256 is year 0, 264 year 8.
        {1, 0, 25601, 1000, L"1.0.25601.1000"},
        {1, 0, 26401, 1000, L"1.0.26401.01000"},
        {65535, 65535, 65535, 65535, L"65535.65535.65535.65535"},
        {0, 0, 0, 0, L"0.0.0.0"},
    };
    for (const auto& c : cases)
    {
        const uint32_t ms = (c.major << 16) | c.minor;
        const uint32_t ls = (c.build << 16) | c.revision;
        EXPECT_EQ(VersionInfo::VersionText(ms, ls), c.text)
            << c.major << '.' << c.minor << '.' << c.build << '.' << c.revision;
    }
}

TEST(VersionText, StringPrefixIsLowerCaseHexOfLanguageAndCodePage)
{
    EXPECT_EQ(VersionInfo::StringPrefixOf(0x0409, 1200), L"\\StringFileInfo\\040904b0");
    EXPECT_EQ(VersionInfo::StringPrefixOf(0x0407, 1252), L"\\StringFileInfo\\040704e4");
    EXPECT_EQ(VersionInfo::StringPrefixOf(0, 0), L"\\StringFileInfo\\00000000");
    EXPECT_EQ(VersionInfo::StringPrefixOf(0xFFFF, 0xABCD), L"\\StringFileInfo\\ffffabcd");
}

TEST(VersionInfoFile, FileVersionTextsOfTheFixtures)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"version_plain.dll", L"6.1.2212.15001"},
        {L"version_datestamp.dll", L"1.0.0912.01005"},
        {L"version_build0.dll", L"2.0.0.1"},
        {L"version_noday.dll", L"1.2.1301.3"},
        {L"version_month13.dll", L"1.0.813.1000"},
        {L"version_notranslation.dll", L"3.0.0.0"},
        {L"version_twotranslations.dll", L"4.5.2402.28017"},
    };
    for (const auto& [name, expected] : cases)
    {
        VersionInfo info;
        ASSERT_TRUE(info.Load(FixturePath(name))) << OrvoTest::Narrow(name);
        EXPECT_TRUE(info.IsLoaded());
        EXPECT_EQ(info.FileName(), FixturePath(name));
        std::wstring text;
        EXPECT_TRUE(info.FileVersionText(text));
        EXPECT_EQ(text, expected) << OrvoTest::Narrow(name);
    }
}

TEST(VersionInfoFile, NamedStringsThroughTheTranslation)
{
    VersionInfo info;
    ASSERT_TRUE(info.Load(FixturePath(L"version_plain.dll")));
    EXPECT_EQ(info.StringPrefix(), L"\\StringFileInfo\\040904b0");
    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"ProductName", L"Velmora"},
        {L"ProductVersion", L"6.1.2212.15001"},
        {L"FileDescription", L"Orvo fixture library"},
        {L"CompanyName", L"Varnholt Brevik"},
        {L"LegalCopyright", L"Copyright (C) 2026 Varnholt Brevik"},
        {L"InternalName", L"OrvoFixture"},
    };
    for (const auto& [name, expected] : strings)
    {
        std::wstring text = L"stale";
        EXPECT_TRUE(info.QueryString(name, text)) << OrvoTest::Narrow(name);
        EXPECT_EQ(text, expected);
    }
    std::wstring text = L"stale";
    EXPECT_FALSE(info.QueryString(L"Comments", text));
    EXPECT_EQ(text, L"");
}

TEST(VersionInfoFile, WithoutATranslationNoStringIsFound)
{
    VersionInfo info;
    ASSERT_TRUE(info.Load(FixturePath(L"version_notranslation.dll")));
    EXPECT_EQ(info.StringPrefix(), L"");
    std::wstring text;
    EXPECT_TRUE(info.FileVersionText(text));
    for (const wchar_t* name : {L"ProductName", L"ProductVersion", L"CompanyName", L"InternalName"})
    {
        text = L"stale";
        EXPECT_FALSE(info.QueryString(name, text)) << OrvoTest::Narrow(name);
        EXPECT_EQ(text, L"");
    }
}

TEST(VersionInfoFile, OnlyTheFirstOfTwoTranslationsIsUsed)
{
    VersionInfo info;
    ASSERT_TRUE(info.Load(FixturePath(L"version_twotranslations.dll")));
    EXPECT_EQ(info.StringPrefix(), L"\\StringFileInfo\\040704e4");
    std::wstring text;
    EXPECT_TRUE(info.QueryString(L"ProductName", text));
    EXPECT_EQ(text, L"Velmora Deutsch");
    EXPECT_TRUE(info.QueryString(L"InternalName", text));
    EXPECT_EQ(text, L"OrvoFixtureDE");
    // Only the other language's block has a copyright.
    EXPECT_FALSE(info.QueryString(L"LegalCopyright", text));
}

TEST(VersionInfoFile, TheOtherArchitecturesImagesAreReadToo)
{
    for (const wchar_t* name : {L"pe32_program.exe", L"pe64_program.exe"})
    {
        if (!OrvoTest::Exists(FixturePath(name)))
            GTEST_SKIP() << "fixture not built: " << OrvoTest::Narrow(name);
        VersionInfo info;
        ASSERT_TRUE(info.Load(FixturePath(name))) << OrvoTest::Narrow(name);
        std::wstring text;
        EXPECT_TRUE(info.FileVersionText(text));
        EXPECT_EQ(text, L"1.0.0912.01005");
        EXPECT_TRUE(info.QueryString(L"FileDescription", text));
        EXPECT_EQ(text, L"Orvo fixture program");
    }
}

// Where the image settles the entry, its bytes are read without the platform; where
// it has several languages, only the platform's lookup names the one it takes. Either
// way the data is what the platform's own functions hand over, byte for byte.
TEST(VersionInfoFile, DataIsThatOfThePlatformsFunctions)
{
    const std::pair<const wchar_t*, Misc::ImageVersion> cases[] = {
        {L"version_plain.dll", Misc::ImageVersion::Read},
        {L"version_notranslation.dll", Misc::ImageVersion::Read},
        {L"version_twotranslations.dll", Misc::ImageVersion::Read},
        {L"version_languages.dll", Misc::ImageVersion::Platform},
        {L"pe32_program.exe", Misc::ImageVersion::Read},
        {L"pe64_library.dll", Misc::ImageVersion::Read},
        {L"version_none.dll", Misc::ImageVersion::None},
    };
    for (const auto& [name, kind] : cases)
    {
        const std::wstring path = FixturePath(name);
        const std::string bytes = OrvoTest::ReadBytes(path);
        ASSERT_FALSE(bytes.empty()) << OrvoTest::Narrow(name);
        VersionInfo fromBytes;
        EXPECT_EQ(fromBytes.LoadFromImage(path, Misc::MemoryBytes(bytes.data(), bytes.size())), kind)
            << OrvoTest::Narrow(name);

        DWORD handle = 0;
        const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
        std::vector<uint8_t> platform(size);
        VersionInfo info;
        ASSERT_EQ(info.Load(path), size != 0) << OrvoTest::Narrow(name);
        if (size == 0)
            continue;
        ASSERT_EQ(::GetFileVersionInfoW(path.c_str(), handle, size, platform.data()), TRUE);
        ASSERT_EQ(info.DataSize(), size) << OrvoTest::Narrow(name);
        EXPECT_EQ(std::memcmp(info.Data(), platform.data(), size), 0) << OrvoTest::Narrow(name);
        if (kind == Misc::ImageVersion::Read)
        {
            EXPECT_EQ(std::memcmp(fromBytes.Data(), platform.data(), size), 0) << OrvoTest::Narrow(name);
        }
    }
    VersionInfo info;
    ASSERT_TRUE(info.Load(FixturePath(L"version_languages.dll")));
    std::wstring text;
    EXPECT_TRUE(info.FileVersionText(text));
    EXPECT_EQ(text, L"7.2.2403.11002");
}

class VersionInfoFailures : public OrvoTest::TempDirTest
{
};

TEST_F(VersionInfoFailures, FilesWithoutAResourceGiveNothing)
{
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"settings.ini"), "[Main]\r\nLanguage=en\r\n"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"empty.dat"), ""));
    const std::wstring paths[] = {FixturePath(L"version_none.dll"), PathOf(L"settings.ini"),
                                  PathOf(L"empty.dat"), PathOf(L"missing.dll"), L""};
    for (const auto& path : paths)
    {
        VersionInfo info;
        EXPECT_FALSE(info.Load(path)) << OrvoTest::Narrow(path);
        EXPECT_FALSE(info.IsLoaded());
        EXPECT_EQ(info.FileName(), path);
        std::wstring text = L"stale";
        EXPECT_FALSE(info.FileVersionText(text));
        EXPECT_EQ(text, L"");
        text = L"stale";
        EXPECT_FALSE(info.QueryString(L"ProductName", text));
        EXPECT_EQ(text, L"");
    }
}

// The inventory still records a file that another program holds open without
// sharing; its version is then simply unknown.
TEST_F(VersionInfoFailures, AFileHeldWithoutSharingGivesNothing)
{
    const std::wstring path = PathOf(L"held.dll");
    ASSERT_TRUE(::CopyFileW(FixturePath(L"version_plain.dll").c_str(), path.c_str(), FALSE));
    {
        Misc::FileHandle holder(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        VersionInfo info;
        EXPECT_FALSE(info.Load(path));
        std::wstring text = L"stale";
        EXPECT_FALSE(info.FileVersionText(text));
        EXPECT_EQ(text, L"");
    }
    VersionInfo info;
    EXPECT_TRUE(info.Load(path));
}

TEST_F(VersionInfoFailures, ALoadReplacesEverythingOfTheLoadBefore)
{
    VersionInfo info;
    ASSERT_TRUE(info.Load(FixturePath(L"version_plain.dll")));
    std::wstring text;
    EXPECT_FALSE(info.Load(FixturePath(L"version_none.dll")));
    EXPECT_FALSE(info.FileVersionText(text));
    EXPECT_FALSE(info.QueryString(L"ProductName", text));

    // The language of the earlier file does not carry over to one without translations.
    ASSERT_TRUE(info.Load(FixturePath(L"version_plain.dll")));
    ASSERT_TRUE(info.Load(FixturePath(L"version_notranslation.dll")));
    EXPECT_FALSE(info.QueryString(L"ProductName", text));
    EXPECT_TRUE(info.FileVersionText(text));
    EXPECT_EQ(text, L"3.0.0.0");
}

} // namespace

// Real images that nobody on this project wrote (Wine's own libraries and programs of
// both machine types, the MinGW runtime libraries), copied at test time into a folder
// that is scanned as an installation folder is. Every record must carry what the
// platform's own version functions give; check_real_images.py then compares every
// fact with python3-pefile, md5sum and the file system.

#include "inventory/ApplicationsInfo.h"
#include "inventory/FileProcessors.h"
#include "inventory/VersionInfo.h"
#include "misc/Handles.h"
#include "misc/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace
{

using OrvoTest::Narrow;
using FolderContent = ApplicationsInfo::FolderContent;

std::vector<std::wstring> Names(const std::wstring& folder, const wchar_t* pattern, bool folders)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    Misc::FindHandle find(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (!find)
        return names;
    do
    {
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == folders && found.cFileName[0] != L'.')
            names.push_back(found.cFileName);
    } while (::FindNextFileW(find.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

// Every n-th file of the folder in name order, and kernel32.dll whatever its place.
std::size_t CopyFiles(const std::wstring& from, const wchar_t* pattern, std::size_t every,
                      const std::wstring& to)
{
    ::CreateDirectoryW(to.c_str(), nullptr);
    std::size_t copied = 0;
    const std::vector<std::wstring> names = Names(from, pattern, false);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (i % every == 0 || Misc::CompareKeys(names[i], L"kernel32.dll") == 0)
            copied += ::CopyFileW((from + L"\\" + names[i]).c_str(), (to + L"\\" + names[i]).c_str(), FALSE)
                          ? 1
                          : 0;
    return copied;
}

std::size_t CopyCorpus(const std::wstring& corpus)
{
    const std::wstring wine64 = L"Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows";
    std::size_t copied = CopyFiles(wine64, L"*", 4, corpus + L"\\wine64");
    EXPECT_GT(copied, 100u) << "Wine's 64-bit images are not at " << Narrow(wine64);
    copied += CopyFiles(L"Z:\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows", L"*", 4, corpus + L"\\wine32");
    for (const wchar_t* triple : {L"x86_64-w64-mingw32", L"i686-w64-mingw32"})
    {
        const std::wstring into = corpus + L"\\" + triple;
        const std::wstring gcc = std::wstring(L"Z:\\usr\\lib\\gcc\\") + triple;
        for (const std::wstring& version : Names(gcc, L"*-posix", true))
            copied += CopyFiles(gcc + L"\\" + version, L"*.dll", 1, into);
        copied += CopyFiles(std::wstring(L"Z:\\usr\\") + triple + L"\\lib", L"*.dll", 1, into);
    }
    return copied;
}

// The version text and detail lines that the platform's own functions give.
std::vector<std::wstring> PlatformVersion(const std::wstring& path, std::wstring& version)
{
    static const std::pair<const wchar_t*, const wchar_t*> kLines[] = {
        {L"ProductName", L"Product Name    : "},     {L"ProductVersion", L"Product Version : "},
        {L"FileDescription", L"Description     : "}, {L"CompanyName", L"Company         : "},
        {L"LegalCopyright", L"Copyright       : "},  {L"InternalName", L"Internal Name   : "},
    };
    version.clear();
    std::vector<std::wstring> lines;
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::vector<uint8_t> data(size + 64);
    if (size == 0 || ::GetFileVersionInfoW(path.c_str(), handle, size, data.data()) != TRUE)
        return lines;
    void* value = nullptr;
    UINT length = 0;
    if (::VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO))
    {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        version = Misc::VersionInfo::VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    }
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return lines;
    const auto* translation = static_cast<const WORD*>(value);
    const std::wstring prefix = Misc::VersionInfo::StringPrefixOf(translation[0], translation[1]);
    for (const auto& [name, label] : kLines)
        if (::VerQueryValueW(data.data(), (prefix + L"\\" + name).c_str(), &value, &length))
            lines.push_back(label + std::wstring(static_cast<const wchar_t*>(value)));
    return lines;
}

void WriteListing(FolderContent& folder, std::string& listing, std::size_t& kernels)
{
    folder.Folders().ForEach([&](FolderContent& sub) { WriteListing(sub, listing, kernels); });
    folder.Files().ForEach(
        [&](ApplicationsInfo::FileInfo& file)
        {
            const std::string where = Narrow(folder.SubFolder() + L"\\" + file.Name());
            std::wstring version;
            const std::vector<std::wstring> expected = PlatformVersion(file.FullPath(), version);
            EXPECT_EQ(file.Version(), version) << where;
            std::vector<std::wstring> lines;
            std::wstring line;
            for (bool more = file.FirstInfoLine(line); more; more = file.NextInfoLine(line))
                lines.push_back(line);
            EXPECT_EQ(lines, expected) << where;
            if (Misc::CompareKeys(file.Name(), L"kernel32.dll") == 0)
            {
                ++kernels;
                EXPECT_NE(file.Version(), L"") << where;
                EXPECT_FALSE(lines.empty()) << where;
            }
            std::wstring record = folder.SubFolder() + L"\\" + file.Name() + L"\t" + file.Version() + L"\t" +
                                  file.Platform() + L"\t" + file.Size() + L"\t" + file.Date() + L"\t" +
                                  file.Digest();
            for (const std::wstring& detail : lines)
                record += L"\t" + detail;
            EXPECT_EQ(record.find_first_of(L"\r\n"), std::wstring::npos) << where;
            listing += Narrow(record) + "\n";
        });
}

TEST(RealImages, EveryRecordAgreesWithThePlatformsVersionFunctions)
{
    if (std::getenv("ORVO_REAL_IMAGES_ARTIFACTS") == nullptr)
        GTEST_SKIP() << "written only for the python3-pefile check (ORVO_REAL_IMAGES_ARTIFACTS)";
    const std::wstring listingPath = OrvoTest::ArtifactPath(L"real_images.txt");
    ::DeleteFileW(listingPath.c_str());
    const std::wstring corpus = OrvoTest::ArtifactPath(L"real_images");
    OrvoTest::ForceDeleteTree(corpus);
    ASSERT_TRUE(::CreateDirectoryW(corpus.c_str(), nullptr));
    const std::size_t copied = CopyCorpus(corpus);

    FolderContent folder(corpus, L"", L"Real images",
                         FolderContent::OptionShowPath | FolderContent::OptionPlain, false);
    folder.AddProcessor(std::make_unique<GenericFileProcessor>());
    ASSERT_TRUE(folder.Walk(nullptr, nullptr));
    std::string listing;
    std::size_t kernels = 0;
    WriteListing(folder, listing, kernels);
    EXPECT_GE(kernels, 1u);
    EXPECT_EQ(static_cast<std::size_t>(std::count(listing.begin(), listing.end(), '\n')), copied);
    ASSERT_TRUE(OrvoTest::WriteBytes(listingPath, listing));
}

} // namespace

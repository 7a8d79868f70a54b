#include "inventory/ApplicationsInfo.h"

#include "misc/Handles.h"
#include "report/FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

namespace
{

using FileInfo = ApplicationsInfo::FileInfo;
using FolderContent = ApplicationsInfo::FolderContent;
using FileProcessor = ApplicationsInfo::FileProcessor;
using OrvoTest::Narrow;
using V = std::vector<std::wstring>;

template <typename L> V Keys(L& list)
{
    V keys;
    for (auto* e = list.First(); e; e = list.Next())
        keys.push_back(e->Key());
    return keys;
}

V InfoLines(FileInfo& file)
{
    V lines;
    std::wstring line;
    for (bool more = file.FirstInfoLine(line); more; more = file.NextInfoLine(line))
        lines.push_back(line);
    return lines;
}

std::unique_ptr<FolderContent> InstallFolder(const std::wstring& path, const std::wstring& label)
{
    return std::make_unique<FolderContent>(path, L"", label,
                                           FolderContent::OptionShowPath | FolderContent::OptionPlain, false);
}

TEST(ApplicationsInfo, FoldersAndFilesKeepTheirKeyOrder)
{
    ApplicationsInfo info;
    EXPECT_TRUE(info.Root().IsRoot());
    EXPECT_EQ(info.Root().Name(), L"Root");
    for (const wchar_t* label : {L"Zeta", L"alpha", L"Beta"})
        info.Root().AddFolder(InstallFolder(L"C:\\" + std::wstring(label), label));
    EXPECT_EQ(Keys(info.Root().Folders()), (V{L"alpha", L"Beta", L"Zeta"}));

    FolderContent folder(L"Z:\\nowhere", L"", L"Test", 6, false);
    for (const wchar_t* name : {L"b.txt", L"A.txt", L"a.txt", L"xa.dll", L"x_y.dll", L"x1.dll", L"x.dll"})
        ASSERT_NE(FolderContent::RecordFile(&folder, L"Z:\\nowhere", L"", name), nullptr);
    EXPECT_EQ(Keys(folder.Files()),
              (V{L"a.txt", L"A.txt", L"b.txt", L"x.dll", L"x1.dll", L"x_y.dll", L"xa.dll"}));
}

TEST(FolderContent, IsNewTopFolderComparesNormalisedPathsIgnoringCase)
{
    ApplicationsInfo info;
    info.Root().AddFolder(InstallFolder(L"C:\\Program Files\\Orvo", L"Orvo 64"));
    info.Root().AddFolder(InstallFolder(L"C:\\Program Files (x86)\\Orvo\\Bin\\..", L"Orvo 32"));
    struct Case
    {
        const wchar_t* path;
        bool isNew;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Orvo", false},
        {L"c:\\PROGRAM FILES\\orvo", false},
        {L"C:\\Program Files\\Orvo\\.", false},
        {L"C:\\Program Files\\Orvo\\Sub\\..", false},
        {L"C:\\Program Files (x86)\\Orvo", false},
        {L"C:\\Program Files\\Orvo2", true},
        {L"C:\\Program Files", true},
        {L"D:\\Program Files\\Orvo", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(info.Root().IsNewTopFolder(c.path), c.isNew) << Narrow(c.path);
    EXPECT_TRUE(ApplicationsInfo().Root().IsNewTopFolder(L"C:\\Program Files\\Orvo"));
}

// Records the order in which processors are consulted and how many are deleted.
struct Trace
{
    V calls;
    int deleted = 0;
};

class TracingProcessor : public FileProcessor
{
  public:
    TracingProcessor(Trace& trace, std::wstring name, bool accept)
        : m_trace(trace), m_name(std::move(name)), m_accept(accept)
    {
    }
    ~TracingProcessor() override { ++m_trace.deleted; }
    bool Process(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                 const std::wstring& fileName) override
    {
        m_trace.calls.push_back(m_name + L":" + subFolder + L"\\" + fileName);
        if (m_accept)
            return FolderContent::RecordFile(folder, mainFolder, subFolder, fileName) != nullptr;
        return PassOn(folder, mainFolder, subFolder, fileName);
    }

  private:
    Trace& m_trace;
    std::wstring m_name;
    bool m_accept;
};

TEST(FileProcessor, ChainRunsFromTheLastAddedAndDiesWithItsFolder)
{
    Trace trace;
    {
        ApplicationsInfo info;
        FolderContent* folder = info.Root().AddFolder(InstallFolder(L"Z:\\nowhere", L"Orvo"));
        folder->AddProcessor(std::make_unique<TracingProcessor>(trace, L"generic", true));
        folder->AddProcessor(nullptr); // ignored
        folder->AddProcessor(std::make_unique<TracingProcessor>(trace, L"dll", false));
        folder->AddProcessor(std::make_unique<FileProcessor>()); // the base passes everything on
        folder->AddProcessor(std::make_unique<TracingProcessor>(trace, L"log", false));

        EXPECT_TRUE(folder->Processors()->Process(folder, L"Z:\\nowhere", L"Gobo", L"x.dll"));
        EXPECT_EQ(trace.calls, (V{L"log:Gobo\\x.dll", L"dll:Gobo\\x.dll", L"generic:Gobo\\x.dll"}));
        ASSERT_EQ(folder->Files().Count(), 1u);
        EXPECT_EQ(folder->Files().First()->FullPath(), L"Z:\\nowhere\\Gobo\\x.dll");
        EXPECT_EQ(trace.deleted, 0);

        info.Clear(); // deletes the installation folder with its chain
        EXPECT_EQ(trace.deleted, 3);
        EXPECT_TRUE(info.Root().Folders().IsEmpty());
    }

    // Without an accepting processor the chain's end says no.
    trace = Trace{};
    FolderContent folder(L"Z:\\nowhere", L"", L"Orvo", 6, false);
    folder.AddProcessor(std::make_unique<TracingProcessor>(trace, L"only", false));
    EXPECT_FALSE(folder.Processors()->Process(&folder, L"Z:\\nowhere", L"", L"a.txt"));
    EXPECT_TRUE(folder.Files().IsEmpty());
    EXPECT_EQ(FileProcessor().Process(&folder, L"Z:\\nowhere", L"", L"a.txt"), false);
    EXPECT_EQ(FolderContent::RecordFile(nullptr, L"Z:\\nowhere", L"", L"a.txt"), nullptr);
}

TEST(FileInfo, InfoLinesIterateAndCopiesStartAtTheFirstLine)
{
    FileInfo file(L"Z:\\nowhere\\a.ini", L"a.ini");
    std::wstring line = L"stale";
    EXPECT_FALSE(file.FirstInfoLine(line));
    EXPECT_EQ(line, L"");

    file.AddInfoLine(L"[Setup]");
    file.AddInfoLine(L"");
    file.AddInfoLine(L"Path=C:\\Orvo");
    EXPECT_EQ(InfoLines(file), (V{L"[Setup]", L"", L"Path=C:\\Orvo"}));
    line = L"stale";
    EXPECT_FALSE(file.NextInfoLine(line)); // stays at the end
    EXPECT_EQ(line, L"");

    ASSERT_TRUE(file.FirstInfoLine(line));
    ASSERT_TRUE(file.NextInfoLine(line)); // the original's cursor is on the second line
    FileInfo copy(file);
    EXPECT_TRUE(copy.NextInfoLine(line));
    EXPECT_EQ(line, L""); // the copy moved from its first to its second line
    FileInfo assigned(L"other", L"other");
    assigned = file;
    EXPECT_EQ(assigned.Name(), L"a.ini");
    EXPECT_EQ(assigned.FullPath(), L"Z:\\nowhere\\a.ini");
    EXPECT_EQ(InfoLines(assigned), InfoLines(file));
}

TEST(DriverFileList, EmptiedWhenTheInventoryIsCleared)
{
    ApplicationsInfo info;
    auto hand = [&info]
    { info.DriverFileList().Add(std::make_unique<FileInfo>(L"C:\\Orvo\\UsbDmx.dll", L"UsbDmx.dll")); };
    hand();
    hand();
    info.Clear();
    EXPECT_EQ(info.DriverFileList().Count(), 0u);
    EXPECT_EQ(info.Root().Options(), 1u);
    hand();
    EXPECT_EQ(info.DriverFileList().Count(), 1u);
}

// ---- facts of real files ----

class FileFacts : public OrvoTest::TempDirTest
{
  protected:
    FileInfo* Record(FolderContent& folder, const std::wstring& dir, const std::wstring& name)
    {
        return FolderContent::RecordFile(&folder, dir, L"", name);
    }
};

TEST_F(FileFacts, TextFileHasDateSizeAndDigestButNoVersionOrPlatform)
{
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"readme.txt"), "abc"));
    FolderContent folder(Dir(), L"", L"Test", 6, false);
    FileInfo* file = Record(folder, Dir(), L"readme.txt");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Name(), L"readme.txt");
    EXPECT_EQ(file->FullPath(), PathOf(L"readme.txt"));
    EXPECT_EQ(file->Version(), L"");
    EXPECT_TRUE(file->InfoLines().empty());
    EXPECT_EQ(file->Platform(), L"");
    EXPECT_EQ(file->Size(), L"3");
    EXPECT_EQ(file->Digest(), L"900150983CD24FB0D6963F7D28E17F72"); // RFC 1321: "abc"
    EXPECT_TRUE(std::regex_match(Narrow(file->Date()), std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d)")))
        << Narrow(file->Date());
}

// Another program holding the file without sharing keeps every reading open out;
// the size is still found, because it is read through a handle without access
// rights, which sharing does not restrict.
TEST_F(FileFacts, FileHeldWithoutSharingIsStillRecordedWithoutItsReadFacts)
{
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"locked.dll"), "MZ and more bytes"));
    Misc::FileHandle holder(::CreateFileW(PathOf(L"locked.dll").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    FolderContent folder(Dir(), L"", L"Test", 6, false);
    FileInfo* file = Record(folder, Dir(), L"locked.dll");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Name(), L"locked.dll");
    EXPECT_EQ(file->Size(), L"17");
    EXPECT_EQ(file->Date(), L"");
    EXPECT_EQ(file->Platform(), L"");
    EXPECT_EQ(file->Digest(), L"");
    EXPECT_EQ(file->Version(), L"");
    EXPECT_EQ(folder.Files().Count(), 1u);
}

TEST_F(FileFacts, MissingFileIsStillRecordedWithSizeZero)
{
    FolderContent folder(Dir(), L"", L"Test", 6, false);
    FileInfo* file = Record(folder, Dir(), L"vanished.exe");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Size(), L"0");
    EXPECT_EQ(file->Date(), L"");
    EXPECT_EQ(file->Digest(), L"");
}

// Files that change between the listing and their facts: each is still recorded, with
// the facts that can be had, and nothing stops the scan.
TEST_F(FileFacts, FilesThatChangeUnderTheScan)
{
    const std::wstring source = OrvoTest::FixturePath(L"version_plain.dll");
    FolderContent folder(Dir(), L"", L"Test", 6, false);

    // Replaced by a directory of the same name.
    ASSERT_TRUE(::CreateDirectoryW(PathOf(L"now_a_folder.dll").c_str(), nullptr));
    FileInfo* folderFile = Record(folder, Dir(), L"now_a_folder.dll");
    ASSERT_NE(folderFile, nullptr);
    EXPECT_EQ(folderFile->Size(), L"0");
    EXPECT_EQ(folderFile->Version(), L"");
    EXPECT_EQ(folderFile->Digest(), L"");
    EXPECT_EQ(folderFile->Platform(), L"");

    // A version-carrying library held open by another program without sharing.
    ASSERT_TRUE(::CopyFileW(source.c_str(), PathOf(L"held.dll").c_str(), FALSE));
    {
        Misc::FileHandle holder(::CreateFileW(PathOf(L"held.dll").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        FileInfo* held = Record(folder, Dir(), L"held.dll");
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(held->Version(), L"");
        EXPECT_TRUE(held->InfoLines().empty());
        EXPECT_EQ(held->Digest(), L"");
    }

    // A name outside the BMP, and a path longer than 260 characters: read in full.
    const std::wstring emoji = L"vers\U0001F600ion.dll";
    ASSERT_TRUE(::CopyFileW(source.c_str(), PathOf(emoji).c_str(), FALSE));
    std::wstring deep = Dir();
    for (int i = 0; deep.size() < 300; ++i)
        deep += L"\\folder_with_a_long_name_" + std::to_wstring(i);
    ASSERT_EQ(Misc::CreateDir(deep), 0);
    ASSERT_TRUE(::CopyFileW(source.c_str(), (deep + L"\\long.dll").c_str(), FALSE));
    for (const auto& [dir, name] : {std::pair{Dir(), emoji}, std::pair{deep, std::wstring(L"long.dll")}})
    {
        FileInfo* file = Record(folder, dir, name);
        ASSERT_NE(file, nullptr) << Narrow(name);
        EXPECT_EQ(file->Version(), L"6.1.2212.15001") << Narrow(name);
        EXPECT_EQ(file->Size(), std::to_wstring(OrvoTest::ReadBytes(source).size())) << Narrow(name);
        EXPECT_EQ(file->Digest().size(), 32u) << Narrow(name);
    }
    EXPECT_EQ(folder.Files().Count(), 4u);
}

TEST_F(FileFacts, SizeTextIsTheFullUnsignedSize)
{
    const std::wstring path = PathOf(L"big.bin");
    {
        Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER at{};
        at.QuadPart = 3221225472LL; // 3 GiB: above the signed 32-bit range
        ASSERT_TRUE(::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.Get()));
    }
    EXPECT_EQ(FileSizeText(path), L"3221225472");
    {
        Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER at{};
        at.QuadPart = 0x1'0000'0005LL; // 4 GiB + 5: the low 32 bits alone would say 5
        ASSERT_TRUE(::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.Get()));
    }
    EXPECT_EQ(FileSizeText(path), L"4294967301");
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"empty.txt"), ""));
    EXPECT_EQ(FileSizeText(PathOf(L"empty.txt")), L"0");
    EXPECT_EQ(FileSizeText(PathOf(L"missing.txt")), L"0");
    EXPECT_EQ(FileSizeText(Dir()), L"0"); // a folder is not opened as a file
    ::DeleteFileW(path.c_str());
}

TEST(FileFactsOfImages, VersionLinesAndPlatformOfTheFixtures)
{
    const std::wstring dir = OrvoTest::FixturePath(L"");
    FolderContent folder(dir, L"", L"Fixtures", 6, false);

    FileInfo* versioned = FolderContent::RecordFile(&folder, dir, L"", L"version_plain.dll");
    ASSERT_NE(versioned, nullptr);
    EXPECT_EQ(versioned->Version(), L"6.1.2212.15001");
    EXPECT_EQ(InfoLines(*versioned), (V{
                                         L"Product Name    : Velmora",
                                         L"Product Version : 6.1.2212.15001",
                                         L"Description     : Orvo fixture library",
                                         L"Company         : Varnholt Brevik",
                                         L"Copyright       : Copyright (C) 2026 Varnholt Brevik",
                                         L"Internal Name   : OrvoFixture",
                                     }));
    EXPECT_EQ(versioned->Platform(), sizeof(void*) == 8 ? L"x64" : L"x86");
    EXPECT_EQ(versioned->Digest().size(), 32u);
    EXPECT_NE(versioned->Size(), L"0");

    // Without a translation the fixed version is still read, but no string is.
    FileInfo* bare = FolderContent::RecordFile(&folder, dir, L"", L"version_notranslation.dll");
    ASSERT_NE(bare, nullptr);
    EXPECT_FALSE(bare->Version().empty());
    EXPECT_TRUE(bare->InfoLines().empty());

    struct Case
    {
        const wchar_t* name;
        const wchar_t* platform;
    };
    const Case cases[] = {
        {L"pe64_library.dll", L"x64"},
        {L"pe32_program.exe", L"x86"},
        {L"pe_itanium.bin", L"Intel Itanium"},
        {L"pe_magic_mismatch.bin", L"x86"},
        {L"pe_no_gap.bin", L"x64"},
        {L"pe_unknown_machine.bin", L""},
        {L"pe_text.txt", L""},
        {L"pe_mz100.bin", L""},
    };
    for (const Case& c : cases)
    {
        if (!OrvoTest::Exists(dir + c.name))
        {
            ADD_FAILURE() << "fixture missing: " << Narrow(c.name);
            continue;
        }
        FileInfo* file = FolderContent::RecordFile(&folder, dir, L"", c.name);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->Platform(), c.platform) << Narrow(c.name);
    }
}

} // namespace

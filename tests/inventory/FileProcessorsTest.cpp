#include "inventory/FileProcessors.h"

#include "inventory/LibraryLoadTest.h"
#include "logs/LogFilesInfo.h"
#include "misc/Handles.h"
#include "report/TmpFileManager.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using FileInfo = ApplicationsInfo::FileInfo;
using OrvoTest::Narrow;
using V = std::vector<std::wstring>;

TEST(DataRec, MatchesFileAndSubFolderMasks)
{
    struct Case
    {
        const wchar_t* subMask;
        const wchar_t* fileMask;
        std::uint32_t flags;
        const wchar_t* subFolder;
        const wchar_t* file;
        bool matches;
    };
    constexpr std::uint32_t P = CommonProcessor::Prefix;
    const Case cases[] = {
        {L"*", L"*.exe", 0, L"", L"setup.EXE", true},
        {L"*", L"*.exe", 0, L"", L"exe", false},
        {L"*", L"*.exe", 0, L"", L".exe", true},
        {L"*", L"*", 0, L"Any\\Where", L"README", true},
        {L"*", L"TarvikUSB.dll", 0, L"Drivers", L"tarvikusb.DLL", true},
        {L"*", L"TarvikUSB.dll", 0, L"", L"xTarvikUSB.dll", false},
        {L"Gobo", L"*", P, L"Gobo", L"a.txt", true},
        {L"Gobo", L"*", P, L"Gobo\\Gel", L"a.txt", true},
        {L"Gobo", L"*", P, L"Gobos", L"a.txt", true},
        {L"Gobo", L"*", P, L"gOBO", L"a.txt", true},
        {L"Gobo", L"*", P, L"Old\\Gobo", L"a.txt", false},
        {L"Gobo", L"*", P, L"Gob", L"a.txt", false},
        {L"Gobo", L"*", 0, L"Gobo\\Gel", L"a.txt", false},
        {L"", L"*.exe", 0, L"", L"Viewer.exe", true},
        {L"", L"*.exe", 0, L"Bin", L"Viewer.exe", false},
        {L"", L"*", P, L"Bin\\Deep", L"x", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommonProcessor::DataRec(c.subMask, c.fileMask, c.flags).Matches(c.subFolder, c.file),
                  c.matches)
            << Narrow(c.subMask) << " | " << Narrow(c.fileMask) << " on " << Narrow(c.subFolder) << "\\"
            << Narrow(c.file);
}

TEST(CommonProcessor, FirstMatchingRuleGivesItsStoredFlags)
{
    DllProcessor processor;
    processor.AddRule(L"*", L"TarvikUSB.dll", CommonProcessor::HandOver);
    processor.AddRule(L"*", L"SkarvelReader.dll", CommonProcessor::Act);
    processor.AddPassiveRule(L"*", L"*", CommonProcessor::Prefix | CommonProcessor::Act);
    std::uint32_t flags = 99;
    EXPECT_TRUE(processor.FindRule(L"Sub", L"TarvikUSB.dll", flags));
    EXPECT_EQ(flags, 12u);
    EXPECT_TRUE(processor.FindRule(L"", L"skarvelreader.dll", flags));
    EXPECT_EQ(flags, 4u);
    EXPECT_TRUE(processor.FindRule(L"", L"other.dll", flags));
    EXPECT_EQ(flags, 1u);

    TxtProcessor text;
    text.AddPassiveRule(L"Gobo", L"*", CommonProcessor::Prefix | CommonProcessor::Decline);
    flags = 99;
    EXPECT_FALSE(text.FindRule(L"docs", L"readme.txt", flags));
    EXPECT_EQ(flags, 99u);
}

std::wstring OwnArchitectureLibrary()
{
    return OrvoTest::FixturePath(sizeof(void*) == 8 ? L"pe64_library.dll" : L"pe32_library.dll");
}

// An installation folder in the test's own folder, with the test's folder as the
// temporary directory of the shared file manager.
class ProcessorTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_install = PathOf(L"Install");
        ASSERT_TRUE(::CreateDirectoryW(m_install.c_str(), nullptr));
        m_files = std::make_unique<Misc::TmpFileManager>();
    }
    void TearDown() override
    {
        m_folder.reset();
        m_files.reset();
        TempDirTest::TearDown();
    }
    void Put(const std::wstring& relative, const std::string& bytes)
    {
        ASSERT_TRUE(OrvoTest::WriteBytes(m_install + L"\\" + relative, bytes)) << Narrow(relative);
    }
    void PutCopy(const std::wstring& relative, const std::wstring& source)
    {
        ASSERT_TRUE(::CopyFileW(source.c_str(), (m_install + L"\\" + relative).c_str(), FALSE))
            << Narrow(source);
    }
    // Offers one file to the folder's chain; true when it was accepted.
    bool Offer(const std::wstring& subFolder, const std::wstring& name)
    {
        return m_folder->Processors()->Process(m_folder.get(), m_install, subFolder, name);
    }
    FileInfo* Recorded(const std::wstring& name)
    {
        for (FileInfo* file = m_folder->Files().First(); file; file = m_folder->Files().Next())
            if (file->Name() == name)
                return file;
        return nullptr;
    }
    V LinesOf(const std::wstring& name)
    {
        FileInfo* file = Recorded(name);
        return file ? file->InfoLines() : V{L"<not recorded>"};
    }
    V LogPaths()
    {
        V paths;
        m_logs.ForEachEntry([&](const LogFilesInfo::LogFileEntry& e) { paths.push_back(e.Path()); });
        return paths;
    }

    std::wstring m_install;
    std::unique_ptr<Misc::TmpFileManager> m_files;
    Misc::List<FileInfo> m_driverFiles;
    LogFilesInfo m_logs;
    std::unique_ptr<FolderContent> m_folder = std::make_unique<FolderContent>(L"", L"", L"Test", 6, false);
};

TEST_F(ProcessorTest, LoadTestSaysWhetherTheLibraryLoads)
{
    PutCopy(L"good.dll", OwnArchitectureLibrary());
    const UINT errorMode = ::GetErrorMode();
    PutCopy(L"needs.dll", OrvoTest::FixturePath(L"missing_dependency.dll"));
    EXPECT_EQ(LibraryLoadDetail(m_install + L"\\good.dll"), L"Loaded correctly.");
    EXPECT_EQ(LibraryLoadDetail(m_install + L"\\needs.dll"),
              L"Load failed: 0000007E " + OrvoTest::SystemText(126));
    // The error mode and the search folder are put back.
    EXPECT_EQ(::GetErrorMode(), errorMode);

    EXPECT_EQ(LoadFailedLine(126, nullptr, L"x.dll"), L"Load failed: 0000007E");
    EXPECT_EQ(LoadFailedLine(0xC1, L"%1 is not a valid application (%1).\r\n", L"x.dll"),
              L"Load failed: 000000C1 x.dll is not a valid application (x.dll).\r\n");
}

TEST_F(ProcessorTest, DllProcessorTestsHandsOverOrOnlyRecords)
{
    auto dll = std::make_unique<DllProcessor>(&m_driverFiles);
    dll->AddRule(L"*", L"TarvikUSB.dll", CommonProcessor::HandOver);
    dll->AddRule(L"*", L"SkarvelReader.dll", 0);
    dll->AddPassiveRule(L"Skip", L"*", CommonProcessor::Prefix | CommonProcessor::Decline);
    dll->AddPassiveRule(L"*", L"*", CommonProcessor::Prefix);
    m_folder->AddProcessor(std::make_unique<GenericFileProcessor>());
    m_folder->AddProcessor(std::move(dll));
    ASSERT_TRUE(::CreateDirectoryW((m_install + L"\\Drivers").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((m_install + L"\\Skip").c_str(), nullptr));
    PutCopy(L"Drivers\\TarvikUSB.dll", OwnArchitectureLibrary());
    PutCopy(L"SkarvelReader.dll", OrvoTest::FixturePath(L"missing_dependency.dll"));
    PutCopy(L"other.dll", OrvoTest::FixturePath(L"missing_dependency.dll"));
    PutCopy(L"Skip\\declined.dll", OwnArchitectureLibrary());

    EXPECT_TRUE(Offer(L"Drivers", L"TarvikUSB.dll"));
    EXPECT_TRUE(Offer(L"", L"SkarvelReader.dll"));
    EXPECT_TRUE(Offer(L"", L"other.dll"));
    EXPECT_TRUE(Offer(L"Skip", L"declined.dll")); // recorded by the generic processor

    ASSERT_EQ(m_driverFiles.Count(), 1u);
    EXPECT_EQ(m_driverFiles.First()->FullPath(), m_install + L"\\Drivers\\TarvikUSB.dll");
    EXPECT_EQ(m_driverFiles.First()->Version(), L"5.0.0.7");
    V driverLines = LinesOf(L"TarvikUSB.dll");
    EXPECT_EQ(driverLines.size(), 6u); // the version lines only, no load test
    V readerLines = LinesOf(L"SkarvelReader.dll");
    ASSERT_FALSE(readerLines.empty());
    EXPECT_EQ(readerLines.back().rfind(L"Load failed: 0000007E ", 0), 0u) << Narrow(readerLines.back());
    EXPECT_EQ(LinesOf(L"other.dll"), V{});
    EXPECT_EQ(LinesOf(L"declined.dll").size(), 6u);
    EXPECT_EQ(m_folder->Files().Count(), 4u);
}

TEST_F(ProcessorTest, TextProcessorsRecordTheirExtensionWithContent)
{
    auto text = std::make_unique<TxtProcessor>();
    text->AddPassiveRule(L"Gobo", L"*", CommonProcessor::Prefix | CommonProcessor::Decline);
    text->AddPassiveRule(L"Quiet", L"*", 0);
    m_folder->AddProcessor(std::make_unique<IniProcessor>());
    m_folder->AddProcessor(std::move(text));
    for (const wchar_t* sub : {L"Gobo", L"Quiet"})
        ASSERT_TRUE(::CreateDirectoryW((m_install + L"\\" + sub).c_str(), nullptr));
    Put(L"README.TXT", "first\r\nsecond\r\n");
    Put(L"archive.txt.bak", "x\r\n");
    Put(L"empty.txt", "");
    Put(L"Gobo\\readme.txt", "gobo\r\n");
    Put(L"Quiet\\readme.txt", "quiet\r\n");
    Put(L"settings.ini", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0v\0", 18));
    Put(L"locked.ini", "[x]\r\n");

    EXPECT_TRUE(Offer(L"", L"README.TXT"));
    EXPECT_FALSE(Offer(L"", L"archive.txt.bak"));
    EXPECT_TRUE(Offer(L"", L"empty.txt"));
    EXPECT_FALSE(Offer(L"Gobo", L"readme.txt"));
    EXPECT_TRUE(Offer(L"Quiet", L"readme.txt"));
    EXPECT_TRUE(Offer(L"", L"settings.ini"));
    {
        Misc::FileHandle held(::CreateFileW((m_install + L"\\locked.ini").c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_TRUE(Offer(L"", L"locked.ini"));
    }

    EXPECT_EQ(LinesOf(L"README.TXT"), (V{L"first", L"second"}));
    EXPECT_EQ(LinesOf(L"empty.txt"), V{});
    EXPECT_EQ(LinesOf(L"readme.txt"), V{}); // the passive rule records without content
    EXPECT_EQ(LinesOf(L"settings.ini"), (V{L"[A]", L"k=v"}));
    EXPECT_EQ(LinesOf(L"locked.ini"), V{L"File could not be opened."});
    EXPECT_EQ(m_folder->Files().Count(), 5u);
}

TEST_F(ProcessorTest, LogProcessorAddsEachExistingLogOnceAndPassesOn)
{
    auto log = std::make_unique<LogProcessor>([this](const std::wstring& path) { m_logs.Add(path); });
    log->AddRule(L"", L"*.exe", 0);
    log->AddPassiveRule(L"*", L"*.exe", CommonProcessor::Prefix);
    m_folder->AddProcessor(std::move(log));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"viewer.log"), "log\r\n"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"Tool.log"), "log\r\n"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"Editor.txt.log"), "log\r\n"));

    EXPECT_FALSE(Offer(L"", L"VIEWER.EXE")); // no processor after it records
    EXPECT_FALSE(Offer(L"", L"Viewer.exe"));
    EXPECT_FALSE(Offer(L"Bin", L"Tool.exe")); // programs below the folder are not looked up
    EXPECT_FALSE(Offer(L"", L"Editor.txt"));
    EXPECT_FALSE(Offer(L"", L"Absent.exe"));
    const std::wstring temp = Misc::TmpFileManager::Shared()->TemporaryDirectory();
    EXPECT_EQ(LogPaths(), (V{temp + L"VIEWER.log"}));
    EXPECT_TRUE(m_folder->Files().IsEmpty());

    m_files.reset(); // without a shared manager nothing is looked up
    m_logs.Clear();
    EXPECT_FALSE(Offer(L"", L"Viewer.exe"));
    EXPECT_TRUE(LogPaths().empty());
}

} // namespace

// The installed-files scan against the product's registry values in the test prefix
// (both views) and installation folders built in the test's own folder.

#include "inventory/FileProcessors.h"
#include "inventory/InstallLocations.h"
#include "inventory/ProductKey.h"
#include "logs/LogFilesInfo.h"
#include "misc/CollectorContracts.h"
#include "misc/Handles.h"
#include "misc/NativeArchitecture.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/TmpFileManager.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <functional>
#include <set>
#include <stdexcept>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using FileInfo = ApplicationsInfo::FileInfo;
using OrvoTest::Narrow;
using V = std::vector<std::wstring>;

const InstallLocation& Row(const wchar_t* label)
{
    for (const InstallLocation& row : InstallLocationTable())
        if (std::wstring(row.label) == label)
            return row;
    throw std::invalid_argument("no row");
}

TEST(RowFolder, ConditionsDecideWhichFolderARowAdds)
{
    const std::set<std::wstring> existing = {L"C:\\Pro", L"C:\\Kvrn", L"C:\\Skarvel\\SkarvelInterface",
                                             L"C:\\Pro\\SkarvelInterface", kKvrnFallbackFolder};
    const auto exists = [&](const std::wstring& path) { return existing.count(path) > 0; };
    struct Case
    {
        const char* what;
        RememberedPaths remembered;
        const wchar_t* label;
        const wchar_t* value;
        bool found;
        const wchar_t* expected; // null: skipped
    };
    const RememberedPaths none;
    const RememberedPaths pro{L"C:\\Pro", L"", true, false};
    const RememberedPaths proLite{L"C:\\Pro", L"C:\\Lite", true, true};
    const Case cases[] = {
        {"plain row, missing folder kept", none, L"Velmora 6 Pro [64]", L"C:\\Nowhere", true, L"C:\\Nowhere"},
        {"plain row, empty value kept", none, L"Velmora 6 Libraries [32]", L"", true, L""},
        {"plain row, not found", none, L"Velmora 6 DEMO [32]", L"", false, nullptr},
        {"KVRN equal to Pro", pro, L"Velmora 6 Pro KVRN", L"c:\\pro\\", true, nullptr},
        {"KVRN elsewhere", pro, L"Velmora 6 Pro KVRN", L"C:\\Kvrn", true, L"C:\\Kvrn"},
        {"KVRN missing folder", none, L"Velmora 6 Pro KVRN", L"C:\\Gone", true, nullptr},
        {"KVRN not found", none, L"Velmora 6 Pro KVRN", L"", false, nullptr},
        {"older KVRN falls back", none, L"Tarvik Scenira 6 Pro KVRN", L"", false, kKvrnFallbackFolder},
        {"older KVRN missing falls back", none, L"Tarvik Scenira 6 Pro KVRN", L"C:\\Gone", true,
         kKvrnFallbackFolder},
        {"older KVRN existing", none, L"Tarvik Scenira 6 Pro KVRN", L"C:\\Kvrn", true, L"C:\\Kvrn"},
        {"older fallback equal to Pro",
         {kKvrnFallbackFolder, L"", true, false},
         L"Tarvik Scenira 6 Pro KVRN",
         L"",
         false,
         nullptr},
        {"Skarvel elsewhere", proLite, L"Velmora Skarvel Interface", L"C:\\Skarvel", true,
         L"C:\\Skarvel\\SkarvelInterface"},
        {"Skarvel equal to Pro", proLite, L"Velmora Skarvel Interface", L"C:\\Pro", true, nullptr},
        {"Skarvel equal to Lite", proLite, L"Tarvik Scenira Skarvel Interface", L"C:\\LITE", true, nullptr},
        {"Skarvel equal to a Pro not found", none, L"Velmora Skarvel Interface", L"C:\\Pro", true,
         L"C:\\Pro\\SkarvelInterface"},
        {"Skarvel without its sub-folder", none, L"Velmora Skarvel Interface", L"C:\\Kvrn", true, nullptr},
        {"Skarvel not found", none, L"Velmora Skarvel Interface", L"C:\\Skarvel", false, nullptr},
    };
    for (const Case& c : cases)
    {
        RememberedPaths remembered = c.remembered;
        const auto folder = RowFolder(Row(c.label), c.value, c.found, remembered, exists);
        ASSERT_EQ(folder.has_value(), c.expected != nullptr) << c.what;
        EXPECT_EQ(folder.value_or(L"<skipped>"), c.expected ? c.expected : L"<skipped>") << c.what;
    }

    // Remembering rows replace the brand's path, found or not.
    RememberedPaths remembered = proLite;
    EXPECT_EQ(RowFolder(Row(L"Tarvik Scenira 6 Pro"), L"", false, remembered, exists), std::nullopt);
    EXPECT_FALSE(remembered.proFound);
    EXPECT_TRUE(remembered.pro.empty());
    EXPECT_EQ(RowFolder(Row(L"Tarvik Scenira 6 Lite"), L"D:\\Lite", true, remembered, exists), L"D:\\Lite");
    EXPECT_TRUE(remembered.liteFound);
    EXPECT_EQ(remembered.lite, L"D:\\Lite");
}

class RecordingStatus : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t* text) override { activities.push_back(text); }
    void SetStatus(const wchar_t*) override {}
    void Tick(bool big) override { ++(big ? bigTicks : smallTicks); }
    V activities;
    int smallTicks = 0;
    int bigTicks = 0;
};

// Writes the product's values into the prefix's registry and removes the companies'
// keys of both views before and after each test.
class InstallScanTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        RemoveProductKeys();
        m_files = std::make_unique<Misc::TmpFileManager>();
    }
    void TearDown() override
    {
        m_info.reset();
        m_files.reset();
        RemoveProductKeys();
        TempDirTest::TearDown();
    }
    static void RemoveProductKeys()
    {
        for (DWORD view : {ProductKeyReader::kView32, ProductKeyReader::kView64})
        {
            Misc::RegKey software;
            if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SoftWare", 0, view | KEY_ALL_ACCESS, software.Put()) !=
                ERROR_SUCCESS)
                continue;
            for (const wchar_t* company : {L"Varnholt Brevik", L"Tarvik"})
                ::RegDeleteTreeW(software.Get(), company);
        }
    }
    void SetValue(DWORD view, const wchar_t* company, const wchar_t* product, std::uint16_t version,
                  const wchar_t* name, const std::wstring& text)
    {
        const std::wstring path = ProductKeyPath(company, product, version);
        Misc::RegKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, view | KEY_ALL_ACCESS,
                                    nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    void Velmora(DWORD view, const wchar_t* name, const std::wstring& text)
    {
        SetValue(view, L"Varnholt Brevik", L"Orvo", 0x600, name, text);
    }
    std::wstring MakeDir(const std::wstring& relative)
    {
        const std::wstring path = PathOf(relative);
        EXPECT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << Narrow(relative);
        return path;
    }
    void Put(const std::wstring& relative, const std::string& bytes, DWORD attributes = 0)
    {
        ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(relative), bytes)) << Narrow(relative);
        if (attributes)
        {
            ASSERT_TRUE(::SetFileAttributesW(PathOf(relative).c_str(), attributes));
        }
    }
    void Copy(const std::wstring& fixture, const std::wstring& relative)
    {
        ASSERT_TRUE(::CopyFileW(OrvoTest::FixturePath(fixture).c_str(), PathOf(relative).c_str(), FALSE))
            << Narrow(fixture);
    }
    static std::wstring OwnLibrary()
    {
        return sizeof(void*) == 8 ? L"pe64_library.dll" : L"pe32_library.dll";
    }
    static std::wstring OwnProgram()
    {
        return sizeof(void*) == 8 ? L"pe64_program.exe" : L"pe32_program.exe";
    }

    V TopLabels()
    {
        V labels;
        m_info->Root().Folders().ForEach([&](const FolderContent& f) { labels.push_back(f.Name()); });
        return labels;
    }
    const FolderContent* Top(const std::wstring& label)
    {
        const FolderContent* found = nullptr;
        m_info->Root().Folders().ForEach([&](const FolderContent& f)
                                         { found = f.Name() == label ? &f : found; });
        return found;
    }
    // Sub-folder paths (ending in a backslash) and file paths below a folder, with
    // each file's detail lines after a colon when `withLines`.
    static void Collect(const FolderContent& folder, V& out)
    {
        folder.Folders().ForEach(
            [&](const FolderContent& sub)
            {
                out.push_back(sub.SubFolder() + L"\\");
                Collect(sub, out);
            });
        folder.Files().ForEach([&](const FileInfo& f)
                               { out.push_back(Misc::JoinPath(folder.SubFolder(), f.Name())); });
    }
    V Content(const std::wstring& label)
    {
        V out;
        if (const FolderContent* folder = Top(label))
            Collect(*folder, out);
        return out;
    }
    const FileInfo* File(const std::wstring& label, const std::wstring& subFolder, const std::wstring& name)
    {
        const FolderContent* folder = Top(label);
        const FileInfo* found = nullptr;
        std::function<void(const FolderContent&)> visit = [&](const FolderContent& f)
        {
            f.Folders().ForEach(visit);
            if (f.SubFolder() == subFolder)
                f.Files().ForEach([&](const FileInfo& file) { found = file.Name() == name ? &file : found; });
        };
        if (folder)
            visit(*folder);
        return found;
    }

    std::unique_ptr<Misc::TmpFileManager> m_files;
    std::unique_ptr<ApplicationsInfo> m_info = std::make_unique<ApplicationsInfo>();
    LogFilesInfo m_logs;
};

TEST_F(InstallScanTest, FindsEveryRegisteredFolderAndRecordsWhatItsChainAccepts)
{
    const std::wstring pro = MakeDir(L"Pro");
    for (const wchar_t* sub :
         {L"Pro\\Drivers", L"Pro\\Bin", L"Pro\\Help", L"Pro\\Help\\Images", L"Pro\\Empty"})
        MakeDir(sub);
    Copy(OwnProgram(), L"Pro\\Viewer.exe");
    Copy(OwnProgram(), L"Pro\\Bin\\Tool.exe");
    Copy(OwnLibrary(), L"Pro\\Drivers\\TarvikUSB.dll");
    Copy(OwnLibrary(), L"Pro\\SkarvelReader.dll");
    Copy(L"missing_dependency.dll", L"Pro\\xerces-c_2_6.dll");
    Copy(L"missing_dependency.dll", L"Pro\\Other.dll");
    Put(L"Pro\\Orvo.ini", "[Main]\r\nLanguage=de\r\n");
    Put(L"Pro\\readme.txt", "not read here\r\n");
    Put(L"Pro\\hidden.dat", "h", FILE_ATTRIBUTE_HIDDEN);
    Put(L"Pro\\Help\\Images\\logo.bmp", "BM");
    const std::wstring lite = MakeDir(L"Lite");
    Copy(OwnProgram(), L"Lite\\viewer.exe");
    const std::wstring skarvel = MakeDir(L"Skarvel");
    MakeDir(L"Skarvel\\SkarvelInterface");
    Copy(OwnLibrary(), L"Skarvel\\SkarvelInterface\\SkarvelReader.dll");
    const std::wstring lib = MakeDir(L"Lib");
    for (const wchar_t* sub : {L"Lib\\Gobo", L"Lib\\Gobo\\Glass", L"Lib\\docs", L"Lib\\images"})
        MakeDir(sub);
    Put(L"Lib\\Gobo\\Glass\\readme.txt", "glass\r\n");
    Put(L"Lib\\docs\\readme.txt", "line one\r\nline two\r\n");
    Put(L"Lib\\images\\a.bmp", "BM");
    Put(L"Viewer.log", "viewer log\r\n");
    Put(L"Tool.log", "tool log\r\n");

    Velmora(ProductKeyReader::kView64, L"InstallPathPro", pro);
    Velmora(ProductKeyReader::kView32, L"InstallPathPro", pro + L"\\");
    Velmora(ProductKeyReader::kView32, L"InstallPathProKVRN", pro);
    Velmora(ProductKeyReader::kView32, L"InstallPathLite", lite);
    Velmora(ProductKeyReader::kView32, L"InstallPathSkarvelInterface", skarvel);
    Velmora(ProductKeyReader::kView32, L"Common Lib", lib);
    SetValue(ProductKeyReader::kView32, L"Tarvik", L"Orvo", 0x600, L"InstallPathPro", PathOf(L"Gone"));

    RecordingStatus status;
    m_info->Scan(&status, [&](const std::wstring& path) { m_logs.Add(path); });
    // The 64-bit view is read first where there is one, so its label wins.
    const std::wstring proLabel = Misc::IsNative64BitArchitecture(Misc::NativeProcessorArchitecture())
                                      ? L"Velmora 6 Pro [64]"
                                      : L"Velmora 6 Pro [32]";

    EXPECT_EQ(TopLabels(), (V{L"Orvo Diag", L"Tarvik Scenira 6 Pro", L"Velmora 6 Libraries [32]",
                              L"Velmora 6 Lite [32]", proLabel, L"Velmora Skarvel Interface"}));
    EXPECT_EQ(status.activities, V{L"SCANNING FILES ..."});
    EXPECT_EQ(Content(proLabel),
              (V{L"Bin\\", L"Bin\\Tool.exe", L"Drivers\\", L"Drivers\\TarvikUSB.dll", L"Help\\",
                 L"Help\\Images\\", L"Help\\Images\\logo.bmp", L"hidden.dat", L"Orvo.ini", L"Other.dll",
                 L"readme.txt", L"SkarvelReader.dll", L"Viewer.exe", L"xerces-c_2_6.dll"}));
    EXPECT_EQ(Top(proLabel)->MainFolder(), pro);
    EXPECT_EQ(Top(proLabel)->Options(), 6u);
    EXPECT_EQ(File(proLabel, L"", L"Orvo.ini")->InfoLines(), (V{L"[Main]", L"Language=de"}));
    EXPECT_TRUE(File(proLabel, L"", L"readme.txt")->InfoLines().empty());
    EXPECT_EQ(File(proLabel, L"", L"SkarvelReader.dll")->InfoLines().back(), L"Loaded correctly.");
    EXPECT_EQ(
        File(proLabel, L"", L"xerces-c_2_6.dll")->InfoLines().front().rfind(L"Load failed: 0000007E ", 0),
        0u);
    EXPECT_TRUE(File(proLabel, L"", L"Other.dll")->InfoLines().empty());
    ASSERT_EQ(m_info->DriverFileList().Count(), 1u);
    EXPECT_EQ(m_info->DriverFileList().First()->FullPath(), pro + L"\\Drivers\\TarvikUSB.dll");

    EXPECT_EQ(Content(L"Velmora 6 Libraries [32]"), (V{L"docs\\", L"docs\\readme.txt"}));
    EXPECT_EQ(File(L"Velmora 6 Libraries [32]", L"docs", L"readme.txt")->InfoLines(),
              (V{L"line one", L"line two"}));
    EXPECT_EQ(Content(L"Velmora Skarvel Interface"), V{L"SkarvelReader.dll"});
    EXPECT_EQ(Top(L"Velmora Skarvel Interface")->FullPath(), skarvel + L"\\SkarvelInterface");
    EXPECT_EQ(File(L"Velmora Skarvel Interface", L"", L"SkarvelReader.dll")->InfoLines().back(),
              L"Loaded correctly.");
    EXPECT_EQ(Content(L"Tarvik Scenira 6 Pro"), V{});
    EXPECT_EQ(Top(L"Orvo Diag")->Options(), 14u);
    EXPECT_EQ(Top(L"Orvo Diag")->MainFolder(), OwnProgramFolder());
    EXPECT_TRUE(Top(L"Orvo Diag")->Folders().IsEmpty());
    EXPECT_FALSE(Top(L"Orvo Diag")->Files().IsEmpty());

    // Both programs named Viewer share one log; the program in a sub-folder has none looked up.
    V logs;
    m_logs.ForEachEntry([&](const LogFilesInfo::LogFileEntry& e) { logs.push_back(e.Path()); });
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(Misc::EqualsNoCase(logs[0], PathOf(L"Viewer.log"))) << Narrow(logs[0]);

    // One small tick per file offered.
    int offered = 0;
    m_info->Root().Folders().ForEach(
        [&](const FolderContent& f)
        { offered += f.Name() == L"Orvo Diag" ? static_cast<int>(f.Files().Count()) : 0; });
    EXPECT_EQ(status.smallTicks, offered + 10 + 1 + 1 + 3);

    // A second scan starts from nothing.
    RemoveProductKeys();
    m_info->Scan(nullptr);
    EXPECT_EQ(TopLabels(), V{L"Orvo Diag"});
    EXPECT_TRUE(m_info->DriverFileList().IsEmpty());
}

TEST_F(InstallScanTest, TheProgramsOwnFolderIsListedOnceWhateverItsSpelling)
{
    std::wstring own = OwnProgramFolder();
    ASSERT_FALSE(own.empty());
    ASSERT_EQ(own.back(), L'\\');
    own.pop_back();
    for (wchar_t& c : own)
        c = static_cast<wchar_t>(std::towupper(c));
    SetValue(ProductKeyReader::kView32, L"Tarvik", L"Orvo", 0x500, L"InstallPath", own);
    m_info->Scan(nullptr);
    EXPECT_EQ(TopLabels(), V{L"Tarvik Scenira 5"});
}

} // namespace

// The installed-files scan inside the real window: registry values in the prefix, an
// installation folder on disk, the scan, the save and a second scan.

#include "TestSupport.h"

#include "TestDialog.h"
#include "ZipReader.h"

#include "app/OrvoDiagDlg.h"
#include "app/SaveAsDialog.h"
#include "inventory/ProductKey.h"
#include "misc/Handles.h"
#include "misc/Text.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{

using AppTest::IsScanned;
using AppTest::kProductRegistryLock;
using AppTest::StatusText;
using OrvoTest::Narrow;

void RemoveProductKeys()
{
    for (DWORD view : {ProductKeyReader::kView32, ProductKeyReader::kView64})
    {
        Misc::RegKey software;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SoftWare", 0, view | KEY_ALL_ACCESS, software.Put()) !=
            ERROR_SUCCESS)
            continue;
        ::RegDeleteTreeW(software.Get(), L"Varnholt Brevik");
    }
}

void SetInstallPathPro(DWORD view, const std::wstring& path)
{
    Misc::RegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                                ProductKeyPath(L"Varnholt Brevik", L"Orvo", 0x600).c_str(), 0, nullptr, 0,
                                view | KEY_ALL_ACCESS, nullptr, key.Put(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key.Get(), L"InstallPathPro", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                     static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

class InstalledFilesTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_registryLock = std::make_unique<OrvoTest::PrefixLock>(kProductRegistryLock);
        RemoveProductKeys();
        // With ORVO_INSTALLED_ARTIFACTS set, the folder and the archive are kept for the
        // checks with md5sum and Python's XML parser.
        m_keep = ::GetEnvironmentVariableW(L"ORVO_INSTALLED_ARTIFACTS", nullptr, 0) > 0;
        m_install = m_keep ? OrvoTest::ArtifactPath(L"installed_files") : PathOf(L"Install");
        m_archive = m_keep ? OrvoTest::ArtifactPath(L"installed_files.zip") : PathOf(L"saved.zip");
        OrvoTest::ForceDeleteTree(m_install);
        ::DeleteFileW(m_archive.c_str());
        ASSERT_TRUE(::CreateDirectoryW(m_install.c_str(), nullptr));
        for (const wchar_t* sub : {L"\\Drivers", L"\\docs"})
            ASSERT_TRUE(::CreateDirectoryW((m_install + sub).c_str(), nullptr));
        const bool is64 = sizeof(void*) == 8;
        Copy(is64 ? L"pe64_program.exe" : L"pe32_program.exe", L"Viewer.exe");
        Copy(is64 ? L"pe64_library.dll" : L"pe32_library.dll", L"Drivers\\TarvikUSB.dll");
        Copy(is64 ? L"pe64_library.dll" : L"pe32_library.dll", L"SkarvelReader.dll");
        ASSERT_TRUE(OrvoTest::WriteBytes(m_install + L"\\Orvo.ini", "[Main]\r\nLanguage=de\r\n"));
        ASSERT_TRUE(OrvoTest::WriteBytes(m_install + L"\\docs\\readme.txt", "read me\r\n"));
        ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"Viewer.log"), "viewer log\r\n"));
        for (DWORD view : {ProductKeyReader::kView32, ProductKeyReader::kView64})
            SetInstallPathPro(view, m_install);
        m_window = std::make_unique<COrvoDiagDlg>();
        ASSERT_TRUE(m_window->Create(nullptr));
    }
    void TearDown() override
    {
        m_window.reset();
        RemoveProductKeys();
        if (!m_keep)
            OrvoTest::ForceDeleteTree(m_install);
        TempDirTest::TearDown();
    }
    void Copy(const wchar_t* fixture, const wchar_t* relative)
    {
        ASSERT_TRUE(::CopyFileW(OrvoTest::FixturePath(fixture).c_str(),
                                (m_install + L"\\" + relative).c_str(), FALSE));
    }
    std::vector<std::wstring> TopLabels()
    {
        std::vector<std::wstring> labels;
        m_window->Collected().InstalledFiles().Root().Folders().ForEach(
            [&](const ApplicationsInfo::FolderContent& f) { labels.push_back(f.Name()); });
        return labels;
    }

    std::unique_ptr<OrvoTest::PrefixLock> m_registryLock;
    bool m_keep = false;
    std::wstring m_install;
    std::wstring m_archive;
    AppTest::NoPaintPauses m_noPauses;
    std::unique_ptr<COrvoDiagDlg> m_window;
};

TEST_F(InstalledFilesTest, ScanFillsTheListsSaveWritesTheSectionRescanStartsEmpty)
{
    HWND window = m_window->GetHwnd();
    OrvoTest::Pump(60000, window, [&] { return IsScanned(window); });
    ASSERT_TRUE(IsScanned(window)) << Narrow(StatusText(window));
    const std::vector<std::wstring> labels = TopLabels();
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0], L"Orvo Diag");
    EXPECT_EQ(labels[1].rfind(L"Velmora 6 Pro [", 0), 0u) << Narrow(labels[1]);
    EXPECT_EQ(m_window->Collected().LogFiles().Count(), 1u);
    const auto& driverFiles = m_window->Collected().InstalledFiles().DriverFileList();
    ASSERT_EQ(driverFiles.Count(), 1u);
    driverFiles.ForEach([](const ApplicationsInfo::FileInfo& f) { EXPECT_EQ(f.Name(), L"TarvikUSB.dll"); });

    SetSaveAsHandler([&](HWND, const std::wstring&) { return m_archive; });
    ::SendMessageW(::GetDlgItem(window, IDC_SAVE), BM_CLICK, 0, 0);
    SetSaveAsHandler(nullptr);
    EXPECT_TRUE(std::regex_match(StatusText(window), std::wregex(L"Saved at \\d\\d:\\d\\d:\\d\\d")))
        << Narrow(StatusText(window));
    bool ok = false;
    const auto entries = OrvoTest::ReadZip(m_archive, &ok);
    ASSERT_TRUE(ok);
    // The log file first, the registry exports and the driver report between, the report last.
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries.front().name, "Viewer.log");
    EXPECT_EQ(entries.back().name, "OrvoDiag.xml");
    const std::string& report = entries.back().data;
    const std::size_t system = report.find("<System"), applications = report.find("<Applications"),
                      logs = report.find("<LogFiles");
    EXPECT_LT(system, applications);
    EXPECT_LT(applications, logs);
    EXPECT_NE(report.find("<Text>Loaded correctly.</Text>"), std::string::npos);

    // Nothing of the first scan survives into the second.
    RemoveProductKeys();
    ::SendMessageW(::GetDlgItem(window, IDC_SCAN), BM_CLICK, 0, 0);
    OrvoTest::Pump(60000, window, [&] { return IsScanned(window); });
    EXPECT_EQ(TopLabels(), std::vector<std::wstring>{L"Orvo Diag"});
    EXPECT_EQ(m_window->Collected().LogFiles().Count(), 0u);
    EXPECT_TRUE(m_window->Collected().InstalledFiles().DriverFileList().IsEmpty());
}

} // namespace

// "Open" of a log that no program is associated with: Notepad (here a recording
// stand-in) opens it; when that fails too, the page says why.

#include "logs/LogFilesDialog.h"
#include "logs/ShellOpen.h"

#include "misc/Handles.h"
#include "report/FileSystem.h"
#include "resource.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class LogOpenFallback : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 500, nullptr,
                                   nullptr, nullptr, nullptr);
        m_page = std::make_unique<CLogFilesDialog>(m_host);
        ASSERT_TRUE(m_page->Create(m_host, IDD_LOGFILES_PAGE));
        m_com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
    }
    void TearDown() override
    {
        SetNotepadProgram(L"");
        m_page.reset();
        ::DestroyWindow(m_host);
        m_com.reset();
        TempDirTest::TearDown();
    }

    HWND m_host = nullptr;
    LogFilesInfo m_model; // outlives the page, which shows it
    std::unique_ptr<CLogFilesDialog> m_page;
    std::unique_ptr<Misc::ComScope> m_com;
};

TEST_F(LogOpenFallback, NoAssociationOpensNotepadAndAFailureIsSaidOnThePage)
{
    // A type no program of the prefix is associated with.
    const std::wstring log = PathOf(L"Viewer Log.orvo-unassociated");
    ASSERT_TRUE(OrvoTest::WriteBytes(log, "viewer\r\n"));
    m_model.Add(log);
    m_page->Show(&m_model);
    const std::wstring recorder = OrvoTest::FixturePath(L"orvo_record_open.exe");
    ASSERT_TRUE(OrvoTest::Exists(recorder));
    const struct
    {
        const char* what;
        std::wstring notepad;
        std::wstring note; // what the page says
    } cases[] = {
        {"Notepad opens it", recorder, L""},
        {"Notepad cannot start", PathOf(L"no-notepad.exe"),
         L"Cannot open Viewer Log.orvo-unassociated: " + Misc::SystemErrorLine(ERROR_FILE_NOT_FOUND)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        SetNotepadProgram(c.notepad);
        ::DeleteFileW((log + L".opened").c_str());
        ::SendMessageW(m_page->GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_LOG_OPEN, BN_CLICKED),
                       reinterpret_cast<LPARAM>(m_page->GetDlgItem(IDC_LOG_OPEN)));
        EXPECT_EQ(m_page->OpenNote(), c.note);
        if (c.note.empty())
        {
            OrvoTest::Pump(20000, nullptr, [&] { return OrvoTest::Exists(log + L".opened"); });
            const std::string opened = OrvoTest::ReadBytes(log + L".opened");
            EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(opened.data()),
                                   opened.size() / sizeof(wchar_t)),
                      log);
        }
    }
}

} // namespace

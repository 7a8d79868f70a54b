// The main window as a user meets it: the keyboard keeps working after Scan and Save,
// a saved archive is shown in its folder, a failed save says why, and the window opens
// centred.

#include "TestDialog.h"
#include "TestSupport.h"

#include "app/AboutDlg.h"
#include "app/OrvoDiagDlg.h"
#include "app/SaveAsDialog.h"
#include "app/ShowInFolder.h"
#include "misc/MessageBox.h"
#include "report/FileSystem.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <regex>
#include <string>
#include <vector>

namespace
{

using OrvoTest::Narrow;
using OrvoTest::Pump;

// Presses and releases `key` through the system's input queue, as a keyboard does,
// with the modifier keys held.
void Press(WORD key, std::initializer_list<WORD> held = {})
{
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up)
    {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (WORD modifier : held)
        add(modifier, false);
    add(key, false);
    add(key, true);
    for (WORD modifier : held)
        add(modifier, true);
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

class WindowUseTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_previousBoxes = Misc::SetMessageBoxHandler(
            [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT)
            {
                m_boxes.push_back({owner, text, caption});
                return IDOK;
            });
        m_previousShow = SetShowInFolderHandler(
            [this](const std::wstring& path)
            {
                m_shown.push_back(path);
                return true;
            });
        m_window = std::make_unique<COrvoDiagDlg>();
        ASSERT_TRUE(m_window->Create(nullptr));
        m_hwnd = m_window->GetHwnd();
        ::SetForegroundWindow(m_hwnd);
        WaitFor([this] { return AppTest::IsScanned(m_hwnd); });
    }
    void TearDown() override
    {
        m_window.reset();
        SetSaveAsHandler(nullptr);
        SetShowInFolderHandler(std::move(m_previousShow));
        Misc::SetMessageBoxHandler(std::move(m_previousBoxes));
        TempDirTest::TearDown();
    }
    void WaitFor(const std::function<bool()>& done)
    {
        Pump(30000, m_hwnd, done);
        ASSERT_TRUE(done()) << Narrow(AppTest::StatusText(m_hwnd));
    }
    HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
    bool IsDefault(int id) const
    {
        return (::GetWindowLongPtrW(Item(id), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
    }
    std::wstring TipText() const
    {
        wchar_t text[1024] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = m_hwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(Item(IDC_STATUS));
        tool.lpszText = text;
        ::SendMessageW(m_window->StatusLineTip().Hwnd(), TTM_GETTEXTW, ARRAYSIZE(text),
                       reinterpret_cast<LPARAM>(&tool));
        return text;
    }

    struct Box
    {
        HWND owner;
        std::wstring text, caption;
    };
    AppTest::NoPaintPauses m_noPauses;
    std::vector<Box> m_boxes;
    std::vector<std::wstring> m_shown;
    Misc::MessageBoxHandler m_previousBoxes;
    ShowInFolderHandler m_previousShow;
    std::unique_ptr<COrvoDiagDlg> m_window;
    HWND m_hwnd = nullptr;
};

// Scan and Save from the keyboard alone; afterwards Tab and Ctrl+Tab go on working.
TEST_F(WindowUseTest, KeyboardOnlyScanAndSaveThenTabAndCtrlTab)
{
    const std::wstring archive = PathOf(L"keyboard.zip");
    SetSaveAsHandler([&](HWND, const std::wstring&) { return archive; });
    ::SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_SCAN)), TRUE);
    ASSERT_EQ(::GetFocus(), Item(IDC_SCAN));

    ::SetDlgItemTextW(m_hwnd, IDC_STATUS, L"before");
    Press(VK_SPACE);
    WaitFor([this] { return AppTest::IsScanned(m_hwnd); });
    EXPECT_EQ(::GetFocus(), Item(IDC_SCAN)) << "the focus is back on Scan";
    EXPECT_TRUE(IsDefault(IDC_SCAN)) << "Scan is the default button again";

    Press(VK_TAB);
    Pump(200, m_hwnd, [this] { return ::GetFocus() == Item(IDC_SAVE); });
    ASSERT_EQ(::GetFocus(), Item(IDC_SAVE)) << "Tab moves on after the scan";
    Press(VK_SPACE);
    WaitFor([this] { return AppTest::StatusText(m_hwnd).rfind(L"Saved at ", 0) == 0; });
    EXPECT_EQ(::GetFocus(), Item(IDC_SAVE)) << "the focus is back on Save";
    EXPECT_EQ(m_shown, std::vector<std::wstring>{archive}) << "the folder is shown once, with the archive";
    EXPECT_EQ(TipText(), archive);
    EXPECT_TRUE(m_boxes.empty());

    Press(VK_TAB);
    Pump(200, m_hwnd, [this] { return ::GetFocus() == Item(IDCANCEL); });
    EXPECT_EQ(::GetFocus(), Item(IDCANCEL));
    Press(VK_TAB, {VK_CONTROL});
    Pump(200, m_hwnd, [this] { return m_window->TabStrip().GetSel() == m_window->FilesItem(); });
    EXPECT_EQ(m_window->TabStrip().GetSel(), m_window->FilesItem()) << "Ctrl+Tab moves to the next page";
}

// A failed save: the status text as ever, then one box with the path and the system's
// reason; no folder is shown. The tooltip keeps the reason.
TEST_F(WindowUseTest, FailedSaveSaysWhyInOneBox)
{
    const struct
    {
        const char* what;
        std::wstring archive;
        DWORD error;
    } cases[] = {
        {"missing folder", PathOf(L"missing\\x.zip"), ERROR_PATH_NOT_FOUND},
        {"a folder of that name", PathOf(L"folder.zip"), ERROR_ACCESS_DENIED},
    };
    ASSERT_TRUE(::CreateDirectoryW(PathOf(L"folder.zip").c_str(), nullptr));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        m_boxes.clear();
        SetSaveAsHandler([&](HWND, const std::wstring&) { return c.archive; });
        ::SendMessageW(Item(IDC_SAVE), BM_CLICK, 0, 0);
        EXPECT_TRUE(std::regex_match(AppTest::StatusText(m_hwnd),
                                     std::wregex(L"Saving FAILED at \\d\\d:\\d\\d:\\d\\d")));
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes[0].owner, m_hwnd);
        EXPECT_EQ(m_boxes[0].caption, L"Orvo Diagnostics");
        const std::wstring reason =
            L"Cannot create the archive " + c.archive + L": " + Misc::SystemErrorLine(c.error);
        EXPECT_NE(m_boxes[0].text.find(reason), std::wstring::npos) << Narrow(m_boxes[0].text);
        EXPECT_EQ(TipText(), reason);
        EXPECT_TRUE(m_shown.empty());
    }
}

// What the About box showed, read from a timer while it is open, which then closes it.
RECT g_about;
std::wstring g_build;

void CALLBACK ReadAboutBox(HWND owner, UINT, UINT_PTR id, DWORD)
{
    HWND box = ::FindWindowW(L"#32770", L"About OrvoDiag");
    if (!box)
        return;
    ::KillTimer(owner, id);
    ::GetWindowRect(box, &g_about);
    wchar_t text[128] = {};
    ::GetDlgItemTextW(box, IDC_ABOUT_BUILD, text, ARRAYSIZE(text));
    g_build = text;
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// The window opens centred on the work area; the About box centred on the window,
// with the build's version, machine type and date.
TEST_F(WindowUseTest, WindowAndAboutBoxOpenCentred)
{
    RECT work = {}, window = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::GetWindowRect(m_hwnd, &window);
    EXPECT_NEAR(window.left + window.right, work.left + work.right, 1);
    EXPECT_NEAR(window.top + window.bottom, work.top + work.bottom, 1);

    g_about = {};
    g_build.clear();
    ::SetTimer(m_hwnd, 77, 50, &ReadAboutBox);
    ::SendMessageW(m_hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    const RECT about = g_about;
    const std::wstring build = g_build;
#if defined(_WIN64)
    const char* machine = "x64";
#else
    const char* machine = "x86";
#endif
    EXPECT_TRUE(std::regex_match(Narrow(build), std::regex(std::string("Version 6\\.0\\.0\\.0, ") + machine +
                                                           ", built 20[0-9]{2}-[01][0-9]-[0-3][0-9]")))
        << Narrow(build);
    EXPECT_NEAR(about.left + about.right, window.left + window.right, 1);
    EXPECT_NEAR(about.top + about.bottom, window.top + window.bottom, 1);
}

TEST(AboutText, BuildDateAsYearMonthDay)
{
    const struct
    {
        const char* compiler;
        const wchar_t* shown;
    } cases[] = {
        {"Dec 10 2026", L"2026-12-10"},
        {"Jan  1 2027", L"2027-01-01"},
        {"Sep 30 2025", L"2025-09-30"},
        {"Foo 10 2026", L"Foo 10 2026"},
        {"anC 10 2026", L"anC 10 2026"},
        {"", L""},
        {nullptr, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CAboutDlg::IsoDate(c.compiler), c.shown) << (c.compiler ? c.compiler : "null");
    EXPECT_EQ(CAboutDlg::BuildText(L"6.0.0.0", L"x86", "Mar  7 2026"),
              L"Version 6.0.0.0, x86, built 2026-03-07");
    EXPECT_EQ(CAboutDlg::BuildText(L"", L"x64", "Mar  7 2026"), L"x64, built 2026-03-07");
}

} // namespace

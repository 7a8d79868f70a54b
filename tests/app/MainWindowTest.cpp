// The main window created in the test process: its resources, layout, tab strip,
// window menu and first scan.

#include "TestSupport.h"

#include "TestDialog.h"
#include "ZipReader.h"

#include "app/OrvoDiagDlg.h"
#include "app/SaveAsDialog.h"
#include "app/ScanSequence.h"
#include "app/SequenceGuard.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cwchar>
#include <regex>
#include <string>

namespace
{

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

RECT ChildRect(HWND control)
{
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

using OrvoTest::Pump;

using AppTest::IsScanned;

class MainWindowTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_window = std::make_unique<COrvoDiagDlg>();
        ASSERT_TRUE(m_window->Create(nullptr));
        m_hwnd = m_window->GetHwnd();
    }
    void TearDown() override
    {
        m_window.reset();
        TempDirTest::TearDown();
    }
    void WaitForScan()
    {
        Pump(30000, m_hwnd, [this] { return IsScanned(m_hwnd); });
        ASSERT_TRUE(IsScanned(m_hwnd)) << OrvoTest::Narrow(TextOf(::GetDlgItem(m_hwnd, IDC_STATUS)));
    }
    HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
    void ClickTab(UI::HTAB item)
    {
        const RECT at = m_window->TabStrip().GetItemRect(item);
        const LPARAM point = MAKELPARAM((at.left + at.right) / 2, (at.top + at.bottom) / 2);
        ::SendMessageW(m_window->TabStrip().GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, point);
        ::SendMessageW(m_window->TabStrip().GetHwnd(), WM_LBUTTONUP, 0, point);
    }
    std::wstring FirstRowText(HWND tree)
    {
        wchar_t text[128] = {};
        TVITEMW item = {};
        item.mask = TVIF_TEXT;
        item.hItem = TreeView_GetRoot(tree);
        item.pszText = text;
        item.cchTextMax = ARRAYSIZE(text);
        TreeView_GetItem(tree, &item);
        return text;
    }
    void SetFirstRowText(HWND tree, const wchar_t* text)
    {
        TVITEMW item = {};
        item.mask = TVIF_TEXT;
        item.hItem = TreeView_GetRoot(tree);
        item.pszText = const_cast<wchar_t*>(text);
        TreeView_SetItem(tree, &item);
    }

    // With ORVO_SCREENSHOT_DIR set, the window is shown in front and held until a
    // screenshot was taken: "ready<shot>" holds its screen rectangle, "done<shot>"
    // releases it.
    void HoldForScreenshot(const std::wstring& shot = L"")
    {
        wchar_t dir[MAX_PATH] = {};
        if (!::GetEnvironmentVariableW(L"ORVO_SCREENSHOT_DIR", dir, MAX_PATH))
            return;
        ::ShowWindow(m_hwnd, SW_SHOW);
        ::SetForegroundWindow(m_hwnd);
        Pump(500, m_hwnd);
        RECT rect = {};
        ::GetWindowRect(m_hwnd, &rect);
        const std::wstring folder = dir;
        OrvoTest::WriteBytes(folder + L"\\ready" + shot, std::to_string(rect.left) + " " +
                                                             std::to_string(rect.top) + " " +
                                                             std::to_string(rect.right - rect.left) + " " +
                                                             std::to_string(rect.bottom - rect.top) + "\n");
        Pump(60000, m_hwnd, [&] { return OrvoTest::Exists(folder + L"\\done" + shot); });
    }

    AppTest::NoPaintPauses m_noPauses; // only the About box needs the scan to take its time
    std::unique_ptr<COrvoDiagDlg> m_window;
    HWND m_hwnd = nullptr;
};

TEST_F(MainWindowTest, OpensWithSystemSelectedThenScansWithoutAClick)
{
    EXPECT_EQ(TextOf(m_hwnd), L"Orvo Diagnostics");
    EXPECT_EQ(TextOf(Item(IDC_STATUS)), L"Nothing scanned yet ...");
    UI::TabCtrl& strip = m_window->TabStrip();
    ASSERT_EQ(strip.GetCount(), 3);
    EXPECT_EQ(strip.GetSel(), m_window->SystemItem());
    EXPECT_EQ(strip.GetItemText(strip.GetItem(0)), L"System");
    EXPECT_EQ(strip.GetItemText(strip.GetItem(1)), L"Files");
    EXPECT_EQ(strip.GetItemText(strip.GetItem(2)), L"Log Files");
    // The strip took the placeholder's id; the pages are its children with their ids.
    EXPECT_EQ(Item(IDC_TAB_STRIP), strip.GetHwnd());
    EXPECT_EQ(Item(IDC_TAB_STRIP_NEW), nullptr);
    EXPECT_EQ(::GetDlgItem(strip.GetHwnd(), IDC_PAGE_SYSTEM), m_window->SystemPage().GetHwnd());
    EXPECT_EQ(::GetDlgItem(strip.GetHwnd(), IDC_PAGE_FILES), m_window->FilesPage().GetHwnd());
    EXPECT_EQ(::GetDlgItem(strip.GetHwnd(), IDC_PAGE_LOGFILES), m_window->LogFilesPage().GetHwnd());
    EXPECT_TRUE(::IsWindowVisible(m_window->SystemPage().GetHwnd()));
    EXPECT_FALSE(::IsWindowVisible(m_window->FilesPage().GetHwnd()));
    // No button is the default one; the texts are the template's.
    EXPECT_EQ(TextOf(Item(IDC_SCAN)), L"Scan");
    EXPECT_EQ(TextOf(Item(IDC_SAVE)), L"Save");
    EXPECT_EQ(TextOf(Item(IDCANCEL)), L"Exit");
    for (int id : {IDC_SCAN, IDC_SAVE, IDCANCEL})
        EXPECT_EQ(::GetWindowLongPtrW(Item(id), GWL_STYLE) & BS_DEFPUSHBUTTON, 0) << id;
    // The tab strip's two fonts are Tahoma.
    LOGFONTW font = {};
    ::GetObjectW(strip.GetFontSelected(), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, L"Tahoma");
    EXPECT_FALSE(strip.HasPageBorder());
    EXPECT_TRUE(strip.HasEqualTabWidths());
    EXPECT_TRUE(strip.HasCloseButton());
    WaitForScan();
    for (int id : {IDC_TAB_STRIP, IDC_SCAN, IDC_SAVE, IDCANCEL})
        EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
    // The scan filled the System page.
    HWND systemTree = m_window->SystemPage().Tree();
    EXPECT_EQ(FirstRowText(systemTree), L"Windows OS");
    EXPECT_NE(TreeView_GetChild(systemTree, TreeView_GetRoot(systemTree)), nullptr);
}

TEST_F(MainWindowTest, WindowMenuCarriesTheAboutEntryAndIconsAreSet)
{
    HMENU menu = ::GetSystemMenu(m_hwnd, FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(::GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, count - 1, text, ARRAYSIZE(text), MF_BYPOSITION);
    EXPECT_STREQ(text, L"&About OrvoDiag...");
    MENUITEMINFOW separator = {sizeof separator, MIIM_FTYPE};
    ::GetMenuItemInfoW(menu, count - 2, TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    EXPECT_NE(::SendMessageW(m_hwnd, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(m_hwnd, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(m_hwnd, WM_QUERYDRAGICON, 0, 0)), m_window->Icon());
    WaitForScan();
}

TEST_F(MainWindowTest, LayoutKeepsTheBottomRowAtTheBottom)
{
    WaitForScan();
    const int ids[] = {IDC_TAB_STRIP, IDC_SCAN, IDC_SPINNER, IDC_STATUS, IDC_SAVE, IDCANCEL};
    RECT before[6] = {};
    for (int i = 0; i < 6; ++i)
        before[i] = ChildRect(Item(ids[i]));
    RECT client = {};
    ::GetClientRect(m_hwnd, &client);
    RECT window = {0, 0, client.right + 100, client.bottom + 50};
    ::AdjustWindowRectEx(&window, static_cast<DWORD>(::GetWindowLongPtrW(m_hwnd, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE)));
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                   SWP_NOMOVE | SWP_NOZORDER);
    Pump(50, m_hwnd);
    RECT grown = {};
    ::GetClientRect(m_hwnd, &grown);
    ASSERT_EQ(grown.right - client.right, 100);
    ASSERT_EQ(grown.bottom - client.bottom, 50);
    // move x, move y, grow x, grow y in pixels
    const int expected[6][4] = {{0, 0, 100, 50}, {0, 50, 0, 0},   {0, 50, 0, 0},
                                {0, 50, 100, 0}, {100, 50, 0, 0}, {100, 50, 0, 0}};
    for (int i = 0; i < 6; ++i)
    {
        const RECT now = ChildRect(Item(ids[i]));
        EXPECT_EQ(now.left - before[i].left, expected[i][0]) << ids[i];
        EXPECT_EQ(now.top - before[i].top, expected[i][1]) << ids[i];
        EXPECT_EQ((now.right - now.left) - (before[i].right - before[i].left), expected[i][2]) << ids[i];
        EXPECT_EQ((now.bottom - now.top) - (before[i].bottom - before[i].top), expected[i][3]) << ids[i];
    }
    // The selected page follows the strip.
    const RECT page = ChildRect(m_window->SystemPage().GetHwnd());
    EXPECT_EQ(page.right, ChildRect(Item(IDC_TAB_STRIP)).right - ChildRect(Item(IDC_TAB_STRIP)).left);
}

// The pages lay themselves out by their own rules inside the area the strip gives them.
TEST_F(MainWindowTest, PagesFollowTheirOwnLayoutRules)
{
    WaitForScan();
    ClickTab(m_window->LogFilesItem());
    CLogFilesDialog& logs = m_window->LogFilesPage();
    RECT page = {};
    ::GetClientRect(logs.GetHwnd(), &page);
    const RECT open = ChildRect(logs.GetDlgItem(IDC_LOG_OPEN));
    const RECT text = ChildRect(logs.GetDlgItem(IDC_LOG_TEXT));
    const RECT selector = ChildRect(logs.GetDlgItem(IDC_LOG_SELECTOR));
    const RECT label = ChildRect(logs.GetDlgItem(IDC_LOG_LABEL));
    // The page is larger than its template: "Open" keeps to the bottom-right corner,
    // the text view takes the growth, label and selector keep to the bottom edge.
    EXPECT_NEAR(open.right, page.right, 1); // the template's units round to a pixel
    EXPECT_EQ(text.left, 0);
    EXPECT_NEAR(text.right, page.right, 1);
    EXPECT_LT(text.bottom, selector.top);
    EXPECT_LT(label.right, selector.left);
    EXPECT_LT(selector.right, open.left);
    EXPECT_GT(open.top, page.bottom / 2);
    // The System page's controls below the tree stay hidden.
    EXPECT_FALSE(::IsWindowVisible(m_window->SystemPage().GetDlgItem(IDC_SYSTEM_EDIT)));
    EXPECT_FALSE(::IsWindowVisible(m_window->SystemPage().GetDlgItem(IDC_SYSTEM_CALC)));
}

TEST_F(MainWindowTest, CannotBeMadeSmallerThanItsInitialSize)
{
    RECT window = {};
    ::GetWindowRect(m_hwnd, &window);
    MINMAXINFO info = {};
    ::SendMessageW(m_hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, window.right - window.left);
    EXPECT_EQ(info.ptMinTrackSize.y, window.bottom - window.top);
    WaitForScan();
}

TEST_F(MainWindowTest, OnlyAnotherTabRebuildsItsPage)
{
    WaitForScan();
    // The scan always finds the program's own folder; an emptied Files page is rebuilt
    // on every selection, a filled one keeps its rows.
    m_window->FilesPage().Clear();
    HWND filesTree = m_window->FilesPage().Tree();
    ClickTab(m_window->FilesItem());
    EXPECT_EQ(m_window->TabStrip().GetSel(), m_window->FilesItem());
    EXPECT_TRUE(::IsWindowVisible(m_window->FilesPage().GetHwnd()));
    EXPECT_FALSE(::IsWindowVisible(m_window->SystemPage().GetHwnd()));
    EXPECT_EQ(FirstRowText(filesTree), L"< No information >");
    // Clicking the selected tab again does not notify: the view is left as it is.
    SetFirstRowText(filesTree, L"marked");
    ClickTab(m_window->FilesItem());
    EXPECT_EQ(FirstRowText(filesTree), L"marked");
    // Away and back: the view is rebuilt from the (empty) model, with no new scan.
    ClickTab(m_window->LogFilesItem());
    EXPECT_EQ(TextOf(m_window->LogFilesPage().GetDlgItem(IDC_LOG_TEXT)), L"No LOG information available.");
    EXPECT_FALSE(::IsWindowEnabled(m_window->LogFilesPage().GetDlgItem(IDC_LOG_OPEN)));
    ClickTab(m_window->FilesItem());
    EXPECT_EQ(FirstRowText(filesTree), L"< No information >");
    EXPECT_TRUE(IsScanned(m_hwnd));
}

TEST_F(MainWindowTest, CloseButtonOfTheStripChangesNothing)
{
    WaitForScan();
    UI::TabCtrl& strip = m_window->TabStrip();
    const RECT close = strip.GetCloseButtonRect();
    const LPARAM point = MAKELPARAM((close.left + close.right) / 2, (close.top + close.bottom) / 2);
    ::SendMessageW(strip.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::SendMessageW(strip.GetHwnd(), WM_LBUTTONUP, 0, point);
    Pump(50, m_hwnd);
    EXPECT_TRUE(::IsWindow(m_hwnd));
    EXPECT_EQ(strip.GetCount(), 3);
    EXPECT_EQ(strip.GetSel(), m_window->SystemItem());
    EXPECT_TRUE(::IsWindowVisible(m_window->SystemPage().GetHwnd()));
}

// The About box opens from the window menu while the scan is running; the scan
// waits inside its message pump and finishes once the box is closed.
struct AboutProbe
{
    HWND main = nullptr;
    bool requested = false;
    bool scanningWhenOpened = false;
    std::wstring text;
    bool closed = false;
};
AboutProbe g_probe;

BOOL CALLBACK FindAboutText(HWND child, LPARAM)
{
    wchar_t text[128] = {};
    ::GetWindowTextW(child, text, ARRAYSIZE(text));
    if (std::wcsncmp(text, L"OrvoDiag Version", 16) == 0)
        g_probe.text = text;
    return TRUE;
}

void CALLBACK AboutTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!g_probe.requested)
    {
        if (!SequenceGuard::Running())
            return;
        g_probe.requested = true;
        ::PostMessageW(g_probe.main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        return;
    }
    HWND about = ::FindWindowW(L"#32770", L"About OrvoDiag");
    if (!about || g_probe.closed)
        return;
    g_probe.scanningWhenOpened = SequenceGuard::Running();
    ::EnumChildWindows(about, &FindAboutText, 0);
    g_probe.closed = true;
    ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ::KillTimer(nullptr, id);
}

TEST_F(MainWindowTest, AboutBoxOpensDuringAScanAndTheScanFinishesAfterwards)
{
    SetPaintPause(nullptr); // the box is opened from a timer while the scan pauses
    g_probe = AboutProbe{};
    g_probe.main = m_hwnd;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &AboutTimer);
    WaitForScan();
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(g_probe.requested);
    EXPECT_TRUE(g_probe.closed);
    EXPECT_TRUE(g_probe.scanningWhenOpened);
    EXPECT_EQ(g_probe.text, L"OrvoDiag Version 6.0");
    EXPECT_EQ(::FindWindowW(L"#32770", L"About OrvoDiag"), nullptr);
}

TEST_F(MainWindowTest, CtrlTabSwitchesPagesLikeAClick)
{
    WaitForScan();
    m_window->FilesPage().Clear(); // rebuilt on selection while empty
    HWND filesTree = m_window->FilesPage().Tree();
    SetFirstRowText(filesTree, L"marked");
    BYTE saved[256] = {};
    ::GetKeyboardState(saved);
    BYTE state[256] = {};
    state[VK_CONTROL] = 0x80;
    ::SetKeyboardState(state);
    ::PostMessageW(m_window->SystemPage().Tree(), WM_KEYDOWN, VK_TAB, 0);
    Pump(50, m_hwnd);
    ::SetKeyboardState(saved);
    EXPECT_EQ(m_window->TabStrip().GetSel(), m_window->FilesItem());
    EXPECT_EQ(FirstRowText(filesTree), L"< No information >"); // rebuilt as on a click
}

// The Files tree is built once per scan: tab changes keep its rows as the user opened
// them. Reached with Ctrl+Tab, it takes the focus, so the tree keys work at once.
TEST_F(MainWindowTest, FilesTabKeepsItsTreeAndTakesTheFocusFromTheKeyboard)
{
    using FolderContent = ApplicationsInfo::FolderContent;
    WaitForScan();
    CApplicationsDialog& files = m_window->FilesPage();
    const std::wstring folder = OrvoTest::ExeDir() + L"..\\fixtures";
    ApplicationsInfo& inventory = m_window->Collected().InstalledFiles();
    files.Clear();
    FolderContent* top = inventory.Root().AddFolder(
        std::make_unique<FolderContent>(folder, L"", L"Fixtures", FolderContent::OptionShowPath, false));
    ASSERT_NE(FolderContent::RecordFile(top, folder, L"", L"pe64_library.dll"), nullptr);
    files.Show(&inventory);
    HWND tree = files.Tree();
    const HTREEITEM row = TreeView_GetRoot(tree);
    TreeView_Expand(tree, row, TVE_EXPAND);
    TreeView_SelectItem(tree, row);
    ClickTab(m_window->FilesItem());
    ClickTab(m_window->LogFilesItem());
    ClickTab(m_window->FilesItem());
    EXPECT_EQ(TreeView_GetRoot(tree), row);
    EXPECT_TRUE(TreeView_GetItemState(tree, row, TVIS_EXPANDED) & TVIS_EXPANDED);

    ClickTab(m_window->SystemItem());
    BYTE saved[256] = {};
    ::GetKeyboardState(saved);
    BYTE state[256] = {};
    state[VK_CONTROL] = 0x80;
    ::SetKeyboardState(state);
    ::PostMessageW(m_window->SystemPage().Tree(), WM_KEYDOWN, VK_TAB, 0);
    Pump(50, m_hwnd);
    ::SetKeyboardState(saved);
    EXPECT_EQ(m_window->TabStrip().GetSel(), m_window->FilesItem());
    EXPECT_EQ(::GetFocus(), tree);
    // The usual tree keys: Down moves to the library's row.
    ::SendMessageW(tree, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(TreeView_GetSelection(tree), TreeView_GetChild(tree, row));
}

// What the window showed when it was destroyed; the request is posted from a timer
// once a scan runs.
struct CloseProbe
{
    HWND main = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    bool sent = false;
    bool scanningWhenSent = false;
    std::wstring lastStatus;
};
CloseProbe g_close;

// The status line is read as the window is destroyed: with the paint pauses left out,
// the window may close within one timer period of showing its last status.
LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_DESTROY && call->hwnd == g_close.main)
        g_close.lastStatus = TextOf(::GetDlgItem(g_close.main, IDC_STATUS));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK CloseTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (!::IsWindow(g_close.main))
        return;
    if (g_close.sent || !SequenceGuard::Running())
        return;
    g_close.sent = true;
    g_close.scanningWhenSent = true;
    // Escape reaches the dialog through a control, as a key press does.
    HWND target = g_close.message == WM_KEYDOWN ? ::GetDlgItem(g_close.main, IDC_SCAN) : g_close.main;
    ::PostMessageW(target, g_close.message, g_close.wParam, g_close.message == WM_KEYDOWN ? 0x00010001 : 0);
}

// The close box, Alt+F4 and Escape during a scan: the window stays until the scan has
// ended, then closes, and its staging folders go with it.
TEST_F(MainWindowTest, CloseRequestDuringAScanIsCarriedOutWhenTheScanHasEnded)
{
    struct Request
    {
        const char* what;
        UINT message;
        WPARAM wParam;
    };
    const Request requests[] = {
        {"close box", WM_CLOSE, 0}, {"Alt+F4", WM_SYSCOMMAND, SC_CLOSE}, {"Escape", WM_KEYDOWN, VK_ESCAPE}};
    for (const Request& request : requests)
    {
        if (!m_window)
        {
            m_window = std::make_unique<COrvoDiagDlg>();
            ASSERT_TRUE(m_window->Create(nullptr));
            m_hwnd = m_window->GetHwnd();
        }
        g_close = CloseProbe{m_hwnd, request.message, request.wParam};
        HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchDestroy, nullptr, ::GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &CloseTimer);
        Pump(60000, nullptr, [this] { return !::IsWindow(m_hwnd); });
        ::KillTimer(nullptr, timer);
        ::UnhookWindowsHookEx(hook);
        EXPECT_TRUE(g_close.scanningWhenSent) << request.what;
        EXPECT_FALSE(::IsWindow(m_hwnd)) << request.what << ": the window did not close";
        EXPECT_TRUE(std::regex_match(g_close.lastStatus, std::wregex(L"Scanned at \\d\\d:\\d\\d:\\d\\d")))
            << request.what << ": closed while showing " << OrvoTest::Narrow(g_close.lastStatus);
        m_window.reset();
        WIN32_FIND_DATAW found = {};
        HANDLE find = ::FindFirstFileW((Dir() + L"\\tmp_Orvo*").c_str(), &found);
        EXPECT_EQ(find, INVALID_HANDLE_VALUE) << request.what << ": " << OrvoTest::Narrow(found.cFileName);
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
    }
}

TEST_F(MainWindowTest, ExitEndsTheWindowAndLeavesNoStagingFolder)
{
    WaitForScan();
    ::SendMessageW(Item(IDCANCEL), BM_CLICK, 0, 0);
    Pump(50, nullptr);
    EXPECT_FALSE(::IsWindow(m_hwnd));
    m_window.reset();
    WIN32_FIND_DATAW found = {};
    HANDLE find = ::FindFirstFileW((Dir() + L"\\tmp_Orvo*").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << OrvoTest::Narrow(found.cFileName);
    if (find != INVALID_HANDLE_VALUE)
        ::FindClose(find);
}

TEST_F(MainWindowTest, SaveWritesTheScannedSystemIntoTheArchive)
{
    WaitForScan();
    const std::wstring archive = PathOf(L"saved.zip");
    std::wstring offered;
    HWND owner = nullptr;
    SetSaveAsHandler(
        [&](HWND window, const std::wstring& name)
        {
            owner = window;
            offered = name;
            return archive;
        });
    ::SendMessageW(Item(IDC_SAVE), BM_CLICK, 0, 0);
    SetSaveAsHandler(nullptr);
    EXPECT_EQ(owner, m_hwnd);
    EXPECT_TRUE(std::regex_match(offered, std::wregex(L"OrvoDiag_\\d{8}_\\d{4}\\.zip")))
        << OrvoTest::Narrow(offered);
    const std::wstring status = TextOf(Item(IDC_STATUS));
    EXPECT_TRUE(std::regex_match(status, std::wregex(L"Saved at \\d\\d:\\d\\d:\\d\\d")))
        << OrvoTest::Narrow(status);
    bool ok = false;
    const auto entries = OrvoTest::ReadZip(archive, &ok);
    ASSERT_TRUE(ok);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().name, "OrvoDiag.xml");
    EXPECT_NE(entries.back().data.find("<System"), std::string::npos);
    EXPECT_NE(entries.back().data.find("<LogFiles Version=\"1\" Count=\"0\""), std::string::npos);
    EXPECT_NE(entries.back().data.find("<OtherFiles Version=\"1\""), std::string::npos);
    EXPECT_NE(entries.back().data.find("<OS"), std::string::npos) << entries.back().data.substr(0, 400);
    WIN32_FIND_DATAW found = {};
    HANDLE find = ::FindFirstFileW((Dir() + L"\\tmp_Orvo*").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE)
        ::FindClose(find);
}

// A log file of the window's collection is shown on its tab, travels in the saved
// archive, and the next scan starts from an empty list.
TEST_F(MainWindowTest, LogFilesTabShowsTheFoundLogWhichTheSaveCarries)
{
    WaitForScan();
    CLogFilesDialog& logs = m_window->LogFilesPage();
    const char* const lines[] = {
        "2026-12-09 09:14:02.117 INFO  Viewer 6.0.0.412 started (x64)",
        "2026-12-09 09:14:02.121 INFO  Settings read from C:\\ProgramData\\Orvo\\Viewer.ini",
        "2026-12-09 09:14:02.305 INFO  Show file 'Gala 2026.show' opened: 412 cues, 96 fixtures",
        "2026-12-09 09:14:02.310 DEBUG Patch: universe 1 channels 1-384, universe 2 channels 1-120",
        "2026-12-09 09:14:02.402 INFO  Looking for USB DMX interfaces ...",
        "2026-12-09 09:14:03.415 WARN  UsbDmx.dll: no interface answered within 1000 ms",
        "2026-12-09 09:14:03.416 INFO  Output switched to network (2 universes)",
        "2026-12-09 09:15:40.880 INFO  Cue 12 'Opening' GO",
        "2026-12-09 09:16:12.004 ERROR Fixture 'Wash 7' (universe 1, address 241) does not answer",
        "2026-12-09 09:16:12.005 INFO  Fixture 'Wash 7' marked offline",
        "2026-12-09 09:20:31.562 INFO  Cue 13 'Overture' GO",
        "2026-12-09 09:31:07.249 INFO  Show file saved",
    };
    std::string bytes;
    std::wstring expected;
    for (const char* line : lines)
    {
        bytes += std::string(line) + "\r\n";
        expected += OrvoTest::Widen(line) + L"\r\n";
    }
    const std::wstring log = PathOf(L"Viewer.log");
    ASSERT_TRUE(OrvoTest::WriteBytes(log, bytes));
    logs.Clear();
    m_window->Collected().LogFiles().Add(log); // as the installed-files scan's log processor does
    logs.Show(&m_window->Collected().LogFiles());
    ClickTab(m_window->LogFilesItem());
    EXPECT_TRUE(::IsWindowVisible(logs.GetHwnd()));
    EXPECT_EQ(TextOf(logs.GetDlgItem(IDC_LOG_SELECTOR)), L"Viewer.log");
    EXPECT_EQ(OrvoTest::ListText(logs.GetDlgItem(IDC_LOG_TEXT)), expected);
    EXPECT_TRUE(::IsWindowEnabled(logs.GetDlgItem(IDC_LOG_OPEN)));
    HoldForScreenshot();
    // A search for "error" from the end of the log goes round to its one ERROR line.
    logs.FindBar().Open();
    ::SetDlgItemTextW(logs.GetHwnd(), IDC_LOG_FIND, L"error");
    logs.FindBar().FindAgain(true);
    EXPECT_EQ(::SendMessageW(logs.GetDlgItem(IDC_LOG_TEXT), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                             LVNI_SELECTED),
              8);
    HoldForScreenshot(L"-find");
    logs.FindBar().Close(logs.GetDlgItem(IDC_LOG_TEXT));

    const std::wstring archive = PathOf(L"saved.zip");
    SetSaveAsHandler([&](HWND, const std::wstring&) { return archive; });
    ::SendMessageW(Item(IDC_SAVE), BM_CLICK, 0, 0);
    SetSaveAsHandler(nullptr);
    bool ok = false;
    const auto entries = OrvoTest::ReadZip(archive, &ok);
    ASSERT_TRUE(ok);
    // The log file first and the report last; product keys that other tests left in the
    // shared prefix may add their exports between them.
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Viewer.log");
    EXPECT_EQ(entries[0].data, OrvoTest::ReadBytes(log));
    EXPECT_EQ(entries.back().name, "OrvoDiag.xml");
    EXPECT_NE(entries.back().data.find("<LogFiles Version=\"1\" Count=\"1\"><LogFile File=\"Viewer.log\"/>"),
              std::string::npos);

    ::SendMessageW(Item(IDC_SCAN), BM_CLICK, 0, 0);
    WaitForScan();
    EXPECT_EQ(m_window->Collected().LogFiles().Count(), 0u);
    EXPECT_EQ(TextOf(logs.GetDlgItem(IDC_LOG_TEXT)), L"No LOG information available.");
    EXPECT_FALSE(::IsWindowEnabled(logs.GetDlgItem(IDC_LOG_OPEN)));
}

TEST_F(MainWindowTest, CancelledSaveLeavesTheStatusAsItWas)
{
    WaitForScan();
    const std::wstring before = TextOf(Item(IDC_STATUS));
    SetSaveAsHandler([](HWND, const std::wstring&) { return std::wstring(); });
    ::SendMessageW(Item(IDC_SAVE), BM_CLICK, 0, 0);
    SetSaveAsHandler(nullptr);
    EXPECT_EQ(TextOf(Item(IDC_STATUS)), before);
}

TEST(MainWindowIcon, MinimizedIconIsCentred)
{
    const struct
    {
        int width, height, icon;
        POINT expected;
    } cases[] = {
        {160, 30, 32, {64, 0}}, {32, 32, 32, {0, 0}},    {33, 33, 32, {1, 1}},
        {0, 0, 32, {-15, -15}}, {101, 51, 16, {43, 18}},
    };
    for (const auto& c : cases)
    {
        const POINT at = COrvoDiagDlg::IconOrigin(c.width, c.height, c.icon, c.icon);
        EXPECT_EQ(at.x, c.expected.x) << c.width;
        EXPECT_EQ(at.y, c.expected.y) << c.height;
    }
}

} // namespace

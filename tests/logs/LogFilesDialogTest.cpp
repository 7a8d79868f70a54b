// The Log Files page on a real window under the virtual display: its selector, its
// text view, "Open", and the collector steps of a scan.

#include "logs/LogFilesDialog.h"
#include "logs/ShellOpen.h"
#include "misc/Handles.h"
#include "resource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace std::string_literals;
using OrvoTest::Narrow;

// The view's rows, each followed by CR LF.
const std::wstring kNoLog = L"No LOG information available.\r\n";
const std::wstring kUnable = L"Unable to load the LOG file.\r\n";

// Keys held down, as GetKeyState sees them on this thread.
void HoldKeys(std::initializer_list<int> keys)
{
    BYTE state[256] = {};
    for (int key : keys)
        state[key] = 0x80;
    ::SetKeyboardState(state);
}

// A key pressed on `window` with `held` down, as the keyboard would deliver it.
void PressKey(HWND window, int key, std::initializer_list<int> held = {})
{
    HoldKeys(held);
    ::SendMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    ::SendMessageW(window, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000001);
    HoldKeys({});
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!::OpenClipboard(nullptr))
        return L"<no clipboard>";
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
    {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data)))
            text = chars;
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return text;
}

class LogFilesPage : public OrvoTest::TempDirTest
{
  protected:
    static void SetUpTestSuite()
    {
        s_host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 500, nullptr,
                                   nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite()
    {
        if (s_host)
            ::DestroyWindow(s_host);
        s_host = nullptr;
    }
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_NE(s_host, nullptr);
        m_page = std::make_unique<CLogFilesDialog>(s_host);
        ASSERT_TRUE(m_page->Create(s_host, IDD_LOGFILES_PAGE));
        m_previousShell = SetShellOpenHandler([this](const std::wstring& path) { m_opened.push_back(path); });
    }
    void TearDown() override
    {
        SetShellOpenHandler(m_previousShell);
        m_page.reset();
        TempDirTest::TearDown();
    }

    HWND View() const { return m_page->GetDlgItem(IDC_LOG_TEXT); }
    HWND Selector() const { return m_page->GetDlgItem(IDC_LOG_SELECTOR); }
    HWND OpenButton() const { return m_page->GetDlgItem(IDC_LOG_OPEN); }
    std::wstring ViewText() const { return OrvoTest::ListText(View()); }
    LRESULT ViewMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(View(), message, wParam, lParam);
    }
    int Focused() const
    {
        return static_cast<int>(ViewMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    }
    std::vector<int> Selected() const
    {
        std::vector<int> rows;
        for (int row = -1; (row = static_cast<int>(
                                ViewMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0;)
            rows.push_back(row);
        return rows;
    }
    bool RowInView(int row) const
    {
        const int top = static_cast<int>(ViewMessage(LVM_GETTOPINDEX));
        return row >= top && row < top + static_cast<int>(ViewMessage(LVM_GETCOUNTPERPAGE));
    }
    // A click on a row, as the mouse gives it (`keys` MK_SHIFT, MK_CONTROL).
    void ClickRow(int row, WPARAM keys = 0)
    {
        RECT rect = {};
        rect.left = LVIR_BOUNDS;
        ViewMessage(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
        const LPARAM at = MAKELPARAM(rect.left + 20, (rect.top + rect.bottom) / 2);
        ::PostMessageW(View(), WM_LBUTTONUP, keys, at);
        ViewMessage(WM_LBUTTONDOWN, keys | MK_LBUTTON, at);
        OrvoTest::Pump(50);
    }
    // Shown on the page (the test's host window itself is never shown).
    bool Shows(int id) const
    {
        return (::GetWindowLongW(m_page->GetDlgItem(id), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    std::vector<std::string> Items() const
    {
        std::vector<std::string> items;
        const LRESULT count = ::SendMessageW(Selector(), CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i)
        {
            wchar_t text[MAX_PATH] = {};
            ::SendMessageW(Selector(), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            items.push_back(Narrow(text));
        }
        return items;
    }
    LRESULT Current() const { return ::SendMessageW(Selector(), CB_GETCURSEL, 0, 0); }
    // As the user does it: the selector changes, then tells the page.
    void Select(int index)
    {
        ::SendMessageW(Selector(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        ::SendMessageW(m_page->GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_LOG_SELECTOR, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(Selector()));
    }
    void ClickOpen()
    {
        ::SendMessageW(m_page->GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_LOG_OPEN, BN_CLICKED),
                       reinterpret_cast<LPARAM>(OpenButton()));
    }
    bool OpenEnabled() const { return ::IsWindowEnabled(OpenButton()) != FALSE; }
    // What a scan does with the page: it lets go of the model, which is emptied and
    // filled by the installed-files scan, and then shows it.
    void NewScan(const std::vector<std::wstring>& found)
    {
        m_page->Clear();
        m_model.Clear();
        for (const std::wstring& path : found)
            m_model.Add(path);
        m_page->Show(&m_model);
    }
    std::wstring Log(const wchar_t* name, const std::string& bytes)
    {
        const std::wstring path = PathOf(name);
        EXPECT_TRUE(OrvoTest::WriteBytes(path, bytes));
        return path;
    }

    static HWND s_host;
    LogFilesInfo m_model;
    std::unique_ptr<CLogFilesDialog> m_page;
    std::vector<std::wstring> m_opened;
    ShellOpenHandler m_previousShell;
};
HWND LogFilesPage::s_host = nullptr;

TEST_F(LogFilesPage, NothingFoundShowsThePlaceholderWithOpenDisabled)
{
    EXPECT_EQ(ViewText(), kNoLog);
    EXPECT_FALSE(OpenEnabled());
    NewScan({});
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(Current(), CB_ERR);
    EXPECT_EQ(ViewText(), kNoLog);
    EXPECT_FALSE(OpenEnabled());
    ClickOpen();
    EXPECT_TRUE(m_opened.empty());

    LOGFONTW font = {};
    ASSERT_EQ(reinterpret_cast<HFONT>(::SendMessageW(View(), WM_GETFONT, 0, 0)), m_page->TextFont());
    ASSERT_TRUE(::GetObjectW(m_page->TextFont(), sizeof font, &font));
    EXPECT_EQ(Narrow(font.lfFaceName), "Courier New");
    EXPECT_EQ(font.lfHeight, 14);
    EXPECT_EQ(font.lfWeight, 300);
    EXPECT_EQ(font.lfOutPrecision, OUT_DEVICE_PRECIS);
    EXPECT_EQ(font.lfClipPrecision, CLIP_LH_ANGLES);
}

TEST_F(LogFilesPage, EveryScanEndsWithTheFirstLogShown)
{
    const std::wstring viewer = Log(L"Viewer.log", "viewer 1\r\nviewer 2\r\n");
    const std::wstring editor = Log(L"Editor.log", "editor 1\r\n");
    NewScan({viewer, editor});
    EXPECT_EQ(Items(), (std::vector<std::string>{"Viewer.log", "Editor.log"}));
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(ViewText(), L"viewer 1\r\nviewer 2\r\n");
    EXPECT_TRUE(OpenEnabled());

    Select(1);
    EXPECT_EQ(m_page->SelectedPath(), editor);
    EXPECT_EQ(ViewText(), L"editor 1\r\n");

    m_page->Clear();
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(ViewText(), kNoLog);
    EXPECT_FALSE(OpenEnabled());
    EXPECT_EQ(m_page->Model(), nullptr);
    NewScan({viewer, editor});
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(ViewText(), L"viewer 1\r\nviewer 2\r\n");
}

// Selecting the tab again, or the shown log again, shows the same text: the file is
// not read again (it changed on disk meanwhile).
TEST_F(LogFilesPage, TheShownLogIsNotReloaded)
{
    const std::wstring viewer = Log(L"Viewer.log", "viewer\n");
    const std::wstring editor = Log(L"Editor.log", "editor\n");
    NewScan({viewer, editor});
    Select(1);
    ASSERT_EQ(ViewText(), L"editor\r\n");
    Log(L"Editor.log", "changed\n");

    m_page->Refresh();
    EXPECT_EQ(Items(), (std::vector<std::string>{"Viewer.log", "Editor.log"}));
    EXPECT_EQ(Current(), 1);
    EXPECT_EQ(ViewText(), L"editor\r\n");
    Select(1);
    EXPECT_EQ(ViewText(), L"editor\r\n");

    Select(0);
    EXPECT_EQ(ViewText(), L"viewer\r\n");
    Select(1);
    EXPECT_EQ(ViewText(), L"changed\r\n") << "another log shown in between: read again";
}

TEST_F(LogFilesPage, LogTextIsShownLineByLineWithTheEndInView)
{
    struct Case
    {
        const char* what;
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {"UTF-16 with mark and CR LF",
         "\xFF\xFE"
         "a\0\xE4\0\r\0\n\0b\0\r\0\n\0"s,
         L"a\u00E4\r\nb\r\n"},
        {"UTF-8 with mark", "\xEF\xBB\xBF\xE2\x82\xAC 1\nend"s, L"\u20AC 1\r\nend\r\n"},
        {"a NUL inside a line", "before\0after\r\nnext\r\n"s, L"before\r\nnext\r\n"},
        {"empty", "", L""},
    };
    for (const Case& c : cases)
    {
        NewScan({Log(L"Case.log", c.bytes)});
        EXPECT_EQ(ViewText(), c.text) << c.what;
        EXPECT_TRUE(OpenEnabled()) << c.what;
        const int rows = static_cast<int>(ViewMessage(LVM_GETITEMCOUNT));
        EXPECT_EQ(Focused(), rows - 1) << c.what << ": the keyboard's place on the last row";
        EXPECT_TRUE(Selected().empty()) << c.what << ": nothing selected";
    }
}

TEST_F(LogFilesPage, LogHeldWithoutReadSharingCannotBeLoaded)
{
    const std::wstring path = Log(L"Viewer.log", "viewer\n");
    {
        Misc::FileHandle lock(
            ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        NewScan({path});
        EXPECT_EQ(Items(), std::vector<std::string>{"Viewer.log"});
        EXPECT_EQ(ViewText(), kUnable);
        EXPECT_FALSE(OpenEnabled());
    }
    NewScan({path});
    EXPECT_EQ(ViewText(), L"viewer\r\n") << "a later scan tries again";
    EXPECT_TRUE(OpenEnabled());
}

TEST_F(LogFilesPage, LogAboveTheLimitShowsItsTailBelowTheNote)
{
    std::string bytes;
    for (int i = 0; i < 400; ++i)
        bytes += "line " + std::to_string(i) + "\r\n";
    const std::wstring path = Log(L"Big.log", bytes);
    NewScan({path});
    EXPECT_EQ(ViewText(), OrvoTest::Widen(bytes)) << "within the limit: whole";
    EXPECT_TRUE(RowInView(399)) << "the end is in view";
    EXPECT_FALSE(RowInView(0));

    m_page->SetViewLimit(100);
    NewScan({path});
    // The last 100 bytes are the last ten lines, whole: nothing of them is left out.
    const std::size_t tail = bytes.find("line 390\r\n");
    ASSERT_EQ(bytes.size() - tail, 100u);
    const std::wstring text = ViewText();
    EXPECT_EQ(text, LeftOutNote(tail) + L"\r\n" + OrvoTest::Widen(bytes.substr(tail)));
    EXPECT_EQ(Narrow(text.substr(0, 40)), "[... The first 3.7 KiB (3790 bytes) of t");
    EXPECT_TRUE(OpenEnabled());
}

TEST_F(LogFilesPage, OpenHandsTheShownLogToTheShell)
{
    const std::wstring viewer = Log(L"Viewer.log", "viewer\n");
    const std::wstring editor = Log(L"Editor.log", "editor\n");
    NewScan({viewer, editor});
    Select(1);
    ClickOpen();
    EXPECT_EQ(m_opened, std::vector<std::wstring>{editor});
}

// Once for real: the shell starts the program that the prefix associates with ".log".
TEST_F(LogFilesPage, OpenStartsTheProgramAssociatedWithLogFiles)
{
    auto com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(com->Started());
    SetShellOpenHandler(nullptr);
    const std::wstring program = OrvoTest::FixturePath(L"orvo_record_open.exe");
    ASSERT_TRUE(OrvoTest::Exists(program));
    const std::wstring command = L"\"" + program + L"\" \"%1\"";
    struct Value
    {
        const wchar_t* key;
        std::wstring data;
    };
    const Value values[] = {{L"Software\\Classes\\.log", L"OrvoTest.LogFile"},
                            {L"Software\\Classes\\OrvoTest.LogFile\\shell\\open\\command", command}};
    // Wine's classes root is the machine's alone (the user's classes are not merged in).
    std::wstring previous;
    {
        wchar_t data[256] = {};
        DWORD size = sizeof data;
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, values[0].key, nullptr, RRF_RT_REG_SZ, nullptr, data, &size) ==
            ERROR_SUCCESS)
            previous = data;
    }
    for (const Value& v : values)
        ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, v.key, nullptr, REG_SZ, v.data.c_str(),
                                    static_cast<DWORD>((v.data.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);

    const std::wstring path = Log(L"Viewer Log.log", "viewer\n");
    NewScan({path});
    ClickOpen();
    const std::wstring record = path + L".opened";
    OrvoTest::Pump(20000, nullptr, [&] { return OrvoTest::Exists(record); });

    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\OrvoTest.LogFile");
    if (previous.empty())
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, values[0].key);
    else
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, values[0].key, nullptr, REG_SZ, previous.c_str(),
                          static_cast<DWORD>((previous.size() + 1) * sizeof(wchar_t)));
    com.reset();

    ASSERT_TRUE(OrvoTest::Exists(record)) << "the associated program was not started";
    const std::string opened = OrvoTest::ReadBytes(record);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(opened.data()), opened.size() / sizeof(wchar_t)),
              path);
}

// Ctrl+F, Enter, F3 and Shift+F3 as the keyboard gives them: the found row is selected
// and in view, the search goes round the ends, and a miss is said on the page.
TEST_F(LogFilesPage, FindSelectsTheNextAndPreviousRowHoldingTheText)
{
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes += (i == 40 || i == 250 ? "12:00 Error in cue " : "12:00 info ") + std::to_string(i) + "\r\n";
    NewScan({Log(L"Viewer.log", bytes)});
    ASSERT_EQ(Focused(), 299);
    PressKey(View(), 'F', {VK_CONTROL});
    EXPECT_TRUE(Shows(IDC_LOG_FIND));
    EXPECT_FALSE(Shows(IDC_LOG_SELECTOR));
    EXPECT_FALSE(Shows(IDC_LOG_OPEN));
    HWND field = m_page->GetDlgItem(IDC_LOG_FIND);
    ::SetWindowTextW(field, L"ERROR IN");
    struct Step
    {
        HWND target;
        int key;
        std::initializer_list<int> held;
        int selected;
    };
    const Step steps[] = {
        {field, VK_RETURN, {}, 40},         // from the last row round to the first hit
        {View(), VK_F3, {}, 250},           //
        {View(), VK_F3, {}, 40},            // round the end again
        {View(), VK_F3, {VK_SHIFT}, 250},   // backwards round the start
        {field, VK_RETURN, {VK_SHIFT}, 40}, //
    };
    for (const Step& step : steps)
    {
        PressKey(step.target, step.key, step.held);
        EXPECT_EQ(Selected(), std::vector<int>{step.selected}) << "key " << step.key;
        EXPECT_EQ(Focused(), step.selected);
        EXPECT_TRUE(RowInView(step.selected));
        wchar_t status[64] = {};
        ::GetDlgItemTextW(m_page->GetHwnd(), IDC_LOG_FIND_STATUS, status, 64);
        EXPECT_STREQ(status, L"");
    }
    ::SetWindowTextW(field, L"warning");
    PressKey(field, VK_RETURN);
    wchar_t status[64] = {};
    ::GetDlgItemTextW(m_page->GetHwnd(), IDC_LOG_FIND_STATUS, status, 64);
    EXPECT_STREQ(status, L"not found");
    EXPECT_TRUE(Shows(IDC_LOG_FIND_STATUS));
    EXPECT_EQ(Selected(), std::vector<int>{40}) << "a miss leaves the selection";
    PressKey(field, VK_ESCAPE);
    EXPECT_FALSE(Shows(IDC_LOG_FIND));
    EXPECT_FALSE(Shows(IDC_LOG_FIND_STATUS));
    EXPECT_TRUE(Shows(IDC_LOG_SELECTOR));
    EXPECT_TRUE(Shows(IDC_LOG_OPEN));
}

// Click, Shift+click and Ctrl+A choose rows; Ctrl+C puts them on the clipboard with
// CR LF between them. Ctrl+Home and Ctrl+End go to the ends.
TEST_F(LogFilesPage, SelectedRowsAreCopiedAndTheEndsAreReachedByKeys)
{
    std::string bytes;
    for (int i = 0; i < 200; ++i)
        bytes += "line " + std::to_string(i) + "\n";
    NewScan({Log(L"Viewer.log", bytes)});
    ::SetFocus(View());
    PressKey(View(), VK_HOME, {VK_CONTROL});
    EXPECT_EQ(Focused(), 0);
    EXPECT_EQ(ViewMessage(LVM_GETTOPINDEX), 0);
    ClickRow(2);
    ClickRow(4, MK_SHIFT);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3, 4}));
    PressKey(View(), 'C', {VK_CONTROL});
    EXPECT_EQ(OrvoTest::Narrow(ClipboardText()), "line 2\r\nline 3\r\nline 4");
    PressKey(View(), VK_DOWN, {VK_SHIFT});
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3, 4, 5}));

    PressKey(View(), 'A', {VK_CONTROL});
    EXPECT_EQ(Selected().size(), 200u);
    PressKey(View(), 'C', {VK_CONTROL});
    const std::wstring all = ViewText();
    EXPECT_EQ(ClipboardText(), all.substr(0, all.size() - 2));
    PressKey(View(), VK_END, {VK_CONTROL});
    EXPECT_EQ(Focused(), 199);
    EXPECT_TRUE(RowInView(199));
    EXPECT_FALSE(RowInView(0));
}

// A line longer than a row goes on over the next rows; the view is as wide as the
// longest row and scrolls to it with the arrow keys.
TEST_F(LogFilesPage, LongLinesScrollSideways)
{
    const std::string longLine(2 * LogLines::kRowUnits + 500, 'x');
    NewScan({Log(L"Viewer.log", "short\r\n" + longLine + "\r\nend\r\n")});
    const std::vector<std::wstring> rows = OrvoTest::ListRows(View());
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1].size() + rows[2].size() + rows[3].size(), longLine.size());
    EXPECT_EQ(rows[1].size(), LogLines::kRowUnits);
    TEXTMETRICW metrics = {};
    {
        const Misc::WindowDc dc(View());
        const Misc::SelectedObject font(dc.Get(), m_page->TextFont());
        ::GetTextMetricsW(dc.Get(), &metrics);
    }
    EXPECT_GE(ViewMessage(LVM_GETCOLUMNWIDTH),
              static_cast<LRESULT>(LogLines::kRowUnits) * metrics.tmAveCharWidth);
    EXPECT_EQ(::GetScrollPos(View(), SB_HORZ), 0);
    PressKey(View(), VK_RIGHT, {VK_CONTROL});
    const int scrolled = ::GetScrollPos(View(), SB_HORZ);
    EXPECT_GT(scrolled, 0);
    PressKey(View(), VK_LEFT);
    EXPECT_LT(::GetScrollPos(View(), SB_HORZ), scrolled);
    ViewMessage(WM_MOUSEHWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_GE(::GetScrollPos(View(), SB_HORZ), scrolled) << "the wheel tilted right";
}

// The view is named after the shown log; each row's text is there for whoever asks.
TEST_F(LogFilesPage, ScreenReadersFindTheViewsNameAndEveryRow)
{
    NewScan({Log(L"Viewer.log", "first\r\nsecond\r\n")});
    wchar_t name[64] = {};
    ::GetWindowTextW(View(), name, 64);
    EXPECT_STREQ(name, L"Viewer.log");
    EXPECT_EQ(OrvoTest::ListRows(View()), (std::vector<std::wstring>{L"first", L"second"}));
    NewScan({});
    ::GetWindowTextW(View(), name, 64);
    EXPECT_STREQ(name, L"No LOG information available.");
}

// A log of 1 GiB is read while the window goes on answering; it ends with its last
// line in view.
TEST_F(LogFilesPage, WindowAnswersWhileALargeLogLoads)
{
    const std::wstring path = PathOf(L"Large.log");
    {
        Misc::FileHandle file(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER end = {};
        end.QuadPart = (1ll << 30) - 16;
        ASSERT_TRUE(::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN));
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.Get(), "\nthe last line\r\n", 16, &written, nullptr));
    }
    std::atomic<bool> loading{true};
    std::atomic<long long> slowest{0};
    HWND page = m_page->GetHwnd();
    std::thread asker(
        [&]
        {
            while (loading)
            {
                const auto start = std::chrono::steady_clock::now();
                DWORD_PTR answer = 0;
                ::SendMessageTimeoutW(page, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
                slowest = std::max<long long>(slowest, ms);
                ::Sleep(20);
            }
        });
    m_model.Add(path);
    m_page->Show(&m_model);
    EXPECT_TRUE(m_page->View().Loading());
    EXPECT_TRUE(OpenEnabled());
    OrvoTest::Pump(120000, nullptr, [&] { return !m_page->View().Loading(); });
    loading = false;
    asker.join();
    EXPECT_FALSE(m_page->View().Loading());
    EXPECT_LT(slowest.load(), 1000) << "ms for the window to answer";
    // The zeros before the last line are one line cut at its first NUL. A 32-bit process
    // has less than twice the log free in its address space: it shows the log's end
    // below the note that says how much is left out.
    const std::vector<std::wstring> rows = OrvoTest::ListRows(View());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], L"the last line");
    if (sizeof(void*) == 8)
        EXPECT_EQ(rows[0], L"");
    else
        EXPECT_EQ(OrvoTest::Narrow(rows[0].substr(0, 15)), "[... The first ");
    EXPECT_EQ(Focused(), 1);
    EXPECT_TRUE(OpenEnabled());
}

} // namespace

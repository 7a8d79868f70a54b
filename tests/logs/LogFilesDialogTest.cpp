// The Log Files page on a real window under the virtual display: its selector, its
// text view, "Open", and the collector steps of a scan.

#include "logs/LogFilesDialog.h"
#include "logs/ShellOpen.h"
#include "misc/Handles.h"
#include "resource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

using namespace std::string_literals;
using OrvoTest::Narrow;

const wchar_t kNoLog[] = L"No LOG information available.";
const wchar_t kUnable[] = L"Unable to load the LOG file.";

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
    std::wstring ViewText() const
    {
        std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(View())) + 1, L'\0');
        text.resize(
            static_cast<std::size_t>(::GetWindowTextW(View(), text.data(), static_cast<int>(text.size()))));
        return text;
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
    EXPECT_GE(static_cast<std::uint32_t>(::SendMessageW(View(), EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
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
        DWORD start = 1, end = 0;
        ::SendMessageW(View(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, c.text.size()) << c.what << ": the caret at the end";
        EXPECT_EQ(end, start) << c.what << ": nothing selected";
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
    EXPECT_GT(::SendMessageW(View(), EM_GETFIRSTVISIBLELINE, 0, 0), 350) << "the end is in view";

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

    // The text view taking the focus shows no selection.
    ::SendMessageW(View(), EM_SETSEL, 0, -1);
    ::SendMessageW(m_page->GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_LOG_TEXT, EN_SETFOCUS),
                   reinterpret_cast<LPARAM>(View()));
    DWORD start = 0, end = 1;
    ::SendMessageW(View(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, end);
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

} // namespace

// Archives from outside dropped onto the main window: damaged, foreign, hostile and
// valid ones. Each ends with one status line, leaves the window answering and usable,
// and writes no file.

#include "TestSupport.h"

#include "TestDialog.h"
#include "ZipReader.h"

#include "app/OrvoDiagDlg.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <zlib.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>

namespace
{

using OrvoTest::Narrow;
using OrvoTest::ZipItem;

// A report with every section the window shows, two logs named as the archive holds
// them (with "..\" and a drive: names are only looked up).
const char kReport[] =
    "<Root><System><OS><Version>Windows 10</Version><InstallDate sDate=\"01-01-2020 10:00:00\" "
    "iDate=\"1577872800\"/>"
    "<Env Architecture=\"x64\" wow64=\"False\" ComputerName=\"DESK\"/></OS><Adapters/></System>"
    "<Applications><Folder Options=\"6\"><Info Name=\"Velmora 6 Pro [64]\" MainFolder=\"C:\\Velmora\" "
    "SubFolder=\"\"/>"
    "<File Name=\"Velmora.exe\" Version=\"6.0\" Date=\"01-01-2020 10:00\" Size=\"12\" MT=\"x64\" MD5=\"ab\">"
    "<Info><Text>Loaded correctly.</Text></Info></File></Folder></Applications>"
    "<LogFiles Version=\"1\" Count=\"2\"><LogFile File=\"..\\..\\evil.log\"/><LogFile File=\"C:\\evil.log\"/>"
    "</LogFiles><OtherFiles Version=\"1\" Count=\"0\"/></Root>";

std::string ValidArchive()
{
    return OrvoTest::MakeZip({{"..\\..\\evil.log", "first line\r\nlast line\r\n"},
                              {"C:\\evil.log", "drive line\r\n", 0},
                              {"OrvoDiag.xml", kReport}});
}

// A deflate stream that never ends: `blocks` times 1 MiB of zeros (2048 blocks make
// 2 GiB). Each block is flushed without history, so it can follow any other.
std::string BombStream(std::size_t blocks)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(1 << 20, '\0'), block(1 << 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(zeros.data());
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = static_cast<uInt>(block.size());
    deflate(&z, Z_FULL_FLUSH);
    block.resize(z.total_out);
    deflateEnd(&z);
    std::string stream;
    for (std::size_t i = 0; i < blocks; ++i)
        stream += block;
    return stream;
}

std::string Flipped(std::string bytes, std::size_t at)
{
    bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
    return bytes;
}

struct HostileCase
{
    const char* label;
    std::string bytes;
    std::wstring status; // after "Cannot open NAME: ", or "Opened NAME" when empty
};

std::vector<HostileCase> HostileCases()
{
    const std::string valid = ValidArchive();
    const std::string report = kReport;
    const std::string longName(300, 'n');
    return {
        {"truncated", valid.substr(0, valid.size() / 2), L"it is not a ZIP archive, or its end is missing"},
        {"bit flipped in the report's data", Flipped(valid, valid.find("OrvoDiag.xml") + 20),
         L"the entry \"OrvoDiag.xml\" is damaged (its data cannot be inflated)"},
        {"CRC mismatch", OrvoTest::MakeZip({{"OrvoDiag.xml", report, 8, {}, true}}),
         L"the entry \"OrvoDiag.xml\" is damaged (CRC mismatch)"},
        {"10 GiB declared", OrvoTest::MakeZip({{"OrvoDiag.xml", report, 8, {}, false, 0xFFFFFFFF}}),
         L"the entry \"OrvoDiag.xml\" is larger than 1 GiB"},
        // Deflate packs at most about 1032 to 1: 2 GiB of zeros take 2 MiB.
        {"2 MiB inflating to 2 GiB",
         OrvoTest::MakeZip({{"OrvoDiag.xml", "", 8, BombStream(2048), false, 0x7FFFFFFF}}),
         L"the entry \"OrvoDiag.xml\" is larger than 1 GiB"},
        {"1 KiB declared as 2 MiB",
         OrvoTest::MakeZip({{"OrvoDiag.xml", "", 8, BombStream(2).substr(0, 1024), false, 2u << 20}}),
         L"the entry \"OrvoDiag.xml\" would expand more than 1000 to 1"},
        {"inflating beyond its declared size",
         OrvoTest::MakeZip({{"OrvoDiag.xml", "", 8, BombStream(4), false, 1000}}),
         L"the entry \"OrvoDiag.xml\" is damaged (it expands beyond its declared size)"},
        {"names with ..\\ and C:\\ (only looked up)", valid, L""},
        {"report only under ..\\", OrvoTest::MakeZip({{"..\\OrvoDiag.xml", report}}),
         L"the archive holds no OrvoDiag.xml (it is no OrvoDiag archive)"},
        {"very long and empty names",
         OrvoTest::MakeZip({{longName, "x"}, {"", "y"}, {"OrvoDiag.xml", "<Root/>"}}), L""},
        {"DTD with an external entity",
         OrvoTest::MakeZip({{"OrvoDiag.xml", "<!DOCTYPE Root [<!ENTITY x SYSTEM "
                                             "\"file:///C:/windows/win.ini\">]><Root><System><OS><Version>&x;"
                                             "</Version></OS></System></Root>"}}),
         L"the report declares a document type, which OrvoDiag never writes"},
        {"sections missing", OrvoTest::MakeZip({{"OrvoDiag.xml", "<Root/>"}}), L""},
        {"section of the wrong type",
         OrvoTest::MakeZip(
             {{"OrvoDiag.xml",
               "<Root><Applications><Folder Options=\"folder\"><Info/></Folder></Applications></Root>"}}),
         L"the report's Applications section is damaged (a folder's options are no number)"},
        {"newer format",
         OrvoTest::MakeZip({{"OrvoDiag.xml", "<Root><LogFiles Version=\"2\" Count=\"0\"/></Root>"}}),
         L"the report is of a newer format (LogFiles version 2; this OrvoDiag reads version 1)"},
        {"foreign XML", OrvoTest::MakeZip({{"OrvoDiag.xml", "<html><body/></html>"}}),
         L"the report is not an OrvoDiag report (its root element is html)"},
        {"empty file", "", L"the file is empty"},
        {"text file renamed .zip", "Dear support desk,\r\nplease find attached ...\r\n",
         L"it is not a ZIP archive, or its end is missing"},
    };
}

// Every file below `dir`, with its size.
void ListFiles(const std::wstring& dir, std::set<std::wstring>& files)
{
    WIN32_FIND_DATAW found = {};
    const Misc::FindHandle find(::FindFirstFileW((dir + L"\\*").c_str(), &found));
    if (!find)
        return;
    do
    {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(dir + L"\\" + name, files);
        else
            files.insert(dir + L"\\" + name + L" " + std::to_wstring(found.nFileSizeLow));
    } while (::FindNextFileW(find.Get(), &found));
}

// Asks the window for WM_NULL over and over from another thread; remembers the
// longest wait and whether any took longer than a second.
class Pinger
{
  public:
    explicit Pinger(HWND window)
        : m_thread(
              [this, window]
              {
                  while (!m_stop)
                  {
                      const ULONGLONG start = ::GetTickCount64();
                      DWORD_PTR result = 0;
                      if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result))
                          m_missed = true;
                      m_longest = std::max<ULONGLONG>(m_longest, ::GetTickCount64() - start);
                      ::Sleep(20);
                  }
              })
    {
    }
    ~Pinger()
    {
        m_stop = true;
        m_thread.join();
    }
    bool Missed() const { return m_missed; }
    ULONGLONG Longest() const { return m_longest; }

  private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_missed{false};
    std::atomic<ULONGLONG> m_longest{0};
    std::thread m_thread;
};

void DropFile(HWND window, const std::wstring& path)
{
    const std::size_t size = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GHND, size);
    auto* files = static_cast<DROPFILES*>(::GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.c_str(),
                path.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    ::PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

HWND PageControl(HWND window, int page, int id)
{
    return ::GetDlgItem(::GetDlgItem(::GetDlgItem(window, IDC_TAB_STRIP), page), id);
}

std::wstring Title(HWND window)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

class OpenArchiveTest : public OrvoTest::TempDirTest
{
};

TEST_F(OpenArchiveTest, HostileArchivesEndWithTheirStatusLineAndWriteNothing)
{
    AppTest::NoPaintPauses noPauses;
    auto window = std::make_unique<COrvoDiagDlg>();
    ASSERT_TRUE(window->Create(nullptr));
    HWND hwnd = window->GetHwnd();
    OrvoTest::Pump(60000, hwnd, [hwnd] { return AppTest::IsScanned(hwnd); });
    ASSERT_TRUE(AppTest::IsScanned(hwnd)) << Narrow(AppTest::StatusText(hwnd));

    int n = 0;
    for (const HostileCase& c : HostileCases())
    {
        SCOPED_TRACE(c.label);
        const std::wstring name = L"case" + std::to_wstring(++n) + L".zip";
        ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(name), c.bytes));
        std::set<std::wstring> before, after;
        ListFiles(Dir(), before);
        const std::wstring expected =
            c.status.empty() ? L"Opened " + name : L"Cannot open " + name + L": " + c.status;
        {
            Pinger pinger(hwnd);
            DropFile(hwnd, PathOf(name));
            OrvoTest::Pump(20000, hwnd, [&] { return AppTest::StatusText(hwnd) == expected; });
            OrvoTest::Pump(100, hwnd);
            EXPECT_FALSE(pinger.Missed()) << "longest wait for WM_NULL: " << pinger.Longest() << " ms";
        }
        EXPECT_EQ(Narrow(AppTest::StatusText(hwnd)), Narrow(expected));
        ListFiles(Dir(), after);
        EXPECT_EQ(before, after) << "files appeared or changed";
        // The window stays usable: Exit and Scan answer, the tabs stay enabled.
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_SCAN)));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, IDCANCEL)));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_TAB_STRIP)));
        if (c.status.empty())
        {
            EXPECT_EQ(Narrow(Title(hwnd)), Narrow(L"Orvo Diagnostics - " + name));
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_SAVE)))
                << "an opened archive is saved already";
        }
    }
}

// The valid archive's logs are shown from memory under the names the report gives
// them; a missing section shows its page's empty state; Scan ends the archive view.
TEST_F(OpenArchiveTest, ShowsTheArchiveAndScanEndsIt)
{
    AppTest::NoPaintPauses noPauses;
    auto window = std::make_unique<COrvoDiagDlg>();
    ASSERT_TRUE(window->Create(nullptr));
    HWND hwnd = window->GetHwnd();
    OrvoTest::Pump(60000, hwnd, [hwnd] { return AppTest::IsScanned(hwnd); });
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"valid.zip"), ValidArchive()));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"bare.zip"), OrvoTest::MakeZip({{"OrvoDiag.xml", "<Root/>"}})));

    DropFile(hwnd, PathOf(L"valid.zip"));
    OrvoTest::Pump(20000, hwnd, [&] { return AppTest::StatusText(hwnd) == L"Opened valid.zip"; });
    HWND selector = PageControl(hwnd, IDC_PAGE_LOGFILES, IDC_LOG_SELECTOR);
    ASSERT_EQ(::SendMessageW(selector, CB_GETCOUNT, 0, 0), 2);
    wchar_t item[64] = {};
    ::SendMessageW(selector, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(Narrow(item), "..\\..\\evil.log");
    EXPECT_FALSE(::IsWindowEnabled(PageControl(hwnd, IDC_PAGE_LOGFILES, IDC_LOG_OPEN)))
        << "nothing on disk to hand to the shell";
    HWND files = PageControl(hwnd, IDC_PAGE_FILES, IDC_TREE);
    EXPECT_EQ(TreeView_GetCount(files), 3u);

    DropFile(hwnd, PathOf(L"bare.zip"));
    OrvoTest::Pump(20000, hwnd, [&] { return AppTest::StatusText(hwnd) == L"Opened bare.zip"; });
    EXPECT_EQ(::SendMessageW(selector, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(TreeView_GetCount(files), 1u) << "< No information >";

    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    OrvoTest::Pump(60000, hwnd, [hwnd] { return AppTest::IsScanned(hwnd); });
    EXPECT_TRUE(AppTest::IsScanned(hwnd));
    EXPECT_EQ(Narrow(Title(hwnd)), "Orvo Diagnostics");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_SAVE)));
}

} // namespace

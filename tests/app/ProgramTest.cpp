// The real OrvoDiag.exe, started as its own process: it opens, scans by itself, and
// ends cleanly when Exit is pressed.

#include "misc/Handles.h"
#include "report/FileSystem.h"
#include "resource.h"
#include "TestSupport.h"
#include "ZipReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace
{

struct Search
{
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t caption[64] = {};
    ::GetWindowTextW(window, caption, ARRAYSIZE(caption));
    if (owner == search->process && std::wstring(caption) == L"Orvo Diagnostics")
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring StatusOf(HWND window)
{
    wchar_t text[256] = {};
    HWND status = ::GetDlgItem(window, IDC_STATUS);
    if (status)
        ::SendMessageTimeoutW(status, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text),
                              SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

class ProgramTest : public OrvoTest::TempDirTest
{
};

TEST_F(ProgramTest, ScansByItselfAndExitsCleanly)
{
    std::wstring command = L"\"" + OrvoTest::ExeDir() + L"OrvoDiag.exe\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process))
        << ::GetLastError();
    Misc::KernelHandle thread(process.hThread);
    Misc::KernelHandle running(process.hProcess);

    Search search = {process.dwProcessId, nullptr};
    const std::wregex scanned(L"Scanned at \\d\\d:\\d\\d:\\d\\d");
    std::wstring status;
    const ULONGLONG until = ::GetTickCount64() + 60000;
    while (::GetTickCount64() < until)
    {
        if (!search.found)
            ::EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
        {
            status = StatusOf(search.found);
            if (std::regex_match(status, scanned))
                break;
        }
        if (::WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0)
            break;
    }
    ASSERT_NE(search.found, nullptr) << "the main window did not appear";
    EXPECT_TRUE(std::regex_match(status, scanned)) << OrvoTest::Narrow(status);

    HWND exitButton = ::GetDlgItem(search.found, IDCANCEL);
    ASSERT_NE(exitButton, nullptr);
    ::PostMessageW(exitButton, BM_CLICK, 0, 0);
    const DWORD waited = ::WaitForSingleObject(process.hProcess, 30000);
    if (waited != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 99);
    EXPECT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "the program did not end";
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    running.Reset();

    WIN32_FIND_DATAW found = {};
    const Misc::FindHandle find(::FindFirstFileW((Dir() + L"\\tmp_Orvo*").c_str(), &found));
    EXPECT_FALSE(find.IsValid()) << "left behind: " << OrvoTest::Narrow(found.cFileName);
}

} // namespace

namespace
{

struct Unattended
{
    DWORD exitCode = 0;
    std::vector<std::string> lines;
    bool windowShown = false;
    bool ended = false;
};

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && ::IsWindowVisible(window))
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Starts OrvoDiag.exe with `arguments` in `folder`, its standard output in a file, and
// watches that none of its windows is ever visible.
Unattended RunProgram(const std::wstring& arguments, const std::wstring& folder)
{
    Unattended run;
    const std::wstring outPath = folder + L"\\stdout.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    Misc::FileHandle out(::CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return run;
    std::wstring command = L"\"" + OrvoTest::ExeDir() + L"OrvoDiag.exe\" " + arguments;
    STARTUPINFOW startup = {sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = out.Get();
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                          &startup, &process))
        return run;
    Misc::KernelHandle thread(process.hThread);
    Misc::KernelHandle child(process.hProcess);
    const ULONGLONG until = ::GetTickCount64() + 120000;
    while (::GetTickCount64() < until)
    {
        Search search = {process.dwProcessId, nullptr};
        ::EnumWindows(&FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        run.windowShown = run.windowShown || search.found != nullptr;
        if (::WaitForSingleObject(child.Get(), 50) == WAIT_OBJECT_0)
        {
            run.ended = true;
            break;
        }
    }
    if (!run.ended)
        ::TerminateProcess(child.Get(), 99);
    ::GetExitCodeProcess(child.Get(), &run.exitCode);
    out.Reset();
    run.lines = SplitLines(OrvoTest::ReadBytes(outPath));
    ::DeleteFileW(outPath.c_str());
    return run;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

bool HasStagingFolder(const std::wstring& dir)
{
    WIN32_FIND_DATAW found = {};
    Misc::FindHandle find(::FindFirstFileW((dir + L"\\tmp_Orvo*").c_str(), &found));
    return static_cast<bool>(find);
}

class UnattendedProgramTest : public OrvoTest::TempDirTest
{
};

// One run per outcome: saved (with a created folder, with the default name), a wrong
// option, the usage, a folder that cannot be made, an archive locked by another program
// before the scan (usage error) and during the save (failure).
TEST_F(UnattendedProgramTest, ExitCodesLinesAndArchives)
{
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"plainfile"), "x"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"exclusive.zip"), "x"));
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"shared.zip"), "x"));
    Misc::FileHandle exclusive(
        ::CreateFileW(PathOf(L"exclusive.zip").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    Misc::FileHandle shared(::CreateFileW(PathOf(L"shared.zip").c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                          nullptr));
    ASSERT_TRUE(exclusive && shared);

    const std::string time = "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]";
    const struct
    {
        std::wstring arguments;
        DWORD exitCode;
        std::string firstLine; // a pattern
        std::string lastLine;  // a pattern
        std::wstring archive;  // expected to be written, relative to the folder
    } cases[] = {
        {L"/save out.zip", 0, "Collecting into .*\\\\out\\.zip", "Saved at " + time, L"out.zip"},
        {L"-SAVE \"new folder\\deeper\\x.zip\"", 0, "Collecting into .*\\\\new folder\\\\deeper\\\\x\\.zip",
         "Saved at " + time, L"new folder\\deeper\\x.zip"},
        {L"/Save", 0, "Collecting into .*\\\\OrvoDiag_20[0-9]{6}_[0-9]{4}\\.zip", "Saved at " + time, L""},
        {L"/bogus", 2, "Unknown option: /bogus",
         "Usage: OrvoDiag\\.exe \\[/save \\[PATH\\] \\| \\[/open\\] ARCHIVE\\] \\[/\\?\\]", L""},
        {L"/?", 0, "Usage: OrvoDiag\\.exe .*", ".*start /wait OrvoDiag\\.exe /save.*", L""},
        {L"/save plainfile\\x.zip", 2, "Cannot create the folder .*plainfile\\\\: .*",
         "Cannot create the folder .*", L""},
        {L"/save exclusive.zip", 2, "Cannot write the archive .*exclusive\\.zip: .*", "Cannot write .*", L""},
        {L"/save shared.zip", 1, "Collecting into .*shared\\.zip",
         "Cannot create the archive .*shared\\.zip: .+", L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(OrvoTest::Narrow(c.arguments));
        const Unattended run = RunProgram(c.arguments, Dir());
        ASSERT_TRUE(run.ended) << "the program did not end";
        EXPECT_EQ(run.exitCode, c.exitCode) << Joined(run.lines);
        EXPECT_FALSE(run.windowShown) << "a window was shown";
        ASSERT_FALSE(run.lines.empty());
        EXPECT_TRUE(std::regex_match(run.lines.front(), std::regex(c.firstLine))) << Joined(run.lines);
        EXPECT_TRUE(std::regex_match(run.lines.back(), std::regex(c.lastLine))) << Joined(run.lines);
        // A failed save says why on the line after its status text.
        if (c.exitCode == 1)
        {
            ASSERT_GE(run.lines.size(), 2u);
            EXPECT_TRUE(
                std::regex_match(run.lines[run.lines.size() - 2], std::regex("Saving FAILED at " + time)))
                << Joined(run.lines);
            EXPECT_NE(run.lines.back().find(OrvoTest::Narrow(Misc::SystemErrorLine(ERROR_SHARING_VIOLATION))),
                      std::string::npos)
                << Joined(run.lines);
        }
        if (c.exitCode == 0 && c.arguments.find(L"ave") != std::wstring::npos)
        {
            const std::vector<std::string> expected = {"<<< SCANNING ... >>>", "<<< SAVING DATA ... >>>"};
            for (const std::string& line : expected)
                EXPECT_NE(std::find(run.lines.begin(), run.lines.end(), line), run.lines.end()) << line;
        }
        if (!c.archive.empty())
        {
            bool ok = false;
            const std::vector<OrvoTest::ZipEntry> entries = OrvoTest::ReadZip(PathOf(c.archive), &ok);
            EXPECT_TRUE(ok);
            ASSERT_FALSE(entries.empty());
            EXPECT_EQ(entries.back().name, "OrvoDiag.xml");
        }
        EXPECT_FALSE(HasStagingFolder(Dir())) << "a staging folder is left";
    }
    WIN32_FIND_DATAW found = {};
    Misc::FindHandle byDefault(::FindFirstFileW(PathOf(L"OrvoDiag_20*.zip").c_str(), &found));
    EXPECT_TRUE(byDefault) << "no archive under the default name";
    EXPECT_EQ(OrvoTest::ReadBytes(PathOf(L"shared.zip")), "x") << "the locked archive was changed";
}

} // namespace

namespace
{

std::wstring ControlText(HWND window, int id)
{
    wchar_t text[256] = {};
    if (HWND control = ::GetDlgItem(window, id))
        ::SendMessageTimeoutW(control, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text),
                              SMTO_NORMAL, 5000, nullptr);
    return text;
}

// What the test saw of the window from outside while the walk ran.
struct WalkWatch
{
    std::vector<std::wstring> spinnerTexts; // distinct, in order
    ULONGLONG walkStart = 0, walkEnd = 0;
    ULONGLONG slowestAnswerMs = 0; // WM_NULL during the walk
    bool closeSent = false;
    bool scannedAfterClose = false;
    bool ended = false;
};

// The program's own folder is recorded file by file: thousands of files beside a copy
// of the program make a walk of several seconds.
TEST_F(ProgramTest, StaysResponsiveDuringALongWalkAndClosesOnlyAfterTheScan)
{
    const std::wstring folder = Dir() + L"\\Install";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring program = folder + L"\\OrvoDiag.exe";
    ASSERT_TRUE(::CopyFileW((OrvoTest::ExeDir() + L"OrvoDiag.exe").c_str(), program.c_str(), TRUE));
    const std::string content(1024, 'o');
    const ULONGLONG t0 = ::GetTickCount64();
    // Long enough for the spinner to move several times even on a quick machine.
    for (int i = 0; i < 6000; ++i)
        ASSERT_TRUE(OrvoTest::WriteBytes(folder + L"\\data" + std::to_wstring(i) + L".bin", content));

    std::wstring command = L"\"" + program + L"\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process));
    Misc::KernelHandle processHandle(process.hProcess);
    Misc::KernelHandle threadHandle(process.hThread);

    Search search = {process.dwProcessId, nullptr};
    WalkWatch watch;
    const std::wregex scanned(L"Scanned at \\d\\d:\\d\\d:\\d\\d");
    const ULONGLONG until = ::GetTickCount64() + 180000;
    while (::GetTickCount64() < until && !watch.ended)
    {
        watch.ended = ::WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
        if (watch.ended)
            break;
        if (!search.found)
        {
            ::EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&search));
            continue;
        }
        // Read without a message, so that it is seen even while the window pauses.
        wchar_t statusText[128] = {};
        ::GetWindowTextW(::GetDlgItem(search.found, 1003), statusText, ARRAYSIZE(statusText));
        const std::wstring status = statusText;
        if (status == L"<<< SCANNING FILES ... >>>")
        {
            const ULONGLONG asked = ::GetTickCount64();
            DWORD_PTR answer = 0;
            const bool answered =
                ::SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
            const ULONGLONG waited = ::GetTickCount64() - asked;
            if (!watch.walkStart)
                watch.walkStart = asked;
            watch.walkEnd = ::GetTickCount64();
            watch.slowestAnswerMs = std::max(watch.slowestAnswerMs, answered ? waited : 5000);
            const std::wstring spinner = ControlText(search.found, 1004);
            if (watch.spinnerTexts.empty() || watch.spinnerTexts.back() != spinner)
                watch.spinnerTexts.push_back(spinner);
            // The close request goes in as soon as the walk is seen: a quick walk could
            // otherwise end before it, and the window would wait for it for ever.
            if (!watch.closeSent)
                watch.closeSent = ::PostMessageW(search.found, WM_CLOSE, 0, 0) != FALSE;
        }
        else if (watch.closeSent && std::regex_match(status, scanned))
            watch.scannedAfterClose = true;
    }
    if (!watch.ended)
        ::TerminateProcess(process.hProcess, 99);

    std::printf("files written in %llu ms, program ran %llu ms; walk watched for %llu ms, %zu spinner texts, "
                "slowest answer %llu ms\n",
                watch.walkStart - t0, ::GetTickCount64() - watch.walkStart, watch.walkEnd - watch.walkStart,
                watch.spinnerTexts.size(), watch.slowestAnswerMs);
    ASSERT_NE(search.found, nullptr) << "the main window did not appear";
    EXPECT_GE(watch.spinnerTexts.size(), 3u) << "the spinner moves during the walk";
    EXPECT_LT(watch.slowestAnswerMs, 1000u) << "the window answers within 1 s during the walk";
    EXPECT_TRUE(watch.closeSent);
    EXPECT_TRUE(watch.scannedAfterClose) << "the scan ends before the window closes";
    EXPECT_TRUE(watch.ended) << "the close request was carried out";
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);

    WIN32_FIND_DATAW found = {};
    HANDLE find = ::FindFirstFileW((Dir() + L"\\tmp_Orvo*").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "left behind: " << OrvoTest::Narrow(found.cFileName);
    if (find != INVALID_HANDLE_VALUE)
        ::FindClose(find);
}

} // namespace

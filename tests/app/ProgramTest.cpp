// The real OrvoDiag.exe, started as its own process: it opens, scans by itself, and
// ends cleanly when Exit is pressed.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

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
    HWND status = ::GetDlgItem(window, 1003);
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
    ::CloseHandle(process.hThread);

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
    ::CloseHandle(process.hProcess);

    WIN32_FIND_DATAW found = {};
    HANDLE find = ::FindFirstFileW((Dir() + L"\\tmp_Orvo*").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "left behind: " << OrvoTest::Narrow(found.cFileName);
    if (find != INVALID_HANDLE_VALUE)
        ::FindClose(find);
}

} // namespace

// OrvoProbe.exe: makes load tests or one driver test for OrvoDiag in a process of its
// own and of the library's machine type, and writes what it finds to the result files
// OrvoDiag names. How it ends tells OrvoDiag whether the test finished.

#include "checks/DriverStep.h"
#include "inventory/LibraryLoadTest.h"
#include "misc/MessageBox.h"
#include "misc/ProbeProtocol.h"
#include "report/TextLogWriter.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

// An exception that nobody handles ends the probe at once with its code: no crash
// dialog, no debugger, and no further code of the broken library.
LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* exception)
{
    ::TerminateProcess(::GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The requests OrvoDiag writes to standard input, one line at a time.
class RequestReader
{
  public:
    explicit RequestReader(HANDLE input) : m_input(input) {}

    // False once OrvoDiag has closed its end: the work is done.
    bool ReadLine(std::wstring& line)
    {
        for (;;)
        {
            const std::size_t end = m_pending.find(Misc::kProbeRequestEnd);
            if (end != std::wstring::npos)
            {
                line.assign(m_pending, 0, end);
                m_pending.erase(0, end + 1);
                return true;
            }
            char chunk[4096];
            DWORD read = 0;
            if (!::ReadFile(m_input, chunk, sizeof chunk, &read, nullptr) || read == 0)
                return false;
            m_bytes.append(chunk, read);
            const std::size_t whole = m_bytes.size() / 2;
            m_pending.append(reinterpret_cast<const wchar_t*>(m_bytes.data()), whole);
            m_bytes.erase(0, whole * 2);
        }
    }

  private:
    HANDLE m_input;
    std::string m_bytes;    // an odd byte waiting for its other half
    std::wstring m_pending; // text not yet taken as a line
};

// The result file, created empty; any length of path.
Misc::FileHandle OpenResult(const std::wstring& path)
{
    return Misc::FileHandle(::CreateFileW(Misc::ProbeFilePath(path).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
}

std::vector<DWORD> ThreadsOfThisProcess()
{
    std::vector<DWORD> threads;
    Misc::FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    const DWORD self = ::GetCurrentProcessId();
    for (BOOL more = snapshot && ::Thread32First(snapshot.Get(), &entry); more;
         more = ::Thread32Next(snapshot.Get(), &entry))
        if (entry.th32OwnerProcessID == self)
            threads.push_back(entry.th32ThreadID);
    std::sort(threads.begin(), threads.end());
    return threads;
}

// Whether the library left code behind that may still run: it stayed loaded after it
// was freed, or a thread that was not there before it loaded is still running after
// kProbeSettleMs. A thread that ends the probe in that time ends this library's test.
bool LeftSomethingRunning(const std::wstring& library, const std::vector<DWORD>& threadsBefore)
{
    std::vector<Misc::KernelHandle> threads;
    for (const DWORD id : ThreadsOfThisProcess())
        if (id != ::GetCurrentThreadId() &&
            !std::binary_search(threadsBefore.begin(), threadsBefore.end(), id))
            if (HANDLE thread = ::OpenThread(SYNCHRONIZE, FALSE, id))
                threads.emplace_back(thread);
    const DWORD deadline = ::GetTickCount() + Misc::kProbeSettleMs;
    for (const Misc::KernelHandle& thread : threads)
    {
        const DWORD now = ::GetTickCount();
        const DWORD remaining = static_cast<int>(deadline - now) > 0 ? deadline - now : 0;
        if (::WaitForSingleObject(thread.Get(), remaining) != WAIT_OBJECT_0)
            return true;
    }
    return ::GetModuleHandleW(library.c_str()) != nullptr;
}

// One load test: the library's line, then the answer line that tells OrvoDiag the
// line is complete and for which request it is.
bool AnswerRequest(const std::wstring& number, const std::wstring& resultPath, const std::wstring& library)
{
    const std::vector<DWORD> threadsBefore = ThreadsOfThisProcess();
    const std::wstring line = LibraryLoadDetailHere(library);
    const bool stays = LeftSomethingRunning(library, threadsBefore);
    Misc::TextLogWriter writer;
    if (!writer.Attach(OpenResult(resultPath)))
        return false;
    const std::wstring answer = line + L"\n" + Misc::kProbeAnswerMark + number +
                                (stays ? Misc::kProbeAnswerStays : Misc::kProbeAnswerClean);
    return writer.Write(answer);
}

// The library is freed before the answer (LibraryLoadDetailHere frees it), so that a
// crash or hang in its detach code is its own test's result and the next library
// finds the probe as clean as a new one.
DWORD ServeLoadTests(HANDLE answered)
{
    RequestReader requests(::GetStdHandle(STD_INPUT_HANDLE));
    ::SetEvent(answered); // ready: no library has run here yet
    std::wstring number, resultPath, library;
    while (requests.ReadLine(number) && requests.ReadLine(resultPath) && requests.ReadLine(library))
    {
        if (!AnswerRequest(number, resultPath, library))
            return Misc::kProbeNoResultFile;
        ::SetEvent(answered);
    }
    return Misc::kProbeCompleted;
}

DWORD RunDriverTest(const std::vector<std::wstring>& arguments)
{
    if (arguments.size() < 3)
        return Misc::kProbeBadCommandLine;
    Misc::TextLogWriter writer;
    if (!writer.Attach(OpenResult(arguments[0])))
        return Misc::kProbeNoResultFile;
    const std::vector<std::wstring> dependencies(arguments.begin() + 3, arguments.end());
    TestUsbBoxes(writer, arguments[1], arguments[2], dependencies);
    writer.Close();
    return Misc::kProbeCompleted;
}

DWORD Run(const std::wstring& mode, const std::vector<std::wstring>& arguments)
{
    if (mode == Misc::kProbeLoads && arguments.size() == 1)
    {
        const HANDLE answered = reinterpret_cast<HANDLE>(std::wcstoull(arguments[0].c_str(), nullptr, 10));
        return answered ? ServeLoadTests(answered) : Misc::kProbeBadCommandLine;
    }
    if (mode == Misc::kProbeDriver)
        return RunDriverTest(arguments);
    return Misc::kProbeBadCommandLine;
}

} // namespace

// Nobody would see a box of a hidden probe; it would only hold the test up. Defined
// here, it also keeps the window library, whose start costs every probe time, out of
// the probe.
int Misc::ShowMessageBox(HWND, const std::wstring&, const std::wstring&, UINT)
{
    return IDOK;
}

int wmain(int argc, wchar_t** argv)
{
    ::SetUnhandledExceptionFilter(EndWithExceptionCode);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const DWORD code = argc < 2 ? Misc::kProbeBadCommandLine
                                : Run(argv[1], std::vector<std::wstring>(argv + 2, argv + argc));
    // Ending here keeps the detach code of libraries that stayed loaded from running.
    ::TerminateProcess(::GetCurrentProcess(), code);
    return 0;
}

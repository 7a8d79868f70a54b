// OrvoProbe.exe: makes one load test or one driver test for OrvoDiag in a process of
// its own and of the library's machine type, and writes what it finds to the result
// file OrvoDiag names. How it ends tells OrvoDiag whether the test finished.

#include "checks/DriverStep.h"
#include "inventory/LibraryLoadTest.h"
#include "misc/MessageBox.h"
#include "misc/ProbeProtocol.h"
#include "report/TextLogWriter.h"

#include <windows.h>

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

bool RunTest(Misc::TextLogWriter& writer, const std::wstring& mode,
             const std::vector<std::wstring>& arguments)
{
    if (mode == Misc::kProbeLoad && arguments.size() == 1)
        return writer.Write(LibraryLoadDetailHere(arguments[0]));
    if (mode == Misc::kProbeDriver && arguments.size() >= 2)
    {
        const std::vector<std::wstring> dependencies(arguments.begin() + 2, arguments.end());
        TestUsbBoxes(writer, arguments[0], arguments[1], dependencies);
        return true;
    }
    return false;
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
    if (argc < 3)
        return static_cast<int>(Misc::kProbeBadCommandLine);
    Misc::TextLogWriter writer;
    if (!writer.Open(argv[2]))
        return static_cast<int>(Misc::kProbeNoResultFile);
    const std::vector<std::wstring> arguments(argv + 3, argv + argc);
    const bool done = RunTest(writer, argv[1], arguments);
    writer.Close();
    // Ending here keeps the detach code of libraries that stayed loaded from running.
    ::TerminateProcess(::GetCurrentProcess(), done ? Misc::kProbeCompleted : Misc::kProbeBadCommandLine);
    return 0;
}

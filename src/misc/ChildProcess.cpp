#include "misc/ChildProcess.h"

#include "misc/Handles.h"

namespace Misc
{

namespace
{

bool IsDialogWindow(HWND window)
{
    constexpr ULONG_PTR kDialogClassAtom = 32770; // the system's dialog class, "#32770"
    return ::GetClassLongPtrW(window, GCW_ATOM) == kDialogClassAtom;
}

// A job whose last handle ends every process in it: a probe cannot outlive the test
// that started it, nor this program.
KernelHandle CreateKillOnCloseJob()
{
    KernelHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job)
        return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job.Reset();
    return job;
}

// Waits for the process, draining the message queue whenever messages arrive.
bool WaitPumping(HANDLE process, DWORD limitMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + limitMs;
    for (;;)
    {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woken =
            ::MsgWaitForMultipleObjectsEx(1, &process, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken != WAIT_OBJECT_0 + 1)
            return ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        PumpWaitingMessages();
    }
}

} // namespace

std::wstring QuoteArgument(const std::wstring& argument)
{
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument)
    {
        if (c == L'\\')
        {
            ++backslashes;
            continue;
        }
        // Backslashes are doubled only where a quote follows them.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// Keyboard input for a dialog goes through the dialog manager, as in its own loop, so
// that the About box opened during a scan answers Enter and Escape. A quit request
// taken from the queue here is not lost: it is posted again once the queue is empty,
// for the modal loop to see after the running sequence has returned.
void PumpWaitingMessages()
{
    bool quit = false;
    WPARAM exitCode = 0;
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            quit = true;
            exitCode = msg.wParam;
            continue;
        }
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogWindow(root) && ::IsDialogMessageW(root, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (quit)
        ::PostQuitMessage(static_cast<int>(exitCode));
}

// The child starts suspended and joins the job before it runs a single instruction.
// A system that refuses the job still gets the time limit.
ChildRun RunChild(const std::wstring& program, const std::vector<std::wstring>& arguments, DWORD limitMs)
{
    ChildRun run;
    std::wstring commandLine = QuoteArgument(program);
    for (const std::wstring& argument : arguments)
        commandLine += L" " + QuoteArgument(argument);

    KernelHandle job = CreateKillOnCloseJob();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
    {
        run.startError = ::GetLastError();
        return run;
    }
    KernelHandle process(info.hProcess);
    KernelHandle thread(info.hThread);
    run.started = true;
    if (job && !::AssignProcessToJobObject(job.Get(), process.Get()))
        job.Reset();
    ::ResumeThread(thread.Get());

    run.timedOut = !WaitPumping(process.Get(), limitMs);
    if (job)
        ::TerminateJobObject(job.Get(), ERROR_TIMEOUT); // also whatever the child started
    if (run.timedOut)
    {
        ::TerminateProcess(process.Get(), ERROR_TIMEOUT);
        // Its files are closed only once it has really gone.
        ::WaitForSingleObject(process.Get(), 5000);
    }
    ::GetExitCodeProcess(process.Get(), &run.exitCode);
    return run;
}

} // namespace Misc

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

// Waits for any of `objects`, draining the message queue whenever messages arrive;
// the index of the object that was set, or `count` at the limit.
DWORD WaitPumping(const HANDLE* objects, DWORD count, DWORD limitMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + limitMs;
    for (;;)
    {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woken =
            ::MsgWaitForMultipleObjectsEx(count, objects, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken < WAIT_OBJECT_0 + count)
            return woken - WAIT_OBJECT_0;
        if (woken != WAIT_OBJECT_0 + count)
        {
            const DWORD last = ::WaitForMultipleObjects(count, objects, FALSE, 0);
            return last < WAIT_OBJECT_0 + count ? last - WAIT_OBJECT_0 : count;
        }
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
bool ChildProcess::Start(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         HANDLE standardInput)
{
    End();
    std::wstring commandLine = QuoteArgument(program);
    for (const std::wstring& argument : arguments)
        commandLine += L" " + QuoteArgument(argument);

    m_job = CreateKillOnCloseJob();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (standardInput)
    {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = standardInput;
    }
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, standardInput != nullptr,
                          CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info))
    {
        m_startError = ::GetLastError();
        m_job.Reset();
        return false;
    }
    m_process.Reset(info.hProcess);
    KernelHandle thread(info.hThread);
    if (m_job && !::AssignProcessToJobObject(m_job.Get(), m_process.Get()))
        m_job.Reset();
    ::ResumeThread(thread.Get());
    return true;
}

ChildProcess::Wake ChildProcess::Wait(HANDLE signal, DWORD limitMs)
{
    const HANDLE objects[] = {m_process.Get(), signal};
    switch (WaitPumping(objects, signal ? 2 : 1, limitMs))
    {
    case 0:
        return Wake::Ended;
    case 1:
        return signal ? Wake::Signalled : Wake::TimedOut;
    default:
        return Wake::TimedOut;
    }
}

void ChildProcess::End()
{
    if (m_job)
        ::TerminateJobObject(m_job.Get(), ERROR_TIMEOUT); // also whatever the child started
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) != WAIT_OBJECT_0)
    {
        ::TerminateProcess(m_process.Get(), ERROR_TIMEOUT);
        ::WaitForSingleObject(m_process.Get(), 5000);
    }
    m_job.Reset();
}

DWORD ChildProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_process)
        ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

ChildRun RunChild(const std::wstring& program, const std::vector<std::wstring>& arguments, DWORD limitMs)
{
    ChildRun run;
    ChildProcess child;
    run.started = child.Start(program, arguments);
    if (!run.started)
    {
        run.startError = child.StartError();
        return run;
    }
    run.timedOut = child.Wait(nullptr, limitMs) == ChildProcess::Wake::TimedOut;
    child.End();
    run.exitCode = child.ExitCode();
    return run;
}

} // namespace Misc

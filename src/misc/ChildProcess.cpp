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

// Takes every waiting message of this thread off the queue and dispatches it; a quit
// request is kept aside: true, with its exit code, when one was taken.
bool DispatchWaitingMessages(WPARAM& quitCode)
{
    bool quit = false;
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (msg.message == WM_QUIT)
        {
            quit = true;
            quitCode = msg.wParam;
            continue;
        }
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogWindow(root) && ::IsDialogMessageW(root, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return quit;
}

// A quit request that stays in the queue counts as input for ever: posted again inside
// the wait, it would wake every wait at once and no limit would be reached.
class HeldQuitRequest
{
  public:
    ~HeldQuitRequest()
    {
        if (m_held)
            ::PostQuitMessage(static_cast<int>(m_code));
    }
    void Dispatch()
    {
        WPARAM code = 0;
        if (DispatchWaitingMessages(code))
        {
            m_held = true;
            m_code = code;
        }
    }

  private:
    bool m_held = false;
    WPARAM m_code = 0;
};

// The attribute list that names the handles a child inherits.
class InheritedHandles
{
  public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : m_handles(std::move(handles))
    {
        if (m_handles.empty())
            return;
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_buffer.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
        if (size == 0 || !::InitializeProcThreadAttributeList(list, 1, 0, &size))
            return;
        m_list = list;
        if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                         m_handles.size() * sizeof(HANDLE), nullptr, nullptr))
            Clear();
    }
    ~InheritedHandles() { Clear(); }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    bool Any() const { return !m_handles.empty(); }
    // False when handles are to be inherited but the list could not be made.
    bool Ready() const { return !Any() || m_list; }
    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return m_list; }

  private:
    void Clear()
    {
        if (m_list)
            ::DeleteProcThreadAttributeList(m_list);
        m_list = nullptr;
    }

    std::vector<HANDLE> m_handles;
    std::vector<unsigned char> m_buffer;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

// The longest End() waits for an ended process to be gone.
constexpr DWORD kEndWaitMs = 5000;

} // namespace

DWORD WaitPumping(const HANDLE* objects, DWORD count, DWORD limitMs)
{
    HeldQuitRequest quit;
    const ULONGLONG deadline = ::GetTickCount64() + limitMs;
    for (;;)
    {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woken =
            ::MsgWaitForMultipleObjectsEx(count, objects, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken < WAIT_OBJECT_0 + count)
            return woken - WAIT_OBJECT_0;
        if (woken != WAIT_OBJECT_0 + count || remaining == 0)
        {
            const DWORD last = count ? ::WaitForMultipleObjects(count, objects, FALSE, 0) : WAIT_TIMEOUT;
            return last < WAIT_OBJECT_0 + count ? last - WAIT_OBJECT_0 : count;
        }
        quit.Dispatch();
    }
}

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
    WPARAM exitCode = 0;
    if (DispatchWaitingMessages(exitCode))
        ::PostQuitMessage(static_cast<int>(exitCode));
}

// The child starts suspended and joins the job before it runs a single instruction.
// A system that refuses the job still gets the time limit. A child that would inherit
// more than it was given is not started.
bool ChildProcess::Start(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         HANDLE standardInput, const std::vector<HANDLE>& alsoInherited)
{
    End();
    m_process.Reset();
    m_ended = false;
    std::wstring commandLine = QuoteArgument(program);
    for (const std::wstring& argument : arguments)
        commandLine += L" " + QuoteArgument(argument);

    std::vector<HANDLE> handles = alsoInherited;
    if (standardInput)
        handles.push_back(standardInput);
    const InheritedHandles inherited(handles);
    if (!inherited.Ready())
    {
        m_startError = ::GetLastError();
        return false;
    }
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = standardInput;
    startup.lpAttributeList = inherited.List();
    const DWORD flags =
        CREATE_SUSPENDED | CREATE_NO_WINDOW | (inherited.Any() ? EXTENDED_STARTUPINFO_PRESENT : 0);
    m_job = CreateKillOnCloseJob();
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, inherited.Any(), flags,
                          nullptr, nullptr, &startup.StartupInfo, &info))
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
    m_job.Reset();
    if (!m_process || m_ended)
        return;
    m_ended = true;
    if (::WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0)
        return;
    ::TerminateProcess(m_process.Get(), ERROR_TIMEOUT);
    const HANDLE process = m_process.Get();
    WaitPumping(&process, 1, kEndWaitMs);
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

#pragma once
// Helper programs run with a time limit: each is started in a job that ends it, and
// whatever it starts, when it is ended or when this program ends, even by being
// killed. The caller's window stays answering while it waits.

#include "misc/Handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Misc
{

// One started helper process and its job.
class ChildProcess
{
  public:
    enum class Wake
    {
        Signalled, // the object waited for was set
        Ended,     // the process ended
        TimedOut,  // neither within the limit
    };

    ChildProcess() = default;
    ~ChildProcess() { End(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `arguments` (quoted here). The child inherits exactly
    // `standardInput` (its standard input; may be null) and `alsoInherited`, which must
    // be inheritable, and no other handle of this process; its standard output and error
    // are none. False with StartError() when the process could not be created.
    bool Start(const std::wstring& program, const std::vector<std::wstring>& arguments,
               HANDLE standardInput = nullptr, const std::vector<HANDLE>& alsoInherited = {});
    DWORD StartError() const { return m_startError; }
    bool IsStarted() const { return m_process.IsValid(); }

    // Waits at most `limitMs` for the process to end or `signal` (may be null) to be set.
    Wake Wait(HANDLE signal, DWORD limitMs);
    // Ends the process and everything it started, and waits once, a moment at most and
    // with the message queue drained, for it to be gone: its files are closed only then.
    void End();
    // The code it ended with; STILL_ACTIVE while it runs.
    DWORD ExitCode() const;

  private:
    KernelHandle m_job;
    KernelHandle m_process;
    DWORD m_startError = 0;
    bool m_ended = false; // End() has waited for this process
};

struct ChildRun
{
    bool started = false;  // the process was created
    DWORD startError = 0;  // why it was not
    bool timedOut = false; // still running at the limit, and ended then
    DWORD exitCode = 0;    // the code it ended with
};

// Runs `program` with `arguments` (quoted here) and waits at most `limitMs`.
ChildRun RunChild(const std::wstring& program, const std::vector<std::wstring>& arguments, DWORD limitMs);

// One argument as the C runtime's parser reads it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

// Dispatches every waiting message of this thread (dialog keys through the dialog
// manager); a quit request is posted again for the modal loop to see.
void PumpWaitingMessages();

// Waits at most `limitMs` for any of `objects` (`count` may be 0), dispatching messages
// as they arrive; the index of the object that was set, or `count` at the limit. A quit
// request met on the way ends no wait early and is posted again when the wait is over.
DWORD WaitPumping(const HANDLE* objects, DWORD count, DWORD limitMs);

} // namespace Misc

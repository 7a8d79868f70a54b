#pragma once
// Runs the tests of foreign libraries (their load, or a driver generation) in probe
// processes of the library's own machine type, so that a library that crashes, hangs
// or ends its process during the test never takes the scan down with it.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

struct ProbeResult
{
    enum class Outcome
    {
        NotRun,      // no probe could be started: the caller tests in its own process
        Completed,   // the probe finished the test
        Undelivered, // the probe started but could not write its result
        Crashed,     // an exception ended the probe; `code` is the exception code
        Ended,       // the library ended the probe; `code` is its exit code
        TimedOut,    // the probe did not finish within the limit and was ended
    };
    Outcome outcome = Outcome::NotRun;
    DWORD code = 0;
    std::wstring text; // everything the probe wrote, also when it did not finish
};

class LoadServer;

// While a session lives, the probes it unpacked, and the probe serving load tests, are
// used again by every test in it; they go when it ends. Without one, each test unpacks
// its probe and removes it. A scan step that tests many libraries holds one.
class ProbeSession
{
  public:
    ProbeSession();
    ~ProbeSession();
    ProbeSession(const ProbeSession&) = delete;
    ProbeSession& operator=(const ProbeSession&) = delete;

    // The unpacked probe of `machine`, unpacked now if needed; empty when it cannot be.
    std::wstring Program(WORD machine);
    // The probe serving load tests for libraries of `machine`; null when that probe
    // cannot be unpacked.
    LoadServer* Loads(WORD machine);
    // A new result file name in the session's folder.
    std::wstring ResultPath();
    void ReleaseResult(const std::wstring& path);

    static ProbeSession* Current();

  private:
    struct Staging;
    std::unique_ptr<Staging> m_staging;
    ProbeSession* m_outer;
};

// One load test of the library at `libraryPath` in the session's probe serving load
// tests, a new one after a crash or hang.
ProbeResult RunLoadProbe(const std::wstring& libraryPath, DWORD limitMs);

// Runs a probe of its own in `mode` with `arguments` for the image at `imagePath`.
ProbeResult RunProbe(const std::wstring& imagePath, const wchar_t* mode,
                     const std::vector<std::wstring>& arguments, DWORD limitMs);

// The machine types of the probes to try, in order, for an image of `imageMachine`:
// its own where this Windows runs it (native architecture `nativeArchitecture`, a
// PROCESSOR_ARCHITECTURE_* value), then this program's. An image of any other or no
// machine type is tested by this program's own probe, where it fails to load exactly
// as it would here.
std::vector<WORD> ProbeMachines(WORD imageMachine, WORD ownMachine, WORD nativeArchitecture);

// How a probe that was started ended.
ProbeResult::Outcome ProbeOutcome(bool timedOut, DWORD exitCode);

// Records how a started probe ended: the outcome, and the exception or exit code, or
// ERROR_TIMEOUT for a probe ended at its limit.
void SetProbeEnd(ProbeResult& result, bool timedOut, DWORD exitCode);

// The machine type of this program's own code.
WORD OwnMachine();

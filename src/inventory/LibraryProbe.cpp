#include "inventory/LibraryLoadTest.h"
#include "inventory/ProbeRunner.h"
#include "report/FileSystem.h"

#include <new>

// A crash gives its exception code, with the system's text where it has one; a hang
// gives the code of a timeout with its text. A library that ended the probe itself
// gives that exit code alone: it is the library's number, not a system error.
std::wstring ProbedLoadDetail(const ProbeResult& result, const std::wstring& fileName)
{
    switch (result.outcome)
    {
    case ProbeResult::Outcome::Completed:
        return result.text;
    case ProbeResult::Outcome::Crashed:
    case ProbeResult::Outcome::TimedOut:
        return LoadFailedDetail(result.code, fileName);
    case ProbeResult::Outcome::Ended:
        return LoadFailedLine(result.code, nullptr, fileName);
    case ProbeResult::Outcome::Undelivered:
        return kLoadTestUndelivered;
    case ProbeResult::Outcome::NotRun:
        break;
    }
    return {};
}

// Where no probe of this program's own machine type can start at all (every start
// tried three times), the library is loaded here, as the load test always was: its
// line then still says whether it loads. A library of another machine type reaches
// that only through this program's own probe, and fails to load here before any of
// its code runs. Running out of memory ends only this library's test.
std::wstring LibraryLoadDetail(const std::wstring& path)
{
    try
    {
        const ProbeResult result = RunLoadProbe(path, kLoadTestLimitMs);
        if (result.outcome == ProbeResult::Outcome::NotRun)
            return LibraryLoadDetailHere(path);
        return ProbedLoadDetail(result, Misc::ComposePath(path, Misc::PathFileName));
    }
    catch (const std::bad_alloc&)
    {
        return kLoadTestOutOfMemory;
    }
}

#include "checks/DriverProbe.h"

#include "checks/DriverReport.h"
#include "checks/DriverStep.h"
#include "inventory/ProbeRunner.h"
#include "misc/ProbeProtocol.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/TextLogWriter.h"

std::wstring DriverProbeEndLine(const ProbeResult& result, DWORD limitMs)
{
    switch (result.outcome)
    {
    case ProbeResult::Outcome::Crashed:
        return Misc::Format(L"\t[ the driver test ended with exception %08X ]\n",
                            static_cast<unsigned>(result.code));
    case ProbeResult::Outcome::TimedOut:
        return Misc::Format(L"\t[ the driver did not answer within %u s; the test was stopped ]\n",
                            static_cast<unsigned>((limitMs + 999) / 1000));
    case ProbeResult::Outcome::Ended:
        return Misc::Format(L"\t[ the driver ended the test with exit code %08X ]\n",
                            static_cast<unsigned>(result.code));
    case ProbeResult::Outcome::Undelivered:
        return L"\t[ the test process could not write its report; the test did not run ]\n";
    case ProbeResult::Outcome::Completed:
    case ProbeResult::Outcome::NotRun:
        break;
    }
    return {};
}

void ProbeUsbBoxes(Misc::TextLogWriter& writer, const std::wstring& folder, const std::wstring& library,
                   const std::vector<std::wstring>& dependencies, DWORD limitMs)
{
    std::vector<std::wstring> arguments = {folder, library};
    arguments.insert(arguments.end(), dependencies.begin(), dependencies.end());
    const ProbeResult result =
        RunProbe(Misc::JoinPath(folder, library), Misc::kProbeDriver, arguments, limitMs);
    if (result.outcome == ProbeResult::Outcome::NotRun)
    {
        TestUsbBoxes(writer, folder, library, dependencies);
        return;
    }
    std::wstring text = result.text;
    if (result.outcome == ProbeResult::Outcome::Completed)
    {
        writer.Write(text);
        return;
    }
    // A line the probe was writing when it stopped still ends where it stopped.
    if (!text.empty() && text.back() != L'\n')
        text += L'\n';
    writer.Write(text + DriverProbeEndLine(result, limitMs) + kHyphenLine);
}

#pragma once
// The test of one driver generation in a probe process of the driver's machine type:
// its report lines come back into the report, and a driver that crashes or hangs
// costs only its own test.

#include <windows.h>

#include <string>
#include <vector>

namespace Misc
{
class TextLogWriter;
}
struct ProbeResult;

// The box search takes 2000 ms; the rest is the driver's own time to start and stop.
constexpr DWORD kDriverTestLimitMs = 10000;

// Writes what the probe wrote; when the probe did not finish, one line that says why
// and the closing hyphen line follow. Where no probe can start, the test runs here.
void ProbeUsbBoxes(Misc::TextLogWriter& writer, const std::wstring& folder, const std::wstring& library,
                   const std::vector<std::wstring>& dependencies, DWORD limitMs = kDriverTestLimitMs);

// The line that ends the report of an unfinished probe (with its line feed), or
// empty for a finished one.
std::wstring DriverProbeEndLine(const ProbeResult& result, DWORD limitMs);

#pragma once
// What the program and its probe program agree on: the probe's command line
//   OrvoProbe.exe load   RESULT LIBRARY
//   OrvoProbe.exe driver RESULT FOLDER LIBRARY [DEPENDENCY ...]
// and how it ends. RESULT is a UTF-16 text file the probe creates first and writes
// as it goes: the load test's detail line, or the driver test's report lines.

#include <windows.h>

namespace Misc
{

constexpr const wchar_t* kProbeLoad = L"load";
constexpr const wchar_t* kProbeDriver = L"driver";

// The exit code of a probe that finished its test; any other code is a failure: an
// exception code (the probe ends itself with it), or whatever a library ended it with.
constexpr DWORD kProbeCompleted = 0x4F4B5052;
constexpr DWORD kProbeBadCommandLine = 0x4F4B5001;
constexpr DWORD kProbeNoResultFile = 0x4F4B5002;

} // namespace Misc

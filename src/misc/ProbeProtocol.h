#pragma once
// What the program and its probe program agree on: the probe's command line
//   OrvoProbe.exe loads  ANSWERED
//   OrvoProbe.exe driver RESULT FOLDER LIBRARY [DEPENDENCY ...]
// and how it ends.
//
// "loads" serves load tests one after another for as long as its standard input
// stays open: each request is two lines of UTF-16 text, each ended by L'\n', the
// RESULT file and the LIBRARY to load. It sets the inherited event ANSWERED (its
// handle value in decimal) once the library's line is in RESULT. A probe serves many
// libraries because under Wine every process start costs a noticeable fraction of a
// second; a library that crashes or hangs still ends only its own probe.
//
// "driver" makes one driver test and ends. RESULT is a UTF-16 text file the probe
// creates first and writes as it goes, so that the lines before a crash survive.

#include <windows.h>

namespace Misc
{

constexpr const wchar_t* kProbeLoads = L"loads";
constexpr const wchar_t* kProbeDriver = L"driver";
constexpr wchar_t kProbeRequestEnd = L'\n';

// The exit code of a probe that finished its test(s); any other code is a failure: an
// exception code (the probe ends itself with it), or whatever a library ended it with.
constexpr DWORD kProbeCompleted = 0x4F4B5052;
constexpr DWORD kProbeBadCommandLine = 0x4F4B5001;
constexpr DWORD kProbeNoResultFile = 0x4F4B5002;

} // namespace Misc

#pragma once
// What the program and its probe program agree on: the probe's command line
//   OrvoProbe.exe loads  ANSWERED
//   OrvoProbe.exe driver RESULT FOLDER LIBRARY [DEPENDENCY ...]
// and how it ends.
//
// "loads" sets the inherited event ANSWERED (its handle value in decimal) once it runs,
// then serves load tests one after another for as long as its standard input
// stays open: each request is three lines of UTF-16 text, each ended by L'\n': the
// request's NUMBER, the RESULT file and the LIBRARY to load. The probe writes the
// library's line to RESULT, followed by an answer line (kProbeAnswerMark, NUMBER and
// whether the library left anything running), and then sets ANSWERED. The event only says "look": a library
// can set it too, so only a RESULT that ends with the request's own answer line counts. A probe serves many
// libraries because under Wine every process start costs a noticeable fraction of a second; a library that
// crashes or hangs still ends only its own probe, and one that leaves code running retires its probe after
// its answer.
//
// "driver" makes one driver test and ends. RESULT is a UTF-16 text file the probe
// creates first and writes as it goes, so that the lines before a crash survive; a
// probe that ended without it and without an exit code of its own never ran.

#include <windows.h>

#include <string>

namespace Misc
{

constexpr const wchar_t* kProbeLoads = L"loads";
constexpr const wchar_t* kProbeDriver = L"driver";
constexpr wchar_t kProbeRequestEnd = L'\n';

// The answer line: kProbeAnswerMark, the request's number, then kProbeAnswerClean or
// kProbeAnswerStays (the library left a thread running or stayed loaded).
constexpr const wchar_t* kProbeAnswerMark = L"\x01OrvoProbe answer ";
constexpr const wchar_t* kProbeAnswerClean = L" clean";
constexpr const wchar_t* kProbeAnswerStays = L" stays";

// How long the probe waits, after a library was freed, for the threads it started to
// end before it answers. A thread that ends the probe in that time is the library's
// own test's result; OrvoDiag's wait for an answer is longer by as much.
constexpr DWORD kProbeSettleMs = 1000;

// The longest a new probe may take to say it runs.
constexpr DWORD kProbeStartLimitMs = 10000;

// The exit code of a probe that finished its test(s); any other code is a failure: an
// exception code (the probe ends itself with it), or whatever a library ended it with.
constexpr DWORD kProbeCompleted = 0x4F4B5052;
constexpr DWORD kProbeBadCommandLine = 0x4F4B5001;
constexpr DWORD kProbeNoResultFile = 0x4F4B5002;

// A long absolute `path` in the form that opens files of any length (with the
// extended-length prefix); other paths unchanged.
inline std::wstring ProbeFilePath(const std::wstring& path)
{
    if (path.size() < MAX_PATH)
        return path;
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\')
        return L"\\\\?\\" + path;
    if (path.size() > 2 && path.compare(0, 2, L"\\\\") == 0 && path[2] != L'?' && path[2] != L'.')
        return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

} // namespace Misc

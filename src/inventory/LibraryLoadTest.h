#pragma once
// The load test of a library: the one detail line that says whether the library at
// a path loads, with its dependencies also looked for in its own folder.

#include <string>

// "Loaded correctly." or "Load failed: %08X %s" (the system's text for the error,
// every "%1" in it replaced by the file name; without a text "Load failed: %08X").
// The load runs in a probe process of the library's machine type; a library that
// crashes there gives its exception code, one that hangs ERROR_TIMEOUT, one that ends
// the probe its exit code.
std::wstring LibraryLoadDetail(const std::wstring& path);

// The same test in this process, as the probe makes it.
std::wstring LibraryLoadDetailHere(const std::wstring& path);

// The time a probe has for one load test.
constexpr unsigned long kLoadTestLimitMs = 5000;

// The lines of a load test that could not be made; neither says anything about the library.
constexpr const wchar_t* kLoadTestUndelivered =
    L"Load test not completed: the test process could not write its result.";
constexpr const wchar_t* kLoadTestOutOfMemory = L"Load test not completed: out of memory.";

// The failure line for `code` with the system's text for it, if it has one.
std::wstring LoadFailedDetail(unsigned long code, const std::wstring& fileName);

// The detail line for a load test that ran in a probe.
struct ProbeResult;
std::wstring ProbedLoadDetail(const ProbeResult& result, const std::wstring& fileName);

// The failure line from its parts; `systemText` is null when the system has no text.
std::wstring LoadFailedLine(unsigned long code, const wchar_t* systemText, const std::wstring& fileName);

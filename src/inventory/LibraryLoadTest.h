#pragma once
// The load test of a library: the one detail line that says whether the library at
// a path loads, with its dependencies also looked for in its own folder.

#include <string>

// "Loaded correctly." or "Load failed: %08X %s" (the system's text for the error,
// every "%1" in it replaced by the file name; without a text "Load failed: %08X").
std::wstring LibraryLoadDetail(const std::wstring& path);

// The failure line from its parts; `systemText` is null when the system has no text.
std::wstring LoadFailedLine(unsigned long code, const wchar_t* systemText, const std::wstring& fileName);

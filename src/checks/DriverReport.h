#pragma once
// The fixed lines of the driver report.

inline constexpr wchar_t kEqualsLine[] = L"========================================\n";
inline constexpr wchar_t kHyphenLine[] = L"----------------------------------------\n";
inline constexpr wchar_t kMissingFileLine[] = L"\t[ file does not exist ]\n";
inline constexpr wchar_t kOutOfMemoryLine[] =
    L"\t[ the driver test ran out of memory; the remaining tests were not run ]\n";

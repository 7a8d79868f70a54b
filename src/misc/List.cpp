#include "misc/List.h"

#include <windows.h>

namespace Misc
{

// Keys compare as the installed files have always been ordered: ASCII letters fold,
// the rest of Latin-1 (accented letters among them) stays as it is and sorts by its
// code, and only characters above it fold through the system's lower-case table.
wchar_t FoldKeyChar(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c - L'A' + L'a');
    if (c < 0x100)
        return c;
    // The single-character form of CharLowerW takes the character in the low word.
    return static_cast<wchar_t>(
        reinterpret_cast<ULONG_PTR>(::CharLowerW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

int CompareKeys(const std::wstring& first, const std::wstring& second)
{
    const std::size_t n = first.size();
    for (std::size_t i = 0;; ++i)
    {
        const int a = i < n ? FoldKeyChar(first[i]) : 0;
        const int b = i < second.size() ? FoldKeyChar(second[i]) : 0;
        if (a != b || i >= n)
            return a - b;
    }
}

} // namespace Misc

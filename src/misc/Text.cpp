#include "misc/Text.h"

#include <windows.h>

#include <ctime>
#include <cwchar>
#include <vector>

namespace Misc
{

std::wstring FormatV(const wchar_t* format, va_list args)
{
    if (!format)
        return {};
    std::vector<wchar_t> buffer(256);
    for (;;)
    {
        va_list copy;
        va_copy(copy, args);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size())
            return std::wstring(buffer.data(), static_cast<std::size_t>(written));
        if (buffer.size() >= (1u << 24))
            return {}; // a format that cannot be expanded: nothing rather than garbage
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    return text;
}

std::wstring FormatLimited(std::size_t maxChars, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    if (text.size() > maxChars)
        text.resize(maxChars);
    return text;
}

std::wstring LocalTimeText(const wchar_t* format)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_s(&local, &now) != 0)
        return {};
    wchar_t buffer[256];
    const std::size_t n = std::wcsftime(buffer, 256, format, &local);
    return std::wstring(buffer, n);
}

std::string ToCodePage(const std::wstring& text, unsigned codePage)
{
    if (text.empty())
        return {};
    const int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

bool EqualsAsciiNoCase(const std::wstring& a, const std::wstring& b)
{
    const auto fold = [](wchar_t c)
    { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

} // namespace Misc

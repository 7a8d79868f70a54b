#include "report/TextLogWriter.h"

#include "misc/MessageBox.h"
#include "misc/Text.h"

#include <cstdarg>
#include <cwchar>

namespace Misc
{

namespace
{
// The opening warning is cut where its fixed buffer ended, so that a very long path
// still gives a box of reasonable size.
constexpr std::size_t kWarningChars = 289;
// One formatted line fits the 1024-character buffer with its terminator.
constexpr std::size_t kPrintfChars = 1023;
} // namespace

bool TextLogWriter::Open(const std::wstring& path)
{
    if (m_handle)
        return false;
    m_handle.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!m_handle)
    {
        std::wstring text = Misc::Format(L"Error while opening\n\t%ls", path.c_str());
        if (text.size() > kWarningChars)
            text.resize(kWarningChars);
        Misc::ShowMessageBox(nullptr, text, L"WARNING", MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
        return false;
    }
    const bool created = ::GetLastError() != ERROR_ALREADY_EXISTS;
    // The path field holds 259 characters and its terminator. Whatever fails from here
    // on closes the file again: left open, a later Write would land at whatever position
    // the failed step left behind, possibly over the start of an existing file.
    if (path.size() >= kPathChars || !MoveToEndWithMark())
    {
        Close();
        if (created)
            ::DeleteFileW(path.c_str());
        return false;
    }
    std::wmemcpy(m_path, path.c_str(), path.size() + 1);
    return true;
}

bool TextLogWriter::Attach(Misc::FileHandle file)
{
    if (m_handle || !file)
        return false;
    m_handle = std::move(file);
    m_path[0] = L'\0';
    if (!MoveToEndWithMark())
    {
        Close();
        return false;
    }
    return true;
}

bool TextLogWriter::MoveToEndWithMark()
{
    LARGE_INTEGER end{};
    const LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(m_handle.Get(), zero, &end, FILE_END))
        return false;
    if (end.QuadPart == 0)
    {
        static const unsigned char kByteOrderMark[2] = {0xFF, 0xFE};
        if (!WriteBytes(kByteOrderMark, sizeof kByteOrderMark))
            return false;
    }
    return true;
}

bool TextLogWriter::Write(const wchar_t* text)
{
    if (!m_handle || !text)
        return false;
    const std::size_t units = std::wcslen(text);
    return WriteBytes(text, static_cast<DWORD>(units * sizeof(wchar_t)));
}

bool TextLogWriter::Printf(const wchar_t* format, ...)
{
    if (!format)
        return false;
    va_list args;
    va_start(args, format);
    std::wstring text = Misc::FormatV(format, args);
    va_end(args);
    if (text.size() > kPrintfChars)
        text.resize(kPrintfChars);
    return Write(text.c_str());
}

void TextLogWriter::Close()
{
    m_path[0] = L'\0';
    m_handle.Reset();
}

bool TextLogWriter::WriteBytes(const void* data, DWORD size)
{
    DWORD written = 0;
    if (size > 0 && (!::WriteFile(m_handle.Get(), data, size, &written, nullptr) || written != size))
        return false;
    ::FlushFileBuffers(m_handle.Get());
    return true;
}

} // namespace Misc

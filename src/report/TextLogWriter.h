#pragma once
// An append-only UTF-16 text file, flushed after every write.

#include "misc/Handles.h"

#include <windows.h>

#include <string>

namespace Misc
{

class TextLogWriter
{
  public:
    static constexpr std::size_t kPathChars = 260;

    TextLogWriter() = default;
    TextLogWriter(const TextLogWriter&) = delete;
    TextLogWriter& operator=(const TextLogWriter&) = delete;
    ~TextLogWriter() { Close(); }

    bool Open(const std::wstring& path);
    // Takes a file opened elsewhere (for a path longer than Open accepts) and writes
    // as Open would; Path() stays empty. False, with the file closed, when it cannot.
    bool Attach(Misc::FileHandle file);
    bool Write(const wchar_t* text);
    bool Write(const std::wstring& text) { return Write(text.c_str()); }
    bool Printf(const wchar_t* format, ...);
    void Close();

    const wchar_t* Path() const { return m_path; }
    bool IsOpen() const { return m_handle.IsValid(); }

  private:
    bool MoveToEndWithMark();
    bool WriteBytes(const void* data, DWORD size);

    wchar_t m_path[kPathChars] = {};
    Misc::FileHandle m_handle;
};

} // namespace Misc

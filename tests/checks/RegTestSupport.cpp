#include "RegTestSupport.h"

#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>

namespace ChecksTest
{

TestKey::TestKey(HKEY hive, std::wstring path, REGSAM view)
    : m_hive(hive), m_path(std::move(path)), m_view(view)
{
    Delete();
}

TestKey::~TestKey()
{
    Delete();
}

void TestKey::Set(const std::wstring& subKey, const std::wstring& name, DWORD type, const void* data,
                  DWORD size)
{
    const std::wstring path = subKey.empty() ? m_path : m_path + L"\\" + subKey;
    Misc::RegKey key;
    ASSERT_EQ(::RegCreateKeyExW(m_hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr,
                                key.Put(), nullptr),
              ERROR_SUCCESS)
        << OrvoTest::Narrow(path);
    EXPECT_EQ(::RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS)
        << OrvoTest::Narrow(name);
}

void TestKey::SetText(const std::wstring& subKey, const std::wstring& name, const std::wstring& text,
                      DWORD type)
{
    Set(subKey, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void TestKey::SetDword(const std::wstring& subKey, const std::wstring& name, DWORD value)
{
    Set(subKey, name, REG_DWORD, &value, sizeof(value));
}

void TestKey::CreateSubKey(const std::wstring& subKey)
{
    Misc::RegKey key;
    const std::wstring path = subKey.empty() ? m_path : m_path + L"\\" + subKey;
    ASSERT_EQ(::RegCreateKeyExW(m_hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr,
                                key.Put(), nullptr),
              ERROR_SUCCESS);
}

bool TestKey::Delete()
{
    const std::size_t slash = m_path.rfind(L'\\');
    const std::wstring parentPath = m_path.substr(0, slash);
    const std::wstring name = m_path.substr(slash + 1);
    Misc::RegKey parent;
    if (::RegOpenKeyExW(m_hive, parentPath.c_str(), 0, KEY_ALL_ACCESS | m_view, parent.Put()) !=
        ERROR_SUCCESS)
        return true;
    const LONG result = ::RegDeleteTreeW(parent.Get(), name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool TestKey::Exists() const
{
    Misc::RegKey key;
    return ::RegOpenKeyExW(m_hive, m_path.c_str(), 0, KEY_READ | m_view, key.Put()) == ERROR_SUCCESS;
}

int RunProgram(const std::wstring& commandLine)
{
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
        return -1;
    const Misc::KernelHandle thread(process.hThread);
    const Misc::KernelHandle program(process.hProcess);
    DWORD code = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(program.Get(), 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(program.Get(), &code);
    return static_cast<int>(code);
}

bool WriteUtf16Copy(const std::wstring& utf8Path, const std::wstring& utf16Path)
{
    std::string bytes = OrvoTest::ReadBytes(utf8Path);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") != 0)
        return false;
    const std::wstring text = OrvoTest::Widen(bytes.substr(3));
    std::string utf16 = "\xFF\xFE";
    utf16.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return OrvoTest::WriteBytes(utf16Path, utf16);
}

StdoutCapture::StdoutCapture(const std::wstring& file) : m_file(file)
{
    std::fflush(stdout);
    m_saved = ::_dup(1);
    const int fd = ::_wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
    if (fd >= 0)
    {
        ::_dup2(fd, 1);
        ::_close(fd);
    }
}

StdoutCapture::~StdoutCapture()
{
    Finish();
}

std::string StdoutCapture::Finish()
{
    if (m_saved < 0)
        return OrvoTest::ReadBytes(m_file);
    std::fflush(stdout);
    ::_dup2(m_saved, 1);
    ::_close(m_saved);
    m_saved = -1;
    return OrvoTest::ReadBytes(m_file);
}

namespace
{

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// "xx,xx,...,xx", or ending in "xx,\" when the list goes on; empty is a whole list.
bool IsByteList(const std::string& text, bool& continues)
{
    continues = text.size() >= 2 && text.compare(text.size() - 2, 2, ",\\") == 0;
    const std::string list = continues ? text.substr(0, text.size() - 1) : text;
    for (std::size_t i = 0; i < list.size(); i += 3)
    {
        if (i + 2 > list.size() || !IsHexDigit(list[i]) || !IsHexDigit(list[i + 1]))
            return false;
        const bool last = i + 2 == list.size();
        if (!last && list[i + 2] != ',')
            return false;
        if (continues && last)
            return false;
    }
    return true;
}

// A quoted text at `at` with only \\ and \" escapes; `at` ends after its closing quote.
bool SkipQuoted(const std::string& line, std::size_t& at)
{
    if (at >= line.size() || line[at] != '"')
        return false;
    for (++at; at < line.size(); ++at)
    {
        if (line[at] == '"')
            return ++at, true;
        if (line[at] == '\\' && (++at == line.size() || (line[at] != '\\' && line[at] != '"')))
            return false;
    }
    return false;
}

bool IsValueLine(const std::string& line, bool& continues)
{
    continues = false;
    std::size_t at = 0;
    if (line.compare(0, 2, "@=") == 0)
        at = 2;
    else if (!SkipQuoted(line, at) || at >= line.size() || line[at++] != '=')
        return false;
    const std::string value = line.substr(at);
    std::size_t end = 0;
    if (SkipQuoted(value, end))
        return end == value.size();
    if (value.compare(0, 6, "dword:") == 0)
        return value.size() == 14 && std::all_of(value.begin() + 6, value.end(), IsHexDigit);
    std::size_t listStart = 0;
    if (value.compare(0, 4, "hex:") == 0)
        listStart = 4;
    else if (value.compare(0, 4, "hex(") == 0)
    {
        const std::size_t close = value.find("):");
        if (close == std::string::npos || close == 4 ||
            !std::all_of(value.begin() + 4, value.begin() + close, IsHexDigit))
            return false;
        listStart = close + 2;
    }
    else
        return false;
    return IsByteList(value.substr(listStart), continues);
}

bool IsKeyLineBelow(const std::string& line, const std::string& root)
{
    const std::string open = "[" + root;
    if (line.compare(0, open.size(), open) != 0 || line.back() != ']')
        return false;
    const std::string rest = line.substr(open.size(), line.size() - open.size() - 1);
    return rest.empty() || (rest.size() > 1 && rest[0] == '\\');
}

} // namespace

std::string FirstStrayRegLine(const std::string& file, const std::string& root)
{
    if (file.compare(0, 3, "\xEF\xBB\xBF") != 0)
        return "no byte order mark";
    const std::string text = file.substr(3);
    bool continuing = false;
    std::size_t number = 1;
    for (std::size_t at = 0; at < text.size(); ++number)
    {
        const std::size_t end = text.find("\r\n", at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 2;
        bool fits = false;
        if (end == std::string::npos || line.find_first_of("\r\n", 0) != std::string::npos)
            fits = false;
        else if (continuing)
            fits = line.compare(0, 2, "  ") == 0 && IsByteList(line.substr(2), continuing);
        else if (number == 1)
            fits = line == "Windows Registry Editor Version 5.00";
        else
            fits = line.empty() || IsKeyLineBelow(line, root) || IsValueLine(line, continuing);
        if (!fits)
            return std::to_string(number) + ": " + line.substr(0, 200);
    }
    return continuing ? "the file ends inside a byte list" : "";
}

std::vector<std::wstring> KeyListing(HKEY hive, const std::wstring& path)
{
    std::vector<std::wstring> names;
    Misc::RegKey key;
    if (::RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> name(32768);
    for (DWORD index = 0;; ++index)
    {
        DWORD chars = static_cast<DWORD>(name.size());
        if (::RegEnumValueW(key.Get(), index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(L"value " + std::wstring(name.data(), chars));
    }
    for (DWORD index = 0;; ++index)
    {
        DWORD chars = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(key.Get(), index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(L"key " + std::wstring(name.data(), chars));
    }
    return names;
}

} // namespace ChecksTest

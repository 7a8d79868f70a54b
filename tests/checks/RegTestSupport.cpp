#include "RegTestSupport.h"

#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <regex>

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

// The line kinds as regular expressions of their own, written from the format and not
// from the exporter: a quoted text knows only the escapes \\ and \", a byte list ends
// in ",\" when it goes on, a key line ends at its last "]".
std::string FirstStrayRegLine(const std::string& file, const std::string& root)
{
    static const std::string quoted = R"("(?:[^"\\]|\\[\\"])*")";
    static const std::string bytes = R"((?:[0-9a-f]{2}(?:,[0-9a-f]{2})*)?(,\\)?)";
    static const std::regex valueLine("(?:@|" + quoted + ")=(?:" + quoted +
                                      "|dword:[0-9a-f]{8}|hex(?:\\([0-9a-f]+\\))?:" + bytes + ")");
    static const std::regex continuation("  " + bytes);
    if (file.compare(0, 3, "\xEF\xBB\xBF") != 0)
        return "no byte order mark";
    const std::string text = file.substr(3);
    const std::string keyLine = "[" + root;
    bool continuing = false;
    std::size_t number = 1;
    for (std::size_t at = 0; at < text.size(); ++number)
    {
        const std::size_t end = text.find("\r\n", at);
        const std::string line = text.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? text.size() : end + 2;
        std::smatch match;
        bool fits = false;
        if (end == std::string::npos || line.find_first_of("\r\n") != std::string::npos)
            fits = false;
        else if (continuing || number == 1)
            fits = number == 1 ? line == "Windows Registry Editor Version 5.00"
                               : std::regex_match(line, match, continuation);
        else if (line.compare(0, keyLine.size(), keyLine) == 0)
            fits = line.back() == ']' && (line.size() == keyLine.size() + 1 || line[keyLine.size()] == '\\');
        else
            fits = line.empty() || std::regex_match(line, match, valueLine);
        continuing = fits && match.size() > 1 && match[match.size() - 1].matched;
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

#include "FakeDriverSetup.h"

#include <algorithm>
#include <sstream>

namespace OrvoTest
{

void FakeDriverTest::SetUp()
{
    TempDirTest::SetUp();
    m_install = PathOf(L"Install");
    m_dependencies = PathOf(L"System");
    ASSERT_TRUE(::CreateDirectoryW(m_install.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(m_dependencies.c_str(), nullptr));
    for (const wchar_t* name : {L"TarvikUSB.dll", L"UsbDmx.dll", L"UsbDmx12.dll"})
        Install(name, name);
    for (const wchar_t* name : {L"WDAPI921.dll", L"WDAPI1200.dll"})
        ASSERT_TRUE(::CopyFileW(FixturePath(std::wstring(L"usbdmx\\") + name).c_str(),
                                (m_dependencies + L"\\" + name).c_str(), FALSE));
    // The dependencies are loaded by their bare names through the library search path:
    // here, and in the probe processes, which find them on the search path they inherit.
    ASSERT_TRUE(::SetDllDirectoryW(m_dependencies.c_str()));
    std::wstring path(32767, L'\0');
    path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
    m_path = std::make_unique<ScopedEnv>(L"PATH", m_dependencies + L";" + path);
}

void FakeDriverTest::TearDown()
{
    m_path.reset();
    ::SetDllDirectoryW(nullptr);
    TempDirTest::TearDown();
}

void FakeDriverTest::Install(const std::wstring& fixture, const std::wstring& name)
{
    const std::wstring source = FixturePath(L"usbdmx\\" + fixture);
    ASSERT_TRUE(::CopyFileW(source.c_str(), InstallPath(name).c_str(), FALSE)) << Narrow(source);
}

void FakeDriverTest::Uninstall(const std::wstring& name)
{
    ASSERT_TRUE(::DeleteFileW(InstallPath(name).c_str()));
}

void FakeDriverTest::RemoveDependency(const std::wstring& name)
{
    ASSERT_TRUE(::DeleteFileW((m_dependencies + L"\\" + name).c_str()));
}

void FakeDriverTest::Configure(const std::wstring& library, const std::string& text)
{
    ASSERT_TRUE(WriteBytes(InstallPath(library) + L".fake", text));
}

std::vector<std::string> FakeDriverTest::Calls(const std::wstring& library) const
{
    std::vector<std::string> calls;
    std::istringstream in(ReadBytes(InstallPath(library) + L".calls"));
    std::string line;
    while (std::getline(in, line))
        calls.push_back(line);
    return calls;
}

std::wstring ReportText(const std::wstring& path)
{
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0)
    {
        ADD_FAILURE() << "no UTF-16 byte order mark in " << Narrow(path);
        return {};
    }
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    std::copy(bytes.begin() + 2, bytes.begin() + 2 + static_cast<std::ptrdiff_t>(text.size() * 2),
              reinterpret_cast<char*>(text.data()));
    return text;
}

std::vector<std::wstring> ReportLines(const std::wstring& path)
{
    const std::wstring text = ReportText(path);
    std::vector<std::wstring> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find(L'\n', begin)) != std::wstring::npos; begin = end + 1)
        lines.push_back(text.substr(begin, end - begin));
    if (begin != text.size())
        ADD_FAILURE() << "the report does not end with a line feed: " << Narrow(text.substr(begin));
    return lines;
}

std::size_t CountOf(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

} // namespace OrvoTest

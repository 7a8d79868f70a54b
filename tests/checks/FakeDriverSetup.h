#pragma once
// An installation of the product's USB support library with the fake driver
// libraries beside it, their dependencies on the library search path, a scripted
// clock, and readers of the report and of the calls the fake drivers received.

#include "checks/BoxScan.h"
#include "TestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace OrvoTest
{

// Time passes only when the search pauses.
class FakeScanClock final : public IScanClock
{
  public:
    explicit FakeScanClock(DWORD start = 5000) : m_now(start) {}
    DWORD Now() override { return m_now; }
    void Pause(DWORD milliseconds) override
    {
        m_now += milliseconds;
        ++m_pauses;
    }
    int Pauses() const { return m_pauses; }

  private:
    DWORD m_now;
    int m_pauses = 0;
};

class FakeDriverTest : public TempDirTest
{
  protected:
    void SetUp() override;
    void TearDown() override;

    // <dir>\Install: TarvikUSB.dll, UsbDmx.dll and UsbDmx12.dll.
    const std::wstring& InstallDir() const { return m_install; }
    std::wstring InstallPath(const std::wstring& name) const { return m_install + L"\\" + name; }
    // Copies a fixture of fixtures\usbdmx into the installation under `name`.
    void Install(const std::wstring& fixture, const std::wstring& name);
    void Uninstall(const std::wstring& name);
    // Removes a dependency from the search path folder.
    void RemoveDependency(const std::wstring& name);
    // The fake driver's configuration ("<library>.fake") and the calls it received.
    void Configure(const std::wstring& library, const std::string& text);
    std::vector<std::string> Calls(const std::wstring& library) const;

  private:
    std::wstring m_install;
    std::wstring m_dependencies;
    std::unique_ptr<ScopedEnv> m_path;
};

// The report's text after its byte order mark; fails the test when the mark is missing.
std::wstring ReportText(const std::wstring& path);
// The report's text after its byte order mark, split at line feeds. Fails the test
// when the mark is missing or the text does not end with a line feed.
std::vector<std::wstring> ReportLines(const std::wstring& path);

// The number of times `line` occurs.
std::size_t CountOf(const std::vector<std::wstring>& lines, const std::wstring& line);

} // namespace OrvoTest

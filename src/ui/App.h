#pragma once
// The application object of the framework: the program's start-up and end run in
// its instance initialisation; returning false ends the program there.

#include <windows.h>

#include <string>

namespace UI
{

class CDialog;

class CWinApp
{
  public:
    CWinApp() = default;
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the instance initialisation; when it gives true, runs a message loop until
    // the quit message. Gives the program's exit code.
    int Run();

    // The key under which the framework would keep settings ("Company/Product").
    void SetRegistryKey(const wchar_t* key) { m_registryKey = key ? key : L""; }
    const std::wstring& RegistryKey() const noexcept { return m_registryKey; }

    void SetMainWindow(CDialog* window) noexcept { m_mainWindow = window; }
    CDialog* MainWindow() const noexcept { return m_mainWindow; }

  protected:
    virtual BOOL InitInstance() { return TRUE; }

  private:
    std::wstring m_registryKey;
    CDialog* m_mainWindow = nullptr;
};

} // namespace UI

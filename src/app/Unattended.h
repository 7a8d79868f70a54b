#pragma once
// Collection without a window: "OrvoDiag.exe /save [PATH]" for support desks that
// collect from many workstations through their own deployment tools.

#include "app/CommandLine.h"
#include "misc/CollectorContracts.h"

#include <windows.h>

#include <string>

// The lines of an unattended run: standard output as the program was given it (a file
// or a pipe), or else the console of the process that started it. A program built for
// the window has no console of its own.
class ConsoleOutput
{
  public:
    ConsoleOutput();
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    // Writes `text` and a line end; text with several lines is written as it is.
    void WriteLine(const std::wstring& text);

  private:
    HANDLE m_handle = nullptr; // not owned: the process's standard output
    bool m_console = false;
};

// The status sink of an unattended run: every status text the window would show, as
// one line.
class ConsoleStatus : public IStatusInfo
{
  public:
    explicit ConsoleStatus(ConsoleOutput& output) : m_output(output) {}
    void ShowActivity(const wchar_t* text) override;
    void SetStatus(const wchar_t* text) override;
    void Tick(bool) override {}

  private:
    ConsoleOutput& m_output;
};

// Runs a command line other than the window's; gives the process's exit code.
int RunUnattended(const CommandLine& commandLine);

#pragma once
// A small modeless dialog with the controls that the scan and the status sink use:
// the tab strip placeholder, Scan, the spinner, the status line, Save and Exit.
// Every text written to those controls and every enable/disable is recorded in order.

#include "app/ScanSequence.h"
#include "app/StatusSink.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace AppTest
{

// The shared, ordered record of what happened: control texts ("<id>=<text>"),
// "disable <id>"/"enable <id>", and whatever the fakes of a test add.
std::vector<std::string>& Events();
void Record(const std::string& event);

class StatusDialog : public StatusSink
{
  public:
    StatusDialog();
    ~StatusDialog() override;

    HWND Hwnd() const { return m_hwnd; }
    std::wstring Text(int id) const;
    bool IsEnabled(int id) const;
    // Texts written to one control since the dialog was made, in order.
    std::vector<std::wstring> Writes(int id) const;

    std::function<void()> onScanCommand;
    std::vector<int> commands; // WM_COMMAND ids the dialog received

  protected:
    HWND StatusWindow() const override { return m_hwnd; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
};

// Every installed-files scan sees every product key of the prefix: the window tests
// that set product keys scan one at a time, under this lock.
constexpr wchar_t kProductRegistryLock[] = L"OrvoTest.ProductRegistry";

// The main window's status line, and whether it says that a scan has ended.
std::wstring StatusText(HWND dialog);
bool IsScanned(HWND dialog);

// While it lives, the painting pauses of every scan take no time.
class NoPaintPauses
{
  public:
    NoPaintPauses();
    ~NoPaintPauses();
    NoPaintPauses(const NoPaintPauses&) = delete;
    NoPaintPauses& operator=(const NoPaintPauses&) = delete;

  private:
    PaintPause m_previous;
};

} // namespace AppTest

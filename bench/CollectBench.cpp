// The program's whole unattended collection over a generated installation: the
// window's scan (the Files tab filled), then the save into an archive, as
// "OrvoDiag.exe /save" runs them; reports the time and the peak working set.
// Usage: orvo_collect_bench INSTALL_FOLDER ARCHIVE
// Prints "RESULT seconds=<scan and save> peak_mib=<peak working set> rows=<tree rows>".

#include "app/OrvoDiagDlg.h"
#include "app/SaveSequence.h"
#include "BenchClock.h"
#include "BenchInstall.h"
#include "misc/Handles.h"
#include "PeakMemory.h"

#include <winsock2.h>

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>

namespace
{

// Nothing is shown: the status texts only cost what the sink's callers do.
class QuietSink : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t*) override {}
    void SetStatus(const wchar_t*) override {}
    void Tick(bool) override {}
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
    {
        std::fputs("usage: orvo_collect_bench INSTALL_FOLDER ARCHIVE\n", stderr);
        return 2;
    }
    if (!RegisterInstallation(argv[1]))
    {
        std::fputs("cannot register the installation folder\n", stderr);
        return 1;
    }
    const Misc::ComScope com;
    const Misc::WinsockScope sockets;
    INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
    ::InitCommonControlsEx(&controls);
    const double before = PeakMiB();
    double seconds = 0;
    std::size_t rows = 0;
    SaveOutcome outcome{};
    {
        COrvoDiagDlg window;
        if (!window.CreateUnattended())
        {
            std::fputs("cannot create the window\n", stderr);
            UnregisterInstallation();
            return 1;
        }
        QuietSink sink;
        const double start = BenchNow();
        outcome = window.CollectUnattended(sink, argv[2]);
        seconds = BenchNow() - start;
        rows = window.FilesPage().Painter().ItemCount();
    }
    UnregisterInstallation();
    std::printf("RESULT seconds=%.3f peak_mib=%.1f start_mib=%.1f rows=%zu saved=%d\n", seconds, PeakMiB(),
                before, rows, outcome == SaveOutcome::Saved ? 1 : 0);
    return 0;
}

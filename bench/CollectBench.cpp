// The program's whole unattended collection over a generated installation: the
// collection's scan, then the save into an archive, as "OrvoDiag.exe /save" runs them;
// reports the time and the peak working set.
// Usage: orvo_collect_bench INSTALL_FOLDER ARCHIVE
// Prints "RESULT seconds=<scan and save> peak_mib=<peak working set> rows=<tree rows>",
// the rows being those the Files tab would show for the inventory.

#include "BenchClock.h"
#include "BenchInstall.h"
#include "collection/Collection.h"
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

// Folder, file and detail rows below `folder`, as the Files tab lays them out.
std::size_t TreeRows(const ApplicationsInfo::FolderContent& folder)
{
    std::size_t rows = 0;
    folder.Folders().ForEach([&](const ApplicationsInfo::FolderContent& sub) { rows += 1 + TreeRows(sub); });
    folder.Files().ForEach([&](const ApplicationsInfo::FileInfo& file)
                           { rows += 1 + file.InfoLines().size(); });
    return rows;
}

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
        Collection collection;
        QuietSink sink;
        const double start = BenchNow();
        collection.Scan(&sink);
        outcome = collection.Save(argv[2], &sink);
        seconds = BenchNow() - start;
        rows = TreeRows(collection.InstalledFiles().Root());
    }
    UnregisterInstallation();
    std::printf("RESULT seconds=%.3f peak_mib=%.1f start_mib=%.1f rows=%zu saved=%d\n", seconds, PeakMiB(),
                before, rows, outcome == SaveOutcome::Saved ? 1 : 0);
    return 0;
}

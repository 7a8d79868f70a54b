#pragma once
// The Scan command: every collector cleared, then run in a fixed order, with the
// window's controls disabled meanwhile and the window kept painted at fixed points.

#include "misc/CollectorContracts.h"

#include <windows.h>

struct ScanTargets
{
    HWND window = nullptr;         // holds the tab strip, Scan, Save and Exit
    IStatusInfo* status = nullptr; // the window as status sink
    ICollector* systemPage = nullptr;
    IFilesPageScan* filesPage = nullptr;
    ICollector* logFilesPage = nullptr;
    IOtherFilesScan* otherFiles = nullptr;
    bool paintPauses = true; // false when no window is shown: the pauses only let it paint
};

// False, and nothing done, when a scan or a save is already running (a command that
// reached the window while the running one dispatched messages).
bool ScanSequence(const ScanTargets& targets);
void ClearAll(const ScanTargets& targets);
// The tab strip, Scan, Save and Exit, disabled while a sequence runs.
void EnableCommands(HWND window, bool enable);

// The three pauses of a scan go through one function (by default it sleeps), so that
// tests of the sequence need not wait for them. Returns the function used before;
// nullptr puts the sleep back.
using PaintPause = void (*)(DWORD milliseconds);
PaintPause SetPaintPause(PaintPause pause);

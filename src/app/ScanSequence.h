#pragma once
// The Scan command: the collection cleared, then its steps run in their fixed order,
// each shown by its page as it ends, with the window's controls disabled meanwhile
// and the window kept painted at fixed points.

#include "collection/Collection.h"

#include <windows.h>

// The pages that show the collection.
class ICollectionViews
{
  public:
    // Every page lets go of what it shows, before the collection is emptied.
    virtual void ClearViews() = 0;
    // The page of `step` shows what that step found.
    virtual void ShowStep(CollectionStep step) = 0;

  protected:
    ~ICollectionViews() = default;
};

struct ScanTargets
{
    HWND window = nullptr;         // holds the tab strip, Scan, Save and Exit
    IStatusInfo* status = nullptr; // the window as status sink
    ICollectionScan* collection = nullptr;
    ICollectionViews* views = nullptr;
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

#include "app/ScanSequence.h"

#include "app/PumpMessages.h"
#include "app/SequenceGuard.h"
#include "app/WaitCursor.h"
#include "misc/Text.h"
#include "resource.h"

namespace
{

constexpr DWORD kPauseMs = 500;

void SleepFor(DWORD milliseconds)
{
    ::Sleep(milliseconds);
}

PaintPause g_paintPause = &SleepFor;

void RepaintNow(HWND window)
{
    if (window)
        ::RedrawWindow(window, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// Lets the disabled buttons and the emptied views be seen before the work starts and
// after it ends.
void RepaintPauseAndPump(HWND window, bool pause)
{
    if (!pause)
        return;
    RepaintNow(window);
    g_paintPause(kPauseMs);
    PumpMessages();
}

void SetStatus(const ScanTargets& targets, const wchar_t* text)
{
    if (targets.status)
        targets.status->SetStatus(text);
}

} // namespace

void EnableCommands(HWND window, bool enable)
{
    for (int id : {IDC_TAB_STRIP, IDC_SCAN, IDC_SAVE, IDCANCEL})
        if (HWND control = ::GetDlgItem(window, id))
            ::EnableWindow(control, enable ? TRUE : FALSE);
}

PaintPause SetPaintPause(PaintPause pause)
{
    const PaintPause previous = g_paintPause;
    g_paintPause = pause ? pause : &SleepFor;
    return previous;
}

// Nothing found by an earlier scan survives: the pages let go of the collection, which
// is emptied and whose staging folders let go of their files before anything runs.
void ClearAll(const ScanTargets& targets)
{
    WaitCursor().Begin();
    SetStatus(targets, L"");
    if (targets.views)
        targets.views->ClearViews();
    if (targets.collection)
        targets.collection->Clear();
    RepaintNow(targets.window);
    WaitCursor().End();
}

// Runs on the window thread inside the Scan command. There is no early exit: every step
// runs whatever the collectors found. Dispatching messages may reset the cursor, so the
// wait cursor is shown again after each collector.
bool ScanSequence(const ScanTargets& targets)
{
    SequenceGuard guard;
    if (!guard.Acquired())
        return false;

    if (targets.status)
        targets.status->ShowActivity(kScanningText);
    EnableCommands(targets.window, false);
    RepaintPauseAndPump(targets.window, targets.paintPauses);

    ClearAll(targets);
    RepaintPauseAndPump(targets.window, targets.paintPauses);

    IWaitCursor& cursor = WaitCursor();
    cursor.Begin();
    for (CollectionStep step : kCollectionSteps)
    {
        if (targets.collection)
            targets.collection->ScanStep(step, targets.status);
        if (targets.views)
            targets.views->ShowStep(step);
        cursor.Restore();
    }

    const std::wstring done = Misc::LocalTimeText(kScannedAtFormat);
    SetStatus(targets, done.c_str());
    EnableCommands(targets.window, true);
    RepaintPauseAndPump(targets.window, targets.paintPauses);
    cursor.End();
    return true;
}

#include "app/SaveSequence.h"

#include "app/SaveAsDialog.h"
#include "app/SequenceGuard.h"
#include "app/WaitCursor.h"

// Runs on the window thread inside the Save command. The report's name is reserved
// before the user is asked: without it there is nothing to save, and no dialog.
SaveOutcome SaveSequence(const SaveTargets& targets)
{
    SequenceGuard guard;
    if (!guard.Acquired())
        return SaveResult::NotStarted;

    const std::wstring reportPath = ReserveReport();
    if (reportPath.empty())
        return SaveResult::NotStarted;

    const std::wstring archivePath = targets.archivePath.empty()
                                         ? AskArchivePath(targets.window, DefaultArchiveName())
                                         : targets.archivePath;
    if (archivePath.empty())
    {
        ReleaseReport(reportPath);
        return SaveOutcome::Cancelled;
    }

    WaitCursor().Begin();
    const SaveOutcome outcome = SaveArchive(targets.writers, archivePath, reportPath, targets.status);
    WaitCursor().End();
    return outcome;
}

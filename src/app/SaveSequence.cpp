#include "app/SaveSequence.h"

#include "app/SaveAsDialog.h"
#include "app/SequenceGuard.h"
#include "app/WaitCursor.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/TmpFileManager.h"
#include "report/ZipArchive.h"

namespace
{

constexpr wchar_t kReportName[] = L"OrvoDiag.xml";

// Every listed file under its bare name, in list order. A file that cannot be read is
// left out and the rest goes on (the archive writer reports its own write failures at
// Close); only a failure to write the archive itself fails the save.
bool WriteArchive(const std::wstring& archivePath, const Misc::AttachmentList& attachments)
{
    Misc::ZipArchive archive;
    if (!archive.Open(archivePath))
        return false;
    for (const std::wstring& path : attachments)
        archive.AddFile(Misc::ComposePath(path, Misc::PathFileName), path);
    if (archive.Close())
        return true;
    // An archive that could not be written to its end (a full disk) would still open
    // as a smaller, whole-looking one: it is not left behind.
    ::DeleteFileW(archivePath.c_str());
    return false;
}

void ReleaseShared(const std::wstring& path)
{
    if (Misc::AFileManager* shared = Misc::TmpFileManager::Shared())
        shared->Release(path);
}

void ReleaseAllShared()
{
    if (Misc::AFileManager* shared = Misc::TmpFileManager::Shared())
        shared->ReleaseAll();
}

} // namespace

// Runs on the window thread inside the Save command and dispatches no message between
// its first status text and its last. The staged report lives only until the archive
// is written; the other-files exports, staged by their own manager, stay for the next
// save until the next scan.
SaveOutcome SaveSequence(const SaveTargets& targets)
{
    SequenceGuard guard;
    if (!guard.Acquired())
        return SaveOutcome::NotStarted;

    ReleaseAllShared();
    const std::wstring defaultName = Misc::LocalTimeText(L"OrvoDiag_%Y%m%d_%H%M.zip");
    Misc::AFileManager* shared = Misc::TmpFileManager::Shared();
    const std::wstring reportPath = shared ? shared->Register(kReportName) : std::wstring();
    if (reportPath.empty())
        return SaveOutcome::NotStarted;

    const std::wstring archivePath =
        targets.archivePath.empty() ? AskArchivePath(targets.window, defaultName) : targets.archivePath;
    if (archivePath.empty())
    {
        ReleaseShared(reportPath);
        ReleaseAllShared();
        return SaveOutcome::Cancelled;
    }

    WaitCursor().Begin();
    if (targets.status)
        targets.status->ShowActivity(L"SAVING DATA ...");

    Misc::AttachmentList attachments;
    bool outcome = true;
    {
        Misc::XML_Document document;
        if (document.Create())
        {
            // A failed section does not stop the others.
            for (const SectionWriter& write : targets.writers)
                if (write)
                    outcome = write(document, nullptr, attachments) && outcome;
            attachments.push_back(reportPath);
            outcome = document.Save(reportPath) && outcome;
        }
        else
        {
            outcome = false;
        }
    }
    if (!attachments.empty())
        outcome = WriteArchive(archivePath, attachments) && outcome;

    const std::wstring done =
        Misc::LocalTimeText(outcome ? L"Saved at %H:%M:%S" : L"Saving FAILED at %H:%M:%S");
    if (targets.status)
        targets.status->SetStatus(done.c_str());

    // Only what the shared manager registered goes: the report. Product log files and
    // the other-files exports in the list are left alone.
    for (const std::wstring& path : attachments)
        ReleaseShared(path);
    WaitCursor().End();
    ReleaseAllShared();
    return outcome ? SaveOutcome::Saved : SaveOutcome::Failed;
}

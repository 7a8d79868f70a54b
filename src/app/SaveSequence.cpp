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

// Keeps the first failure a save meets: later ones are mostly its consequences.
void NoteFailure(std::wstring& failure, const std::wstring& line)
{
    if (failure.empty())
        failure = line;
}

std::wstring ArchiveFailure(const wchar_t* what, const std::wstring& archivePath, unsigned long error)
{
    return std::wstring(what) + L" " + archivePath + L": " + Misc::SystemErrorLine(error);
}

// Every listed file under its bare name, in list order. A file that cannot be read is
// left out and the rest goes on (the archive writer reports its own write failures at
// Close); only a failure to write the archive itself fails the save.
bool WriteArchive(const std::wstring& archivePath, const Misc::AttachmentList& attachments,
                  std::wstring& failure)
{
    Misc::ZipArchive archive;
    if (!archive.Open(archivePath))
    {
        NoteFailure(failure, ArchiveFailure(L"Cannot create the archive", archivePath, archive.Error()));
        return false;
    }
    for (const std::wstring& path : attachments)
        archive.AddFile(Misc::ComposePath(path, Misc::PathFileName), path);
    if (archive.Close())
        return true;
    NoteFailure(failure, ArchiveFailure(L"Cannot write the archive", archivePath, archive.Error()));
    // An archive that could not be written to its end (a full disk) would still open
    // as a smaller, whole-looking one: it is not left behind.
    ::DeleteFileW(archivePath.c_str());
    return false;
}

// The report and its sections; false when any of them failed, with the first failure
// noted. A failed section does not stop the others.
bool WriteReport(const SaveTargets& targets, const std::wstring& reportPath,
                 Misc::AttachmentList& attachments, std::wstring& failure)
{
    Misc::XML_Document document;
    if (!document.Create())
    {
        NoteFailure(failure, L"The report could not be created: the system's XML component is missing.");
        return false;
    }
    bool outcome = true;
    for (const SectionWriter& write : targets.writers)
        if (write && !write(document, nullptr, attachments))
        {
            NoteFailure(failure, L"A section of the report could not be written completely.");
            outcome = false;
        }
    attachments.push_back(reportPath);
    ::SetLastError(0);
    if (!document.Save(reportPath))
    {
        const DWORD error = ::GetLastError();
        NoteFailure(failure, L"Cannot write the report " + reportPath +
                                 (error ? L": " + Misc::SystemErrorLine(error) : std::wstring(L".")));
        outcome = false;
    }
    return outcome;
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
        return SaveResult::NotStarted;

    ReleaseAllShared();
    const std::wstring defaultName = Misc::LocalTimeText(L"OrvoDiag_%Y%m%d_%H%M.zip");
    Misc::AFileManager* shared = Misc::TmpFileManager::Shared();
    const std::wstring reportPath = shared ? shared->Register(kReportName) : std::wstring();
    if (reportPath.empty())
        return SaveResult::NotStarted;

    const std::wstring archivePath =
        targets.archivePath.empty() ? AskArchivePath(targets.window, defaultName) : targets.archivePath;
    if (archivePath.empty())
    {
        ReleaseShared(reportPath);
        ReleaseAllShared();
        return SaveResult::Cancelled;
    }

    WaitCursor().Begin();
    if (targets.status)
        targets.status->ShowActivity(L"SAVING DATA ...");

    SaveOutcome result(SaveResult::Saved);
    result.archivePath = archivePath;
    Misc::AttachmentList attachments;
    bool outcome = WriteReport(targets, reportPath, attachments, result.failure);
    if (!attachments.empty())
        outcome = WriteArchive(archivePath, attachments, result.failure) && outcome;

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
    if (!outcome)
        result.result = SaveResult::Failed;
    return result;
}

#include "collection/Collection.h"

#include "checks/DriverStep.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/ZipArchive.h"

namespace
{

Misc::AFileManager* SharedManager()
{
    return Misc::TmpFileManager::Shared();
}

void ReleaseAllShared()
{
    if (Misc::AFileManager* shared = SharedManager())
        shared->ReleaseAll();
}

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
bool WriteReport(const std::vector<SectionWriter>& writers, const std::wstring& reportPath,
                 Misc::AttachmentList& attachments, std::wstring& failure)
{
    Misc::XML_Document document;
    if (!document.Create())
    {
        NoteFailure(failure, L"The report could not be created: the system's XML component is missing.");
        return false;
    }
    bool outcome = true;
    for (const SectionWriter& write : writers)
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

} // namespace

std::wstring DefaultArchiveName()
{
    return Misc::LocalTimeText(L"OrvoDiag_%Y%m%d_%H%M.zip");
}

Collection::Collection() = default;

// The other files go first (their staged files with them), the shared staging folder
// last, with its holder.
Collection::~Collection() = default;

// Nothing found by an earlier scan survives: every model is emptied and both staging
// folders let go of their files.
void Collection::Clear()
{
    m_system.Clear();
    m_installedFiles.Clear();
    m_logFiles.Clear();
    m_otherFiles.ClearEntries();
    m_otherFiles.ReleaseStagedFiles();
    ReleaseAllShared();
}

// The log files and the driver libraries are found by the installed-files walk: the
// log files step only reports, and the other-files step reads the driver list.
void Collection::ScanStep(CollectionStep step, IStatusInfo* status)
{
    switch (step)
    {
    case CollectionStep::System:
        m_system.Scan(status);
        break;
    case CollectionStep::InstalledFiles:
        m_installedFiles.Scan(status, [this](const std::wstring& path) { m_logFiles.Add(path); });
        break;
    case CollectionStep::LogFiles:
        if (status)
            status->ShowActivity(L"SCANNING LOG FILES ...");
        break;
    case CollectionStep::OtherFiles:
        m_otherFiles.Scan(status, DriverFilePaths());
        break;
    }
}

void Collection::Scan(IStatusInfo* status)
{
    if (status)
    {
        status->ShowActivity(kScanningText);
        status->SetStatus(L"");
    }
    Clear();
    for (CollectionStep step : kCollectionSteps)
        ScanStep(step, status);
    if (status)
        status->SetStatus(Misc::LocalTimeText(kScannedAtFormat).c_str());
}

std::vector<std::wstring> Collection::DriverFilePaths() const
{
    std::vector<std::wstring> paths;
    m_installedFiles.DriverFileList().ForEach([&](const ApplicationsInfo::FileInfo& file)
                                              { paths.push_back(file.FullPath()); });
    return paths;
}

std::wstring Collection::DriverReportPath() const
{
    std::wstring path;
    OtherFiles().ForEachEntry(
        [&](const OtherFilesInfo::FileEntry& entry)
        {
            if (Misc::EqualsNoCase(entry.FileName(), kDriverReportName))
                path = entry.Path();
        });
    return path;
}

std::vector<SectionWriter> Collection::SectionWriters()
{
    return {
        [this](Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList&)
        { return m_systemXml.Write(&document, parent, &m_system); },
        [this](Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList&)
        { return m_installedFilesXml.Write(&document, parent, &m_installedFiles, false); },
        [this](Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)
        { return m_logFilesXml.Write(&document, parent, &m_logFiles, &attachments); },
        [this](Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)
        { return m_otherFiles.WriteSection(document, parent, attachments); },
    };
}

SaveOutcome Collection::Save(const std::wstring& archivePath, IStatusInfo* status)
{
    const std::wstring reportPath = ReserveReport();
    if (reportPath.empty())
        return SaveOutcome::NotStarted;
    return SaveArchive(SectionWriters(), archivePath, reportPath, status);
}

// Leftovers of an earlier save go with the shared folder before the name is reserved.
std::wstring ReserveReport()
{
    ReleaseAllShared();
    Misc::AFileManager* shared = SharedManager();
    return shared ? shared->Register(kReportName) : std::wstring();
}

void ReleaseReport(const std::wstring& reportPath)
{
    if (Misc::AFileManager* shared = SharedManager())
        shared->Release(reportPath);
    ReleaseAllShared();
}

// Dispatches no message between its first status text and its last. The staged report
// lives only until the archive is written; the other-files exports, staged by their
// own manager, stay for the next save until the next scan.
SaveOutcome SaveArchive(const std::vector<SectionWriter>& writers, const std::wstring& archivePath,
                        const std::wstring& reportPath, IStatusInfo* status)
{
    if (status)
        status->ShowActivity(L"SAVING DATA ...");
    SaveOutcome result(SaveResult::Saved);
    result.archivePath = archivePath;
    Misc::AttachmentList attachments;
    bool outcome = WriteReport(writers, reportPath, attachments, result.failure);
    if (!attachments.empty())
        outcome = WriteArchive(archivePath, attachments, result.failure) && outcome;

    const std::wstring done =
        Misc::LocalTimeText(outcome ? L"Saved at %H:%M:%S" : L"Saving FAILED at %H:%M:%S");
    if (status)
        status->SetStatus(done.c_str());

    // Only what the shared manager registered goes: the report. Product log files and
    // the other-files exports in the list are left alone.
    if (Misc::AFileManager* shared = SharedManager())
        for (const std::wstring& path : attachments)
            shared->Release(path);
    ReleaseAllShared();
    if (!outcome)
        result.result = SaveResult::Failed;
    return result;
}

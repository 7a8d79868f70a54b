#pragma once
// Everything one scan found, without any window: the System model, the installed-files
// inventory with its driver file list, the log files, and the other files (registry
// exports and driver report) staged in the other-files collector's own folder; with
// the holder of the shared staging folder in which a save stages its report. Pages
// only show its parts; rules and the save read them.

#include "checks/OtherFilesControl.h"
#include "inventory/ApplicationsInfo.h"
#include "inventory/ApplicationsXML.h"
#include "logs/LogFilesInfo.h"
#include "logs/LogFilesXML.h"
#include "misc/Attachments.h"
#include "misc/CollectorContracts.h"
#include "report/TmpFileManager.h"
#include "report/XmlDocument.h"
#include "system/SystemInfo.h"
#include "system/SystemXML.h"

#include <functional>
#include <string>
#include <vector>

// The steps of a scan, in the order they run: the installed-files walk also finds the
// log files and the driver libraries that the steps after it read.
enum class CollectionStep
{
    System,
    InstalledFiles,
    LogFiles,
    OtherFiles,
};
constexpr CollectionStep kCollectionSteps[] = {CollectionStep::System, CollectionStep::InstalledFiles,
                                               CollectionStep::LogFiles, CollectionStep::OtherFiles};

enum class SaveResult
{
    NotStarted, // a scan or save was running, or no report path could be reserved
    Cancelled,  // the user cancelled the Save As dialog
    Saved,
    Failed, // "Saving FAILED at ..."
};

// How a save ended, where the archive went and, after a failure, why: the first
// failure the save met, as one line that names the file and gives the system's reason.
struct SaveOutcome
{
    static constexpr SaveResult NotStarted = SaveResult::NotStarted;
    static constexpr SaveResult Cancelled = SaveResult::Cancelled;
    static constexpr SaveResult Saved = SaveResult::Saved;
    static constexpr SaveResult Failed = SaveResult::Failed;

    SaveOutcome(SaveResult r = SaveResult::NotStarted) : result(r) {}
    bool operator==(SaveResult r) const { return result == r; }

    SaveResult result;
    std::wstring archivePath; // the chosen path, once there is one
    std::wstring failure;     // empty unless the result is Failed
};

constexpr wchar_t kScanningText[] = L"SCANNING ...";
constexpr wchar_t kScannedAtFormat[] = L"Scanned at %H:%M:%S";
constexpr wchar_t kReportName[] = L"OrvoDiag.xml";

// "OrvoDiag_%Y%m%d_%H%M.zip" of the local time now.
std::wstring DefaultArchiveName();

// One section of the report: appends its element under `parent` (null: the root) and
// the paths of its files to `attachments`; true when the section is complete.
using SectionWriter =
    std::function<bool(Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)>;

// Reserves the report's name in the emptied shared staging folder; empty when there is
// no shared folder or the name cannot be had.
std::wstring ReserveReport();
// Lets go of a reserved report and the shared staging folder (a cancelled save).
void ReleaseReport(const std::wstring& reportPath);
// The save once the report's name is reserved: the sections in order (a failed one
// does not stop the others), the report staged at `reportPath` and appended last, every
// listed file packed into the archive at `archivePath`; "<<< SAVING DATA ... >>>", then
// "Saved at ..." or "Saving FAILED at ..." to `status` (may be null). Afterwards the
// shared staging folder is gone; files of other managers stay.
SaveOutcome SaveArchive(const std::vector<SectionWriter>& writers, const std::wstring& archivePath,
                        const std::wstring& reportPath, IStatusInfo* status);

// What the scan sequence runs of a collection; a test puts its own steps in its place.
class ICollectionScan
{
  public:
    // Every model emptied, every staged file released.
    virtual void Clear() = 0;
    virtual void ScanStep(CollectionStep step, IStatusInfo* status) = 0;

  protected:
    ~ICollectionScan() = default;
};

class Collection : public ICollectionScan
{
  public:
    Collection();
    Collection(const Collection&) = delete;
    Collection& operator=(const Collection&) = delete;
    virtual ~Collection();

    void Clear() override;
    void ScanStep(CollectionStep step, IStatusInfo* status) override;
    // A whole scan from empty models, reported to `status` (may be null) with the
    // texts the window shows: "<<< SCANNING ... >>>", the steps', "Scanned at ...".
    void Scan(IStatusInfo* status);

    // The report's sections in their order: System, installed files, log files (which
    // list their files as attachments), other files (likewise). They refer to this
    // collection.
    std::vector<SectionWriter> SectionWriters();
    // The report and the archive at `archivePath`, without asking anything.
    SaveOutcome Save(const std::wstring& archivePath, IStatusInfo* status);

    SystemInfo& System() noexcept { return m_system; }
    const SystemInfo& System() const noexcept { return m_system; }
    ApplicationsInfo& InstalledFiles() noexcept { return m_installedFiles; }
    const ApplicationsInfo& InstalledFiles() const noexcept { return m_installedFiles; }
    LogFilesInfo& LogFiles() noexcept { return m_logFiles; }
    const LogFilesInfo& LogFiles() const noexcept { return m_logFiles; }
    OtherFilesInfo& OtherFiles() noexcept { return m_otherFiles.Info(); }
    const OtherFilesInfo& OtherFiles() const noexcept { return m_otherFiles.Info(); }
    // The staged driver report "Tarvik_UsbBox.txt", or empty when the scan wrote none.
    std::wstring DriverReportPath() const;

  private:
    std::vector<std::wstring> DriverFilePaths() const;

    // Declared first: the shared staging folder outlives every model that names files
    // in it.
    Misc::TmpFileManager m_sharedFolder;
    SystemInfo m_system;
    SystemXML m_systemXml;
    ApplicationsInfo m_installedFiles;
    ApplicationsXML m_installedFilesXml;
    LogFilesInfo m_logFiles;
    LogFilesXML m_logFilesXml;
    OtherFilesControl m_otherFiles;
};

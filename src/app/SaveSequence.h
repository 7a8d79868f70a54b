#pragma once
// The Save command: the report written section by section into the shared temporary
// folder, then packed with every file the sections list into the archive the user
// names.

#include "misc/Attachments.h"
#include "misc/CollectorContracts.h"
#include "report/XmlDocument.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// One section of the report: appends its element under `parent` (null: the root) and
// the paths of its files to `attachments`; true when the section is complete.
using SectionWriter =
    std::function<bool(Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)>;

struct SaveTargets
{
    HWND window = nullptr;         // owns the Save As dialog
    std::wstring archivePath;      // when given, the archive's path instead of the Save As dialog
    IStatusInfo* status = nullptr; // the window as status sink
    // In report order: System, installed files, log files, other files.
    std::vector<SectionWriter> writers;
};

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

SaveOutcome SaveSequence(const SaveTargets& targets);

#pragma once
// Where the findings meet the window and the save: the rules run over what the scan
// collected, and the report's "Problems" element gets them together with what went
// wrong while saving.

#include "app/SaveSequence.h"
#include "checks/OtherFilesInfo.h"
#include "inventory/ApplicationsInfo.h"
#include "problems/SaveRules.h"
#include "report/Findings.h"
#include "system/OsFacts.h"

#include <memory>
#include <optional>
#include <vector>

// The rules over one scan's inventory, driver hand-over, driver report and system facts.
FindingList JudgeCollected(const ApplicationsInfo& inventory, const OtherFilesInfo& otherFiles,
                           const OsFacts& os);

// Section outcomes of one save, shared by the writers that record them and the
// writer of the "Problems" element.
using SectionOutcomes = std::shared_ptr<std::vector<SectionOutcome>>;

// `write` under the section's name: its result is kept in `outcomes`.
SectionWriter RecordingWriter(const std::wstring& section, SectionWriter write, SectionOutcomes outcomes);

// Writes the "Problems" element: the scan's findings (none before a scan), then a
// section that was not written completely, then every listed file that cannot be read
// into the archive.
SectionWriter ProblemsWriter(std::optional<FindingList> scanFindings, SectionOutcomes outcomes);

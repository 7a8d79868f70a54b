#pragma once
// Where the findings meet the window, /save and the report: the rules run over what the
// collection's scan found, and the report's "Problems" element gets those findings
// together with what went wrong while saving.

#include "collection/Collection.h"
#include "report/Findings.h"

#include <optional>
#include <vector>

// The rules over the collection's inventory, driver hand-over, driver report and
// system facts.
FindingList JudgeCollection(const Collection& collection);

// The report's sections (in their order: System, Applications, LogFiles, OtherFiles)
// followed by the "Problems" element: the scan's findings (none before a scan), a
// section that was not written completely, and every listed file that cannot be read
// into the archive.
std::vector<SectionWriter> WritersWithProblems(std::vector<SectionWriter> sections,
                                               std::optional<FindingList> scanFindings);

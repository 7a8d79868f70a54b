#pragma once
// Rules over the registry exports of the product's keys.

#include "checks/RegistryExport.h"
#include "report/Findings.h"

#include <vector>

// A key that is there but could not be exported (a problem: the desk lacks the
// product's settings), and names a ".reg" file cannot hold that were left out of an
// export (a warning: the file is not the whole key).
FindingList RegistryExportFindings(const std::vector<RegistryExportOutcome>& outcomes);

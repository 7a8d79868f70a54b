#pragma once
// All the rules over one scan, in the order the findings are listed: installation
// folders and their libraries, the USB DMX interface, the system drive.

#include "checks/RegistryExport.h"
#include "inventory/ApplicationsInfo.h"
#include "report/Findings.h"
#include "system/OsFacts.h"

#include <string>

// What a scan collected that the rules read. Missing parts are left out of judging.
struct ScanFacts
{
    const ApplicationsInfo* inventory = nullptr;
    const Misc::List<ApplicationsInfo::FileInfo>* driverFiles = nullptr;
    std::wstring driverReport; // the driver report's text; empty when none was written
    const OsFacts* os = nullptr;
    const std::vector<RegistryExportOutcome>* registryExports = nullptr;
};

FindingList JudgeScan(const ScanFacts& facts);

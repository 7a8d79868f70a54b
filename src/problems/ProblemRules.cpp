#include "problems/ProblemRules.h"

#include "problems/DriverReportRules.h"
#include "problems/InventoryRules.h"
#include "problems/RegistryRules.h"
#include "problems/SystemRules.h"

namespace
{

void Append(FindingList& findings, FindingList more)
{
    findings.insert(findings.end(), std::make_move_iterator(more.begin()),
                    std::make_move_iterator(more.end()));
}

} // namespace

FindingList JudgeScan(const ScanFacts& facts)
{
    FindingList findings;
    if (facts.inventory)
    {
        Append(findings, FolderFindings(*facts.inventory));
        Append(findings, LoadTestFindings(*facts.inventory));
        Append(findings, VersionFindings(*facts.inventory));
        Append(findings, MachineTypeFindings(*facts.inventory));
        if (facts.driverFiles)
            Append(findings, UsbSupportFindings(*facts.inventory, *facts.driverFiles));
    }
    Append(findings, DriverReportFindings(facts.driverReport));
    if (facts.registryExports)
        Append(findings, RegistryExportFindings(*facts.registryExports));
    if (facts.os)
        Append(findings, DiskSpaceFindings(*facts.os));
    return findings;
}

#include "problems/SystemRules.h"

#include "misc/Text.h"

FindingList DiskSpaceFindings(const OsFacts& facts)
{
    if (!facts.scanned || facts.systemDrive.empty() || facts.systemDriveFreeBytes >= kLowDiskSpaceBytes)
        return {};
    const double mib = static_cast<double>(facts.systemDriveFreeBytes) / (1024.0 * 1024.0);
    return {{Severity::Warning, L"System drive",
             Misc::Format(L"Only %.0f MiB are free on %ls: the product may fail to save shows and logs.", mib,
                          facts.systemDrive.c_str())}};
}

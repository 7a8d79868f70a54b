#include "problems/RegistryRules.h"

#include "misc/Text.h"

FindingList RegistryExportFindings(const std::vector<RegistryExportOutcome>& outcomes)
{
    FindingList findings;
    for (const RegistryExportOutcome& outcome : outcomes)
    {
        if (outcome.failed)
            findings.push_back({Severity::Problem, L"Registry",
                                Misc::Format(L"The key %ls could not be exported to %ls.",
                                             outcome.keyPath.c_str(), outcome.fileName.c_str())});
        else if (outcome.namesLeftOut > 0)
            findings.push_back(
                {Severity::Warning, L"Registry",
                 Misc::Format(L"%u name(s) below %ls were left out of %ls: a .reg file cannot hold them (the "
                              L"program's output names them).",
                              outcome.namesLeftOut, outcome.keyPath.c_str(), outcome.fileName.c_str())});
    }
    return findings;
}

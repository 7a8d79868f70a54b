#include "app/ProblemsStep.h"

#include "problems/DriverReportRules.h"
#include "problems/ProblemRules.h"
#include "problems/SaveRules.h"
#include "report/ProblemsXML.h"

#include <memory>

namespace
{

constexpr const wchar_t* kSectionNames[] = {L"System", L"Applications", L"LogFiles", L"OtherFiles"};

using SectionOutcomes = std::shared_ptr<std::vector<SectionOutcome>>;

SectionWriter Recording(std::wstring section, SectionWriter write, SectionOutcomes outcomes)
{
    return [section = std::move(section), write = std::move(write),
            outcomes](Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)
    {
        const bool written = write && write(document, parent, attachments);
        outcomes->push_back({section, written});
        return written;
    };
}

// Runs after the sections, so that it knows which of them failed and which files
// they listed.
SectionWriter Problems(std::optional<FindingList> scanFindings, SectionOutcomes outcomes)
{
    return [scanFindings = std::move(scanFindings),
            outcomes](Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)
    {
        FindingList findings = scanFindings.value_or(FindingList());
        const FindingList sections = SectionFindings(*outcomes);
        findings.insert(findings.end(), sections.begin(), sections.end());
        std::vector<AttachmentOutcome> files;
        for (const std::wstring& path : attachments)
            files.push_back({path, AttachmentOpenError(path)});
        const FindingList unreadable = AttachmentFindings(files);
        findings.insert(findings.end(), unreadable.begin(), unreadable.end());
        return WriteProblems(document, parent, findings);
    };
}

} // namespace

FindingList JudgeCollection(const Collection& collection)
{
    ScanFacts facts;
    facts.inventory = &collection.InstalledFiles();
    facts.driverFiles = &collection.InstalledFiles().DriverFileList();
    facts.os = &collection.System().Os();
    facts.registryExports = &collection.OtherFiles().RegistryExportOutcomes();
    const std::wstring report = collection.DriverReportPath();
    if (!report.empty())
        facts.driverReport = ReadDriverReport(report);
    return JudgeScan(facts);
}

std::vector<SectionWriter> WritersWithProblems(std::vector<SectionWriter> sections,
                                               std::optional<FindingList> scanFindings)
{
    const SectionOutcomes outcomes = std::make_shared<std::vector<SectionOutcome>>();
    std::vector<SectionWriter> writers;
    for (std::size_t i = 0; i < sections.size(); ++i)
    {
        std::wstring name =
            i < std::size(kSectionNames) ? kSectionNames[i] : L"section " + std::to_wstring(i + 1);
        writers.push_back(Recording(std::move(name), std::move(sections[i]), outcomes));
    }
    writers.push_back(Problems(std::move(scanFindings), outcomes));
    return writers;
}

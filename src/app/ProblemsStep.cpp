#include "app/ProblemsStep.h"

#include "checks/DriverStep.h"
#include "misc/Text.h"
#include "problems/DriverReportRules.h"
#include "problems/ProblemRules.h"
#include "report/ProblemsXML.h"

FindingList JudgeCollected(const ApplicationsInfo& inventory, const OtherFilesInfo& otherFiles,
                           const OsFacts& os)
{
    ScanFacts facts;
    facts.inventory = &inventory;
    facts.driverFiles = &DriverFileList;
    facts.os = &os;
    otherFiles.ForEachEntry(
        [&facts](const OtherFilesInfo::FileEntry& entry)
        {
            if (Misc::EqualsNoCase(entry.FileName(), kDriverReportName))
                facts.driverReport = ReadDriverReport(entry.Path());
        });
    return JudgeScan(facts);
}

SectionWriter RecordingWriter(const std::wstring& section, SectionWriter write, SectionOutcomes outcomes)
{
    return [section, write = std::move(write), outcomes](Misc::XML_Document& document, IXMLDOMNode* parent,
                                                         Misc::AttachmentList& attachments)
    {
        const bool written = write && write(document, parent, attachments);
        outcomes->push_back({section, written});
        return written;
    };
}

SectionWriter ProblemsWriter(std::optional<FindingList> scanFindings, SectionOutcomes outcomes)
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

#include "problems/SaveRules.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "report/FileSystem.h"

std::uint32_t AttachmentOpenError(const std::wstring& path)
{
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    return file ? 0 : ::GetLastError();
}

FindingList SectionFindings(const std::vector<SectionOutcome>& sections)
{
    FindingList findings;
    for (const SectionOutcome& section : sections)
        if (!section.written)
            findings.push_back(
                {Severity::Problem, kReportArea,
                 L"The report's " + section.name + L" section could not be written completely."});
    return findings;
}

FindingList AttachmentFindings(const std::vector<AttachmentOutcome>& attachments)
{
    FindingList findings;
    for (const AttachmentOutcome& attachment : attachments)
    {
        if (attachment.error == 0)
            continue;
        std::wstring reason;
        Misc::SystemErrorText(attachment.error, reason);
        findings.push_back(
            {Severity::Problem, kReportArea,
             Misc::Format(L"%ls could not be read into the archive: %08X %ls", attachment.path.c_str(),
                          static_cast<unsigned>(attachment.error), OneLine(reason).c_str())});
    }
    return findings;
}

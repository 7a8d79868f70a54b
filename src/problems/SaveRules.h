#pragma once
// Rules over what went into the archive: a section of the report that could not be
// written completely, a file that could not be read into the archive, a registry key
// whose export failed or left values out.

#include "report/Findings.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr wchar_t kReportArea[] = L"Report";

struct SectionOutcome
{
    std::wstring name; // the section's element name, "LogFiles"
    bool written = true;
};

struct AttachmentOutcome
{
    std::wstring path;
    std::uint32_t error = 0; // 0 when the file can be read
};

// 0 when the file can be opened for reading the way the archive writer opens it,
// otherwise the system's error code.
std::uint32_t AttachmentOpenError(const std::wstring& path);

FindingList SectionFindings(const std::vector<SectionOutcome>& sections);
FindingList AttachmentFindings(const std::vector<AttachmentOutcome>& attachments);

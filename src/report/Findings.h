#pragma once
// What the program found wrong on the workstation: one line of text with its severity
// and where it was found. The rules make them after a scan; the System tab, the report's
// "Problems" element and the unattended output show them.

#include <string>
#include <vector>

enum class Severity
{
    Problem, // something the product needs is broken or missing
    Warning, // something that may explain trouble, or that the technician should look at
};

struct Finding
{
    Severity severity = Severity::Problem;
    std::wstring area; // an installation folder's label, "USB DMX test", "System drive", ...
    std::wstring text; // one line

    bool operator==(const Finding&) const = default;
};

using FindingList = std::vector<Finding>;

// "problem" or "warning": the report's attribute value.
const wchar_t* SeverityName(Severity severity);
// False for any other text.
bool SeverityFromName(const std::wstring& name, Severity& severity);

// One line for people: "Problem (AREA): TEXT", or "Problem: TEXT" without an area.
std::wstring FindingLine(const Finding& finding);
// "Problems found (N)", or "No problems found." for none.
std::wstring FindingsHeading(std::size_t count);

// `text` as one line: line breaks and tabs become blanks, runs of blanks one blank,
// and the ends are trimmed (a system error text ends with its own CR LF).
std::wstring OneLine(const std::wstring& text);

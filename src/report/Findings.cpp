#include "report/Findings.h"

#include "misc/Text.h"

const wchar_t* SeverityName(Severity severity)
{
    return severity == Severity::Warning ? L"warning" : L"problem";
}

bool SeverityFromName(const std::wstring& name, Severity& severity)
{
    if (name == L"problem")
        severity = Severity::Problem;
    else if (name == L"warning")
        severity = Severity::Warning;
    else
        return false;
    return true;
}

std::wstring FindingLine(const Finding& finding)
{
    const std::wstring label = finding.severity == Severity::Warning ? L"Warning" : L"Problem";
    if (finding.area.empty())
        return label + L": " + finding.text;
    return label + L" (" + finding.area + L"): " + finding.text;
}

std::wstring FindingsHeading(std::size_t count)
{
    if (count == 0)
        return L"No problems found.";
    return Misc::Format(L"Problems found (%u)", static_cast<unsigned>(count));
}

std::wstring OneLine(const std::wstring& text)
{
    std::wstring line;
    line.reserve(text.size());
    bool blank = false;
    for (wchar_t c : text)
    {
        if (c == L'\r' || c == L'\n' || c == L'\t' || c == L' ')
        {
            blank = !line.empty();
            continue;
        }
        if (blank)
            line += L' ';
        blank = false;
        line += c;
    }
    return line;
}

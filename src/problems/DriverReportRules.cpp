#include "problems/DriverReportRules.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "problems/InventoryRules.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace
{

// What the report says about one driver generation beside one USB support library.
struct GenerationOutcome
{
    std::wstring library; // full path
    bool missing = false;
    std::wstring failure; // why it could not be used, or empty
    std::optional<int> boxes;
};

struct SupportOutcome
{
    std::wstring path;
    std::vector<GenerationOutcome> generations;
};

bool StartsWith(const std::wstring& line, const wchar_t* prefix)
{
    return line.rfind(prefix, 0) == 0;
}

// The text between the first quote mark after `prefix` and the last one.
std::wstring Quoted(const std::wstring& line, std::size_t from)
{
    const std::size_t open = line.find(L'\'', from);
    const std::size_t close = line.rfind(L'\'');
    if (open == std::wstring::npos || close <= open)
        return {};
    return line.substr(open + 1, close - open - 1);
}

std::wstring FileNameOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The system's reason from the "\tLastError : %08X = text" line after a failure.
std::wstring ReasonAfter(const std::vector<std::wstring>& lines, std::size_t index)
{
    for (std::size_t i = index + 1; i < lines.size() && i <= index + 2; ++i)
    {
        const std::size_t at = lines[i].find(L"LastError : ");
        if (at != std::wstring::npos)
            return L": " + OneLine(lines[i].substr(at + 12));
    }
    return {};
}

// One line of the driver's own log into the outcome of the generation being tested.
void ReadDriverLine(const std::vector<std::wstring>& lines, std::size_t i, GenerationOutcome& generation)
{
    const std::wstring& line = lines[i];
    if (!generation.failure.empty())
        return;
    if (StartsWith(line, L"Failed to load '") && line.size() > 7 && line.ends_with(L" due to") &&
        i + 1 < lines.size())
        generation.failure = L"could not be loaded: its dependency " + Quoted(lines[i + 1], 0) +
                             L" cannot be loaded" + ReasonAfter(lines, i + 1);
    else if (StartsWith(line, L"Failed to load '"))
        generation.failure = L"could not be loaded" + ReasonAfter(lines, i);
    else if (StartsWith(line, L"Failed to get the entry point for Dmxbox()"))
        generation.failure = L"has no Dmxbox entry point: it is no USB DMX driver";
    else if (StartsWith(line, L"InitDriver call failed"))
        generation.failure = L"loaded, but the driver could not be initialised";
    else if (StartsWith(line, L"\t[ the driver "))
        generation.failure =
            L"test stopped: " + OneLine(line.substr(3, line.size() > 5 ? line.size() - 5 : 0));
}

std::vector<SupportOutcome> ReadOutcomes(const std::wstring& report)
{
    std::vector<SupportOutcome> outcomes;
    const std::vector<std::wstring> lines = SplitLines(report);
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        const std::wstring& line = lines[i];
        if (StartsWith(line, L"TESTING '"))
            outcomes.push_back({Quoted(line, 0), {}});
        else if (outcomes.empty())
            continue;
        else if (StartsWith(line, L"Try accessing Tarvik USB Boxes using '"))
            outcomes.back().generations.push_back({Quoted(line, 0)});
        else if (outcomes.back().generations.empty())
            continue;
        else if (StartsWith(line, L"\t[ file does not exist ]"))
            outcomes.back().generations.back().missing = true;
        else if (int count = 0; swscanf_s(line.c_str(), L"Found %d boxes", &count) == 1)
            outcomes.back().generations.back().boxes = count;
        else
            ReadDriverLine(lines, i, outcomes.back().generations.back());
    }
    return outcomes;
}

void JudgeSupport(const SupportOutcome& support, FindingList& findings)
{
    std::size_t missing = 0, searched = 0, empty = 0;
    for (const GenerationOutcome& generation : support.generations)
    {
        if (generation.missing)
        {
            ++missing;
            continue;
        }
        if (!generation.failure.empty())
            findings.push_back({Severity::Problem, kUsbTestArea,
                                generation.library + L" " + generation.failure +
                                    (generation.failure.back() == L'.' ? L"" : L".")});
        if (generation.boxes)
        {
            ++searched;
            empty += *generation.boxes == 0 ? 1 : 0;
        }
    }
    if (missing > 0 && missing == support.generations.size())
        findings.push_back(
            {Severity::Problem, kUsbTestArea, L"No USB DMX driver library is beside " + support.path + L"."});
    else
        for (const GenerationOutcome& generation : support.generations)
            if (generation.missing)
                findings.push_back({Severity::Warning, kUsbTestArea,
                                    L"The driver library " + FileNameOf(generation.library) +
                                        L" is missing beside " + support.path + L"."});
    if (searched > 0 && empty == searched)
        findings.push_back(
            {Severity::Warning, kUsbTestArea,
             L"No USB DMX box was found through the drivers beside " + support.path + L" (Found 0 boxes)."});
}

} // namespace

FindingList DriverReportFindings(const std::wstring& report)
{
    FindingList findings;
    for (const SupportOutcome& support : ReadOutcomes(report))
        JudgeSupport(support, findings);
    return findings;
}

std::wstring ReadDriverReport(const std::wstring& path)
{
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    // The report is a few kilobytes; anything beyond 16 MiB is not one.
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 2 || size.QuadPart > (16 << 20))
        return {};
    std::wstring text(static_cast<std::size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    if (!::ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read,
                    nullptr))
        return {};
    text.resize(read / sizeof(wchar_t));
    if (!text.empty() && text.front() == 0xFEFF)
        text.erase(0, 1);
    return text;
}

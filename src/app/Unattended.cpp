#include "app/Unattended.h"

#include "app/ProblemsStep.h"
#include "collection/Collection.h"
#include "misc/MessageBox.h"
#include "misc/Text.h"

#include <cstdio>

namespace
{

bool IsUsable(HANDLE handle)
{
    return handle && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Lines of several lines keep the platform's line ends.
std::wstring WithLineEnds(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text)
    {
        if (c == L'\n')
            out += L'\r';
        out += c;
    }
    return out + L"\r\n";
}

} // namespace

// Output redirected by the caller (a file, a pipe of a deployment tool) is used as it
// is. Otherwise the program attaches to the console of the command prompt that started
// it; the C runtime's output (diagnostic lines of the registry export) is pointed there
// too. Started by double-click or by a tool without output, the lines go nowhere.
ConsoleOutput::ConsoleOutput()
{
    m_handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (!IsUsable(m_handle) && ::AttachConsole(ATTACH_PARENT_PROCESS))
    {
        FILE* reopened = nullptr;
        _wfreopen_s(&reopened, L"CONOUT$", L"w", stdout);
        _wfreopen_s(&reopened, L"CONOUT$", L"w", stderr);
        m_handle = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
        if (IsUsable(m_handle))
            ::SetStdHandle(STD_OUTPUT_HANDLE, m_handle);
    }
    DWORD mode = 0;
    m_console = IsUsable(m_handle) && ::GetConsoleMode(m_handle, &mode);
}

// A console takes the text as it is; a file or a pipe gets UTF-8.
void ConsoleOutput::WriteLine(const std::wstring& text)
{
    std::fflush(stdout);
    if (!IsUsable(m_handle))
        return;
    const std::wstring line = WithLineEnds(text);
    DWORD written = 0;
    if (m_console)
    {
        ::WriteConsoleW(m_handle, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string bytes = Misc::ToCodePage(line, CP_UTF8);
    ::WriteFile(m_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void ConsoleStatus::ShowActivity(const wchar_t* text)
{
    m_output.WriteLine(Misc::Format(L"<<< %ls >>>", text ? text : L""));
}

// The empty text with which a scan clears the status line is no line of its own.
void ConsoleStatus::SetStatus(const wchar_t* text)
{
    if (text && *text)
        m_output.WriteLine(text);
}

namespace
{

// No one is there to answer a box: its text becomes a line, and the box counts as
// answered with its only button.
class UnattendedMessageBoxes
{
  public:
    explicit UnattendedMessageBoxes(ConsoleOutput& output)
        : m_previous(Misc::SetMessageBoxHandler(
              [&output](HWND, const std::wstring& text, const std::wstring& caption, UINT)
              {
                  output.WriteLine(caption + L": " + text);
                  return IDOK;
              }))
    {
    }
    ~UnattendedMessageBoxes() { Misc::SetMessageBoxHandler(std::move(m_previous)); }
    UnattendedMessageBoxes(const UnattendedMessageBoxes&) = delete;
    UnattendedMessageBoxes& operator=(const UnattendedMessageBoxes&) = delete;

  private:
    Misc::MessageBoxHandler m_previous;
};

int Collect(ConsoleOutput& output, const std::wstring& archivePath)
{
    UnattendedMessageBoxes boxes(output);
    ConsoleStatus status(output);
    SaveOutcome outcome = SaveOutcome::NotStarted;
    {
        // The same scan and save as the window's, without any window: the collection
        // and its staging folders live only inside this block, whose end deletes every
        // staged file, whatever the outcome.
        Collection collection;
        collection.Scan(&status);
        // Nobody looks at a window: what the rules found is a line each after
        // "Scanned at ...".
        const FindingList findings = JudgeCollection(collection);
        output.WriteLine(FindingsHeading(findings.size()));
        for (const Finding& finding : findings)
            output.WriteLine(FindingLine(finding));
        const std::wstring reportPath = ReserveReport();
        if (!reportPath.empty())
            outcome = SaveArchive(WritersWithProblems(collection.SectionWriters(), findings), archivePath,
                                  reportPath, &status);
    }
    std::fflush(stdout);
    if (outcome == SaveOutcome::Saved)
        return kExitSaved;
    if (outcome == SaveOutcome::NotStarted)
        output.WriteLine(L"Saving FAILED: the report could not be staged in the temporary folder.");
    else if (!outcome.failure.empty())
        output.WriteLine(outcome.failure);
    return kExitFailed;
}

} // namespace

int RunUnattended(const CommandLine& commandLine)
{
    ConsoleOutput output;
    switch (commandLine.mode)
    {
    case CommandLine::Mode::Usage:
        output.WriteLine(kUsageText);
        return kExitSaved;
    case CommandLine::Mode::Error:
        output.WriteLine(commandLine.error);
        output.WriteLine(kUsageLine);
        return kExitUsage;
    case CommandLine::Mode::Save:
        break;
    case CommandLine::Mode::Window:
    case CommandLine::Mode::Open:
        return kExitSaved; // the window's, never run here
    }
    const std::wstring archivePath = ResolveArchivePath(commandLine.path, DefaultArchiveName());
    const std::wstring problem = PrepareArchivePath(archivePath);
    if (!problem.empty())
    {
        output.WriteLine(problem);
        return kExitUsage;
    }
    output.WriteLine(L"Collecting into " + archivePath);
    return Collect(output, archivePath);
}

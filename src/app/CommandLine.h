#pragma once
// The program's command line: nothing (the window), "/save [PATH]" (unattended
// collection), "/?" or "/help" (usage). Options are case-insensitive and may also
// start with "-".

#include <string>
#include <vector>

struct CommandLine
{
    enum class Mode
    {
        Window, // no arguments: the program as it always was
        Save,   // scan and save to `path` (empty: the default name) without a window
        Usage,  // print the usage, exit 0
        Error,  // print `error` and the usage line, exit 2
    };
    Mode mode = Mode::Window;
    std::wstring path;
    std::wstring error;
};

// The exit codes of unattended collection.
constexpr int kExitSaved = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

extern const wchar_t kUsageLine[];
extern const wchar_t kUsageText[];

// `args` without the program's own name.
CommandLine ParseCommandLine(const std::vector<std::wstring>& args);

// The arguments of the running process, without the program's own name.
std::vector<std::wstring> ProcessArguments();

// The archive's full path: `path` taken relative to `currentDir`, or `defaultName` in
// `currentDir` when `path` is empty. Empty when the path cannot be formed.
std::wstring ResolveArchivePath(const std::wstring& path, const std::wstring& defaultName);

// Makes sure the archive can be written at `fullPath` before anything is scanned:
// missing folders are created; an existing file stays as it is until the save
// replaces it. Gives an empty text, or one line that says what is wrong.
std::wstring PrepareArchivePath(const std::wstring& fullPath);

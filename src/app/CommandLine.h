#pragma once
// The program's command line: nothing (the window), "/save [PATH]" (unattended
// collection), "PATH" of an existing file or "/open PATH" (the window showing a saved
// archive), "/?" or "/help" (usage). Options are case-insensitive and may also start
// with "-".

#include <functional>
#include <string>
#include <vector>

struct CommandLine
{
    enum class Mode
    {
        Window, // no arguments: the program as it always was
        Save,   // scan and save to `path` (empty: the default name) without a window
        Open,   // the window, showing the archive at `path` instead of scanning
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

// Whether a path names an existing file (not a folder).
using FileCheck = std::function<bool(const std::wstring& path)>;
bool IsExistingFile(const std::wstring& path);

// `args` without the program's own name. A lone argument that is no option opens the
// file it names when `isFile` says it exists: the shell's "Open with" and a file
// dropped on the program's icon start it so.
CommandLine ParseCommandLine(const std::vector<std::wstring>& args, const FileCheck& isFile = IsExistingFile);

// The arguments of the running process, without the program's own name.
std::vector<std::wstring> ProcessArguments();

// The archive's full path: `path` taken relative to `currentDir`, or `defaultName` in
// `currentDir` when `path` is empty. Empty when the path cannot be formed.
std::wstring ResolveArchivePath(const std::wstring& path, const std::wstring& defaultName);

// Makes sure the archive can be written at `fullPath` before anything is scanned:
// missing folders are created; an existing file stays as it is until the save
// replaces it. Gives an empty text, or one line that says what is wrong.
std::wstring PrepareArchivePath(const std::wstring& fullPath);

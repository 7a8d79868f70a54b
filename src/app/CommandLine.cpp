#include "app/CommandLine.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "report/FileSystem.h"

#include <shellapi.h>

const wchar_t kUsageLine[] = L"Usage: OrvoDiag.exe [/save [PATH] | [/open] ARCHIVE] [/?]";

const wchar_t kUsageText[] =
    L"Usage: OrvoDiag.exe [/save [PATH] | [/open] ARCHIVE] [/?]\n"
    L"\n"
    L"  (no option)   Opens the window: it scans by itself; Save writes the archive.\n"
    L"  [/open] ARCHIVE  Opens the window showing a saved archive instead of scanning\n"
    L"                this workstation (a file may also be dropped on the window).\n"
    L"  /save [PATH]  Scans and writes the archive to PATH without showing a window.\n"
    L"                PATH is taken relative to the current folder; a folder (or a\n"
    L"                path ending in \\) gets the default name OrvoDiag_%Y%m%d_%H%M.zip,\n"
    L"                and so does a missing PATH, in the current folder. Missing\n"
    L"                folders are created, an existing file is replaced.\n"
    L"  /?, /help     Shows this text.\n"
    L"\n"
    L"Options may also start with - and are not case-sensitive.\n"
    L"Exit code: 0 saved, 1 saving failed (the archive holds what could be saved),\n"
    L"2 wrong command line or an archive path that cannot be written.\n"
    L"From an interactive command prompt, use: start /wait OrvoDiag.exe /save ...";

namespace
{

bool IsOption(const std::wstring& arg)
{
    return arg.size() >= 2 && (arg[0] == L'/' || arg[0] == L'-');
}

// Whether the option, without its "/" or "-", is `name` (letter case ignored).
bool IsOptionNamed(const std::wstring& arg, const wchar_t* name)
{
    return Misc::EqualsNoCase(arg.substr(1), name);
}

CommandLine Error(const std::wstring& text)
{
    CommandLine result;
    result.mode = CommandLine::Mode::Error;
    result.error = text;
    return result;
}

} // namespace

// A request for help wins over everything else on the line, so that "/save /?" shows
// the usage instead of starting a scan. Anything the program does not know is an
// error: a mistyped option must not start a collection that the caller did not ask for.
CommandLine ParseCommandLine(const std::vector<std::wstring>& args, const FileCheck& isFile)
{
    for (const std::wstring& arg : args)
        if (IsOption(arg) && (IsOptionNamed(arg, L"?") || IsOptionNamed(arg, L"help")))
            return CommandLine{CommandLine::Mode::Usage, {}, {}};
    if (args.size() == 1 && !IsOption(args[0]) && isFile && isFile(args[0]))
        return CommandLine{CommandLine::Mode::Open, args[0], {}};

    CommandLine result;
    bool pathGiven = false;
    for (const std::wstring& arg : args)
    {
        if (IsOption(arg))
        {
            const bool save = IsOptionNamed(arg, L"save");
            if (!save && !IsOptionNamed(arg, L"open"))
                return Error(L"Unknown option: " + arg);
            const CommandLine::Mode mode = save ? CommandLine::Mode::Save : CommandLine::Mode::Open;
            if (result.mode == mode)
                return Error(L"The option " + arg + L" is given twice.");
            if (result.mode != CommandLine::Mode::Window)
                return Error(L"The options /save and /open cannot be combined.");
            result.mode = mode;
            continue;
        }
        if (result.mode == CommandLine::Mode::Window)
            return Error(L"Unexpected argument: " + arg);
        if (pathGiven)
            return Error(L"More than one archive path: " + result.path + L" and " + arg);
        if (arg.empty())
            return Error(L"The archive path is empty.");
        result.path = arg;
        pathGiven = true;
    }
    if (result.mode == CommandLine::Mode::Open && !pathGiven)
        return Error(L"The option /open needs the archive's path.");
    return result;
}

bool IsExistingFile(const std::wstring& path)
{
    return Misc::PathExists(path) && !Misc::DirectoryExists(path);
}

std::vector<std::wstring> ProcessArguments()
{
    std::vector<std::wstring> args;
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const Misc::LocalMemory owner(argv);
    for (int i = 1; argv && i < count; ++i)
        args.emplace_back(argv[i]);
    return args;
}

namespace
{

// Every missing folder on the way. A file of that name is no folder; the error code
// then says that the name is taken.
bool CreateFolders(const std::wstring& folder, DWORD& error)
{
    if (Misc::DirectoryExists(folder)) // a drive's root among them, which cannot be made
        return true;
    const int result = Misc::CreateFolders(folder);
    if (result == 0 && Misc::DirectoryExists(folder))
        return true;
    error = result == 0    ? ERROR_ALREADY_EXISTS
            : result == -1 ? ERROR_BAD_PATHNAME
                           : static_cast<DWORD>(result);
    return false;
}

} // namespace

std::wstring ResolveArchivePath(const std::wstring& path, const std::wstring& defaultName)
{
    if (path.empty())
        return Misc::FullPath(defaultName);
    const wchar_t last = path.back();
    if (last == L'\\' || last == L'/' || Misc::DirectoryExists(path))
        return Misc::FullPath(Misc::JoinPath(path, defaultName));
    return Misc::FullPath(path);
}

// The probe opens an existing file without changing it, and a new one only for as long
// as the probe lasts, so that a collection that ends early leaves no empty archive.
std::wstring PrepareArchivePath(const std::wstring& fullPath)
{
    if (fullPath.empty())
        return L"The archive path cannot be used.";
    if (Misc::DirectoryExists(fullPath))
        return L"The archive path is a folder: " + fullPath;
    const std::wstring folder = Misc::ComposePath(fullPath, Misc::PathFolder);
    DWORD error = 0;
    if (!CreateFolders(folder, error))
        return L"Cannot create the folder " + folder + L": " + Misc::SystemErrorLine(error);

    const bool exists = Misc::PathExists(fullPath);
    const Misc::FileHandle probe(
        ::CreateFileW(fullPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, exists ? OPEN_EXISTING : CREATE_NEW,
                      exists ? FILE_ATTRIBUTE_NORMAL : FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!probe)
        return L"Cannot write the archive " + fullPath + L": " + Misc::SystemErrorLine(::GetLastError());
    return {};
}

#include "app/CommandLine.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "report/FileSystem.h"

#include <shellapi.h>

#include <cwctype>

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

// The option's name without its "/" or "-", in lower case (options are ASCII).
std::wstring OptionName(const std::wstring& arg)
{
    std::wstring name = arg.substr(1);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    return name;
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
        if (IsOption(arg) && (OptionName(arg) == L"?" || OptionName(arg) == L"help"))
            return CommandLine{CommandLine::Mode::Usage, {}, {}};
    if (args.size() == 1 && !IsOption(args[0]) && isFile && isFile(args[0]))
        return CommandLine{CommandLine::Mode::Open, args[0], {}};

    CommandLine result;
    bool pathGiven = false;
    for (const std::wstring& arg : args)
    {
        if (IsOption(arg))
        {
            const std::wstring name = OptionName(arg);
            if (name != L"save" && name != L"open")
                return Error(L"Unknown option: " + arg);
            const CommandLine::Mode mode =
                name == L"save" ? CommandLine::Mode::Save : CommandLine::Mode::Open;
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
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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

std::wstring ErrorText(DWORD code)
{
    std::wstring text;
    Misc::SystemErrorText(code, text);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? Misc::Format(L"error %lu", code) : text;
}

// Every missing folder on the way, from the top down.
bool CreateFolders(const std::wstring& folder, DWORD& error)
{
    if (folder.empty() || Misc::DirectoryExists(folder))
        return true;
    std::wstring parent = folder;
    while (!parent.empty() && (parent.back() == L'\\' || parent.back() == L'/'))
        parent.pop_back();
    const std::size_t cut = parent.find_last_of(L"\\/");
    if (cut != std::wstring::npos && !CreateFolders(parent.substr(0, cut + 1), error))
        return false;
    if (::CreateDirectoryW(folder.c_str(), nullptr))
        return true;
    error = ::GetLastError();
    // Another process may have made it meanwhile; a file of that name is no folder.
    if (error == ERROR_ALREADY_EXISTS && Misc::DirectoryExists(folder))
        return true;
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
        return L"Cannot create the folder " + folder + L": " + ErrorText(error);

    const bool exists = ::GetFileAttributesW(fullPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    const Misc::FileHandle probe(
        ::CreateFileW(fullPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, exists ? OPEN_EXISTING : CREATE_NEW,
                      exists ? FILE_ATTRIBUTE_NORMAL : FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!probe)
        return L"Cannot write the archive " + fullPath + L": " + ErrorText(::GetLastError());
    return {};
}

#include "logs/ShellOpen.h"

#include "misc/Handles.h"
#include "report/FileSystem.h"

#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include <utility>
#include <vector>

namespace
{

ShellOpenHandler& Handler()
{
    static ShellOpenHandler handler;
    return handler;
}

std::wstring& NotepadProgram()
{
    static std::wstring program;
    return program;
}

std::wstring SystemNotepad()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return L"notepad.exe";
    return Misc::JoinPath(folder, L"notepad.exe");
}

// Whether any program is registered to open files of this name's type; the shell
// would otherwise ask the user to pick one, or fail.
bool HasAssociation(const std::wstring& path)
{
    const wchar_t* extension = ::PathFindExtensionW(path.c_str());
    if (!extension || !*extension)
        return false;
    DWORD size = 0;
    const HRESULT result =
        ::AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCSTR_COMMAND, extension, nullptr, nullptr, &size);
    return result == S_OK || result == S_FALSE;
}

// Gives the system's error code, 0 when the shell started the program.
DWORD ShellOpen(const std::wstring& path)
{
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpFile = path.c_str();
    execute.nShow = SW_SHOW;
    if (::ShellExecuteExW(&execute))
        return 0;
    const DWORD error = ::GetLastError();
    if (!error || reinterpret_cast<INT_PTR>(execute.hInstApp) == SE_ERR_NOASSOC)
        return ERROR_NO_ASSOCIATION;
    return error;
}

DWORD OpenWithNotepad(const std::wstring& path)
{
    const std::wstring program = NotepadProgram().empty() ? SystemNotepad() : NotepadProgram();
    std::wstring command = L"\"" + program + L"\" \"" + path + L"\"";
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started))
        return ::GetLastError();
    const Misc::KernelHandle process(started.hProcess);
    const Misc::KernelHandle thread(started.hThread);
    return 0;
}

} // namespace

// The default verb with no owner window: the associated program decides how it shows
// the log. Without one, Notepad shows any log as text.
std::wstring OpenWithShell(const std::wstring& path)
{
    if (const ShellOpenHandler& handler = Handler())
    {
        handler(path);
        return {};
    }
    DWORD error = ERROR_NO_ASSOCIATION;
    if (HasAssociation(path))
        error = ShellOpen(path);
    if (error == ERROR_NO_ASSOCIATION)
        error = OpenWithNotepad(path);
    if (!error)
        return {};
    return L"Cannot open " + Misc::ComposePath(path, Misc::PathFileName) + L": " +
           Misc::SystemErrorLine(error);
}

ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}

std::wstring SetNotepadProgram(const std::wstring& program)
{
    return std::exchange(NotepadProgram(), program);
}

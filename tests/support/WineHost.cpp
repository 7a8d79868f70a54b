#include "WineHost.h"
#include "misc/Handles.h"

#include "TestSupport.h"

#include <cstdlib>

namespace OrvoTest
{

std::string UnixPath(const std::wstring& path)
{
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!convert)
        return {};
    char* unix = convert(path.c_str());
    if (!unix)
        return {};
    std::string result = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

// Wine's handle of a Linux process is signalled as soon as the process is started, not
// when it ends: the command writes its exit code into a file, and that file is waited for.
int RunUnixShell(const std::string& command)
{
    wchar_t temp[MAX_PATH] = {};
    if (!::GetTempPathW(MAX_PATH, temp))
        return -1;
    static int counter = 0;
    const std::wstring marker = std::wstring(temp) + L"orvo_unix_" +
                                std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++counter) +
                                L".rc";
    const std::string unixMarker = UnixPath(marker);
    if (unixMarker.empty())
        return -1;
    std::string line = "/bin/sh -c \"(" + command + "); echo $? > '" + unixMarker + ".tmp'; mv '" +
                       unixMarker + ".tmp' '" + unixMarker + "'\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA("Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return -1;
    const Misc::KernelHandle thread(process.hThread);
    const Misc::KernelHandle child(process.hProcess);
    for (int waited = 0; waited < 60000 && !Exists(marker); waited += 20)
        ::Sleep(20);
    const std::string code = ReadBytes(marker);
    ::DeleteFileW(marker.c_str());
    return code.empty() ? -1 : std::atoi(code.c_str());
}

namespace
{

bool IsDirectoryLink(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    const DWORD link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & link) == link;
}

} // namespace

bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target)
{
    constexpr DWORD kUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | kUnprivileged) &&
        IsDirectoryLink(link))
        return true;
    const std::string unixTarget = UnixPath(target);
    const std::string unixLink = UnixPath(link);
    if (unixTarget.empty() || unixLink.empty())
        return false;
    return RunUnixShell("ln -s '" + unixTarget + "' '" + unixLink + "'") == 0 && IsDirectoryLink(link);
}

void RemoveDirectoryLink(const std::wstring& link)
{
    if (!IsDirectoryLink(link))
        return;
    if (!::RemoveDirectoryW(link.c_str()) || IsDirectoryLink(link))
    {
        const std::string unixLink = UnixPath(link);
        if (!unixLink.empty())
            RunUnixShell("rm -f '" + unixLink + "'");
    }
}

} // namespace OrvoTest

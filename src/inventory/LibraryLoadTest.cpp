#include "inventory/LibraryLoadTest.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "report/FileSystem.h"

#include <windows.h>

namespace
{

constexpr UINT kQuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
constexpr DWORD kSystemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// The process-wide search folder and error mode are changed only for the duration of
// one load and put back even if the load throws.
class LoadEnvironment
{
  public:
    explicit LoadEnvironment(const std::wstring& folder)
    {
        ::SetDllDirectoryW(folder.c_str());
        m_previousMode = ::SetErrorMode(kQuietErrorMode);
    }
    ~LoadEnvironment()
    {
        ::SetErrorMode(m_previousMode);
        ::SetDllDirectoryW(nullptr);
    }
    LoadEnvironment(const LoadEnvironment&) = delete;
    LoadEnvironment& operator=(const LoadEnvironment&) = delete;

  private:
    UINT m_previousMode = 0;
};

void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with)
{
    for (std::size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

} // namespace

std::wstring LoadFailedLine(unsigned long code, const wchar_t* systemText, const std::wstring& fileName)
{
    if (!systemText)
        return Misc::Format(L"Load failed: %08X", static_cast<unsigned>(code));
    std::wstring line = Misc::Format(L"Load failed: %08X ", static_cast<unsigned>(code)) + systemText;
    ReplaceAll(line, L"%1", fileName);
    return line;
}

namespace
{

bool LoadSystemText(unsigned long code, std::wstring& text)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(kSystemTextFlags, nullptr, code, LANG_USER_DEFAULT,
                                          reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    Misc::LocalMemory owner(buffer);
    if (length == 0 || !buffer)
        return false;
    text = buffer;
    return true;
}

} // namespace

std::wstring LoadFailedDetail(unsigned long code, const std::wstring& fileName)
{
    std::wstring text;
    return LoadFailedLine(code, LoadSystemText(code, text) ? text.c_str() : nullptr, fileName);
}

// The library is loaded into this process, so its own initialisation runs here; its
// dependencies are searched in its folder first.
std::wstring LibraryLoadDetailHere(const std::wstring& path)
{
    DWORD error = ERROR_SUCCESS;
    Misc::ModuleHandle module;
    {
        LoadEnvironment environment(Misc::ComposePath(path, Misc::PathFolder));
        module.Reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        if (!module)
            error = ::GetLastError();
    }
    if (module)
        return L"Loaded correctly.";

    return LoadFailedDetail(error, Misc::ComposePath(path, Misc::PathFileName));
}

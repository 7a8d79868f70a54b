#include "app/SaveAsDialog.h"

#include "misc/Handles.h"
#include "report/FileSystem.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <utility>
#include <vector>

namespace
{

SaveAsHandler& CurrentHandler()
{
    static SaveAsHandler handler;
    return handler;
}

// The folder of the last archive chosen in this run; empty before the first.
std::wstring& LastFolder()
{
    static std::wstring folder;
    return folder;
}

std::wstring DocumentsFolder()
{
    Misc::CoTaskMemory<wchar_t> path;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, path.Put())) || !path)
        return {};
    return path.Get();
}

// The folder part of a chosen path, without its last backslash unless it is a root.
std::wstring FolderOf(const std::wstring& path)
{
    std::wstring folder = Misc::ComposePath(path, Misc::PathFolder);
    if (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

void SetStartFolder(IFileDialog& dialog, const std::wstring& folder)
{
    if (folder.empty() || !Misc::DirectoryExists(folder))
        return;
    Misc::ComPtr<IShellItem> item;
    if (SUCCEEDED(::SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem, item.PutVoid())) &&
        item)
        dialog.SetFolder(item.Get());
}

constexpr wchar_t kFilterName[] = L"ZIP files (*.zip)";
constexpr wchar_t kFilterPattern[] = L"*.zip";
constexpr wchar_t kDefaultExtension[] = L"zip";

// Gives false when the newer dialog is not available at all; `path` stays empty when
// the user cancelled.
bool ShowFileSaveDialog(HWND owner, const std::wstring& defaultName, const std::wstring& startFolder,
                        std::wstring& path)
{
    Misc::ComPtr<IFileSaveDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                                  dialog.PutVoid())) ||
        !dialog)
        return false;
    const COMDLG_FILTERSPEC types[] = {{kFilterName, kFilterPattern}};
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->SetFileTypes(1, types)) || FAILED(dialog->SetFileTypeIndex(1)) ||
        FAILED(dialog->SetDefaultExtension(kDefaultExtension)) ||
        FAILED(dialog->SetFileName(defaultName.c_str())) || FAILED(dialog->GetOptions(&options)) ||
        FAILED(dialog->SetOptions(options | FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST |
                                  FOS_NOREADONLYRETURN)))
        return false;
    SetStartFolder(*dialog.Get(), startFolder);
    if (FAILED(dialog->Show(owner)))
        return true; // cancelled (or closed): no path
    Misc::ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Put())) || !item)
        return true;
    Misc::CoTaskMemory<wchar_t> name;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, name.Put())) && name)
        path = name.Get();
    return true;
}

std::wstring ShowOlderSaveDialog(HWND owner, const std::wstring& defaultName, const std::wstring& startFolder)
{
    std::vector<wchar_t> buffer(32768, L'\0');
    defaultName.copy(buffer.data(), buffer.size() - 1);
    std::wstring filter = std::wstring(kFilterName) + L'\0' + kFilterPattern + L'\0' + L'\0';
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrDefExt = kDefaultExtension;
    ofn.lpstrInitialDir = startFolder.empty() ? nullptr : startFolder.c_str();
    ofn.Flags =
        OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
    if (!::GetSaveFileNameW(&ofn))
        return {};
    return buffer.data();
}

} // namespace

std::wstring ShowSaveAsDialog(HWND owner, const std::wstring& defaultName, const std::wstring& startFolder)
{
    std::wstring path;
    if (ShowFileSaveDialog(owner, defaultName, startFolder, path))
        return path;
    return ShowOlderSaveDialog(owner, defaultName, startFolder);
}

std::wstring SaveAsStartFolder()
{
    return LastFolder().empty() ? DocumentsFolder() : LastFolder();
}

// The platform would start wherever any program last saved (under Wine: the desktop);
// the user's next step is to find the archive, so it goes where the last one went.
std::wstring AskArchivePath(HWND owner, const std::wstring& defaultName)
{
    const SaveAsHandler& handler = CurrentHandler();
    const std::wstring path =
        handler ? handler(owner, defaultName) : ShowSaveAsDialog(owner, defaultName, SaveAsStartFolder());
    if (!path.empty())
        LastFolder() = FolderOf(path);
    return path;
}

SaveAsHandler SetSaveAsHandler(SaveAsHandler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

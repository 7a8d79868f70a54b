#pragma once
// After a save, the archive's folder is opened in the file browser with the archive
// selected: the user's next step is to attach it to a message. Tests replace the shell.

#include <functional>
#include <string>

// Opens the folder of `path` with the file selected (or the handler that replaces
// the shell); gives false when the shell could not.
bool ShowInFolder(const std::wstring& path);

using ShowInFolderHandler = std::function<bool(const std::wstring& path)>;
// Replaces the shell (an empty handler restores it); gives the previous handler.
ShowInFolderHandler SetShowInFolderHandler(ShowInFolderHandler handler);

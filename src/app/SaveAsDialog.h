#pragma once
// The Save As dialog that asks for the archive's path: the platform's newer style
// (IFileSaveDialog), with ZIP files as the only type, "zip" as default extension and a
// confirmation before an existing file is overwritten. Tests replace it.

#include <windows.h>

#include <functional>
#include <string>

// The chosen path, or empty when the user cancelled. The dialog starts in the folder
// of the last archive chosen in this run, the first time in the user's Documents.
std::wstring AskArchivePath(HWND owner, const std::wstring& defaultName);
// Where the next Save As dialog starts.
std::wstring SaveAsStartFolder();

using SaveAsHandler = std::function<std::wstring(HWND owner, const std::wstring& defaultName)>;
// Replaces the dialog (an empty handler restores it); gives the previous handler.
SaveAsHandler SetSaveAsHandler(SaveAsHandler handler);

// The platform's dialog itself. COM must be initialised on the thread; where the newer
// dialog cannot be created, the older one is shown instead.
std::wstring ShowSaveAsDialog(HWND owner, const std::wstring& defaultName);

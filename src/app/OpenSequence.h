#pragma once
// Opening a saved archive in the window: read into memory while the window keeps
// answering, then shown in the tabs, or one status line that says why it cannot be.

#include "app/SavedArchive.h"
#include "misc/CollectorContracts.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

struct OpenTargets
{
    HWND window = nullptr;         // holds the tab strip, Scan, Save and Exit
    IStatusInfo* status = nullptr; // the window as status sink
    std::wstring path;             // as given: on the command line, or dropped
    // Takes the archive that was read and shows it; not called when it failed.
    std::function<void(std::unique_ptr<SavedArchive>)> show;
    // Whether an archive is shown now: Save stays disabled after a failed opening.
    bool archiveShown = false;
};

// False, and nothing done, when a scan, save or opening is already running.
bool OpenSequence(const OpenTargets& targets);

// "Orvo Diagnostics - NAME": the window's title while the archive NAME is shown.
std::wstring ArchiveTitle(const std::wstring& path);
// The archive's file name, as the title and the status line show it.
std::wstring ArchiveName(const std::wstring& path);

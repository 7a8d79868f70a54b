#include "app/OpenSequence.h"

#include "app/PumpMessages.h"
#include "app/ScanSequence.h"
#include "app/SequenceGuard.h"
#include "app/WaitCursor.h"
#include "report/FileSystem.h"
#include "resource.h"

namespace
{

// A large log inflates for a while: the window takes its messages this often.
constexpr ULONGLONG kPumpIntervalMs = 50;

void SetStatus(const OpenTargets& targets, const std::wstring& text)
{
    if (targets.status)
        targets.status->SetStatus(text.c_str());
}

} // namespace

std::wstring ArchiveName(const std::wstring& path)
{
    return Misc::ComposePath(path, Misc::PathFileName);
}

std::wstring ArchiveTitle(const std::wstring& path)
{
    return L"Orvo Diagnostics - " + ArchiveName(path);
}

// The commands are disabled while the archive is read, as during a scan, so that
// nothing else starts; the window answers through the reader's progress.
bool OpenSequence(const OpenTargets& targets)
{
    SequenceGuard guard;
    if (!guard.Acquired())
        return false;
    const std::wstring name = ArchiveName(targets.path);
    EnableCommands(targets.window, false);
    IWaitCursor& cursor = WaitCursor();
    cursor.Begin();
    SetStatus(targets, L"Opening " + name + L" ...");

    ULONGLONG lastPump = ::GetTickCount64();
    const auto progress = [&]
    {
        const ULONGLONG now = ::GetTickCount64();
        if (now - lastPump < kPumpIntervalMs)
            return;
        lastPump = now;
        PumpMessages();
        cursor.Restore();
    };
    auto archive = std::make_unique<SavedArchive>();
    std::wstring error;
    const bool read = archive->Read(Misc::FullPath(targets.path), error, progress);

    EnableCommands(targets.window, true);
    if (read)
    {
        if (targets.show)
            targets.show(std::move(archive));
        SetStatus(targets, L"Opened " + name);
    }
    else
    {
        SetStatus(targets, L"Cannot open " + name + L": " + error);
    }
    if (read || targets.archiveShown)
        if (HWND save = ::GetDlgItem(targets.window, IDC_SAVE))
            ::EnableWindow(save, FALSE);
    cursor.End();
    return true;
}

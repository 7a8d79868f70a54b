#pragma once
// The program's main window: the tab strip with the System, Files and Log Files
// pages above a row with Scan, the spinner, the status line, Save and Exit.

#include "app/SavedArchive.h"
#include "app/StatusSink.h"
#include "checks/OtherFilesControl.h"
#include "inventory/ApplicationsDialog.h"
#include "logs/LogFilesDialog.h"
#include "misc/Handles.h"
#include "report/TmpFileManager.h"
#include "system/SystemDialog.h"
#include "ui/SizeDialog.h"
#include "ui/TabCtrlStyle.h"

#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>

struct ScanTargets;
struct SaveTargets;
enum class SaveOutcome;

class COrvoDiagDlg : public UI::SizeDialog, public UI::TabCtrlNotify, public StatusSink
{
  public:
    explicit COrvoDiagDlg(HWND parent = nullptr);
    ~COrvoDiagDlg() override;

    UI::TabCtrl& TabStrip() noexcept { return m_tabStrip; }
    UI::HTAB SystemItem() const noexcept { return m_systemItem; }
    UI::HTAB FilesItem() const noexcept { return m_filesItem; }
    UI::HTAB LogFilesItem() const noexcept { return m_logFilesItem; }
    CSystemDialog& SystemPage() noexcept { return m_systemPage; }
    CApplicationsDialog& FilesPage() noexcept { return m_filesPage; }
    CLogFilesDialog& LogFilesPage() noexcept { return m_logFilesPage; }
    OtherFilesControl& OtherFiles() noexcept { return m_otherFiles; }
    HICON Icon() const noexcept { return m_icon.Get(); }

    // Unattended collection: the window is created but never shown, and starts no scan
    // by itself.
    bool CreateUnattended();
    // The Scan and Save commands in one go, reported to `status` instead of the status
    // line, without the pauses that let the window paint, and saved to `archivePath`
    // instead of asking for it.
    SaveOutcome CollectUnattended(IStatusInfo& status, const std::wstring& archivePath);

    // The window opens this saved archive instead of scanning when it starts.
    void OpenAtStart(const std::wstring& path) { m_openAtStart = path; }
    // Shows the saved archive at `path` in the tabs, or says in the status line why it
    // cannot; false when a scan, save or opening was running.
    bool OpenArchive(const std::wstring& path);
    // The archive shown instead of this machine's scan, or none.
    const SavedArchive* ShownArchive() const noexcept { return m_archive.get(); }

    // Where the minimized window draws its icon: centred in the client area.
    static POINT IconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

  protected:
    BOOL OnInitDialog() override;
    void OnTabSelected(UI::TabCtrl* ctrl, UI::HTAB item) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnSysCommand(UINT id, LPARAM lParam) override;
    bool PaintsItself() const override;
    void Paint(HDC dc) override;
    HICON OnQueryDragIcon() override;
    HWND StatusWindow() const override { return GetHwnd(); }
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    bool CreateChildWindows();
    void FillScanTargets(ScanTargets& targets);
    void FillSaveTargets(SaveTargets& targets);
    void Scan();
    void Save();
    void CloseIfRequested();
    void ShowArchive(std::unique_ptr<SavedArchive> archive, const std::wstring& path);
    void EndArchiveView();
    void OnDropFiles(HDROP drop);

    Misc::Icon m_icon;
    Misc::Icon m_smallIcon;
    UI::TabCtrlEx<UI::TabCtrlStyle_VS2010_bars> m_tabStrip;
    Misc::TmpFileManager m_fileManagerHolder;
    UI::HTAB m_systemItem = nullptr;
    CSystemDialog m_systemPage;
    UI::HTAB m_filesItem = nullptr;
    CApplicationsDialog m_filesPage;
    UI::HTAB m_logFilesItem = nullptr;
    CLogFilesDialog m_logFilesPage;
    // Goes before the pages at the window's end, with its staged files and folder.
    OtherFilesControl m_otherFiles;
    Misc::GdiObject m_tabFont;
    bool m_unattended = false;
    // A close request (close box, Alt+F4, Escape, Exit) that came while a scan or a save
    // ran: carried out once it has ended.
    bool m_closeRequested = false;
    std::wstring m_openAtStart;
    // The saved archive the pages show; declared after them, so it goes first at the
    // window's end, after the window (and with it the pages' views) is gone.
    std::unique_ptr<SavedArchive> m_archive;
};

// The About box: the icon, "OrvoDiag Version 6.0" and OK.
class CAboutDlg : public UI::CDialog
{
  public:
    explicit CAboutDlg(HWND parent);
};

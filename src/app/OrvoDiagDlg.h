#pragma once
// The program's main window: the tab strip with the System, Files and Log Files
// pages above a row with Scan, the spinner, the status line, Save and Exit.

#include "app/AboutDlg.h"
#include "app/SavedArchive.h"
#include "app/ScanSequence.h"
#include "app/StatusSink.h"
#include "app/StatusTip.h"
#include "collection/Collection.h"
#include "inventory/ApplicationsDialog.h"
#include "logs/LogFilesDialog.h"
#include "misc/Handles.h"
#include "system/SystemDialog.h"
#include "ui/SizeDialog.h"
#include "ui/TabCtrlStyle.h"

#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>

struct SaveTargets;

class COrvoDiagDlg : public UI::SizeDialog,
                     public UI::TabCtrlNotify,
                     public StatusSink,
                     private ICollectionViews
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
    // What the last scan found, shown by the pages and saved by Save.
    Collection& Collected() noexcept { return m_collection; }
    HICON Icon() const noexcept { return m_icon.Get(); }
    // The status line's tooltip: the archive's full path after a save.
    const StatusTip& StatusLineTip() const noexcept { return m_statusTip; }

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
    void OnDpiChanged(UINT dpi) override;

  private:
    void ClearViews() override;
    void ShowStep(CollectionStep step) override;
    bool CreateChildWindows();
    void FillScanTargets(ScanTargets& targets);
    void FillSaveTargets(SaveTargets& targets);
    void Scan();
    const FindingList& ShowFindings();
    void Save();
    void ShowSaveOutcome(const SaveOutcome& outcome);
    void CloseIfRequested();
    void ShowArchive(std::unique_ptr<SavedArchive> archive, const std::wstring& path);
    void EndArchiveView();
    void OnDropFiles(HDROP drop);

    Misc::Icon m_icon;
    Misc::Icon m_smallIcon;
    UI::TabCtrlEx<UI::TabCtrlStyle_VS2010_bars> m_tabStrip;
    // Outlives the pages, which show its parts.
    Collection m_collection;
    UI::HTAB m_systemItem = nullptr;
    CSystemDialog m_systemPage;
    UI::HTAB m_filesItem = nullptr;
    CApplicationsDialog m_filesPage;
    UI::HTAB m_logFilesItem = nullptr;
    CLogFilesDialog m_logFilesPage;
    Misc::GdiObject m_tabFont;
    StatusTip m_statusTip;
    // A close request (close box, Alt+F4, Escape, Exit) that came while a scan or a save
    // ran: carried out once it has ended.
    bool m_closeRequested = false;
    std::wstring m_openAtStart;
    // The saved archive the pages show; declared after them, so it goes first at the
    // window's end, after the window (and with it the pages' views) is gone.
    std::unique_ptr<SavedArchive> m_archive;
};

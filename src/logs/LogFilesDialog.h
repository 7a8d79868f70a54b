#pragma once
// The Log Files tab: the log files of a model (of a scan, or of any other source) in a
// selector, the selected one as text in a read-only view, and "Open" to hand it to the
// shell. The page owns its controls and font, not the model.

#include "logs/ArchivedLog.h"
#include "logs/LogFileReader.h"
#include "logs/LogFilesInfo.h"
#include "logs/LogFindBar.h"
#include "logs/LogView.h"
#include "misc/Handles.h"
#include "ui/NoteBalloon.h"
#include "ui/SizeDialog.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CLogFilesDialog : public UI::SizeDialog
{
  public:
    explicit CLogFilesDialog(UI::CDialog* owner);
    explicit CLogFilesDialog(HWND parent);
    ~CLogFilesDialog() override;

    // Shows the log files of `model` (null: none) with the first one selected. The
    // model must outlive the page or the next Show or Clear.
    void Show(const LogFilesInfo* model);
    // Lets go of the model: empty selector, "No LOG information available.".
    void Clear();
    // Rebuilds the selector from the model; the text is reloaded only when another log
    // is selected than the one shown.
    void Refresh();
    void ShowLog(const std::wstring& path);
    // Shows the logs of a saved archive (from memory; "Open" stays disabled) instead of a
    // model's, the first one selected, until Show or Clear. The logs must outlive that.
    void ShowArchived(const std::vector<ArchivedLog>* logs);

    // Fills the selector from the model and selects the entry of `selected`; false when
    // none was selected.
    bool FillSelector(HWND selector, const std::wstring& selected);
    // The view's text for `path`: false when the file could not be opened. A large log
    // goes on loading after this returns; a failure then is shown when it ends.
    bool LoadLogText(const std::wstring& path);

    const LogFilesInfo* Model() const noexcept { return m_model; }

    const std::wstring& SelectedPath() const noexcept { return m_selectedPath; }
    const std::wstring& ShownPath() const noexcept { return m_shownPath; }
    HFONT TextFont() const noexcept { return m_textFont ? m_textFont->Get() : nullptr; }
    LogView& View() noexcept { return m_view; }
    LogFindBar& FindBar() noexcept { return m_findBar; }
    // What the page says at "Open" when the log could not be opened; empty otherwise.
    const std::wstring& OpenNote() const noexcept { return m_openNote.Text(); }
    // At most this many bytes of a log's end are shown (tests show a tail with it).
    void SetViewLimit(std::uint64_t bytes) noexcept { m_viewLimit = bytes; }
    // Logs above this many bytes are read while the window goes on working.
    void SetShowAtOnceBytes(std::uint64_t bytes) noexcept { m_showAtOnceBytes = bytes; }

  protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged(UINT dpi) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    void Build();
    void ResetSelector();
    void OnSelectionChange();
    void OnViewKey(WORD key);
    void NameView(const std::wstring& name);
    const std::wstring* EntryPath(LRESULT itemData) const;
    template <typename Visit> void ForEachShownEntry(Visit&& visit) const;
    const ArchivedLog* ArchivedLogOf(const std::wstring& path) const;

    const LogFilesInfo* m_model = nullptr;
    std::wstring m_selectedPath;
    std::wstring m_shownPath = L"x"; // equals no real path: the first ShowLog always loads
    // Made in the page's initialisation, released with the page.
    std::unique_ptr<UI::ScaledFont> m_textFont;
    LogView m_view; // after the font it draws with, so that its thread ends first
    LogFindBar m_findBar;
    std::uint64_t m_viewLimit = kWholeLog;
    std::uint64_t m_showAtOnceBytes = 4u << 20;
    UI::NoteBalloon m_openNote;
    // While an archive is shown: its logs, and the key each goes by in place of a path.
    const std::vector<ArchivedLog>* m_archived = nullptr;
    std::vector<std::wstring> m_archivedKeys;
};

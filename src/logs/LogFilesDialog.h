#pragma once
// The Log Files tab: the log files of a model (of a scan, or of any other source) in a
// selector, the selected one as text in a read-only view, and "Open" to hand it to the
// shell. The page owns its controls and font, not the model.

#include "logs/ArchivedLog.h"
#include "logs/LogFileReader.h"
#include "logs/LogFilesInfo.h"
#include "misc/Handles.h"
#include "ui/SizeDialog.h"

#include <cstdint>
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
    // The view's text for `path`: false when the file could not be read.
    bool LoadLogText(HWND view, const std::wstring& path);

    const LogFilesInfo* Model() const noexcept { return m_model; }

    const std::wstring& SelectedPath() const noexcept { return m_selectedPath; }
    const std::wstring& ShownPath() const noexcept { return m_shownPath; }
    HFONT TextFont() const noexcept { return static_cast<HFONT>(m_textFont.Get()); }
    // Bytes above which a log is shown by its tail (the benchmark measures without it).
    void SetViewLimit(std::uint64_t bytes) noexcept { m_viewLimit = bytes; }

  protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

  private:
    void Build();
    void ResetSelector();
    void OnSelectionChange();
    const std::wstring* EntryPath(LRESULT itemData) const;
    template <typename Visit> void ForEachShownEntry(Visit&& visit) const;
    const ArchivedLog* ArchivedLogOf(const std::wstring& path) const;

    const LogFilesInfo* m_model = nullptr;
    std::wstring m_selectedPath;
    std::wstring m_shownPath = L"x"; // equals no real path: the first ShowLog always loads
    Misc::GdiObject m_textFont;
    std::uint64_t m_viewLimit = kLogViewLimit;
    // While an archive is shown: its logs, and the key each goes by in place of a path.
    const std::vector<ArchivedLog>* m_archived = nullptr;
    std::vector<std::wstring> m_archivedKeys;
};

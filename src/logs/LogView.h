#pragma once
// The Log Files page's text view: a list view of one column that holds no text of its
// own. It asks the log's rows for the few lines it shows, so a log of any size is
// shown at once, and it gives the user the list view's keyboard, mouse, selection and
// screen reader support. A large log is read on a thread of its own while the window
// keeps answering.

#include "logs/LogLines.h"

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

class LogView
{
  public:
    enum class Loaded
    {
        Stale, // a message of an earlier load
        Shown,
        Failed,
    };

    LogView() = default;
    ~LogView();
    LogView(const LogView&) = delete;
    LogView& operator=(const LogView&) = delete;

    // Takes over the list view `list`; a load on the worker thread ends with
    // `loadedMessage` posted to `notify`, to be handed to OnLoaded.
    void Attach(HWND list, HWND notify, UINT loadedMessage);
    // The text font, from which the row height and the character width come.
    void SetFont(HFONT font);

    // One row of text of the program's own in place of a log.
    void ShowText(const std::wstring& text);
    // Starts showing the log at `path`, at most its last `limit` bytes; false when it
    // cannot be opened. A log of more than `syncBytes` is read on the worker thread.
    bool ShowFile(const std::wstring& path, std::uint64_t limit, std::uint64_t syncBytes);
    // Shows a log whose bytes are held in memory; false when there is no memory for it.
    bool ShowBytes(std::string bytes);
    Loaded OnLoaded(WPARAM wParam);
    bool Loading() const noexcept { return m_job != nullptr; }

    // The list view's notifications, handed on by the page.
    bool OnNotify(NMHDR* header, LRESULT& result);

    // Selects and shows the next (previous) row holding `needle`, from the focused row.
    bool Find(const std::wstring& needle, bool forward);
    // The selected rows to the clipboard, CR LF between them.
    bool CopySelection();
    void SelectAll();

    HWND Hwnd() const noexcept { return m_list; }
    std::size_t RowCount() const noexcept { return m_lines.Count(); }
    std::wstring Row(std::size_t row) const { return m_lines.Row(row); }

  private:
    struct Job;
    static LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR) noexcept;
    bool OnKey(WPARAM key);
    void Show(LogLines lines, bool endInView);
    void CancelLoad();
    LRESULT CustomDraw(NMLVCUSTOMDRAW* draw);
    void DrawRow(HDC dc, std::size_t row);
    void GiveRowText(NMLVDISPINFOW* info) const;
    void SetColumnWidth(int width);
    void FitColumn();
    int ColumnWidth() const;

    HWND m_list = nullptr;
    HWND m_notify = nullptr;
    UINT m_loadedMessage = 0;
    HFONT m_font = nullptr;
    int m_charWidth = 8;
    LogLines m_lines;
    std::shared_ptr<Job> m_job;
    std::thread m_worker;
    unsigned m_jobNumber = 0;
};

#pragma once
// The find field of a tree page: "Find:", the text to find and what the search found,
// in a row below the tree that opens with Ctrl+F. Enter and F3 find the next row,
// Shift with them the previous one, Escape closes the row and gives the tree the focus.

#include <windows.h>

#include <functional>
#include <string>

namespace UI
{

class TreeFindBar
{
  public:
    // Asked to find a row: forward or back, and whether the selected row itself may be
    // the hit (while the text is typed) or the search starts after it (F3, Enter).
    using FindRequest = std::function<void(bool forward, bool includeSelected)>;

    TreeFindBar() = default;
    TreeFindBar(const TreeFindBar&) = delete;
    TreeFindBar& operator=(const TreeFindBar&) = delete;

    // Makes the row's controls on `page`, hidden, below `tree`.
    bool Create(HWND page, HWND tree, FindRequest onFind);
    void Open();
    void Close();
    bool IsOpen() const noexcept { return m_open; }
    std::wstring Text() const;
    // Shows "not found" or nothing.
    void ShowFound(bool found);
    std::wstring Result() const;
    HWND Edit() const noexcept { return m_edit; }

    // The page's commands of the row's controls; true when it was one of them.
    bool OnCommand(WORD id, WORD code);
    // After the page's layout has placed the tree: the open row takes the tree's bottom.
    void Place();

  private:
    static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR self) noexcept;
    bool OnEditKey(WPARAM key);
    RECT DialogUnits(int x, int y, int width, int height) const;

    HWND m_page = nullptr;
    HWND m_tree = nullptr;
    HWND m_label = nullptr;
    HWND m_edit = nullptr;
    HWND m_result = nullptr;
    int m_treeGap = 0; // the tree's distance from the page's bottom while the row is closed
    bool m_open = false;
    FindRequest m_onFind;
};

} // namespace UI

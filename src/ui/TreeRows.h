#pragma once
// What the tree pages do with their rows beyond showing them: read a row's text, walk
// all rows (folded or not) in their shown order, copy text to the clipboard and offer a
// row's commands in a context menu.

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace UI
{

std::wstring RowText(HWND tree, HTREEITEM row);

// The row after / before `row` in the order the rows show when every row is unfolded;
// none after the last / before the first.
HTREEITEM NextRow(HWND tree, HTREEITEM row);
HTREEITEM PreviousRow(HWND tree, HTREEITEM row);

// The first row, going from `start` in the given direction and wrapping around once,
// that `matches`; `start` itself is tried first when `includeStart` is set, last
// otherwise. None when no row matches. `start` none begins at the first (or last) row.
HTREEITEM FindRow(HWND tree, HTREEITEM start, bool forward, bool includeStart,
                  const std::function<bool(HTREEITEM)>& matches);

// Unfolds the row's parents, selects it and scrolls it into view.
void RevealRow(HWND tree, HTREEITEM row);

// Puts `text` on the clipboard as Unicode text; false, and the clipboard as it was,
// when the text is empty or the clipboard busy.
bool CopyToClipboard(HWND owner, const std::wstring& text);

// Whether a tree's key notification is `key` with Ctrl held (and no Alt).
bool IsCtrlKey(const NMTVKEYDOWN& key, WORD virtualKey);

// A right click selects the row under the mouse first, so that the menu that follows
// acts on the row the user pointed at.
void SelectRowUnderCursor(HWND tree);

struct RowMenuEntry
{
    UINT command;
    const wchar_t* text;
    bool enabled;
};

// Shows the entries as a context menu at `screenPoint` (WM_CONTEXTMENU's; -1, -1 from
// the keyboard: at the selected row); the chosen command reaches `owner` as WM_COMMAND.
void ShowRowMenu(HWND owner, HWND tree, LPARAM screenPoint, const std::vector<RowMenuEntry>& entries);

} // namespace UI

#include "ui/TreeRows.h"

#include <windowsx.h>

#include <cstring>

namespace UI
{

std::wstring RowText(HWND tree, HTREEITEM row)
{
    // Rows of the tree pages are single lines of at most a few hundred characters.
    wchar_t text[1024] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = row;
    item.pszText = text;
    item.cchTextMax = ARRAYSIZE(text);
    if (!tree || !row || !TreeView_GetItem(tree, &item))
        return {};
    return text;
}

HTREEITEM NextRow(HWND tree, HTREEITEM row)
{
    if (HTREEITEM child = TreeView_GetChild(tree, row))
        return child;
    for (HTREEITEM at = row; at; at = TreeView_GetParent(tree, at))
        if (HTREEITEM sibling = TreeView_GetNextSibling(tree, at))
            return sibling;
    return nullptr;
}

namespace
{

HTREEITEM LastDescendant(HWND tree, HTREEITEM row)
{
    for (HTREEITEM child = TreeView_GetChild(tree, row); child; child = TreeView_GetChild(tree, row))
    {
        row = child;
        while (HTREEITEM sibling = TreeView_GetNextSibling(tree, row))
            row = sibling;
    }
    return row;
}

HTREEITEM LastRow(HWND tree)
{
    HTREEITEM row = TreeView_GetRoot(tree);
    while (row)
    {
        HTREEITEM sibling = TreeView_GetNextSibling(tree, row);
        if (!sibling)
            break;
        row = sibling;
    }
    return row ? LastDescendant(tree, row) : nullptr;
}

HTREEITEM Step(HWND tree, HTREEITEM row, bool forward)
{
    HTREEITEM next = forward ? NextRow(tree, row) : PreviousRow(tree, row);
    if (!next) // wrap around
        next = forward ? TreeView_GetRoot(tree) : LastRow(tree);
    return next;
}

} // namespace

HTREEITEM PreviousRow(HWND tree, HTREEITEM row)
{
    if (HTREEITEM sibling = TreeView_GetPrevSibling(tree, row))
        return LastDescendant(tree, sibling);
    return TreeView_GetParent(tree, row);
}

HTREEITEM FindRow(HWND tree, HTREEITEM start, bool forward, bool includeStart,
                  const std::function<bool(HTREEITEM)>& matches)
{
    if (!tree || !TreeView_GetRoot(tree))
        return nullptr;
    if (!start)
    {
        start = forward ? TreeView_GetRoot(tree) : LastRow(tree);
        includeStart = true;
    }
    if (includeStart && matches(start))
        return start;
    for (HTREEITEM row = Step(tree, start, forward); row && row != start; row = Step(tree, row, forward))
        if (matches(row))
            return row;
    return !includeStart && matches(start) ? start : nullptr;
}

void RevealRow(HWND tree, HTREEITEM row)
{
    if (!tree || !row)
        return;
    TreeView_EnsureVisible(tree, row);
    TreeView_SelectItem(tree, row);
}

bool CopyToClipboard(HWND owner, const std::wstring& text)
{
    if (text.empty())
        return false;
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory)
        return false;
    if (void* target = ::GlobalLock(memory))
    {
        std::memcpy(target, text.c_str(), bytes);
        ::GlobalUnlock(memory);
    }
    if (!::OpenClipboard(owner))
    {
        ::GlobalFree(memory);
        return false;
    }
    ::EmptyClipboard();
    // Once set, the clipboard owns the memory.
    const bool copied = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    ::CloseClipboard();
    if (!copied)
        ::GlobalFree(memory);
    return copied;
}

bool IsCtrlKey(const NMTVKEYDOWN& key, WORD virtualKey)
{
    return key.wVKey == virtualKey && ::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_MENU) >= 0;
}

void SelectRowUnderCursor(HWND tree)
{
    TVHITTESTINFO hit = {};
    ::GetCursorPos(&hit.pt);
    ::ScreenToClient(tree, &hit.pt);
    if (HTREEITEM row = TreeView_HitTest(tree, &hit); row && (hit.flags & TVHT_ONITEM))
        TreeView_SelectItem(tree, row);
}

void ShowRowMenu(HWND owner, HWND tree, LPARAM screenPoint, const std::vector<RowMenuEntry>& entries)
{
    POINT at = {GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    if (screenPoint == -1)
    {
        RECT row = {};
        if (!TreeView_GetItemRect(tree, TreeView_GetSelection(tree), &row, TRUE))
            ::GetClientRect(tree, &row);
        at = {row.left, row.bottom};
        ::ClientToScreen(tree, &at);
    }
    HMENU menu = ::CreatePopupMenu();
    if (!menu)
        return;
    for (const RowMenuEntry& entry : entries)
        ::AppendMenuW(menu, MF_STRING | (entry.enabled ? MF_ENABLED : MF_GRAYED), entry.command, entry.text);
    ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    ::DestroyMenu(menu);
}

} // namespace UI

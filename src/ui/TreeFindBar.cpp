#include "ui/TreeFindBar.h"

#include "resource.h"
#include "ui/Dpi.h"

#include <commctrl.h>

namespace UI
{

namespace
{

// The row's measures in dialog units, so that they follow the page's font: height,
// the label's and the field's widths and the gap between them.
constexpr int kRowHeight = 14;
constexpr int kLabelWidth = 22;
constexpr int kFieldWidth = 140;
constexpr int kGap = 4;
constexpr int kTextHeight = 12;

constexpr wchar_t kNotFound[] = L"not found";

HWND MakeControl(HWND page, const wchar_t* type, const wchar_t* text, DWORD style, DWORD exStyle, int id)
{
    HWND control = ::CreateWindowExW(exStyle, type, text, WS_CHILD | style, 0, 0, 0, 0, page,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     ::GetModuleHandleW(nullptr), nullptr);
    if (control)
        ::SendMessageW(control, WM_SETFONT, ::SendMessageW(page, WM_GETFONT, 0, 0), FALSE);
    return control;
}

RECT ChildRect(HWND control)
{
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

// The label goes before the field, so that a screen reader names the field "Find:".
bool TreeFindBar::Create(HWND page, HWND tree, FindRequest onFind)
{
    if (m_page || !page || !tree)
        return false;
    m_page = page;
    m_tree = tree;
    m_onFind = std::move(onFind);
    m_label = MakeControl(page, L"STATIC", L"Find:", SS_LEFT | SS_CENTERIMAGE, 0, IDC_FIND_LABEL);
    m_edit = MakeControl(page, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, IDC_FIND_TEXT);
    m_result = MakeControl(page, L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0, IDC_FIND_RESULT);
    if (!m_label || !m_edit || !m_result)
        return false;
    ::SetWindowSubclass(m_edit, &TreeFindBar::EditProc, 1, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

// In the units of the font the row's controls have now: the page's font follows the
// display's scale, which the dialog manager's own units do not.
RECT TreeFindBar::DialogUnits(int x, int y, int width, int height) const
{
    const UI::DialogUnits units =
        DialogUnitsOf(reinterpret_cast<HFONT>(::SendMessageW(m_edit, WM_GETFONT, 0, 0)));
    if (!units.IsValid())
    {
        RECT rect = {x, y, x + width, y + height};
        ::MapDialogRect(m_page, &rect);
        return rect;
    }
    return {::MulDiv(x, units.width, 4), ::MulDiv(y, units.height, 8), ::MulDiv(x + width, units.width, 4),
            ::MulDiv(y + height, units.height, 8)};
}

void TreeFindBar::Open()
{
    if (!m_edit)
        return;
    if (!m_open)
    {
        RECT client = {};
        ::GetClientRect(m_page, &client);
        m_treeGap = client.bottom - ChildRect(m_tree).bottom;
        m_open = true;
        Place();
        for (HWND control : {m_label, m_edit, m_result})
            ::ShowWindow(control, SW_SHOW);
    }
    ::SendMessageW(m_page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_edit), TRUE);
    ::SendMessageW(m_edit, EM_SETSEL, 0, -1);
}

void TreeFindBar::Close()
{
    if (!m_open)
        return;
    m_open = false;
    for (HWND control : {m_label, m_edit, m_result})
        ::ShowWindow(control, SW_HIDE);
    RECT client = {};
    ::GetClientRect(m_page, &client);
    const RECT tree = ChildRect(m_tree);
    ::MoveWindow(m_tree, tree.left, tree.top, tree.right - tree.left, client.bottom - m_treeGap - tree.top,
                 TRUE);
    ::SetFocus(m_tree);
}

void TreeFindBar::Place()
{
    if (!m_open)
        return;
    RECT client = {};
    ::GetClientRect(m_page, &client);
    const RECT row = DialogUnits(0, 0, kGap, kRowHeight);
    const int top = client.bottom - (row.bottom - row.top);
    const RECT tree = ChildRect(m_tree);
    ::MoveWindow(m_tree, tree.left, tree.top, tree.right - tree.left, top - tree.top, TRUE);

    const RECT label = DialogUnits(kGap, 0, kLabelWidth, kTextHeight);
    const RECT field = DialogUnits(kGap + kLabelWidth, 0, kFieldWidth, kTextHeight);
    const RECT gap = DialogUnits(0, 0, kGap, 1);
    const int textTop = top + ((row.bottom - row.top) - (label.bottom - label.top)) / 2;
    const int height = label.bottom - label.top;
    ::MoveWindow(m_label, label.left, textTop, label.right - label.left, height, TRUE);
    ::MoveWindow(m_edit, field.left, textTop, field.right - field.left, height, TRUE);
    const int resultLeft = field.right + gap.right;
    ::MoveWindow(m_result, resultLeft, textTop, client.right > resultLeft ? client.right - resultLeft : 0,
                 height, TRUE);
}

std::wstring TreeFindBar::Text() const
{
    if (!m_edit)
        return {};
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(m_edit)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(::GetWindowTextW(m_edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

void TreeFindBar::ShowFound(bool found)
{
    if (m_result)
        ::SetWindowTextW(m_result, found ? L"" : kNotFound);
}

std::wstring TreeFindBar::Result() const
{
    wchar_t text[64] = {};
    if (m_result)
        ::GetWindowTextW(m_result, text, ARRAYSIZE(text));
    return text;
}

// Typing searches from the selected row on, so that the hit stays while the text grows.
bool TreeFindBar::OnCommand(WORD id, WORD code)
{
    if (id != IDC_FIND_TEXT)
        return id == IDC_FIND_LABEL || id == IDC_FIND_RESULT;
    if (code == EN_CHANGE && m_open && m_onFind)
        m_onFind(true, true);
    return true;
}

bool TreeFindBar::OnEditKey(WPARAM key)
{
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    switch (key)
    {
    case VK_RETURN:
    case VK_F3:
        if (m_onFind)
            m_onFind(!shift, false);
        return true;
    case VK_ESCAPE:
        Close();
        return true;
    default:
        return false;
    }
}

// Enter and Escape belong to the field while it has the focus: the main window would
// otherwise take Escape as Exit.
LRESULT CALLBACK TreeFindBar::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR self) noexcept
{
    auto* bar = reinterpret_cast<TreeFindBar*>(self);
    if (message == WM_GETDLGCODE && lParam)
    {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
            return DLGC_WANTALLKEYS | ::DefSubclassProc(edit, message, wParam, lParam);
    }
    if (message == WM_KEYDOWN && bar->OnEditKey(wParam))
        return 0;
    // The Enter and Escape characters would only beep.
    if (message == WM_CHAR && (wParam == L'\r' || wParam == 27))
        return 0;
    if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(edit, &TreeFindBar::EditProc, 1);
    return ::DefSubclassProc(edit, message, wParam, lParam);
}

} // namespace UI

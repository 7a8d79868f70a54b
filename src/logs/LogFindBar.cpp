#include "logs/LogFindBar.h"

#include "resource.h"

#include <commctrl.h>

namespace
{

const wchar_t kNotFoundText[] = L"not found";
constexpr UINT_PTR kSubclassId = 1021;

const int kSelectorRow[] = {IDC_LOG_LABEL, IDC_LOG_SELECTOR, IDC_LOG_OPEN};
const int kFindRow[] = {IDC_LOG_FIND_LABEL, IDC_LOG_FIND, IDC_LOG_FIND_STATUS};

} // namespace

void LogFindBar::Attach(HWND page, FindHandler find)
{
    m_page = page;
    m_find = std::move(find);
    ::SetWindowSubclass(::GetDlgItem(page, IDC_LOG_FIND), FieldProc, kSubclassId,
                        reinterpret_cast<DWORD_PTR>(this));
}

void LogFindBar::ShowRow(bool findRow)
{
    for (int id : kSelectorRow)
        ::ShowWindow(::GetDlgItem(m_page, id), findRow ? SW_HIDE : SW_SHOW);
    for (int id : kFindRow)
        ::ShowWindow(::GetDlgItem(m_page, id), findRow ? SW_SHOW : SW_HIDE);
    m_open = findRow;
}

void LogFindBar::Open()
{
    ShowRow(true);
    HWND field = ::GetDlgItem(m_page, IDC_LOG_FIND);
    ::SetFocus(field);
    ::SendMessageW(field, EM_SETSEL, 0, -1);
}

void LogFindBar::Close(HWND next)
{
    ::SetDlgItemTextW(m_page, IDC_LOG_FIND_STATUS, L"");
    ShowRow(false);
    ::SetFocus(next);
}

std::wstring LogFindBar::FieldText() const
{
    HWND field = ::GetDlgItem(m_page, IDC_LOG_FIND);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(::GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return text;
}

void LogFindBar::FindAgain(bool forward)
{
    const std::wstring text = FieldText();
    if (text.empty())
        return Open();
    const bool found = m_find && m_find(text, forward);
    ::SetDlgItemTextW(m_page, IDC_LOG_FIND_STATUS, found ? L"" : kNotFoundText);
}

// The field keeps Enter and Escape from the dialog manager, which would otherwise press
// the main window's buttons with them.
LRESULT CALLBACK LogFindBar::FieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) noexcept
{
    try
    {
        auto* bar = reinterpret_cast<LogFindBar*>(data);
        const bool enterOrEscape = wParam == VK_RETURN || wParam == VK_ESCAPE;
        switch (message)
        {
        case WM_GETDLGCODE:
            if (lParam && reinterpret_cast<MSG*>(lParam)->message == WM_KEYDOWN && enterOrEscape)
                return DLGC_WANTMESSAGE | ::DefSubclassProc(field, message, wParam, lParam);
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN || wParam == VK_F3)
                return bar->FindAgain(::GetKeyState(VK_SHIFT) >= 0), 0;
            if (wParam == VK_ESCAPE)
                return bar->Close(::GetDlgItem(bar->m_page, IDC_LOG_TEXT)), 0;
            break;
        case WM_CHAR:
            if (wParam == L'\r' || wParam == 0x1B)
                return 0; // handled as keys; no beep
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(field, FieldProc, kSubclassId);
            break;
        default:
            break;
        }
    }
    catch (...)
    {
    }
    return ::DefSubclassProc(field, message, wParam, lParam);
}

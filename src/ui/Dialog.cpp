#include "ui/Dialog.h"

#include "misc/Handles.h"

namespace UI
{

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent), m_owner(nullptr)
{
}

CDialog::CDialog(UINT templateId, CDialog* owner)
    : m_templateId(templateId), m_parent(nullptr), m_owner(owner)
{
}

CDialog::~CDialog()
{
    DestroyWindow();
}

HINSTANCE CDialog::ResourceInstance() noexcept
{
    return ::GetModuleHandleW(nullptr);
}

HWND CDialog::OwnerWindow() const noexcept
{
    if (m_owner && m_owner->GetHwnd())
        return m_owner->GetHwnd();
    return m_parent;
}

INT_PTR CDialog::DoModal()
{
    if (m_hwnd)
        return -1;
    m_modal = true;
    INT_PTR result = ::DialogBoxParamW(ResourceInstance(), MAKEINTRESOURCEW(m_templateId), OwnerWindow(),
                                       &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

bool CDialog::Create(HWND parent)
{
    return Create(parent, m_templateId);
}

bool CDialog::Create(HWND parent, UINT templateId)
{
    if (m_hwnd)
        return false;
    m_modal = false;
    HWND hwnd = ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId), parent,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    // A window that failed during its initialisation may already be gone again.
    return hwnd != nullptr && m_hwnd == hwnd;
}

void CDialog::DestroyWindow()
{
    if (m_hwnd && ::IsWindow(m_hwnd))
        ::DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (m_hwnd && m_modal)
        ::EndDialog(m_hwnd, result);
}

bool CDialog::OnCommand(WORD id, WORD code, HWND)
{
    if (code != BN_CLICKED && code != 0)
        return false;
    // Enter in a dialog without an OK button does nothing, as with the platform's
    // own dialog handling.
    if (id == IDOK && ::GetDlgItem(m_hwnd, IDOK))
    {
        OnOK();
        return true;
    }
    if (id == IDCANCEL)
    {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::OnNotify(NMHDR*, LRESULT&)
{
    return false;
}

void CDialog::OnSize(UINT, int, int) {}

void CDialog::OnGetMinMaxInfo(MINMAXINFO*) {}

bool CDialog::OnSysCommand(UINT, LPARAM)
{
    return false;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

void CDialog::OnOK()
{
    Close(IDOK);
}

void CDialog::OnCancel()
{
    Close(IDCANCEL);
}

// A modal dialog ends its loop; a modeless top-level dialog goes away; a child page
// ignores OK and Cancel (its owner decides).
void CDialog::Close(INT_PTR result)
{
    if (!m_hwnd)
        return;
    if (m_modal)
        ::EndDialog(m_hwnd, result);
    else if (!(::GetWindowLongPtrW(m_hwnd, GWL_STYLE) & WS_CHILD))
        DestroyWindow();
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    try
    {
        CDialog* self = nullptr;
        if (message == WM_INITDIALOG)
        {
            self = reinterpret_cast<CDialog*>(lParam);
            if (!self)
                return FALSE;
            self->m_hwnd = hwnd;
            ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        }
        else
        {
            self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
        }
        if (!self)
            return FALSE;
        if (message == WM_NCDESTROY)
        {
            ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
            self->m_hwnd = nullptr;
            return FALSE;
        }
        return self->Dispatch(message, wParam, lParam);
    }
    catch (...)
    {
        // A handler that failed leaves the message to the default handling.
        return FALSE;
    }
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_NOTIFY:
    {
        LRESULT result = 0;
        if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
            return FALSE;
        ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return FALSE;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return TRUE;
    case WM_SYSCOMMAND:
        if (!OnSysCommand(static_cast<UINT>(wParam), lParam))
            return FALSE;
        ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_PAINT:
        if (!PaintsItself())
            return FALSE;
        {
            const Misc::PaintDc paint(m_hwnd);
            Paint(paint.Get());
        }
        return TRUE;
    case WM_PRINTCLIENT:
        if (!PaintsItself())
            return FALSE;
        Paint(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_QUERYDRAGICON:
    {
        HICON icon = OnQueryDragIcon();
        if (!icon)
            return FALSE;
        // The dialog procedure answers this message with its return value.
        return reinterpret_cast<INT_PTR>(icon);
    }
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
    {
        LRESULT result = 0;
        if (!OnMessage(message, wParam, lParam, result))
            return FALSE;
        ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}

} // namespace UI

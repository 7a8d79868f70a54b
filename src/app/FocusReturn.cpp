#include "app/FocusReturn.h"

namespace
{

bool CanTakeFocus(HWND dialog, HWND control)
{
    return control && ::IsWindow(control) && ::IsChild(dialog, control) && ::IsWindowVisible(control) &&
           ::IsWindowEnabled(control);
}

} // namespace

FocusReturn::FocusReturn(HWND dialog, int fallbackId)
    : m_dialog(dialog), m_focus(::GetFocus()), m_fallbackId(fallbackId)
{
    if (m_dialog && !::IsChild(m_dialog, m_focus))
        m_focus = nullptr;
}

// Through the dialog manager, so that a button taking the focus shows as the default
// one again. A window the user has left meanwhile is not brought forward: the dialog
// manager gives the focus back when the user returns to it.
FocusReturn::~FocusReturn()
{
    if (!m_dialog || !::IsWindow(m_dialog) || ::GetActiveWindow() != m_dialog)
        return;
    HWND target = m_focus;
    if (!CanTakeFocus(m_dialog, target))
        target = ::GetDlgItem(m_dialog, m_fallbackId);
    if (!CanTakeFocus(m_dialog, target))
        return;
    ::SendMessageW(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

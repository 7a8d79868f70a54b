#include "app/StatusTip.h"

#include <commctrl.h>

namespace
{

TTTOOLINFOW ToolOf(HWND dialog, HWND control, const std::wstring* text)
{
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text ? const_cast<wchar_t*>(text->c_str()) : nullptr;
    return tool;
}

} // namespace

StatusTip::~StatusTip()
{
    if (m_tip && ::IsWindow(m_tip))
        ::DestroyWindow(m_tip);
}

// A static control lets the mouse through to its parent unless it asks for
// notifications; the tooltip needs to see the mouse over it.
bool StatusTip::Create(HWND dialog, HWND statusControl)
{
    if (m_tip || !dialog || !statusControl)
        return false;
    ::SetWindowLongPtrW(statusControl, GWL_STYLE, ::GetWindowLongPtrW(statusControl, GWL_STYLE) | SS_NOTIFY);
    m_tip = ::CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!m_tip)
        return false;
    m_dialog = dialog;
    m_control = statusControl;
    TTTOOLINFOW tool = ToolOf(dialog, statusControl, &m_text);
    ::SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_tip, TTM_ACTIVATE, FALSE, 0);
    return true;
}

void StatusTip::SetText(const std::wstring& text)
{
    m_text = text;
    if (!m_tip)
        return;
    TTTOOLINFOW tool = ToolOf(m_dialog, m_control, &m_text);
    ::SendMessageW(m_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_tip, TTM_ACTIVATE, m_text.empty() ? FALSE : TRUE, 0);
}

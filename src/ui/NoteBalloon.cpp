#include "ui/NoteBalloon.h"

#include "ui/Dpi.h"

#include <commctrl.h>

namespace UI
{

namespace
{

TTTOOLINFOW ToolOf(HWND control, const std::wstring& text)
{
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = ::GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    return tool;
}

// A note belongs to the moment of the click: it goes by itself after a while, also when
// its page was left meanwhile.
constexpr UINT_PTR kHideTimer = 1;
constexpr int kMaxWidthAt96 = 400; // pixels at 96 DPI
constexpr UINT kShownMs = 10000;

void CALLBACK HideAfterTimeout(HWND tip, UINT, UINT_PTR id, DWORD) noexcept
{
    ::KillTimer(tip, id);
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    if (::SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)))
        ::SendMessageW(tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

} // namespace

NoteBalloon::~NoteBalloon()
{
    if (m_tip && ::IsWindow(m_tip))
        ::DestroyWindow(m_tip);
}

bool NoteBalloon::Make(HWND control)
{
    if (m_tip && m_control == control && ::IsWindow(m_tip))
        return true;
    if (m_tip && ::IsWindow(m_tip))
        ::DestroyWindow(m_tip);
    m_tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_BALLOON,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              ::GetParent(control), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    m_control = m_tip ? control : nullptr;
    if (!m_tip)
        return false;
    const std::wstring none;
    TTTOOLINFOW tool = ToolOf(control, none);
    ::SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // Long reasons wrap instead of running off the screen.
    ::SendMessageW(m_tip, TTM_SETMAXTIPWIDTH, 0, ScaleToDpi(kMaxWidthAt96, WindowDpi(control)));
    return true;
}

void NoteBalloon::Show(HWND control, const std::wstring& text)
{
    if (text.empty() || !control)
    {
        Hide();
        return;
    }
    m_text = text;
    if (!Make(control))
        return;
    TTTOOLINFOW tool = ToolOf(control, m_text);
    ::SendMessageW(m_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::SendMessageW(m_tip, TTM_TRACKPOSITION, 0, MAKELPARAM((rect.left + rect.right) / 2, rect.top));
    ::SendMessageW(m_tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    ::SetTimer(m_tip, kHideTimer, kShownMs, &HideAfterTimeout);
    m_shown = true;
}

void NoteBalloon::Hide()
{
    m_text.clear();
    if (m_tip && m_shown)
    {
        TTTOOLINFOW tool = ToolOf(m_control, m_text);
        ::SendMessageW(m_tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
        ::KillTimer(m_tip, kHideTimer);
    }
    m_shown = false;
}

} // namespace UI

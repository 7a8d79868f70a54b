#include "ui/SizeDialog.h"

namespace UI
{

namespace
{
UINT g_contentResizedMessage = 0;
}

SizeDialog::SizeDialog(UINT templateId, HWND parent) : CDialog(templateId, parent)
{
    Init();
}

SizeDialog::SizeDialog(UINT templateId, CDialog* owner) : CDialog(templateId, owner)
{
    Init();
}

void SizeDialog::Init()
{
    if (g_contentResizedMessage == 0)
        g_contentResizedMessage = ::RegisterWindowMessageW(L"Orvo_SizeDialogContentResized");
    m_layout = std::make_unique<RelativeLayout>();
}

SizeDialog::~SizeDialog()
{
    // The window goes first: its last messages still reach the layout.
    DestroyWindow();
    m_layout.reset();
}

UINT SizeDialog::ContentResizedMessage() noexcept
{
    if (g_contentResizedMessage == 0)
        g_contentResizedMessage = ::RegisterWindowMessageW(L"Orvo_SizeDialogContentResized");
    return g_contentResizedMessage;
}

LPARAM SizeDialog::PackGrowth(int dx, int dy) noexcept
{
    const auto low = static_cast<WORD>(static_cast<short>(dx));
    const auto high = static_cast<WORD>(static_cast<short>(dy));
    return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(low, high)));
}

POINT SizeDialog::UnpackGrowth(LPARAM packed) noexcept
{
    const auto bits = static_cast<DWORD>(packed);
    return {static_cast<short>(LOWORD(bits)), static_cast<short>(HIWORD(bits))};
}

BOOL SizeDialog::OnInitDialog()
{
    m_dpi = WindowDpi(GetHwnd());
    KeepDialogScalingOwn(GetHwnd());
    const BOOL result = CDialog::OnInitDialog();
    if (m_layout)
        m_layout->Attach(GetHwnd(), false);
    return result;
}

void SizeDialog::OnSize(UINT type, int width, int height)
{
    CDialog::OnSize(type, width, height);
    if (m_layout)
        m_layout->OnSize(GetHwnd(), type, width, height);
}

void SizeDialog::OnGetMinMaxInfo(MINMAXINFO* info)
{
    CDialog::OnGetMinMaxInfo(info);
    if (m_layout)
        m_layout->OnGetMinMaxInfo(GetHwnd(), info);
}

bool SizeDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_DPICHANGED)
    {
        OnWindowDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        result = 0;
        return true;
    }
    if (message != ContentResizedMessage() || message == 0)
        return CDialog::OnMessage(message, wParam, lParam, result);
    POINT growth = UnpackGrowth(lParam);
    HWND child = reinterpret_cast<HWND>(wParam);
    result = 0;
    if (!m_layout || !m_layout->OnContentResized(GetHwnd(), child, &growth))
        return true;
    ::InvalidateRect(GetHwnd(), nullptr, TRUE);
    HWND up = OwnerWindow();
    if (!up)
        up = ::GetWindow(GetHwnd(), GW_OWNER);
    if (!up)
        up = ::GetParent(GetHwnd());
    if (up)
        ::SendMessageW(up, message, reinterpret_cast<WPARAM>(GetHwnd()), lParam);
    result = 1;
    return true;
}

// A top-level window moved to a display of another scale (or the scale changed): it
// takes the size the system suggests for the new scale, with everything made again
// for it first, so that the one relayout of that size places it all.
void SizeDialog::OnWindowDpiChanged(UINT dpi, const RECT* suggested)
{
    ApplyDpi(dpi);
    if (suggested)
        ::SetWindowPos(GetHwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SizeDialog::ApplyDpi(UINT dpi)
{
    if (!GetHwnd() || dpi == 0 || dpi == m_dpi)
        return;
    ReplaceTemplateFont(dpi);
    m_dpi = dpi;
    OnDpiChanged(dpi);
}

// The template gives its font in points; the dialog manager made it for the DPI the
// window was made at, and laid the controls out in its dialog units. The same points
// at the new DPI give the new units, and the controls are laid out in them again.
void SizeDialog::ReplaceTemplateFont(UINT dpi)
{
    HWND window = GetHwnd();
    // The dialog manager keeps the font of the template as the dialog's font whatever
    // is set later: the font made here, once there is one, is the one in use.
    auto old = m_templateFont ? static_cast<HFONT>(m_templateFont.Get())
                              : reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
    LOGFONTW description = {};
    if (!old || ::GetObjectW(old, sizeof description, &description) != sizeof description)
        return;
    const int points = ::MulDiv(description.lfHeight < 0 ? -description.lfHeight : description.lfHeight, 72,
                                static_cast<int>(m_dpi));
    description.lfHeight = -::MulDiv(points, static_cast<int>(dpi), 72);
    Misc::GdiObject font(::CreateFontIndirectW(&description));
    if (!font)
        return;
    auto made = static_cast<HFONT>(font.Get());
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)) == old)
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(made), FALSE);
    const DialogUnits from = DialogUnitsOf(old);
    const DialogUnits to = DialogUnitsOf(made);
    m_templateFont = std::move(font); // the font it replaces is no longer used
    ResizeChildDialog(from, to);
    if (m_layout)
        m_layout->Rescale(window, from, to);
    ::InvalidateRect(window, nullptr, TRUE);
}

// A page keeps the template's size in the new units until its owner places it (a
// page that is not shown is placed only when it is).
void SizeDialog::ResizeChildDialog(const DialogUnits& from, const DialogUnits& to)
{
    HWND window = GetHwnd();
    if (!(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD))
        return;
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    ::SetWindowPos(window, nullptr, 0, 0, ConvertX(rect.right - rect.left, from, to),
                   ConvertY(rect.bottom - rect.top, from, to), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace UI

#include "ui/Dpi.h"

#include "misc/DllFunc.h"

namespace UI
{

int ScaleToDpi(int pixels, UINT dpi) noexcept
{
    return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

UINT SystemDpi() noexcept
{
    Misc::WindowDc screen(nullptr);
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

// GetDpiForWindow exists from Windows 10 version 1607 on; below it the whole session
// has one DPI.
UINT WindowDpi(HWND window) noexcept
{
    static const Misc::DllFunc<UINT WINAPI(HWND)> getDpiForWindow(L"user32.dll", "GetDpiForWindow");
    if (window && getDpiForWindow)
        if (const UINT dpi = getDpiForWindow(window))
            return dpi;
    return SystemDpi();
}

// SetDialogDpiChangeBehavior exists from Windows 10 version 1703 on, with per-monitor
// scaling; DDC_DISABLE_ALL (1) keeps the system from resizing the dialog's controls and
// fonts, which the dialog's own layout places.
void KeepDialogScalingOwn(HWND dialog) noexcept
{
    static const Misc::DllFunc<BOOL WINAPI(HWND, int, int)> setBehavior(L"user32.dll",
                                                                         "SetDialogDpiChangeBehavior");
    constexpr int kDisableAll = 1;
    if (dialog && setBehavior)
        setBehavior(dialog, kDisableAll, kDisableAll);
}

// As the dialog manager measures its font: the average width of the 52 Latin letters,
// rounded, and the font's full height.
DialogUnits DialogUnitsOf(HFONT font) noexcept
{
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    Misc::WindowDc screen(nullptr);
    if (!screen.Get() || !font)
        return {};
    Misc::SelectedObject select(screen.Get(), font);
    TEXTMETRICW metrics = {};
    SIZE extent = {};
    if (!::GetTextMetricsW(screen.Get(), &metrics) ||
        !::GetTextExtentPoint32W(screen.Get(), kLetters, ARRAYSIZE(kLetters) - 1, &extent))
        return {};
    return {(extent.cx / 26 + 1) / 2, metrics.tmHeight};
}

// Template measures are whole dialog units, and one unit is more than a pixel wide, so
// rounding back to units finds the template's own number.
int ConvertX(int pixels, const DialogUnits& from, const DialogUnits& to) noexcept
{
    if (!from.IsValid() || !to.IsValid())
        return pixels;
    return ::MulDiv(::MulDiv(pixels, 4, from.width), to.width, 4);
}

int ConvertY(int pixels, const DialogUnits& from, const DialogUnits& to) noexcept
{
    if (!from.IsValid() || !to.IsValid())
        return pixels;
    return ::MulDiv(::MulDiv(pixels, 8, from.height), to.height, 8);
}

ScaledFont::ScaledFont(const LOGFONTW& at96, UINT dpi) : m_description(at96)
{
    SetDpi(dpi);
}

bool ScaledFont::SetDpi(UINT dpi)
{
    if (dpi == 0 || (dpi == m_dpi && m_font))
        return false;
    LOGFONTW description = m_description;
    description.lfHeight = ScaleToDpi(m_description.lfHeight, dpi);
    description.lfWidth = ScaleToDpi(m_description.lfWidth, dpi);
    HFONT font = ::CreateFontIndirectW(&description);
    if (!font)
        return false;
    m_font.Reset(font);
    m_dpi = dpi;
    return true;
}

} // namespace UI

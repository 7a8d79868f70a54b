#pragma once
// Display scale: the program gives its pixel sizes for 96 DPI (100 %); every font
// height and drawing measure is scaled here, in one place, to the DPI of the window
// that shows it.

#include "misc/Handles.h"

#include <windows.h>

namespace UI
{

constexpr UINT kDefaultDpi = 96;

// A size given for 96 DPI at `dpi`, rounded as the system rounds (MulDiv).
int ScaleToDpi(int pixels, UINT dpi) noexcept;
// The screen's DPI for the whole session (the system DPI).
UINT SystemDpi() noexcept;
// The DPI the window is shown at: its monitor's where the system scales per monitor,
// else the system DPI.
UINT WindowDpi(HWND window) noexcept;
// Asks the system not to rescale the dialog's fonts and controls itself when its DPI
// changes: the dialog does it (see SizeDialog::ApplyDpi). Nothing on systems without
// per-monitor scaling.
void KeepDialogScalingOwn(HWND dialog) noexcept;

// The dialog base units of a font: a template's dialog units in pixels are
// x * width / 4 and y * height / 8.
struct DialogUnits
{
    int width = 0;
    int height = 0;
    bool IsValid() const noexcept { return width > 0 && height > 0; }
};
DialogUnits DialogUnitsOf(HFONT font) noexcept;
// A pixel position or length laid out in `from` units, as it would be laid out in `to`.
int ConvertX(int pixels, const DialogUnits& from, const DialogUnits& to) noexcept;
int ConvertY(int pixels, const DialogUnits& from, const DialogUnits& to) noexcept;

// A font given by its description at 96 DPI and made for the DPI it is shown at.
class ScaledFont
{
  public:
    explicit ScaledFont(const LOGFONTW& at96, UINT dpi = SystemDpi());

    HFONT Get() const noexcept { return static_cast<HFONT>(m_font.Get()); }
    explicit operator bool() const noexcept { return Get() != nullptr; }
    UINT Dpi() const noexcept { return m_dpi; }
    // Makes the font again for `dpi`; false (the old font kept) when it is already made
    // for it or the new one cannot be made.
    bool SetDpi(UINT dpi);

  private:
    LOGFONTW m_description;
    UINT m_dpi = 0;
    Misc::GdiObject m_font;
};

} // namespace UI

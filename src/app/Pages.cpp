#include "app/Pages.h"

#include "resource.h"

#include <commctrl.h>

namespace
{

const wchar_t kNoLogText[] = L"No LOG information available.";

} // namespace

CLogFilesPage::CLogFilesPage(UI::CDialog* owner) : SizeDialog(IDD_LOGFILES_PAGE, owner)
{
    Layout()->AddItem(IDC_LOG_TEXT, 0, 0, 1, 1);
    Layout()->AddItem(IDC_LOG_LABEL, 0, 1, 0, 0);
    Layout()->AddItem(IDC_LOG_SELECTOR, 0, 1, 1, 0);
    Layout()->AddItem(IDC_LOG_OPEN, 1, 1, 0, 0);
}

BOOL CLogFilesPage::OnInitDialog()
{
    const BOOL result = SizeDialog::OnInitDialog();
    HWND text = GetDlgItem(IDC_LOG_TEXT);
    ::SendMessageW(text, EM_LIMITTEXT, 0xFFFFFFFF, 0);
    LOGFONTW description = {};
    description.lfHeight = 14;
    description.lfWeight = 300;
    description.lfCharSet = ANSI_CHARSET;
    description.lfOutPrecision = OUT_DEVICE_PRECIS;
    description.lfClipPrecision = CLIP_LH_ANGLES;
    wcscpy_s(description.lfFaceName, L"Courier New");
    m_textFont.Reset(::CreateFontIndirectW(&description));
    ::SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont.Get()), TRUE);
    Refresh();
    return result;
}

void CLogFilesPage::Refresh()
{
    ::SendDlgItemMessageW(GetHwnd(), IDC_LOG_SELECTOR, CB_RESETCONTENT, 0, 0);
    ::SetDlgItemTextW(GetHwnd(), IDC_LOG_TEXT, kNoLogText);
    ::EnableWindow(GetDlgItem(IDC_LOG_OPEN), FALSE);
}

bool CLogFilesPage::OnCommand(WORD id, WORD code, HWND control)
{
    // The text is not shown all selected when the view takes the focus.
    if (id == IDC_LOG_TEXT && code == EN_SETFOCUS)
    {
        ::SendMessageW(control, EM_SETSEL, static_cast<WPARAM>(-1), -1);
        return true;
    }
    return SizeDialog::OnCommand(id, code, control);
}

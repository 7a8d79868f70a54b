#include "app/Pages.h"

#include "resource.h"

#include <commctrl.h>

namespace
{

// The fixed-pitch font of the tree pages.
HFONT CreateTreeFont()
{
    return ::CreateFontW(-12, 0, 0, 0, 300, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEVICE_PRECIS,
                         CLIP_LH_ANGLES, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas");
}

const wchar_t kNoLogText[] = L"No LOG information available.";

} // namespace

CEmptyTreePage::CEmptyTreePage(UINT templateId, UI::CDialog* owner, const wchar_t* emptyText)
    : SizeDialog(templateId, owner), m_treeFont(CreateTreeFont()), m_emptyText(emptyText)
{
}

BOOL CEmptyTreePage::OnInitDialog()
{
    const BOOL result = SizeDialog::OnInitDialog();
    ::SendMessageW(Tree(), WM_SETFONT, reinterpret_cast<WPARAM>(m_treeFont.Get()), TRUE);
    FillTree();
    return result;
}

void CEmptyTreePage::FillTree()
{
    HWND tree = Tree();
    if (!tree)
        return;
    m_painter.EmptyTree(tree);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(m_emptyText.c_str());
    ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
}

bool CEmptyTreePage::OnNotify(NMHDR* header, LRESULT& result)
{
    if (header && header->idFrom == kTreeId && header->code == NM_CUSTOMDRAW)
    {
        result = CommonDraw::OnCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header));
        return true;
    }
    return SizeDialog::OnNotify(header, result);
}

CFilesPage::CFilesPage(UI::CDialog* owner) : CEmptyTreePage(IDD_FILES_PAGE, owner, L"< No information >")
{
    Layout()->AddItem(IDC_TREE, 0, 0, 1, 1);
}

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

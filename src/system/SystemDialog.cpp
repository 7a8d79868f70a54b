#include "system/SystemDialog.h"

#include "resource.h"
#include "ui/TreeRows.h"

CSystemDialog::CSystemDialog(UI::CDialog* owner) : UI::SizeDialog(IDD_SYSTEM_PAGE, owner)
{
    Build();
}

CSystemDialog::CSystemDialog(HWND parent) : UI::SizeDialog(IDD_SYSTEM_PAGE, parent)
{
    Build();
}

// The window goes before the font and the records it refers to.
CSystemDialog::~CSystemDialog()
{
    DestroyWindow();
}

// The tree takes all the page; the unused edit box and button keep to the bottom
// edge.
void CSystemDialog::Build()
{
    if (UI::RelativeLayout* layout = Layout())
    {
        layout->AddItem(IDC_TREE, 0, 0, 1, 1);
        layout->AddItem(IDC_SYSTEM_EDIT, 0, 1, 0.2, 0);
        layout->AddItem(IDC_SYSTEM_CALC, 0.2, 1, 0, 0);
    }
}

// The tree's and the painter's fonts follow the DPI the page is shown at.
void CSystemDialog::OnDpiChanged(UINT dpi)
{
    m_font.SetDpi(dpi);
    m_draw.SetDpi(dpi);
    if (m_tree && m_font)
        ::SendMessageW(m_tree, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
}

BOOL CSystemDialog::OnInitDialog()
{
    UI::SizeDialog::OnInitDialog();
    m_tree = GetDlgItem(IDC_TREE);
    OnDpiChanged(Dpi());
    FillTree();
    for (int id : {IDC_SYSTEM_EDIT, IDC_SYSTEM_CALC})
        if (HWND control = GetDlgItem(id))
            ::ShowWindow(control, SW_HIDE);
    return TRUE;
}

bool CSystemDialog::OnNotify(NMHDR* header, LRESULT& result)
{
    if (header && header->idFrom == static_cast<UINT_PTR>(IDC_TREE) && header->code == NM_CUSTOMDRAW)
    {
        result = UI::CommonDraw::OnCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header));
        return true;
    }
    if (header && header->idFrom == static_cast<UINT_PTR>(IDC_TREE) && header->code == TVN_KEYDOWN &&
        UI::IsCtrlKey(*reinterpret_cast<NMTVKEYDOWN*>(header), 'C'))
    {
        UI::CopyToClipboard(GetHwnd(), SelectedRowText());
        result = 1; // not part of the tree's type-ahead
        return true;
    }
    if (header && header->idFrom == static_cast<UINT_PTR>(IDC_TREE) && header->code == NM_RCLICK)
        UI::SelectRowUnderCursor(m_tree); // then the tree asks for its context menu
    return UI::SizeDialog::OnNotify(header, result);
}

std::wstring CSystemDialog::SelectedRowText() const
{
    return m_tree ? UI::RowText(m_tree, TreeView_GetSelection(m_tree)) : std::wstring();
}

bool CSystemDialog::OnCommand(WORD id, WORD code, HWND control)
{
    if (id != IDM_COPY_ROW)
        return UI::SizeDialog::OnCommand(id, code, control);
    UI::CopyToClipboard(GetHwnd(), SelectedRowText());
    return true;
}

bool CSystemDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_CONTEXTMENU || reinterpret_cast<HWND>(wParam) != m_tree || !m_tree)
        return UI::SizeDialog::OnMessage(message, wParam, lParam, result);
    UI::ShowRowMenu(GetHwnd(), m_tree, lParam, {{IDM_COPY_ROW, L"Copy", !SelectedRowText().empty()}});
    result = 0;
    return true;
}

void CSystemDialog::OnDestroy()
{
    EmptyTree();
    m_tree = nullptr;
    UI::SizeDialog::OnDestroy();
}

// Rows are detached from their records before the records go.
void CSystemDialog::EmptyTree()
{
    m_draw.EmptyTree(m_tree);
}

void CSystemDialog::Show(const SystemInfo* model)
{
    EmptyTree();
    m_model = model;
    FillTree();
}

void CSystemDialog::Clear()
{
    Show(nullptr);
}

// Rebuilt from the model every time, so switching tabs returns every branch to its
// standard expansion.
void CSystemDialog::FillTree()
{
    EmptyTree();
    if (!m_tree)
        return;
    // Without a model the tree is that of a model before any scan.
    static const SystemInfo nothingCollected;
    const SystemInfo& model = m_model ? *m_model : nothingCollected;
    const bool os = m_draw.AddOsBranch(m_tree, TVI_ROOT, model);
    const bool adapters = m_draw.AddAdapterBranch(m_tree, TVI_ROOT, model);
    if (!os && !adapters)
    {
        TVINSERTSTRUCTW insert = {};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<wchar_t*>(L"< No info >");
        ::SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
    }
    m_draw.SetNeedsFill(false);
}

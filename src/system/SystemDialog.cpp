#include "system/SystemDialog.h"

#include "resource.h"

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
    m_font.Reset(::CreateFontW(-12, 0, 0, 0, FW_LIGHT, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEVICE_PRECIS,
                               CLIP_LH_ANGLES, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas"));
}

BOOL CSystemDialog::OnInitDialog()
{
    UI::SizeDialog::OnInitDialog();
    m_tree = GetDlgItem(IDC_TREE);
    if (m_tree && m_font)
        ::SendMessageW(m_tree, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
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
    return UI::SizeDialog::OnNotify(header, result);
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

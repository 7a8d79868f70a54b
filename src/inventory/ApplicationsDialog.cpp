#include "inventory/ApplicationsDialog.h"

#include "resource.h"
#include "ui/TreeRows.h"

namespace
{

const wchar_t kNoInformation[] = L"< No information >";

// Thousands of rows go in without a repaint each; the tree is drawn once at the end.
class RedrawSuspended
{
  public:
    explicit RedrawSuspended(HWND window) : m_window(window)
    {
        if (m_window)
            ::SendMessageW(m_window, WM_SETREDRAW, FALSE, 0);
    }
    ~RedrawSuspended()
    {
        if (!m_window)
            return;
        ::SendMessageW(m_window, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(m_window, nullptr, TRUE);
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

  private:
    HWND m_window;
};

} // namespace

CApplicationsDialog::CApplicationsDialog(UI::CDialog* owner) : UI::SizeDialog(IDD_FILES_PAGE, owner)
{
    Build();
}

CApplicationsDialog::CApplicationsDialog(HWND parent) : UI::SizeDialog(IDD_FILES_PAGE, parent)
{
    Build();
}

// The window goes before the font and the records its rows refer to.
CApplicationsDialog::~CApplicationsDialog()
{
    DestroyWindow();
}

// The tree takes all the page. Its font is fixed-pitch: the file lines' columns are
// aligned by counting characters.
void CApplicationsDialog::Build()
{
    if (UI::RelativeLayout* layout = Layout())
        layout->AddItem(IDC_TREE, 0, 0, 1, 1);
}

// The tree's and the painter's fonts follow the DPI the page is shown at.
void CApplicationsDialog::OnDpiChanged(UINT dpi)
{
    m_font.SetDpi(dpi);
    m_draw.SetDpi(dpi);
    if (m_tree && m_font)
        ::SendMessageW(m_tree, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
}

BOOL CApplicationsDialog::OnInitDialog()
{
    UI::SizeDialog::OnInitDialog();
    m_tree = GetDlgItem(IDC_TREE);
    OnDpiChanged(Dpi());
    m_find.Create(GetHwnd(), m_tree,
                  [this](bool forward, bool includeSelected) { FindRow(forward, includeSelected); });
    FillTree();
    return TRUE;
}

bool CApplicationsDialog::OnNotify(NMHDR* header, LRESULT& result)
{
    if (header && header->idFrom == static_cast<UINT_PTR>(IDC_TREE) && header->code == NM_CUSTOMDRAW)
    {
        result = UI::CommonDraw::OnCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header));
        return true;
    }
    if (header && header->idFrom == static_cast<UINT_PTR>(IDC_TREE) && header->code == TVN_KEYDOWN)
    {
        // Nonzero keeps a handled key out of the tree's type-ahead.
        result = OnTreeKey(*reinterpret_cast<NMTVKEYDOWN*>(header)) ? 1 : 0;
        return true;
    }
    if (header && header->idFrom == static_cast<UINT_PTR>(IDC_TREE) && header->code == NM_RCLICK)
        UI::SelectRowUnderCursor(m_tree); // then the tree asks for its context menu
    return UI::SizeDialog::OnNotify(header, result);
}

// The rows are detached and deleted while the records still exist.
void CApplicationsDialog::OnDestroy()
{
    DeleteTreeItems(TVI_ROOT);
    m_draw.ClearItems();
    m_tree = nullptr;
    UI::SizeDialog::OnDestroy();
}

void CApplicationsDialog::DeleteTreeItems(HTREEITEM item)
{
    RedrawSuspended quiet(m_tree);
    DetachAndDelete(item);
}

// Every row lets go of its record before any record is deleted, so the custom-draw
// handler never meets a freed one.
void CApplicationsDialog::DetachAndDelete(HTREEITEM item)
{
    if (m_tree)
    {
        UI::CommonDraw::DetachItemData(m_tree, item);
        if (item == nullptr || item == TVI_ROOT)
            ::SendMessageW(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    }
    m_draw.SetNeedsFill(true);
}

void CApplicationsDialog::Show(const ApplicationsInfo* inventory)
{
    DeleteTreeItems(TVI_ROOT);
    m_draw.ClearItems();
    m_model = inventory;
    m_draw.SetNeedsFill(true);
    FillTree();
}

void CApplicationsDialog::Clear()
{
    Show(nullptr);
}

// Rebuilt only after the page was created, cleared or scanned: selecting the tab again
// keeps the rows as the user opened them. A tree that could show nothing says so and
// is built again next time.
void CApplicationsDialog::FillTree()
{
    if (!m_draw.NeedsFill() || !m_tree)
        return;
    RedrawSuspended quiet(m_tree);
    DetachAndDelete(TVI_ROOT);
    m_draw.ClearItems();
    if (m_draw.Fill(m_tree, TVI_ROOT, m_model))
    {
        m_draw.SetNeedsFill(false);
        return;
    }
    TVINSERTSTRUCTW insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(kNoInformation);
    ::SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
}

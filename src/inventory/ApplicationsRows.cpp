// The Files tab's row commands: copy a row, its digest or its path, and find a row by
// name, version or digest among all rows, folded or not.

#include "inventory/ApplicationsDialog.h"

#include "resource.h"
#include "ui/TreeRows.h"

#include <vector>

std::wstring CApplicationsDialog::RowCopyText(UINT command) const
{
    const HTREEITEM row = m_tree ? TreeView_GetSelection(m_tree) : nullptr;
    if (!row)
        return {};
    if (command == IDM_COPY_ROW)
        return UI::RowText(m_tree, row);
    const RowSubject* subject = m_draw.SubjectOf(row);
    if (!subject)
        return {};
    if (command == IDM_COPY_MD5)
        return subject->file ? subject->file->Digest() : std::wstring();
    if (command == IDM_COPY_PATH)
        return subject->file ? subject->file->FullPath()
                             : (subject->folder ? subject->folder->FullPath() : std::wstring());
    return {};
}

void CApplicationsDialog::FindRow(bool forward, bool includeSelected)
{
    const std::wstring needle = m_find.Text();
    if (needle.empty() || !m_tree)
    {
        m_find.ShowFound(true);
        return;
    }
    const HTREEITEM hit = UI::FindRow(m_tree, TreeView_GetSelection(m_tree), forward, includeSelected,
                                      [&](HTREEITEM row)
                                      {
                                          const RowSubject* subject = m_draw.SubjectOf(row);
                                          return subject && SubjectMatches(*subject, needle);
                                      });
    m_find.ShowFound(hit != nullptr);
    if (hit)
        UI::RevealRow(m_tree, hit);
}

// Ctrl+C copies the row as shown; Ctrl+F opens the find field; F3 finds the next hit
// (Shift+F3 the previous), or opens the field when there is nothing to find yet.
bool CApplicationsDialog::OnTreeKey(const NMTVKEYDOWN& key)
{
    if (UI::IsCtrlKey(key, 'C'))
    {
        UI::CopyToClipboard(GetHwnd(), RowCopyText(IDM_COPY_ROW));
        return true;
    }
    if (UI::IsCtrlKey(key, 'F'))
    {
        m_find.Open();
        return true;
    }
    if (key.wVKey == VK_F3)
    {
        if (m_find.Text().empty())
            m_find.Open();
        else
            FindRow(::GetKeyState(VK_SHIFT) >= 0, false);
        return true;
    }
    return false;
}

bool CApplicationsDialog::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDM_COPY_ROW || id == IDM_COPY_MD5 || id == IDM_COPY_PATH)
    {
        UI::CopyToClipboard(GetHwnd(), RowCopyText(id));
        return true;
    }
    if (m_find.OnCommand(id, code))
        return true;
    return UI::SizeDialog::OnCommand(id, code, control);
}

void CApplicationsDialog::OnSize(UINT type, int width, int height)
{
    UI::SizeDialog::OnSize(type, width, height);
    m_find.Place();
}

bool CApplicationsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_CONTEXTMENU || reinterpret_cast<HWND>(wParam) != m_tree || !m_tree)
        return UI::SizeDialog::OnMessage(message, wParam, lParam, result);
    const bool hasRow = !RowCopyText(IDM_COPY_ROW).empty();
    const std::vector<UI::RowMenuEntry> entries = {
        {IDM_COPY_ROW, L"Copy", hasRow},
        {IDM_COPY_MD5, L"Copy MD5", !RowCopyText(IDM_COPY_MD5).empty()},
        {IDM_COPY_PATH, L"Copy path", !RowCopyText(IDM_COPY_PATH).empty()},
    };
    UI::ShowRowMenu(GetHwnd(), m_tree, lParam, entries);
    result = 0;
    return true;
}

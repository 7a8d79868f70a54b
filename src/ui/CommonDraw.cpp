#include "ui/CommonDraw.h"

#include <memory>
#include <vector>

namespace UI
{

namespace
{
LOGFONTW ConsolasAt96(LONG height)
{
    LOGFONTW description = {};
    description.lfHeight = height;
    description.lfWeight = 300;
    description.lfCharSet = 0;
    description.lfOutPrecision = OUT_DEVICE_PRECIS;
    description.lfClipPrecision = CLIP_LH_ANGLES;
    description.lfQuality = DEFAULT_QUALITY;
    description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    wcscpy_s(description.lfFaceName, L"Consolas");
    return description;
}
} // namespace

LOGFONTW TreeFontAt96()
{
    return ConsolasAt96(-12);
}

// The painter's own font: Consolas at 11 pixels (at 96 DPI), light.
CommonDraw::CommonDraw() : m_font(ConsolasAt96(-11)) {}

CommonDraw::~CommonDraw()
{
    ClearItems();
}

void CommonDraw::ClearItems()
{
    m_items.Clear();
}

void CommonDraw::SetNeedsFill(bool needsFill)
{
    m_needsFill = needsFill;
}

// The record goes in with the row, in one message: each message naming a row costs a
// search through all rows in some tree view implementations, which makes big trees
// slow to fill.
HTREEITEM CommonDraw::AddRow(HWND tree, HTREEITEM parent, const std::wstring& text, const ItemInfo& info)
{
    if (!tree)
        return nullptr;
    auto record = std::make_unique<ItemInfo>(info);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = reinterpret_cast<LPARAM>(record.get());
    auto row = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!row)
        return nullptr;
    m_items.Add(std::move(record));
    return row;
}

// Iterative, so that a deep tree cannot exhaust the stack.
void CommonDraw::DetachItemData(HWND tree, HTREEITEM item)
{
    if (!tree)
        return;
    auto next = [tree](HTREEITEM from, UINT how)
    {
        return reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(from)));
    };
    std::vector<HTREEITEM> pending;
    HTREEITEM first =
        (item == nullptr || item == TVI_ROOT) ? next(nullptr, TVGN_ROOT) : next(item, TVGN_CHILD);
    // Siblings are pushed in reverse so that rows are visited in tree order.
    auto pushSiblings = [&](HTREEITEM from)
    {
        std::vector<HTREEITEM> siblings;
        for (HTREEITEM row = from; row; row = next(row, TVGN_NEXT))
            siblings.push_back(row);
        pending.insert(pending.end(), siblings.rbegin(), siblings.rend());
    };
    pushSiblings(first);
    while (!pending.empty())
    {
        HTREEITEM row = pending.back();
        pending.pop_back();
        TVITEMW data = {};
        data.mask = TVIF_PARAM;
        data.hItem = row;
        data.lParam = 0;
        ::SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&data));
        pushSiblings(next(row, TVGN_CHILD));
    }
}

void CommonDraw::EmptyTree(HWND tree)
{
    if (tree)
    {
        DetachItemData(tree, TVI_ROOT);
        ::SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    }
    ClearItems();
    SetNeedsFill(true);
}

LRESULT CommonDraw::OnCustomDraw(NMTVCUSTOMDRAW* draw)
{
    LRESULT result = 0;
    if (!draw)
        return result;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
    {
        const auto* record = reinterpret_cast<const ItemInfo*>(draw->nmcd.lItemlParam);
        if (record)
        {
            if (record->textColour != 0)
            {
                draw->clrText = record->textColour;
                if (draw->nmcd.uItemState & CDIS_SELECTED)
                    draw->clrTextBk = record->selectedBackground;
            }
            if (record->font)
                ::SelectObject(draw->nmcd.hdc, record->font);
        }
    }
    return result | CDRF_NOTIFYITEMDRAW | CDRF_NEWFONT;
}

} // namespace UI

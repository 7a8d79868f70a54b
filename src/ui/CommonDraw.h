#pragma once
// The painter base of the tree pages: owns the per-row records that carry each
// row's kind and colours, and paints rows in those colours through custom draw.

#include "misc/Handles.h"
#include "misc/List.h"
#include "ui/Dpi.h"

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace UI
{

struct ItemInfo
{
    int kind = 0;
    COLORREF textColour = 0;         // 0 keeps the tree's default colours
    COLORREF selectedBackground = 0; // text background while the row is selected
    HFONT font = nullptr;            // a font for the row; none in this program
    int reserved = 0;
};

// The trees' font at 96 DPI: Consolas at 12 pixels, light, fixed pitch, which the
// column alignment of the rows relies on.
LOGFONTW TreeFontAt96();

class CommonDraw
{
  public:
    CommonDraw();
    virtual ~CommonDraw();
    CommonDraw(const CommonDraw&) = delete;
    CommonDraw& operator=(const CommonDraw&) = delete;

    // Deletes every record; the tree's rows must no longer refer to them.
    virtual void ClearItems();
    virtual void SetNeedsFill(bool needsFill);
    bool NeedsFill() const noexcept { return m_needsFill; }

    HFONT Font() const noexcept { return m_font.Get(); }
    // The painter's font made again for the DPI its tree is shown at.
    void SetDpi(UINT dpi) { m_font.SetDpi(dpi); }
    std::size_t ItemCount() const noexcept { return m_items.Count(); }

    // Inserts `text` as the last child of `parent` and attaches a new record with
    // `info`; gives the row, or none (and no record) when the insertion failed.
    HTREEITEM AddRow(HWND tree, HTREEITEM parent, const std::wstring& text, const ItemInfo& info);

    // Sets the item data of every row below `item` (TVI_ROOT: the whole tree) to none,
    // depth-first, each row before its children.
    static void DetachItemData(HWND tree, HTREEITEM item);
    // Empties the tree safely: detach the records, delete all rows, then the records.
    void EmptyTree(HWND tree);

    // The NM_CUSTOMDRAW handler of a tree whose rows carry ItemInfo records.
    static LRESULT OnCustomDraw(NMTVCUSTOMDRAW* draw);

  protected:
    Misc::List<ItemInfo> m_items;
    ScaledFont m_font;
    bool m_needsFill = true;
};

} // namespace UI

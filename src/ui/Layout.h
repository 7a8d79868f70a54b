#pragma once
// Relative layout of a dialog's controls: each control moves and grows by fixed
// fractions of the dialog's growth since Attach, never below the template arrangement.

#include "misc/Array.h"
#include "ui/Dpi.h"

#include <windows.h>

namespace UI
{

class iDlgLayoutManager
{
  public:
    virtual void Attach(HWND dialog, bool resetMinimum) = 0;
    virtual void SetMinTrackSize(int width, int height) = 0;
    virtual void OnSize(HWND dialog, UINT sizeType, int width, int height) = 0;
    virtual void OnGetMinMaxInfo(HWND dialog, MINMAXINFO* info) = 0;
    // `growth` is (dx, dy); with a child window the child's own growth is written back.
    virtual bool OnContentResized(HWND dialog, HWND child, POINT* growth) = 0;

  protected:
    ~iDlgLayoutManager() = default;
};

class RelativeLayout final : public iDlgLayoutManager
{
  public:
    struct Item
    {
        bool valid = false;
        int controlId = 0;
        RECT initial = {};
        double moveX = 0;
        double moveY = 0;
        double growX = 0;
        double growY = 0;
    };

    RelativeLayout() = default;

    void AddItem(int controlId, double moveX, double moveY, double growX, double growY);

    void Attach(HWND dialog, bool resetMinimum) override;
    void SetMinTrackSize(int width, int height) override;
    void OnSize(HWND dialog, UINT sizeType, int width, int height) override;
    void OnGetMinMaxInfo(HWND dialog, MINMAXINFO* info) override;
    bool OnContentResized(HWND dialog, HWND child, POINT* growth) override;

    // Where an item's control goes at a growth of (gx, gy); growth below zero counts as zero.
    static RECT PlaceItem(const Item& item, int gx, int gy);
    // The share of `growth` that `fraction` gives, truncated toward zero; none for fractions <= 0.
    static int Share(int growth, double fraction);

    std::size_t ItemCount() const noexcept { return m_items.Count(); }
    const Item* ItemAt(std::size_t index) const { return m_items.At(index); }
    SIZE CurrentSize() const noexcept { return {m_currentWidth, m_currentHeight}; }
    SIZE InitialSize() const noexcept { return {m_initialWidth, m_initialHeight}; }
    SIZE MinTrackSize() const noexcept { return {m_minTrackWidth, m_minTrackHeight}; }
    // The dialog's font changed from `from` to `to` units (a new DPI): the template
    // arrangement and the minimum are laid out again in the new units, and the controls
    // are placed for the dialog's present size.
    void Rescale(HWND dialog, const DialogUnits& from, const DialogUnits& to);

    // How many times OnSize moved the controls.
    unsigned RelayoutCount() const noexcept { return m_relayouts; }

  private:
    Item* FindItem(int controlId) const;
    void PlaceAll(HWND dialog) const;
    void PlaceOne(HWND dialog, const Item& item, int gx, int gy) const;
    int GrowthX() const noexcept;
    int GrowthY() const noexcept;
    bool MoveAlong(HWND dialog, HWND child, Item& childItem, POINT& growth);
    void GrowDialog(HWND dialog, const Item* childItem, int growX, int growY);

    int m_currentWidth = -1;
    int m_currentHeight = -1;
    int m_minTrackWidth = -1;
    int m_minTrackHeight = -1;
    Misc::Array<Item> m_items;
    int m_initialWidth = -1;
    int m_initialHeight = -1;
    unsigned m_relayouts = 0;
};

} // namespace UI

#pragma once
// Builds the System tab's tree from the System model.

#include "report/Findings.h"
#include "system/SystemInfo.h"
#include "ui/CommonDraw.h"

#include <commctrl.h>

// Kinds of the System tree's rows.
enum SystemItemKind : int
{
    kSystemItemPlain = 0,
    kSystemItemOsHeading = 11,
    kSystemItemAdaptersHeading = 12,
    kSystemItemAdapterGroup = 13,    // adapter lines and the address group lines
    kSystemItemProblemsHeading = 14, // "Problems found (N)" and "No problems found."
    kSystemItemProblem = 15,
    kSystemItemWarning = 16,
};

// The text colour and selected background of a findings row.
struct FindingColours
{
    COLORREF text;
    COLORREF selectedBackground;
};
FindingColours ColoursForSeverity(Severity severity);
// "No problems found." and the heading above findings.
FindingColours ColoursForHeading(std::size_t findings);

class SystemDraw : public UI::CommonDraw
{
  public:
    // Inserts `text` as the last child of `parent` (none: the root) with a record of
    // `kind`; gives the new row, or none when it could not be inserted.
    HTREEITEM AddItem(HWND tree, HTREEITEM parent, const std::wstring& text, int kind);
    // Each gives true when its heading line was added.
    bool AddOsBranch(HWND tree, HTREEITEM parent, const SystemInfo& model);
    bool AddAdapterBranch(HWND tree, HTREEITEM parent, const SystemInfo& model);
    // "Problems found (N)", opened, with one row per finding in its severity's colour;
    // or the one row "No problems found.". True when the first row was added.
    bool AddProblemsBranch(HWND tree, HTREEITEM parent, const FindingList& findings);
    void AddAddressBranch(HWND tree, HTREEITEM adapterLine, const AdapterInfo& adapter);
};

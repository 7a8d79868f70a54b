#pragma once
// Builds the Files tab's tree from the inventory: one row per folder, one aligned
// line per file with its facts, the file's detail lines below it, coloured by kind.

#include "inventory/ApplicationsInfo.h"
#include "ui/CommonDraw.h"

#include <commctrl.h>

#include <cstddef>
#include <string>

// Kinds of the Files tree's rows.
enum ApplicationsItemKind : int
{
    kApplicationsItemFolder = 14,
    kApplicationsItemFile = 15, // file lines and their detail lines
};

// Spaces added after (PadRight) or before (PadLeft) the text up to `width`, never
// more than 60.
std::wstring PadRight(const std::wstring& text, std::size_t width);
std::wstring PadLeft(const std::wstring& text, std::size_t width);

// The texts of one file line's columns.
struct FileColumns
{
    std::wstring name;
    std::wstring platform;
    std::wstring version;
    std::wstring date;
    std::wstring size;
    std::wstring digest;

    static FileColumns Of(const ApplicationsInfo::FileInfo& file);
};

// The widths of one folder's columns: the longest text of each.
struct ColumnWidths
{
    std::size_t name = 0;
    std::size_t platform = 0;
    std::size_t version = 0;
    std::size_t date = 0;
    std::size_t size = 0;
    std::size_t digest = 0;

    void Widen(const FileColumns& file);
};

// "name | platform | version | date | size | digest"; platform and version are left
// out when the whole folder has none.
std::wstring FileLineText(const FileColumns& file, const ColumnWidths& widths);
// The name padded to the folder names' width, with "  'path'" for a show-path folder.
std::wstring FolderLineText(const ApplicationsInfo::FolderContent& folder, std::size_t nameWidth);

struct RowColours
{
    COLORREF text = 0; // 0 keeps the tree's default colours
    COLORREF selectedBackground = 0;
};

class ApplicationsDraw : public UI::CommonDraw
{
  public:
    static constexpr COLORREF kDetailText = 0x404040;
    static constexpr COLORREF kDetailSelected = 0xDFDFDF;

    // False when there is no tree to fill, or no folder of the inventory holds a file.
    bool Fill(HWND tree, HTREEITEM parent, const ApplicationsInfo* inventory);
    // The rows of `folder`'s sub-folders and files under `parent`; true when at least
    // one row was added or one file was met.
    bool AddFolderItems(HWND tree, HTREEITEM parent, const ApplicationsInfo::FolderContent& folder);
    HTREEITEM AddItem(HWND tree, HTREEITEM parent, const std::wstring& text, int kind, COLORREF textColour,
                      COLORREF selectedBackground);

    // The colours of a file row by the file's extension (without the dot).
    static RowColours ColoursForExtension(const std::wstring& extension);
    // True when the folder or one below it holds a file.
    static bool HoldsFiles(const ApplicationsInfo::FolderContent& folder);
    // The colours of a folder row by the folder's options.
    static RowColours ColoursForFolder(std::uint32_t options);

  private:
    void AddFileItems(HWND tree, HTREEITEM parent, const ApplicationsInfo::FileInfo& file,
                      const ColumnWidths& widths);
};

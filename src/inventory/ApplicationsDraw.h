#pragma once
// Builds the Files tab's tree from the inventory: one row per folder, one aligned
// line per file with its facts, the file's detail lines below it, coloured by kind.

#include "inventory/ApplicationsInfo.h"
#include "ui/CommonDraw.h"

#include <commctrl.h>

#include <cstddef>
#include <map>
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

// What a row of the Files tree stands for: a folder, or a file (its line or one of its
// detail lines). The inventory's records outlive the rows: both go at a clear or scan.
struct RowSubject
{
    const ApplicationsInfo::FolderContent* folder = nullptr;
    const ApplicationsInfo::FileInfo* file = nullptr;
    bool detail = false;
};

// Whether a folder row's name, or a file line's name, version or digest holds
// `needle` without regard to case; detail lines are not searched.
bool SubjectMatches(const RowSubject& subject, const std::wstring& needle);

class ApplicationsDraw : public UI::CommonDraw
{
  public:
    void ClearItems() override;
    // What `row` stands for; none for a row this painter did not add.
    const RowSubject* SubjectOf(HTREEITEM row) const;

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
    std::map<HTREEITEM, RowSubject> m_subjects;

    void AddFileItems(HWND tree, HTREEITEM parent, const ApplicationsInfo::FileInfo& file,
                      const ColumnWidths& widths);
};

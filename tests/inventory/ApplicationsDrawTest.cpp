#include "inventory/ApplicationsDraw.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using OrvoTest::Narrow;
using FolderContent = ApplicationsInfo::FolderContent;

std::wstring Spaces(std::size_t count)
{
    return std::wstring(count, L' ');
}

TEST(PadText, AddsTheMissingSpacesButNeverMoreThanSixty)
{
    struct Case
    {
        std::wstring text;
        std::size_t width;
        std::wstring right, left;
    };
    const Case cases[] = {
        {L"ab", 5, L"ab   ", L"   ab"},
        {L"12", 7, L"12" + Spaces(5), Spaces(5) + L"12"},
        {L"abc", 3, L"abc", L"abc"},
        {L"abcd", 2, L"abcd", L"abcd"}, // never cut
        {L"", 0, L"", L""},
        {L"", 4, Spaces(4), Spaces(4)},
        {L"x", 61, L"x" + Spaces(60), Spaces(60) + L"x"},
        {L"x", 200, L"x" + Spaces(60), Spaces(60) + L"x"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(PadRight(c.text, c.width), c.right) << Narrow(c.text) << " " << c.width;
        EXPECT_EQ(PadLeft(c.text, c.width), c.left) << Narrow(c.text) << " " << c.width;
    }
}

// One folder's files and the lines the builder makes of them.
struct FolderCase
{
    const char* what;
    std::vector<FileColumns> files;
    std::vector<std::wstring> lines;
};

std::vector<std::wstring> Lines(const std::vector<FileColumns>& files)
{
    ColumnWidths widths;
    for (const FileColumns& file : files)
        widths.Widen(file);
    std::vector<std::wstring> lines;
    for (const FileColumns& file : files)
        lines.push_back(FileLineText(file, widths));
    return lines;
}

const wchar_t kDate[] = L"09-12-2026 17:05";
const wchar_t kMd5A[] = L"900150983CD24FB0D6963F7D28E17F72";
const wchar_t kMd5B[] = L"D41D8CD98F00B204E9800998ECF8427E";

TEST(FileLineText, ColumnsAreAlignedPerFolder)
{
    const std::wstring longName(70, L'n');
    const FolderCase cases[] = {
        {"sizes 12 and 1048576: a 7-wide size column",
         {{L"a.txt", L"", L"", kDate, L"12", kMd5A}, {L"big.txt", L"", L"", kDate, L"1048576", kMd5B}},
         {L"a.txt   | 09-12-2026 17:05 |      12 | 900150983CD24FB0D6963F7D28E17F72",
          L"big.txt | 09-12-2026 17:05 | 1048576 | D41D8CD98F00B204E9800998ECF8427E"}},
        {"no file with platform or version: no such columns",
         {{L"readme.txt", L"", L"", kDate, L"3", kMd5A}},
         {L"readme.txt | 09-12-2026 17:05 | 3 | 900150983CD24FB0D6963F7D28E17F72"}},
        {"one file with platform and version: the others get spaces",
         {{L"Engine.dll", L"x64", L"5.0.0.7", kDate, L"204800", kMd5A},
          {L"notes.txt", L"", L"", kDate, L"3", kMd5B},
          {L"Old.dll", L"Intel Itanium", L"", kDate, L"10", kMd5B}},
         {L"Engine.dll | x64           | 5.0.0.7 | 09-12-2026 17:05 | 204800 | "
          L"900150983CD24FB0D6963F7D28E17F72",
          L"notes.txt  |               |         | 09-12-2026 17:05 |      3 | "
          L"D41D8CD98F00B204E9800998ECF8427E",
          L"Old.dll    | Intel Itanium |         | 09-12-2026 17:05 |     10 | "
          L"D41D8CD98F00B204E9800998ECF8427E"}},
        {"version only",
         {{L"a.exe", L"", L"1.0", kDate, L"1", kMd5A}, {L"b.ini", L"", L"", kDate, L"1", kMd5A}},
         {L"a.exe | 1.0 | 09-12-2026 17:05 | 1 | 900150983CD24FB0D6963F7D28E17F72",
          L"b.ini |     | 09-12-2026 17:05 | 1 | 900150983CD24FB0D6963F7D28E17F72"}},
        {"a file that could not be read: empty date and digest, size 0",
         {{L"locked.dat", L"", L"", L"", L"0", L""}, {L"ok.dat", L"", L"", kDate, L"12", kMd5A}},
         {L"locked.dat |                  |  0 | " + Spaces(32),
          L"ok.dat     | 09-12-2026 17:05 | 12 | " + std::wstring(kMd5A)}},
        {"names differing by more than 60: at most 60 spaces",
         {{L"a.txt", L"", L"", kDate, L"1", kMd5A}, {longName, L"", L"", kDate, L"1", kMd5A}},
         {L"a.txt" + Spaces(60) + L" | 09-12-2026 17:05 | 1 | " + kMd5A,
          longName + L" | 09-12-2026 17:05 | 1 | " + kMd5A}},
    };
    for (const FolderCase& c : cases)
    {
        const std::vector<std::wstring> lines = Lines(c.files);
        ASSERT_EQ(lines.size(), c.lines.size()) << c.what;
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(Narrow(lines[i]), Narrow(c.lines[i])) << c.what;
    }
}

TEST(FolderLineText, PaddedNameAndThePathOfShowPathFolders)
{
    struct Case
    {
        const wchar_t* name;
        const wchar_t* path;
        std::uint32_t options;
        std::size_t width;
        const wchar_t* line;
    };
    const Case cases[] = {
        {L"Tarvik Scenira 6 Pro", L"C:\\Missing\\Orvo", 6, 20, L"Tarvik Scenira 6 Pro  'C:\\Missing\\Orvo'"},
        {L"Orvo Diag", L"C:\\Tools\\", 14, 20, L"Orvo Diag             'C:\\Tools\\'"},
        {L"Gobo", L"C:\\Orvo", 0, 7, L"Gobo   "},
        {L"Gel", L"C:\\Orvo", 4, 0, L"Gel"},
    };
    for (const Case& c : cases)
    {
        const FolderContent folder(c.path, L"", c.name, c.options, false);
        EXPECT_EQ(Narrow(FolderLineText(folder, c.width)), Narrow(c.line));
    }
}

TEST(ApplicationsDrawColours, ByExtensionIgnoringAsciiCase)
{
    struct Case
    {
        const wchar_t* extension;
        COLORREF text, selected;
    };
    const Case cases[] = {
        {L"exe", 0x007F00, 0xDFFFDF},
        {L"EXE", 0x007F00, 0xDFFFDF},
        {L"dll", 0x7F0000, 0xFFDFDF},
        {L"Dll", 0x7F0000, 0xFFDFDF},
        {L"plugin", 0x7F007F, 0xFFDFFF},
        {L"PlugIn", 0x7F007F, 0xFFDFFF},
        {L"vlb", 0x7F007F, 0xFFDFFF},
        {L"VLB", 0x7F007F, 0xFFDFFF},
        {L"txt", 0, 0xBFBFBF},
        {L"", 0, 0xBFBFBF},
        {L"ex", 0, 0xBFBFBF},
        {L"exe2", 0, 0xBFBFBF},
        {L"dl", 0, 0xBFBFBF},
        {L"plugins", 0, 0xBFBFBF},
        {L"\u00c9XE", 0, 0xBFBFBF},
    };
    for (const Case& c : cases)
    {
        const RowColours colours = ApplicationsDraw::ColoursForExtension(c.extension);
        EXPECT_EQ(colours.text, c.text) << Narrow(c.extension);
        EXPECT_EQ(colours.selectedBackground, c.selected) << Narrow(c.extension);
    }
    struct FolderCase
    {
        std::uint32_t options;
        COLORREF text, selected;
    };
    for (const FolderCase& c : {FolderCase{0, 0x00007F, 0xDFDFFF}, FolderCase{2, 0x00007F, 0xDFDFFF},
                                FolderCase{6, 0, 0xBFBFBF}, FolderCase{14, 0, 0xBFBFBF}})
    {
        const RowColours colours = ApplicationsDraw::ColoursForFolder(c.options);
        EXPECT_EQ(colours.text, c.text) << c.options;
        EXPECT_EQ(colours.selectedBackground, c.selected) << c.options;
    }
}

} // namespace

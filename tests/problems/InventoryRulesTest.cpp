#include "problems/InventoryRules.h"
#include "problems/ProblemRules.h"

#include "inventory/FileProcessors.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

using OrvoTest::Narrow;
using FolderContent = ApplicationsInfo::FolderContent;
using FileInfo = ApplicationsInfo::FileInfo;

struct FileRow
{
    const wchar_t* subFolder; // "" directly in the installation folder
    const wchar_t* name;
    const wchar_t* version;
    const wchar_t* platform;
    const wchar_t* infoLine; // a detail line, or ""
};

struct FolderRow
{
    const wchar_t* label;
    const wchar_t* path;
    std::vector<FileRow> files;
};

FolderContent& SubFolderOf(FolderContent& top, const std::wstring& name)
{
    for (FolderContent* sub = top.Folders().First(); sub; sub = top.Folders().Next())
        if (sub->Name() == name)
            return *sub;
    return *top.AddFolder(std::make_unique<FolderContent>(top.MainFolder(), name, name, 0, false));
}

// The inventory as a scan would leave it, without touching the disk.
void Fill(ApplicationsInfo& inventory, const std::vector<FolderRow>& folders)
{
    for (const FolderRow& row : folders)
    {
        FolderContent* top =
            inventory.Root().AddFolder(std::make_unique<FolderContent>(row.path, L"", row.label, 6, false));
        for (const FileRow& file : row.files)
        {
            FolderContent& holder = *file.subFolder ? SubFolderOf(*top, file.subFolder) : *top;
            auto record = std::make_unique<FileInfo>(holder.FullPath() + L"\\" + file.name, file.name);
            record->SetFacts(file.version, L"", L"1", file.platform, L"");
            if (*file.infoLine)
                record->AddInfoLine(file.infoLine);
            holder.Files().Add(std::move(record));
        }
    }
}

std::vector<std::string> Lines(const FindingList& findings)
{
    std::vector<std::string> lines;
    for (const Finding& finding : findings)
        lines.push_back(Narrow(FindingLine(finding)));
    return lines;
}

struct RuleCase
{
    const char* name;
    std::vector<FolderRow> folders;
    std::vector<std::string> expected;
};

constexpr wchar_t kPro64[] = L"Velmora 6 Pro [64]";
constexpr wchar_t kPro32[] = L"Velmora 6 Pro [32]";
constexpr wchar_t kLite32[] = L"Velmora 6 Lite [32]";
constexpr wchar_t kMissing[] = L"Load failed: 0000007E The specified module could not be found.\r\n";

void ExpectRule(FindingList (*rule)(const ApplicationsInfo&), const std::vector<RuleCase>& cases)
{
    for (const RuleCase& c : cases)
    {
        ApplicationsInfo inventory;
        Fill(inventory, c.folders);
        EXPECT_EQ(Lines(rule(inventory)), c.expected) << c.name;
    }
}

TEST(InventoryRules, LoadTestFindingsNameTheLibraryAndItsLoadFailedLine)
{
    ExpectRule(LoadTestFindings,
               {
                   {"loaded", {{kPro64, L"C:\\P", {{L"", L"a.dll", L"", L"x64", L"Loaded correctly."}}}}, {}},
                   {"not tested", {{kPro64, L"C:\\P", {{L"", L"b.dll", L"", L"x64", L""}}}}, {}},
                   {"failed, one line",
                    {{kPro64, L"C:\\P", {{L"", L"x.dll", L"", L"x64", kMissing}}}},
                    {"Problem (Velmora 6 Pro [64]): C:\\P\\x.dll: Load failed: 0000007E The specified module "
                     "could not "
                     "be found."}},
                   {"failed below, and in a second folder",
                    {{kPro64, L"C:\\P", {{L"Plugins", L"y.dll", L"", L"x64", L"Load failed: 000005B4"}}},
                     {kLite32, L"C:\\L", {{L"", L"z.dll", L"", L"x86", L"Load failed: 000003E6"}}}},
                    {"Problem (Velmora 6 Lite [32]): C:\\L\\z.dll: Load failed: 000003E6",
                     "Problem (Velmora 6 Pro [64]): C:\\P\\Plugins\\y.dll: Load failed: 000005B4"}},
               });
}

TEST(InventoryRules, VersionFindingsCompareProgramsOfOneProductLine)
{
    ExpectRule(
        VersionFindings,
        {
            {"same version",
             {{kPro64, L"C:\\A", {{L"", L"Velmora.exe", L"6.1.0.0", L"x64", L""}}},
              {kPro32, L"C:\\B", {{L"", L"Velmora.exe", L"6.1.0.0", L"x86", L""}}}},
             {}},
            {"6.1 beside 6.2",
             {{kPro64, L"C:\\A", {{L"", L"Velmora.exe", L"6.1.0.0", L"x64", L""}}},
              {kPro32, L"C:\\B", {{L"", L"VELMORA.EXE", L"6.2.0.0", L"x86", L""}}}},
             {"Warning (Velmora 6 Pro [64]): Velmora.exe is 6.1.0.0 here but 6.2.0.0 in Velmora 6 Pro [32] "
              "(C:\\B)."}},
            {"another product line",
             {{kPro64, L"C:\\A", {{L"", L"Velmora.exe", L"6.1.0.0", L"x64", L""}}},
              {kLite32, L"C:\\B", {{L"", L"Velmora.exe", L"6.2.0.0", L"x86", L""}}}},
             {}},
            {"another program, a library, a program in a sub-folder, no version",
             {{kPro64,
               L"C:\\A",
               {{L"", L"Velmora.exe", L"6.1.0.0", L"x64", L""},
                {L"", L"a.dll", L"1.0", L"x64", L""},
                {L"Tools", L"Convert.exe", L"1.0", L"x64", L""},
                {L"", L"Viewer.exe", L"", L"x64", L""}}},
              {kPro32,
               L"C:\\B",
               {{L"", L"Editor.exe", L"6.2.0.0", L"x86", L""},
                {L"", L"a.dll", L"2.0", L"x86", L""},
                {L"Tools", L"Convert.exe", L"2.0", L"x86", L""},
                {L"", L"Viewer.exe", L"6.2", L"x86", L""}}}},
             {}},
        });
}

TEST(InventoryRules, MachineTypeFindingsWhereTheProgramsLoadLibraries)
{
    ExpectRule(
        MachineTypeFindings,
        {
            {"same type",
             {{kPro64, L"C:\\A", {{L"", L"V.exe", L"", L"x64", L""}, {L"", L"a.dll", L"", L"x64", L""}}}},
             {}},
            {"beside the program",
             {{kLite32, L"C:\\L", {{L"", L"V.exe", L"", L"x86", L""}, {L"", L"a.dll", L"", L"x64", L""}}}},
             {"Problem (Velmora 6 Lite [32]): C:\\L\\a.dll is built for x64, the folder's programs for x86: "
              "they "
              "cannot load it."}},
            {"plug-in folder and plug-in file; a tools folder is not loaded from",
             {{kPro64,
               L"C:\\A",
               {{L"", L"V.exe", L"", L"x64", L""},
                {L"Plugins", L"p.dll", L"", L"x86", L""},
                {L"Shapes", L"s.vlb", L"", L"x86", L""},
                {L"Tools", L"t.dll", L"", L"x86", L""}}}},
             {"Problem (Velmora 6 Pro [64]): C:\\A\\Plugins\\p.dll is built for x86, the folder's programs "
              "for "
              "x64: they cannot load it.",
              "Problem (Velmora 6 Pro [64]): C:\\A\\Shapes\\s.vlb is built for x86, the folder's programs "
              "for "
              "x64: they cannot load it."}},
            {"programs of both types: undecided",
             {{kPro64,
               L"C:\\A",
               {{L"", L"V.exe", L"", L"x64", L""},
                {L"", L"W.exe", L"", L"x86", L""},
                {L"", L"a.dll", L"", L"x86", L""}}}},
             {}},
            {"the diagnostics program's own folder",
             {{L"Orvo Diag",
               L"Z:\\bin",
               {{L"", L"OrvoDiag.exe", L"", L"x64", L""}, {L"", L"a.dll", L"", L"x86", L""}}}},
             {}},
            {"no program, or a library of no known type",
             {{kPro64, L"C:\\A", {{L"", L"a.dll", L"", L"x86", L""}}},
              {kPro32, L"C:\\B", {{L"", L"V.exe", L"", L"x86", L""}, {L"", L"b.dll", L"", L"", L""}}}},
             {}},
        });
}

TEST(InventoryRules, UsbSupportFindingsOnlyWhereTheProductKeepsTheLibrary)
{
    struct Case
    {
        const char* name;
        std::vector<FolderRow> folders;
        bool handedOver;
        std::size_t expected;
    } cases[] = {
        {"Pro folder without it", {{kPro64, L"C:\\A", {{L"", L"V.exe", L"", L"x64", L""}}}}, false, 1},
        {"Pro folder with it", {{kPro64, L"C:\\A", {{L"", L"V.exe", L"", L"x64", L""}}}}, true, 0},
        {"only a libraries folder",
         {{L"Velmora 6 Libraries [32]", L"C:\\L", {{L"", L"i.txt", L"", L"", L""}}}},
         false,
         0},
        {"a Pro folder without files", {{kPro64, L"C:\\A", {}}}, false, 0},
        {"no installation", {}, false, 0},
    };
    for (const Case& c : cases)
    {
        ApplicationsInfo inventory;
        Fill(inventory, c.folders);
        Misc::List<FileInfo> driverFiles;
        if (c.handedOver)
            driverFiles.Add(std::make_unique<FileInfo>(L"C:\\A\\TarvikUSB.DLL", L"TarvikUSB.DLL"));
        const std::vector<std::string> lines = Lines(UsbSupportFindings(inventory, driverFiles));
        ASSERT_EQ(lines.size(), c.expected) << c.name;
        for (const std::string& line : lines)
            EXPECT_EQ(line,
                      "Warning (USB DMX test): No TarvikUSB.dll was found in any installation folder: the "
                      "product cannot reach a USB DMX box.");
    }
}

// All rules together: a clean installation gives nothing, one fault gives one finding.
TEST(ProblemRules, CleanInstallationGivesNoFindings)
{
    const std::wstring report = L"TESTING 'C:\\A\\TarvikUSB.dll'\nTry accessing Tarvik USB Boxes using "
                                L"'C:\\A\\UsbDmx.dll'\nFound 2 boxes\nTry accessing Tarvik USB Boxes using "
                                L"'C:\\A\\UsbDmx12.dll'\nFound 0 boxes\n";
    for (const wchar_t* line : {L"Loaded correctly.", kMissing})
    {
        ApplicationsInfo inventory;
        Fill(inventory, {{kPro64,
                          L"C:\\A",
                          {{L"", L"Velmora.exe", L"6.0.412.0", L"x64", L""},
                           {L"", L"SkarvelReader.dll", L"6.0.412.0", L"x64", line},
                           {L"", L"TarvikUSB.dll", L"", L"x64", L""}}}});
        Misc::List<FileInfo> driverFiles;
        driverFiles.Add(std::make_unique<FileInfo>(L"C:\\A\\TarvikUSB.dll", L"TarvikUSB.dll"));
        OsFacts os;
        os.scanned = true;
        os.systemDrive = L"C:\\";
        os.systemDriveFreeBytes = 10ull << 30;
        const FindingList findings = JudgeScan({&inventory, &driverFiles, report, &os});
        EXPECT_EQ(Narrow(FindingsHeading(findings.size())),
                  line == kMissing ? "Problems found (1)" : "No problems found.")
            << Narrow(line);
    }
}

class FolderRules : public OrvoTest::TempDirTest
{
};

// The walk itself records why a folder could not be listed.
TEST_F(FolderRules, RegisteredFolderThatCannotBeListed)
{
    ApplicationsInfo inventory;
    const struct
    {
        const wchar_t* label;
        std::wstring path;
    } folders[] = {
        {L"Velmora 6 Pro [64]", Dir()},
        {L"Velmora 6 Lite [32]", Dir() + L"\\gone"},
        {L"Velmora 6 DEMO [32]", L""},
    };
    for (const auto& folder : folders)
    {
        FolderContent* top = inventory.Root().AddFolder(
            std::make_unique<FolderContent>(folder.path, L"", folder.label, 6, false));
        top->AddProcessor(std::make_unique<GenericFileProcessor>());
    }
    inventory.Root().Walk(nullptr, nullptr);
    EXPECT_EQ(Lines(FolderFindings(inventory)),
              (std::vector<std::string>{
                  "Warning (Velmora 6 DEMO [32]): The registry names this folder with an empty path.",
                  "Problem (Velmora 6 Lite [32]): The registered folder " + Narrow(Dir()) +
                      "\\gone does not exist.",
              }));
}

} // namespace

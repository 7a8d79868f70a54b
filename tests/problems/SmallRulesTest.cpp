#include "misc/Handles.h"
#include "problems/RegistryRules.h"
#include "problems/SaveRules.h"
#include "problems/SystemRules.h"
#include "report/Findings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using OrvoTest::Narrow;

TEST(Findings, LinesHeadingsAndOneLineTexts)
{
    EXPECT_EQ(Narrow(FindingLine({Severity::Problem, L"Velmora 6 Pro [64]", L"x"})),
              "Problem (Velmora 6 Pro [64]): x");
    EXPECT_EQ(Narrow(FindingLine({Severity::Warning, L"", L"y"})), "Warning: y");
    EXPECT_EQ(Narrow(FindingsHeading(0)), "No problems found.");
    EXPECT_EQ(Narrow(FindingsHeading(3)), "Problems found (3)");
    const struct
    {
        const wchar_t* text;
        const char* line;
    } texts[] = {
        {L"Load failed: 0000007E The module\r\n", "Load failed: 0000007E The module"},
        {L"\t a \r\n\r\n b\tc  ", "a b c"},
        {L"", ""},
    };
    for (const auto& t : texts)
        EXPECT_EQ(Narrow(OneLine(t.text)), t.line);
    Severity severity = Severity::Problem;
    EXPECT_TRUE(SeverityFromName(L"warning", severity));
    EXPECT_EQ(severity, Severity::Warning);
    EXPECT_FALSE(SeverityFromName(L"Warning", severity)) << "the report's values are lower case";
}

TEST(SystemRules, DiskSpaceBelowOneGibibyte)
{
    const struct
    {
        bool scanned;
        const wchar_t* drive;
        std::uint64_t free;
        const char* expected;
    } cases[] = {
        {true, L"C:\\", 512ull << 20,
         "Warning (System drive): Only 512 MiB are free on C:\\: the product may fail to "
         "save shows and logs."},
        {true, L"C:\\", 0,
         "Warning (System drive): Only 0 MiB are free on C:\\: the product may fail to save shows "
         "and logs."},
        {true, L"C:\\", kLowDiskSpaceBytes, nullptr},
        {true, L"", 0, nullptr},      // not measured
        {false, L"C:\\", 0, nullptr}, // facts not collected
    };
    for (const auto& c : cases)
    {
        OsFacts facts;
        facts.scanned = c.scanned;
        facts.systemDrive = c.drive;
        facts.systemDriveFreeBytes = c.free;
        const FindingList findings = DiskSpaceFindings(facts);
        if (!c.expected)
            EXPECT_TRUE(findings.empty()) << c.free;
        else
            EXPECT_EQ(findings.empty() ? std::string() : Narrow(FindingLine(findings[0])), c.expected);
    }
}

TEST(SaveRules, SectionsAndFilesThatDidNotMakeItIntoTheArchive)
{
    EXPECT_TRUE(SectionFindings({{L"System", true}, {L"Applications", true}}).empty());
    const FindingList sections = SectionFindings({{L"System", true}, {L"LogFiles", false}});
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(Narrow(FindingLine(sections[0])),
              "Problem (Report): The report's LogFiles section could not be written completely.");

    EXPECT_TRUE(AttachmentFindings({{L"C:\\a.log", 0}}).empty());
    const FindingList files =
        AttachmentFindings({{L"C:\\a.log", 0}, {L"C:\\b.log", ERROR_SHARING_VIOLATION}});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(Narrow(FindingLine(files[0]))
                  .rfind("Problem (Report): C:\\b.log could not be read into the archive: "
                         "00000020 ",
                         0),
              0u);
}

class AttachmentCheck : public OrvoTest::TempDirTest
{
};

TEST_F(AttachmentCheck, OpensAsTheArchiveWriterDoes)
{
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"a.log"), "x"));
    EXPECT_EQ(AttachmentOpenError(PathOf(L"a.log")), 0u);
    EXPECT_EQ(AttachmentOpenError(PathOf(L"gone.log")), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    // A writer that shares nothing keeps the file from being read.
    Misc::FileHandle locked(
        ::CreateFileW(PathOf(L"a.log").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_EQ(AttachmentOpenError(PathOf(L"a.log")), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
}

// A failed export is a problem, names left out a warning; an export that met nothing
// is not among the outcomes at all.
TEST(RegistryRules, FailedExportsAndNamesLeftOut)
{
    const struct
    {
        RegistryExportOutcome outcome;
        const char* line; // none: no finding
    } cases[] = {
        {{L"LM_Orvo_64.reg", L"SOFTWARE\\Orvo\\6.x", true, 0},
         "Problem (Registry): The key SOFTWARE\\Orvo\\6.x could not be exported to LM_Orvo_64.reg."},
        {{L"CU_Orvo.reg", L"Software\\Orvo", false, 2},
         "Warning (Registry): 2 name(s) below Software\\Orvo were left out of CU_Orvo.reg: a .reg file "
         "cannot "
         "hold them (the program's output names them)."},
        {{L"CU_Orvo.reg", L"Software\\Orvo", true, 1},
         "Problem (Registry): The key Software\\Orvo could not be exported to CU_Orvo.reg."},
        {{L"CU_Orvo.reg", L"Software\\Orvo", false, 0}, nullptr},
    };
    for (const auto& c : cases)
    {
        const FindingList findings = RegistryExportFindings({c.outcome});
        if (!c.line)
        {
            EXPECT_TRUE(findings.empty());
            continue;
        }
        ASSERT_EQ(findings.size(), 1u) << c.line;
        EXPECT_EQ(Narrow(FindingLine(findings[0])), c.line);
    }
    EXPECT_TRUE(RegistryExportFindings({}).empty());
}

} // namespace

#include "report/ProblemsXML.h"

#include "misc/ComValues.h"
#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

// A second document, as a reader of a saved report has it.
Misc::ComPtr<IXMLDOMDocument2> NewReaderDocument()
{
    const CLSID freeThreaded = {0xF6D90F12, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
    const IID document2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
    Misc::ComPtr<IXMLDOMDocument2> document;
    ::CoCreateInstance(freeThreaded, nullptr, CLSCTX_INPROC_SERVER, document2, document.PutVoid());
    return document;
}

Misc::XmlNode RootOf(IXMLDOMDocument* document)
{
    Misc::ComPtr<IXMLDOMElement> root;
    if (FAILED(document->get_documentElement(root.Put())) || !root)
        return {};
    root->AddRef();
    return Misc::XmlNode(root.Get()); // an element is a node
}

class ProblemsXMLTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(m_com->Started());
    }
    void TearDown() override
    {
        m_com.reset();
        TempDirTest::TearDown();
    }
    std::unique_ptr<Misc::ComScope> m_com;
};

const FindingList kFindings = {
    {Severity::Problem, L"Velmora 6 Pro [64]", L"C:\\P\\x.dll: Load failed: 0000007E The module 'x' & <y>"},
    {Severity::Warning, L"USB DMX test", L"No USB DMX box was found (\"Found 0 boxes\")."},
    {Severity::Warning, L"", L""},
};

// Written, saved to a file and read back by another document: the same findings.
TEST_F(ProblemsXMLTest, WrittenAfterTheSectionsAndReadBackFromTheSavedFile)
{
    Misc::XML_Document document;
    ASSERT_TRUE(document.Create());
    ASSERT_TRUE(document.AddElement(nullptr, L"System"));
    ASSERT_TRUE(WriteProblems(document, nullptr, kFindings));
    ASSERT_TRUE(document.Save(PathOf(L"report.xml")));
    const std::string saved = OrvoTest::ReadBytes(PathOf(L"report.xml"));
    EXPECT_NE(
        saved.find(
            "<System/><Problems Count=\"3\"><Problem Severity=\"problem\" Area=\"Velmora 6 Pro [64]\">"),
        std::string::npos)
        << saved;

    Misc::ComPtr<IXMLDOMDocument2> reader = NewReaderDocument();
    ASSERT_TRUE(reader);
    Misc::Variant path(PathOf(L"report.xml"));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    ASSERT_TRUE(SUCCEEDED(reader->load(path.Get(), &loaded)) && loaded);
    const Misc::XmlNode problems = FindProblemsElement(RootOf(reader.Get()).Get());
    FindingList read;
    ASSERT_TRUE(ReadProblems(problems.Get(), read));
    EXPECT_EQ(read, kFindings);
}

TEST_F(ProblemsXMLTest, ReaderPassesOverWhatIsNoFinding)
{
    const struct
    {
        const wchar_t* xml;
        bool found;
        std::size_t findings;
    } cases[] = {
        {L"<Root><System/></Root>", false, 0}, // a report from before the findings
        {L"<Root><Problems Count=\"0\"/></Root>", true, 0},
        {L"<Root><Problems Count=\"9\"><!-- c --><Other/>text<Problem Severity=\"fatal\">x</Problem>"
         L"<Problem Severity=\"warning\">ok<b>!</b></Problem><Problem>no "
         L"severity</Problem></Problems></Root>",
         true, 1},
        {L"<Root><Problem Severity=\"problem\">not inside Problems</Problem></Root>", false, 0},
    };
    for (const auto& c : cases)
    {
        Misc::ComPtr<IXMLDOMDocument2> reader = NewReaderDocument();
        ASSERT_TRUE(reader);
        Misc::Bstr text(c.xml);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        ASSERT_TRUE(SUCCEEDED(reader->loadXML(text.Get(), &loaded)) && loaded) << OrvoTest::Narrow(c.xml);
        const Misc::XmlNode problems = FindProblemsElement(RootOf(reader.Get()).Get());
        FindingList read;
        EXPECT_EQ(ReadProblems(problems.Get(), read), c.found) << OrvoTest::Narrow(c.xml);
        EXPECT_EQ(read.size(), c.findings) << OrvoTest::Narrow(c.xml);
    }
}

} // namespace

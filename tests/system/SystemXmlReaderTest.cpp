#include "system/SystemXMLReader.h"

#include "misc/ComValues.h"
#include "SampleModel.h"
#include "system/SystemXML.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using OrvoTest::Narrow;

std::wstring SectionXml(const SystemInfo& model)
{
    Misc::XML_Document document;
    if (!document.Create() || !SystemXML().Write(&document, nullptr, &model))
        return L"<not written>";
    Misc::Bstr xml;
    document.Root()->get_xml(xml.Put());
    return xml.Text();
}

bool ReadBack(const std::wstring& xml, SystemInfo& model, std::wstring& error)
{
    Misc::XmlReport report;
    return report.Load(Narrow(xml), error) && ReadSystemSection(report.Root().Child(L"System"), model, error);
}

// The section written from a model and read back writes the same section again.
TEST(SystemXMLReader, ReadsBackWhatTheWriterWrote)
{
    SystemInfo sample, empty;
    SystemTest::BuildSampleModel(sample);
    sample.Os().computerName = L"Quote\"and'apostrophe";
    for (const SystemInfo* model : {&sample, &empty})
    {
        const std::wstring written = SectionXml(*model);
        SystemInfo back;
        std::wstring error;
        ASSERT_TRUE(ReadBack(written, back, error)) << Narrow(error);
        EXPECT_EQ(SectionXml(back), written);
        EXPECT_TRUE(back.Os().scanned);
        EXPECT_EQ(back.Os().computerName, model->Os().computerName);
    }
}

TEST(SystemXMLReader, DamageIsNamedAndMissingPartsStayEmpty)
{
    const struct
    {
        const char* xml;
        const wchar_t* error; // empty: read
    } cases[] = {
        {"<Root><System/></Root>", L""},
        {"<Root><System><Adapters><Adapter Index='1'/></Adapters></System></Root>", L""},
        {"<Root><System><OS><InstallDate iDate='x'/></OS></System></Root>", L"the install date is no number"},
        {"<Root><System><OS><Env wow64='yes'/></OS></System></Root>", L"WOW64 is neither True nor False"},
        {"<Root><System><Adapters><Adapter/></Adapters></System></Root>", L"an adapter index is no number"},
        {"<Root><System><Adapters><Adapter Index='1'><Address Length='2'><![CDATA[AA[[]]></Address>"
         "</Adapter></Adapters></System></Root>",
         L"a hardware address does not match its length"},
        {"<Root><System><Adapters><Adapter Index='1'><IPaddresses><UniCast><IPaddress Family='v4'/>"
         "</UniCast></IPaddresses></Adapter></Adapters></System></Root>",
         L"an address family is no number"},
    };
    for (const auto& c : cases)
    {
        SystemInfo model;
        std::wstring error;
        EXPECT_EQ(ReadBack(OrvoTest::Widen(c.xml), model, error), *c.error == 0) << c.xml;
        EXPECT_EQ(error,
                  *c.error ? L"the report's System section is damaged (" + std::wstring(c.error) + L")" : L"")
            << c.xml;
    }
    SystemInfo model;
    std::wstring error;
    ASSERT_TRUE(ReadBack(L"<Root><System/></Root>", model, error));
    EXPECT_FALSE(model.Os().scanned) << "no OS element: the tab shows its state before a scan";
}

} // namespace

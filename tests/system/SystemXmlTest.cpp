#include "system/SystemXML.h"

#include "misc/Handles.h"
#include "SampleModel.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <cstdlib>

namespace
{

using OrvoTest::Narrow;

class ComEnvironment : public ::testing::Environment
{
  public:
    void SetUp() override
    {
        m_com = std::make_unique<Misc::ComScope>();
        ASSERT_TRUE(m_com->Started());
    }
    void TearDown() override { m_com.reset(); }

  private:
    std::unique_ptr<Misc::ComScope> m_com;
};
::testing::Environment* const g_com = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

// The serialised node without the line breaks and indentation that the DOM writer
// may add between elements (the model's texts hold none).
std::wstring XmlOf(IXMLDOMNode* node)
{
    BSTR text = nullptr;
    if (!node || FAILED(node->get_xml(&text)) || !text)
        return {};
    std::wstring xml;
    for (const wchar_t* c = text; *c; ++c)
        if (*c != L'\r' && *c != L'\n' && *c != L'\t')
            xml += *c;
    ::SysFreeString(text);
    return xml;
}

const char kSampleXml[] =
    "<Root><System><OS><Version>Windows 10 (10.0  build 19045)</Version>"
    "<InstallDate sDate=\"02-10-2096 07:06:40\" iDate=\"-294967296\"/>"
    "<Env Architecture=\"x64\" wow64=\"True\" ComputerName=\"DESK-07\"/></OS>"
    "<Adapters>"
    "<Adapter Index=\"3\"><Friendly>Ethernet</Friendly>"
    "<Description>Intel(R) Ethernet &lt;I219-V&gt; &amp; Co</Description>"
    "<Address Txt=\"00-1A-2B-3C-4D-5E\" Length=\"6\"><![CDATA[ABorPE1e]]></Address>"
    "<Type Val=\"6\">ETHERNET_CSMACD</Type>"
    "<IPaddresses><UniCast>"
    "<IPaddress IP=\"192.168.1.10\" Family=\"2\" HostName=\"desk-07.example\"/>"
    "<IPaddress IP=\"fe80::1\" Family=\"23\" HostName=\"\"/></UniCast>"
    "<AnyCast><IPaddress IP=\"192.168.1.255\" Family=\"2\" HostName=\"\"/></AnyCast>"
    "<MultiCast><IPaddress IP=\"ff02::1\" Family=\"23\" HostName=\"\"/>"
    "<IPaddress IP=\"224.0.0.1\" Family=\"2\" HostName=\"\"/></MultiCast></IPaddresses></Adapter>"
    "<Adapter Index=\"5\"><Friendly>Wi-Fi</Friendly><Description>Wireless 'N' adapter</Description>"
    "<Address Txt=\"FF\" Length=\"1\"><![CDATA[-w[[]]></Address><Type Val=\"71\">IEEE80211</Type>"
    "<IPaddresses><UniCast/><AnyCast/><MultiCast/></IPaddresses></Adapter>"
    "<Adapter Index=\"7\"><Friendly>Lab</Friendly><Description>USB NIC</Description>"
    "<Address Txt=\"FB-FF\" Length=\"2\"><![CDATA[*-8[]]></Address><Type Val=\"6\">ETHERNET_CSMACD</Type>"
    "<IPaddresses><UniCast><IPaddress IP=\"fd00::2\" Family=\"23\" HostName=\"\"/></UniCast>"
    "<AnyCast><IPaddress IP=\"10.0.0.1\" Family=\"2\" HostName=\"\"/></AnyCast><MultiCast/></IPaddresses>"
    "</Adapter></Adapters></System></Root>";

const char kEmptyXml[] =
    "<Root><System><OS><Version/><InstallDate sDate=\"\" iDate=\"0\"/>"
    "<Env Architecture=\"\" wow64=\"False\" ComputerName=\"\"/></OS><Adapters/></System></Root>";

TEST(SystemXML, SectionOfAScannedModel)
{
    SystemInfo model;
    SystemTest::BuildSampleModel(model);
    Misc::XML_Document document;
    ASSERT_TRUE(document.Create());
    EXPECT_TRUE(SystemXML().Write(&document, nullptr, &model));
    EXPECT_EQ(Narrow(XmlOf(document.Root().Get())), kSampleXml);
}

TEST(SystemXML, SectionOfAModelNeverScanned)
{
    SystemInfo model;
    Misc::XML_Document document;
    ASSERT_TRUE(document.Create());
    EXPECT_TRUE(SystemXML().Write(&document, nullptr, &model));
    EXPECT_EQ(Narrow(XmlOf(document.Root().Get())), kEmptyXml);
}

TEST(SystemXML, UnderAGivenParentAndWithoutDocument)
{
    SystemInfo model;
    SystemXML writer;
    EXPECT_FALSE(writer.Write(nullptr, nullptr, &model));
    Misc::XML_Document document;
    EXPECT_FALSE(writer.Write(&document, nullptr, &model)) << "no System element: the save must fail";
    EXPECT_FALSE(document.Root());

    ASSERT_TRUE(document.Create());
    EXPECT_FALSE(writer.Write(&document, nullptr, nullptr));
    const Misc::XmlNode holder = document.AddElement(nullptr, L"Holder");
    ASSERT_TRUE(holder);
    EXPECT_TRUE(writer.Write(&document, holder.Get(), &model));
    const std::string xml = Narrow(XmlOf(document.Root().Get()));
    EXPECT_EQ(xml.rfind("<Root><Holder><System><OS>", 0), 0u) << xml;
}

// Reports saved for the independent reader (check_system_xml.py); written only when
// the artifact run asks for them, so that parallel runs never share the files.
class SystemXmlArtifacts : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        if (!std::getenv("ORVO_SYSTEM_ARTIFACTS"))
            GTEST_SKIP() << "written by the system_xml_artifacts run";
    }
    static void Save(const SystemInfo& model, const wchar_t* name)
    {
        Misc::XML_Document document;
        ASSERT_TRUE(document.Create());
        EXPECT_TRUE(SystemXML().Write(&document, nullptr, &model));
        const std::wstring path = OrvoTest::ArtifactPath(name);
        ::DeleteFileW(path.c_str());
        ASSERT_TRUE(document.Save(path));
    }
};

TEST_F(SystemXmlArtifacts, SampleEmptyAndRealScan)
{
    SystemInfo sample;
    SystemTest::BuildSampleModel(sample);
    Save(sample, L"system_sample.xml");
    Save(SystemInfo(), L"system_empty.xml");

    SystemInfo real;
    {
        const Misc::WinsockScope winsock;
        ASSERT_TRUE(winsock.Started());
        real.Os().Collect(nullptr);
        EXPECT_GE(real.Adapters().Collect(nullptr), 1);
    }
    Save(real, L"system_real.xml");
}

} // namespace

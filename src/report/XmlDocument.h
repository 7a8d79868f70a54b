#pragma once
// The XML report builder over the platform's DOM document (MSXML through COM).
// COM must be initialised on the calling thread; the builder is used on the
// window thread only.

#include "misc/Handles.h"

#include <windows.h>

#include <ole2.h>

#include <msxml2.h>

#include <string>

namespace Misc
{

// A node of the report; an empty pointer is "none" (for a parent: the root element).
using XmlNode = ComPtr<IXMLDOMNode>;

class XML_Document
{
  public:
    XML_Document() = default;
    XML_Document(const XML_Document&) = delete;
    XML_Document& operator=(const XML_Document&) = delete;
    virtual ~XML_Document();

    bool Create();
    bool Save(const std::wstring& path) const;

    // A null parent or element means the root element "Root".
    XmlNode AddElement(IXMLDOMNode* parent, const std::wstring& name);
    XmlNode AddElement(const XmlNode& parent, const std::wstring& name)
    {
        return AddElement(parent.Get(), name);
    }
    XmlNode AddCData(IXMLDOMNode* parent, const std::wstring& text);
    XmlNode AddCData(const XmlNode& parent, const std::wstring& text) { return AddCData(parent.Get(), text); }

    // An empty name sets the element's text instead of an attribute.
    bool SetAttribute(IXMLDOMNode* element, const std::wstring& name, const std::wstring& text);
    bool SetAttribute(IXMLDOMNode* element, const std::wstring& name, const wchar_t* text);
    bool SetAttribute(IXMLDOMNode* element, const std::wstring& name, int value);
    bool SetAttribute(IXMLDOMNode* element, const std::wstring& name, bool value);
    template <typename T> bool SetAttribute(const XmlNode& element, const std::wstring& name, T value)
    {
        return SetAttribute(element.Get(), name, value);
    }

    bool IsOpen() const noexcept { return m_open; }
    // The root element while the builder is open, otherwise none.
    XmlNode Root() const { return m_open ? m_root : XmlNode(); }

  private:
    IXMLDOMNode* Target(IXMLDOMNode* node) const noexcept { return node ? node : m_root.Get(); }
    XmlNode Append(IXMLDOMNode* parent, IXMLDOMNode* child) noexcept;
    bool CreateDocument();

    bool m_open = false;
    ComPtr<IXMLDOMDocument2> m_document;
    XmlNode m_root;
};

// Replaces the content of `node` by one text node holding `text` as it is.
bool SetNodeText(IXMLDOMNode* node, const std::wstring& text);
inline bool SetNodeText(const XmlNode& node, const std::wstring& text)
{
    return SetNodeText(node.Get(), text);
}

// Whether `name` can name an element or attribute of the report: an XML name
// without a namespace prefix.
bool IsXmlName(const std::wstring& name) noexcept;

// `text` with every character that XML 1.0 cannot carry (controls other than
// tab, line feed and carriage return, unpaired surrogates, U+FFFE, U+FFFF)
// replaced by U+FFFD.
std::wstring XmlSafeText(const std::wstring& text);

} // namespace Misc

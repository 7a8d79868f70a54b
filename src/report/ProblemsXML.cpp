#include "report/ProblemsXML.h"

#include "misc/ComValues.h"

namespace
{

std::wstring NodeName(IXMLDOMNode* node)
{
    Misc::Bstr name;
    if (!node || FAILED(node->get_nodeName(name.Put())))
        return {};
    return name.Text();
}

bool IsElementNamed(IXMLDOMNode* node, const wchar_t* name)
{
    DOMNodeType type = NODE_INVALID;
    return node && SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT && NodeName(node) == name;
}

// An attribute's value, or empty when the element has none of that name.
std::wstring AttributeText(IXMLDOMNode* element, const wchar_t* name)
{
    Misc::ComPtr<IXMLDOMNamedNodeMap> attributes;
    Misc::Bstr key(name);
    Misc::ComPtr<IXMLDOMNode> attribute;
    if (!key || FAILED(element->get_attributes(attributes.Put())) || !attributes ||
        FAILED(attributes->getNamedItem(key.Get(), attribute.Put())) || !attribute)
        return {};
    Misc::Bstr value;
    if (FAILED(attribute->get_text(value.Put())))
        return {};
    return value.Text();
}

// Calls `visit` with every child node of `parent`, in document order.
template <typename Visit> void ForEachChild(IXMLDOMNode* parent, Visit&& visit)
{
    Misc::ComPtr<IXMLDOMNode> child;
    if (FAILED(parent->get_firstChild(child.Put())))
        return;
    while (child)
    {
        visit(child.Get());
        Misc::ComPtr<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.Put())))
            return;
        child = next;
    }
}

bool WriteProblem(Misc::XML_Document& document, IXMLDOMNode* parent, const Finding& finding)
{
    const Misc::XmlNode element = document.AddElement(parent, kProblemElement);
    if (!element)
        return false;
    bool written = document.SetAttribute(element, L"Severity", SeverityName(finding.severity));
    written = document.SetAttribute(element, L"Area", finding.area) && written;
    // The text goes in as it is: its quote marks are the reader's, not entity texts.
    return Misc::SetNodeText(element, finding.text) && written;
}

} // namespace

bool WriteProblems(Misc::XML_Document& document, IXMLDOMNode* parent, const FindingList& findings)
{
    const Misc::XmlNode element = document.AddElement(parent, kProblemsElement);
    if (!element || !document.SetAttribute(element, L"Count", static_cast<int>(findings.size())))
        return false;
    bool written = true;
    for (const Finding& finding : findings)
        written = WriteProblem(document, element.Get(), finding) && written;
    return written;
}

bool ReadProblems(IXMLDOMNode* element, FindingList& findings)
{
    if (!IsElementNamed(element, kProblemsElement))
        return false;
    ForEachChild(element,
                 [&findings](IXMLDOMNode* child)
                 {
                     Finding finding;
                     if (!IsElementNamed(child, kProblemElement) ||
                         !SeverityFromName(AttributeText(child, L"Severity"), finding.severity))
                         return;
                     finding.area = AttributeText(child, L"Area");
                     Misc::Bstr text;
                     if (SUCCEEDED(child->get_text(text.Put())))
                         finding.text = text.Text();
                     findings.push_back(std::move(finding));
                 });
    return true;
}

Misc::XmlNode FindProblemsElement(IXMLDOMNode* root)
{
    Misc::XmlNode found;
    if (!root)
        return found;
    ForEachChild(root,
                 [&found](IXMLDOMNode* child)
                 {
                     if (!found && IsElementNamed(child, kProblemsElement))
                     {
                         child->AddRef();
                         found = Misc::XmlNode(child);
                     }
                 });
    return found;
}

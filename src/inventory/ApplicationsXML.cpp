#include "inventory/ApplicationsXML.h"

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using FileInfo = ApplicationsInfo::FileInfo;

} // namespace

// A section element that cannot be made fails the save: the report would otherwise be
// sent without the inventory while the status says it was saved.
bool ApplicationsXML::Write(Misc::XML_Document* document, IXMLDOMNode* parent, const ApplicationsInfo* model,
                            bool headerOnly)
{
    if (!document || !model)
        return false;
    const Misc::XmlNode section = document->AddElement(parent, L"Applications");
    if (!section)
        return false;
    if (headerOnly)
        return true;
    return WriteFolder(document, section.Get(), &model->Root());
}

// Every folder and file is written even after a failure; a failure only makes the
// result false. The root gets no element of its own.
bool ApplicationsXML::WriteFolder(Misc::XML_Document* document, IXMLDOMNode* parent,
                                  const FolderContent* folder)
{
    if (!document || !folder)
        return false;
    bool ok = true;
    Misc::XmlNode element;
    IXMLDOMNode* contentParent = parent;
    if (!(folder->Options() & FolderContent::OptionRoot))
    {
        element = document->AddElement(parent, L"Folder");
        if (!element)
            return false;
        ok = document->SetAttribute(element, L"Options", static_cast<int>(folder->Options())) && ok;
        if (const Misc::XmlNode info = document->AddElement(element, L"Info"))
        {
            ok = document->SetAttribute(info, L"Name", folder->Name()) && ok;
            ok = document->SetAttribute(info, L"MainFolder", folder->MainFolder()) && ok;
            ok = document->SetAttribute(info, L"SubFolder", folder->SubFolder()) && ok;
        }
        else
            ok = false;
        contentParent = element.Get();
    }
    folder->Folders().ForEach([&](const FolderContent& sub)
                              { ok = WriteFolder(document, contentParent, &sub) && ok; });
    folder->Files().ForEach([&](const FileInfo& file)
                            { ok = WriteFile(document, contentParent, &file) && ok; });
    return ok;
}

bool ApplicationsXML::WriteFile(Misc::XML_Document* document, IXMLDOMNode* parent, const FileInfo* file)
{
    if (!document || !file)
        return false;
    const Misc::XmlNode element = document->AddElement(parent, L"File");
    if (!element)
        return false;
    bool ok = document->SetAttribute(element, L"Name", file->Name());
    ok = document->SetAttribute(element, L"Version", file->Version()) && ok;
    ok = document->SetAttribute(element, L"Date", file->Date()) && ok;
    ok = document->SetAttribute(element, L"Size", file->Size()) && ok;
    ok = document->SetAttribute(element, L"MT", file->Platform()) && ok;
    ok = document->SetAttribute(element, L"MD5", file->Digest()) && ok;
    if (file->InfoLines().empty())
        return ok;
    // A detail element that cannot be made is left out without failing the section.
    const Misc::XmlNode info = document->AddElement(element, L"Info");
    if (!info)
        return ok;
    for (const std::wstring& line : file->InfoLines())
    {
        if (const Misc::XmlNode text = document->AddElement(info, L"Text"))
            ok = Misc::SetNodeText(text, line) && ok;
    }
    return ok;
}

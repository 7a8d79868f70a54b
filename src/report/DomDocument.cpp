#include "report/DomDocument.h"

namespace Misc
{

namespace
{

// The free-threaded DOM document class and its document interface. MinGW's import
// libraries do not carry these two, so the program keeps its own copies.
const CLSID kClsidFreeThreadedDomDocument = {
    0xF6D90F12, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
const IID kIidXmlDomDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// In-process, handler, local and remote servers: whichever the platform offers.
constexpr DWORD kAllServerContexts =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

} // namespace

ComPtr<IXMLDOMDocument2> CreateDomDocument()
{
    ComPtr<IUnknown> object;
    if (FAILED(::CoCreateInstance(kClsidFreeThreadedDomDocument, nullptr, kAllServerContexts, IID_IUnknown,
                                  object.PutVoid())) ||
        !object)
        return {};
    if (FAILED(::OleRun(object.Get())))
        return {};
    ComPtr<IXMLDOMDocument2> document;
    if (FAILED(object->QueryInterface(kIidXmlDomDocument2, document.PutVoid())) || !document)
        return {};
    return document;
}

} // namespace Misc

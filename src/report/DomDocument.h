#pragma once
// The platform's DOM document, as the report builder and the report reader make it.

#include "misc/Handles.h"

#include <windows.h>

#include <ole2.h>

#include <msxml2.h>

namespace Misc
{

// A new, running free-threaded DOM document, or none when the class is not available.
ComPtr<IXMLDOMDocument2> CreateDomDocument();

} // namespace Misc

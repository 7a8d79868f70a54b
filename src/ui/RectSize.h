#pragma once
// The width and height of a rectangle.

#include <windows.h>

namespace UI
{

inline int Width(const RECT& r)
{
    return r.right - r.left;
}

inline int Height(const RECT& r)
{
    return r.bottom - r.top;
}

} // namespace UI

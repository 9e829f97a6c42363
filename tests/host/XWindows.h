#pragma once

#include <X11/Xlib.h>

// X helpers shared by the tests that embed the editor into a window of their own.
namespace xwindows
{
// Children of `parent` as the X server sees them, after all requests went through.
inline unsigned int childWindows (Display* display, Window parent)
{
    XSync (display, False);
    Window root = 0, parentOfParent = 0, *children = nullptr;
    unsigned int count = 0;
    if (! XQueryTree (display, parent, &root, &parentOfParent, &children, &count))
        return 0;
    if (children != nullptr)
        XFree (children);
    return count;
}
} // namespace xwindows

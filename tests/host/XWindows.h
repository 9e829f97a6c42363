#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

// X helpers shared by the tests that embed the editor into a window of their own.
namespace xwindows
{
// A connection to the display, or null without one. A server that xvfb-run has only just
// started, or that has just closed another connection, may refuse us for a moment.
inline Display* openDisplay()
{
    if (std::getenv ("DISPLAY") == nullptr)
        return nullptr;
    for (int attempt = 0; attempt < 20; ++attempt)
    {
        if (auto* display = XOpenDisplay (nullptr))
            return display;
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }
    return nullptr;
}

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

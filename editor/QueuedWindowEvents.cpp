#include "editor/QueuedWindowEvents.h"

// JUCE declares its X11 window system only with the X headers.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#if JUCE_LINUX || JUCE_BSD
namespace juce
{
// The unmapped window JUCE's event handler owns; events sent to it are read and dropped.
extern ::Window juce_messageWindowHandle;
}
#endif

namespace dunskara::editor
{
void wakeForQueuedWindowEvents() noexcept
{
#if JUCE_LINUX || JUCE_BSD
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
    if (display == nullptr || juce::juce_messageWindowHandle == 0)
        return;

    auto* x11 = juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;
    if (x11->xEventsQueued (display, QueuedAlready) == 0) // no I/O: Xlib's queue only
        return;

    XEvent wake {};
    wake.xclient.type = ClientMessage;
    wake.xclient.display = display;
    wake.xclient.window = juce::juce_messageWindowHandle;
    wake.xclient.message_type = XA_INTEGER;
    wake.xclient.format = 32;
    x11->xSendEvent (display, juce::juce_messageWindowHandle, False, NoEventMask, &wake);
    x11->xFlush (display);
#endif
}
} // namespace dunskara::editor

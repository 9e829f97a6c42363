#include "editor/WindowRefreshRate.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunskara::editor
{
void capWindowRefreshRate() noexcept
{
    // JUCE offers the display list only for reading, yet keeps it in a mutable object of
    // its desktop, which it reads for each new window's refresh timer.
    auto& displays = const_cast<juce::Displays&> (juce::Desktop::getInstance().getDisplays());
    for (auto& display : displays.displays)
        if (! display.verticalFrequencyHz.has_value() || *display.verticalFrequencyHz > maxWindowRefreshHz)
            display.verticalFrequencyHz = maxWindowRefreshHz;
}
} // namespace dunskara::editor

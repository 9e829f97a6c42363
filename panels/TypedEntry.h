#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

// Typing a value into a readout label. A click on the label opens an edit field; what
// is entered is read in the readout's own units ("-12", "-12 dB", "25 ms", "4:1",
// "300 Hz", "50 %"; a bare number is in the readout's unit) with the exact inverse of
// the readout's rule, limited to the control's range, and the resulting 0..1 value is
// handed to `apply`, which sets the control as a user change would. Text that cannot be read changes nothing: the label
// shows why, in place, until the value is shown again.
namespace typedentry
{
// What the label shows once an error has been read: the readout of the current value.
using CurrentText = std::function<juce::String()>;

void attach (juce::Label& label, int parameterIndex, std::function<void (float)> apply, CurrentText currentText);

// How long the reason for a refused text stays in the label.
constexpr int errorShownMs = 4000;
} // namespace typedentry

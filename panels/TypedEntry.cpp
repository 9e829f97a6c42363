#include "panels/TypedEntry.h"
#include "panels/ReadoutUnits.h"

namespace typedentry
{
namespace
{
    constexpr juce::uint32 editingBackground = 0xff141414;

    // The labels leave the unit off or show it; a number typed without one is meant
    // in the readout's unit, never on the parameter's 0..1 scale.
    juce::String withReadoutUnit (int index, const juce::String& typed)
    {
        const auto trimmed = typed.trim();
        const bool bare = (trimmed.containsAnyOf ("0123456789") && trimmed.containsOnly ("0123456789.+-"))
                          || trimmed.equalsIgnoreCase ("-inf");
        return bare ? trimmed + readout::unitName (readout::unitOf (index)) : trimmed;
    }
} // namespace

void attach (juce::Label& label, int parameterIndex, std::function<void (float)> apply, CurrentText currentText)
{
    label.setEditable (true, false, false);
    // The field is drawn over the skin: the readout's colour on a dark ground, so that
    // what is typed stays readable; the label at rest is drawn as before.
    const auto textColour = label.findColour (juce::Label::textColourId);
    label.setColour (juce::Label::textWhenEditingColourId, textColour);
    label.setColour (juce::Label::backgroundWhenEditingColourId, juce::Colour (editingBackground));
    label.setColour (juce::Label::outlineWhenEditingColourId, textColour);
    label.onTextChange = [&label, parameterIndex, apply = std::move (apply), currentText = std::move (currentText)]
    {
        const auto parsed = readout::parse (parameterIndex, withReadoutUnit (parameterIndex, label.getText()),
                                             readout::Reach::drag, readout::Beyond::limit);
        if (parsed.ok())
        {
            label.setTooltip ({});
            apply (parsed.value);
            return;
        }

        label.setText (parsed.error, juce::dontSendNotification);
        label.setTooltip (parsed.error);
        juce::Component::SafePointer<juce::Label> safeLabel (&label);
        const auto shownError = parsed.error;
        juce::Timer::callAfterDelay (errorShownMs, [safeLabel, shownError, currentText]
        {
            // Unless something else has been shown there meanwhile.
            if (safeLabel != nullptr && safeLabel->getText() == shownError)
                safeLabel->setText (currentText(), juce::dontSendNotification);
        });
    };
}
} // namespace typedentry

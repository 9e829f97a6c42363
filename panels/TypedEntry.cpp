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
    // Puts the value back in the label some time after a reason was shown there. It
    // lives exactly as long as its label, so nothing fires after the label is gone.
    class ErrorReset final : private juce::Timer,
                             private juce::ComponentListener
    {
    public:
        ErrorReset (juce::Label& owner, CurrentText textNow) : label (owner), currentText (std::move (textNow))
        {
            label.addComponentListener (this);
        }

        void show (const juce::String& reason)
        {
            shownReason = reason;
            startTimer (errorShownMs);
        }

    private:
        void timerCallback() override
        {
            stopTimer();
            // Unless something else has been shown there meanwhile.
            if (label.getText() == shownReason)
                label.setText (currentText(), juce::dontSendNotification);
        }

        void componentBeingDeleted (juce::Component&) override
        {
            stopTimer();
            label.removeComponentListener (this);
            delete this;
        }

        juce::Label& label;
        CurrentText currentText;
        juce::String shownReason;
    };
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
    auto* errorReset = new ErrorReset (label, std::move (currentText)); // deletes itself with the label
    label.onTextChange = [&label, parameterIndex, apply = std::move (apply), errorReset]
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
        errorReset->show (parsed.error);
    };
}
} // namespace typedentry

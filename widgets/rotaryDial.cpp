#include "widgets/rotaryDial.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// printf-style formatting of one number, always with '.' as the decimal point
// whatever locale the host has set.
juce::String printNumber (const char* format, double x)
{
    char text[64] {};
    std::snprintf (text, sizeof (text), format, x);

    const char* point = std::localeconv()->decimal_point;

    if (point != nullptr && std::strcmp (point, ".") != 0 && point[0] != '\0')
        return juce::String (text).replace (point, ".");

    return juce::String (text);
}

// Whole-number values above 9999 are shown in thousands with a "k".
juce::String kiloFormatA (double x)
{
    if (x > 9999.0)
        return printNumber ("%4.1f", x / 1000.0) + "k";

    return printNumber ("%2.1f", x);
}

juce::String kiloFormatB (double x)
{
    if (x > 9999.0)
        return printNumber ("%3.1f", x / 1000.0) + "k";

    return printNumber ("%4.0f", x);
}

constexpr int numTextModes = 11;
} // namespace

rotaryDial::rotaryDial (juce::Image strip, int dialFrameSize, int dialLabelX, int dialLabelY,
                        int dialTextMode)
{
    const juce::Font font ("Arial", 11.0f, juce::Font::plain);

    frameSize = dialFrameSize;
    labelX = dialLabelX;
    labelY = dialLabelY;
    textMode = dialTextMode;

    slider = new ImageSlider ("dial");
    addAndMakeVisible (slider);

    slider->setRange (0.0, 1.0, 0.001);
    slider->setValue (0.5, juce::dontSendNotification);
    slider->setImageStyle (ImageSlider::rotaryStrip);
    slider->setImage (strip);
    slider->setTextBoxStyle (juce::Slider::NoTextBox, false, 40, 20);
    slider->frameHeight = frameSize;
    slider->addListener (this);
    slider->addChangeListener (this);
    slider->resetValue = 0.5;

    valueLabel = new juce::Label ("fq", kiloFormatA (0.0));
    valueLabel->setColour (juce::Label::textColourId, juce::Colour::fromRGBA (140, 173, 231, 255));
    valueLabel->setJustificationType (juce::Justification::centred);
    valueLabel->setFont (font);
    addAndMakeVisible (valueLabel);
    valueLabel->setInterceptsMouseClicks (false, false);
}

rotaryDial::~rotaryDial()
{
    slider->removeListener (this);
    slider->removeChangeListener (this);
    delete slider;
    delete valueLabel;
}

double rotaryDial::getValue() const
{
    return slider->getValue();
}

void rotaryDial::setValue (double newValue)
{
    if (std::isnan (newValue))
        return;

    if (newValue != slider->getValue())
    {
        slider->setValue (newValue, juce::dontSendNotification);
        updateText();
    }
}

void rotaryDial::setFont (juce::Font font)
{
    valueLabel->setFont (font);
}

void rotaryDial::resized()
{
    slider->setBounds (0, 0, frameSize, frameSize);
    valueLabel->setBounds (labelX + 8, labelY + frameSize - 2, 27, 14);
    repaint();
}

void rotaryDial::paint (juce::Graphics&)
{
    // The children draw everything.
}

void rotaryDial::sliderValueChanged (juce::Slider* changedSlider)
{
    if (changedSlider != slider)
        return;

    updateText();
    sendChangeMessage();
}

void rotaryDial::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    // The slider broadcasts only a double-click reset.
    if (source != static_cast<juce::ChangeBroadcaster*> (slider))
        return;

    updateText();
    sendChangeMessage();
}

void rotaryDial::updateText()
{
    if (textMode < 0 || textMode >= numTextModes)
        return;

    valueLabel->setText (formatValue (textMode, slider->getValue()), juce::dontSendNotification);
}

juce::String rotaryDial::formatValue (int mode, double v)
{
    switch (mode)
    {
        case 0:  return kiloFormatA ((v - 0.5) * 2.0 * 20.0);
        case 1:  return kiloFormatB (v * 20000.0);
        case 2:  return kiloFormatA ((v - 0.5) * 2.0 * 45.0);
        case 3:  return kiloFormatA ((v - 0.5) * 2.0 * 10.0);
        case 4:  return printNumber ("%1.0f", (v - 0.5) * 2.0 * 6.0);
        case 5:  return printNumber ("%1.0f", v * 100.0);
        case 6:  return printNumber ("%1.0f", (double) ((float) v * 4.0f));
        case 7:  return printNumber ("%1.0f", v * 50.0);
        case 8:
        {
            const float d = 10.0f * std::log10 (4.0f * (float) v);

            if (d > -23.98f)
                return printNumber ("%1.2f", (double) d);

            return "inf";
        }
        case 9:  return printNumber ("%1.2f", v * 4.0);
        case 10: return printNumber ("%1.0f", (v - 0.5) * 2.0 * 45.0);
        default: return {};
    }
}

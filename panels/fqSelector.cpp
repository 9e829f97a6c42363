#include "panels/fqSelector.h"
#include "panels/DisplayText.h"
#include "widgets/SkinLayout.h"
#include "widgets/SkinParts.h"

#include <cmath>

namespace
{
    // Positions a drag can reach: two pixels in from the left end (about 95 Hz) to the
    // right end (about 10837 Hz).
    constexpr int dragStartOffset = skinlayout::crossoverDragStart;

    // Whole pixels, as the crossover scale is printed.
    int trackOffsetFor (float v) { return skinlayout::crossoverOffset (v); }
} // namespace

fqSelector::fqSelector (VarnocAudioProcessor& owner)
    : processor (&owner)
{
    handleImage = skinparts::skinImage (skinimage::Id::crossover_handle);

    valueLabel = skinparts::addValueLabel (*this, "2400", skinlayout::handleLabelFontHeight,
                                           juce::Justification::centred, skinlayout::handleLabelColour);
    valueLabel->setBounds (skinlayout::handleLabel);
    // A press on the label must reach the handle.
    valueLabel->setInterceptsMouseClicks (false, false);
}

fqSelector::~fqSelector()
{
    valueLabel.reset();
}

void fqSelector::setValue (float v)
{
    moveTo (trackStartX + trackOffsetFor (v));
    updateLabel();
}

float fqSelector::getValue() const
{
    return static_cast<float> ((getX() - trackStartX) / static_cast<double> (trackLength));
}

void fqSelector::paint (juce::Graphics& g)
{
    if (handleImage.isValid())
        twins->drawImage (g, handleImage, handleImage.getBounds(), handleImage.getBounds());
}

void fqSelector::mouseDown (const juce::MouseEvent&)
{
    dragStartX = getX();
    bringAboveOtherHandles();
    if (onDragStart != nullptr)
        onDragStart();
}

void fqSelector::mouseUp (const juce::MouseEvent&)
{
    if (onDragEnd != nullptr)
        onDragEnd();
}

void fqSelector::bringAboveOtherHandles()
{
    // The handle in hand is drawn over the other one, so that its frequency stays
    // readable when the two come close. Only the handles swap places: everything
    // that was above them stays above.
    auto* parent = getParentComponent();
    if (parent == nullptr)
        return;

    for (int i = parent->getNumChildComponents(); --i > parent->getIndexOfChildComponent (this);)
        if (auto* other = dynamic_cast<fqSelector*> (parent->getChildComponent (i)))
            other->toBehind (this);
}

void fqSelector::mouseDrag (const juce::MouseEvent& event)
{
    const int trackEndX = trackStartX + trackLength;
    const int newX = dragStartX + event.getDistanceFromDragStartX();

    moveTo (newX < trackEndX ? newX : trackEndX);
    if (newX < trackStartX + dragStartOffset)
        moveTo (trackStartX + dragStartOffset);
    updateLabel();

    // The lower limit is applied last, so it wins when the two conflict.
    if (upperLimit < getValue())
        setValue (upperLimit);
    if (lowerLimit > getValue())
        setValue (lowerLimit);

    // Limits that a host or a chunk pushed outside the track (a low crossover above
    // 0.9, a high one below 0.1) must not park the handle where no drag can reach it.
    if (getX() < trackStartX + dragStartOffset)
    {
        moveTo (trackStartX + dragStartOffset);
        updateLabel();
    }

    sendChangeMessage();
}

void fqSelector::moveTo (int x)
{
    setBounds (x, getY(), getWidth(), getHeight());
}

void fqSelector::updateLabel()
{
    valueLabel->setText (display::crossoverText (getValue()), juce::dontSendNotification);
}

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

    // Share of the track one unit of wheel movement moves the handle.
    constexpr float wheelShare = 0.15f;

    // Whole pixels, as the crossover scale is printed.
    int trackOffsetFor (float v) { return skinlayout::crossoverOffset (v); }
} // namespace

// The flag of the handle art with the frequency label on it. Every press, drag, wheel
// turn and double-click on it is handed to the handle as if it had landed there.
class fqSelector::Readout final : public juce::Component
{
public:
    explicit Readout (fqSelector& owner) : handle (owner) {}

    void paint (juce::Graphics& g) override
    {
        const auto& image = handle.handleImage;
        if (! image.isValid())
            return;

        const juce::Rectangle<int> flag { 0, 0, image.getWidth(), skinlayout::handleFlagHeight };
        if (handle.readoutShift == 0)
        {
            handle.twins->drawImage (g, image, flag, flag);
            return;
        }

        // Stepped aside, the flag's pointer mark would point at nothing: the plain edge of
        // the flag beside it is drawn in its place.
        const auto mark = skinlayout::handleFlagMark;
        {
            const juce::Graphics::ScopedSaveState state (g);
            g.excludeClipRegion (mark);
            handle.twins->drawImage (g, image, flag, flag);
        }
        handle.twins->drawImage (g, image, mark, mark.withX (skinlayout::handleFlagPlainEdgeX));
    }

    void mouseDown (const juce::MouseEvent& e) override
    {
        if (handle.isShowing())
            handle.grabKeyboardFocus(); // the arrow keys move the handle pressed last
        handle.mouseDown (e.getEventRelativeTo (&handle));
    }
    void mouseDrag (const juce::MouseEvent& e) override { handle.mouseDrag (e.getEventRelativeTo (&handle)); }
    void mouseUp (const juce::MouseEvent& e) override { handle.mouseUp (e.getEventRelativeTo (&handle)); }
    void mouseDoubleClick (const juce::MouseEvent& e) override { handle.mouseDoubleClick (e.getEventRelativeTo (&handle)); }
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override
    {
        handle.mouseWheelMove (e.getEventRelativeTo (&handle), wheel);
    }

    fqSelector& handle;
};

fqSelector::fqSelector (VarnocAudioProcessor& owner)
    : processor (&owner)
{
    handleImage = skinparts::skinImage (skinimage::Id::crossover_handle);

    readout = std::make_unique<Readout> (*this);
    readout->setSize (handleImage.getWidth(), skinlayout::handleFlagHeight);
    readout->setMouseCursor (getMouseCursor());

    valueLabel = skinparts::addValueLabel (*readout, "2400", skinlayout::handleLabelFontHeight,
                                           juce::Justification::centred, skinlayout::handleLabelColour);
    valueLabel->setBounds (skinlayout::handleLabel);
    // A press on the label must reach the handle.
    valueLabel->setInterceptsMouseClicks (false, false);
    setWantsKeyboardFocus (true);
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
    // The pointer and grip; the flag above them is the readout's.
    if (handleImage.isValid())
    {
        const auto below = handleImage.getBounds().withTop (skinlayout::handleFlagHeight);
        twins->drawImage (g, handleImage, below, below);
    }
}

bool fqSelector::hitTest (int, int y)
{
    return y >= skinlayout::handleFlagHeight;
}

juce::Component& fqSelector::getReadout() const noexcept
{
    return *readout;
}

void fqSelector::setReadoutShift (int dx)
{
    readoutShift = dx;
    moved();
}

void fqSelector::moved()
{
    readout->setTopLeftPosition (getX() + readoutShift, getY());
}

void fqSelector::mouseDown (const juce::MouseEvent&)
{
    dragStartX = getX();
    dragDistance = 0.0f;
    lastRawDistance = 0;
    bringAboveOtherHandles();
    if (onDragStart != nullptr)
        onDragStart();
}

void fqSelector::mouseUp (const juce::MouseEvent& event)
{
    if (onDragEnd != nullptr)
        onDragEnd();

    // The label lets presses through to the handle, so the handle opens its field.
    const bool clickedLabel = ! event.mouseWasDraggedSinceMouseDown() && event.getNumberOfClicks() == 1
                              && valueLabel->getLocalBounds().contains (
                                  valueLabel->getLocalPoint (this, event.getMouseDownPosition()).roundToInt());
    if (clickedLabel && valueLabel->isEditable())
        valueLabel->showEditor();
}

void fqSelector::moveToTypedValue (float v)
{
    moveByStep (trackStartX + juce::roundToInt (v * static_cast<float> (trackLength)));
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
    // Accumulated per event, so that pressing or releasing shift mid-drag changes the
    // speed from there on without a jump.
    const int rawDistance = event.getDistanceFromDragStartX();
    const auto moved = static_cast<float> (rawDistance - lastRawDistance);
    lastRawDistance = rawDistance;
    dragDistance += event.mods.isShiftDown() ? moved * fineDragFactor : moved;

    moveAsDragged (dragStartX + juce::roundToInt (dragDistance));
    sendChangeMessage();
}

void fqSelector::mouseDoubleClick (const juce::MouseEvent&)
{
    moveByStep (trackStartX + trackOffsetFor (resetValue));
}

void fqSelector::mouseWheelMove (const juce::MouseEvent& event, const juce::MouseWheelDetails& wheel)
{
    // As far as a slider's wheel step goes (15 % of the track per unit), at least a pixel.
    const float delta = (wheel.deltaX != 0.0f ? -wheel.deltaX : wheel.deltaY) * (wheel.isReversed ? -1.0f : 1.0f);
    if (delta == 0.0f)
        return;

    const float scale = event.mods.isShiftDown() ? fineDragFactor : 1.0f;
    int pixels = juce::roundToInt (delta * wheelShare * trackLength * scale);
    if (pixels == 0)
        pixels = delta > 0.0f ? 1 : -1;
    moveByStep (getX() + pixels);
}

bool fqSelector::keyPressed (const juce::KeyPress& key)
{
    if (key.getModifiers().isAnyModifierKeyDown())
        return false;

    // One pixel, the smallest step a position can take.
    if (key == juce::KeyPress::rightKey || key == juce::KeyPress::upKey)
        moveByStep (getX() + 1);
    else if (key == juce::KeyPress::leftKey || key == juce::KeyPress::downKey)
        moveByStep (getX() - 1);
    else
        return false;
    return true;
}

void fqSelector::moveByStep (int x)
{
    if (onDragStart != nullptr)
        onDragStart();
    moveAsDragged (x);
    sendChangeMessage();
    if (onDragEnd != nullptr)
        onDragEnd();
}

void fqSelector::moveAsDragged (int newX)
{
    const int trackEndX = trackStartX + trackLength;

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
}

void fqSelector::moveTo (int x)
{
    setBounds (x, getY(), getWidth(), getHeight());
}

void fqSelector::updateLabel()
{
    valueLabel->setText (display::crossoverText (getValue()), juce::dontSendNotification);
}

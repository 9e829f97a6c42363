#pragma once

#include "widgets/SkinLayout.h"
#include "widgets/SkinTwins.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

class VarnocAudioProcessor;

// The draggable handle of one crossover frequency. Its value is its own horizontal
// position on a 328-pixel track: v = (x - trackStartX) / 328. Dragging moves the whole
// component within its parent, keeps it inside the track and the two limits, shows the
// frequency on the handle and announces every drag event with a change message; the
// listener (the editor) turns the position into the parameter. The selector itself
// reads and writes no parameter.
//
// Shift held while dragging moves the handle a tenth as fast; the wheel and, with
// focus, the arrow keys move it; a double-click puts it back at resetValue. Each of
// these is framed by onDragStart and onDragEnd, like a drag. Once its label is made
// editable, a click on the label without moving opens an edit field there.
//
// The handle draws its pointer and grip; its readout (the flag at the top of the handle
// art, with the label) is a component of its own that the owner adds to the same
// parent, so that it can step aside when the two handles meet (setReadoutShift) and
// stay readable and grabbable. Presses on the readout are the handle's.
class fqSelector final : public juce::Component,
                         public juce::ChangeBroadcaster
{
public:
    class Readout;

    static constexpr int trackLength = skinlayout::crossoverTrackLength;

    explicit fqSelector (VarnocAudioProcessor& processor);
    ~fqSelector() override;

    // Places the handle at trackStartX + trunc (328 v) and updates the label; applies
    // neither the drag range nor the limits and sends nothing. Values outside 0..1
    // (possible only from a saved chunk) are shown at the nearer track end.
    void setValue (float v);

    // The value of the current position, in single precision.
    float getValue() const;

    void paint (juce::Graphics& g) override;
    // Only the pointer and grip: the flag area belongs to the readout.
    bool hitTest (int x, int y) override;
    void moved() override;
    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
    void mouseDoubleClick (const juce::MouseEvent& event) override;
    void mouseWheelMove (const juce::MouseEvent& event, const juce::MouseWheelDetails& wheel) override;
    bool keyPressed (const juce::KeyPress& key) override;

    // Called when a press on the handle starts and when it is released; the editor
    // frames the host's gesture with them.
    std::function<void()> onDragStart, onDragEnd;

    // The range a drag may reach; the editor keeps the two handles 0.1 apart with them.
    float upperLimit = 1.0f;
    float lowerLimit = 0.0f;

    // Where a double-click puts the handle (within the drag range and the limits).
    float resetValue = 0.0f;

    // How much of the mouse movement counts while shift is held.
    static constexpr float fineDragFactor = 0.1f;

    // Left end of the track in parent coordinates.
    int trackStartX = skinlayout::crossoverTrackStart;

    juce::Label* getValueLabel() const noexcept { return valueLabel.get(); }

    // The flag with the frequency; to be added to this handle's parent.
    juce::Component& getReadout() const noexcept;
    // Where the readout sits: over the handle, shifted by dx pixels.
    void setReadoutShift (int dx);
    int getReadoutShift() const noexcept { return readoutShift; }

    // A typed value: moves to the nearest whole pixel as a drag would (within the drag
    // range and the limits), framed like a drag.
    void moveToTypedValue (float v);

    // Puts this handle over every other handle of the same parent (a press does it).
    void bringAboveOtherHandles();

private:
    void moveTo (int x);
    // Moves to x as a drag would: within the drag range and the limits.
    void moveAsDragged (int x);
    // A change outside a drag: moves as a drag would and announces it inside its own
    // onDragStart / onDragEnd frame.
    void moveByStep (int x);
    void updateLabel();

    VarnocAudioProcessor* processor; // kept for symmetry with the other skin components; unused
    juce::Image handleImage;
    juce::SharedResourcePointer<SkinTwins> twins;
    int dragStartX = 0;
    // Mouse travel since the press that counts, with shift-held stretches scaled down.
    float dragDistance = 0.0f;
    int lastRawDistance = 0;
    std::unique_ptr<Readout> readout;
    std::unique_ptr<juce::Label> valueLabel;
    int readoutShift = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (fqSelector)
};

#pragma once

#include "widgets/SkinLayout.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The editor's look-and-feel. Its only change to JUCE's: every font that asks for
// "Arial" is drawn in the embedded Liberation Sans, which has Arial's advance widths,
// so the value labels measure the same on every machine whatever fonts it has
// installed (a wider substitute would squeeze or cut long values). The band panels'
// and the crossover handles' labels find it through their parent, the editor.
class EditorLookAndFeel final : public juce::LookAndFeel_V4
{
public:
    EditorLookAndFeel();
    ~EditorLookAndFeel() override;

    // The embedded face for "Arial" (any style: only plain is used), JUCE's choice
    // for every other name.
    juce::Typeface::Ptr getTypefaceForFont (const juce::Font& font) override;

    // The label's font, with an "Arial" face replaced as above.
    juce::Font getLabelFont (juce::Label& label) override;

    // Draws the text at its full size on one line, never squeezed or cut short:
    // horizontally centred labels are centred on the letters' ink rather than on
    // their advance widths, which gives the few widest values (a 40-pixel label
    // holding "157.1 ms") the pixel they need. A text whose ink would not fit at all
    // falls back to JUCE's fitted drawing.
    void drawLabel (juce::Graphics& g, juce::Label& label) override;

    // Where drawLabel puts the ink of the label's text, in label coordinates (empty
    // for a blank text).
    juce::Rectangle<float> getTextInkBounds (juce::Label& label);

    // `font` as it is drawn here: same height, horizontal scale and kerning.
    juce::Font resolve (const juce::Font& font);

    static constexpr const char* requestedFamily = skinlayout::labelFontName;

private:
    // The label's text laid out where drawLabel draws it.
    juce::GlyphArrangement layOut (juce::Label& label);

    struct EmbeddedFace;
    juce::SharedResourcePointer<EmbeddedFace> embedded;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EditorLookAndFeel)
};

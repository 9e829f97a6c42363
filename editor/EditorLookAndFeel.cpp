#include "editor/EditorLookAndFeel.h"
#include "resources/EmbeddedFonts.h"

namespace
{
// The extent of the drawn outline; Path::getBounds would include the curves' control
// points, which reach past the letters.
juce::Rectangle<float> inkOf (const juce::GlyphArrangement& glyphs)
{
    juce::Path outline;
    glyphs.createPath (outline);
    // Extremes of the segments' end points: a rectangle union would drop the straight
    // horizontal and vertical strokes (empty rectangles), and with them a minus sign.
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    bool first = true;
    for (juce::PathFlatteningIterator i (outline, {}, 0.05f); i.next();)
    {
        for (const auto p : { juce::Point<float> (i.x1, i.y1), juce::Point<float> (i.x2, i.y2) })
        {
            left = first ? p.x : juce::jmin (left, p.x);
            right = first ? p.x : juce::jmax (right, p.x);
            top = first ? p.y : juce::jmin (top, p.y);
            bottom = first ? p.y : juce::jmax (bottom, p.y);
            first = false;
        }
    }
    return first ? juce::Rectangle<float>() : juce::Rectangle<float>::leftTopRightBottom (left, top, right, bottom);
}
} // namespace

// One decoded face shared by every open editor; released with the last of them.
struct EditorLookAndFeel::EmbeddedFace
{
    juce::Typeface::Ptr typeface = juce::Typeface::createSystemTypefaceFor (
        skin::LiberationSans_Regular, static_cast<size_t> (skin::LiberationSans_RegularSize));
};

EditorLookAndFeel::EditorLookAndFeel() = default;
EditorLookAndFeel::~EditorLookAndFeel() = default;

juce::Typeface::Ptr EditorLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    if (font.getTypefaceName() == requestedFamily && embedded->typeface != nullptr)
        return embedded->typeface;

    return juce::LookAndFeel_V4::getTypefaceForFont (font);
}

juce::Font EditorLookAndFeel::getLabelFont (juce::Label& label)
{
    return resolve (juce::LookAndFeel_V4::getLabelFont (label));
}

juce::Font EditorLookAndFeel::resolve (const juce::Font& font)
{
    if (font.getTypefaceName() != requestedFamily)
        return font;

    auto typeface = getTypefaceForFont (font);
    if (typeface == nullptr)
        return font;

    // A font made from a typeface keeps it; height, scale and kerning are carried over.
    return juce::Font (typeface)
        .withHeight (font.getHeight())
        .withHorizontalScale (font.getHorizontalScale())
        .withExtraKerningFactor (font.getExtraKerningFactor());
}

juce::GlyphArrangement EditorLookAndFeel::layOut (juce::Label& label)
{
    const auto font = getLabelFont (label);
    const auto area = getLabelBorderSize (label).subtractedFrom (label.getLocalBounds()).toFloat();
    const auto justification = label.getJustificationType();

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, label.getText().trim(), 0.0f, font.getAscent());
    if (glyphs.getNumGlyphs() == 0)
        return glyphs;

    const auto ink = inkOf (glyphs);
    const float advanceLeft = glyphs.getGlyph (0).getLeft();
    const float advanceRight = glyphs.getGlyph (glyphs.getNumGlyphs() - 1).getRight();

    float dx;
    if (justification.testFlags (juce::Justification::horizontallyCentred))
        dx = area.getCentreX() - ink.getCentreX();
    else if (justification.testFlags (juce::Justification::right))
        dx = area.getRight() - advanceRight;
    else
        dx = area.getX() - advanceLeft;

    float dy;
    if (justification.testFlags (juce::Justification::top))
        dy = area.getY();
    else if (justification.testFlags (juce::Justification::bottom))
        dy = area.getBottom() - font.getHeight();
    else
        dy = area.getY() + (area.getHeight() - font.getHeight()) * 0.5f;

    glyphs.moveRangeOfGlyphs (0, -1, dx, dy);
    return glyphs;
}

juce::Rectangle<float> EditorLookAndFeel::getTextInkBounds (juce::Label& label)
{
    return inkOf (layOut (label));
}

void EditorLookAndFeel::drawLabel (juce::Graphics& g, juce::Label& label)
{
    const auto ink = getTextInkBounds (label);
    const bool fits = label.getLocalBounds().toFloat().contains (ink) && ! label.isBeingEdited();

    if (! fits)
    {
        juce::LookAndFeel_V4::drawLabel (g, label);
        return;
    }

    g.fillAll (label.findColour (juce::Label::backgroundColourId));
    const float alpha = label.isEnabled() ? 1.0f : 0.5f;
    g.setColour (label.findColour (juce::Label::textColourId).withMultipliedAlpha (alpha));
    layOut (label).draw (g);
    g.setColour (label.findColour (juce::Label::outlineColourId).withMultipliedAlpha (alpha));
    g.drawRect (label.getLocalBounds());
}

// The single-frame controls: thumbs, switches and the crossover handle.
#include "Controls.h"

#include "SkinPainter.h"

#include <cmath>

namespace skincontrols
{
namespace
{
using namespace skinpaint;
using juce::Colour;
using juce::Point;
using juce::Rectangle;

//==============================================================================
// A slider cap seen from above: light ends, a darker dip across the middle with the
// indicator line, grip ridges. `alongX` says whether the slider travels horizontally.
void drawSliderCap (juce::Graphics& g, Rectangle<float> cap, bool alongX, Colour indicator, float corner)
{
    juce::Path outline;
    outline.addRoundedRectangle (cap, corner);
    fillShadow (g, outline, 4.0f, { 0, 3 }, 0.9f);

    const float a0 = alongX ? cap.getX() : cap.getY();
    const float a1 = alongX ? cap.getRight() : cap.getBottom();
    const auto pointAt = [&] (float along) { return alongX ? Point<float> (along, 0.0f) : Point<float> (0.0f, along); };

    juce::ColourGradient face (Colour (0xff646a72), pointAt (a0), Colour (0xff50565d), pointAt (a1), false);
    face.addColour (0.14, Colour (0xff3c4147));
    face.addColour (0.44, Colour (0xff202226));
    face.addColour (0.50, Colour (0xff151618));
    face.addColour (0.56, Colour (0xff202226));
    face.addColour (0.86, Colour (0xff34383d));
    g.setGradientFill (face);
    g.fillRoundedRectangle (cap, corner);

    // Grip ridges across the travel, on both halves.
    const float span = a1 - a0;
    const auto ridgeRange = [&] (float from, float to)
    {
        for (float t = a0 + span * from; t < a0 + span * to; t += 3.0f)
        {
            const auto inset = cap.reduced (alongX ? 0.0f : 3.0f, alongX ? 3.0f : 0.0f);
            const Rectangle<float> dark = alongX ? Rectangle<float> (t, inset.getY(), 1.0f, inset.getHeight())
                                                 : Rectangle<float> (inset.getX(), t, inset.getWidth(), 1.0f);
            g.setColour (juce::Colours::black.withAlpha (0.38f));
            g.fillRect (dark);
            g.setColour (juce::Colours::white.withAlpha (0.09f));
            g.fillRect (dark.translated (alongX ? 1.0f : 0.0f, alongX ? 0.0f : 1.0f));
        }
    };
    ridgeRange (0.14f, 0.38f);
    ridgeRange (0.64f, 0.87f);

    // Sides fall away from the light.
    const float c0 = alongX ? cap.getY() : cap.getX();
    const float c1 = alongX ? cap.getBottom() : cap.getRight();
    const auto acrossAt = [&] (float across) { return alongX ? Point<float> (0.0f, across) : Point<float> (across, 0.0f); };
    juce::ColourGradient sides (juce::Colours::white.withAlpha (0.14f), acrossAt (c0),
                                juce::Colours::black.withAlpha (0.32f), acrossAt (c1), false);
    sides.addColour (0.18, juce::Colours::transparentWhite);
    sides.addColour (0.80, juce::Colours::transparentBlack);
    g.setGradientFill (sides);
    g.fillRoundedRectangle (cap, corner);

    // Indicator line.
    const float mid = (a0 + a1) * 0.5f;
    const auto line = alongX ? juce::Line<float> (mid, c0 + 2.0f, mid, c1 - 2.0f)
                             : juce::Line<float> (c0 + 2.0f, mid, c1 - 2.0f, mid);
    g.setColour (indicator.withAlpha (0.25f));
    g.drawLine (line, 5.0f);
    g.setColour (indicator);
    g.drawLine (line, 2.2f);

    g.setColour (juce::Colours::black.withAlpha (0.85f));
    g.drawRoundedRectangle (cap.reduced (0.5f), corner, 1.0f);
    g.setColour (juce::Colours::white.withAlpha (0.22f));
    g.drawLine (cap.getX() + corner, cap.getY() + 1.5f, cap.getRight() - corner, cap.getY() + 1.5f, 1.0f);
}

//==============================================================================
void drawLed (juce::Graphics& g, Point<float> centre, float radius, Colour colour, bool lit)
{
    const auto lens = Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre);
    g.setColour (juce::Colours::black.withAlpha (0.8f));
    g.fillEllipse (lens.expanded (1.3f));

    if (lit)
    {
        drawGlow (g, centre, radius * 2.8f, colour, 0.55f);
        g.setGradientFill (juce::ColourGradient (colour.brighter (1.4f), centre.x, centre.y - radius * 0.3f,
                                                 colour, centre.x + radius, centre.y, true));
    }
    else
    {
        g.setGradientFill (juce::ColourGradient (colour.darker (1.6f).withMultipliedSaturation (0.6f), centre.x, centre.y,
                                                 colour.darker (3.5f), centre.x + radius, centre.y, true));
    }

    g.fillEllipse (lens);
    g.setColour (juce::Colours::white.withAlpha (lit ? 0.7f : 0.25f));
    g.fillEllipse (Rectangle<float> (radius * 0.7f, radius * 0.5f).withCentre (centre.translated (-radius * 0.3f, -radius * 0.45f)));
}

void drawBezelRing (juce::Graphics& g, Point<float> centre, float outer, float inner)
{
    const auto ring = Rectangle<float> (outer * 2.0f, outer * 2.0f).withCentre (centre);
    juce::Path ringPath;
    ringPath.addEllipse (ring);
    fillShadow (g, ringPath, 4.0f, { 0, 2 }, 0.8f);
    g.setGradientFill (juce::ColourGradient (Colour (0xff7b8189), centre.x, ring.getY(),
                                             Colour (0xff23262a), centre.x, ring.getBottom(), false));
    g.fillEllipse (ring);
    g.setColour (juce::Colours::black.withAlpha (0.9f));
    g.drawEllipse (ring.reduced (0.4f), 0.8f);
    const auto hole = Rectangle<float> (inner * 2.0f, inner * 2.0f).withCentre (centre);
    g.setGradientFill (juce::ColourGradient (Colour (0xff050506), centre.x, hole.getY(),
                                             Colour (0xff2a2d31), centre.x, hole.getBottom(), false));
    g.fillEllipse (hole);
}
} // namespace

namespace
{
// A slider cap drawn into a transparent image of the thumb's size.
juce::Image sliderCapImage (int width, int height, Rectangle<float> cap, bool horizontal,
                            Colour accent, float cornerSize)
{
    auto image = newImage (width, height);
    juce::Graphics g (image);
    drawSliderCap (g, cap, horizontal, accent, cornerSize);
    return image;
}

const Colour horizontalCapLine { 0xfff2f3f4 };

// A cleared image of the listed size (one frame's worth for a strip).
juce::Image imageFor (skinimage::Id id)
{
    return newImage (skinlayout::imageWidth (id), skinlayout::imageHeight (id));
}
} // namespace

juce::Image faderThumb (Colour accent)
{
    using namespace skinlayout;
    return sliderCapImage (faderThumbWidth, faderThumbHeight, { 4.0f, 2.0f, 37.0f, 71.0f }, false, accent, 4.0f);
}

juce::Image gainThumb()
{
    using namespace skinlayout;
    return sliderCapImage (gainThumbWidth, gainThumbHeight, { 3.0f, 2.0f, 43.0f, 28.0f }, true, horizontalCapLine, 3.5f);
}

juce::Image mixThumb()
{
    using namespace skinlayout;
    return sliderCapImage (mixThumbWidth, mixThumbHeight, { 4.0f, 2.0f, 60.0f, 39.0f }, true, horizontalCapLine, 4.0f);
}

juce::Image limiterSwitch (bool on)
{
    auto image = imageFor (skinimage::Id::limiter_switch_off);
    juce::Graphics g (image);

    drawLed (g, { 17.5f, 7.5f }, 3.8f, colours::limiterLed, on);

    // Mounting plate and nut.
    const Rectangle<float> plate (8.5f, 17.0f, 18.0f, 36.0f);
    juce::Path platePath;
    platePath.addRoundedRectangle (plate, 3.5f);
    fillShadow (g, platePath, 3.0f, { 0, 2 }, 0.8f);
    g.setGradientFill (juce::ColourGradient (Colour (0xff4a4f56), 0.0f, plate.getY(),
                                             Colour (0xff1c1e21), 0.0f, plate.getBottom(), false));
    g.fillPath (platePath);
    g.setColour (juce::Colours::black.withAlpha (0.9f));
    g.strokePath (platePath, juce::PathStrokeType (0.8f));

    const Point<float> pivot (17.5f, 35.0f);
    drawBezelRing (g, pivot, 7.0f, 4.2f);

    // Bat lever: up when the limiter is on.
    const Point<float> tip (17.5f, on ? 20.5f : 49.5f);
    juce::Path lever;
    lever.startNewSubPath (pivot);
    lever.lineTo (tip);
    g.setColour (juce::Colours::black.withAlpha (0.5f));
    g.strokePath (lever, roundStroke (4.2f), juce::AffineTransform::translation (1.0f, 1.5f));
    g.setGradientFill (juce::ColourGradient (Colour (0xffe9ecef), 15.5f, 0.0f, Colour (0xff6c7178), 19.5f, 0.0f, false));
    g.strokePath (lever, roundStroke (3.4f));

    const auto ball = Rectangle<float> (7.0f, 7.0f).withCentre (tip);
    g.setGradientFill (juce::ColourGradient (Colour (0xfff7f8f9), ball.getX() + 1.5f, ball.getY() + 1.5f,
                                             Colour (0xff5a5f66), ball.getRight(), ball.getBottom(), true));
    g.fillEllipse (ball);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawEllipse (ball, 0.7f);
    return image;
}

juce::Image channelButton (bool on)
{
    auto image = imageFor (skinimage::Id::channel_button_off);
    juce::Graphics g (image);
    const Point<float> centre (15.0f, 15.0f);
    drawBezelRing (g, centre, 13.0f, 10.2f);

    const auto lens = Rectangle<float> (17.0f, 17.0f).withCentre (centre);

    if (on)
    {
        drawGlow (g, centre, 14.5f, colours::channelLed, 0.5f);
        g.setGradientFill (juce::ColourGradient (Colour (0xffd8ffd6), centre.x - 2.0f, centre.y - 3.0f,
                                                 Colour (0xff1f9a2c), centre.x + 8.5f, centre.y + 4.0f, true));
    }
    else
    {
        g.setGradientFill (juce::ColourGradient (Colour (0xff2f3a31), centre.x - 2.0f, centre.y - 3.0f,
                                                 Colour (0xff0d110e), centre.x + 8.5f, centre.y + 4.0f, true));
    }

    g.fillEllipse (lens);
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.drawEllipse (lens, 0.8f);
    g.setColour (juce::Colours::white.withAlpha (on ? 0.55f : 0.18f));
    g.fillEllipse (Rectangle<float> (7.0f, 4.0f).withCentre (centre.translated (-2.0f, -4.5f)));
    return image;
}

// A lettered key in a metal bezel; lit yellow while the band is soloed.
juce::Image soloButton (bool on)
{
    auto image = imageFor (skinimage::Id::solo_button_off);
    juce::Graphics g (image);
    const Rectangle<float> bezel (0.5f, 0.5f, 39.0f, 17.0f);

    juce::Path bezelPath;
    bezelPath.addRoundedRectangle (bezel.reduced (1.0f), 4.0f);
    fillShadow (g, bezelPath, 2.0f, { 0, 1 }, 0.8f);
    g.setGradientFill (juce::ColourGradient (Colour (0xff7b8189), 0.0f, bezel.getY(),
                                             Colour (0xff23262a), 0.0f, bezel.getBottom(), false));
    g.fillRoundedRectangle (bezel, 4.5f);
    g.setColour (juce::Colours::black.withAlpha (0.9f));
    g.drawRoundedRectangle (bezel.reduced (0.4f), 4.5f, 0.8f);

    const auto key = bezel.reduced (2.5f);
    if (on)
    {
        drawGlow (g, key.getCentre(), 18.0f, colours::soloLed, 0.3f);
        g.setGradientFill (juce::ColourGradient (colours::soloLed.brighter (0.7f), 0.0f, key.getY(),
                                                 colours::soloLed.darker (0.6f), 0.0f, key.getBottom(), false));
    }
    else
    {
        g.setGradientFill (juce::ColourGradient (Colour (0xff3b3e36), 0.0f, key.getY(),
                                                 Colour (0xff121310), 0.0f, key.getBottom(), false));
    }
    g.fillRoundedRectangle (key, 3.0f);

    // Lettering: dark on the lit key, dim silk-screen on the dark one.
    drawCaption (g, "SOLO", key.getCentreX() + 0.5f, key.getCentreY() + 3.5f, captionFont (8.5f, 0.12f),
                 on ? Colour (0xff3a2a00) : colours::captionDim, Align::centre, on ? 0.0f : 0.7f);

    g.setColour (juce::Colours::white.withAlpha (on ? 0.4f : 0.1f));
    g.fillRoundedRectangle (key.withHeight (key.getHeight() * 0.4f).reduced (1.5f, 0.5f), 2.0f);
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.drawRoundedRectangle (key, 3.0f, 0.7f);
    return image;
}

juce::Image powerButton (bool on)
{
    auto image = imageFor (skinimage::Id::power_button_off);
    juce::Graphics g (image);
    const Point<float> centre (37.0f, 36.0f);

    if (on)
        drawGlow (g, centre, 37.0f, colours::powerLed, 0.35f);

    drawBezelRing (g, centre, 29.0f, 26.5f);

    // Light ring between bezel and cap.
    const auto ring = Rectangle<float> (51.0f, 51.0f).withCentre (centre);
    g.setColour (on ? colours::powerLed : Colour (0xff2a1d0e));
    g.drawEllipse (ring, 2.4f);

    if (on)
    {
        g.setColour (colours::powerLed.brighter (0.8f).withAlpha (0.8f));
        g.drawEllipse (ring, 1.0f);
    }

    // Cap.
    const float capRadius = 22.5f;
    const auto cap = Rectangle<float> (capRadius * 2.0f, capRadius * 2.0f).withCentre (centre);
    juce::Path capPath;
    capPath.addEllipse (cap);
    fillShadow (g, capPath, 3.0f, { 0, 2 }, 0.9f);
    drawMachinedDisc (g, centre, capRadius, 0.25f, 0.1f);
    g.setColour (juce::Colours::black.withAlpha (0.85f));
    g.drawEllipse (cap, 1.0f);
    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.35f), 0.0f, cap.getY(),
                                             juce::Colours::transparentWhite, 0.0f, cap.getCentreY(), false));
    g.drawEllipse (cap.reduced (1.0f), 1.0f);

    // Power symbol.
    const Colour symbol = on ? colours::powerLed.brighter (0.3f) : Colour (0xff9aa0a7);
    juce::Path mark;
    mark.addCentredArc (centre.x, centre.y + 1.0f, 9.0f, 9.0f, 0.0f, 0.7f, juce::MathConstants<float>::twoPi - 0.7f, true);
    mark.startNewSubPath (centre.x, centre.y - 11.5f);
    mark.lineTo (centre.x, centre.y - 1.0f);

    if (on)
    {
        g.setColour (colours::powerLed.withAlpha (0.3f));
        g.strokePath (mark, roundStroke (6.0f));
    }

    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.strokePath (mark, roundStroke (3.0f), juce::AffineTransform::translation (0.0f, 1.0f));
    g.setColour (symbol);
    g.strokePath (mark, roundStroke (2.6f));

    drawCaption (g, "POWER", centre.x, 82.0f, captionFont (10.5f, 0.16f), on ? colours::powerLed : colours::caption);
    return image;
}

juce::Image crossoverHandle()
{
    using namespace skinlayout;
    auto image = imageFor (ImageId::crossover_handle);
    juce::Graphics g (image);
    const float mid = (float) handleWidth * 0.5f;

    // Rail carriage.
    const Rectangle<float> carriage (mid - 13.0f, handleRailY - 6.0f, 26.0f, 12.0f);
    juce::Path carriagePath;
    carriagePath.addRoundedRectangle (carriage, 3.0f);
    fillShadow (g, carriagePath, 3.0f, { 0, 2 }, 0.8f);
    g.setGradientFill (juce::ColourGradient (Colour (0xff5b6168), 0.0f, carriage.getY(),
                                             Colour (0xff1d1f22), 0.0f, carriage.getBottom(), false));
    g.fillPath (carriagePath);

    for (float x = carriage.getX() + 4.0f; x < carriage.getRight() - 3.0f; x += 3.0f)
    {
        g.setColour (juce::Colours::black.withAlpha (0.45f));
        g.fillRect (x, carriage.getY() + 3.0f, 1.0f, carriage.getHeight() - 6.0f);
        g.setColour (juce::Colours::white.withAlpha (0.1f));
        g.fillRect (x + 1.0f, carriage.getY() + 3.0f, 1.0f, carriage.getHeight() - 6.0f);
    }

    g.setColour (juce::Colours::black.withAlpha (0.9f));
    g.strokePath (carriagePath, juce::PathStrokeType (0.8f));

    // Stem from the carriage to the display block, with the pointer line.
    const Rectangle<float> stem (mid - 3.5f, 30.0f, 7.0f, carriage.getY() - 30.0f + 1.0f);
    g.setGradientFill (juce::ColourGradient (Colour (0xff6d737a), stem.getX(), 0.0f, Colour (0xff24272b), stem.getRight(), 0.0f, false));
    g.fillRect (stem);
    g.setColour (juce::Colours::black.withAlpha (0.8f));
    g.drawRect (stem, 0.7f);
    // The pointer is one whole pixel column, the one the crossover scale marks.
    g.setColour (colours::crossoverAccent.withAlpha (0.3f));
    g.fillRect (handlePointer - 1.5f, 31.0f, 3.0f, carriage.getBottom() - 33.0f);
    g.setColour (colours::crossoverAccent);
    g.fillRect (handlePointer - 0.5f, 31.0f, 1.0f, carriage.getBottom() - 33.0f);

    // Display block.
    const Rectangle<float> block (1.0f, 1.0f, 56.0f, 30.0f);
    juce::Path blockPath;
    blockPath.addRoundedRectangle (block, 4.0f);
    fillShadow (g, blockPath, 3.0f, { 0, 2 }, 0.9f);
    juce::ColourGradient face (Colour (0xff5c626a), 0.0f, block.getY(), Colour (0xff26292d), 0.0f, block.getBottom(), false);
    face.addColour (0.5, Colour (0xff3a3e44));
    g.setGradientFill (face);
    g.fillPath (blockPath);
    g.setColour (juce::Colours::black.withAlpha (0.9f));
    g.strokePath (blockPath, juce::PathStrokeType (0.9f));
    g.setColour (juce::Colours::white.withAlpha (0.25f));
    g.drawLine (block.getX() + 4.0f, block.getY() + 1.2f, block.getRight() - 4.0f, block.getY() + 1.2f, 1.0f);

    drawDisplayWindow (g, handleLabel.toFloat());

    // Pointer notch under the block.
    juce::Path notch;
    notch.addTriangle (mid - 4.0f, 30.5f, mid + 4.0f, 30.5f, mid, 35.0f);
    g.setColour (colours::crossoverAccent);
    g.fillPath (notch);
    return image;
}

juce::Image horizontalPlaceholder()
{
    auto image = imageFor (skinimage::Id::slider_thumb_horizontal);
    juce::Graphics g (image);
    drawSliderCap (g, { 1.0f, 1.0f, 22.0f, 12.0f }, true, Colour (0xfff2f3f4), 2.0f);
    return image;
}

juce::Image verticalPlaceholder()
{
    auto image = imageFor (skinimage::Id::slider_thumb_vertical);
    juce::Graphics g (image);
    drawSliderCap (g, { 1.0f, 1.0f, 13.0f, 21.0f }, false, Colour (0xfff2f3f4), 2.0f);
    return image;
}

} // namespace skincontrols

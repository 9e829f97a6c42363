// The filmstrips: knobs and meter needles, one frame under the other.
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
void drawKnob (juce::Graphics& g, const skinlayout::KnobGeometry& knob, float angle)
{
    const float half = (float) knob.size() * 0.5f;
    const Point<float> centre (half, half);
    const float start = skinlayout::knobStartAngle;
    const float end = skinlayout::knobEndAngle;

    // Value ring: a dark channel, lit from the minimum up to the pointer.
    g.setColour (Colour (0xff08090a));
    g.strokePath (arcPath (centre, knob.arcRadius, start, end), juce::PathStrokeType (knob.arcWidth + 1.2f));
    g.setColour (Colour (0xff17191c));
    g.strokePath (arcPath (centre, knob.arcRadius, start, end), juce::PathStrokeType (knob.arcWidth - 0.6f));

    if (angle > start + 0.001f)
    {
        const auto lit = arcPath (centre, knob.arcRadius, start, angle);
        const Colour ring (skinlayout::knobRingColour);
        g.setColour (ring.withAlpha (0.22f));
        g.strokePath (lit, juce::PathStrokeType (knob.arcWidth + 2.6f));
        g.setColour (ring);
        g.strokePath (lit, juce::PathStrokeType (knob.arcWidth - 0.4f));
        g.setColour (ring.brighter (0.9f).withAlpha (0.7f));
        g.strokePath (lit, juce::PathStrokeType (knob.arcWidth * 0.3f));
    }

    // Skirt with its shadow on the panel.
    const auto body = Rectangle<float> (knob.bodyRadius * 2.0f, knob.bodyRadius * 2.0f).withCentre (centre);
    juce::Path bodyPath;
    bodyPath.addEllipse (body);
    fillShadow (g, bodyPath, knob.bodyRadius * 0.35f, { 0, 3 }, 0.85f);

    g.setGradientFill (juce::ColourGradient (Colour (0xff464b52), 0.0f, body.getY(),
                                             Colour (0xff121416), 0.0f, body.getBottom(), false));
    g.fillEllipse (body);

    // Knurled edge, turning with the knob.
    const int knurls = knob.size() > 90 ? 48 : 36;

    for (int i = 0; i < knurls; ++i)
    {
        const float a = angle + juce::MathConstants<float>::twoPi * (float) i / (float) knurls;
        const auto inner = polar (centre, knob.bodyRadius * 0.85f, a);
        const auto outer = polar (centre, knob.bodyRadius - 0.6f, a);
        g.setColour (juce::Colours::black.withAlpha (0.45f));
        g.drawLine ({ inner, outer }, 1.0f);
    }

    g.setColour (juce::Colours::black.withAlpha (0.8f));
    g.drawEllipse (body.reduced (0.4f), 0.9f);
    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.28f), 0.0f, body.getY(),
                                             juce::Colours::transparentWhite, 0.0f, body.getCentreY(), false));
    g.drawEllipse (body.reduced (1.2f), 1.0f);

    // Machined cap.
    const float capRadius = knob.bodyRadius * 0.76f;
    const auto cap = Rectangle<float> (capRadius * 2.0f, capRadius * 2.0f).withCentre (centre);
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.drawEllipse (cap.expanded (0.8f), 1.4f);
    drawMachinedDisc (g, centre, capRadius, 0.27f, 0.11f);
    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.35f), 0.0f, cap.getY(),
                                             juce::Colours::transparentWhite, 0.0f, cap.getBottom(), false));
    g.drawEllipse (cap.reduced (0.5f), 0.9f);

    // Pointer: a white line from near the centre over the edge of the skirt.
    const float pointerWidth = knob.size() > 90 ? 3.0f : (knob.size() > 80 ? 2.7f : 2.2f);
    juce::Path pointer;
    pointer.startNewSubPath (polar (centre, capRadius * 0.32f, angle));
    pointer.lineTo (polar (centre, knob.bodyRadius - 1.5f, angle));
    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.strokePath (pointer, roundStroke (pointerWidth + 1.6f), juce::AffineTransform::translation (0.0f, 0.8f));
    g.setColour (Colour (0xfff5f6f7));
    g.strokePath (pointer, roundStroke (pointerWidth));
}

//==============================================================================
void drawNeedle (juce::Graphics& g, float angle, float length, Colour colour)
{
    const Point<float> pivot (skinlayout::meterPivotX, skinlayout::meterPivotY);
    const auto along = polar ({}, 1.0f, angle);
    const Point<float> across (-along.y, along.x);

    juce::Path needle;
    needle.startNewSubPath (pivot + across * 1.5f - along * 6.0f);
    needle.lineTo (pivot + along * length + across * 0.55f);
    needle.lineTo (pivot + along * length - across * 0.55f);
    needle.lineTo (pivot - across * 1.5f - along * 6.0f);
    needle.closeSubPath();

    g.setColour (juce::Colours::black.withAlpha (0.4f));
    g.fillPath (needle, juce::AffineTransform::translation (1.3f, 1.9f));
    g.setColour (colour);
    g.fillPath (needle);
}

void drawPivotCap (juce::Graphics& g)
{
    const Point<float> pivot (skinlayout::meterPivotX, skinlayout::meterPivotY);
    const float r = skinlayout::pivotCapRadius;
    const auto cap = Rectangle<float> (r * 2.0f, r * 2.0f).withCentre (pivot);
    g.setColour (juce::Colours::black.withAlpha (0.5f));
    g.fillEllipse (cap.expanded (1.5f));
    g.setGradientFill (juce::ColourGradient (Colour (0xff50555c), 0.0f, cap.getY(),
                                             Colour (0xff141517), 0.0f, cap.getY() + r, false));
    g.fillEllipse (cap);
    g.setColour (juce::Colours::white.withAlpha (0.22f));
    g.drawEllipse (cap.reduced (0.7f), 0.8f);
}

} // namespace

//==============================================================================
juce::Image knobStrip (const skinlayout::KnobGeometry& knob)
{
    const int size = knob.size();
    const int frames = knob.frames();
    auto strip = newImage (size, size * frames);

    for (int frame = 0; frame < frames; ++frame)
    {
        juce::Graphics g (strip);
        g.setOrigin (0, frame * size);
        g.reduceClipRegion (0, 0, size, size);
        drawKnob (g, knob, skinlayout::knobAngle (frame, frames));
    }

    return strip;
}

juce::Image needleStrip (bool reduction)
{
    using namespace skinlayout;
    auto strip = newImage (meterWidth, meterHeight * meterFrames);

    for (int frame = 0; frame < meterFrames; ++frame)
    {
        juce::Graphics g (strip);
        g.setOrigin (0, frame * meterHeight);
        g.reduceClipRegion (0, 0, meterWidth, meterHeight);

        if (reduction)
            drawNeedle (g, reductionNeedleAngle ((float) frame), reductionNeedleLength, colours::reductionNeedle);
        else
            drawNeedle (g, levelNeedleAngle ((float) frame), levelNeedleLength, colours::levelNeedle);

        // Both strips carry the same cap, so the upper one hides the roots of both needles.
        drawPivotCap (g);
    }

    return strip;
}

juce::Image rotaryPlaceholder()
{
    // Frames of 29 pixels (40 of them): a plain pointer knob; every user installs its own strip.
    using namespace skinlayout;
    constexpr int frame = 29;
    constexpr int frames = skinimage::formatOf (ImageId::rotary_default_strip).height / frame;
    auto image = newImage (imageWidth (ImageId::rotary_default_strip), frame * frames);

    for (int i = 0; i < frames; ++i)
    {
        juce::Graphics g (image);
        g.setOrigin (0, i * frame);
        const Point<float> centre (15.0f, 14.5f);
        const auto body = Rectangle<float> (22.0f, 22.0f).withCentre (centre);
        g.setGradientFill (juce::ColourGradient (Colour (0xff5a6068), 0.0f, body.getY(),
                                                 Colour (0xff1b1d20), 0.0f, body.getBottom(), false));
        g.fillEllipse (body);
        g.setColour (juce::Colours::black.withAlpha (0.8f));
        g.drawEllipse (body, 1.0f);
        const float angle = skinlayout::knobAngle (i, frames);
        g.setColour (Colour (0xfff5f6f7));
        g.drawLine ({ polar (centre, 3.0f, angle), polar (centre, 9.5f, angle) }, 2.0f);
    }

    return image;
}
} // namespace skincontrols

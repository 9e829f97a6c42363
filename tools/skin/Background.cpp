#include "Background.h"

#include "Layout.h"
#include "SkinPainter.h"

#include <cmath>

namespace skinbackground
{
namespace
{
using namespace skinpaint;
using namespace skinlayout;
using juce::Colour;
using juce::Point;
using juce::Rectangle;

void drawTick (juce::Graphics& g, Point<float> centre, float angle, float inner, float outer, float width, Colour colour)
{
    g.setColour (colour);
    g.drawLine ({ polar (centre, inner, angle), polar (centre, outer, angle) }, width);
}

//==============================================================================
void drawChassisAndPlates (juce::Graphics& g)
{
    g.setGradientFill (juce::ColourGradient (Colour (0xff222529), 0.0f, 0.0f, Colour (0xff141517), 0.0f, (float) editorHeight, false));
    g.fillAll();

    for (int band = 0; band < 3; ++band)
    {
        const auto plate = panelBounds (band).toFloat();
        juce::Path path;
        path.addRoundedRectangle (plate, 6.0f);
        fillShadow (g, path, 8.0f, { 0, 3 }, 0.85f);
        g.setGradientFill (juce::ColourGradient (colours::plateTop, 0.0f, plate.getY(), colours::plateBottom, 0.0f, plate.getBottom(), false));
        g.fillPath (path);
    }
}

void drawPlateEdges (juce::Graphics& g)
{
    for (int band = 0; band < 3; ++band)
    {
        const auto plate = panelBounds (band).toFloat();
        g.setColour (juce::Colours::black.withAlpha (0.85f));
        g.drawRoundedRectangle (plate.expanded (0.5f), 6.5f, 1.0f);
        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.2f), 0.0f, plate.getY(),
                                                 juce::Colours::white.withAlpha (0.03f), 0.0f, plate.getBottom(), false));
        g.drawRoundedRectangle (plate.reduced (0.8f), 5.5f, 1.0f);
    }
}

//==============================================================================
// The meter face: a warm backlit dial with the level scale outside (cream) and the
// gain-reduction scale inside (red), both matching the needle strips' frames.
void drawMeter (juce::Graphics& g, int band)
{
    const auto window = meterBounds (band).toFloat();
    const auto bezel = window.expanded (4.0f);
    g.setGradientFill (juce::ColourGradient (Colour (0xff5a6067), 0.0f, bezel.getY(), Colour (0xff222528), 0.0f, bezel.getBottom(), false));
    g.fillRoundedRectangle (bezel, 5.0f);
    g.setColour (juce::Colours::black.withAlpha (0.9f));
    g.drawRoundedRectangle (bezel.expanded (0.5f), 5.5f, 1.0f);
    g.setColour (juce::Colours::white.withAlpha (0.22f));
    g.drawLine (bezel.getX() + 5.0f, bezel.getY() + 1.0f, bezel.getRight() - 5.0f, bezel.getY() + 1.0f, 1.0f);
    g.setColour (Colour (0xff000000));
    g.fillRect (window.expanded (1.0f));

    juce::Graphics::ScopedSaveState state (g);
    g.reduceClipRegion (window.toNearestInt());
    g.setOrigin (window.getPosition().toInt());
    const Point<float> pivot (meterPivotX, meterPivotY);

    juce::ColourGradient face (Colour (0xff3d3529), pivot.x, 58.0f, Colour (0xff0b0a09), pivot.x + 92.0f, 58.0f, true);
    face.addColour (0.55, Colour (0xff221e18));
    g.setGradientFill (face);
    g.fillRect (0, 0, meterWidth, meterHeight);

    // Level scale.
    const auto levelAngleFor = [] (float frame) { return levelNeedleAngle (frame); };
    g.setColour (colours::meterPrint.withAlpha (0.85f));
    g.strokePath (arcPath (pivot, levelArcRadius, levelAngleFor (0.0f), levelAngleFor ((float) highestNeedleFrame)), juce::PathStrokeType (1.0f));
    g.setColour (colours::meterRedPrint);
    g.strokePath (arcPath (pivot, levelArcRadius + 2.0f, levelAngleFor ((float) redZoneFrame), levelAngleFor ((float) highestNeedleFrame)), juce::PathStrokeType (3.0f));

    // Marks where the needle stands for their value: the angle of the very frame shown.
    for (const auto& mark : levelMarks (band))
    {
        const int frame = levelMarkFrame (band, mark);
        const float angle = levelAngleFor ((float) frame);
        const Colour print = frame >= redZoneFrame ? colours::meterRedPrint : colours::meterPrint;
        drawTick (g, pivot, angle, levelArcRadius - 0.5f, levelArcRadius + (mark.major ? 6.5f : 4.0f), mark.major ? 1.3f : 1.0f, print);

        if (mark.text.isNotEmpty())
        {
            const auto at = polar (pivot, levelArcRadius + 12.5f, angle);
            drawCaption (g, mark.text, at.x, at.y + 3.2f, numberFont (9.0f), print, Align::centre, 0.0f);
        }
    }

    drawTick (g, pivot, levelAngleFor (0.0f), levelArcRadius - 0.5f, levelArcRadius + 4.0f, 1.0f, colours::meterPrint);

    // Gain-reduction scale, 0 at the right.
    const auto reductionAngleFor = [] (float frame) { return reductionNeedleAngle (frame); };
    g.setColour (colours::meterRedPrint.withAlpha (0.85f));
    g.strokePath (arcPath (pivot, reductionArcRadius, reductionAngleFor (90.0f), reductionAngleFor (0.0f)), juce::PathStrokeType (1.0f));

    for (const auto& mark : reductionMarks())
    {
        const float angle = reductionAngleFor ((float) reductionMarkFrame (mark));
        drawTick (g, pivot, angle, reductionArcRadius - (mark.major ? 5.5f : 3.5f), reductionArcRadius + 0.5f, mark.major ? 1.3f : 1.0f, colours::meterRedPrint);

        if (mark.text.isNotEmpty())
        {
            const auto at = polar (pivot, reductionArcRadius - 11.5f, angle);
            drawCaption (g, mark.text, at.x, at.y + 3.2f, numberFont (9.0f), colours::meterRedPrint, Align::centre, 0.0f);
        }
    }

    drawCaption (g, "LEVEL", 5.0f, 79.0f, captionFont (7.5f, 0.1f), colours::meterPrint.withAlpha (0.9f), Align::left, 0.0f);
    drawCaption (g, "dB", 5.0f, 70.0f, numberFont (8.0f), colours::meterPrint.withAlpha (0.7f), Align::left, 0.0f);
    drawCaption (g, "GR", 130.0f, 79.0f, captionFont (7.5f, 0.1f), colours::meterRedPrint, Align::right, 0.0f);
    drawCaption (g, "dB", 130.0f, 70.0f, numberFont (8.0f), colours::meterRedPrint.withAlpha (0.8f), Align::right, 0.0f);

    // Glass: shadow under the bezel lip and a faint reflection.
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.6f), 0.0f, 0.0f, juce::Colours::transparentBlack, 0.0f, 7.0f, false));
    g.fillRect (0, 0, meterWidth, 7);
    juce::Path reflection;
    reflection.startNewSubPath (0.0f, 0.0f);
    reflection.lineTo (80.0f, 0.0f);
    reflection.quadraticTo (40.0f, 25.0f, 0.0f, 60.0f);
    reflection.closeSubPath();
    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.07f), 0.0f, 0.0f, juce::Colours::transparentWhite, 45.0f, 35.0f, false));
    g.fillPath (reflection);
}

//==============================================================================
void drawFaderSlot (juce::Graphics& g, Rectangle<int> fader, bool threshold)
{
    const float cx = (float) fader.getX() + (float) fader.getWidth() * 0.5f;
    const auto marks = threshold ? thresholdMarks() : ratioMarks();
    const auto markY = [threshold] (const ScaleMark& m) { return threshold ? thresholdMarkY (m) : ratioMarkY (m); };
    const float top = markY ({ 1.0, {}, true });
    const float bottom = markY ({ 0.0, {}, true });
    drawRecess (g, { cx - 2.5f, top - 7.0f, 5.0f, bottom - top + 14.0f }, 2.5f, Colour (0xff040405));

    for (const auto& m : marks)
    {
        const float y = markY (m);
        const float length = m.major ? 5.0f : 3.0f;
        g.setColour (m.major ? colours::caption.withAlpha (0.8f) : colours::captionDim);
        g.fillRect (juce::Rectangle<float> (cx - 4.5f - length, y - 0.5f, length, 1.0f));
        g.fillRect (juce::Rectangle<float> (cx + 4.5f, y - 0.5f, length, 1.0f));

        if (m.text.isNotEmpty())
        {
            if (threshold)
                drawCaption (g, m.text, cx - 11.0f, y + 3.4f, numberFont (9.5f), colours::caption, Align::right, 0.6f);
            else
                drawCaption (g, m.text, cx + 11.0f, y + 3.4f, numberFont (9.5f), colours::caption, Align::left, 0.6f);
        }
    }
}

void drawKnobWell (juce::Graphics& g, Rectangle<int> bounds, const KnobGeometry& knob)
{
    const Point<float> centre ((float) bounds.getX() + (float) knob.size() * 0.5f, (float) bounds.getY() + (float) knob.size() * 0.5f);
    const float wellRadius = knob.arcRadius + knob.arcWidth * 0.5f + 2.0f;
    const auto well = Rectangle<float> (wellRadius * 2.0f, wellRadius * 2.0f).withCentre (centre);
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.6f), 0.0f, well.getY(),
                                             juce::Colours::white.withAlpha (0.14f), 0.0f, well.getBottom(), false));
    g.drawEllipse (well.expanded (0.8f), 1.2f);
    g.setGradientFill (juce::ColourGradient (Colour (0xff0c0d0f), 0.0f, well.getY(), Colour (0xff1d2024), 0.0f, well.getBottom(), false));
    g.fillEllipse (well);

    for (int i = 0; i < knob.ticks; ++i)
    {
        const float angle = knobStartAngle + (knobEndAngle - knobStartAngle) * (float) i / (float) (knob.ticks - 1);
        const bool end = i == 0 || i == knob.ticks - 1;
        drawTick (g, centre, angle, knob.tickInner, knob.tickOuter, end ? 1.6f : 1.1f,
                  end ? colours::caption : colours::captionDim);
    }
}

void drawBandPanel (juce::Graphics& g, int band)
{
    juce::Graphics::ScopedSaveState state (g);
    g.setOrigin (panelBounds (band).getPosition());

    // Band name between thin rules, in the band's colour.
    const auto meter = meterBounds (band).toFloat();
    const auto nameFont = captionFont (13.0f, 0.22f);
    const juce::String names[] = { "LOW", "MID", "HIGH" };
    const float nameWidth = textWidth (names[band], nameFont);
    drawCaption (g, names[band], meter.getCentreX(), 16.0f, nameFont, colours::bandColour[band]);
    g.setColour (colours::bandColour[band].withAlpha (0.45f));
    g.fillRect (juce::Rectangle<float> (80.0f, 11.0f, meter.getCentreX() - nameWidth * 0.5f - 8.0f - 80.0f, 1.0f));
    g.fillRect (juce::Rectangle<float> (meter.getCentreX() + nameWidth * 0.5f + 8.0f, 11.0f,
                                        160.0f - meter.getCentreX() - nameWidth * 0.5f - 8.0f, 1.0f));

    const auto small = captionFont (10.0f, 0.1f);
    drawCaption (g, "THRESHOLD", (float) thresholdLabel.getX(), 16.0f, small, colours::caption, Align::left);
    drawCaption (g, "RATIO", (float) ratioLabel.getRight(), 16.0f, small, colours::caption, Align::right);

    drawMeter (g, band);
    drawFaderSlot (g, thresholdFader, true);
    drawFaderSlot (g, ratioFader, false);

    drawKnobWell (g, addKnob, smallKnob);
    drawKnobWell (g, gainKnob, smallKnob);
    drawKnobWell (g, mixKnob, mixKnobGeometry);
    drawKnobWell (g, attackKnob, largeKnob);
    drawKnobWell (g, releaseKnob, largeKnob);

    drawCaption (g, "LIMITER", (float) limiterSwitch.getCentreX() + 0.5f, 139.0f, small, colours::caption);
    drawCaption (g, "ADD", (float) addKnob.getX() + 36.5f, 152.0f, small, colours::caption);
    drawCaption (g, "GAIN", (float) gainKnob.getX() + 36.5f, 152.0f, small, colours::caption);
    drawCaption (g, "MIX", (float) mixKnob.getX() + 49.0f, 240.0f, small, colours::caption);
    drawCaption (g, "ATTACK", (float) attackKnob.getX() + 52.5f, 456.0f, small, colours::caption);
    drawCaption (g, "RELEASE", (float) releaseKnob.getX() + 52.5f, 456.0f, small, colours::caption);
    drawCaption (g, "BAND ON", (float) channelButton.getX() + 15.0f, 428.0f, captionFont (9.0f, 0.06f), colours::caption);

    // Seat of the band switch.
    const auto seat = channelButton.toFloat().getCentre();
    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.fillEllipse (Rectangle<float> (29.0f, 29.0f).withCentre (seat));

    for (const auto& label : { thresholdLabel, ratioLabel, addLabel, gainLabel, attackLabel, releaseLabel, mixLabel })
        drawDisplayWindow (g, label.toFloat());
}

//==============================================================================
void drawGainSliderTrack (juce::Graphics& g, Rectangle<int> slider, bool input)
{
    const auto markX = [input] (const ScaleMark& m) { return input ? inputGainMarkX (m) : makeUpGainMarkX (m); };
    const float left = markX ({ 0.0, {}, true });
    const float right = markX ({ 1.0, {}, true });
    const float cy = (float) slider.getCentreY();
    drawRecess (g, { left - 8.0f, cy - 2.5f, right - left + 16.0f, 5.0f }, 2.5f, Colour (0xff040405));

    for (const auto& m : input ? inputGainMarks() : makeUpGainMarks())
    {
        const float x = markX (m);
        g.setColour (m.major ? colours::caption.withAlpha (0.85f) : colours::captionDim);
        g.fillRect (juce::Rectangle<float> (x - 0.5f, m.major ? 10.0f : 11.0f, 1.0f, m.major ? 3.5f : 2.5f));

        if (m.text.isNotEmpty())
            drawCaption (g, m.text, x, 8.5f, numberFont (9.5f), colours::caption, Align::centre, 0.6f);
    }

    drawCaption (g, "dB", right + (input ? 13.0f : 4.0f), 8.5f, numberFont (9.0f), colours::captionDim, Align::left, 0.6f);
}

void drawHeader (juce::Graphics& g)
{
    drawGainSliderTrack (g, inputSlider, true);
    drawGainSliderTrack (g, makeUpSlider, false);
    drawCaption (g, "INPUT", 121.0f, 35.0f, captionFont (12.0f, 0.14f), colours::caption, Align::right);
    drawCaption (g, "MAKE-UP", 797.0f, 30.0f, captionFont (11.5f, 0.1f), colours::caption, Align::left);
    drawCaption (g, "(OUTPUT)", 797.0f, 42.0f, captionFont (9.0f, 0.1f), colours::captionDim, Align::left);
    drawDisplayWindow (g, inputLabel.toFloat());
    drawDisplayWindow (g, makeUpLabel.toFloat());

    // Seat of the power switch.
    const auto power = powerButton.toFloat();
    const Point<float> seat (power.getCentreX(), power.getY() + 36.0f);
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.7f), 0.0f, seat.y - 33.0f,
                                             juce::Colours::white.withAlpha (0.12f), 0.0f, seat.y + 33.0f, false));
    g.fillEllipse (Rectangle<float> (66.0f, 66.0f).withCentre (seat));
    g.setColour (Colour (0xff0b0c0d));
    g.fillEllipse (Rectangle<float> (63.0f, 63.0f).withCentre (seat));

    // Name plates left and right of the power switch.
    drawCaption (g, "DUNSKARA", 298.0f, 89.0f, captionFont (30.0f, 0.2f), Colour (0xffe4e6e9), Align::centre, 0.9f);
    drawCaption (g, "Quorvane", 672.0f, 81.0f, captionFont (18.0f, 0.05f), colours::powerLed, Align::centre, 0.9f);
    drawCaption (g, "THREE-BAND DYNAMICS PROCESSOR", 672.0f, 94.0f, captionFont (7.5f, 0.22f), colours::captionDim, Align::centre, 0.6f);
}

void drawCrossover (juce::Graphics& g)
{
    const float railY = (float) crossoverY + handleRailY;
    const float railLeft = (float) crossoverTrackStart + 10.0f;
    const float railRight = (float) (crossoverTrackStart + crossoverTrackLength + handleWidth) - 10.0f;
    drawRecess (g, { railLeft, railY - 3.0f, railRight - railLeft, 6.0f }, 3.0f, Colour (0xff040405));

    // Scale under the handles' pointer lines (their centres), frequency F(v) = 36000 log10(1 + v).
    g.setColour (colours::captionDim);
    const float scaleLeft = crossoverMarkX ({ 0.0, {}, true }) - 0.5f;
    const float scaleRight = crossoverMarkX ({ 1.0, {}, true }) + 0.5f;
    g.fillRect (juce::Rectangle<float> (scaleLeft, 619.0f, scaleRight - scaleLeft, 1.0f));

    for (const auto& m : crossoverMarks())
    {
        const float x = crossoverMarkX (m);
        g.setColour (m.major ? colours::caption.withAlpha (0.85f) : colours::captionDim);
        g.fillRect (juce::Rectangle<float> (x - 0.5f, m.major ? 612.0f : 615.0f, 1.0f, m.major ? 7.0f : 4.0f));

        if (m.text.isNotEmpty())
            drawCaption (g, m.text, x, 610.0f, numberFont (9.5f), colours::caption, Align::centre, 0.6f);
    }

    drawCaption (g, "CROSSOVER", 116.0f, 607.0f, captionFont (11.0f, 0.1f), colours::caption, Align::right);
    drawCaption (g, "Hz", 116.0f, 620.0f, numberFont (9.0f), colours::captionDim, Align::right);
}

void drawFinalMix (juce::Graphics& g)
{
    const float left = finalMixMarkX ({ 0.0, {}, true });
    const float right = finalMixMarkX ({ 1.0, {}, true });
    const float cy = (float) finalMixSlider.getY() + (float) finalMixSlider.getHeight() * 0.5f;
    drawRecess (g, { left - 8.0f, cy - 2.5f, right - left + 16.0f, 5.0f }, 2.5f, Colour (0xff040405));

    for (const auto& m : finalMixMarks())
    {
        const float x = finalMixMarkX (m);
        g.setColour (m.major ? colours::caption.withAlpha (0.85f) : colours::captionDim);
        g.fillRect (juce::Rectangle<float> (x - 0.5f, 633.0f, 1.0f, m.major ? 5.0f : 3.0f));
    }

    const auto small = captionFont (8.5f, 0.12f);
    drawCaption (g, "DRY", left, 647.0f, small, colours::captionDim);
    drawCaption (g, "50%", (left + right) * 0.5f, 647.0f, numberFont (8.5f), colours::captionDim);
    drawCaption (g, "WET", right, 647.0f, small, colours::captionDim);
    drawCaption (g, "MIX", (left + right) * 0.5f, 581.0f, captionFont (12.0f, 0.14f), colours::caption);
    drawDisplayWindow (g, finalMixLabel.toFloat());
}

void drawVentsAndScrews (juce::Graphics& g)
{
    for (int i = 0; i < 24; ++i)
    {
        const float y = 150.0f + 15.0f * (float) i;
        drawRecess (g, { 26.0f, y, 32.0f, 5.0f }, 2.5f, Colour (0xff060708));
        drawRecess (g, { 856.0f, y, 32.0f, 5.0f }, 2.5f, Colour (0xff060708));
    }

    drawScrew (g, { 16.0f, 16.0f }, 5.5f, 0.3f);
    drawScrew (g, { 898.0f, 16.0f }, 5.5f, 1.1f);
    drawScrew (g, { 16.0f, 634.0f }, 5.5f, 0.7f);
    drawScrew (g, { 898.0f, 634.0f }, 5.5f, 0.1f);
}
} // namespace

juce::Image editorBackground()
{
    auto image = newImage (editorWidth, editorHeight, juce::Image::RGB);

    {
        juce::Graphics g (image);
        drawChassisAndPlates (g);
    }

    addBrushedGrain (image, image.getBounds(), 0.022f, 0x2f6a91u);

    juce::Graphics g (image);
    drawPlateEdges (g);
    drawVentsAndScrews (g);
    drawHeader (g);

    for (int band = 0; band < 3; ++band)
        drawBandPanel (g, band);

    drawCrossover (g);
    drawFinalMix (g);
    return image;
}
} // namespace skinbackground

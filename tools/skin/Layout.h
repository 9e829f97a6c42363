#pragma once

// Where the plug-in places its controls, and the scale geometry that the background
// and the control images must agree on. Editor coordinates unless a name says panel.

#include <juce_graphics/juce_graphics.h>

#include <cmath>

namespace skinlayout
{
constexpr int editorWidth = 914;
constexpr int editorHeight = 650;

// Band panels (248 x 460), left to right: low, mid, high.
constexpr int panelX[3] = { 84, 335, 588 };
constexpr int panelY = 100;
constexpr int panelWidth = 248;
constexpr int panelHeight = 460;

inline juce::Rectangle<int> panelBounds (int band)
{
    return { panelX[band], panelY, panelWidth, panelHeight };
}

// Panel coordinates of the band controls.
inline juce::Rectangle<int> meterBounds (int band) { return { band == 2 ? 54 : 52, 24, 135, 83 }; }
const juce::Rectangle<int> thresholdFader { 6, 46, 45, 295 };
const juce::Rectangle<int> ratioFader { 197, 46, 45, 295 };
const juce::Rectangle<int> attackKnob { 13, 354, 105, 105 };
const juce::Rectangle<int> releaseKnob { 125, 354, 105, 105 };
const juce::Rectangle<int> mixKnob { 74, 231, 98, 98 };
const juce::Rectangle<int> addKnob { 44, 155, 73, 73 };
const juce::Rectangle<int> gainKnob { 128, 155, 73, 73 };
const juce::Rectangle<int> limiterSwitch { 104, 144, 35, 55 };
const juce::Rectangle<int> channelButton { 106, 430, 30, 30 };

// Value labels drawn live over the background: their rectangles stay dark and plain.
const juce::Rectangle<int> thresholdLabel { 6, 24, 40, 22 };
const juce::Rectangle<int> ratioLabel { 198, 24, 40, 22 };
const juce::Rectangle<int> addLabel { 46, 226, 40, 22 };
const juce::Rectangle<int> gainLabel { 160, 226, 40, 22 };
const juce::Rectangle<int> attackLabel { 46, 326, 40, 22 };
const juce::Rectangle<int> releaseLabel { 158, 326, 40, 22 };
const juce::Rectangle<int> mixLabel { 102, 322, 40, 22 };

// Global controls.
const juce::Rectangle<int> inputSlider { 129, 14, 286, 34 };
const juce::Rectangle<int> makeUpSlider { 503, 14, 286, 34 };
const juce::Rectangle<int> finalMixSlider { 533, 586, 268, 45 };
const juce::Rectangle<int> inputLabel { 132, 42, 46, 22 };
const juce::Rectangle<int> makeUpLabel { 506, 42, 46, 22 };
const juce::Rectangle<int> finalMixLabel { 538, 568, 48, 22 };
const juce::Rectangle<int> powerButton { 420, 0, 74, 86 };

constexpr int gainThumbWidth = 49;
constexpr int gainThumbHeight = 34;
constexpr int mixThumbWidth = 68;
constexpr int mixThumbHeight = 45;
constexpr int faderThumbWidth = 45;
constexpr int faderThumbHeight = 77;

// A horizontal thumb sits at x + p * (W - w); this is the x of its centre line.
inline float horizontalThumbCentre (juce::Rectangle<int> slider, int thumbWidth, double proportion)
{
    return (float) (slider.getX() + proportion * (slider.getWidth() - thumbWidth) + thumbWidth * 0.5);
}

// A vertical thumb's top is at y + (1 - p) * (H - h); this is the y of its centre line.
inline float verticalThumbCentre (juce::Rectangle<int> slider, int thumbHeight, double proportion)
{
    return (float) (slider.getY() + (1.0 - proportion) * (slider.getHeight() - thumbHeight) + thumbHeight * 0.5);
}

// Crossover: handles 58 x 68 at y 569, left edge from trackStart (value 0) to
// trackStart + 328 (value 1). The scale marks the handle's centre line.
constexpr int crossoverTrackStart = 124;
constexpr int crossoverTrackLength = 328;
constexpr int crossoverY = 569;
constexpr int handleWidth = 58;
constexpr int handleHeight = 68;
const juce::Rectangle<int> handleLabel { 6, 7, 48, 18 };
constexpr float handleRailY = 60.0f;   // rail centre, handle coordinates

inline double crossoverValueForHz (double hz) { return std::pow (10.0, hz / 36000.0) - 1.0; }
inline float crossoverCentreX (double value)
{
    return (float) (crossoverTrackStart + crossoverTrackLength * value + handleWidth * 0.5);
}

// Knob strips: the pointer sweeps 270 degrees, frame 0 at the minimum, the last frame
// at the maximum. Angles in radians, clockwise from 12 o'clock.
constexpr float knobStartAngle = -0.75f * juce::MathConstants<float>::pi;
constexpr float knobEndAngle = 0.75f * juce::MathConstants<float>::pi;

inline float knobAngle (int frame, int frames)
{
    return knobStartAngle + (knobEndAngle - knobStartAngle) * (float) frame / (float) (frames - 1);
}

struct KnobGeometry
{
    int size;           // frame side
    float bodyRadius;   // knob skirt
    float arcRadius;    // value arc centre line
    float arcWidth;
    float tickInner;    // scale printed on the panel around the knob
    float tickOuter;
    int ticks;
};

constexpr KnobGeometry largeKnob { 105, 29.0f, 36.5f, 3.2f, 40.5f, 43.5f, 11 };
constexpr KnobGeometry mixKnobGeometry { 98, 26.0f, 32.5f, 3.0f, 35.5f, 38.0f, 11 };
constexpr KnobGeometry smallKnob { 73, 18.5f, 24.0f, 2.6f, 26.8f, 29.2f, 11 };

// Needle meters: both strips share a pivot below the window's bottom edge.
// Level: frame i at -45 + i degrees (frame 90, the highest ever shown, at +45).
// Gain reduction: rests at the right and swings left, frame i at 45 - i degrees.
constexpr int meterWidth = 135;
constexpr int meterHeight = 83;
constexpr int meterFrames = 101;
constexpr float meterPivotX = 67.5f;
constexpr float meterPivotY = 88.0f;
constexpr float levelArcRadius = 60.0f;
constexpr float reductionArcRadius = 43.0f;
constexpr float levelNeedleLength = 67.0f;
constexpr float reductionNeedleLength = 50.0f;
constexpr float pivotCapRadius = 13.0f;

inline float degrees (float d) { return d * juce::MathConstants<float>::pi / 180.0f; }
inline float levelNeedleAngle (float frame) { return degrees (-45.0f + frame); }
inline float reductionNeedleAngle (float frame) { return degrees (45.0f - frame); }

// The meters pick frame trunc(101 * scale * value): the level needle with scale 1.9
// (3.0 in the high band) on the band's linear RMS level, the reduction needle with
// 1.4 on 1 - mean gain.
inline float levelFrameForDb (int band, float db)
{
    const float scale = band == 2 ? 3.0f : 1.9f;
    return 101.0f * scale * std::pow (10.0f, db / 20.0f);
}

inline float reductionFrameForDb (float reductionDb)
{
    return 101.0f * 1.4f * (1.0f - std::pow (10.0f, -reductionDb / 20.0f));
}

// The band faders: threshold -25..0 dB linear, ratio 10:1 (bottom) to 1:1 (top)
// through p = 0.7805 - 0.5805 v and ratio = 4 ln(1 - p)^2 + 0.8.
inline double thresholdProportion (double db) { return (db + 25.0) / 25.0; }
inline double ratioProportion (double ratio)
{
    const double p = 1.0 - std::exp (-std::sqrt ((ratio - 0.8) / 4.0));
    return (0.7805 - p) / 0.5805;
}
} // namespace skinlayout

#pragma once

// The artwork's own geometry (knob and meter drawing). Where controls sit, how a value
// becomes a position and which marks the scales carry come from the plug-in's shared
// table, widgets/SkinLayout.h, so the art and the controls cannot disagree.

#include "widgets/SkinLayout.h"

#include <juce_graphics/juce_graphics.h>

#include <cmath>

namespace skinlayout
{
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
    ImageId strip;      // frame side and frame count come from the image list
    float bodyRadius;   // knob skirt
    float arcRadius;    // value arc centre line
    float arcWidth;
    float tickInner;    // scale printed on the panel around the knob
    float tickOuter;
    int ticks;

    constexpr int size() const { return imageHeight (strip); }
    constexpr int frames() const { return skinimage::formatOf (strip).frames(); }
};

constexpr KnobGeometry largeKnob { ImageId::knob_attack_strip, 29.0f, 36.5f, 3.2f, 40.5f, 43.5f, 11 };
constexpr KnobGeometry mixKnobGeometry { ImageId::knob_mix_strip, 26.0f, 32.5f, 3.0f, 35.5f, 38.0f, 11 };
constexpr KnobGeometry smallKnob { ImageId::knob_small_strip, 18.5f, 24.0f, 2.6f, 26.8f, 29.2f, 11 };

// Needle meters: both strips share a pivot below the window's bottom edge.
// Level: frame i at -45 + i degrees (frame 90, the highest ever shown, at +45).
// Gain reduction: rests at the right and swings left, frame i at 45 - i degrees.
constexpr float meterPivotX = 67.5f;
constexpr float meterPivotY = 88.0f;
constexpr float levelArcRadius = 60.0f;
constexpr float reductionArcRadius = 43.0f;
constexpr float levelNeedleLength = 67.0f;
constexpr float reductionNeedleLength = 50.0f;
constexpr float pivotCapRadius = 13.0f;
constexpr int redZoneFrame = 76;   // the last stretch before the needle's stop prints red

inline float degrees (float d) { return d * juce::MathConstants<float>::pi / 180.0f; }
inline float levelNeedleAngle (float frame) { return degrees (-45.0f + frame); }
inline float reductionNeedleAngle (float frame) { return degrees (45.0f - frame); }
} // namespace skinlayout

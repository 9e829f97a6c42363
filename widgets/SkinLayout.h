#pragma once

// Where the window places its controls and how a value becomes a position: the one
// table that the editor, the band panels, the widgets and the skin generator
// (tools/skin) all read, so that the printed scales and the controls cannot disagree.
// Editor coordinates unless a name says panel. Plain constants and small functions
// only: nothing here depends on the processor. Image sizes come from the image list
// (resources/SkinImages.h).

#include "resources/SkinImages.h"

#include "plugin/ParameterTable.h"

#include <juce_graphics/juce_graphics.h>

#include <cmath>
#include <utility>
#include <vector>

namespace skinlayout
{
using ImageId = skinimage::Id;

constexpr int imageWidth (ImageId id) { return skinimage::formatOf (id).width; }
// A strip's frame height, or a single image's height.
constexpr int imageHeight (ImageId id) { return skinimage::formatOf (id).shownHeight(); }

// A control that shows its image at (x, y) unscaled.
inline juce::Rectangle<int> imageBounds (int x, int y, ImageId id) { return { x, y, imageWidth (id), imageHeight (id) }; }

constexpr int editorWidth = imageWidth (ImageId::editor_background);
constexpr int editorHeight = imageHeight (ImageId::editor_background);

// Band panels (248 x 460), left to right: low, mid, high.
constexpr int panelX[3] = { 84, 335, 588 };
constexpr int panelY = 100;
constexpr int panelWidth = 248;
constexpr int panelHeight = 460;

inline juce::Rectangle<int> panelBounds (int band) { return { panelX[band], panelY, panelWidth, panelHeight }; }

// Panel coordinates of the band controls.
inline juce::Rectangle<int> meterBounds (int band) { return imageBounds (band == 2 ? 54 : 52, 24, ImageId::meter_level_needle_strip); }
const juce::Rectangle<int> thresholdFader { 6, 46, 45, 295 };
const juce::Rectangle<int> ratioFader { 197, 46, 45, 295 };
const juce::Rectangle<int> attackKnob = imageBounds (13, 354, ImageId::knob_attack_strip);
const juce::Rectangle<int> releaseKnob = imageBounds (125, 354, ImageId::knob_release_strip);
const juce::Rectangle<int> mixKnob = imageBounds (74, 231, ImageId::knob_mix_strip);
const juce::Rectangle<int> addKnob = imageBounds (44, 155, ImageId::knob_small_strip);
const juce::Rectangle<int> gainKnob = imageBounds (128, 155, ImageId::knob_small_strip);
const juce::Rectangle<int> limiterSwitch = imageBounds (104, 144, ImageId::limiter_switch_off);
const juce::Rectangle<int> channelButton = imageBounds (106, 430, ImageId::channel_button_off);
// Band solo: centred over the band switch, in the gap between the attack and release
// knobs' scales and below the value labels.
const juce::Rectangle<int> soloButton = imageBounds (101, 354, ImageId::solo_button_off);

// Value labels of a band panel (panel coordinates). The add and attack labels start a
// pixel right of the threshold cap's travel, so that the cap never covers them; the
// attack label is a pixel wider than the others, for its widest text ("100.2 ms").
const juce::Rectangle<int> thresholdLabel { 6, 24, 40, 22 };
const juce::Rectangle<int> ratioLabel { 198, 24, 40, 22 };
const juce::Rectangle<int> addLabel { 47, 226, 40, 22 };
const juce::Rectangle<int> gainLabel { 160, 226, 40, 22 };
const juce::Rectangle<int> attackLabel { 47, 326, 41, 22 };
const juce::Rectangle<int> releaseLabel { 158, 326, 40, 22 };
const juce::Rectangle<int> mixLabel { 102, 322, 40, 22 };

// Global controls.
const juce::Rectangle<int> inputSlider { 129, 14, 286, 34 };
const juce::Rectangle<int> makeUpSlider { 503, 14, 286, 34 };
const juce::Rectangle<int> finalMixSlider { 533, 586, 268, 45 };
// The gain labels sit just below their thumbs, the mix label just above its thumb, so
// that no thumb covers them at either end of its travel.
const juce::Rectangle<int> inputLabel { 132, 47, 46, 22 };
const juce::Rectangle<int> makeUpLabel { 506, 47, 46, 22 };
const juce::Rectangle<int> finalMixLabel { 538, 566, 48, 22 };
const juce::Rectangle<int> powerButton = imageBounds (420, 0, ImageId::power_button_off);

// Label faces: all ask for Arial, plain (the editor draws it in Liberation Sans).
constexpr const char* labelFontName = "Arial";
constexpr float globalLabelFontHeight = 15.0f;
constexpr float bandLabelFontHeight = 15.0f;
constexpr float timeLabelFontHeight = 11.2f;   // attack and release
constexpr float knobFontHeight = 12.0f;        // the knobs' own (hidden) labels
constexpr float handleLabelFontHeight = 12.4f;
constexpr juce::uint32 gainLabelColour = 0xffadadad;     // input and make-up gain
constexpr juce::uint32 finalMixLabelColour = 0xffdcdcdc;
constexpr juce::uint32 faderLabelColour = 0xff73f325;    // threshold and ratio
constexpr juce::uint32 knobLabelColour = 0xff24a1e6;     // add, gain, attack, release, mix
constexpr juce::uint32 handleLabelColour = 0xffdcdcdc;

// Colours printed on the control images that go with the labels above. The knobs'
// lit value ring is a lighter blue than their labels.
constexpr juce::uint32 knobRingColour = 0xff2aa6ec;
constexpr juce::uint32 thresholdThumbLineColour = 0xff73f325;   // the threshold label's green
constexpr juce::uint32 ratioThumbLineColour = 0xffffa928;

// Thumbs, and where on each the indicator line runs (its centre, from the thumb's
// top for the vertical faders, from its left for the horizontal sliders).
constexpr int gainThumbWidth = imageWidth (ImageId::gain_thumb);
constexpr int gainThumbHeight = imageHeight (ImageId::gain_thumb);
constexpr int mixThumbWidth = imageWidth (ImageId::mix_thumb);
constexpr int mixThumbHeight = imageHeight (ImageId::mix_thumb);
constexpr int faderThumbWidth = imageWidth (ImageId::fader_thumb_thresh);
constexpr int faderThumbHeight = imageHeight (ImageId::fader_thumb_thresh);
static_assert (faderThumbWidth == imageWidth (ImageId::fader_thumb_ratio)
               && faderThumbHeight == imageHeight (ImageId::fader_thumb_ratio), "one fader mapping serves both thumbs");
constexpr float faderIndicator = 37.5f;
constexpr float gainIndicator = 24.5f;
constexpr float mixIndicator = 34.0f;

// The thumb placement of the image slider: at the bottom (left) at the minimum, at
// the top (right) at the maximum, truncated to whole pixels as it is drawn.
inline int verticalThumbTop (int sliderHeight, int thumbHeight, double proportion)
{
    return (int) ((1.0 - proportion) * (sliderHeight - thumbHeight));
}

inline int horizontalThumbLeft (int sliderWidth, int thumbWidth, double proportion)
{
    return (int) (proportion * (sliderWidth - thumbWidth));
}

// Crossover handles (58 x 68 at y 569): the left edge runs from trackStart (value 0)
// to trackStart + 328 (value 1) in whole pixels; the pointer line is one pixel column.
constexpr int crossoverTrackStart = 124;
constexpr int crossoverTrackLength = params::crossoverTrackLength;
constexpr int crossoverDragStart = params::crossoverDragStart; // the leftmost offset a drag reaches
constexpr int crossoverY = 569;
constexpr int handleWidth = imageWidth (ImageId::crossover_handle);
constexpr int handleHeight = imageHeight (ImageId::crossover_handle);
const juce::Rectangle<int> handleLabel { 6, 7, 48, 18 };
constexpr float handlePointer = 28.5f;         // centre of the pointer column
constexpr float handleRailY = 60.0f;           // rail centre, handle coordinates

// The track offset of value v: trunc (328 v), except that a value read back from a
// position maps to that very position (f (k / 328) in float can lie just below k / 328).
inline int crossoverOffset (float v)
{
    const int length = crossoverTrackLength;
    if (! (v > 0.0f)) // also NaN
        return 0;
    if (v >= 1.0f)
        return length;

    int offset = (int) (length * (double) v); // exact: a float times 328 fits a double
    while (offset < length && (float) ((offset + 1) / (double) length) <= v)
        ++offset;
    return offset;
}

// The handle art is a flag holding the readout (rows above handleFlagHeight) over a
// pointer and a grip. The two flags step aside from each other when the handles come
// closer than a flag's width: pushed apart evenly, in the order of their pointers (the
// low handle's on the left when they coincide) and kept within the track's reach, so
// that both readouts stay whole, apart and within reach of the pointer. Returns the
// shift of each flag from its own handle.
constexpr int handleFlagHeight = 32;
// Where the flag's lower edge carries the mark above the pointer, and where the same
// edge runs plain.
const juce::Rectangle<int> handleFlagMark { 21, 27, 16, handleFlagHeight - 27 };
constexpr int handleFlagPlainEdgeX = 6;

struct FlagShifts { int low = 0, high = 0; };

inline FlagShifts crossoverFlagShifts (int lowHandleX, int highHandleX)
{
    const int apart = handleWidth;
    const bool lowOnLeft = lowHandleX <= highHandleX;
    const int left = lowOnLeft ? lowHandleX : highHandleX;
    const int right = lowOnLeft ? highHandleX : lowHandleX;
    if (right - left >= apart)
        return {};

    const int minX = crossoverTrackStart, maxX = crossoverTrackStart + crossoverTrackLength;
    const int leftFlag = juce::jlimit (minX, maxX - apart, (left + right - apart) / 2);
    const int rightFlag = leftFlag + apart;
    return lowOnLeft ? FlagShifts { leftFlag - lowHandleX, rightFlag - highHandleX }
                     : FlagShifts { rightFlag - lowHandleX, leftFlag - highHandleX };
}

inline double crossoverValueForHz (double hz) { return params::readoutInverse (params::Readout::crossoverHertz, hz); }

// Needle meters: 101 frames of 135 x 83; frame trunc (frames * x) with x = scale *
// position limited to [0, 0.9], so frame 90 is the highest ever shown.
constexpr int meterWidth = imageWidth (ImageId::meter_level_needle_strip);
constexpr int meterHeight = imageHeight (ImageId::meter_level_needle_strip);
constexpr int meterFrames = skinimage::formatOf (ImageId::meter_level_needle_strip).frames();
constexpr int highestNeedleFrame = 90;
constexpr float levelScale = 1.9f;
constexpr float highBandLevelScale = 3.0f;
constexpr float reductionScale = 1.4f;
constexpr float maxStripFraction = 0.9f;

inline float levelScaleFor (int band) { return band == 2 ? highBandLevelScale : levelScale; }

inline int needleFrame (float scale, float position, int stripHeight, int frameHeight)
{
    float x = scale * position;
    if (! (x >= 0.0f))
        x = 0.0f;
    else if (x > maxStripFraction)
        x = maxStripFraction;

    const float numFrames = (float) stripHeight / (float) frameHeight;
    return (int) (numFrames * x);
}

inline int needleFrame (float scale, float position)
{
    return needleFrame (scale, position, meterFrames * meterHeight, meterHeight);
}

//==============================================================================
// The marks printed on the background and the meter faces. `value` is what the
// control holds when it sits on the mark: the slider value (a multiple of its 0.001
// step), the crossover value, the band level (linear) or the mean gain.
struct ScaleMark
{
    double value;
    juce::String text;   // empty: an unlabelled tick
    bool major;
};

inline double sliderStep (double v) { return juce::jlimit (0.0, 1.0, std::round (v * 1000.0) / 1000.0); }

// Each scale is placed by its readout's exact inverse: the mark for -12.5 dB sits where
// the control reads -12.5.
inline double valueShowing (params::Readout readout, double x) { return sliderStep (params::readoutInverse (readout, x)); }

// Threshold -25..0 dB.
inline std::vector<ScaleMark> thresholdMarks()
{
    std::vector<ScaleMark> marks;
    for (int step = 0; step <= 10; ++step)
    {
        const double db = -2.5 * step;
        marks.push_back ({ valueShowing (params::Readout::thresholdDecibels, db), step % 2 == 0 ? juce::String ((int) db) : juce::String(), step % 2 == 0 });
    }
    return marks;
}

// Ratio 10:1 (bottom) to 1:1 (top).
inline std::vector<ScaleMark> ratioMarks()
{
    const auto valueFor = [] (double ratio) { return valueShowing (params::Readout::ratio, ratio); };
    std::vector<ScaleMark> marks;
    for (auto [ratio, text] : { std::pair<double, const char*> { 1.0, "1" }, { 1.25, "" }, { 1.5, "1.5" }, { 2.0, "2" },
                                { 2.5, "" }, { 3.0, "3" }, { 4.0, "4" }, { 5.0, "" }, { 6.0, "6" }, { 8.0, "" }, { 10.0, "10" } })
        marks.push_back ({ valueFor (ratio), text, *text != 0 });
    return marks;
}

inline juce::String signedDb (int db) { return db > 0 ? "+" + juce::String (db) : juce::String (db); }

// Input gain; its label never reads below -30.0dB, which it shows at the left end.
inline std::vector<ScaleMark> inputGainMarks()
{
    std::vector<ScaleMark> marks { { 0.0, "-30", true } };
    for (int db : { -12, -9, -6, -3, 0, 3, 6, 9, 12 })
    {
        const bool major = db != -12 && db != -9 && db != -3;
        marks.push_back ({ valueShowing (params::Readout::inputDecibels, db), major ? signedDb (db) : juce::String(), major });
    }
    return marks;
}

// Make-up gain.
inline std::vector<ScaleMark> makeUpGainMarks()
{
    std::vector<ScaleMark> marks;
    for (int db = 0; db <= 9; ++db)
        marks.push_back ({ valueShowing (params::Readout::makeUpDecibels, db), db % 3 == 0 ? signedDb (db) : juce::String(), db % 3 == 0 });
    return marks;
}

// Final mix 0..100 %.
inline std::vector<ScaleMark> finalMixMarks()
{
    std::vector<ScaleMark> marks;
    for (int step = 0; step <= 10; ++step)
        marks.push_back ({ step / 10.0, {}, step % 5 == 0 });
    return marks;
}

// Crossover frequency.
inline std::vector<ScaleMark> crossoverMarks()
{
    std::vector<ScaleMark> marks;
    for (auto [hz, text] : { std::pair<double, const char*> { 100, "100" }, { 500, "" }, { 1000, "1k" }, { 1500, "" }, { 2000, "2k" },
                             { 2500, "" }, { 3000, "3k" }, { 3500, "" }, { 4000, "4k" }, { 4500, "" }, { 5000, "5k" }, { 5500, "" },
                             { 6000, "6k" }, { 7000, "" }, { 8000, "8k" }, { 9000, "" }, { 10000, "10k" } })
        marks.push_back ({ crossoverValueForHz (hz), text, *text != 0 });
    return marks;
}

// Band level in dB of the published RMS level. One list for all three bands, each
// meter printing the marks its needle can reach (the high band's needle is more
// sensitive and stops near -10.5 dB, the others near -6.6 dB).
inline std::vector<ScaleMark> levelMarks (int band)
{
    std::vector<ScaleMark> marks;
    for (auto [db, labelled] : { std::pair<int, bool> { -40, false }, { -30, true }, { -25, false }, { -20, true }, { -15, true },
                                 { -14, false }, { -13, false }, { -12, true }, { -11, false }, { -10, false }, { -9, true },
                                 { -8, false }, { -7, false } })
    {
        const double level = std::pow (10.0, db / 20.0);
        if ((float) level * levelScaleFor (band) <= maxStripFraction)
            marks.push_back ({ level, labelled ? juce::String (db) : juce::String(), labelled });
    }
    return marks;
}

// Gain reduction in dB: the needle shows 1 - mean gain.
inline std::vector<ScaleMark> reductionMarks()
{
    std::vector<ScaleMark> marks;
    for (int db = 0; db <= 8; ++db)
        marks.push_back ({ std::pow (10.0, -db / 20.0), db % 2 == 0 && db < 8 ? juce::String (db) : juce::String(), db % 2 == 0 });
    return marks;
}

// Where a mark sits (editor coordinates for the global sliders and the crossover,
// panel coordinates for the faders, frame index for the needles): exactly where the
// control holding the mark's value draws its indicator.
inline float thresholdMarkY (const ScaleMark& m) { return (float) (thresholdFader.getY() + verticalThumbTop (thresholdFader.getHeight(), faderThumbHeight, m.value)) + faderIndicator; }
inline float ratioMarkY (const ScaleMark& m)     { return (float) (ratioFader.getY() + verticalThumbTop (ratioFader.getHeight(), faderThumbHeight, m.value)) + faderIndicator; }
inline float inputGainMarkX (const ScaleMark& m) { return (float) (inputSlider.getX() + horizontalThumbLeft (inputSlider.getWidth(), gainThumbWidth, m.value)) + gainIndicator; }
inline float makeUpGainMarkX (const ScaleMark& m) { return (float) (makeUpSlider.getX() + horizontalThumbLeft (makeUpSlider.getWidth(), gainThumbWidth, m.value)) + gainIndicator; }
inline float finalMixMarkX (const ScaleMark& m)  { return (float) (finalMixSlider.getX() + horizontalThumbLeft (finalMixSlider.getWidth(), mixThumbWidth, m.value)) + mixIndicator; }
inline float crossoverMarkX (const ScaleMark& m) { return (float) (crossoverTrackStart + crossoverOffset ((float) m.value)) + handlePointer; }
inline int levelMarkFrame (int band, const ScaleMark& m) { return needleFrame (levelScaleFor (band), (float) m.value); }
inline int reductionMarkFrame (const ScaleMark& m)       { return needleFrame (reductionScale, juce::jlimit (0.0f, 1.0f, 1.0f - (float) m.value)); }
} // namespace skinlayout

#pragma once

// Shared drawing tools of the skin generator: fonts, colours, metal surfaces, text.

#include <juce_graphics/juce_graphics.h>

#include <cstdint>

namespace skinpaint
{
// Palette shared by every image, so that the pieces read as one device. The colours
// that go with the plug-in's labels are in the layout table (widgets/SkinLayout.h).
namespace colours
{
const juce::Colour chassis { 0xff1a1c1f };
const juce::Colour plateTop { 0xff30343a };
const juce::Colour plateBottom { 0xff25282d };
const juce::Colour caption { 0xffd5d8dc };
const juce::Colour captionDim { 0xff8d939a };
const juce::Colour display { 0xff060708 };
const juce::Colour limiterLed { 0xffff3b2a };
const juce::Colour channelLed { 0xff5cf06a };
const juce::Colour soloLed { 0xffffd23a };
const juce::Colour powerLed { 0xffffa020 };
const juce::Colour crossoverAccent { 0xffffa020 };
const juce::Colour levelNeedle { 0xfff7ecd0 };
const juce::Colour reductionNeedle { 0xffff3b2f };
const juce::Colour meterPrint { 0xffe9dcbc };
const juce::Colour meterRedPrint { 0xffe8463a };
const juce::Colour bandColour[3] = { juce::Colour (0xffe8843c), juce::Colour (0xffe6c44a), juce::Colour (0xff5cc4ee) };
} // namespace colours

// The fonts are read from the DejaVu files (Debian package fonts-dejavu-core), so
// the images come out the same whatever else the system has installed.
struct Fonts
{
    juce::Font regular;
    juce::Font bold;
    juce::Font label;   // Liberation Sans (fonts-liberation2): the plug-in's label face, for previews

    // Returns false when a font file is missing.
    bool load();
};

const Fonts& fonts();

// Small deterministic generator for textures.
class Noise final
{
public:
    explicit Noise (std::uint32_t seed) : state (seed != 0 ? seed : 0x9e3779b9u) {}
    float next();   // uniform in [0, 1)

private:
    std::uint32_t state;
};

// Horizontal brushed-metal grain over the given area (drawing units) of an image; the
// grain is laid per device pixel, so a twice-size image gets a finer one.
void addBrushedGrain (juce::Image& image, juce::Rectangle<int> area, float strength, std::uint32_t seed);

enum class Align { left, centre, right };

// Silk-screened text: baseline at y, anchored at x according to align; a dark drop
// shadow under it makes the letters read crisply on brushed metal.
void drawCaption (juce::Graphics& g, const juce::String& text, float x, float baseline, juce::Font font,
                  juce::Colour colour, Align align = Align::centre, float shadowAlpha = 0.7f);
float textWidth (const juce::String& text, const juce::Font& font);
juce::Font captionFont (float height, float tracking = 0.09f);
juce::Font numberFont (float height, float tracking = 0.0f);

// A recess cut into the panel: dark inside, shadow at the top edge, light at the bottom.
void drawRecess (juce::Graphics& g, juce::Rectangle<float> area, float corner, juce::Colour inside);
// A flush display window for live text: plain dark inside, thin bevel around.
void drawDisplayWindow (juce::Graphics& g, juce::Rectangle<float> area);
void drawScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float slotAngle);
// Soft halo of the given colour (lit LEDs, glowing rings).
void drawGlow (juce::Graphics& g, juce::Point<float> centre, float radius, juce::Colour colour, float alpha);
// Brushed-aluminium disc whose highlight stays where the light is, whatever the angle.
void drawMachinedDisc (juce::Graphics& g, juce::Point<float> centre, float radius, float base, float contrast);
void fillShadow (juce::Graphics& g, const juce::Path& path, float radius, juce::Point<int> offset, float alpha);

juce::Path arcPath (juce::Point<float> centre, float radius, float fromAngle, float toAngle);
juce::Point<float> polar (juce::Point<float> centre, float radius, float angle);

// Every image is drawn in the plug-in's pixel units. While a ScopedDrawingScale of 2 is
// active, newImage makes images with twice the pixels each way whose graphics contexts
// start with that scale applied, so the same drawing code yields the sharp twin of
// every image without knowing about it.
class ScopedDrawingScale final
{
public:
    explicit ScopedDrawingScale (int scale);
    ~ScopedDrawingScale();

private:
    int previous;
};

int drawingScale();
// The scale an image was made with: 1 for any image not made by newImage.
int imageScale (const juce::Image& image);

// A cleared image for a control (transparent) or the background (RGB), drawn by the
// software renderer on every platform; width and height in drawing units.
juce::Image newImage (int width, int height, juce::Image::PixelFormat format = juce::Image::ARGB);
juce::PathStrokeType roundStroke (float width);

bool writePng (const juce::Image& image, const juce::File& file);
} // namespace skinpaint

#include "SkinPainter.h"

#include <cmath>

namespace skinpaint
{
namespace
{
const char* const regularFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const boldFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const labelFontFile = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

bool loadTypeface (const char* path, juce::Font& into)
{
    juce::MemoryBlock data;

    if (! juce::File (path).loadFileAsData (data) || data.getSize() == 0)
        return false;

    auto typeface = juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());

    if (typeface == nullptr)
        return false;

    into = juce::Font (typeface);
    return true;
}

Fonts& fontStore()
{
    static Fonts store;
    return store;
}

int currentScale = 1;

// Software pixels whose graphics contexts start scaled: drawing code that works in the
// plug-in's pixel units fills an image of scale times its size.
class ScaledPixelData final : public juce::ImagePixelData
{
public:
    ScaledPixelData (juce::ImagePixelData::Ptr pixelsToUse, int scaleToUse)
        : ImagePixelData (pixelsToUse->pixelFormat, pixelsToUse->width, pixelsToUse->height),
          scale (scaleToUse),
          pixels (std::move (pixelsToUse))
    {
    }

    std::unique_ptr<juce::LowLevelGraphicsContext> createLowLevelContext() override
    {
        sendDataChangeMessage();
        auto context = std::make_unique<juce::LowLevelGraphicsSoftwareRenderer> (juce::Image (*this));
        context->addTransform (juce::AffineTransform::scale ((float) scale));
        return context;
    }

    void initialiseBitmapData (juce::Image::BitmapData& data, int x, int y, juce::Image::BitmapData::ReadWriteMode mode) override
    {
        pixels->initialiseBitmapData (data, x, y, mode);
    }

    Ptr clone() override { return *new ScaledPixelData (pixels->clone(), scale); }
    std::unique_ptr<juce::ImageType> createType() const override { return pixels->createType(); }

    const int scale;

private:
    juce::ImagePixelData::Ptr pixels;
};
} // namespace

ScopedDrawingScale::ScopedDrawingScale (int scale) : previous (currentScale)
{
    currentScale = juce::jmax (1, scale);
}

ScopedDrawingScale::~ScopedDrawingScale()
{
    currentScale = previous;
}

int drawingScale()
{
    return currentScale;
}

int imageScale (const juce::Image& image)
{
    const auto* scaled = dynamic_cast<const ScaledPixelData*> (image.getPixelData());
    return scaled != nullptr ? scaled->scale : 1;
}

bool Fonts::load()
{
    return loadTypeface (regularFontFile, regular) && loadTypeface (boldFontFile, bold)
        && loadTypeface (labelFontFile, label);
}

const Fonts& fonts()
{
    static const bool loaded = fontStore().load();
    juce::ignoreUnused (loaded);
    return fontStore();
}

float Noise::next()
{
    // xorshift32: tiny, fast and the same on every platform.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return (float) (state >> 8) / 16777216.0f;
}

void addBrushedGrain (juce::Image& image, juce::Rectangle<int> area, float strength, std::uint32_t seed)
{
    const int scale = imageScale (image);
    area = juce::Rectangle<int> (area.getX() * scale, area.getY() * scale, area.getWidth() * scale, area.getHeight() * scale)
               .getIntersection (image.getBounds());
    Noise noise (seed);
    juce::Image::BitmapData pixels (image, area.getX(), area.getY(), area.getWidth(), area.getHeight(),
                                    juce::Image::BitmapData::readWrite);

    for (int y = 0; y < area.getHeight(); ++y)
    {
        // Each row gets its own tone and a slowly wandering streak, like a brushed sheet.
        const float rowTone = (noise.next() - 0.5f) * strength * 0.9f;
        float streak = noise.next();

        for (int x = 0; x < area.getWidth(); ++x)
        {
            streak = streak * 0.94f + noise.next() * 0.06f;
            const float delta = rowTone + (streak - 0.5f) * strength * 2.2f + (noise.next() - 0.5f) * strength * 0.35f;
            const auto colour = pixels.getPixelColour (x, y);
            const auto shift = [delta] (juce::uint8 c)
            {
                return (juce::uint8) juce::jlimit (0, 255, (int) std::lround ((float) c + delta * 255.0f));
            };
            pixels.setPixelColour (x, y, juce::Colour (shift (colour.getRed()), shift (colour.getGreen()),
                                                       shift (colour.getBlue()), colour.getAlpha()));
        }
    }
}

float textWidth (const juce::String& text, const juce::Font& font)
{
    // The extra kerning is added after every glyph; the last one has nothing to space from.
    return font.getStringWidthFloat (text) - font.getExtraKerningFactor() * font.getHeight();
}

juce::Font captionFont (float height, float tracking)
{
    return fonts().bold.withHeight (height).withExtraKerningFactor (tracking);
}

juce::Font numberFont (float height, float tracking)
{
    return fonts().regular.withHeight (height).withExtraKerningFactor (tracking);
}

void drawCaption (juce::Graphics& g, const juce::String& text, float x, float baseline, juce::Font font,
                  juce::Colour colour, Align align, float shadowAlpha)
{
    const float width = textWidth (text, font);
    float left = x;

    if (align == Align::centre)
        left = x - width * 0.5f;
    else if (align == Align::right)
        left = x - width;

    left = std::round (left);
    baseline = std::round (baseline);

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text, left, baseline);

    if (shadowAlpha > 0.0f)
    {
        g.setColour (juce::Colours::black.withAlpha (shadowAlpha));
        glyphs.draw (g, juce::AffineTransform::translation (0.0f, 1.0f));
    }

    g.setColour (colour);
    glyphs.draw (g);
}

void drawRecess (juce::Graphics& g, juce::Rectangle<float> area, float corner, juce::Colour inside)
{
    // Light catches the lower lip, the upper lip throws a shadow into the recess.
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.55f), 0.0f, area.getY(),
                                             juce::Colours::white.withAlpha (0.16f), 0.0f, area.getBottom(), false));
    g.drawRoundedRectangle (area.expanded (1.0f), corner + 1.0f, 1.2f);

    g.setColour (inside);
    g.fillRoundedRectangle (area, corner);

    juce::Graphics::ScopedSaveState state (g);
    juce::Path clip;
    clip.addRoundedRectangle (area, corner);
    g.reduceClipRegion (clip);
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.6f), 0.0f, area.getY(),
                                             juce::Colours::transparentBlack, 0.0f, area.getY() + 5.0f, false));
    g.fillRect (area.withHeight (5.0f));
}

void drawDisplayWindow (juce::Graphics& g, juce::Rectangle<float> area)
{
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.6f), 0.0f, area.getY(),
                                             juce::Colours::white.withAlpha (0.17f), 0.0f, area.getBottom(), false));
    g.drawRoundedRectangle (area.expanded (1.5f), 3.0f, 1.0f);
    g.setColour (juce::Colour (0xff000000));
    g.drawRoundedRectangle (area.expanded (0.5f), 2.5f, 1.0f);
    g.setColour (colours::display);
    g.fillRoundedRectangle (area, 2.0f);
}

void drawScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float slotAngle)
{
    const auto disc = juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillEllipse (disc.expanded (1.0f).translated (0.0f, 0.8f));
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff9aa0a7), centre.x - radius, centre.y - radius,
                                             juce::Colour (0xff3a3e43), centre.x + radius, centre.y + radius, false));
    g.fillEllipse (disc);
    g.setColour (juce::Colours::white.withAlpha (0.25f));
    g.drawEllipse (disc.reduced (0.6f), 0.8f);

    const auto dx = std::cos (slotAngle) * radius * 0.72f;
    const auto dy = std::sin (slotAngle) * radius * 0.72f;
    g.setColour (juce::Colour (0xff1a1b1d));
    g.drawLine (centre.x - dx, centre.y - dy, centre.x + dx, centre.y + dy, radius * 0.32f);
    g.drawLine (centre.x + dy, centre.y - dx, centre.x - dy, centre.y + dx, radius * 0.32f);
}

void drawGlow (juce::Graphics& g, juce::Point<float> centre, float radius, juce::Colour colour, float alpha)
{
    juce::ColourGradient gradient (colour.withAlpha (alpha), centre.x, centre.y,
                                   colour.withAlpha (0.0f), centre.x + radius, centre.y, true);
    gradient.addColour (0.35, colour.withAlpha (alpha * 0.45f));
    g.setGradientFill (gradient);
    g.fillEllipse (juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre));
}

void drawMachinedDisc (juce::Graphics& g, juce::Point<float> centre, float radius, float base, float contrast)
{
    juce::Graphics::ScopedSaveState state (g);
    const auto disc = juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre);
    juce::Path clip;
    clip.addEllipse (disc);
    g.reduceClipRegion (clip);

    const auto level = [] (float v) { return (juce::uint8) juce::jlimit (0, 255, (int) std::lround (v * 255.0f)); };
    g.setColour (juce::Colour (level (base), level (base), level (base * 1.04f)));
    g.fillEllipse (disc);

    // A conical highlight: light from the upper left reflects in two opposite lobes.
    constexpr int wedges = 180;
    const float step = juce::MathConstants<float>::twoPi / (float) wedges;

    for (int i = 0; i < wedges; ++i)
    {
        const float a = (float) i * step;
        const float tone = base + contrast * (0.65f * std::cos (2.0f * (a + 0.75f)) + 0.2f * std::cos (4.0f * a + 1.3f));
        juce::Path wedge;
        wedge.startNewSubPath (centre);
        wedge.lineTo (polar (centre, radius + 1.0f, a - step * 0.5f - 0.004f));
        wedge.lineTo (polar (centre, radius + 1.0f, a + step * 0.5f + 0.004f));
        wedge.closeSubPath();
        g.setColour (juce::Colour (level (tone), level (tone), level (tone * 1.04f)));
        g.fillPath (wedge);
    }

    // Fine turning rings.
    Noise noise (0x51u + (std::uint32_t) (radius * 10.0f));

    for (float r = 1.0f; r < radius; r += 0.9f)
    {
        const float v = noise.next();
        g.setColour ((v < 0.5f ? juce::Colours::black : juce::Colours::white).withAlpha (0.025f + 0.05f * std::abs (v - 0.5f)));
        g.drawEllipse (juce::Rectangle<float> (r * 2.0f, r * 2.0f).withCentre (centre), 0.6f);
    }
}

void fillShadow (juce::Graphics& g, const juce::Path& path, float radius, juce::Point<int> offset, float alpha)
{
    juce::DropShadow (juce::Colours::black.withAlpha (alpha), (int) radius, offset).drawForPath (g, path);
}

juce::Point<float> polar (juce::Point<float> centre, float radius, float angle)
{
    return { centre.x + radius * std::sin (angle), centre.y - radius * std::cos (angle) };
}

juce::Path arcPath (juce::Point<float> centre, float radius, float fromAngle, float toAngle)
{
    juce::Path path;
    path.addCentredArc (centre.x, centre.y, radius, radius, 0.0f, fromAngle, toAngle, true);
    return path;
}

juce::Image newImage (int width, int height, juce::Image::PixelFormat format)
{
    if (currentScale == 1)
        return juce::Image (format, width, height, true, juce::SoftwareImageType());

    const auto pixels = juce::SoftwareImageType().create (format, width * currentScale, height * currentScale, true);
    return juce::Image (*new ScaledPixelData (pixels, currentScale));
}

juce::PathStrokeType roundStroke (float width)
{
    return juce::PathStrokeType (width, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);
}

bool writePng (const juce::Image& image, const juce::File& file)
{
    juce::MemoryOutputStream out;
    juce::PNGImageFormat png;

    if (! png.writeImageToStream (image, out))
        return false;

    return file.replaceWithData (out.getData(), out.getDataSize());
}
} // namespace skinpaint

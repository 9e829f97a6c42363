// dunskara-skin OUTDIR
//     Draws the 23 skin images and writes them as OUTDIR/NAME.png, and draws them again
//     at twice the size each way (for screens scaled above 100 %) as OUTDIR/2x/NAME.png.
// dunskara-skin --check OUTDIR REFDIR
//     Draws both sets into OUTDIR and compares them pixel for pixel with REFDIR's.
// dunskara-skin --sheet FILE
//     Writes the control images enlarged side by side.
// dunskara-skin --preview FILE [X Y W H SCALE]
//     Writes the background with every control pasted at its place, for a look at the
//     whole window; with a rectangle, only that part, enlarged SCALE times.

#include "Background.h"
#include "Controls.h"
#include "Layout.h"
#include "SkinImages.h"
#include "SkinPainter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

namespace
{
using namespace skinlayout;

struct ExpectedImage
{
    const char* name;
    int width;
    int height;
    bool alpha;
};

const ExpectedImage expectedImages[] = {
#define DUNSKARA_EXPECTED_IMAGE(name, w, h, alpha, frame) { #name, w, h, alpha },
    DUNSKARA_SKIN_IMAGES (DUNSKARA_EXPECTED_IMAGE)
#undef DUNSKARA_EXPECTED_IMAGE
};

std::map<juce::String, juce::Image> drawAll()
{
    namespace sc = skincontrols;
    std::map<juce::String, juce::Image> images;
    images["editor_background"] = skinbackground::editorBackground();
    images["knob_attack_strip"] = sc::knobStrip (largeKnob);
    images["knob_release_strip"] = images["knob_attack_strip"];
    images["knob_mix_strip"] = sc::knobStrip (mixKnobGeometry);
    images["knob_small_strip"] = sc::knobStrip (smallKnob);
    images["fader_thumb_thresh"] = sc::faderThumb (juce::Colour (thresholdThumbLineColour));
    images["fader_thumb_ratio"] = sc::faderThumb (juce::Colour (ratioThumbLineColour));
    images["limiter_switch_off"] = sc::limiterSwitch (false);
    images["limiter_switch_on"] = sc::limiterSwitch (true);
    images["channel_button_off"] = sc::channelButton (false);
    images["channel_button_on"] = sc::channelButton (true);
    images["solo_button_off"] = sc::soloButton (false);
    images["solo_button_on"] = sc::soloButton (true);
    images["meter_level_needle_strip"] = sc::needleStrip (false);
    images["meter_reduction_needle_strip"] = sc::needleStrip (true);
    images["gain_thumb"] = sc::gainThumb();
    images["mix_thumb"] = sc::mixThumb();
    images["power_button_off"] = sc::powerButton (false);
    images["power_button_on"] = sc::powerButton (true);
    images["crossover_handle"] = sc::crossoverHandle();
    images["slider_thumb_horizontal"] = sc::horizontalPlaceholder();
    images["slider_thumb_vertical"] = sc::verticalPlaceholder();
    images["rotary_default_strip"] = sc::rotaryPlaceholder();
    return images;
}

int readBigEndian (const juce::uint8* bytes)
{
    return (bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
}

// Checks the written file's header: size, 8 bits, colour type 2 or 6, no interlace.
bool checkPngHeader (const juce::File& file, const ExpectedImage& expected, int scale)
{
    juce::MemoryBlock data;

    if (! file.loadFileAsData (data) || data.getSize() < 33)
        return false;

    const auto* bytes = static_cast<const juce::uint8*> (data.getData());
    const juce::uint8 signature[] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };

    return std::equal (signature, signature + 8, bytes)
        && std::memcmp (bytes + 12, "IHDR", 4) == 0
        && readBigEndian (bytes + 16) == expected.width * scale
        && readBigEndian (bytes + 20) == expected.height * scale
        && bytes[24] == 8
        && bytes[25] == (expected.alpha ? 6 : 2)
        && bytes[28] == 0;
}

// Writes one set of images, drawn at the given scale, into directory.
int writeSet (const juce::File& directory, int scale)
{
    if (! directory.createDirectory())
    {
        std::fprintf (stderr, "dunskara-skin: cannot create %s\n", directory.getFullPathName().toRawUTF8());
        return 1;
    }

    const skinpaint::ScopedDrawingScale drawingScale (scale);
    const auto images = drawAll();
    int failures = 0;

    for (const auto& expected : expectedImages)
    {
        const auto found = images.find (expected.name);
        const auto file = directory.getChildFile (juce::String (expected.name) + ".png");

        if (found == images.end() || ! skinpaint::writePng (found->second, file) || ! checkPngHeader (file, expected, scale))
        {
            std::fprintf (stderr, "dunskara-skin: %s (%dx) is missing or does not have the expected format\n",
                          expected.name, scale);
            ++failures;
        }
    }

    return failures;
}

int writeAll (const juce::File& directory)
{
    const int failures = writeSet (directory, 1) + writeSet (directory.getChildFile ("2x"), 2);
    return failures == 0 ? 0 : 1;
}

// Draws every image into `directory` and compares it, decoded, pixel for pixel with
// the committed one in `reference`: the art in resources/ must be what this program
// draws from the shared layout.
int checkAgainst (const juce::File& directory, const juce::File& reference)
{
    if (writeAll (directory) != 0)
        return 1;

    int failures = 0;
    for (const char* set : { "", "2x/" })
    for (const auto& expected : expectedImages)
    {
        const auto name = set + juce::String (expected.name) + ".png";
        const auto drawn = juce::ImageFileFormat::loadFrom (directory.getChildFile (name)).convertedToFormat (juce::Image::ARGB);
        const auto committed = juce::ImageFileFormat::loadFrom (reference.getChildFile (name)).convertedToFormat (juce::Image::ARGB);

        if (! committed.isValid() || committed.getBounds() != drawn.getBounds())
        {
            std::fprintf (stderr, "dunskara-skin: %s: missing or of another size in %s\n", name.toRawUTF8(),
                          reference.getFullPathName().toRawUTF8());
            ++failures;
            continue;
        }

        int differing = 0;
        juce::Point<int> first;
        for (int y = 0; y < drawn.getHeight(); ++y)
            for (int x = 0; x < drawn.getWidth(); ++x)
                if (drawn.getPixelAt (x, y).getARGB() != committed.getPixelAt (x, y).getARGB() && differing++ == 0)
                    first = { x, y };

        if (differing > 0)
        {
            std::fprintf (stderr, "dunskara-skin: %s: %d pixels differ from the committed image, first at %d, %d\n",
                          name.toRawUTF8(), differing, first.x, first.y);
            ++failures;
        }
    }

    if (failures > 0)
        std::fprintf (stderr, "dunskara-skin: redraw the skin: dunskara-skin %s\n", reference.getFullPathName().toRawUTF8());
    return failures == 0 ? 0 : 1;
}

//==============================================================================
// Preview: the window as the plug-in shows it, with sample values and label texts.
void drawFrame (juce::Graphics& g, const juce::Image& strip, int frameHeight, int frame, juce::Point<int> at)
{
    g.drawImage (strip, at.x, at.y, strip.getWidth(), frameHeight, 0, frame * frameHeight, strip.getWidth(), frameHeight);
}

void drawKnobAt (juce::Graphics& g, const juce::Image& strip, int size, double proportion, juce::Point<int> at)
{
    const int frames = strip.getHeight() / size;
    drawFrame (g, strip, size, juce::jmin (frames - 1, (int) (proportion * frames)), at);
}

void drawLabel (juce::Graphics& g, const juce::String& text, juce::Rectangle<int> area, float height, juce::Colour colour,
                juce::Justification justification = juce::Justification::centred)
{
    // The plug-in asks for Arial and draws it in Liberation Sans.
    g.setFont (skinpaint::fonts().label.withHeight (height));
    g.setColour (colour);
    g.drawFittedText (text, area.reduced (3, 1), justification, 1, 0.7f);
}

juce::Image composePreview (const std::map<juce::String, juce::Image>& images)
{
    const auto img = [&images] (const char* name) { return images.at (name); };
    auto preview = img ("editor_background").convertedToFormat (juce::Image::ARGB);
    juce::Graphics g (preview);

    const double knobValues[3][5] = { { 0.18, 0.55, 1.0, 0.5, 0.5 }, { 0.0, 1.0, 0.5, 0.0, 0.0 }, { 0.75, 0.25, 0.29, 1.0, 1.0 } };
    const double faderValues[3][2] = { { 0.5, 0.617 }, { 1.0, 0.0 }, { 0.0, 1.0 } };
    const int levelFrames[3] = { 38, 0, 90 };
    const int reductionFrames[3] = { 29, 0, 90 };
    const juce::String texts[3][7] = { { "-12.5", "2.00", "6.0dB", "0.0", "2.7 ms", "70 ms", "100 %" },
                                       { "0.0dB", "10.00", "0.0dB", "-inf", "0.2 ms", "1571 ms", "50 %" },
                                       { "-25.0", "1.00", "9.5dB", "6.0", "55.6 ms", "11 ms", "28 %" } };

    for (int band = 0; band < 3; ++band)
    {
        juce::Graphics::ScopedSaveState state (g);
        g.setOrigin (panelBounds (band).getPosition());
        const auto* v = knobValues[band];
        drawKnobAt (g, img ("knob_attack_strip"), attackKnob.getHeight(), v[0], attackKnob.getPosition());
        drawKnobAt (g, img ("knob_release_strip"), releaseKnob.getHeight(), v[1], releaseKnob.getPosition());
        drawKnobAt (g, img ("knob_mix_strip"), mixKnob.getHeight(), v[2], mixKnob.getPosition());
        drawKnobAt (g, img ("knob_small_strip"), addKnob.getHeight(), v[3], addKnob.getPosition());
        drawKnobAt (g, img ("knob_small_strip"), gainKnob.getHeight(), v[4], gainKnob.getPosition());

        for (int f = 0; f < 2; ++f)
        {
            const auto fader = f == 0 ? thresholdFader : ratioFader;
            const auto thumb = img (f == 0 ? "fader_thumb_thresh" : "fader_thumb_ratio");
            const int y = fader.getY() + (int) ((1.0 - faderValues[band][f]) * (fader.getHeight() - thumb.getHeight()));
            g.drawImageAt (thumb, fader.getX() + (fader.getWidth() - thumb.getWidth()) / 2, y);
        }

        g.drawImageAt (img (band == 0 ? "limiter_switch_on" : "limiter_switch_off"), limiterSwitch.getX(), limiterSwitch.getY());
        g.drawImageAt (img (band == 1 ? "channel_button_off" : "channel_button_on"), channelButton.getX(), channelButton.getY());
        g.drawImageAt (img (band == 2 ? "solo_button_on" : "solo_button_off"), soloButton.getX(), soloButton.getY());
        drawFrame (g, img ("meter_level_needle_strip"), meterHeight, levelFrames[band], meterBounds (band).getPosition());
        drawFrame (g, img ("meter_reduction_needle_strip"), meterHeight, reductionFrames[band], meterBounds (band).getPosition());

        const juce::Colour fader (faderLabelColour), knob (knobLabelColour);
        drawLabel (g, texts[band][0], thresholdLabel, bandLabelFontHeight, fader, juce::Justification::centredLeft);
        drawLabel (g, texts[band][1], ratioLabel, bandLabelFontHeight, fader);
        drawLabel (g, texts[band][2], addLabel, bandLabelFontHeight, knob);
        drawLabel (g, texts[band][3], gainLabel, bandLabelFontHeight, knob);
        drawLabel (g, texts[band][4], attackLabel, timeLabelFontHeight, knob);
        drawLabel (g, texts[band][5], releaseLabel, timeLabelFontHeight, knob);
        drawLabel (g, texts[band][6], mixLabel, bandLabelFontHeight, knob);
    }

    const auto placeThumb = [&] (const juce::Image& thumb, juce::Rectangle<int> slider, double proportion)
    {
        const int x = slider.getX() + (int) (proportion * (slider.getWidth() - thumb.getWidth()));
        g.drawImageAt (thumb, x, slider.getY() + (slider.getHeight() - thumb.getHeight()) / 2);
    };
    placeThumb (img ("gain_thumb"), inputSlider, 0.25);
    placeThumb (img ("gain_thumb"), makeUpSlider, 0.206);
    placeThumb (img ("mix_thumb"), finalMixSlider, 1.0);
    drawLabel (g, "0.0dB", inputLabel, globalLabelFontHeight, juce::Colour (gainLabelColour));
    drawLabel (g, "3.0dB", makeUpLabel, globalLabelFontHeight, juce::Colour (gainLabelColour));
    drawLabel (g, "100.0%", finalMixLabel, globalLabelFontHeight, juce::Colour (finalMixLabelColour));

    for (double value : { 0.1, 0.5 })
    {
        const int x = crossoverTrackStart + (int) (crossoverTrackLength * value);
        const double v = (float) ((x - crossoverTrackStart) / 328.0);
        g.drawImageAt (img ("crossover_handle"), x, crossoverY);
        drawLabel (g, juce::String (juce::roundToInt (36000.0 * std::log10 (1.0 + v))) + "Hz", handleLabel.translated (x, crossoverY).expanded (3, 1),
                   handleLabelFontHeight, juce::Colour (handleLabelColour));
    }

    g.drawImageAt (img ("power_button_on"), powerButton.getX(), powerButton.getY());
    return preview;
}

// Every control image side by side, enlarged, with a few frames of each strip.
juce::Image composeSheet (const std::map<juce::String, juce::Image>& images)
{
    constexpr int scale = 2;
    juce::Image sheet (juce::Image::ARGB, 1200, 1100, true, juce::SoftwareImageType());
    juce::Graphics g (sheet);
    g.fillAll (skinpaint::colours::plateBottom);
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    int x = 10, y = 10, rowHeight = 0;

    const auto place = [&] (const juce::Image& image, juce::Rectangle<int> source)
    {
        if (x + source.getWidth() * scale > sheet.getWidth())
        {
            x = 10;
            y += rowHeight + 10;
            rowHeight = 0;
        }

        g.drawImage (image, x, y, source.getWidth() * scale, source.getHeight() * scale,
                     source.getX(), source.getY(), source.getWidth(), source.getHeight());
        x += source.getWidth() * scale + 10;
        rowHeight = juce::jmax (rowHeight, source.getHeight() * scale);
    };

    for (const auto& [name, image] : images)
    {
        if (name == "editor_background")
            continue;

        const int frame = name.contains ("needle") ? meterHeight : (name.contains ("knob") ? image.getWidth() : 0);

        if (frame == 0)
        {
            place (image, image.getBounds().withHeight (juce::jmin (image.getHeight(), 120)));
            continue;
        }

        const int frames = image.getHeight() / frame;

        for (int index : { 0, frames / 2, frames - 1 })
            place (image, { 0, index * frame, image.getWidth(), frame });
    }

    return sheet;
}

int writePreview (const juce::File& file, const juce::StringArray& crop)
{
    auto preview = composePreview (drawAll());

    if (crop.size() == 5)
    {
        const juce::Rectangle<int> area (crop[0].getIntValue(), crop[1].getIntValue(), crop[2].getIntValue(), crop[3].getIntValue());
        const int scale = juce::jlimit (1, 8, crop[4].getIntValue());
        juce::Image zoomed (juce::Image::ARGB, area.getWidth() * scale, area.getHeight() * scale, true, juce::SoftwareImageType());
        juce::Graphics g (zoomed);
        g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
        g.drawImage (preview, 0, 0, zoomed.getWidth(), zoomed.getHeight(), area.getX(), area.getY(), area.getWidth(), area.getHeight());
        preview = zoomed;
    }

    return skinpaint::writePng (preview, file) ? 0 : 1;
}
} // namespace

int main (int argc, char** argv)
{
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    skinpaint::Fonts check;

    if (! check.load())
    {
        std::fprintf (stderr, "dunskara-skin: the DejaVu Sans or Liberation Sans fonts (packages fonts-dejavu-core, fonts-liberation2) are missing\n");
        return 1;
    }

    const auto cwd = juce::File::getCurrentWorkingDirectory();

    if (args.size() == 2 && args[0] == "--sheet")
        return skinpaint::writePng (composeSheet (drawAll()), cwd.getChildFile (args[1])) ? 0 : 1;

    if (args.size() >= 2 && args[0] == "--preview" && (args.size() == 2 || args.size() == 7))
        return writePreview (cwd.getChildFile (args[1]), juce::StringArray (args.begin() + 2, args.size() - 2));

    if (args.size() == 3 && args[0] == "--check")
        return checkAgainst (cwd.getChildFile (args[1]), cwd.getChildFile (args[2]));

    if (args.size() == 1 && ! args[0].startsWith ("-"))
        return writeAll (cwd.getChildFile (args[0]));

    std::fprintf (stderr, "usage: dunskara-skin OUTDIR\n       dunskara-skin --check OUTDIR REFDIR\n"
                          "       dunskara-skin --preview FILE [X Y W H SCALE]\n");
    return 2;
}

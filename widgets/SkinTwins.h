#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

// Every embedded skin image has a twin drawn with twice the pixels each way. Components
// keep working in their own pixel units with the 1x images; when a graphics context
// maps one unit to more than one device pixel (a host or desktop scale above 100 %),
// the twin is drawn into the same rectangle instead, so positions, frames, hit areas
// and label places stay exactly those of the 1x image.
//
// Shared through juce::SharedResourcePointer by the components that draw skin images:
// twins are decoded on the first scaled paint that needs them (a window at 100 % never
// pays for them) and released when the last of those components is gone.
class SkinTwins final
{
public:
    // True when g draws one unit onto more than one device pixel.
    static bool wantsTwins (juce::Graphics& g);

    // The 2x twin of an embedded skin image (decoded through juce::ImageCache on first
    // use); a null image for any other image.
    juce::Image twinOf (const juce::Image& image);

    // The image to hand to code that draws whole images into a rectangle: the twin when
    // g is scaled above 1 and image has one, otherwise image itself.
    juce::Image pick (juce::Graphics& g, const juce::Image& image);

    // juce::Graphics::drawImage (image, d..., s..., false) with the source rectangle in
    // image's pixels; draws the matching rectangle of the twin when g is scaled above 1.
    void drawImage (juce::Graphics& g, const juce::Image& image, juce::Rectangle<int> destination,
                    juce::Rectangle<int> source);

private:
    struct Entry
    {
        juce::Image image;
        juce::Image twin;
    };

    std::vector<Entry> entries; // one per skin image seen so far, at most 21
};

// The look of the image buttons: juce's own, except that a scaled context gets the
// buttons' 2x images.
class SkinButtonLook final : public juce::LookAndFeel_V4
{
public:
    void drawImageButton (juce::Graphics& g, juce::Image* image, int imageX, int imageY, int imageW, int imageH,
                          const juce::Colour& overlayColour, float imageOpacity, juce::ImageButton& button) override;

private:
    juce::SharedResourcePointer<SkinTwins> twins;
};

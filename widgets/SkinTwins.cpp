#include "widgets/SkinTwins.h"

#include "SkinImages.h"

namespace
{
struct EmbeddedPair
{
    const unsigned char* image;
    const unsigned char* twin;
    int twinSize;
};

const EmbeddedPair embeddedPairs[] = {
#define DUNSKARA_SKIN_TWIN(name, w, h, alpha, frame) { skin::name, skin::name##_2x, skin::name##_2xSize },
    DUNSKARA_SKIN_IMAGES (DUNSKARA_SKIN_TWIN)
#undef DUNSKARA_SKIN_TWIN
};

constexpr int twinScale = 2;

// The skin's users load every image with juce::ImageCache::getFromMemory, which keys it
// by the data's address; while a component holds the image it stays in the cache.
const EmbeddedPair* findEmbedded (const juce::Image& image)
{
    for (const auto& pair : embeddedPairs)
        if (juce::ImageCache::getFromHashCode ((juce::int64) (juce::pointer_sized_int) pair.image) == image)
            return &pair;
    return nullptr;
}
} // namespace

bool SkinTwins::wantsTwins (juce::Graphics& g)
{
    return g.getInternalContext().getPhysicalPixelScaleFactor() > 1.0f;
}

juce::Image SkinTwins::twinOf (const juce::Image& image)
{
    if (image.isNull())
        return {};

    for (const auto& entry : entries)
        if (entry.image == image)
            return entry.twin;

    const auto* pair = findEmbedded (image);
    if (pair == nullptr)
        return {};

    auto twin = juce::ImageCache::getFromMemory (pair->twin, pair->twinSize);

    // A twin that failed to decode or does not match is never drawn; the 1x image is.
    if (twin.getWidth() != image.getWidth() * twinScale || twin.getHeight() != image.getHeight() * twinScale)
        twin = {};

    entries.push_back ({ image, twin });
    return twin;
}

juce::Image SkinTwins::pick (juce::Graphics& g, const juce::Image& image)
{
    if (wantsTwins (g))
        if (auto twin = twinOf (image); twin.isValid())
            return twin;
    return image;
}

void SkinTwins::drawImage (juce::Graphics& g, const juce::Image& image, juce::Rectangle<int> destination,
                           juce::Rectangle<int> source)
{
    if (wantsTwins (g))
    {
        if (const auto twin = twinOf (image); twin.isValid())
        {
            const auto twinSource = source * twinScale;
            g.drawImage (twin, destination.getX(), destination.getY(), destination.getWidth(), destination.getHeight(),
                         twinSource.getX(), twinSource.getY(), twinSource.getWidth(), twinSource.getHeight(), false);
            return;
        }
    }

    g.drawImage (image, destination.getX(), destination.getY(), destination.getWidth(), destination.getHeight(),
                 source.getX(), source.getY(), source.getWidth(), source.getHeight(), false);
}

void SkinButtonLook::drawImageButton (juce::Graphics& g, juce::Image* image, int imageX, int imageY, int imageW,
                                      int imageH, const juce::Colour& overlayColour, float imageOpacity,
                                      juce::ImageButton& button)
{
    // The button lays the image out from the 1x size; the twin fills the same rectangle.
    auto chosen = image != nullptr ? twins->pick (g, *image) : juce::Image();
    LookAndFeel_V4::drawImageButton (g, image != nullptr ? &chosen : nullptr, imageX, imageY, imageW, imageH,
                                     overlayColour, imageOpacity, button);
}

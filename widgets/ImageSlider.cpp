#include "widgets/ImageSlider.h"

#include "SkinImages.h"
#include "widgets/SkinLayout.h"

ImageSlider::ImageSlider (const juce::String& name)
    : juce::Slider (name)
{
    setImageStyle (verticalThumb);
    resetValue = 0.0;
    setWantsKeyboardFocus (true); // the base slider steps by the interval on arrow keys
}

ImageSlider::~ImageSlider() = default;

void ImageSlider::setImageStyle (int code)
{
    juce::Slider::SliderStyle style;
    juce::Image defaultImage;

    switch (code)
    {
        case horizontalThumb:
            style = juce::Slider::LinearHorizontal;
            defaultImage = juce::ImageCache::getFromMemory (skin::slider_thumb_horizontal,
                                                            skin::slider_thumb_horizontalSize);
            break;
        case verticalThumb:
            style = juce::Slider::LinearVertical;
            defaultImage = juce::ImageCache::getFromMemory (skin::slider_thumb_vertical,
                                                            skin::slider_thumb_verticalSize);
            break;
        case rotaryStrip:
            style = juce::Slider::RotaryVerticalDrag;
            defaultImage = juce::ImageCache::getFromMemory (skin::rotary_default_strip,
                                                            skin::rotary_default_stripSize);
            break;
        default:
            return;
    }

    if (getSliderStyle() != style)
        setSliderStyle (style);

    setImage (defaultImage);
}

void ImageSlider::setImage (juce::Image newImage)
{
    image = std::move (newImage);
    updateDragDistance();
}

void ImageSlider::resized()
{
    juce::Slider::resized();
    updateDragDistance();
}

void ImageSlider::updateDragDistance()
{
    // The thumb travels (slider size - thumb size) pixels over the range; a drag that
    // covers the range in the same distance keeps the thumb under the pointer.
    int travel = 0;
    if (getSliderStyle() == juce::Slider::LinearVertical)
        travel = getHeight() - image.getHeight();
    else if (getSliderStyle() == juce::Slider::LinearHorizontal)
        travel = getWidth() - image.getWidth();

    dragDistance = travel > 0 ? travel : rotaryDragDistance;
    setMouseDragSensitivity (dragDistance);
}

void ImageSlider::setResetValue (double newResetValue)
{
    resetValue = newResetValue;
}

juce::Point<int> ImageSlider::getThumbPosition()
{
    const int width = getWidth();
    const int height = getHeight();
    const double proportion = valueToProportionOfLength (getValue());

    switch (getSliderStyle())
    {
        case juce::Slider::LinearVertical:
            return { (width - image.getWidth()) / 2, skinlayout::verticalThumbTop (height, image.getHeight(), proportion) };
        case juce::Slider::LinearHorizontal:
            return { skinlayout::horizontalThumbLeft (width, image.getWidth(), proportion), (height - image.getHeight()) / 2 };
        default:
            return {};
    }
}

void ImageSlider::paint (juce::Graphics& g)
{
    const bool enabled = isEnabled(); // false also when any parent is disabled
    const int imageWidth = image.getWidth();
    const int imageHeight = image.getHeight();
    const double proportion = valueToProportionOfLength (getValue());

    const auto style = getSliderStyle();
    const auto thumb = getThumbPosition();
    const int x = thumb.x, y = thumb.y;
    int sourceY = 0;

    if (style == juce::Slider::RotaryVerticalDrag)
    {
        if (frameHeight <= 0)
            return;

        const int numFrames = imageHeight / frameHeight;
        sourceY = frameHeight * (int) (proportion * numFrames);

        // p = 1 would select the frame past the end: show the last one instead.
        if (sourceY == imageHeight)
            sourceY = imageHeight - frameHeight;
    }

    if (image.isNull())
        return;

    g.setOpacity (enabled ? 1.0f : 0.6f);

    if (style == juce::Slider::RotaryVerticalDrag)
    {
        // Only the selected frame and the ones below it remain after clipping to the
        // image, so the selected frame lands at the top-left corner.
        twins->drawImage (g, image, { 0, 0, imageWidth, imageHeight }, { 0, sourceY, imageWidth, imageHeight });
    }
    else
    {
        twins->drawImage (g, image, { x, y, imageWidth, imageHeight }, image.getBounds());
    }
}

void ImageSlider::mouseDoubleClick (const juce::MouseEvent&)
{
    juce::Slider::setValue (resetValue, juce::sendNotificationAsync);
    sendChangeMessage();
}

void ImageSlider::mouseDown (const juce::MouseEvent& event)
{
    lastMousePosition = scaledMousePosition = event.position;
    juce::Slider::mouseDown (event);
}

void ImageSlider::mouseDrag (const juce::MouseEvent& event)
{
    // Accumulated per event, so that pressing or releasing shift mid-drag changes the
    // speed from there on without a jump.
    const auto moved = event.position - lastMousePosition;
    lastMousePosition = event.position;
    scaledMousePosition += event.mods.isShiftDown() ? moved * fineDragFactor : moved;
    juce::Slider::mouseDrag (event.withNewPosition (scaledMousePosition));
}

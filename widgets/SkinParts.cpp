#include "widgets/SkinParts.h"
#include "widgets/SkinLayout.h"

namespace skinparts
{
namespace
{
    struct EmbeddedBytes
    {
        const unsigned char* data;
        const int* size;
    };

    // In the order of skinimage::Id.
    const EmbeddedBytes embeddedImages[] = {
#define DUNSKARA_SKIN_BYTES(name, w, h, alpha, frame) { skin::name, &skin::name##Size },
        DUNSKARA_SKIN_IMAGES (DUNSKARA_SKIN_BYTES)
#undef DUNSKARA_SKIN_BYTES
    };
} // namespace

juce::Image skinImage (skinimage::Id id)
{
    const auto& bytes = embeddedImages[static_cast<int> (id)];
    return juce::ImageCache::getFromMemory (bytes.data, *bytes.size);
}

std::unique_ptr<juce::Label> addValueLabel (juce::Component& parent, const juce::String& text, float fontHeight,
                                            juce::Justification justification, juce::uint32 colour)
{
    auto label = std::make_unique<juce::Label> ("new label", text);
    parent.addAndMakeVisible (label.get());
    label->setFont (juce::Font (skinlayout::labelFontName, fontHeight, juce::Font::plain));
    label->setJustificationType (justification);
    label->setEditable (false, false, false);
    label->setColour (juce::Label::textColourId, juce::Colour (colour));
    label->setColour (juce::TextEditor::textColourId, juce::Colour (0xff000000));
    label->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
    return label;
}

std::unique_ptr<juce::ImageButton> addSkinSwitch (juce::Component& parent, skinimage::Id off, skinimage::Id on,
                                                  juce::Rectangle<int> bounds, bool isOn,
                                                  juce::Button::Listener& listener, juce::LookAndFeel& look)
{
    const juce::Colour transparent (0x00000000);
    const auto offImage = skinImage (off);

    auto button = std::make_unique<juce::ImageButton> ("new button");
    button->setLookAndFeel (&look);
    parent.addAndMakeVisible (button.get());
    button->addListener (&listener);
    button->setImages (false, true, true,
                       offImage, 1.0f, transparent,
                       offImage, 1.0f, transparent,
                       skinImage (on), 1.0f, transparent,
                       0.0f);
    button->setBounds (bounds);
    button->setClickingTogglesState (true);
    button->setToggleState (isOn, juce::dontSendNotification);
    return button;
}
} // namespace skinparts

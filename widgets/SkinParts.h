#pragma once

#include "resources/SkinImages.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The set-up that every owner of skin controls repeats: embedded images, value labels
// and image switches. The editor, the band panels and the crossover handles build
// theirs with these, so that the three look and behave alike.
namespace skinparts
{
// The embedded 1x image, decoded once and shared through juce::ImageCache (keyed by
// the bytes' address, so every user of an image holds the same decoded image).
juce::Image skinImage (skinimage::Id id);

// A value label added to parent as a visible child: Arial plain of the given height,
// not editable, its text in colour on a transparent background. Its owner places it.
std::unique_ptr<juce::Label> addValueLabel (juce::Component& parent, const juce::String& text, float fontHeight,
                                            juce::Justification justification, juce::uint32 colour);

// A toggle switch added to parent as a visible child: shows `off` normally and under
// the mouse, `on` while pressed or on; a click flips it and tells listener. Drawn with
// look, which must outlive it. The state is set without notification.
std::unique_ptr<juce::ImageButton> addSkinSwitch (juce::Component& parent, skinimage::Id off, skinimage::Id on,
                                                  juce::Rectangle<int> bounds, bool isOn,
                                                  juce::Button::Listener& listener, juce::LookAndFeel& look);
} // namespace skinparts

#include "panels/BandControls.h"
#include "panels/DisplayText.h"
#include "widgets/SkinLayout.h"

namespace bandcontrols
{
namespace
{
    using namespace skinlayout;
    using Id = skinimage::Id;
    constexpr int left = juce::Justification::centredLeft;
    constexpr int centred = juce::Justification::centred;
    constexpr ValueLabel noLabel {};
} // namespace

const std::array<BandControl, params::perBand> rows { {
    // The time knobs reset to single-precision constants, widened.
    { Kind::knob, params::attack, Id::knob_attack_strip, Id::knob_attack_strip, attackKnob, static_cast<double> (0.18f),
      { "27ms", attackLabel, timeLabelFontHeight, centred, knobLabelColour, display::attackText } },
    { Kind::knob, params::release, Id::knob_release_strip, Id::knob_release_strip, releaseKnob, static_cast<double> (0.55f),
      { "200ms", releaseLabel, timeLabelFontHeight, centred, knobLabelColour, display::releaseText } },
    { Kind::knob, params::fxmix, Id::knob_mix_strip, Id::knob_mix_strip, mixKnob, 1.0,
      { "0%", mixLabel, bandLabelFontHeight, centred, knobLabelColour, display::mixText } },
    { Kind::knob, params::add, Id::knob_small_strip, Id::knob_small_strip, addKnob, 0.0,
      { "6.0", addLabel, bandLabelFontHeight, centred, knobLabelColour, display::addText } },
    { Kind::knob, params::gain, Id::knob_small_strip, Id::knob_small_strip, gainKnob, 0.5,
      { "2.0", gainLabel, bandLabelFontHeight, centred, knobLabelColour, display::gainText } },
    { Kind::fader, params::thresh, Id::fader_thumb_thresh, Id::fader_thumb_thresh, thresholdFader, 1.0,
      { "0.0dB", thresholdLabel, bandLabelFontHeight, left, faderLabelColour, display::thresholdText } },
    { Kind::fader, params::ratio, Id::fader_thumb_ratio, Id::fader_thumb_ratio, ratioFader, 1.0,
      { "3.0", ratioLabel, bandLabelFontHeight, centred, faderLabelColour, display::ratioText } },
    { Kind::toggle, params::limonoff, Id::limiter_switch_off, Id::limiter_switch_on, limiterSwitch, 0.0, noLabel },
    { Kind::toggle, params::chanonoff, Id::channel_button_off, Id::channel_button_on, channelButton, 0.0, noLabel },
} };

const std::array<params::BandParameter, 7> labelOrder { params::thresh, params::ratio, params::add, params::gain,
                                                        params::attack, params::release, params::fxmix };
} // namespace bandcontrols

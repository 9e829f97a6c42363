// Typed values in the readouts' units against the readout rules themselves.
#include "panels/DisplayText.h"
#include "panels/ReadoutUnits.h"
#include "plugin/ParameterTable.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
    int indexOf (const juce::String& name)
    {
        for (int i = 0; i < params::numParameters; ++i)
            if (params::name (i) == name)
                return i;
        return -1;
    }

    float parsed (const juce::String& name, const juce::String& typed)
    {
        const auto result = readout::parse (indexOf (name), typed);
        EXPECT_TRUE (result.ok()) << name << "=" << typed << ": " << result.error;
        return result.value;
    }
} // namespace

// Every text a readout can show, typed back, gives a value that shows the same text.
// The truncating readouts (attack, release, mix) put the exact inverse on an edge where
// float rounding decides, so this covers every parameter at many points of its range.
TEST (ReadoutUnits, EveryReadoutTextComesBackAsAValueShowingIt)
{
    for (int index = 0; index < params::numParameters; ++index)
    {
        for (int step = 0; step <= 4000; ++step)
        {
            const float v = static_cast<float> (step) / 4000.0f;
            if (params::name (index).startsWith ("Fq_") && v < params::minimumCrossoverValue)
                continue; // below the lowest drag position: shown, but refused as typed input
            const auto shown = readout::text (index, v);
            const auto result = readout::parse (index, shown);
            ASSERT_TRUE (result.ok()) << params::name (index) << " '" << shown << "': " << result.error;
            ASSERT_EQ (readout::text (index, result.value), shown) << params::name (index) << " at " << v;
        }
    }
}

// The units' text is the readout's own text wherever the readout writes a unit.
TEST (ReadoutUnits, TextsAreTheReadoutsWithTheUnitWrittenOut)
{
    for (const float v : { 0.0f, 0.18f, 0.5f, 0.999f, 1.0f })
    {
        EXPECT_EQ (readout::text (indexOf ("attack_0"), v), display::attackText (v));
        EXPECT_EQ (readout::text (indexOf ("release_2"), v), display::releaseText (v));
        EXPECT_EQ (readout::text (indexOf ("add_1"), v), display::addText (v));
        EXPECT_EQ (readout::text (indexOf ("gain_1"), v), display::gainText (v) + "dB");
        EXPECT_EQ (readout::text (indexOf ("ratio_0"), v), display::ratioText (v) + ":1");
        EXPECT_EQ (readout::text (indexOf ("Fq_High"), v), display::crossoverText (v));
        EXPECT_EQ (readout::text (indexOf ("FinalMix"), v), display::finalMixText (v));
    }
    EXPECT_EQ (readout::text (indexOf ("thresh_0"), 0.5f), "-12.5dB");
    EXPECT_EQ (readout::text (indexOf ("thresh_0"), 1.0f), "0.0dB");
    EXPECT_EQ (readout::text (indexOf ("limonoff_1"), 0.01f), "on");
    EXPECT_EQ (readout::text (indexOf ("MainOnOff"), 0.0f), "off");
}

// The values a user types, with the 0..1 value each rule gives (solved by hand).
TEST (ReadoutUnits, TypedValuesInvertTheReadoutRules)
{
    struct Case { const char* name; const char* typed; double expected; };
    const Case cases[] = {
        { "thresh_0", "-12dB", 13.0 / 25.0 },
        { "thresh_0", "-12.5 dB", 0.5 },
        { "thresh_0", "0dB", 1.0 },
        { "thresh_0", "-25dB", 0.0 },
        { "gain_0", "+3dB", std::pow (10.0, 3.0 / 20.0) / 2.0 },
        { "gain_0", "0dB", 0.5 },
        { "gain_0", "-inf dB", 0.0 },
        { "gain_0", "-40dB", std::pow (10.0, -40.0 / 20.0) / 2.0 }, // below where the readout stops
        { "MainInGain", "0dB", 0.25 },
        { "MainInGain", "+12dB", std::pow (10.0, 12.0 / 20.0) / 4.0 },
        { "add_0", "6dB", (std::pow (10.0, 6.0 / 20.0) - 1.0) / 2.0 },
        { "MakeUpGain", "9.5dB", (std::pow (10.0, 9.5 / 20.0) - 1.0) / 2.0 }, // the top is 9.54
        { "MakeUpGain", "9.54dB", (std::pow (10.0, 9.54 / 20.0) - 1.0) / 2.0 }, // beyond the shown top
        { "FinalMix", "50%", 0.5 },
        { "fxmix_2", "30 %", 0.3 },
        { "Fq_Low", "300Hz", std::pow (10.0, 300.0 / 36000.0) - 1.0 },
        { "Fq_High", "2.5kHz", std::pow (10.0, 2500.0 / 36000.0) - 1.0 },
        { "ratio_0", "1:1", (0.7805 - 1.0 + std::exp (-std::sqrt (0.05))) / 0.5805 }, // v = 1 is 0.9992:1
        { "ratio_0", "4:1", (0.7805 - 1.0 + std::exp (-std::sqrt (0.8))) / 0.5805 },
        { "ratio_0", "4", (0.7805 - 1.0 + std::exp (-std::sqrt (0.8))) / 0.5805 },
        { "ratio_0", "0.5", 0.5 },    // plain 0..1 value
        { "ratio_0", "10:1", 0.0 },
        { "limonoff_0", "on", 1.0 },
        { "chanonoff_2", "OFF", 0.0 },
        { "not-used", "0.25", 0.25 },
        { "thresh_0", "0.3", 0.3 },   // plain 0..1 value
    };
    for (const auto& c : cases)
        EXPECT_NEAR (parsed (c.name, c.typed), c.expected, 2.0e-6) << c.name << "=" << c.typed;

    // Times: the readout of the result shows what was typed.
    EXPECT_EQ (readout::text (indexOf ("attack_0"), parsed ("attack_0", "10ms")), "10.0 ms");
    EXPECT_EQ (readout::text (indexOf ("release_0"), parsed ("release_0", "120ms")), "120 ms");
    EXPECT_EQ (readout::text (indexOf ("release_0"), parsed ("release_0", "0.12s")), "120 ms");
    EXPECT_EQ (readout::text (indexOf ("fxmix_0"), parsed ("fxmix_0", "29%")), "29 %"); // 0.29f alone shows 28 %
}

TEST (ReadoutUnits, RefusesWithTheRangeInUnits)
{
    struct Case { const char* name; const char* typed; const char* expected; };
    const Case cases[] = {
        { "add_0", "-6dB", "0.0dB to 9.5dB" },
        { "thresh_0", "-30dB", "-25.0dB to 0.0dB" },
        { "thresh_0", "-12", "write the unit (dB)" },
        { "thresh_0", "12ms", "'ms' is not its unit" },
        { "gain_0", "+7dB", "-inf dB to 6.0dB" },
        { "gain_0", "+inf dB", "-inf dB to 6.0dB" },
        { "MainInGain", "13dB", "-inf dB to 12.0dB" },
        { "ratio_0", "0.5:1", "1.00:1 to 10.00:1" },
        { "ratio_0", "11", "1.00:1 to 10.00:1" },
        { "attack_0", "200ms", "0.2 ms to 157.1 ms" },
        { "release_0", "0ms", "1 ms to 1571 ms" },
        { "Fq_Low", "50Hz", "95Hz to 10837Hz" },
        { "Fq_High", "11kHz", "95Hz to 10837Hz" },
        { "FinalMix", "101%", "0.0% to 100.0%" },
        { "FinalMix", "nan%", "0.0% to 100.0%" },
        { "limonoff_0", "maybe", "on, off" },
        { "limonoff_0", "2", "on, off" },
        { "not-used", "1dB", "0 to 1" },
        { "thresh_0", "", "got ''" },
        { "thresh_0", "dB", "got 'dB'" },
        { "thresh_0", "-12dB extra", "not its unit" },
    };
    for (const auto& c : cases)
    {
        const auto result = readout::parse (indexOf (c.name), c.typed);
        EXPECT_FALSE (result.ok()) << c.name << "=" << c.typed;
        EXPECT_TRUE (result.error.contains (c.expected)) << c.name << "=" << c.typed << " -> " << result.error;
        EXPECT_TRUE (result.error.startsWith (c.name)) << result.error;
    }
}

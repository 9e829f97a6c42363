// The LV2 instance against the processor driven directly: a port value the host changes
// reaches the signal chain from the first sample of that run, exactly as setParameter
// with that value before the block would. The processor here is the product's own
// (dunskara_core), the reference the LV2 layer must match bit for bit.
#include "LilvHost.h"
#include "plugin/VarnocAudioProcessor.h"

#include <utility>

namespace
{
using namespace lilvhost;

class LilvParity : public ::testing::Test, public Host
{
protected:
    static void SetUpTestSuite() { loadWorld(); }
    static void TearDownTestSuite() { freeWorld(); }
};

TEST_F (LilvParity, PortChangesApplyFromTheFirstSampleOfTheirRunAsSetParameterWould)
{
    ASSERT_NE (plugin, nullptr);
    ASSERT_NE (instantiate(), nullptr);

    VarnocAudioProcessor reference;
    reference.setRateAndBufferSizeDetails (44100.0, (int) maxBlock);
    reference.prepareToPlay (44100.0, (int) maxBlock);
    juce::AudioBuffer<float> buffer (2, (int) maxBlock);
    juce::MidiBuffer midi;

    // Block -> the ports the host changes before it.
    const std::map<int, std::vector<std::pair<const char*, float>>> changes {
        { 2, { { "thresh_0", 0.2f }, { "ratio_0", 0.1f } } },
        { 4, { { "Fq_Low", 0.1f }, { "gain_2", 0.8f }, { "thresh_2", 0.1f } } },
        { 5, { { "MainInGain", 0.4f }, { "limonoff_1", 1.0f } } },
        { 7, { { "chanonoff_1", 0.0f }, { "add_0", 0.3f }, { "MakeUpGain", 0.2f } } },
        { 8, { { "attack_0", 0.1f }, { "release_2", 0.9f }, { "FinalMix", 0.6f }, { "Fq_High", 0.7f } } },
        { 10, { { "MainOnOff", 0.0f } } },
        { 11, { { "MainOnOff", 1.0f }, { "fxmix_1", 0.4f } } },
    };

    for (int block = 0; block < 14; ++block)
    {
        if (const auto found = changes.find (block); found != changes.end())
            for (const auto& [symbol, value] : found->second)
            {
                control (symbol) = value;
                reference.setParameter (parameterIndex (symbol), value);
            }

        // A rich signal: two tones and a low rumble on each side.
        for (uint32_t i = 0; i < maxBlock; ++i)
        {
            const double t = (double) (block * (int) maxBlock + (int) i) / 44100.0;
            audio[0][i] = (float) (0.4 * std::sin (2 * M_PI * 80 * t) + 0.3 * std::sin (2 * M_PI * 1500 * t) + 0.2 * std::sin (2 * M_PI * 9000 * t));
            audio[1][i] = (float) (0.5 * std::sin (2 * M_PI * 200 * t) + 0.3 * std::sin (2 * M_PI * 7000 * t));
            buffer.setSample (0, (int) i, audio[0][i]);
            buffer.setSample (1, (int) i, audio[1][i]);
        }

        run (maxBlock);
        reference.processBlock (buffer, midi);

        for (int c = 0; c < 2; ++c)
            for (uint32_t i = 0; i < maxBlock; ++i)
                ASSERT_EQ (audio[2 + (size_t) c][i], buffer.getSample (c, (int) i)) << "block " << block << ", channel " << c << ", sample " << i;
    }
}
} // namespace

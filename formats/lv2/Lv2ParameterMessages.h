#pragma once

#include "lv2/atom/atom.h"
#include "lv2/urid/urid.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdint>
#include <vector>

namespace dunskara::lv2
{
// The patch messages by which LV2 hosts read and follow the parameters, which JUCE's
// client only partly sends: it applies a host's patch:Set and reports a change made
// with setParameterNotifyingHost, but never answers patch:Get and says nothing when a
// restored state, a preset or a program change replaces the values.
//
// This keeps, per parameter, the value the host was last told or told us. run() reads
// the host's messages before JUCE processes, and afterwards appends to JUCE's output
// sequence a patch:Set for every parameter the host asked for and for every one whose
// value now differs from what the host knows, so any change reaches the host whatever
// thread made it. What does not fit in the output buffer goes out on the next run.
// Everything but the constructor runs on the audio thread: no allocation, no locks.
class ParameterMessages final
{
public:
    // Maps every URI it needs; allocates.
    ParameterMessages (const LV2_URID_Map& map, juce::AudioProcessor& processor);

    // The host's messages of this block, from a walkable input sequence.
    void readHostMessages (const LV2_Atom_Sequence& input) noexcept;

    // After JUCE's run: notes the patch:Set messages JUCE wrote, then appends ours.
    // `capacity` is the buffer size the host announced before JUCE wrote the sequence.
    void writeMessages (LV2_Atom_Sequence& output, uint32_t capacity) noexcept;

    // The URI JUCE's client gives parameter `index` in the plug-in's description.
    static juce::String parameterUri (juce::AudioProcessor& processor, int index);

private:
    int indexOf (LV2_URID property) const noexcept;
    bool isAboutThisPlugin (const LV2_Atom* subject) const noexcept;
    void readMessage (const LV2_Atom_Object& object, bool fromHost) noexcept;
    float currentValue (int index) const noexcept;
    float numericValue (const LV2_Atom& atom) const noexcept;

    struct Types
    {
        LV2_URID sequence, object, blank, urid, boolean, int32, int64, float32, float64;
    };

    juce::AudioProcessor& processor;
    Types types {};
    LV2_URID pluginUrid = 0, patchGet = 0, patchSet = 0, patchSubject = 0, patchProperty = 0, patchValue = 0;
    std::vector<LV2_URID> parameterUrids;
    std::vector<float> hostKnows;     // what the host was last told, or told us
    std::vector<uint8_t> requested;   // asked for with patch:Get, not yet answered
};
} // namespace dunskara::lv2

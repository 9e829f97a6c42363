// The saved state: the whole program bank as one XML element in JUCE's binary wrapping.
#include "plugin/VarnocAudioProcessor.h"

#include "plugin/ChunkReader.h"
#include "plugin/NumberText.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <unordered_map>

namespace
{
    const char* const rootTag = "MYPLUGINSETTINGS";

    juce::String nameAttribute (int program)  { return "pname" + juce::String (program); }

    juce::String valueAttribute (int program, int index)
    {
        return "pg_floats" + juce::String (program) + juce::String (index);
    }

    // "%.9g" of the float widened to double: round-trips every float exactly.
    juce::String formatValue (float value)
    {
        char text[40];
        std::snprintf (text, sizeof (text), "%.9g", static_cast<double> (value));
        return text;
    }

    // The current program, saved after the bank so that the 360 attributes before it
    // stay as they always were.
    const char* const programAttribute = "currentProgram";

    // Where an attribute of the chunk goes: a program's name, one of its values, or the
    // current program. Keys are lower case: names match without regard to letter case.
    constexpr int nameSlots = params::numPrograms;
    constexpr int valueSlots = params::numPrograms * params::numParameters;
    constexpr int programSlot = nameSlots + valueSlots;
    constexpr int numSlots = programSlot + 1;

    int nameSlot (int program) noexcept             { return program; }
    int valueSlot (int program, int index) noexcept { return nameSlots + program * params::numParameters + index; }

    const std::unordered_map<juce::String, int>& slotsByName()
    {
        static const auto slots = []
        {
            std::unordered_map<juce::String, int> map;
            for (int p = 0; p < params::numPrograms; ++p)
            {
                map.emplace (nameAttribute (p).toLowerCase(), nameSlot (p));
                for (int i = 0; i < params::numParameters; ++i)
                    map.emplace (valueAttribute (p, i).toLowerCase(), valueSlot (p, i));
            }
            map.emplace (juce::String (programAttribute).toLowerCase(), programSlot);
            return map;
        }();
        return slots;
    }

    // The text of each slot's attribute; of several names that differ only in case, the
    // first in the document wins. One pass over the attributes.
    std::array<const juce::String*, numSlots> findAttributes (const chunk::Element& element)
    {
        std::array<const juce::String*, numSlots> texts {};
        const auto& slots = slotsByName();
        for (const auto& [name, value] : element.attributes)
        {
            const auto it = slots.find (name.toLowerCase());
            if (it != slots.end() && texts[(size_t) it->second] == nullptr)
                texts[(size_t) it->second] = &value;
        }
        return texts;
    }

    // The current program is only taken from a plain decimal 0 to 9.
    std::optional<int> readProgram (const juce::String* text)
    {
        if (text == nullptr || text->isEmpty() || text->length() > 3 || ! text->containsOnly ("0123456789"))
            return {};
        const int program = text->getIntValue();
        return ProgramBank::isValidProgram (program) ? std::optional<int> (program) : std::nullopt;
    }

    // What a chunk changes, decoded in full before anything is applied.
    struct BankUpdate
    {
        std::optional<juce::String> names[params::numPrograms];
        std::optional<float> values[params::numPrograms][params::numParameters];
        std::optional<int> program;
    };

    BankUpdate decode (const chunk::Element& element)
    {
        const auto texts = findAttributes (element);
        BankUpdate update;

        for (int p = 0; p < params::numPrograms; ++p)
        {
            if (const auto* name = texts[(size_t) nameSlot (p)])
                update.names[p] = ProgramBank::sanitiseName (*name);

            for (int i = 0; i < params::numParameters; ++i)
            {
                const auto* text = texts[(size_t) valueSlot (p, i)];
                if (text == nullptr)
                    continue;

                // A text that is no number reads as 0; a non-finite one (or one beyond the
                // float range) is ignored so that the program keeps its value.
                const auto value = static_cast<float> (numbertext::readDouble (*text));
                if (std::isfinite (value))
                    update.values[p][i] = value;
            }
        }

        update.program = readProgram (texts[(size_t) programSlot]);
        return update;
    }
} // namespace

void VarnocAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    // Only the copy is taken under the lock: building the XML takes a while, and the
    // other state operations would wait for it.
    juce::String names[params::numPrograms];
    float values[params::numPrograms][params::numParameters];
    int current = 0;
    {
        const StateLock lock (stateLock);
        current = currentProgram.load();
        for (int p = 0; p < params::numPrograms; ++p)
        {
            names[p] = programBank->getName (p);
            for (int i = 0; i < params::numParameters; ++i)
                values[p][i] = p == current ? parameterValues[i].load() : programBank->getValue (p, i);
        }
    }

    juce::XmlElement root (rootTag);
    for (int p = 0; p < params::numPrograms; ++p)
    {
        root.setAttribute (nameAttribute (p), names[p]);
        for (int i = 0; i < params::numParameters; ++i)
            root.setAttribute (valueAttribute (p, i), formatValue (values[p][i]));
    }
    root.setAttribute (programAttribute, current);

    destData.reset();
    copyXmlToBinary (root, destData);
}

void VarnocAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    // The whole chunk is checked and decoded first: one that is unusable in any way
    // changes nothing.
    const auto element = chunk::readChunk (data, static_cast<size_t> (sizeInBytes));
    if (! element || ! element->tag.equalsIgnoreCase (rootTag))
        return;

    const auto update = decode (*element);

    {
        const StateLock lock (stateLock);
        beginStateChange(); // the current row now holds the live values

        const int from = currentProgram.load();
        for (int p = 0; p < params::numPrograms; ++p)
        {
            if (update.names[p])
                programBank->setName (p, *update.names[p]);

            for (int i = 0; i < params::numParameters; ++i)
                if (update.values[p][i] && p != from)
                    programBank->setValue (p, i, *update.values[p][i]);
        }

        // A chunk without a usable current program leaves the current program as it was.
        const int to = update.program.value_or (from);

        // Live values are swapped one by one, as in a program change: a value automated
        // meanwhile ends up either in the program it belonged to or in the new state.
        for (int i = 0; i < params::numParameters; ++i)
        {
            const auto& loaded = update.values[from][i];
            if (to == from)
            {
                if (loaded)
                    parameterValues[i].store (*loaded);
                continue;
            }

            const float previous = parameterValues[i].exchange (programBank->getValue (to, i));
            programBank->setValue (from, i, loaded ? *loaded : previous);
        }
        currentProgram.store (to);

        endStateChange();
    }

    askHostToRereadValues(); // calls out to the host: outside the lock
}

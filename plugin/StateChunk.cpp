// The saved state: the whole program bank as one XML element in JUCE's binary wrapping.
#include "plugin/VarnocAudioProcessor.h"

#include <cmath>
#include <cstdio>
#include <map>

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

    // Attribute names are matched without regard to letter case; the first of several
    // names that differ only in case wins.
    class AttributeLookup
    {
    public:
        explicit AttributeLookup (const juce::XmlElement& element)
        {
            for (int i = 0; i < element.getNumAttributes(); ++i)
                values.emplace (element.getAttributeName (i).toLowerCase(), element.getAttributeValue (i));
        }

        const juce::String* find (const juce::String& attributeName) const
        {
            const auto it = values.find (attributeName.toLowerCase());
            return it != values.end() ? &it->second : nullptr;
        }

    private:
        std::map<juce::String, juce::String> values;
    };
} // namespace

void VarnocAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const StateLock lock (stateLock);
    juce::XmlElement root (rootTag);
    const int current = currentProgram.load();

    for (int p = 0; p < params::numPrograms; ++p)
    {
        root.setAttribute (nameAttribute (p), programBank->getName (p));
        for (int i = 0; i < params::numParameters; ++i)
        {
            const float value = p == current ? parameterValues[i].load (std::memory_order_relaxed)
                                             : programBank->getValue (p, i);
            root.setAttribute (valueAttribute (p, i), formatValue (value));
        }
    }

    destData.reset();
    copyXmlToBinary (root, destData);
}

void VarnocAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const StateLock lock (stateLock);
    if (data == nullptr || sizeInBytes <= 0)
        return;

    const auto root = getXmlFromBinary (data, sizeInBytes);
    if (root == nullptr || ! root->getTagName().equalsIgnoreCase (rootTag))
        return;

    const AttributeLookup attributes (*root);

    for (int p = 0; p < params::numPrograms; ++p)
    {
        if (const auto* programName = attributes.find (nameAttribute (p)))
            programBank->setName (p, *programName);

        for (int i = 0; i < params::numParameters; ++i)
        {
            const auto* text = attributes.find (valueAttribute (p, i));
            if (text == nullptr)
                continue;

            // A text that is no number reads as 0; a non-finite one (or one beyond the
            // float range) is ignored so that the program keeps its value.
            const auto value = static_cast<float> (text->getDoubleValue());
            if (std::isfinite (value))
                programBank->setValue (p, i, value);
        }
    }

    const int current = currentProgram.load();
    for (int i = 0; i < params::numParameters; ++i)
        parameterValues[i].store (programBank->getValue (current, i), std::memory_order_relaxed);

    applyAllParameters();
    sendChangeMessage();
}

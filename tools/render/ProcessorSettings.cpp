#include "tools/render/ProcessorSettings.h"

#include "plugin/ChunkReader.h"
#include "plugin/VarnocAudioProcessor.h"
#include "tools/render/AudioFiles.h"
#include "tools/render/DemoMix.h"

#include <limits>

namespace render
{
namespace
{
    const char* const stateTag = "MYPLUGINSETTINGS";
} // namespace

juce::Result readStateChunk (const juce::File& file, juce::MemoryBlock& chunk)
{
    const auto path = file.getFullPathName();
    if (! file.existsAsFile())
        return juce::Result::fail ("no such state file: " + path);
    if (file.getSize() > std::numeric_limits<int>::max())
        return juce::Result::fail ("damaged state file (too large): " + path);
    chunk.reset(); // loadFileAsData appends
    if (! file.loadFileAsData (chunk))
        return juce::Result::fail ("cannot read state file " + path);

    // The processor's own strict reader decides, so a file is refused here exactly
    // when the plug-in would ignore it.
    const auto text = chunk::unwrapText (chunk.getData(), chunk.getSize());
    if (! text.has_value())
        return juce::Result::fail ("damaged state file (bad framing or cut short): " + path);

    const auto element = chunk::parseElement (*text);
    if (! element.has_value())
        return juce::Result::fail ("damaged state file (unreadable XML): " + path);
    if (! element->tag.equalsIgnoreCase (stateTag))
        return juce::Result::fail ("state file holds <" + element->tag + ">, not DUNSKARA settings: " + path);
    return juce::Result::ok();
}

juce::Result setParameterByName (VarnocAudioProcessor& processor, const juce::String& name, float value)
{
    bool found = false;
    for (int i = 0; i < processor.getNumParameters(); ++i)
    {
        if (processor.getParameterName (i) == name)
        {
            processor.setParameter (i, value);
            found = true;
        }
    }
    if (found)
        return juce::Result::ok();
    return juce::Result::fail ("unknown parameter '" + name + "' (names: " + parameterNameList (processor) + ")");
}

juce::Result applySettings (VarnocAudioProcessor& processor, const RenderOptions& options)
{
    if (options.stateIn)
    {
        juce::MemoryBlock chunk;
        const auto loaded = readStateChunk (*options.stateIn, chunk);
        if (loaded.failed())
            return loaded;
        processor.setStateInformation (chunk.getData(), static_cast<int> (chunk.getSize()));
    }

    if (options.program)
        processor.setCurrentProgram (*options.program);

    for (const auto& setting : options.settings)
    {
        const auto set = setParameterByName (processor, setting.name, setting.value);
        if (set.failed())
            return set;
    }

    if (options.rendersDemo() && ! options.setsParameters())
        for (int i = 0; i < numDemoSettings; ++i)
        {
            const auto set = setParameterByName (processor, demoSettings[i].name, demoSettings[i].value);
            if (set.failed())
                return set;
        }

    return juce::Result::ok();
}

juce::Result writeStateChunk (VarnocAudioProcessor& processor, PendingOutput& output)
{
    juce::MemoryBlock chunk;
    processor.getStateInformation (chunk);
    if (! output.getTemporary().replaceWithData (chunk.getData(), chunk.getSize()))
        return juce::Result::fail ("cannot write " + output.getTarget().getFullPathName());
    return juce::Result::ok();
}

juce::String parameterNameList (VarnocAudioProcessor& processor)
{
    juce::StringArray names;
    for (int i = 0; i < processor.getNumParameters(); ++i)
        names.addIfNotAlreadyThere (processor.getParameterName (i));
    return names.joinIntoString (", ");
}
} // namespace render

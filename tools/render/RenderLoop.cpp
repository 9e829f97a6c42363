#include "tools/render/RenderLoop.h"

#include "plugin/VarnocAudioProcessor.h"

#include <algorithm>

namespace render
{
bool BufferSource::read (juce::AudioBuffer<float>& dest, juce::int64 start, int numFrames)
{
    if (start < 0 || start + numFrames > buffer.getNumSamples())
        return false;
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        dest.copyFrom (c, 0, buffer, c, static_cast<int> (start), numFrames);
    return true;
}

bool ReaderSource::read (juce::AudioBuffer<float>& dest, juce::int64 start, int numFrames)
{
    return reader.read (&dest, 0, numFrames, start, true, true);
}

juce::Result renderThroughProcessor (VarnocAudioProcessor& processor, FrameSource& source, int blockFrames,
                                     const RenderCallbacks& callbacks, RenderStats& stats)
{
    const int inputChannels = source.getNumChannels();
    const double sampleRate = source.getSampleRate();
    const juce::int64 total = source.getNumFrames();

    if (inputChannels < 1 || inputChannels > 2)
        return juce::Result::fail ("the processor takes 1 or 2 input channels, not " + juce::String (inputChannels));
    if (! (sampleRate > 0.0) || blockFrames < 1)
        return juce::Result::fail ("no sample rate or block length");

    stats.sampleRate = sampleRate;
    stats.inputChannels = inputChannels;
    stats.blockFrames = blockFrames;

    processor.setNonRealtime (true);
    processor.setPlayConfigDetails (inputChannels, 2, sampleRate, blockFrames);
    processor.prepareToPlay (sampleRate, blockFrames);

    juce::AudioBuffer<float> sourceBlock (inputChannels, blockFrames);
    juce::AudioBuffer<float> io (2, blockFrames);
    juce::MidiBuffer midi;
    juce::Result result = juce::Result::ok();

    for (juce::int64 start = 0; start < total; start += blockFrames)
    {
        const int n = static_cast<int> (std::min<juce::int64> (blockFrames, total - start));

        if (! source.read (sourceBlock, start, n))
        {
            result = juce::Result::fail ("cannot read the input at frame " + juce::String (start));
            break;
        }
        stats.input.add (sourceBlock, inputChannels, n);
        if (callbacks.dry && ! callbacks.dry (sourceBlock, n))
        {
            result = juce::Result::fail ("cannot write the dry file");
            break;
        }

        // A view of exactly n frames, as a host hands over a short last block.
        juce::AudioBuffer<float> block (io.getArrayOfWritePointers(), 2, n);
        block.copyFrom (0, 0, sourceBlock, 0, 0, n);
        if (inputChannels == 2)
            block.copyFrom (1, 0, sourceBlock, 1, 0, n);
        else
            block.clear (1, 0, n);

        {
            const juce::ScopedLock lock (processor.getCallbackLock());
            processor.processBlock (block, midi);
        }
        if (callbacks.outputGain != 1.0f)
            block.applyGain (callbacks.outputGain);

        stats.stage1Gain.add ({ processor.bandDynamics[0]->meanGain.load (std::memory_order_relaxed),
                                processor.bandDynamics[1]->meanGain.load (std::memory_order_relaxed),
                                processor.bandDynamics[2]->meanGain.load (std::memory_order_relaxed) });
        stats.output.add (block, 2, n);
        stats.frames += n;

        if (! callbacks.processed (block, n))
        {
            result = juce::Result::fail ("cannot write the output file");
            break;
        }
        if (callbacks.progress && ! callbacks.progress (start + n, total))
        {
            result = juce::Result::fail ("interrupted");
            break;
        }
    }

    processor.releaseResources();
    return result;
}
} // namespace render

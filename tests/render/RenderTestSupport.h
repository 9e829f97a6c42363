#pragma once

// Helpers shared by the renderer's tests: scratch folders, audio files in and out, and
// an independent reference that runs audio straight through a processor.

#include "plugin/VarnocAudioProcessor.h"
#include "tools/render/RenderJob.h"
#include "tools/render/RenderOptions.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <unistd.h>
#include <utility>
#include <vector>

namespace render_test
{
// A fresh folder under the system's temporary folder, removed with everything in it.
// Named after the process, so that tests running in parallel never share one.
class ScratchFolder final
{
public:
    ScratchFolder()
        : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                      .getNonexistentChildFile ("dunskara-render-test-" + juce::String (::getpid()), {}, false))
    {
        folder.createDirectory();
    }
    ~ScratchFolder() { folder.deleteRecursively(); }

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }

    // Every entry, hidden ones included, by name.
    juce::StringArray listing() const
    {
        juce::StringArray names;
        for (const auto& entry : folder.findChildFiles (juce::File::findFilesAndDirectories, false))
            names.add (entry.getFileName());
        names.sort (false);
        return names;
    }

private:
    juce::File folder;
};

struct AudioFile
{
    juce::AudioBuffer<float> audio;
    double sampleRate = 0.0;
    unsigned int bitsPerSample = 0;
    juce::String formatName;
};

inline AudioFile readAudio (const juce::File& file)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    AudioFile result;
    if (reader == nullptr)
        return result;
    result.audio.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&result.audio, 0, (int) reader->lengthInSamples, 0, true, true);
    result.sampleRate = reader->sampleRate;
    result.bitsPerSample = reader->bitsPerSample;
    result.formatName = reader->getFormatName();
    return result;
}

inline void writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate, int bits)
{
    file.deleteFile();
    juce::WavAudioFormat wav;
    auto stream = std::make_unique<juce::FileOutputStream> (file);
    std::unique_ptr<juce::AudioFormatWriter> writer (
        wav.createWriterFor (stream.get(), sampleRate, (unsigned int) audio.getNumChannels(), bits, {}, 0));
    ASSERT_NE (writer, nullptr);
    stream.release();
    writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}

// Loud, changing material so that the compressors have work: noise bursts and a
// low tone with a slow swell, different on the two channels.
inline juce::AudioBuffer<float> makeTestSignal (int channels, int frames, double sampleRate)
{
    juce::AudioBuffer<float> audio (channels, frames);
    juce::Random random (1234);
    for (int i = 0; i < frames; ++i)
    {
        const double t = i / sampleRate;
        const double swell = 0.5 + 0.45 * std::sin (2.0 * juce::MathConstants<double>::pi * 1.3 * t);
        const double tone = std::sin (2.0 * juce::MathConstants<double>::pi * 110.0 * t);
        const bool burst = std::fmod (t, 0.25) < 0.05;
        for (int c = 0; c < channels; ++c)
        {
            const double noise = (random.nextDouble() * 2.0 - 1.0) * (burst ? 0.4 : 0.05);
            audio.setSample (c, i, static_cast<float> (0.45 * swell * tone * (c == 0 ? 1.0 : 0.8) + noise));
        }
    }
    return audio;
}

using Settings = std::vector<std::pair<juce::String, float>>;

// Straight through a processor, written independently of the renderer: the input's
// channels (1 or 2) into a two-channel buffer, blocks of `blockFrames`.
inline juce::AudioBuffer<float> processDirectly (const juce::AudioBuffer<float>& input, double sampleRate,
                                                 int blockFrames, const Settings& settings)
{
    VarnocAudioProcessor processor;
    for (const auto& [name, value] : settings)
        for (int i = 0; i < processor.getNumParameters(); ++i)
            if (processor.getParameterName (i) == name)
                processor.setParameter (i, value);

    const int numIn = input.getNumChannels();
    processor.setPlayConfigDetails (numIn, 2, sampleRate, blockFrames);
    processor.prepareToPlay (sampleRate, blockFrames);

    juce::AudioBuffer<float> output (2, input.getNumSamples());
    output.clear();
    output.copyFrom (0, 0, input, 0, 0, input.getNumSamples());
    if (numIn == 2)
        output.copyFrom (1, 0, input, 1, 0, input.getNumSamples());

    juce::MidiBuffer midi;
    for (int start = 0; start < output.getNumSamples(); start += blockFrames)
    {
        const int n = std::min (blockFrames, output.getNumSamples() - start);
        float* channels[2] = { output.getWritePointer (0, start), output.getWritePointer (1, start) };
        juce::AudioBuffer<float> block (channels, 2, n);
        processor.processBlock (block, midi);
    }
    processor.releaseResources();
    return output;
}

// Largest absolute difference over the channels and frames both buffers have.
inline float maxDifference (const juce::AudioBuffer<float>& a, int channelA, const juce::AudioBuffer<float>& b, int channelB)
{
    float worst = a.getNumSamples() == b.getNumSamples() ? 0.0f : INFINITY;
    for (int i = 0; i < std::min (a.getNumSamples(), b.getNumSamples()); ++i)
        worst = std::max (worst, std::abs (a.getSample (channelA, i) - b.getSample (channelB, i)));
    return worst;
}

// One step of 24-bit audio, plus the asymmetry of scaling by 2^23 - 1 on the way out
// and 2^23 on the way in.
constexpr float twentyFourBitTolerance = 2.5e-7f;

inline render::ParseResult parse (const juce::StringArray& args, const juce::File& cwd = juce::File ("/work"))
{
    return render::parseArguments (args, cwd);
}

// Parses and runs a command line; a parse error counts as a usage failure.
inline render::JobResult run (const juce::StringArray& args, const juce::File& cwd)
{
    const auto parsed = render::parseArguments (args, cwd);
    if (! parsed.ok())
        return { render::exitUsage, parsed.error, {}, {} };
    return render::runRenderJob (parsed.options);
}
} // namespace render_test

#pragma once

#include "tools/render/Summary.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <functional>

class VarnocAudioProcessor;

namespace render
{
// Where the audio to process comes from: a file or a buffer in memory.
class FrameSource
{
public:
    virtual ~FrameSource() = default;

    virtual int getNumChannels() const = 0;
    virtual juce::int64 getNumFrames() const = 0;
    virtual double getSampleRate() const = 0;

    // Fills the first numFrames frames of dest's first getNumChannels() channels.
    virtual bool read (juce::AudioBuffer<float>& dest, juce::int64 start, int numFrames) = 0;
};

class BufferSource final : public FrameSource
{
public:
    BufferSource (const juce::AudioBuffer<float>& audio, double rate) noexcept : buffer (audio), sampleRate (rate) {}

    int getNumChannels() const override       { return buffer.getNumChannels(); }
    juce::int64 getNumFrames() const override { return buffer.getNumSamples(); }
    double getSampleRate() const override     { return sampleRate; }
    bool read (juce::AudioBuffer<float>& dest, juce::int64 start, int numFrames) override;

private:
    const juce::AudioBuffer<float>& buffer;
    double sampleRate;
};

class ReaderSource final : public FrameSource
{
public:
    // Reads the first numFrames frames (a truncated file's part that is there).
    ReaderSource (juce::AudioFormatReader& audioReader, juce::int64 numFrames) noexcept
        : reader (audioReader), frames (numFrames) {}

    int getNumChannels() const override       { return static_cast<int> (reader.numChannels); }
    juce::int64 getNumFrames() const override { return frames; }
    double getSampleRate() const override     { return reader.sampleRate; }
    bool read (juce::AudioBuffer<float>& dest, juce::int64 start, int numFrames) override;

private:
    juce::AudioFormatReader& reader;
    juce::int64 frames;
};

// Receives each block: the first numFrames frames of the buffer's channels.
using FrameSink = std::function<bool (const juce::AudioBuffer<float>& block, int numFrames)>;

struct RenderCallbacks
{
    FrameSink processed;  // stereo blocks out of the processor
    FrameSink dry;        // the source's blocks as read (optional)
    std::function<bool (juce::int64 done, juce::int64 total)> progress; // optional; false stops the render
    float outputGain = 1.0f; // applied to the processor's output before it is measured and written
};

// Runs the whole source through the processor as a host would: play configuration of
// 1 or 2 inputs and 2 outputs at the source's rate, prepareToPlay, processBlock per
// block of at most blockFrames frames under the callback lock, releaseResources.
// A mono source comes in on channel 0 with channel 1 silent.
juce::Result renderThroughProcessor (VarnocAudioProcessor& processor, FrameSource& source, int blockFrames,
                                     const RenderCallbacks& callbacks, RenderStats& stats);
} // namespace render

#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>

namespace render
{
// Output files carry 24-bit samples in every format.
constexpr int outputBitsPerSample = 24;

// The format for a file's extension (WAV, AIFF, FLAC), or null.
std::unique_ptr<juce::AudioFormat> findFormatFor (const juce::File& file);

// Refuses file names whose extension names no format we write.
juce::Result checkAudioFileName (const juce::File& file);

// Opens an audio file for reading; on failure returns null and says why in `error`.
std::unique_ptr<juce::AudioFormatReader> openAudioFile (const juce::File& file, juce::String& error);

// The frames the file really holds: the header's count, or fewer when the file was cut
// short. Counted for uncompressed WAV and AIFF; other files are taken at their word.
juce::int64 framesPresent (const juce::File& file, const juce::AudioFormatReader& reader);

// An output that is written to a hidden temporary file beside its target and takes the
// target's name only on commit. Destroyed uncommitted, it leaves nothing behind.
class PendingOutput final
{
public:
    explicit PendingOutput (const juce::File& target);

    const juce::File& getTarget() const noexcept    { return temporary.getTargetFile(); }
    const juce::File& getTemporary() const noexcept { return temporary.getFile(); }

    juce::Result commit();

private:
    juce::TemporaryFile temporary;

    JUCE_DECLARE_NON_COPYABLE (PendingOutput)
};

// Writes 24-bit audio into a PendingOutput in the format of the target's extension.
class AudioFileWriter final
{
public:
    static std::unique_ptr<AudioFileWriter> create (const juce::File& target, double sampleRate,
                                                    int numChannels, juce::String& error);
    ~AudioFileWriter();

    // Writes the first `numFrames` frames of the buffer's first numChannels channels.
    bool write (const juce::AudioBuffer<float>& buffer, int numFrames);

    // Completes the file (header, flush); the output is then ready to commit.
    juce::Result finish();

    PendingOutput& getOutput() noexcept { return *output; }

private:
    AudioFileWriter() = default;

    std::unique_ptr<juce::AudioFormat> format;
    std::unique_ptr<PendingOutput> output;
    juce::FileOutputStream* stream = nullptr;   // owned by writer
    std::unique_ptr<juce::AudioFormatWriter> writer;
    bool failed = false;

    JUCE_DECLARE_NON_COPYABLE (AudioFileWriter)
};
} // namespace render

#include "tools/render/AudioFiles.h"

namespace render
{
namespace
{
    void registerFormats (juce::AudioFormatManager& manager)
    {
        manager.registerFormat (new juce::WavAudioFormat(), true);
        manager.registerFormat (new juce::AiffAudioFormat(), false);
        manager.registerFormat (new juce::FlacAudioFormat(), false);
    }

    // FLAC's middle compression level: close to the best size, still quick.
    int qualityOptionFor (juce::AudioFormat& format)
    {
        const auto options = format.getQualityOptions();
        return options.size() > 1 ? options.size() / 2 : 0;
    }
} // namespace

std::unique_ptr<juce::AudioFormat> findFormatFor (const juce::File& file)
{
    std::unique_ptr<juce::AudioFormat> candidates[] = { std::make_unique<juce::WavAudioFormat>(),
                                                        std::make_unique<juce::AiffAudioFormat>(),
                                                        std::make_unique<juce::FlacAudioFormat>() };
    for (auto& format : candidates)
        if (format->canHandleFile (file))
            return std::move (format);
    return nullptr;
}

juce::Result checkAudioFileName (const juce::File& file)
{
    if (findFormatFor (file) != nullptr)
        return juce::Result::ok();
    const auto extension = file.getFileExtension();
    return juce::Result::fail ("unsupported audio format "
                               + (extension.isEmpty() ? juce::String ("(no extension)") : "'" + extension + "'")
                               + " for " + file.getFullPathName() + " (use .wav, .aif, .aiff or .flac)");
}

std::unique_ptr<juce::AudioFormatReader> openAudioFile (const juce::File& file, juce::String& error)
{
    if (file.isDirectory())
    {
        error = "not a file: " + file.getFullPathName();
        return nullptr;
    }
    if (! file.existsAsFile())
    {
        error = "no such file: " + file.getFullPathName();
        return nullptr;
    }
    if (! file.hasReadAccess())
    {
        error = "cannot read " + file.getFullPathName();
        return nullptr;
    }

    juce::AudioFormatManager formats; // readers do not refer back to it
    registerFormats (formats);
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    if (reader == nullptr)
    {
        error = "not a readable WAV, AIFF or FLAC file: " + file.getFullPathName();
        return nullptr;
    }
    if (reader->sampleRate <= 0.0 || reader->numChannels < 1 || reader->lengthInSamples < 0)
    {
        error = "damaged audio file (no sample rate or channels): " + file.getFullPathName();
        return nullptr;
    }
    return reader;
}

juce::int64 framesPresent (const juce::File& file, const juce::AudioFormatReader& reader)
{
    std::unique_ptr<juce::MemoryMappedAudioFormatReader> mapped;
    if (reader.getFormatName() == juce::WavAudioFormat().getFormatName())
        mapped.reset (juce::WavAudioFormat().createMemoryMappedReader (file));
    else if (reader.getFormatName() == juce::AiffAudioFormat().getFormatName())
        mapped.reset (juce::AiffAudioFormat().createMemoryMappedReader (file));
    if (mapped == nullptr || reader.lengthInSamples <= 0)
        return reader.lengthInSamples;

    // The map covers only the bytes the file has, so its end is the last whole frame.
    if (! mapped->mapEntireFile())
        return 0;
    return std::min (reader.lengthInSamples, mapped->getMappedSection().getEnd());
}

//==============================================================================
PendingOutput::PendingOutput (const juce::File& target)
    : temporary (target, juce::TemporaryFile::useHiddenFile)
{
}

juce::Result PendingOutput::commit()
{
    if (! getTemporary().existsAsFile())
        return juce::Result::fail ("nothing was written for " + getTarget().getFullPathName());
    if (! temporary.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("cannot write " + getTarget().getFullPathName());
    return juce::Result::ok();
}

//==============================================================================
std::unique_ptr<AudioFileWriter> AudioFileWriter::create (const juce::File& target, double sampleRate,
                                                          int numChannels, juce::String& error)
{
    auto format = findFormatFor (target);
    if (format == nullptr)
    {
        error = checkAudioFileName (target).getErrorMessage();
        return nullptr;
    }

    std::unique_ptr<AudioFileWriter> result (new AudioFileWriter());
    result->format = std::move (format);
    result->output = std::make_unique<PendingOutput> (target);

    auto fileStream = std::make_unique<juce::FileOutputStream> (result->output->getTemporary());
    if (fileStream->failedToOpen())
    {
        error = "cannot write in " + target.getParentDirectory().getFullPathName()
              + ": " + fileStream->getStatus().getErrorMessage();
        return nullptr;
    }

    auto& chosen = *result->format;
    result->writer.reset (chosen.createWriterFor (fileStream.get(), sampleRate, (unsigned int) numChannels,
                                                  outputBitsPerSample, {}, qualityOptionFor (chosen)));
    if (result->writer == nullptr)
    {
        error = "cannot write " + juce::String (sampleRate, 0) + " Hz, " + juce::String (numChannels)
              + "-channel audio as " + chosen.getFormatName() + ": " + target.getFullPathName();
        fileStream.reset();
        result->output.reset(); // removes the empty temporary file
        return nullptr;
    }

    result->stream = fileStream.release(); // the writer owns it now
    return result;
}

AudioFileWriter::~AudioFileWriter()
{
    writer.reset(); // closes the stream before the temporary file may be removed
}

bool AudioFileWriter::write (const juce::AudioBuffer<float>& buffer, int numFrames)
{
    if (failed || writer == nullptr)
        return false;
    failed = ! writer->writeFromAudioSampleBuffer (buffer, 0, numFrames) || stream->getStatus().failed();
    return ! failed;
}

juce::Result AudioFileWriter::finish()
{
    if (writer == nullptr)
        return juce::Result::fail ("audio file already closed");

    writer->flush();
    failed = failed || stream->getStatus().failed();
    writer.reset();
    stream = nullptr;

    if (failed)
        return juce::Result::fail ("cannot write " + output->getTarget().getFullPathName() + " (disk full?)");
    return juce::Result::ok();
}
} // namespace render

#include "tools/render/RenderJob.h"

#include "plugin/VarnocAudioProcessor.h"
#include "tools/render/AudioFiles.h"
#include "tools/render/DemoMix.h"
#include "tools/render/EditorPng.h"
#include "tools/render/ProcessorSettings.h"
#include "tools/render/RenderLoop.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace render
{
namespace
{
    JobResult failure (int code, const juce::String& message) { return { code, message, {} }; }

    // The path with links and "..", resolved as far as the file or its folder exists.
    juce::String canonicalPath (const juce::File& file)
    {
        char resolved[PATH_MAX];
        if (::realpath (file.getFullPathName().toRawUTF8(), resolved) != nullptr)
            return juce::String::fromUTF8 (resolved);
        if (::realpath (file.getParentDirectory().getFullPathName().toRawUTF8(), resolved) != nullptr)
            return juce::String::fromUTF8 (resolved) + "/" + file.getFileName();
        return file.getFullPathName();
    }

    // The same path, or two names (links) of one existing file.
    bool isSameFile (const juce::File& a, const juce::File& b)
    {
        if (canonicalPath (a) == canonicalPath (b))
            return true;
        struct stat sa, sb;
        return ::stat (a.getFullPathName().toRawUTF8(), &sa) == 0 && ::stat (b.getFullPathName().toRawUTF8(), &sb) == 0
            && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }

    std::vector<juce::File> outputFiles (const RenderOptions& options)
    {
        std::vector<juce::File> files { options.output };
        for (const auto& file : { options.dryFile(), options.stateOut, options.editorPng })
            if (file)
                files.push_back (*file);
        return files;
    }

    // What can be refused before any work: names, formats, folders, clashes.
    juce::Result checkFiles (const RenderOptions& options)
    {
        auto check = checkAudioFileName (options.output);
        if (check.failed())
            return check;
        if (const auto dry = options.dryFile())
            if ((check = checkAudioFileName (*dry)).failed())
                return check;

        const auto outputs = outputFiles (options);
        for (size_t i = 0; i < outputs.size(); ++i)
        {
            if (options.input && isSameFile (outputs[i], *options.input))
                return juce::Result::fail ("refusing to overwrite the input " + options.input->getFullPathName());
            if (outputs[i].isDirectory())
                return juce::Result::fail ("output is a folder: " + outputs[i].getFullPathName());
            if (! outputs[i].getParentDirectory().isDirectory())
                return juce::Result::fail ("no such folder: " + outputs[i].getParentDirectory().getFullPathName());
            for (size_t j = 0; j < i; ++j)
                if (isSameFile (outputs[i], outputs[j]))
                    return juce::Result::fail ("the same file is given for two outputs: " + outputs[i].getFullPathName());
        }
        return juce::Result::ok();
    }

    juce::Result checkParameterNames (VarnocAudioProcessor& processor, const RenderOptions& options)
    {
        juce::StringArray names;
        for (int i = 0; i < processor.getNumParameters(); ++i)
            names.add (processor.getParameterName (i));
        for (const auto& setting : options.settings)
            if (! names.contains (setting.name))
                return juce::Result::fail ("unknown parameter '" + setting.name + "' (names: "
                                           + parameterNameList (processor) + ")");
        return juce::Result::ok();
    }

    // Either the file's reader or the synthesised demo, behind one interface.
    struct Input
    {
        std::unique_ptr<juce::AudioFormatReader> reader;
        juce::AudioBuffer<float> demo;
        std::unique_ptr<FrameSource> source;
    };

    juce::Result openInput (const RenderOptions& options, Input& input)
    {
        if (options.rendersDemo())
        {
            input.demo = makeDemoMix();
            input.source = std::make_unique<BufferSource> (input.demo, demo::sampleRate);
            return juce::Result::ok();
        }

        juce::String error;
        input.reader = openAudioFile (*options.input, error);
        if (input.reader == nullptr)
            return juce::Result::fail (error);
        if (input.reader->numChannels > 2)
            return juce::Result::fail (juce::String (input.reader->numChannels)
                                       + " channels in " + options.input->getFullPathName()
                                       + ": only mono and stereo files are supported");
        input.source = std::make_unique<ReaderSource> (*input.reader);
        return juce::Result::ok();
    }

    // The files of one run; each is written to a temporary file, and all take their
    // names together at the end.
    struct Outputs
    {
        std::unique_ptr<AudioFileWriter> processed, dry;
        std::unique_ptr<PendingOutput> state, picture;
    };

    juce::Result createAudioWriters (const RenderOptions& options, const FrameSource& source, Outputs& outputs)
    {
        juce::String error;
        outputs.processed = AudioFileWriter::create (options.output, source.getSampleRate(), 2, error);
        if (outputs.processed == nullptr)
            return juce::Result::fail (error);

        if (const auto dryFile = options.dryFile())
        {
            outputs.dry = AudioFileWriter::create (*dryFile, source.getSampleRate(), source.getNumChannels(), error);
            if (outputs.dry == nullptr)
                return juce::Result::fail (error);
        }
        return juce::Result::ok();
    }

    juce::Result renderAudio (VarnocAudioProcessor& processor, const RenderOptions& options,
                              FrameSource& source, Outputs& outputs, RenderStats& stats)
    {
        ProgressBar progress (ProgressBar::wanted (source.getNumFrames(), source.getSampleRate()));

        RenderCallbacks callbacks;
        auto& processed = *outputs.processed;
        callbacks.processed = [&processed] (const juce::AudioBuffer<float>& block, int n) { return processed.write (block, n); };
        if (auto* dry = outputs.dry.get())
            callbacks.dry = [dry] (const juce::AudioBuffer<float>& block, int n) { return dry->write (block, n); };
        callbacks.progress = [&progress] (juce::int64 done, juce::int64 total) { progress.update (done, total); };

        auto result = renderThroughProcessor (processor, source, options.blockFrames, callbacks, stats);
        progress.finish();

        for (auto* writer : { outputs.processed.get(), outputs.dry.get() })
            if (result.wasOk() && writer != nullptr)
                result = writer->finish();
        return result;
    }

    // The state chunk and the editor picture, for the settings as they are after the render.
    juce::Result writeExtras (VarnocAudioProcessor& processor, const RenderOptions& options, Outputs& outputs)
    {
        if (options.stateOut)
        {
            outputs.state = std::make_unique<PendingOutput> (*options.stateOut);
            const auto result = writeStateChunk (processor, *outputs.state);
            if (result.failed())
                return result;
        }
        if (options.editorPng)
        {
            outputs.picture = std::make_unique<PendingOutput> (*options.editorPng);
            return writeEditorPng (processor, *outputs.picture, options.editorScale);
        }
        return juce::Result::ok();
    }

    juce::Result commitAll (Outputs& outputs, juce::StringArray& written)
    {
        PendingOutput* const pending[] = {
            outputs.processed != nullptr ? &outputs.processed->getOutput() : nullptr,
            outputs.dry != nullptr ? &outputs.dry->getOutput() : nullptr,
            outputs.state.get(), outputs.picture.get()
        };
        for (auto* output : pending)
        {
            if (output == nullptr)
                continue;
            const auto result = output->commit();
            if (result.failed())
                return result;
            written.add (output->getTarget().getFullPathName());
        }
        return juce::Result::ok();
    }

    JobResult render (VarnocAudioProcessor& processor, const RenderOptions& options)
    {
        Input input;
        Outputs outputs;
        RenderStats stats;
        juce::StringArray written;

        auto result = openInput (options, input);
        if (result.wasOk())
            result = createAudioWriters (options, *input.source, outputs);
        if (result.wasOk())
            result = renderAudio (processor, options, *input.source, outputs, stats);
        if (result.wasOk())
            result = writeExtras (processor, options, outputs);
        if (result.wasOk())
            result = commitAll (outputs, written);
        if (result.failed())
            return failure (exitFailure, result.getErrorMessage());

        auto summary = summaryText (stats);
        if (options.rendersDemo() && ! options.setsParameters())
            summary << "  (demo setting: lowered thresholds, band limiters on, 6 dB make-up gain)\n";
        summary << "wrote " << written.joinIntoString (", ") << "\n";
        return { exitSuccess, {}, summary };
    }
} // namespace

JobResult runRenderJob (const RenderOptions& options)
{
    auto result = checkFiles (options);
    if (result.failed())
        return failure (exitUsage, result.getErrorMessage());

    VarnocAudioProcessor processor;
    if ((result = checkParameterNames (processor, options)).failed())
        return failure (exitUsage, result.getErrorMessage());
    if ((result = applySettings (processor, options)).failed())
        return failure (exitFailure, result.getErrorMessage());

    return render (processor, options);
}

juce::String helpText()
{
    VarnocAudioProcessor processor;
    return usageText() + "\nParameter names: " + parameterNameList (processor) + "\n";
}
} // namespace render

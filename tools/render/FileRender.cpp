#include "tools/render/FileRender.h"
#include "plugin/ParameterTable.h"

#include "plugin/VarnocAudioProcessor.h"
#include "tools/render/AudioFiles.h"
#include "tools/render/DemoMix.h"
#include "tools/render/Interrupt.h"
#include "tools/render/ProcessorSettings.h"
#include "tools/render/Progress.h"
#include "tools/render/RenderJob.h"
#include "tools/render/RenderLoop.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <sys/stat.h>

namespace render
{
namespace
{
    using params::decibelsPerNeper;

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

    struct Refusal
    {
        int exitCode = exitSuccess;
        juce::String message;
    };

    // Names and folders of the task's outputs, before any work.
    Refusal checkTask (const FileTask& task)
    {
        std::vector<juce::File> outputs { task.output };
        if (task.dry)
            outputs.push_back (*task.dry);

        for (size_t i = 0; i < outputs.size(); ++i)
        {
            const auto check = checkAudioFileName (outputs[i]);
            if (check.failed())
                return { exitUsage, check.getErrorMessage() };
            if (task.input && isSameFile (outputs[i], *task.input))
                return { exitUsage, "refusing to overwrite the input " + task.input->getFullPathName() };
            for (size_t j = 0; j < i; ++j)
                if (isSameFile (outputs[i], outputs[j]))
                    return { exitUsage, "the same file is given for two outputs: " + outputs[i].getFullPathName() };
            const auto folderProblem = checkOutputFolder (outputs[i]);
            if (folderProblem.failed())
                return { exitFailure, folderProblem.getErrorMessage() };
        }
        return {};
    }

    // Either the file's reader or the synthesised demo, behind one interface.
    struct Input
    {
        std::unique_ptr<juce::AudioFormatReader> reader;
        juce::AudioBuffer<float> demo;
        std::unique_ptr<FrameSource> source;
    };

    juce::Result openInput (const FileTask& task, bool allowTruncated, Input& input, juce::String& warning)
    {
        if (! task.input)
        {
            input.demo = makeDemoMix();
            input.source = std::make_unique<BufferSource> (input.demo, demo::sampleRate);
            return juce::Result::ok();
        }

        const auto path = task.input->getFullPathName();
        juce::String error;
        input.reader = openAudioFile (*task.input, error);
        if (input.reader == nullptr)
            return juce::Result::fail (error);
        const auto& reader = *input.reader;
        if (reader.numChannels > 2)
            return juce::Result::fail (juce::String (reader.numChannels) + " channels in " + path
                                       + ": only mono and stereo files are supported");

        if (reader.lengthInSamples == 0)
            return juce::Result::fail ("empty input (no audio frames): " + path);
        const auto present = framesPresent (*task.input, reader);
        if (present < reader.lengthInSamples)
        {
            const auto seconds = [&reader] (juce::int64 frames)
            { return juce::String (static_cast<double> (frames) / reader.sampleRate, 2) + " s"; };
            const auto what = path + " is truncated: its header promises " + juce::String (reader.lengthInSamples)
                            + " frames (" + seconds (reader.lengthInSamples) + "), the file holds "
                            + juce::String (present) + " (" + seconds (present) + "); "
                            + juce::String (reader.lengthInSamples - present) + " frames are missing";
            if (! allowTruncated)
                return juce::Result::fail (what + " (--allow-truncated renders what is there)");
            if (present == 0)
                return juce::Result::fail (what + "; nothing to render");
            warning = what + "; rendered the frames that are there";
        }
        input.source = std::make_unique<ReaderSource> (*input.reader, present);
        return juce::Result::ok();
    }

    // The gain that brings the output's integrated loudness to the input's.
    std::optional<double> matchingGainDb (const LoudnessFigures& in, const LoudnessFigures& out, juce::String& note)
    {
        if (! std::isfinite (in.integratedLufs) || ! std::isfinite (out.integratedLufs))
        {
            note = "no gain applied: the input or the output has no measurable loudness";
            return std::nullopt;
        }
        return in.integratedLufs - out.integratedLufs;
    }

    // Reports work done to the display; false once an interrupt asks to stop.
    auto progressReporter (FileProgress& progress, juce::int64 offset)
    {
        return [&progress, offset] (juce::int64 done, juce::int64)
        {
            progress.done.store (offset + done);
            return interrupt::requested() == 0;
        };
    }

    // A processor with the options' settings; they were checked before the files started.
    std::unique_ptr<VarnocAudioProcessor> makeProcessor (const RenderOptions& options, juce::Result& result)
    {
        auto processor = std::make_unique<VarnocAudioProcessor>();
        result = applySettings (*processor, options);
        return processor;
    }

    // --match-loudness: a first pass that only measures.
    juce::Result measureOnly (const RenderOptions& options, FrameSource& source, FileProgress& progress,
                              LoudnessFigures& in, LoudnessFigures& out)
    {
        auto result = juce::Result::ok();
        auto processor = makeProcessor (options, result);
        if (result.failed())
            return result;

        LoudnessMeter inputMeter (source.getNumChannels(), source.getSampleRate());
        LoudnessMeter outputMeter (2, source.getSampleRate());
        RenderCallbacks callbacks;
        callbacks.dry = [&inputMeter] (const juce::AudioBuffer<float>& block, int n) { inputMeter.add (block, n); return true; };
        callbacks.processed = [&outputMeter] (const juce::AudioBuffer<float>& block, int n) { outputMeter.add (block, n); return true; };
        callbacks.progress = progressReporter (progress, 0);

        RenderStats stats;
        result = renderThroughProcessor (*processor, source, options.blockFrames, callbacks, stats);
        in = inputMeter.figures();
        out = outputMeter.figures();
        return result;
    }
} // namespace

bool isSameFile (const juce::File& a, const juce::File& b)
{
    if (canonicalPath (a) == canonicalPath (b))
        return true;
    struct stat sa, sb;
    return ::stat (a.getFullPathName().toRawUTF8(), &sa) == 0 && ::stat (b.getFullPathName().toRawUTF8(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

juce::Result checkOutputFolder (const juce::File& output)
{
    if (output.isDirectory())
        return juce::Result::fail ("output is a folder: " + output.getFullPathName());
    if (! output.getParentDirectory().isDirectory())
        return juce::Result::fail ("no such folder: " + output.getParentDirectory().getFullPathName());
    return juce::Result::ok();
}

juce::int64 workFor (const FileTask& task, const RenderOptions& options)
{
    juce::int64 frames = static_cast<juce::int64> (demo::sampleRate * demo::lengthSeconds);
    if (task.input)
    {
        juce::String error;
        const auto reader = openAudioFile (*task.input, error);
        frames = reader != nullptr ? reader->lengthInSamples : 0;
    }
    return options.matchLoudness ? 2 * frames : frames;
}

FileOutcome renderFile (const FileTask& task, const RenderOptions& options, FileProgress& progress)
{
    FileOutcome outcome;
    outcome.task = task;
    auto fail = [&outcome] (int code, const juce::String& message)
    {
        outcome.exitCode = code;
        outcome.error = message;
        return outcome;
    };

    const auto refusal = checkTask (task);
    if (refusal.exitCode != exitSuccess)
        return fail (refusal.exitCode, refusal.message);

    Input input;
    auto result = openInput (task, options.allowTruncated, input, outcome.warning);
    if (result.failed())
        return fail (exitFailure, result.getErrorMessage());
    auto& source = *input.source;

    const auto frames = source.getNumFrames();
    progress.total.store (options.matchLoudness ? 2 * frames : frames);
    juce::int64 offset = 0;

    float gain = 1.0f;
    if (options.matchLoudness)
    {
        LoudnessFigures before;
        result = measureOnly (options, source, progress, outcome.input, before);
        if (result.failed())
            return fail (exitFailure, result.getErrorMessage());
        outcome.matchGainDb = matchingGainDb (outcome.input, before, outcome.matchNote);
        if (outcome.matchGainDb)
            gain = static_cast<float> (std::exp (*outcome.matchGainDb / decibelsPerNeper));
        offset = frames;
    }

    auto processor = makeProcessor (options, result);
    if (result.failed())
        return fail (exitFailure, result.getErrorMessage());

    juce::String error;
    auto processed = AudioFileWriter::create (task.output, source.getSampleRate(), 2, error);
    if (processed == nullptr)
        return fail (exitFailure, error);
    std::unique_ptr<AudioFileWriter> dry;
    if (task.dry && (dry = AudioFileWriter::create (*task.dry, source.getSampleRate(), source.getNumChannels(), error)) == nullptr)
        return fail (exitFailure, error);

    LoudnessMeter inputMeter (source.getNumChannels(), source.getSampleRate());
    LoudnessMeter outputMeter (2, source.getSampleRate());
    const bool measureInput = ! options.matchLoudness;

    RenderCallbacks callbacks;
    callbacks.dry = [&] (const juce::AudioBuffer<float>& block, int n)
    {
        if (measureInput)
            inputMeter.add (block, n);
        return dry == nullptr || dry->write (block, n);
    };
    callbacks.processed = [&] (const juce::AudioBuffer<float>& block, int n)
    {
        outputMeter.add (block, n);
        return processed->write (block, n);
    };
    callbacks.progress = progressReporter (progress, offset);
    callbacks.outputGain = gain;

    result = renderThroughProcessor (*processor, source, options.blockFrames, callbacks, outcome.stats);
    for (auto* writer : { processed.get(), dry.get() })
        if (result.wasOk() && writer != nullptr)
            result = writer->finish();
    if (result.failed())
        return fail (exitFailure, result.getErrorMessage());

    if (measureInput)
        outcome.input = inputMeter.figures();
    outcome.output = outputMeter.figures();

    for (auto* writer : { processed.get(), dry.get() })
    {
        if (writer == nullptr)
            continue;
        if ((result = writer->getOutput().commit()).failed())
            return fail (exitFailure, result.getErrorMessage());
        outcome.written.add (writer->getOutput().getTarget().getFullPathName());
    }
    return outcome;
}

namespace
{
    juce::String figuresText (const LoudnessFigures& figures)
    {
        const auto number = [] (double x, const char* unit)
        { return std::isfinite (x) ? juce::String (x, 1) + " " + unit : juce::String ("-inf ") + unit; };
        return number (figures.integratedLufs, "LUFS") + ", LRA " + number (figures.rangeLu, "LU")
             + ", true peak " + number (figures.truePeakDbtp, "dBTP");
    }
} // namespace

juce::String outcomeLine (const FileOutcome& outcome)
{
    const auto name = outcome.task.input ? outcome.task.input->getFileName() : juce::String ("demo");
    if (! outcome.ok())
        return name + ": FAILED: " + outcome.error;

    juce::String line;
    line << name << " -> " << outcome.task.output.getFullPathName() << ": "
         << juce::String (outcome.stats.sampleRate > 0.0 ? static_cast<double> (outcome.stats.frames) / outcome.stats.sampleRate : 0.0, 2)
         << " s; in " << figuresText (outcome.input) << "; out " << figuresText (outcome.output);
    if (outcome.matchGainDb)
        line << "; loudness matched with " << juce::String (*outcome.matchGainDb, 2) << " dB";
    else if (outcome.matchNote.isNotEmpty())
        line << "; " << outcome.matchNote;
    if (outcome.stats.output.getPeak() > 1.0)
        line << " (clipped in the file)";
    return line;
}
} // namespace render

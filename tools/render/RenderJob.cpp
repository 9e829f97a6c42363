#include "tools/render/RenderJob.h"

#include "panels/ReadoutUnits.h"
#include "plugin/ParameterTable.h"
#include "plugin/VarnocAudioProcessor.h"
#include "tools/render/AudioFiles.h"
#include "tools/render/EditorPng.h"
#include "tools/render/Interrupt.h"
#include "tools/render/ProcessorSettings.h"
#include "tools/render/Progress.h"
#include "tools/render/Report.h"

#include <csignal>
#include <thread>

namespace render
{
namespace
{
    JobResult failure (int code, const juce::String& message) { return { code, message, {}, {} }; }

    struct Refusal
    {
        int exitCode = exitSuccess;
        juce::String message;
    };

    // The outputs that do not depend on the audio (state, picture, report): no clash
    // with any audio file of the run, and a folder to go to.
    Refusal checkExtras (const RenderOptions& options, const std::vector<FileTask>& tasks)
    {
        std::vector<juce::File> taken;
        for (const auto& task : tasks)
        {
            if (task.input) taken.push_back (*task.input);
            taken.push_back (task.output);
            if (task.dry) taken.push_back (*task.dry);
        }
        for (const auto& extra : { options.stateOut, options.editorPng, options.report })
        {
            if (! extra)
                continue;
            for (const auto& file : taken)
                if (isSameFile (*extra, file))
                    return { exitUsage, "the same file is given for two outputs: " + extra->getFullPathName() };
            const auto folder = checkOutputFolder (*extra);
            if (folder.failed())
                return { exitFailure, folder.getErrorMessage() };
            taken.push_back (*extra);
        }
        return {};
    }

    juce::Result prepareOutDir (const juce::File& folder)
    {
        if (folder.isDirectory())
            return juce::Result::ok();
        if (folder.existsAsFile())
            return juce::Result::fail ("--out-dir is a file, not a folder: " + folder.getFullPathName());
        const auto created = folder.createDirectory();
        if (created.failed())
            return juce::Result::fail ("cannot create folder " + folder.getFullPathName() + ": " + created.getErrorMessage());
        return juce::Result::ok();
    }

    // The state chunk and the editor picture, ready to take their names.
    struct Extras
    {
        std::unique_ptr<PendingOutput> state, picture;
    };

    juce::Result writeExtras (VarnocAudioProcessor& processor, const RenderOptions& options, Extras& extras)
    {
        if (options.stateOut)
        {
            extras.state = std::make_unique<PendingOutput> (*options.stateOut);
            const auto result = writeStateChunk (processor, *extras.state);
            if (result.failed())
                return result;
        }
        if (options.editorPng)
        {
            extras.picture = std::make_unique<PendingOutput> (*options.editorPng);
            return writeEditorPng (processor, *extras.picture, options.editorScale);
        }
        return juce::Result::ok();
    }

    juce::Result commitExtras (Extras& extras, juce::StringArray& written)
    {
        for (auto* output : { extras.state.get(), extras.picture.get() })
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

    juce::Result writeReport (const juce::File& file, const juce::String& json)
    {
        PendingOutput output (file);
        if (! output.getTemporary().replaceWithText (json))
            return juce::Result::fail ("cannot write " + file.getFullPathName());
        return output.commit();
    }

    int workerCount (const RenderOptions& options, size_t numTasks)
    {
        const int wanted = options.workers > 0 ? options.workers
                                               : std::max (1, static_cast<int> (std::thread::hardware_concurrency()));
        return std::min (wanted, static_cast<int> (numTasks));
    }

    // Runs every task on the worker threads while this thread keeps the display going.
    std::vector<FileOutcome> renderAll (const std::vector<FileTask>& tasks, const RenderOptions& options,
                                        bool batch)
    {
        std::vector<FileProgress> progress (tasks.size());
        for (size_t i = 0; i < tasks.size(); ++i)
        {
            progress[i].name = tasks[i].input ? tasks[i].input->getFileName() : juce::String ("demo");
            progress[i].total = workFor (tasks[i], options);
        }
        ProgressDisplay display (ProgressDisplay::modeFor (options.quiet), progress);

        std::vector<FileOutcome> outcomes (tasks.size());
        std::atomic<size_t> next { 0 };
        std::atomic<int> running { 0 };
        auto work = [&]
        {
            for (size_t i; (i = next++) < tasks.size() && interrupt::requested() == 0;)
            {
                progress[i].startedAt = juce::Time::getMillisecondCounterHiRes() / 1000.0;
                progress[i].state = FileProgress::running;
                outcomes[i] = renderFile (tasks[i], options, progress[i]);
                progress[i].done = progress[i].total.load();
                progress[i].state = FileProgress::finished;

                const auto& outcome = outcomes[i];
                if (outcome.warning.isNotEmpty())
                    display.addFailure ("dunskara-render: warning: " + outcome.warning);
                if (batch && outcome.ok())
                    display.addLine (outcomeLine (outcome));
                else if (batch && interrupt::requested() == 0)
                    display.addFailure ("dunskara-render: " + outcomeLine (outcome));
            }
            --running;
        };

        const int numWorkers = workerCount (options, tasks.size());
        running = numWorkers;
        std::vector<std::thread> workers;
        for (int w = 0; w < numWorkers; ++w)
            workers.emplace_back (work);
        while (running > 0)
        {
            display.refresh();
            std::this_thread::sleep_for (std::chrono::milliseconds (100));
        }
        for (auto& worker : workers)
            worker.join();
        display.finish();
        return outcomes;
    }

    juce::String signalName (int signalNumber)
    {
        return signalNumber == SIGINT ? "SIGINT" : signalNumber == SIGTERM ? "SIGTERM" : "signal " + juce::String (signalNumber);
    }

    juce::String singleFileSummary (const FileOutcome& outcome, bool demoSetting)
    {
        auto summary = summaryText (outcome.stats);
        if (demoSetting)
            summary << "  (demo setting: lowered thresholds, band limiters on, 6 dB make-up gain)\n";
        summary << "  loudness: " << outcomeLine (outcome).fromFirstOccurrenceOf (" s; ", false, false) << "\n";
        return summary;
    }
} // namespace

JobResult runRenderJob (const RenderOptions& options)
{
    const auto tasks = options.tasks();
    const bool batch = options.outDir.has_value();

    const auto refusal = checkExtras (options, tasks);
    if (refusal.exitCode != exitSuccess)
        return failure (refusal.exitCode, refusal.message);

    VarnocAudioProcessor settings;
    auto result = applySettings (settings, options);
    if (result.failed())
        return failure (exitFailure, result.getErrorMessage());
    if (options.outDir && (result = prepareOutDir (*options.outDir)).failed())
        return failure (exitFailure, result.getErrorMessage());

    Extras extras;
    if ((result = writeExtras (settings, options, extras)).failed())
        return failure (exitFailure, result.getErrorMessage());

    JobResult job;
    job.files = renderAll (tasks, options, batch);

    if (const int signalNumber = interrupt::requested())
        return { exitInterrupted + signalNumber,
                 "interrupted by " + signalName (signalNumber)
                     + "; unfinished outputs removed, existing files left as they were",
                 {}, std::move (job.files) };

    juce::StringArray failed, written;
    for (const auto& outcome : job.files)
    {
        if (! outcome.ok())
            failed.add (outcome.task.input ? outcome.task.input->getFileName() : juce::String ("demo"));
        written.addArray (outcome.written);
    }

    if (failed.isEmpty() && (result = commitExtras (extras, written)).failed())
        return { exitFailure, result.getErrorMessage(), {}, std::move (job.files) };
    if (options.report)
    {
        if ((result = writeReport (*options.report, reportJson (options, settings, job.files))).failed())
            return { exitFailure, result.getErrorMessage(), {}, std::move (job.files) };
        written.add (options.report->getFullPathName());
    }

    if (! batch)
    {
        const auto& outcome = job.files.front();
        if (! outcome.ok())
            return { outcome.exitCode, outcome.error, {}, std::move (job.files) };
        job.summary = singleFileSummary (outcome, options.rendersDemo() && ! options.setsParameters());
    }
    else if (! failed.isEmpty())
    {
        job.exitCode = exitFailure;
        job.error = juce::String (failed.size()) + " of " + juce::String ((int) job.files.size())
                  + " files failed: " + failed.joinIntoString (", ");
    }
    else
    {
        job.summary << "rendered " << (int) job.files.size() << " files\n";
    }
    if (! written.isEmpty())
        job.summary << "wrote " << written.joinIntoString (", ") << "\n";
    return job;
}

juce::String helpText()
{
    VarnocAudioProcessor processor;
    return usageText() + "\nParameter names (--list-params shows units and ranges): " + parameterNameList (processor) + "\n";
}

juce::String parameterListText()
{
    juce::String text;
    const auto row = [&text] (const juce::String& name, const juce::String& what, const juce::String& range,
                              const juce::String& fallback, const juce::String& example)
    {
        text << name.paddedRight (' ', 12) << what.paddedRight (' ', 16) << range.paddedRight (' ', 24)
             << fallback.paddedRight (' ', 11) << example << "\n";
    };
    row ("NAME", "READOUT", "RANGE", "DEFAULT", "EXAMPLE");
    for (int i = 0; i < params::numParameters; ++i)
        row (params::name (i), readout::title (i), readout::rangeText (i),
             readout::text (i, params::defaultValue (i)).removeCharacters (" "),
             "--set " + params::name (i) + "=" + readout::exampleText (i));
    text << "\nValues are typed in the readout's unit (dB, ms, s, %, Hz, kHz, N:1, on/off)"
            " or as a plain number from 0 to 1,\nthe parameter's own scale. A plain number above 1"
            " for a ratio is the ratio (4 = 4:1).\n";
    return text;
}
} // namespace render

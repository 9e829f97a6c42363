#include "tools/render/Report.h"

#include "panels/ReadoutUnits.h"
#include "plugin/VarnocAudioProcessor.h"

#include <cmath>

namespace render
{
namespace
{
    juce::var number (double x, int decimals = 2)
    {
        if (! std::isfinite (x))
            return {};
        const double scale = std::pow (10.0, decimals);
        return std::round (x * scale) / scale;
    }

    juce::var figures (const LoudnessFigures& f)
    {
        auto* object = new juce::DynamicObject();
        object->setProperty ("integrated_lufs", number (f.integratedLufs));
        object->setProperty ("loudness_range_lu", number (f.rangeLu));
        object->setProperty ("true_peak_dbtp", number (f.truePeakDbtp));
        return object;
    }

    juce::var path (const std::optional<juce::File>& file)
    {
        return file ? juce::var (file->getFullPathName()) : juce::var();
    }

    juce::var settingsOf (const RenderOptions& options, VarnocAudioProcessor& processor)
    {
        juce::Array<juce::var> parameters;
        for (int i = 0; i < processor.getNumParameters(); ++i)
        {
            auto* parameter = new juce::DynamicObject();
            const float v = processor.getParameter (i);
            parameter->setProperty ("name", processor.getParameterName (i));
            parameter->setProperty ("value", static_cast<double> (v));
            parameter->setProperty ("readout", readout::text (i, v));
            parameters.add (parameter);
        }

        juce::Array<juce::var> typed;
        for (const auto& setting : options.settings)
            typed.add (setting.name + "=" + setting.typed);

        auto* object = new juce::DynamicObject();
        object->setProperty ("state", path (options.stateIn));
        object->setProperty ("program", options.program ? juce::var (*options.program) : juce::var());
        object->setProperty ("set", typed);
        object->setProperty ("block_frames", options.blockFrames);
        object->setProperty ("match_loudness", options.matchLoudness);
        object->setProperty ("allow_truncated", options.allowTruncated);
        object->setProperty ("parameters", parameters);
        return object;
    }

    juce::var fileOf (const FileOutcome& outcome)
    {
        auto* object = new juce::DynamicObject();
        object->setProperty ("input", outcome.task.input ? juce::var (outcome.task.input->getFullPathName()) : juce::var ("(demo)"));
        object->setProperty ("output", outcome.task.output.getFullPathName());
        object->setProperty ("ok", outcome.ok());
        if (! outcome.ok())
        {
            object->setProperty ("error", outcome.error);
            return object;
        }
        if (outcome.warning.isNotEmpty())
            object->setProperty ("warning", outcome.warning);
        const auto& stats = outcome.stats;
        object->setProperty ("seconds", number (static_cast<double> (stats.frames) / stats.sampleRate, 3));
        object->setProperty ("sample_rate", stats.sampleRate);
        object->setProperty ("input_channels", stats.inputChannels);
        object->setProperty ("input_loudness", figures (outcome.input));
        object->setProperty ("output_loudness", figures (outcome.output));
        object->setProperty ("match_gain_db", outcome.matchGainDb ? number (*outcome.matchGainDb) : juce::var());
        if (outcome.matchNote.isNotEmpty())
            object->setProperty ("match_note", outcome.matchNote);
        return object;
    }
} // namespace

juce::String reportJson (const RenderOptions& options, VarnocAudioProcessor& settings,
                         const std::vector<FileOutcome>& outcomes)
{
    juce::Array<juce::var> files;
    for (const auto& outcome : outcomes)
        files.add (fileOf (outcome));

    auto* root = new juce::DynamicObject();
    root->setProperty ("loudness_method", "ITU-R BS.1770-4 / EBU R 128 (libebur128); each file channel weighted 1");
    root->setProperty ("settings", settingsOf (options, settings));
    root->setProperty ("files", files);
    return juce::JSON::toString (juce::var (root)) + "\n";
}
} // namespace render

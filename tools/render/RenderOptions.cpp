#include "tools/render/RenderOptions.h"

#include "panels/ReadoutUnits.h"
#include "plugin/ParameterTable.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace render
{
namespace
{
    juce::File resolve (const juce::File& workingDirectory, const juce::String& path)
    {
        return workingDirectory.getChildFile (path);
    }

    // "--name value" or "--name=value": returns the value and advances i past it.
    std::optional<juce::String> takeValue (const juce::StringArray& args, int& i,
                                           const juce::String& option, juce::String& error)
    {
        const auto& arg = args[i];
        if (arg.startsWith (option + "="))
            return arg.fromFirstOccurrenceOf ("=", false, false);

        if (i + 1 >= args.size())
        {
            error = option + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    }

    juce::String parseSetting (const juce::String& text, std::vector<ParameterSetting>& settings)
    {
        if (! text.containsChar ('='))
            return "--set needs NAME=VALUE, got '" + text + "'";

        const auto name = text.upToFirstOccurrenceOf ("=", false, false).trim();
        const auto valueText = text.fromFirstOccurrenceOf ("=", false, false).trim();
        if (name.isEmpty())
            return "--set needs a parameter name before '=' in '" + text + "'";

        int index = 0;
        while (index < params::numParameters && params::name (index) != name)
            ++index;
        if (index == params::numParameters)
            return "unknown parameter '" + name + "' (see --list-params)";

        const auto parsed = readout::parse (index, valueText);
        if (! parsed.ok())
            return parsed.error;

        settings.push_back ({ name, parsed.value, valueText });
        return {};
    }

    // Options that take no value.
    bool* flagFor (const juce::String& option, RenderOptions& options)
    {
        if (option == "--help" || option == "-h")  return &options.showHelp;
        if (option == "--list-params")             return &options.listParameters;
        if (option == "--match-loudness")          return &options.matchLoudness;
        if (option == "--allow-truncated")         return &options.allowTruncated;
        if (option == "--quiet" || option == "-q") return &options.quiet;
        return nullptr;
    }

    // Applies one option (args[i], possibly consuming its value); returns an error or "".
    juce::String parseOption (const juce::StringArray& args, int& i,
                              const juce::File& cwd, RenderOptions& options)
    {
        const auto arg = args[i];
        const auto option = arg.upToFirstOccurrenceOf ("=", false, false);
        juce::String error;

        if (auto* flag = flagFor (option, options))
        {
            if (arg.containsChar ('='))
                return option + " takes no value";
            *flag = true;
            return {};
        }

        auto value = [&]() { return takeValue (args, i, option, error); };

        if (option == "--program")
        {
            const auto text = value();
            if (! text) return error;
            const auto number = parseInteger (*text);
            if (! number || *number < 0 || *number >= numPrograms)
                return "--program must be a whole number from 0 to " + juce::String (numPrograms - 1)
                       + ", got '" + *text + "'";
            options.program = *number;
            return {};
        }
        if (option == "--block")
        {
            const auto text = value();
            if (! text) return error;
            const auto number = parseInteger (*text);
            if (! number || *number < 1 || *number > maxBlockFrames)
                return "--block must be a whole number from 1 to " + juce::String (maxBlockFrames)
                       + ", got '" + *text + "'";
            options.blockFrames = *number;
            return {};
        }
        if (option == "-j" || option == "--jobs")
        {
            const auto text = value();
            if (! text) return error;
            const auto number = parseInteger (*text);
            if (! number || *number < 1 || *number > maxWorkers)
                return option + " must be a whole number from 1 to " + juce::String (maxWorkers)
                       + ", got '" + *text + "'";
            options.workers = *number;
            return {};
        }
        if (option == "--scale")
        {
            const auto text = value();
            if (! text) return error;
            const auto number = parseScale (*text);
            if (! number)
                return "--scale must be a number from 0.25 to 4 (1 is 100 %), got '" + *text + "'";
            options.editorScale = *number;
            options.scaleGiven = true;
            return {};
        }
        if (option == "--set")
        {
            const auto text = value();
            return text ? parseSetting (*text, options.settings) : error;
        }

        std::optional<juce::File>* fileOption = nullptr;
        if (option == "--state")            fileOption = &options.stateIn;
        else if (option == "--save-state")  fileOption = &options.stateOut;
        else if (option == "--dry")         fileOption = &options.dryOut;
        else if (option == "--editor-png")  fileOption = &options.editorPng;
        else if (option == "--out-dir")     fileOption = &options.outDir;
        else if (option == "--report")      fileOption = &options.report;
        else
            return "unknown option '" + arg + "' (see --help)";

        const auto text = value();
        if (! text) return error;
        if (text->isEmpty())
            return option + " needs a file name";
        *fileOption = resolve (cwd, *text);
        return {};
    }
} // namespace

std::optional<juce::File> RenderOptions::dryFile() const
{
    if (dryOut || ! rendersDemo())
        return dryOut;
    return output.getSiblingFile (output.getFileNameWithoutExtension() + "-dry" + output.getFileExtension());
}

std::vector<FileTask> RenderOptions::tasks() const
{
    if (rendersDemo())
        return { { std::nullopt, output, dryFile() } };
    if (! outDir)
        return { { inputs.front(), output, dryOut } };

    std::vector<FileTask> result;
    for (const auto& input : inputs)
        result.push_back ({ input, outDir->getChildFile (input.getFileName()), std::nullopt });
    return result;
}

namespace
{
    // The whole text as one finite decimal number within [lowest, highest], or nothing.
    std::optional<float> parseNumberWithin (const juce::String& text, double lowest, double highest)
    {
        const auto utf8 = text.trim().toStdString();
        if (utf8.empty())
            return std::nullopt;

        char* end = nullptr;
        errno = 0;
        const double value = std::strtod (utf8.c_str(), &end);
        if (end != utf8.c_str() + utf8.size() || errno != 0 || ! (value >= lowest && value <= highest))
            return std::nullopt;
        return static_cast<float> (value);
    }
} // namespace

std::optional<float> parseScale (const juce::String& text)     { return parseNumberWithin (text, 0.25, 4.0); }

std::optional<int> parseInteger (const juce::String& text)
{
    const auto utf8 = text.trim().toStdString();
    if (utf8.empty())
        return std::nullopt;

    char* end = nullptr;
    errno = 0;
    const long value = std::strtol (utf8.c_str(), &end, 10);
    if (end != utf8.c_str() + utf8.size() || errno != 0 || value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int> (value);
}

namespace
{
    // File names and options that only make sense together.
    juce::String checkCombination (const RenderOptions& options, const juce::StringArray& positional)
    {
        if (positional.contains ("-"))
            return "standard input and output are not supported; give file names";
        if (positional.contains (""))
            return "empty file name";
        if (options.outDir)
        {
            if (positional.isEmpty())
                return "--out-dir needs at least one input file";
            if (options.dryOut)
                return "--dry names one file and cannot be used with --out-dir";
            juce::StringArray names;
            for (const auto& path : positional)
            {
                const auto name = juce::File::createFileWithoutCheckingPath ("/" + path).getFileName();
                if (names.contains (name))
                    return "two inputs are named " + name + "; in one --out-dir they would overwrite each other";
                names.add (name);
            }
        }
        else if (positional.isEmpty())
            return "no output file given (see --help)";
        else if (positional.size() > 2)
            return "too many file names: '" + positional[2]
                 + "' (give IN and OUT, only OUT, or several inputs with --out-dir DIR)";

        if (options.scaleGiven && ! options.editorPng)
            return "--scale only changes the picture of --editor-png; give both or neither";
        if (options.allowTruncated && positional.size() < 2 && ! options.outDir)
            return "--allow-truncated only applies to input files; the demo has none";
        return {};
    }
} // namespace

ParseResult parseArguments (const juce::StringArray& args, const juce::File& workingDirectory)
{
    ParseResult result;
    auto& options = result.options;
    juce::StringArray positional;
    bool optionsEnded = false;

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];
        if (! optionsEnded && arg == "--")
        {
            optionsEnded = true;
            continue;
        }
        if (! optionsEnded && arg.startsWith ("-") && arg != "-")
        {
            result.error = parseOption (args, i, workingDirectory, options);
            if (! result.ok())
                return result;
            continue;
        }
        positional.add (arg);
    }

    if (options.showHelp || options.listParameters)
        return result;

    result.error = checkCombination (options, positional);
    if (! result.ok())
        return result;

    if (options.outDir)
    {
        for (const auto& name : positional)
            options.inputs.push_back (workingDirectory.getChildFile (name));
        return result;
    }
    if (positional.size() == 2)
        options.inputs.push_back (workingDirectory.getChildFile (positional[0]));
    options.output = workingDirectory.getChildFile (positional[positional.size() - 1]);
    return result;
}

juce::String usageText()
{
    return
R"(Usage: dunskara-render [IN] OUT [options]
       dunskara-render IN... --out-dir DIR [options]

Runs the DUNSKARA processor over the audio file IN and writes the result to OUT.
Without IN it renders the built-in demo: a 10 s, 48 kHz stereo mix of kick, snare,
bass and lead, written processed to OUT and unprocessed to OUT-dry.EXT (or --dry).
With --out-dir it renders every IN with the same settings into DIR (created if
missing) under the input's own name and format, each file with its own processor.

Options:
  --program N            switch to program N (0..9) of the bank
  --set NAME=VALUE       set a parameter by name (as hosts list it, e.g. thresh_1,
                         MakeUpGain); may be repeated. VALUE in the readout's unit:
                         thresh_0=-12dB, ratio_0=4:1 (or 4), attack_0=10ms,
                         release_0=0.12s, gain_0=+3dB, Fq_Low=300Hz, Fq_High=2.5kHz,
                         FinalMix=50%, limonoff_0=on; or a plain number from 0 to 1,
                         the parameter's own scale. Out-of-range values are refused.
  --list-params          list every parameter with its readout, range, default and
                         an example, then exit
  --state CHUNKFILE      load a saved state chunk (the bytes a host stores)
  --save-state CHUNKFILE write the state chunk after all settings were applied
  --block FRAMES         frames per processing block (default 512)
  --dry DRYFILE          also write the unprocessed input (demo: default OUT-dry.EXT;
                         not with --out-dir)
  --editor-png PNGFILE   draw the plug-in window, with the final settings, into a PNG
  --scale S              with --editor-png: draw the picture as a screen scaled to S
                         shows it (1 = 100 %, 1.5, 2 = 1828 x 1300; 0.25 to 4)
  --out-dir DIR          render every input file into DIR (see above)
  -j, --jobs N           render N files at a time (default: one per processor core)
  --report FILE.json     write the settings used and, per file, the loudness of input
                         and output (integrated LUFS, loudness range, true peak)
  --match-loudness       add a final gain so that each output's integrated loudness
                         equals its input's (for fair listening); the gain is reported
  --allow-truncated      render the part of a cut-short WAV or AIFF file that is there,
                         with a warning, instead of refusing it
  -q, --quiet            no progress and no summary; errors and warnings still shown
  --help                 show this text

Settings are applied in this order: --state, then --program, then each --set in
the order given. A demo render with none of them uses a demo setting that makes the
compression audible (thresholds lowered, some make-up gain); with any of them the
processor starts from its defaults, which leave a signal below full scale unchanged.

Progress: on a terminal a bar per file being rendered and one for the whole run, with
elapsed and remaining time; otherwise one line per finished file (in batch mode).
Loudness follows ITU-R BS.1770 / EBU R 128 (libebur128), every channel of a file
weighted 1: a mono file reads 3 LU below the same signal in both stereo channels.

Files: WAV, AIFF and FLAC, chosen by the output's extension (.wav, .aif/.aiff, .flac).
Output is stereo, 24-bit, at the input's sample rate. A mono input runs through the
processor's 1-in/2-out configuration; inputs with more than two channels, empty
inputs and truncated WAV or AIFF inputs are refused. Outputs are written to temporary
files beside them and renamed when complete, so a failed or interrupted run leaves no
partial file and replaces nothing. An output must differ from every input. The state
chunk and the picture are kept only when every file rendered.

Exit status: 0 on success; 1 when a file cannot be read, written or loaded (in a
batch: when any file failed; the others are still rendered); 2 for a bad command
line; 130 when interrupted by SIGINT (Ctrl-C), 143 by SIGTERM.
)";
}
} // namespace render

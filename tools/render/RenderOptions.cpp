#include "tools/render/RenderOptions.h"

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

        const auto value = parseUnitValue (valueText);
        if (! value)
            return "value of " + name + " must be a number from 0 to 1, got '" + valueText + "'";

        settings.push_back ({ name, *value });
        return {};
    }

    // Applies one option (args[i], possibly consuming its value); returns an error or "".
    juce::String parseOption (const juce::StringArray& args, int& i,
                              const juce::File& cwd, RenderOptions& options)
    {
        const auto arg = args[i];
        const auto option = arg.upToFirstOccurrenceOf ("=", false, false);
        juce::String error;

        if (option == "--help" || option == "-h")
        {
            options.showHelp = true;
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
        if (option == "--scale")
        {
            const auto text = value();
            if (! text) return error;
            const auto number = parseScale (*text);
            if (! number)
                return "--scale must be a number from 0.25 to 4 (1 is 100 %), got '" + *text + "'";
            options.editorScale = *number;
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

std::optional<float> parseUnitValue (const juce::String& text) { return parseNumberWithin (text, 0.0, 1.0); }
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

    if (options.showHelp)
        return result;

    if (positional.contains ("-"))
        result.error = "standard input and output are not supported; give file names";
    else if (positional.isEmpty())
        result.error = "no output file given (see --help)";
    else if (positional.size() > 2)
        result.error = "too many file names: '" + positional[2] + "' (give IN and OUT, or only OUT)";
    else if (positional.contains (""))
        result.error = "empty file name";

    if (! result.ok())
        return result;

    if (positional.size() == 2)
        options.input = workingDirectory.getChildFile (positional[0]);
    options.output = workingDirectory.getChildFile (positional[positional.size() - 1]);
    return result;
}

juce::String usageText()
{
    return
R"(Usage: dunskara-render [IN] OUT [options]

Runs the DUNSKARA processor over the audio file IN and writes the result to OUT.
Without IN it renders the built-in demo: a 10 s, 48 kHz stereo mix of kick, snare,
bass and lead, written processed to OUT and unprocessed to OUT-dry.EXT (or --dry).

Options:
  --program N            switch to program N (0..9) of the bank
  --set NAME=VALUE       set a parameter by name (as hosts list it, e.g. thresh_1,
                         MakeUpGain) to VALUE from 0 to 1; may be repeated
  --state CHUNKFILE      load a saved state chunk (the bytes a host stores)
  --save-state CHUNKFILE write the state chunk after all settings were applied
  --block FRAMES         frames per processing block (default 512)
  --dry DRYFILE          also write the unprocessed input (demo: default OUT-dry.EXT)
  --editor-png PNGFILE   draw the plug-in window, with the final settings, into a PNG
  --scale S              draw that picture as a screen scaled to S shows it (1 = 100 %,
                         1.5, 2 = 1828 x 1300 from the sharp 2x skin; 0.25 to 4)
  --help                 show this text

Settings are applied in this order: --state, then --program, then each --set in
the order given. A demo render with none of them uses a demo setting that makes the
compression audible (thresholds lowered, some make-up gain); with any of them the
processor starts from its defaults, which leave a signal below full scale unchanged.

Files: WAV, AIFF and FLAC, chosen by OUT's extension (.wav, .aif/.aiff, .flac).
Output is stereo, 24-bit, at the input's sample rate. A mono input runs through the
processor's 1-in/2-out configuration; inputs with more than two channels are refused.
Outputs are written to temporary files beside them and renamed when complete, so a
failed run leaves no partial file. OUT must differ from IN.

Exit status: 0 on success, 1 when a file cannot be read, written or loaded, 2 for a
bad command line.
)";
}
} // namespace render

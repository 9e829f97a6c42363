#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

namespace render
{
// One "--set NAME=VALUE": a parameter by the name the processor reports, value 0..1.
struct ParameterSetting
{
    juce::String name;
    float value = 0.0f;
};

// Everything the command line asks for. Paths are absolute (relative ones are taken
// from the working directory).
struct RenderOptions
{
    std::optional<juce::File> input;   // none: render the built-in demo
    juce::File output;
    std::optional<int> program;
    std::vector<ParameterSetting> settings; // in command-line order
    std::optional<juce::File> stateIn;
    std::optional<juce::File> stateOut;
    std::optional<juce::File> dryOut;       // the demo writes one even when not given
    std::optional<juce::File> editorPng;
    float editorScale = 1.0f;               // --scale: the picture as a screen at this scale shows it
    int blockFrames = 512;
    bool showHelp = false;

    bool rendersDemo() const noexcept { return ! input.has_value(); }
    bool setsParameters() const noexcept { return stateIn || program || ! settings.empty(); }

    // The unprocessed file to write: --dry, or for the demo OUT with "-dry" before the
    // extension.
    std::optional<juce::File> dryFile() const;
};

constexpr int maxBlockFrames = 1 << 20;
constexpr int numPrograms = 10;

struct ParseResult
{
    RenderOptions options;
    juce::String error; // empty when the command line is usable

    bool ok() const noexcept { return error.isEmpty(); }
};

// Parses the arguments after the program name. Checks the command line only; whether
// files exist and names are known is checked when they are used.
ParseResult parseArguments (const juce::StringArray& args, const juce::File& workingDirectory);

// Strict number parsing: the whole text must be the number.
std::optional<float> parseUnitValue (const juce::String& text);   // finite, 0..1
std::optional<int> parseInteger (const juce::String& text);
std::optional<float> parseScale (const juce::String& text);   // finite, 0.25..4

juce::String usageText();
} // namespace render

#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

namespace render
{
// One "--set NAME=VALUE": a parameter by the name the processor reports, the value as
// typed ("-12dB", "4:1", "0.3") and as the 0..1 value it stands for.
struct ParameterSetting
{
    juce::String name;
    float value = 0.0f;
    juce::String typed;
};

// One audio file to render: the demo when there is no input.
struct FileTask
{
    std::optional<juce::File> input;
    juce::File output;
    std::optional<juce::File> dry;
};

// Everything the command line asks for. Paths are absolute (relative ones are taken
// from the working directory).
struct RenderOptions
{
    std::vector<juce::File> inputs;    // none: render the built-in demo
    juce::File output;                 // without --out-dir
    std::optional<juce::File> outDir;  // --out-dir: every input to DIR under its own name
    std::optional<int> program;
    std::vector<ParameterSetting> settings; // in command-line order
    std::optional<juce::File> stateIn;
    std::optional<juce::File> stateOut;
    std::optional<juce::File> dryOut;       // the demo writes one even when not given
    std::optional<juce::File> editorPng;
    float editorScale = 1.0f;               // --scale: the picture as a screen at this scale shows it
    bool scaleGiven = false;
    int blockFrames = 512;
    int workers = 0;                        // -j: 0 means one per core
    std::optional<juce::File> report;       // --report FILE.json
    bool matchLoudness = false;
    bool allowTruncated = false;
    bool quiet = false;
    bool showHelp = false;
    bool listParameters = false;

    bool rendersDemo() const noexcept { return inputs.empty(); }
    bool setsParameters() const noexcept { return stateIn || program || ! settings.empty(); }

    // The unprocessed file to write: --dry, or for the demo OUT with "-dry" before the
    // extension.
    std::optional<juce::File> dryFile() const;

    // The files to render, in command-line order, each with its output.
    std::vector<FileTask> tasks() const;
};

constexpr int maxBlockFrames = 1 << 20;
constexpr int numPrograms = 10;
constexpr int maxWorkers = 64;

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
std::optional<int> parseInteger (const juce::String& text);
std::optional<float> parseScale (const juce::String& text);   // finite, 0.25..4

juce::String usageText();
} // namespace render

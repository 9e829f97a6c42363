#pragma once

#include "tools/render/Loudness.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/Summary.h"

namespace render
{
struct FileProgress;

// What became of one file.
struct FileOutcome
{
    FileTask task;
    int exitCode = 0;            // ExitCode of RenderJob.h
    juce::String error;          // one line when exitCode != 0
    juce::String warning;        // e.g. rendered a truncated file
    RenderStats stats;
    LoudnessFigures input, output;
    std::optional<double> matchGainDb;  // the gain --match-loudness applied
    juce::String matchNote;             // why it applied none
    juce::StringArray written;

    bool ok() const noexcept { return exitCode == 0; }
};

// Renders one file with a processor of its own, set up as the options say: checks the
// names, reads the input (refusing empty and cut-short files), renders, measures the
// loudness of input and output and commits the outputs (audio and dry file) at the end.
// Thread-safe between files. Stops early, leaving nothing behind, on an interrupt.
FileOutcome renderFile (const FileTask& task, const RenderOptions& options, FileProgress& progress);

// Frames of work renderFile will report for the file, or 0 when it cannot be read.
juce::int64 workFor (const FileTask& task, const RenderOptions& options);

// The same path, or two names (links) of one existing file.
bool isSameFile (const juce::File& a, const juce::File& b);

// Refuses an output that is a folder or lies in a folder that does not exist.
juce::Result checkOutputFolder (const juce::File& output);

// The one line a finished file gets: "a.wav -> out/a.wav: 10.00 s, input -23.0 LUFS ...".
juce::String outcomeLine (const FileOutcome& outcome);
} // namespace render

#pragma once

#include "tools/render/FileRender.h"
#include "tools/render/RenderOptions.h"

namespace render
{
enum ExitCode
{
    exitSuccess = 0,
    exitFailure = 1,   // a file cannot be read, written or loaded; in a batch, any file failed
    exitUsage = 2,     // the command line asks for something impossible
    exitInterrupted = 128 // plus the signal's number: 130 for SIGINT, 143 for SIGTERM
};

struct JobResult
{
    int exitCode = exitSuccess;
    juce::String error;    // one line, set when exitCode != 0
    juce::String summary;  // for stdout at the end (may be empty)
    std::vector<FileOutcome> files;
};

// Does everything the options ask for: settings, the files (on worker threads, each
// with its own processor), dry file, state chunk, editor picture, report. Every output
// is written to a temporary file and renamed when complete; a file that fails or is
// interrupted leaves nothing behind and replaces nothing. The state chunk and picture
// are kept only when every file succeeded. Shows progress as ProgressDisplay says.
// Needs JUCE's GUI side initialised when an editor picture is wanted.
JobResult runRenderJob (const RenderOptions& options);

// The usage text followed by the processor's parameter names.
juce::String helpText();

// Every parameter with its readout, range, default and an example (--list-params).
juce::String parameterListText();
} // namespace render

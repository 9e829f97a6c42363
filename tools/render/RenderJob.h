#pragma once

#include "tools/render/RenderOptions.h"

namespace render
{
enum ExitCode
{
    exitSuccess = 0,
    exitFailure = 1,   // a file cannot be read, written or loaded
    exitUsage = 2      // the command line asks for something impossible
};

struct JobResult
{
    int exitCode = exitSuccess;
    juce::String error;    // one line, set when exitCode != 0
    juce::String summary;  // set on success
};

// Does everything the options ask for: settings, render, dry file, state chunk, editor
// picture. All outputs are written to temporary files first and renamed at the end,
// so on failure none of them is created or replaced. Needs JUCE's GUI side initialised
// when an editor picture is wanted.
JobResult runRenderJob (const RenderOptions& options);

// The usage text followed by the processor's parameter names.
juce::String helpText();
} // namespace render

#pragma once

#include "tools/render/FileRender.h"

class VarnocAudioProcessor;

namespace render
{
// The --report document: the settings used (every parameter as a 0..1 value and as its
// readout shows it, and the options that shaped the run) and, per file, the outcome
// with the loudness of input and output. Figures that do not exist (the integrated
// loudness of silence) are null.
juce::String reportJson (const RenderOptions& options, VarnocAudioProcessor& settings,
                         const std::vector<FileOutcome>& outcomes);
} // namespace render

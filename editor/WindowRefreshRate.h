#pragma once

namespace dunskara::editor
{
// The most often, per second, that JUCE redraws the plug-in's windows.
//
// JUCE 7's Linux windows run a timer at the display's refresh rate for as long as they
// exist, whether anything changed or not, and dispatch repaints only on its ticks: at
// 60 Hz (100 Hz where the X server reports no rate) that timer alone costs an idle
// window over a percent of a core, several times what the editor itself spends. The
// editor's fastest animation, the needle meters, moves at 30 frames a second or less
// while the needles fall, and a drag redrawn 30 times a second still follows the
// pointer; JUCE is linked into the plug-in, so only the plug-in's own windows are held
// to this.
constexpr double maxWindowRefreshHz = 25.0;

// Holds the refresh rate JUCE records for each display to maxWindowRefreshHz, before a
// window is put on one. Message thread. JUCE reads the displays again when they change,
// so it is called whenever an editor is made.
void capWindowRefreshRate() noexcept;
} // namespace dunskara::editor

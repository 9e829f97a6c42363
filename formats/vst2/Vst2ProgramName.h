#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>

namespace dunskara::vst2
{
// Hosts exchange program names in buffers of 24 characters plus a terminator.
constexpr std::size_t maxProgramNameBytes = 24;

// A program name as a host hands it over: bytes up to the first 0, read no further
// than maxProgramNameBytes. Valid UTF-8 is read as UTF-8 (a character cut off by the
// byte limit is dropped); anything else is read byte by byte as Latin-1.
juce::String decodeHostProgramName (const char* bytes);

// Writes `name` as UTF-8 into a host buffer of maxProgramNameBytes + 1 bytes, cut at
// a character boundary, always terminated.
void writeHostProgramName (const juce::String& name, char* dest) noexcept;
} // namespace dunskara::vst2

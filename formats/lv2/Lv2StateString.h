#pragma once

#include <cstddef>

namespace dunskara::lv2
{
// The LV2 state value holds the chunk in JUCE's MemoryBlock text form: the byte count
// in decimal, '.', then six bits per character (least significant first) from the
// alphabet ".A-Za-z0-9+", with unused bits of the last character zero. JUCE's decoder
// trusts the count (a "-1." prefix asks it for 2^64 - 1 bytes) and skips characters it
// does not know, so a damaged or truncated text reaches the chunk reader half-decoded.
// True only for a text exactly as JUCE writes it: count without sign or leading zeros,
// at least one byte and at most maxStateBytes, exactly as many characters as the count
// needs, and nothing after them but one terminating NUL.
constexpr std::size_t maxStateBytes = std::size_t { 1 } << 26;

bool isWellFormedStateString (const char* text, std::size_t size) noexcept;
} // namespace dunskara::lv2

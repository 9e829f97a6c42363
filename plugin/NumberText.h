#pragma once

#include <juce_core/juce_core.h>

// Reading the value texts of a saved state.
namespace numbertext
{
// The number at the start of the text, read as juce::String::getDoubleValue reads it
// (leading whitespace skipped, "nan" / "inf" understood, anything else that is no
// number gives 0), with one difference: exponents of any length are safe. JUCE's own
// reader overflows a signed int on "1e9999999999"; here such a text reads as infinity
// (or 0 for a huge negative exponent), and so does a mantissa of more than 309 digits.
double readDouble (const juce::String& text) noexcept;
} // namespace numbertext

#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

// The strict reader for saved state: JUCE's binary framing of an XML document, checked
// by us, then the text checked as XML 1.0 by expat. Anything else than a well-formed
// document with exactly one element (its attributes, no child elements, no text but
// whitespace) is refused as a whole, so a damaged chunk can never load in part.
// Time and memory grow linearly with the chunk's size.
namespace chunk
{
// One element as read from a chunk: the tag and the attributes in document order,
// names and values as the document gives them (references resolved).
struct Element
{
    juce::String tag;
    std::vector<std::pair<juce::String, juce::String>> attributes;
};

constexpr std::size_t maxTextBytes = 1 << 20; // a real chunk holds about 7 KB of text
constexpr std::size_t maxAttributes = 4096;   // a real chunk has 361

// The framing AudioProcessor::copyXmlToBinary writes: the magic 0x21324356 and the text
// length as 32-bit little-endian words, the UTF-8 text, a terminating 0. As in JUCE's
// reader the length field must be positive and bounds the text, which ends at its
// first 0; that 0 must lie inside the data, so a chunk cut short is refused even when
// only its last byte is missing. A length field beyond the data is limited to the data.
// Gives the text without the 0, or nothing.
std::optional<std::string_view> unwrapText (const void* data, std::size_t size) noexcept;

// A well-formed XML 1.0 document in UTF-8 (whatever its declaration says) with no
// document type declaration, exactly one element and no text but whitespace inside it;
// comments and processing instructions are allowed. Nothing for anything else.
std::optional<Element> parseElement (std::string_view xml) noexcept;

// Both steps: what setStateInformation reads.
std::optional<Element> readChunk (const void* data, std::size_t size) noexcept;
} // namespace chunk

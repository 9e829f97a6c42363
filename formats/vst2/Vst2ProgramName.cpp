#include "formats/vst2/Vst2ProgramName.h"

#include <cstring>

namespace dunskara::vst2
{
namespace
{
constexpr bool isContinuation (unsigned char c) noexcept { return (c & 0xc0) == 0x80; }

// Length of the well-formed UTF-8 sequence at s (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF); 0 when it is malformed; -1 when the `avail`
// bytes are a valid start of a sequence that needs more.
int sequenceLength (const unsigned char* s, std::size_t avail) noexcept
{
    const auto lead = s[0];

    if (lead < 0x80)
        return 1;

    int length = 0;
    unsigned char secondMin = 0x80, secondMax = 0xbf;

    if (lead >= 0xc2 && lead <= 0xdf)      length = 2;
    else if (lead >= 0xe0 && lead <= 0xef) length = 3;
    else if (lead >= 0xf0 && lead <= 0xf4) length = 4;
    else                                   return 0;

    if (lead == 0xe0) secondMin = 0xa0;
    if (lead == 0xed) secondMax = 0x9f;
    if (lead == 0xf0) secondMin = 0x90;
    if (lead == 0xf4) secondMax = 0x8f;

    for (int i = 1; i < length; ++i)
    {
        if ((std::size_t) i >= avail)
            return -1;

        const auto c = s[i];

        if (! isContinuation (c) || (i == 1 && (c < secondMin || c > secondMax)))
            return 0;
    }

    return length;
}

// The number of leading bytes to read as UTF-8, or -1 when the text is not UTF-8.
// A sequence cut off by the byte limit (not by the terminator) is left out.
long utf8Extent (const unsigned char* s, std::size_t size, bool cutByLimit) noexcept
{
    std::size_t i = 0;

    while (i < size)
    {
        const auto length = sequenceLength (s + i, size - i);

        if (length == -1 && cutByLimit)
            return (long) i;

        if (length <= 0)
            return -1;

        i += (std::size_t) length;
    }

    return (long) i;
}
} // namespace

juce::String decodeHostProgramName (const char* bytes)
{
    if (bytes == nullptr)
        return {};

    const auto* s = reinterpret_cast<const unsigned char*> (bytes);
    const auto* end = static_cast<const unsigned char*> (std::memchr (s, 0, maxProgramNameBytes));
    const auto size = end != nullptr ? (std::size_t) (end - s) : maxProgramNameBytes;
    const auto extent = utf8Extent (s, size, end == nullptr);

    if (extent >= 0)
        return juce::String::fromUTF8 (bytes, (int) extent);

    juce::juce_wchar latin1[maxProgramNameBytes + 1] {};

    for (std::size_t i = 0; i < size; ++i)
        latin1[i] = s[i];

    return juce::String (juce::CharPointer_UTF32 (latin1));
}

void writeHostProgramName (const juce::String& name, char* dest) noexcept
{
    const auto* s = reinterpret_cast<const unsigned char*> (name.toRawUTF8());
    std::size_t used = 0;

    // juce::String holds well-formed UTF-8; a lead byte gives the sequence's length.
    while (s[used] != 0)
    {
        const auto lead = s[used];
        const std::size_t length = lead < 0xc0 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;

        if (used + length > maxProgramNameBytes
             || std::memchr (s + used, 0, length) != nullptr)
            break;

        used += length;
    }

    std::memcpy (dest, s, used);
    dest[used] = 0;
}
} // namespace dunskara::vst2

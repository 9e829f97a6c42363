#include "Lv2StateString.h"

#include <cstdint>

namespace dunskara::lv2
{
namespace
{
    // The value of an encoding character, or -1 for any other byte.
    int sixBitValue (char c) noexcept
    {
        if (c == '.') return 0;
        if (c >= 'A' && c <= 'Z') return 1 + (c - 'A');
        if (c >= 'a' && c <= 'z') return 27 + (c - 'a');
        if (c >= '0' && c <= '9') return 53 + (c - '0');
        if (c == '+') return 63;
        return -1;
    }
} // namespace

bool isWellFormedStateString (const char* text, std::size_t size) noexcept
{
    if (text == nullptr)
        return false;

    // The text ends at the end of the value or at a NUL that is its last byte.
    std::size_t length = size;
    for (std::size_t i = 0; i < size; ++i)
    {
        if (text[i] == '\0')
        {
            if (i + 1 != size)
                return false;
            length = i;
        }
    }

    std::size_t pos = 0;
    std::uint64_t numBytes = 0;

    while (pos < length && text[pos] >= '0' && text[pos] <= '9')
    {
        if (pos > 0 && numBytes == 0)
            return false;  // leading zero

        numBytes = numBytes * 10 + static_cast<std::uint64_t> (text[pos] - '0');
        if (numBytes > maxStateBytes)
            return false;
        ++pos;
    }

    if (pos == 0 || numBytes == 0 || pos >= length || text[pos] != '.')
        return false;

    ++pos;
    const std::uint64_t numBits = numBytes * 8;
    const std::uint64_t numChars = (numBits + 5) / 6;

    if (length - pos != numChars)
        return false;

    for (std::size_t i = pos; i < length; ++i)
        if (sixBitValue (text[i]) < 0)
            return false;

    // Bits past the last byte are zero in JUCE's encoding.
    const auto unusedBits = static_cast<unsigned> (numChars * 6 - numBits);
    const auto last = static_cast<unsigned> (sixBitValue (text[length - 1]));
    return (last >> (6 - unusedBits)) == 0;
}
} // namespace dunskara::lv2

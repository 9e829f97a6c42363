#include "plugin/NumberText.h"

#include <clocale>
#include <cstdlib>
#include <limits>

namespace numbertext
{
namespace
{
    // The same text-to-number steps as JUCE 7's CharacterFunctions::readDoubleValue, so
    // that every ordinary text gives the very same double: at most 18 significant digits
    // are copied into a short buffer with a three-digit exponent, and the C library
    // converts that buffer in the "C" locale.
    constexpr int maxSignificantDigits = 17 + 1;     // one more digit for rounding
    constexpr int bufferSize = maxSignificantDigits + 7 + 1;

    // Exponent digits beyond this only move the value further out of the double range,
    // so accumulating stops here instead of overflowing.
    constexpr int exponentCeiling = 100000000;

    void writeExponentDigits (int exponent, char* destination) noexcept
    {
        for (int divisor = 100; divisor > 1; divisor /= 10)
        {
            const int digit = exponent / divisor;
            *destination++ = static_cast<char> ('0' + digit);
            exponent -= digit * divisor;
        }
        *destination = static_cast<char> ('0' + exponent);
    }

    bool isLetter (juce::juce_wchar c, char lower) noexcept
    {
        return c == static_cast<juce::juce_wchar> (lower) || c == static_cast<juce::juce_wchar> (lower - 'a' + 'A');
    }
} // namespace

double readDouble (const juce::String& source) noexcept
{
    constexpr auto inf = std::numeric_limits<double>::infinity();
    constexpr int maxExponent = std::numeric_limits<double>::max_exponent10 + 1;
    constexpr int minExponent = std::numeric_limits<double>::min_exponent10 - 1;

    char buffer[bufferSize] = {};
    char* writePtr = buffer;
    bool isNegative = false;

    auto text = source.getCharPointer().findEndOfWhitespace();
    auto c = *text;

    if (c == '-')
    {
        isNegative = true;
        *writePtr++ = '-';
    }
    if (c == '-' || c == '+')
        c = *++text;

    if (isLetter (c, 'n'))
        return isLetter (text[1], 'a') && isLetter (text[2], 'n') ? std::numeric_limits<double>::quiet_NaN() : 0.0;
    if (isLetter (c, 'i'))
        return isLetter (text[1], 'n') && isLetter (text[2], 'f') ? (isNegative ? -inf : inf) : 0.0;

    int numSigFigs = 0, extraExponent = 0;
    bool decimalPointFound = false, leadingZeros = false;

    for (;;)
    {
        if (text.isDigit())
        {
            const int digit = static_cast<int> (text.getAndAdvance()) - '0';

            if (decimalPointFound)
            {
                if (numSigFigs >= maxSignificantDigits)
                    continue;
            }
            else
            {
                if (numSigFigs >= maxSignificantDigits)
                {
                    if (extraExponent < exponentCeiling)
                        ++extraExponent;
                    continue;
                }

                if (numSigFigs == 0 && digit == 0)
                {
                    leadingZeros = true;
                    continue;
                }
            }

            *writePtr++ = static_cast<char> ('0' + digit);
            ++numSigFigs;
        }
        else if (! decimalPointFound && *text == '.')
        {
            ++text;
            *writePtr++ = '.';
            decimalPointFound = true;
        }
        else
        {
            break;
        }
    }

    if (! leadingZeros && numSigFigs == 0)
        return 0.0;

    c = *text;

    if (c == 'e' || c == 'E')
    {
        *writePtr++ = 'e';
        bool exponentIsPositive = true;

        c = *++text;
        if (c == '-')
            exponentIsPositive = false;
        if (c == '-' || c == '+')
            ++text;

        int exponent = 0;
        while (text.isDigit())
        {
            const int digit = static_cast<int> (text.getAndAdvance()) - '0';
            if ((digit != 0 || exponent != 0) && exponent < exponentCeiling)
                exponent = exponent * 10 + digit;
        }

        exponent = extraExponent + (exponentIsPositive ? exponent : -exponent);

        if (exponent < 0)
        {
            if (exponent < minExponent)
                return isNegative ? -0.0 : 0.0;

            *writePtr++ = '-';
            exponent = -exponent;
        }
        else if (exponent > maxExponent)
        {
            return isNegative ? -inf : inf;
        }

        writeExponentDigits (exponent, writePtr);
    }
    else if (extraExponent > 0)
    {
        // JUCE writes digits past three as garbage here; the value is out of range anyway.
        if (extraExponent > maxExponent)
            return isNegative ? -inf : inf;

        *writePtr++ = 'e';
        writeExponentDigits (extraExponent, writePtr);
    }

    static const locale_t cLocale = newlocale (LC_ALL_MASK, "C", nullptr);
    return strtod_l (buffer, nullptr, cLocale);
}
} // namespace numbertext

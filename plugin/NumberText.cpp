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

namespace
{
    constexpr auto inf = std::numeric_limits<double>::infinity();
    constexpr int maxExponent = std::numeric_limits<double>::max_exponent10 + 1;
    constexpr int minExponent = std::numeric_limits<double>::min_exponent10 - 1;

    using Text = juce::String::CharPointerType;

    // What the C library gets: sign, significant digits and exponent, in a short buffer.
    struct Conversion
    {
        char buffer[bufferSize] = {};
        char* writePtr = buffer;
        bool isNegative = false;
        int numSigFigs = 0, extraExponent = 0;
        bool leadingZeros = false;
    };

    // "nan" and "inf" (in any case, after the sign); other letters read as 0.
    bool readNamedValue (Text text, bool isNegative, double& result) noexcept
    {
        const auto c = *text;
        if (isLetter (c, 'n'))
            result = isLetter (text[1], 'a') && isLetter (text[2], 'n') ? std::numeric_limits<double>::quiet_NaN() : 0.0;
        else if (isLetter (c, 'i'))
            result = isLetter (text[1], 'n') && isLetter (text[2], 'f') ? (isNegative ? -inf : inf) : 0.0;
        else
            return false;
        return true;
    }

    // Digits and one decimal point: at most maxSignificantDigits are kept; whole-number
    // digits beyond them raise the exponent instead.
    void readMantissa (Text& text, Conversion& out) noexcept
    {
        bool decimalPointFound = false;

        for (;;)
        {
            if (text.isDigit())
            {
                const int digit = static_cast<int> (text.getAndAdvance()) - '0';

                if (decimalPointFound)
                {
                    if (out.numSigFigs >= maxSignificantDigits)
                        continue;
                }
                else
                {
                    if (out.numSigFigs >= maxSignificantDigits)
                    {
                        if (out.extraExponent < exponentCeiling)
                            ++out.extraExponent;
                        continue;
                    }

                    if (out.numSigFigs == 0 && digit == 0)
                    {
                        out.leadingZeros = true;
                        continue;
                    }
                }

                *out.writePtr++ = static_cast<char> ('0' + digit);
                ++out.numSigFigs;
            }
            else if (! decimalPointFound && *text == '.')
            {
                ++text;
                *out.writePtr++ = '.';
                decimalPointFound = true;
            }
            else
            {
                return;
            }
        }
    }

    // The exponent's digits, limited so that they cannot overflow; false with `result`
    // set when the value is already known to be 0 or infinite.
    bool writeExponent (Text& text, Conversion& out, double& result) noexcept
    {
        auto c = *text;

        if (c == 'e' || c == 'E')
        {
            *out.writePtr++ = 'e';
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

            exponent = out.extraExponent + (exponentIsPositive ? exponent : -exponent);

            if (exponent < 0)
            {
                if (exponent < minExponent)
                {
                    result = out.isNegative ? -0.0 : 0.0;
                    return false;
                }

                *out.writePtr++ = '-';
                exponent = -exponent;
            }
            else if (exponent > maxExponent)
            {
                result = out.isNegative ? -inf : inf;
                return false;
            }

            writeExponentDigits (exponent, out.writePtr);
        }
        else if (out.extraExponent > 0)
        {
            // JUCE writes digits past three as garbage here; the value is out of range anyway.
            if (out.extraExponent > maxExponent)
            {
                result = out.isNegative ? -inf : inf;
                return false;
            }

            *out.writePtr++ = 'e';
            writeExponentDigits (out.extraExponent, out.writePtr);
        }
        return true;
    }
} // namespace

double readDouble (const juce::String& source) noexcept
{
    Conversion conversion;
    auto text = source.getCharPointer().findEndOfWhitespace();
    auto c = *text;

    if (c == '-')
    {
        conversion.isNegative = true;
        *conversion.writePtr++ = '-';
    }
    if (c == '-' || c == '+')
        ++text;

    double result = 0.0;
    if (readNamedValue (text, conversion.isNegative, result))
        return result;

    readMantissa (text, conversion);
    if (! conversion.leadingZeros && conversion.numSigFigs == 0)
        return 0.0;

    if (! writeExponent (text, conversion, result))
        return result;

    static const locale_t cLocale = newlocale (LC_ALL_MASK, "C", nullptr);
    return strtod_l (conversion.buffer, nullptr, cLocale);
}
} // namespace numbertext

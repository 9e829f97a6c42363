#include "plugin/ProgramBank.h"

#include <cstring>
#include <vector>

ProgramBank::ProgramBank()
{
    for (int p = 0; p < params::numPrograms; ++p)
    {
        names[p] = "user" + juce::String (p + 1);
        for (int i = 0; i < params::numParameters; ++i)
            values[p][i].store (params::defaultValue (i), std::memory_order_relaxed);
    }
}

float ProgramBank::getValue (int program, int index) const noexcept
{
    if (! isValidProgram (program) || ! params::isValidIndex (index))
        return 0.0f;
    return values[program][index].load();
}

void ProgramBank::setValue (int program, int index, float value) noexcept
{
    if (isValidProgram (program) && params::isValidIndex (index))
        values[program][index].store (value);
}

juce::String ProgramBank::getName (int program) const
{
    return isValidProgram (program) ? names[program] : juce::String();
}

void ProgramBank::setName (int program, const juce::String& newName)
{
    if (isValidProgram (program))
        names[program] = sanitiseName (newName);
}

namespace
{
    bool isXmlCharacter (juce::juce_wchar c) noexcept
    {
        return c == 0x9 || c == 0xA || c == 0xD
            || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
    }

    constexpr juce::juce_wchar replacementCharacter = 0xFFFD;
} // namespace

juce::String ProgramBank::sanitiseName (const juce::String& name)
{
    // A juce::String may hold bytes that are no valid UTF-8. Decoding them the way
    // JUCE's XML writer does shows which characters would reach the chunk; a name is
    // clean when they are all allowed and its bytes are exactly their UTF-8 encoding.
    int length = 0;
    bool clean = true;
    for (auto p = name.getCharPointer(); clean && ! p.isEmpty(); ++length)
    {
        const auto* start = p.getAddress();
        const auto c = p.getAndAdvance();
        char encoded[8] = {};
        juce::CharPointer_UTF8 (encoded).write (c);
        const auto size = static_cast<size_t> (p.getAddress() - start);
        clean = length < maxNameLength && isXmlCharacter (c)
             && std::strlen (encoded) == size && std::memcmp (encoded, start, size) == 0;
    }

    if (clean)
        return name;

    std::vector<juce::juce_wchar> characters;
    for (auto p = name.getCharPointer(); ! p.isEmpty() && (int) characters.size() < maxNameLength;)
    {
        const auto c = p.getAndAdvance();
        characters.push_back (isXmlCharacter (c) ? c : replacementCharacter);
    }
    characters.push_back (0);
    return juce::String (juce::CharPointer_UTF32 (characters.data()));
}

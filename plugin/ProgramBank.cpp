#include "plugin/ProgramBank.h"

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
    return values[program][index].load (std::memory_order_relaxed);
}

void ProgramBank::setValue (int program, int index, float value) noexcept
{
    if (isValidProgram (program) && params::isValidIndex (index))
        values[program][index].store (value, std::memory_order_relaxed);
}

juce::String ProgramBank::getName (int program) const
{
    return isValidProgram (program) ? names[program] : juce::String();
}

void ProgramBank::setName (int program, const juce::String& newName)
{
    if (isValidProgram (program))
        names[program] = newName;
}

#pragma once

#include "plugin/ParameterTable.h"

#include <atomic>

// Ten programs, each a full set of the 35 parameter values with a name.
// Values are atomics: hosts write them from automation threads while another
// thread may be saving the bank. Names are plain strings: the processor reads and
// replaces them only under its state lock.
class ProgramBank final
{
public:
    ProgramBank();

    float getValue (int program, int index) const noexcept;
    void setValue (int program, int index, float value) noexcept;

    juce::String getName (int program) const;
    void setName (int program, const juce::String& newName); // stores sanitiseName (newName)

    // Names are kept as text that XML 1.0 can hold, so that the saved state always reads
    // back: a character XML cannot carry (a control other than tab, newline and carriage
    // return, a surrogate, U+FFFE, U+FFFF, anything beyond U+10FFFF) becomes U+FFFD, and
    // a name is cut after maxNameLength characters. Clean names come back unchanged.
    static constexpr int maxNameLength = 256;
    static juce::String sanitiseName (const juce::String& name);

    static bool isValidProgram (int program) noexcept { return program >= 0 && program < params::numPrograms; }

private:
    std::atomic<float> values[params::numPrograms][params::numParameters];
    juce::String names[params::numPrograms];

    JUCE_DECLARE_NON_COPYABLE (ProgramBank)
};

// The name, and the range every parameter has: 0 to 1.
struct ParameterDescriptor
{
    juce::String name;
    float minimum = 0.0f;
    float maximum = 1.0f;
};

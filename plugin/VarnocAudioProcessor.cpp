#include "plugin/VarnocAudioProcessor.h"
#include "plugin/ChangeStamps.h"

#include <cmath>

namespace
{
    // The crossover filters ring on after the input stops; at the lowest crossover
    // (about 95 Hz) their slowest pole pair has decayed by 60 dB after about 30 ms.
    constexpr double crossoverTailSeconds = 0.05;

    constexpr double defaultSampleRate = 44100.0;
} // namespace

VarnocAudioProcessor::VarnocAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
{
    parameterDescriptors = std::make_unique<std::array<ParameterDescriptor, params::numParameters>>();
    for (int i = 0; i < params::numParameters; ++i)
        (*parameterDescriptors)[(size_t) i].name = params::name (i);

    programBank = std::make_unique<ProgramBank>();
    for (int i = 0; i < params::numParameters; ++i)
        parameterValues[i].store (programBank->getValue (0, i), std::memory_order_relaxed);
    currentProgram.store (0);

    for (auto& unit : bandDynamics)
        unit = std::make_unique<DynamicsUnit> (defaultSampleRate);

    for (int b = 0; b < params::numBands; ++b)
    {
        bandAddAmount[b].store (0.0f);
        bandGain[b].store (1.0f);
        bandLevelMultiplier[b].store (1.0f);
        bandLevel[b][0].store (0.0f);
        bandLevel[b][1].store (0.0f);
    }

    // The signal chain follows the stored parameters whether or not an editor is open.
    applyAllParameters();
}

VarnocAudioProcessor::~VarnocAudioProcessor()
{
    freeWorkArrays();
}

//==============================================================================
const juce::String VarnocAudioProcessor::getName() const { return "DUNSKARA"; }

const juce::String VarnocAudioProcessor::getInputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

const juce::String VarnocAudioProcessor::getOutputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

bool VarnocAudioProcessor::isInputChannelStereoPair (int) const  { return true; }
bool VarnocAudioProcessor::isOutputChannelStereoPair (int) const { return true; }

bool VarnocAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    if (layouts.inputBuses.size() != 1 || layouts.outputBuses.size() != 1)
        return false;

    const auto in = layouts.getMainInputChannelSet();
    return layouts.getMainOutputChannelSet() == juce::AudioChannelSet::stereo()
        && (in == juce::AudioChannelSet::mono() || in == juce::AudioChannelSet::stereo());
}

bool VarnocAudioProcessor::acceptsMidi() const  { return false; }
bool VarnocAudioProcessor::producesMidi() const { return false; }

double VarnocAudioProcessor::getTailLengthSeconds() const { return crossoverTailSeconds; }

namespace
{
    std::atomic<VarnocAudioProcessor::EditorFactory> editorFactory { nullptr };
} // namespace

void VarnocAudioProcessor::setEditorFactory (EditorFactory factory) noexcept
{
    editorFactory.store (factory);
}

juce::AudioProcessorEditor* VarnocAudioProcessor::createEditor()
{
    const auto factory = editorFactory.load();
    return factory != nullptr ? factory (*this) : nullptr;
}

bool VarnocAudioProcessor::hasEditor() const { return editorFactory.load() != nullptr; }

//==============================================================================
int VarnocAudioProcessor::getNumParameters() { return params::numParameters; }

const juce::String VarnocAudioProcessor::getParameterName (int index)
{
    return params::isValidIndex (index) ? (*parameterDescriptors)[(size_t) index].name : juce::String();
}

juce::String VarnocAudioProcessor::getParameterID (int index)
{
    return params::hostId (index);
}

float VarnocAudioProcessor::getParameter (int index)
{
    return params::isValidIndex (index) ? parameterValues[index].load (std::memory_order_relaxed) : 0.0f;
}

// Hosts show these as each parameter's starting value (LV2 and VST3 declare them).
float VarnocAudioProcessor::getParameterDefaultValue (int index)
{
    return params::defaultValue (index);
}

const juce::String VarnocAudioProcessor::getParameterText (int index)
{
    return params::isValidIndex (index) ? juce::String (getParameter (index), 2) : juce::String();
}

void VarnocAudioProcessor::setParameter (int index, float newValue)
{
    // Non-finite values (a broken host or automation lane) would poison the signal chain.
    if (! params::isValidIndex (index) || ! std::isfinite (newValue))
        return;

    if (newValue == parameterValues[index].load())
        return;

    parameterValues[index].store (newValue);

    // The current program's row follows, unless a state operation is replacing values
    // right now: it brings the row in line itself when it ends. The value was stored
    // before the epoch is read, so an operation that starts later sees it.
    if ((stateEpoch.load() & 1u) == 0)
        programBank->setValue (currentProgram.load(), index, newValue);

    applyParameter (index);
    changeCount.fetch_add (1, std::memory_order_release);
}

void VarnocAudioProcessor::applyParameter (int index) noexcept
{
    if (! params::isValidIndex (index))
        return;

    params::applyToProcessor (*this, index, parameterValues[index].load());
    changedParameters.fetch_or (std::uint64_t { 1 } << index);
}

bool VarnocAudioProcessor::isParameterDiscrete (int index) const
{
    return params::isSwitch (index);
}

int VarnocAudioProcessor::getParameterNumSteps (int index)
{
    return params::isSwitch (index) ? 2 : juce::AudioProcessor::getDefaultNumParameterSteps();
}

//==============================================================================
int VarnocAudioProcessor::getNumPrograms() { return params::numPrograms; }

int VarnocAudioProcessor::getCurrentProgram()
{
    return currentProgram.load();
}

void VarnocAudioProcessor::setCurrentProgram (int index)
{
    if (! ProgramBank::isValidProgram (index))
        return;

    {
        const StateLock lock (stateLock);
        beginStateChange();

        // Each live value is swapped for the new program's in one step: an automated
        // value lands either in the old program's row or in the new program, never lost
        // between them. Choosing the current program again keeps its live values.
        const int from = currentProgram.load();
        if (index != from)
        {
            for (int i = 0; i < params::numParameters; ++i)
                programBank->setValue (from, i, parameterValues[i].exchange (programBank->getValue (index, i)));
            currentProgram.store (index);
        }

        endStateChange();
    }
    askHostToRereadValues();
}

const juce::String VarnocAudioProcessor::getProgramName (int index)
{
    // The copy is taken under the lock: a rename on another thread frees the old text.
    const StateLock lock (stateLock);
    return programBank->getName (index);
}

void VarnocAudioProcessor::changeProgramName (int index, const juce::String& newName)
{
    const StateLock lock (stateLock);
    programBank->setName (index, newName);
}

//==============================================================================
void VarnocAudioProcessor::applyAllParameters() noexcept
{
    for (int i = 0; i < params::numParameters; ++i)
        params::applyToProcessor (*this, i, parameterValues[i].load());
}

void VarnocAudioProcessor::applyChangedParameters() noexcept
{
    // Cleared before the values are read: a value stored meanwhile marks itself again.
    auto pending = changedParameters.exchange (0);
    for (int i = 0; pending != 0; ++i, pending >>= 1)
        if ((pending & 1u) != 0)
            params::applyToProcessor (*this, i, parameterValues[i].load());
}

void VarnocAudioProcessor::beginStateChange() noexcept
{
    // Each dynamics unit takes all its new settings at once, never half of a program.
    for (auto& unit : bandDynamics)
        unit->beginSettingsChange();

    stateEpoch.fetch_add (1); // odd: setParameter leaves the bank row to us
    syncCurrentProgramRow();
}

void VarnocAudioProcessor::endStateChange() noexcept
{
    stateEpoch.fetch_add (1); // even again
    syncCurrentProgramRow();

    applyAllParameters();
    changedParameters.fetch_or ((std::uint64_t { 1 } << params::numParameters) - 1);

    for (auto& unit : bandDynamics)
        unit->endSettingsChange();

    changeCount.fetch_add (1, std::memory_order_release);
}

// Copies the live values into the current program's row. A value stored while it is
// being copied is copied again; one stored after that writes the row itself.
void VarnocAudioProcessor::syncCurrentProgramRow() noexcept
{
    const int program = currentProgram.load();
    for (int i = 0; i < params::numParameters; ++i)
    {
        float v = parameterValues[i].load();
        for (;;)
        {
            programBank->setValue (program, i, v);
            const float now = parameterValues[i].load();
            if (now == v || (std::isnan (now) && std::isnan (v)))
                break;
            v = now;
        }
    }
}

void VarnocAudioProcessor::askHostToRereadValues()
{
    // "Program changed" is what makes the VST2 wrapper send audioMasterUpdateDisplay
    // and the VST3 wrapper restart the component with its values changed. The stamp lets
    // the VST3 layer keep a host's edits made after this replacement.
    changestamps::markValuesReplaced();
    updateHostDisplay (ChangeDetails{}.withProgramChanged (true));
}

#include "plugin/VarnocAudioProcessor.h"
#include "editor/VarnocAudioProcessorEditor.h"

#include <cmath>

namespace
{
    // The crossover filters ring on after the input stops; at the lowest crossover
    // (about 95 Hz) their slowest pole pair has decayed by 60 dB after about 30 ms.
    constexpr double crossoverTailSeconds = 0.05;

    constexpr double defaultSampleRate = 44100.0;

    bool isSwitch (int index) noexcept
    {
        if (index == params::mainOnOff)
            return true;

        const int position = index % params::perBand;
        return index >= 0 && index < params::numBands * params::perBand
            && (position == params::limonoff || position == params::chanonoff);
    }
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

juce::AudioProcessorEditor* VarnocAudioProcessor::createEditor()
{
    return new VarnocAudioProcessorEditor (*this);
}

bool VarnocAudioProcessor::hasEditor() const { return true; }

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

    {
        // The live value, the bank row and the signal chain change together, so that a
        // program change or chunk load on another thread cannot slip in between.
        const StateLock lock (stateLock);
        if (newValue == parameterValues[index].load (std::memory_order_relaxed))
            return;

        parameterValues[index].store (newValue, std::memory_order_relaxed);
        programBank->setValue (currentProgram.load(), index, newValue);
        params::applyToProcessor (*this, index, newValue);
    }

    sendChangeMessage(); // only posts when someone listens
}

bool VarnocAudioProcessor::isParameterDiscrete (int index) const
{
    return isSwitch (index);
}

int VarnocAudioProcessor::getParameterNumSteps (int index)
{
    return isSwitch (index) ? 2 : juce::AudioProcessor::getDefaultNumParameterSteps();
}

//==============================================================================
int VarnocAudioProcessor::getNumPrograms() { return params::numPrograms; }

int VarnocAudioProcessor::getCurrentProgram()
{
    const StateLock lock (stateLock);
    const int program = currentProgram.load();
    for (int i = 0; i < params::numParameters; ++i)
        programBank->setValue (program, i, parameterValues[i].load (std::memory_order_relaxed));
    return program;
}

void VarnocAudioProcessor::setCurrentProgram (int index)
{
    if (! ProgramBank::isValidProgram (index))
        return;

    {
        const StateLock lock (stateLock);
        for (int i = 0; i < params::numParameters; ++i)
            parameterValues[i].store (programBank->getValue (index, i), std::memory_order_relaxed);
        currentProgram.store (index);

        applyAllParameters();
    }
    sendChangeMessage();
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
void VarnocAudioProcessor::applyAllParameters()
{
    for (int i = 0; i < params::numParameters; ++i)
        params::applyToProcessor (*this, i, parameterValues[i].load (std::memory_order_relaxed));
}

void VarnocAudioProcessor::askHostToRereadValues()
{
    // "Program changed" is what makes the VST2 wrapper send audioMasterUpdateDisplay
    // and the VST3 wrapper restart the component with its values changed.
    updateHostDisplay (ChangeDetails{}.withProgramChanged (true));
}

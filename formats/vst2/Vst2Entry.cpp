// The VST2 entry points that hosts see. JUCE's wrapper (7.0.5) trusts the host: it
// dereferences null pointers handed to opcodes, processes whatever buffers and block
// lengths arrive, and frees its one chunk buffer on every save and load, even while a
// host still reads from it. Our entry points create JUCE's effect and put our
// dispatcher and processing functions in front of JUCE's (Vst2Process.cpp has the
// audio side, Vst2Chunks.cpp the chunks), so JUCE only ever sees well-formed calls.
// JUCE's own entry points are renamed by the build (see Vst2.cmake);
// everything the host sees of the effect record is otherwise JUCE's.

#include "formats/common/PluginFactory.h"
#include "formats/vst2/Vst2Chunks.h"
#include "formats/vst2/Vst2Instances.h"
#include "formats/vst2/Vst2ParameterProperties.h"
#include "formats/vst2/Vst2Process.h"
#include "formats/vst2/Vst2ProgramName.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <memory>
#include <new>

#if ! defined (VSTPluginMain)
 #error "Vst2Entry.cpp needs JUCE's VSTPluginMain renamed by the build"
#endif

extern "C" Vst2::AEffect* VSTPluginMain (Vst2::audioMasterCallback);  // JUCE's, renamed

namespace
{
Vst2::AEffect* createJuceEffect (Vst2::audioMasterCallback hostCallback) { return VSTPluginMain (hostCallback); }
} // namespace

#undef VSTPluginMain

namespace dunskara::vst2
{
namespace
{
Vst2::VstIntPtr forward (Instance& instance, Vst2::AEffect* effect, Vst2::VstInt32 opcode, Vst2::VstInt32 index,
                         Vst2::VstIntPtr value, void* ptr, float opt)
{
    return instance.dispatcher (effect, opcode, index, value, ptr, opt);
}

// Opcodes whose pointer argument JUCE's wrapper dereferences or hands on unchecked.
bool needsPointer (Vst2::VstInt32 opcode) noexcept
{
    switch (opcode)
    {
        case Vst2::effGetProgramName:
        case Vst2::effSetProgramName:
        case Vst2::effGetProgramNameIndexed:
        case Vst2::effGetParamLabel:
        case Vst2::effGetParamDisplay:
        case Vst2::effGetParamName:
        case Vst2::effString2Parameter:
        case Vst2::effEditGetRect:
        case Vst2::effGetChunk:
        case Vst2::effSetChunk:
        case Vst2::effProcessEvents:
        case Vst2::effGetInputProperties:
        case Vst2::effGetOutputProperties:
        case Vst2::effGetEffectName:
        case Vst2::effGetVendorString:
        case Vst2::effGetProductString:
        case Vst2::effCanDo:
        case Vst2::effGetSpeakerArrangement:
        case Vst2::effSetSpeakerArrangement:
            return true;
        default:
            return false;
    }
}

// The speaker opcodes pass the input arrangement's pointer in `value`.
bool needsPointerValue (Vst2::VstInt32 opcode) noexcept
{
    return opcode == Vst2::effGetSpeakerArrangement || opcode == Vst2::effSetSpeakerArrangement;
}

// Stops the audio side reaching JUCE; false when that cannot be done safely because
// the host calls from inside our own audio callback.
bool stopAudio (Slot& slot, Instance& instance) noexcept
{
    const bool wasResumed = instance.resumed.exchange (false);

    if (waitForAudioToLeave (slot))
        return true;

    instance.resumed.store (wasResumed);
    return false;
}

Vst2::VstIntPtr setMainsOn (Slot& slot, Instance& instance, Vst2::AEffect* effect, bool on)
{
    if (! stopAudio (slot, instance))
        return 0;

    if (! on)
        return forward (instance, effect, Vst2::effMainsChanged, 0, 0, nullptr, 0.0f);

    // Without scratch space the effect stays suspended and gives silence.
    if (! prepareScratch (instance, instance.announcedBlockSize))
        return 0;

    instance.blockSize = instance.announcedBlockSize;
    const auto result = forward (instance, effect, Vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
    instance.resumed.store (true);
    return result;
}

Vst2::VstIntPtr setBlockSize (Instance& instance, Vst2::AEffect* effect, Vst2::VstIntPtr value)
{
    // JUCE prepares its processor with this size; zero or less would leave it none.
    if (value > 0)
        instance.announcedBlockSize = (int) std::min<Vst2::VstIntPtr> (value, maxBlockSize);

    return forward (instance, effect, Vst2::effSetBlockSize, 0, instance.announcedBlockSize, nullptr, 0.0f);
}

Vst2::VstIntPtr setSampleRate (Instance& instance, Vst2::AEffect* effect, float rate)
{
    if (! std::isfinite (rate) || rate <= 0.0f)
        return 0;

    return forward (instance, effect, Vst2::effSetSampleRate, 0, 0, nullptr, rate);
}

// JUCE reads only the low 32 bits of the program number: 1 << 32 would pick program 0.
Vst2::VstIntPtr setProgram (Instance& instance, Vst2::AEffect* effect, Vst2::VstIntPtr value)
{
    const auto numPrograms = instance.processor != nullptr ? instance.processor->getNumPrograms() : 0;

    if (value < 0 || value >= numPrograms)
        return 0;

    return forward (instance, effect, Vst2::effSetProgram, 0, value, nullptr, 0.0f);
}

// Program names travel as UTF-8 in both directions (JUCE's wrapper would read the
// host's bytes as Latin-1 and could cut a character in half on the way out).
Vst2::VstIntPtr programName (Instance& instance, Vst2::AEffect* effect, Vst2::VstInt32 opcode,
                             Vst2::VstInt32 index, Vst2::VstIntPtr value, void* ptr, float opt)
{
    auto* processor = instance.processor;

    if (processor == nullptr)
        return forward (instance, effect, opcode, index, value, ptr, opt);

    const int numPrograms = processor->getNumPrograms();
    auto* text = static_cast<char*> (ptr);

    switch (opcode)
    {
        case Vst2::effSetProgramName:
            if (numPrograms > 0)
                processor->changeProgramName (processor->getCurrentProgram(), decodeHostProgramName (text));
            return 0;

        case Vst2::effGetProgramName:
            if (numPrograms > 0)
                writeHostProgramName (processor->getProgramName (processor->getCurrentProgram()), text);
            return 0;

        default:  // effGetProgramNameIndexed
            if (index < 0 || index >= numPrograms)
                return 0;

            writeHostProgramName (processor->getProgramName (index), text);
            return 1;
    }
}

Vst2::VstIntPtr close (Slot& slot, Instance* instance, Vst2::AEffect* effect)
{
    // Closing from inside our own audio callback would delete the running effect.
    if (! stopAudio (slot, *instance))
        return 0;

    const auto innerDispatcher = instance->dispatcher;
    removeInstance (slot);
    waitForAudioToLeave (slot);
    delete instance;

    innerDispatcher (effect, Vst2::effClose, 0, 0, nullptr, 0.0f);  // JUCE deletes the effect
    return 1;
}

Vst2::VstIntPtr dispatcher (Vst2::AEffect* effect, Vst2::VstInt32 opcode, Vst2::VstInt32 index,
                            Vst2::VstIntPtr value, void* ptr, float opt)
{
    auto* slot = findSlot (effect);
    auto* instance = slot != nullptr ? slot->instance.load() : nullptr;

    if (instance == nullptr)
        return 0;  // closed already, or never ours

    if ((needsPointer (opcode) && ptr == nullptr) || (needsPointerValue (opcode) && value == 0))
        return 0;

    switch (opcode)
    {
        case Vst2::effClose:                 return close (*slot, instance, effect);
        case Vst2::effMainsChanged:          return setMainsOn (*slot, *instance, effect, value != 0);
        case Vst2::effSetBlockSize:          return setBlockSize (*instance, effect, value);
        case Vst2::effSetSampleRate:         return setSampleRate (*instance, effect, opt);
        case Vst2::effGetChunk:              return getChunk (*instance, index, static_cast<void**> (ptr));
        case Vst2::effSetChunk:              return setChunk (*instance, effect, index, value, ptr);
        case Vst2::effSetProgram:            return setProgram (*instance, effect, value);
        case Vst2::effGetParameterProperties:
            return getParameterProperties (index, static_cast<Vst2::VstParameterProperties*> (ptr));
        case Vst2::effSetProgramName:
        case Vst2::effGetProgramName:
        case Vst2::effGetProgramNameIndexed: return programName (*instance, effect, opcode, index, value, ptr, opt);
        default:                             return forward (*instance, effect, opcode, index, value, ptr, opt);
    }
}

Vst2::AEffect* create (Vst2::audioMasterCallback hostCallback)
{
    // JUCE's entry calls the host straight away.
    if (hostCallback == nullptr)
        return nullptr;

    auto* effect = createJuceEffect (hostCallback);
    auto* processor = dunskara::format::takeProcessorCreatedOnThisThread();

    if (effect == nullptr)
        return nullptr;

    const auto giveUp = [effect]
    {
        effect->dispatcher (effect, Vst2::effClose, 0, 0, nullptr, 0.0f);
        return nullptr;
    };

    if (effect->numInputs < 0 || effect->numInputs > maxChannels
        || effect->numOutputs < 0 || effect->numOutputs > maxChannels)
        return giveUp();

    std::unique_ptr<Instance> instance (new (std::nothrow) Instance());

    if (instance == nullptr)
        return giveUp();

    instance->dispatcher = effect->dispatcher;
    instance->processReplacing = effect->processReplacing;
    instance->processDoubleReplacing = effect->processDoubleReplacing;
    instance->process = effect->process;
    instance->processor = processor;
    instance->numInputs = effect->numInputs;
    instance->numOutputs = effect->numOutputs;

    if (addInstance (effect, instance.get()) == nullptr)
        return giveUp();

    instance.release();
    effect->dispatcher = dispatcher;
    effect->processReplacing = processReplacing;
    effect->processDoubleReplacing = processDoubleReplacing;

    if (effect->process != nullptr)
        effect->process = processAccumulating;

    return effect;
}
} // namespace
} // namespace dunskara::vst2

// Both names hosts look up lead to the same creation routine.
extern "C" __attribute__ ((visibility ("default"))) Vst2::AEffect* VSTPluginMain (Vst2::audioMasterCallback hostCallback)
{
    return dunskara::vst2::create (hostCallback);
}

extern "C" __attribute__ ((visibility ("default"))) Vst2::AEffect* dunskaraLegacyMain (Vst2::audioMasterCallback) asm ("main");
extern "C" __attribute__ ((visibility ("default"))) Vst2::AEffect* dunskaraLegacyMain (Vst2::audioMasterCallback hostCallback)
{
    return dunskara::vst2::create (hostCallback);
}

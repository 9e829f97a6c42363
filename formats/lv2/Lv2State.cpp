// The state interface. The saved state is the one JUCE's LV2 client wrote, so sessions
// and presets of earlier builds load: under <plugin URI>:StateString the chunk
// (getStateInformation) as JUCE's MemoryBlock text, an atom:String with its NUL; under
// <plugin URI>:Program an atom:Int, which only presets hold and which selects that
// program. A restore takes the host's port values at that moment as seen (see Instance).

#include "formats/common/UsableChunk.h"
#include "formats/lv2/Lv2Instance.h"
#include "formats/lv2/Lv2StateString.h"

#include "lv2/state/state.h"

#include <cstring>

namespace dunskara::lv2
{
namespace
{
    struct StateValue
    {
        const void* data = nullptr;
        size_t size = 0;
        uint32_t type = 0;
    };

    StateValue fetch (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t key)
    {
        StateValue value;
        uint32_t flags = 0;
        value.data = retrieve (handle, key, &value.size, &value.type, &flags);
        return value;
    }

    LV2_State_Status save (LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle storeHandle,
                           uint32_t, const LV2_Feature* const*)
    {
        auto* instance = Instance::from (handle);
        if (instance == nullptr || store == nullptr || ! instance->hasState)
            return LV2_STATE_ERR_UNKNOWN;

        try
        {
            juce::MemoryBlock chunk;
            instance->processor->getStateInformation (chunk);
            const auto text = chunk.toBase64Encoding();
            return store (storeHandle, instance->stateKey, text.toRawUTF8(), text.getNumBytesAsUTF8() + 1,
                          instance->stringType, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
        }
        catch (...)
        {
            return LV2_STATE_ERR_UNKNOWN;
        }
    }

    bool isProgram (const Instance& instance, const StateValue& value) noexcept
    {
        return value.data != nullptr && value.type == instance.intType && value.size == sizeof (int32_t);
    }

    // A program preset: an Int naming one of the programs.
    LV2_State_Status restoreProgram (Instance& instance, const StateValue& program)
    {
        int32_t index = 0;
        std::memcpy (&index, program.data, sizeof (index));

        if (! ProgramBank::isValidProgram (index))
            return LV2_STATE_ERR_UNKNOWN;

        instance.processor->setCurrentProgram (index);
        return LV2_STATE_SUCCESS;
    }

    // A whole state: the chunk's text, checked before it is decoded, and the chunk.
    LV2_State_Status restoreChunk (Instance& instance, const StateValue& state)
    {
        if (state.data == nullptr)
            return LV2_STATE_ERR_NO_PROPERTY;

        if (state.type != instance.stringType)
            return LV2_STATE_ERR_BAD_TYPE;

        const auto* text = static_cast<const char*> (state.data);
        if (! isWellFormedStateString (text, state.size))
            return LV2_STATE_ERR_UNKNOWN;

        juce::MemoryBlock data;
        if (! data.fromBase64Encoding (juce::String::fromUTF8 (text, static_cast<int> (std::strlen (text))))
            || ! format::isUsableChunk (*instance.processor, data))
            return LV2_STATE_ERR_UNKNOWN;

        instance.processor->setStateInformation (data.getData(), static_cast<int> (data.getSize()));
        return LV2_STATE_SUCCESS;
    }

    LV2_State_Status restore (LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle retrieveHandle,
                              uint32_t, const LV2_Feature* const*)
    {
        auto* instance = Instance::from (handle);
        if (instance == nullptr || retrieve == nullptr || ! instance->hasState)
            return LV2_STATE_ERR_UNKNOWN;

        try
        {
            const auto program = fetch (retrieve, retrieveHandle, instance->programKey);
            // As JUCE's client did: a usable program key first, else the whole state.
            const auto status = isProgram (*instance, program)
                                    ? restoreProgram (*instance, program)
                                    : restoreChunk (*instance, fetch (retrieve, retrieveHandle, instance->stateKey));

            if (status == LV2_STATE_SUCCESS)
                instance->adoptPortValues();

            return status;
        }
        catch (...)
        {
            return LV2_STATE_ERR_UNKNOWN;
        }
    }
} // namespace

const void* stateInterface() noexcept
{
    static const LV2_State_Interface interface { save, restore };
    return &interface;
}
} // namespace dunskara::lv2

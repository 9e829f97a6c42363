#include "formats/vst2/Vst2ParameterProperties.h"

#include "plugin/ParameterTable.h"

#include <cstring>

namespace dunskara::vst2
{
namespace
{
// Every control moves in steps of 0.001; hosts show values to two decimals, so a coarse
// step is one step of the text they show.
constexpr float fineStep = 0.001f;
constexpr float coarseStep = 0.01f;
} // namespace

Vst2::VstIntPtr getParameterProperties (Vst2::VstInt32 index, Vst2::VstParameterProperties* properties)
{
    if (properties == nullptr || ! params::isValidIndex (index))
        return 0;

    std::memset (properties, 0, sizeof (*properties));

    // The label is the name hosts already show for the parameter (effGetParamName).
    params::name (index).copyToUTF8 (properties->label, sizeof (properties->label));

    if (params::isSwitch (index))
    {
        // Off is 0 and on is 1 (every value above 0 still counts as on).
        properties->flags = Vst2::kVstParameterIsSwitch | Vst2::kVstParameterUsesIntegerMinMax
                          | Vst2::kVstParameterUsesIntStep;
        properties->minInteger = 0;
        properties->maxInteger = 1;
        properties->stepInteger = 1;
        properties->largeStepInteger = 1;
        return 1;
    }

    properties->flags = Vst2::kVstParameterUsesFloatStep;
    properties->stepFloat = fineStep;
    properties->smallStepFloat = fineStep;
    properties->largeStepFloat = coarseStep;
    return 1;
}
} // namespace dunskara::vst2

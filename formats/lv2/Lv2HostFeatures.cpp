#include "Lv2HostFeatures.h"

#include "lv2/atom/atom.h"
#include "lv2/buf-size/buf-size.h"

#include <cstring>

namespace dunskara::lv2
{
namespace
{
    // Bounds the walk through lists a broken host forgot to terminate.
    constexpr std::size_t maxListEntries = 1024;

    template <typename Value>
    Value readValue (const void* data) noexcept
    {
        Value value {};
        std::memcpy (&value, data, sizeof (Value));
        return value;
    }
} // namespace

const void* findFeature (const LV2_Feature* const* features, const char* uri) noexcept
{
    if (features == nullptr)
        return nullptr;

    for (std::size_t i = 0; i < maxListEntries && features[i] != nullptr; ++i)
        if (features[i]->URI != nullptr && std::strcmp (features[i]->URI, uri) == 0)
            return features[i]->data;

    return nullptr;
}

HostFeatures::HostFeatures (const LV2_Feature* const* hostFeatures) noexcept
{
    uridMap = static_cast<const LV2_URID_Map*> (findFeature (hostFeatures, LV2_URID__map));

    if (uridMap != nullptr && uridMap->map == nullptr)
        uridMap = nullptr;

    if (uridMap == nullptr)
        return;

    const auto* hostOptions = static_cast<const LV2_Options_Option*> (findFeature (hostFeatures, LV2_OPTIONS__options));
    const auto hostLength = readHostBlockLength (hostOptions);

    if (hostLength > 0)
        length = static_cast<uint32_t> (hostLength < maxBlockLength ? hostLength : maxBlockLength);
}

// The host's maxBlockLength as a number of frames, or 0 when absent or unreadable.
int64_t HostFeatures::readHostBlockLength (const LV2_Options_Option* hostOptions) const noexcept
{
    if (hostOptions == nullptr)
        return 0;

    const auto key = uridMap->map (uridMap->handle, LV2_BUF_SIZE__maxBlockLength);
    const auto intType = uridMap->map (uridMap->handle, LV2_ATOM__Int);
    const auto longType = uridMap->map (uridMap->handle, LV2_ATOM__Long);
    const auto floatType = uridMap->map (uridMap->handle, LV2_ATOM__Float);
    const auto doubleType = uridMap->map (uridMap->handle, LV2_ATOM__Double);

    for (std::size_t i = 0; i < maxListEntries && hostOptions[i].value != nullptr; ++i)
    {
        const auto& option = hostOptions[i];
        if (option.key != key)
            continue;

        double value = 0.0;

        if (option.type == intType && option.size == sizeof (int32_t))
            value = readValue<int32_t> (option.value);
        else if (option.type == longType && option.size == sizeof (int64_t))
            value = static_cast<double> (readValue<int64_t> (option.value));
        else if (option.type == floatType && option.size == sizeof (float))
            value = readValue<float> (option.value);
        else if (option.type == doubleType && option.size == sizeof (double))
            value = readValue<double> (option.value);

        // NaN fails this test too.
        if (! (value >= 1.0))
            return 0;

        return value < static_cast<double> (maxBlockLength) ? static_cast<int64_t> (value) : maxBlockLength;
    }

    return 0;
}
} // namespace dunskara::lv2

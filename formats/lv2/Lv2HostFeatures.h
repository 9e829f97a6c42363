#pragma once

#include "lv2/core/lv2.h"
#include "lv2/options/options.h"
#include "lv2/urid/urid.h"

#include <cstdint>

namespace dunskara::lv2
{
// What an instance takes from the host's features: the URID map (the state keys and
// types are URIDs) and the longest block the host announces, if it does.
// Tolerates a null list, entries without a URI, and an unterminated options list up to
// a bound.
class HostFeatures final
{
public:
    // Frames prepared for when the host announces no usable maximum, and the most ever
    // prepared for; longer blocks run in pieces of the prepared length.
    static constexpr uint32_t defaultBlockLength = 4096;
    static constexpr uint32_t maxBlockLength = 8192;

    explicit HostFeatures (const LV2_Feature* const* hostFeatures) noexcept;

    // Null when the host gave none (or one without a map function).
    const LV2_URID_Map* map() const noexcept { return uridMap; }

    // The length to prepare for: 1..maxBlockLength.
    uint32_t blockLength() const noexcept { return length; }

private:
    int64_t readHostBlockLength (const LV2_Options_Option* hostOptions) const noexcept;

    const LV2_URID_Map* uridMap = nullptr;
    uint32_t length = defaultBlockLength;
};

// The data of the first feature with this URI, or null; tolerates a null list.
const void* findFeature (const LV2_Feature* const* features, const char* uri) noexcept;
} // namespace dunskara::lv2

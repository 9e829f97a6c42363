#pragma once

#include "lv2/core/lv2.h"
#include "lv2/options/options.h"
#include "lv2/urid/urid.h"

#include <cstdint>
#include <vector>

namespace dunskara::lv2
{
// JUCE's client refuses to start without urid:map, options and boundedBlockLength, takes
// the first feature list entry as non-null, and prepares for whatever maxBlockLength
// says: -1 or 0 there makes it size its buffers with a negative or zero length and
// crash later. This copy of the host's features is what JUCE's instantiate sees instead:
// the same features (entries without a URI dropped), the options with maxBlockLength
// replaced by a usable length, and the options and boundedBlockLength features added
// when the host left them out (our run() never gives JUCE more frames than that length).
class HostFeatures final
{
public:
    // Frames handed to JUCE when the host gives no usable maximum block length, and the
    // most JUCE is ever prepared for; longer blocks run in pieces of this size.
    static constexpr uint32_t defaultBlockLength = 4096;
    static constexpr uint32_t maxBlockLength = 1u << 16;

    // Allocates; throws std::bad_alloc.
    explicit HostFeatures (const LV2_Feature* const* hostFeatures);

    const LV2_URID_Map* map() const noexcept { return uridMap; }

    // The length JUCE is prepared for: 1..maxBlockLength.
    uint32_t blockLength() const noexcept { return static_cast<uint32_t> (blockLengthValue); }

    // Null-terminated; valid while this object lives.
    const LV2_Feature* const* list() const noexcept { return pointers.data(); }

private:
    int64_t readHostBlockLength (const LV2_Options_Option* hostOptions) const noexcept;

    const LV2_URID_Map* uridMap = nullptr;
    int32_t blockLengthValue = static_cast<int32_t> (defaultBlockLength);
    std::vector<LV2_Options_Option> options;
    std::vector<LV2_Feature> features;
    std::vector<const LV2_Feature*> pointers;
};

// The data of the first feature with this URI, or null; tolerates a null list.
const void* findFeature (const LV2_Feature* const* features, const char* uri) noexcept;
} // namespace dunskara::lv2

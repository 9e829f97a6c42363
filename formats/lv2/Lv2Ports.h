#pragma once

#include "plugin/ParameterTable.h"

#include <cstdint>

namespace dunskara::lv2
{
// The plug-in's ports, in the order dsp.ttl lists them. Hosts keep the values of the
// control inputs themselves (and save them with their sessions), so every parameter is
// a port: parameter i is port firstParameterPort + i, its symbol the parameter's name.
// After the parameters come two meters per band (level, then gain reduction, both in
// dB) and the latency report.
enum Port : std::uint32_t
{
    audioInLeft = 0,
    audioInRight = 1,
    audioOutLeft = 2,
    audioOutRight = 3,
    firstParameterPort = 4,
    firstMeterPort = firstParameterPort + params::numParameters,
    latencyPort = firstMeterPort + 2 * params::numBands,
    numPorts = latencyPort + 1
};

constexpr std::uint32_t parameterPort (int index) noexcept
{
    return firstParameterPort + static_cast<std::uint32_t> (index);
}

// The parameter a port carries, or -1 for any other port (and for indices past the end).
constexpr int parameterOfPort (std::uint32_t port) noexcept
{
    return port >= firstParameterPort && port < firstMeterPort ? static_cast<int> (port - firstParameterPort) : -1;
}

constexpr std::uint32_t bandLevelPort (int band) noexcept
{
    return firstMeterPort + 2u * static_cast<std::uint32_t> (band);
}

constexpr std::uint32_t bandGainReductionPort (int band) noexcept
{
    return bandLevelPort (band) + 1u;
}
} // namespace dunskara::lv2

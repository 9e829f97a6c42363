#pragma once

#include "formats/clap/ClapCore.h"

namespace dunskara::clap
{
// The one plug-in of the factory.
extern const clap_plugin_descriptor_t pluginDescriptor;
} // namespace dunskara::clap

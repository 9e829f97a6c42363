#pragma once

#include <cstdint>

// One process-wide order of events, for format layers that must tell whether a host's
// edit came before or after a processor replaced its values (a program change or a
// restored state). Wait-free.
namespace changestamps
{
// A fresh stamp, greater than every stamp handed out before.
std::uint64_t next() noexcept;

// Stamps a replacement of values; the latest such stamp is kept.
void markValuesReplaced() noexcept;
std::uint64_t lastValuesReplaced() noexcept;
} // namespace changestamps

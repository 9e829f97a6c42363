#include "plugin/ChangeStamps.h"

#include <atomic>

namespace
{
std::atomic<std::uint64_t> counter { 0 };
std::atomic<std::uint64_t> valuesReplaced { 0 };
} // namespace

std::uint64_t changestamps::next() noexcept { return counter.fetch_add (1) + 1; }

void changestamps::markValuesReplaced() noexcept
{
    const auto stamp = next();
    auto latest = valuesReplaced.load();
    while (latest < stamp && ! valuesReplaced.compare_exchange_weak (latest, stamp)) {}
}

std::uint64_t changestamps::lastValuesReplaced() noexcept { return valuesReplaced.load(); }

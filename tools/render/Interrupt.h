#pragma once

// SIGINT and SIGTERM ask a render to stop: the render loops poll the request between
// blocks and unwind, so that temporary files are removed and no output is replaced.
namespace render::interrupt
{
void installHandlers();

// The signal that asked to stop, or 0.
int requested() noexcept;

// For tests and callers without signals.
void request (int signalNumber) noexcept;
void reset() noexcept;
} // namespace render::interrupt

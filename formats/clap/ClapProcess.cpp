// process(): parameter events applied at their sample offsets (the block is split
// there), the audio run through the processor in the instance's own work buffer, and
// the editor's gestures handed to the host.
//
// The processor always sees two channels, input in place, as JUCE's wrappers give it:
// the host's input is copied in (silence for anything missing), so aliased or in-place
// host buffers are harmless, and the result is copied out to every output channel the
// host gave. Nothing here allocates, locks or logs.

#include "formats/clap/ClapInstance.h"

#include <algorithm>

namespace dunskara::clap
{
namespace
{
    thread_local bool threadIsInsideProcess = false;

    struct InsideProcess
    {
        InsideProcess() noexcept  { threadIsInsideProcess = true; }
        ~InsideProcess()          { threadIsInsideProcess = false; }
    };

    const float* inputChannel (const clap_process_t& process, int channel, int channelsUsed) noexcept
    {
        if (channel >= channelsUsed || process.audio_inputs == nullptr || process.audio_inputs_count == 0)
            return nullptr;
        const auto& port = process.audio_inputs[0];
        if (port.data32 == nullptr || (uint32_t) channel >= port.channel_count)
            return nullptr;
        return port.data32[channel];
    }

    // Frames [start, start + length) of the host's buffers through the processor.
    void render (Instance& instance, const clap_process_t& process, uint32_t start, uint32_t length) noexcept
    {
        const int channelsUsed = instance.layout == PortLayout::monoToStereo ? 1 : 2;
        auto* output = process.audio_outputs != nullptr && process.audio_outputs_count > 0 ? process.audio_outputs : nullptr;
        const uint32_t piece = (uint32_t) instance.preparedFrames;

        for (uint32_t offset = 0; offset < length; offset += piece)
        {
            const uint32_t frames = std::min (piece, length - offset);
            const uint32_t from = start + offset;
            float* work[2] = { instance.workBuffer.data(), instance.workBuffer.data() + piece };

            for (int c = 0; c < 2; ++c)
            {
                if (const float* in = inputChannel (process, c, channelsUsed))
                    std::copy (in + from, in + from + frames, work[c]);
                else
                    std::fill (work[c], work[c] + frames, 0.0f);
            }

            juce::AudioBuffer<float> buffer (work, 2, (int) frames);
            instance.processor->processBlock (buffer, instance.noMidi);

            if (output == nullptr || output->data32 == nullptr)
                continue;
            for (uint32_t c = 0; c < output->channel_count; ++c)
                if (float* out = output->data32[c])
                {
                    if (c < 2)
                        std::copy (work[c], work[c] + frames, out + from);
                    else
                        std::fill (out + from, out + from + frames, 0.0f);
                }
        }
    }
} // namespace

bool insideProcess() noexcept
{
    return threadIsInsideProcess;
}

clap_process_status process (const clap_plugin_t* plugin, const clap_process_t* process)
{
    auto* instance = Instance::from (plugin);
    if (instance == nullptr || process == nullptr || ! instance->active.load())
        return CLAP_PROCESS_ERROR;

    const InsideProcess inside;
    instance->processing = true; // a host that skipped start_processing still gets audio

    const auto* events = process->in_events;
    const uint32_t numEvents = events != nullptr && events->size != nullptr && events->get != nullptr
                                   ? events->size (events) : 0;
    const uint32_t frames = process->frames_count;

    // Events are sorted by time; one out of order or past the end applies as soon as
    // the block reaches it (at the end at the latest).
    uint32_t position = 0, next = 0;
    for (;;)
    {
        uint32_t until = frames;
        for (; next < numEvents; ++next)
        {
            const auto* header = events->get (events, next);
            if (header == nullptr)
                continue;
            if (header->time > position && position < frames)
            {
                until = std::min (header->time, frames);
                break;
            }
            instance->applyInputEvent (header);
        }

        if (until > position)
            render (*instance, *process, position, until - position);
        position = until;

        if (next >= numEvents && position >= frames)
            break;
    }

    if (auto* output = process->audio_outputs; output != nullptr && process->audio_outputs_count > 0)
        output->constant_mask = 0;

    instance->sendEditorEvents (process->out_events);
    return CLAP_PROCESS_CONTINUE;
}
} // namespace dunskara::clap

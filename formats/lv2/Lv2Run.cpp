// Ports and audio: connect_port, activate, deactivate and run.
//
// run() hands the processor the parameter values the host changed, then the audio in
// pieces of the prepared length through the instance's own work buffer (so in-place and
// unconnected host buffers are harmless), then writes the meters and the latency.
// Nothing here allocates, locks or logs.

#include "formats/lv2/Lv2Instance.h"

#include <algorithm>
#include <cmath>

namespace dunskara::lv2
{
namespace
{
    // Meter ranges, as dsp.ttl declares them.
    constexpr float levelFloorDb = -90.0f, levelCeilingDb = 24.0f;
    constexpr float maxReductionDb = 90.0f;

    float decibels (float gain) noexcept
    {
        return static_cast<float> (std::log (static_cast<double> (gain)) * params::decibelsPerNeper);
    }

    // A band's RMS level in dB; silence and unreadable values read as the floor.
    float levelDb (float rms) noexcept
    {
        if (! std::isfinite (rms) || rms <= 0.0f)
            return levelFloorDb;
        return std::clamp (decibels (rms), levelFloorDb, levelCeilingDb);
    }

    // How far a mean gain lies below unity, in dB: 0 for no reduction (or a gain above 1,
    // or an unreadable one).
    float reductionDb (float meanGain) noexcept
    {
        if (! std::isfinite (meanGain) || meanGain >= 1.0f)
            return 0.0f;
        if (meanGain <= 0.0f)
            return maxReductionDb;
        return std::clamp (-decibels (meanGain), 0.0f, maxReductionDb);
    }

    // Every connected parameter port whose value moved reaches the processor. A value
    // that is not finite is ignored (and not remembered, so that the next usable value
    // counts); the processor gets the value limited to 0..1.
    void applyChangedPorts (Instance& instance) noexcept
    {
        auto adopt = instance.adoptNextValue.load();

        for (int i = 0; i < params::numParameters; ++i)
        {
            const float* port = instance.parameterPorts[i].load (std::memory_order_relaxed);
            if (port == nullptr)
                continue;

            const float value = *port;
            const auto bit = std::uint64_t { 1 } << i;

            if (! std::isfinite (value) || value == instance.seenValues[i].load (std::memory_order_relaxed))
                continue;

            instance.seenValues[i].store (value, std::memory_order_relaxed);

            if ((adopt & bit) != 0)
            {
                adopt &= ~bit;
                instance.adoptNextValue.fetch_and (~bit);
                continue;
            }

            instance.processor->setParameter (i, std::clamp (value, 0.0f, 1.0f));
        }
    }

    void render (Instance& instance, uint32_t numFrames) noexcept
    {
        const auto piece = static_cast<uint32_t> (instance.preparedFrames);
        float* work[2] = { instance.workBuffer.data(), instance.workBuffer.data() + piece };

        // A block that is empty still runs once: the processor takes its new values then.
        uint32_t done = 0;
        do
        {
            const uint32_t frames = std::min (piece, numFrames - done);

            for (int c = 0; c < 2; ++c)
            {
                if (const float* in = instance.audioIn[c])
                    std::copy (in + done, in + done + frames, work[c]);
                else
                    std::fill (work[c], work[c] + frames, 0.0f);
            }

            juce::AudioBuffer<float> buffer (work, 2, static_cast<int> (frames));
            instance.processor->processBlock (buffer, instance.noMidi);

            for (int c = 0; c < 2; ++c)
                if (float* out = instance.audioOut[c])
                    std::copy (work[c], work[c] + frames, out + done);

            done += frames;
        }
        while (done < numFrames);
    }

    void writeMeters (Instance& instance) noexcept
    {
        auto& processor = *instance.processor;

        for (int band = 0; band < params::numBands; ++band)
        {
            if (float* level = instance.meterPorts[bandLevelPort (band) - firstMeterPort])
                *level = levelDb (processor.bandLevel[band][0].load (std::memory_order_relaxed));

            if (float* reduction = instance.meterPorts[bandGainReductionPort (band) - firstMeterPort])
                *reduction = reductionDb (processor.bandDynamics[(size_t) band]->meanGain.load (std::memory_order_relaxed));
        }

        if (instance.latencyOut != nullptr)
            *instance.latencyOut = 0.0f;
    }
} // namespace

void connectPort (LV2_Handle handle, uint32_t port, void* data)
{
    auto* instance = Instance::from (handle);
    if (instance == nullptr)
        return;

    auto* buffer = static_cast<float*> (data);

    if (port == audioInLeft || port == audioInRight)
        instance->audioIn[port - audioInLeft] = buffer;
    else if (port == audioOutLeft || port == audioOutRight)
        instance->audioOut[port - audioOutLeft] = buffer;
    else if (const int parameter = parameterOfPort (port); parameter >= 0)
        instance->parameterPorts[parameter].store (buffer);
    else if (port >= firstMeterPort && port < latencyPort)
        instance->meterPorts[port - firstMeterPort] = buffer;
    else if (port == latencyPort)
        instance->latencyOut = buffer;
}

void activate (LV2_Handle handle)
{
    // A fresh start: filters and envelopes cleared. Preparing allocates, which the main
    // thread may; the prepared length stays the one instantiate chose.
    if (auto* instance = Instance::from (handle))
        instance->processor->prepareToPlay (instance->sampleRate, instance->preparedFrames);
}

void deactivate (LV2_Handle) {}

void run (LV2_Handle handle, uint32_t numFrames)
{
    auto* instance = Instance::from (handle);
    if (instance == nullptr)
        return;

    applyChangedPorts (*instance);
    render (*instance, numFrames);
    writeMeters (*instance);
}
} // namespace dunskara::lv2

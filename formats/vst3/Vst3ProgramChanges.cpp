#include "formats/vst3/Vst3ProgramChanges.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <pluginterfaces/vst/ivstunits.h>

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace dunskara::vst3
{
namespace
{
using namespace Steinberg;

bool sameIid (const void* a, const FUID& b) { return FUnknownPrivate::iidEqual (a, b); }

// A program the audio thread asked for, until the message thread switches to it.
class ProgramRelay final
{
public:
    explicit ProgramRelay (juce::AudioProcessor& p) : processor (&p) {}

    // Audio thread: wait-free. `current` is the program in force when it was asked for.
    void request (int program, int current) noexcept
    {
        pending.store ((std::uint64_t (std::uint32_t (program) + 1) << 32) | std::uint32_t (current));
    }

    // Message thread. A request is dropped when the program changed since it was made:
    // the host switched again through the edit controller, which is newer.
    void applyPending()
    {
        const auto request = pending.exchange (0);
        if (request == 0)
            return;

        const auto program = int (request >> 32) - 1;
        const auto current = int (request & 0xffffffffu);

        const std::lock_guard<std::mutex> lock (mutex);
        if (processor != nullptr && processor->getCurrentProgram() == current && program != current)
            processor->setCurrentProgram (program);
    }

    // The component is going away: nothing may reach the processor afterwards.
    void detach()
    {
        const std::lock_guard<std::mutex> lock (mutex);
        processor = nullptr;
    }

private:
    std::atomic<std::uint64_t> pending { 0 }; // (program + 1) << 32 | current; 0: none
    std::mutex mutex;                         // message thread and the component's owner
    juce::AudioProcessor* processor;          // guarded by mutex
};

// Polls the relay on the message thread: the audio thread posts nothing.
class RelayPoller final : private juce::Timer
{
public:
    explicit RelayPoller (std::shared_ptr<ProgramRelay> r) : relay (std::move (r)) { startTimer (pollMilliseconds); }
    ~RelayPoller() override { stopTimer(); }

    // Stops the polling at once (from any thread); the object itself goes on the message
    // thread, where no callback of it can still be running. Should the message thread
    // never run again, it is merely left behind, stopped.
    static void dispose (RelayPoller* poller)
    {
        poller->relay->detach();
        poller->stopTimer();
        auto* mm = juce::MessageManager::getInstanceWithoutCreating();
        if (mm == nullptr || mm->isThisTheMessageThread())
            delete poller;
        else
            juce::MessageManager::callAsync ([poller] { delete poller; });
    }

private:
    // A program change is not sample-accurate in any host; a slow poll keeps an idle
    // instance from waking the message thread a hundred times a second.
    static constexpr int pollMilliseconds = 50;

    void timerCallback() override { relay->applyPending(); }

    std::shared_ptr<ProgramRelay> relay;
};

// The program-change parameter and the number of programs, from JUCE's unit info: its
// program list has the id of the program-change parameter.
struct ProgramParameter
{
    Vst::ParamID id = Vst::kNoParamId;
    int32 numPrograms = 0;
};

ProgramParameter findProgramParameter (Vst::IComponent& component)
{
    ProgramParameter found;
    void* obj = nullptr;
    if (component.queryInterface (Vst::IUnitInfo::iid, &obj) != kResultOk || obj == nullptr)
        return found;

    auto* units = static_cast<Vst::IUnitInfo*> (obj);
    Vst::ProgramListInfo list {};
    if (units->getProgramListCount() > 0 && units->getProgramListInfo (0, list) == kResultOk && list.programCount > 1)
    {
        found.id = static_cast<Vst::ParamID> (list.id);
        found.numPrograms = list.programCount;
    }
    units->release();
    return found;
}

class ForwardingComponent final : public Vst::IComponent,
                                  public Vst::IAudioProcessor
{
public:
    ForwardingComponent (Vst::IComponent* juceComponent, Vst::IAudioProcessor* juceProcessor, juce::AudioProcessor& processor)
        : inner (juceComponent), innerProcessor (juceProcessor), audioProcessor (processor),
          relay (std::make_shared<ProgramRelay> (processor)),
          program (findProgramParameter (*juceComponent)),
          poller (program.id != Vst::kNoParamId ? new RelayPoller (relay) : nullptr)
    {
    }

    ForwardingComponent (const ForwardingComponent&) = delete;
    ForwardingComponent& operator= (const ForwardingComponent&) = delete;

    tresult PLUGIN_API queryInterface (const TUID queried, void** obj) override
    {
        if (sameIid (queried, FUnknown::iid) || sameIid (queried, IPluginBase::iid) || sameIid (queried, Vst::IComponent::iid))
        {
            addRef();
            *obj = static_cast<Vst::IComponent*> (this);
            return kResultOk;
        }

        if (sameIid (queried, Vst::IAudioProcessor::iid))
        {
            addRef();
            *obj = static_cast<Vst::IAudioProcessor*> (this);
            return kResultOk;
        }

        return inner->queryInterface (queried, obj); // unit info, connection point, ...: JUCE's own
    }

    uint32 PLUGIN_API addRef() override { return ++refCount; }
    uint32 PLUGIN_API release() override
    {
        const auto remaining = --refCount;
        if (remaining == 0)
            delete this;
        return remaining;
    }

    // IPluginBase
    tresult PLUGIN_API initialize (FUnknown* context) override { return inner->initialize (context); }
    tresult PLUGIN_API terminate() override
    {
        stopRelay();
        return inner->terminate();
    }

    // IComponent
    tresult PLUGIN_API getControllerClassId (TUID classId) override { return inner->getControllerClassId (classId); }
    tresult PLUGIN_API setIoMode (Vst::IoMode mode) override        { return inner->setIoMode (mode); }
    int32 PLUGIN_API getBusCount (Vst::MediaType type, Vst::BusDirection dir) override { return inner->getBusCount (type, dir); }
    tresult PLUGIN_API getBusInfo (Vst::MediaType type, Vst::BusDirection dir, int32 index, Vst::BusInfo& bus) override
    {
        return inner->getBusInfo (type, dir, index, bus);
    }
    tresult PLUGIN_API getRoutingInfo (Vst::RoutingInfo& in, Vst::RoutingInfo& out) override { return inner->getRoutingInfo (in, out); }
    tresult PLUGIN_API activateBus (Vst::MediaType type, Vst::BusDirection dir, int32 index, TBool state) override
    {
        return inner->activateBus (type, dir, index, state);
    }
    tresult PLUGIN_API setActive (TBool state) override     { return inner->setActive (state); }
    tresult PLUGIN_API setState (IBStream* state) override  { return inner->setState (state); }
    tresult PLUGIN_API getState (IBStream* state) override  { return inner->getState (state); }

    // IAudioProcessor
    tresult PLUGIN_API setBusArrangements (Vst::SpeakerArrangement* inputs, int32 numIns,
                                           Vst::SpeakerArrangement* outputs, int32 numOuts) override
    {
        return innerProcessor->setBusArrangements (inputs, numIns, outputs, numOuts);
    }
    tresult PLUGIN_API getBusArrangement (Vst::BusDirection dir, int32 index, Vst::SpeakerArrangement& arr) override
    {
        return innerProcessor->getBusArrangement (dir, index, arr);
    }
    tresult PLUGIN_API canProcessSampleSize (int32 size) override { return innerProcessor->canProcessSampleSize (size); }
    uint32 PLUGIN_API getLatencySamples() override                 { return innerProcessor->getLatencySamples(); }
    tresult PLUGIN_API setupProcessing (Vst::ProcessSetup& setup) override { return innerProcessor->setupProcessing (setup); }
    tresult PLUGIN_API setProcessing (TBool state) override        { return innerProcessor->setProcessing (state); }
    uint32 PLUGIN_API getTailSamples() override                    { return innerProcessor->getTailSamples(); }

    tresult PLUGIN_API process (Vst::ProcessData& data) override
    {
        if (data.inputParameterChanges != nullptr && program.id != Vst::kNoParamId)
            noteProgramChange (*data.inputParameterChanges);

        return innerProcessor->process (data);
    }

private:
    ~ForwardingComponent()
    {
        stopRelay();
        innerProcessor->release();
        inner->release();
    }

    void stopRelay()
    {
        if (poller != nullptr)
            RelayPoller::dispose (poller);
        poller = nullptr;
    }

    // Audio thread: the last point of the program-change parameter, if the host sent one,
    // read as JUCE's controller reads it.
    void noteProgramChange (Vst::IParameterChanges& changes) noexcept
    {
        const auto count = changes.getParameterCount();
        for (int32 i = 0; i < count; ++i)
        {
            auto* queue = changes.getParameterData (i);
            if (queue == nullptr || queue->getParameterId() != program.id || queue->getPointCount() <= 0)
                continue;

            int32 offset = 0;
            Vst::ParamValue value = 0.0;
            if (queue->getPoint (queue->getPointCount() - 1, offset, value) != kResultOk || ! (value >= 0.0 && value <= 1.0))
                continue;

            const auto last = program.numPrograms - 1;
            const auto chosen = std::min (last, static_cast<int32> (value * program.numPrograms));
            relay->request (chosen, audioProcessor.getCurrentProgram()); // an atomic read
        }
    }

    Vst::IComponent* inner;                 // owned reference
    Vst::IAudioProcessor* innerProcessor;   // owned reference
    juce::AudioProcessor& audioProcessor;   // JUCE's component owns it, and we own that
    std::shared_ptr<ProgramRelay> relay;
    const ProgramParameter program;
    RelayPoller* poller;                    // host threads only; null once stopped, or without programs
    std::atomic<uint32> refCount { 1 };
};
} // namespace

Vst::IComponent* wrapComponent (Vst::IComponent* juceComponent, juce::AudioProcessor* processor)
{
    void* obj = nullptr;
    if (processor == nullptr || juceComponent->queryInterface (Vst::IAudioProcessor::iid, &obj) != kResultOk || obj == nullptr)
        return juceComponent;

    return new ForwardingComponent (juceComponent, static_cast<Vst::IAudioProcessor*> (obj), *processor);
}

bool isRealtimeThread() noexcept
{
    int policy = SCHED_OTHER;
    sched_param parameters {};
    return pthread_getschedparam (pthread_self(), &policy, &parameters) == 0
        && (policy == SCHED_FIFO || policy == SCHED_RR);
}
} // namespace dunskara::vst3

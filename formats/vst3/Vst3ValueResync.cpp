// The VST3 entry point that hosts see. When the program changes or a state is restored,
// the processor asks the host to re-read every value (updateHostDisplay), and JUCE's
// VST3 client (7.0.5) answers with restartComponent (kParamValuesChanged). But the host
// re-reads the values from the edit controller, whose copies JUCE updates only when a
// value is automated through it or when the host calls setComponentState: the host
// would go on showing, and automating from, the values of the old program.
//
// This layer sits between the host and JUCE's factory (renamed by the build, see
// Vst3.cmake). It hands the host an edit controller that forwards every call
// to JUCE's, and gives JUCE's controller a component handler that forwards every call
// to the host's, except that a request to re-read the values first brings the
// controller's copies up to date from the processor (JUCE's setComponentState does
// exactly that and reads nothing from its stream). No value is sent as an edit, so
// nothing is recorded as automation.
//
// Re-read requests reach the host only on the message thread (the host's UI thread, as
// VST3 requires): one made on another thread waits there for the next message loop,
// and is dropped if the controller lets the handler go first. A host's own edits made
// after the processor replaced its values are newer than the copies taken from the
// processor, which may not have received them yet: they are put back after the copy.

#include "formats/common/PluginFactory.h"
#include "formats/vst3/Vst3ProgramChanges.h"
#include "plugin/ChangeStamps.h"

#include <juce_events/juce_events.h>

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#if ! defined (GetPluginFactory)
 #error "Vst3ValueResync.cpp needs GetPluginFactory renamed for JUCE's client"
#endif

// The SDK header above declared JUCE's factory function under its new name.
Steinberg::IPluginFactory* PLUGIN_API juceFactory() { return GetPluginFactory(); }

#undef GetPluginFactory

namespace
{
using namespace Steinberg;

bool sameIid (const void* a, const FUID& b) { return FUnknownPrivate::iidEqual (a, b); }

// Reference counting shared by the three forwarding objects.
#define DUNSKARA_VST3_REFCOUNT                                                     \
    uint32 PLUGIN_API addRef() override { return ++refCount; }                     \
    uint32 PLUGIN_API release() override                                           \
    {                                                                              \
        const auto remaining = --refCount;                                         \
        if (remaining == 0)                                                        \
            delete this;                                                           \
        return remaining;                                                          \
    }                                                                              \
    std::atomic<uint32> refCount { 1 };

// The host's edits through the controller, kept so that a re-read cannot undo them.
class HostEdits final
{
public:
    void record (Vst::ParamID id, Vst::ParamValue value)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        edits[id] = { value, changestamps::next() };
    }

    // Puts back every edit made after `since`, and forgets the older ones.
    void restoreNewerThan (std::uint64_t since, Vst::IEditController& controller)
    {
        std::map<Vst::ParamID, Edit> newer;
        {
            const std::lock_guard<std::mutex> lock (mutex);
            for (const auto& [id, edit] : edits)
                if (edit.stamp > since)
                    newer.emplace (id, edit);
            edits = newer;
        }

        for (const auto& [id, edit] : newer)
            controller.setParamNormalized (id, edit.value);
    }

private:
    struct Edit
    {
        Vst::ParamValue value;
        std::uint64_t stamp;
    };

    std::mutex mutex;
    std::map<Vst::ParamID, Edit> edits;
};

// Given to JUCE's controller in place of the host's handler.
class ResyncingHandler final : public Vst::IComponentHandler,
                               private juce::AsyncUpdater
{
public:
    ResyncingHandler (Vst::IComponentHandler& hostHandler, Vst::IEditController& juceController,
                      std::shared_ptr<HostEdits> edits)
        : host (hostHandler), controller (juceController), hostEdits (std::move (edits))
    {
        host.addRef();
    }

    ResyncingHandler (const ResyncingHandler&) = delete;
    ResyncingHandler& operator= (const ResyncingHandler&) = delete;

    tresult PLUGIN_API queryInterface (const TUID queried, void** obj) override
    {
        if (sameIid (queried, FUnknown::iid) || sameIid (queried, Vst::IComponentHandler::iid))
        {
            addRef();
            *obj = static_cast<Vst::IComponentHandler*> (this);
            return kResultOk;
        }

        return host.queryInterface (queried, obj); // IComponentHandler2 and the like: the host's own
    }

    DUNSKARA_VST3_REFCOUNT

    tresult PLUGIN_API beginEdit (Vst::ParamID id) override                      { return host.beginEdit (id); }
    tresult PLUGIN_API performEdit (Vst::ParamID id, Vst::ParamValue v) override { return host.performEdit (id, v); }
    tresult PLUGIN_API endEdit (Vst::ParamID id) override                        { return host.endEdit (id); }

    tresult PLUGIN_API restartComponent (int32 flags) override
    {
        if (resyncing)
            return kResultOk; // the copy below asks again: the request in hand covers it

        if (! isOnMessageThread())
        {
            pendingFlags.fetch_or (flags);
            triggerAsyncUpdate();
            return kResultOk;
        }

        return restartOnMessageThread (flags);
    }

    // The controller is going away: nothing pending may reach the host after it.
    void detach()
    {
        cancelPendingUpdate();
        pendingFlags.store (0);
    }

private:
    ~ResyncingHandler() override
    {
        detach();
        host.release();
    }

    static bool isOnMessageThread()
    {
        auto* mm = juce::MessageManager::getInstanceWithoutCreating();
        return mm != nullptr && mm->isThisTheMessageThread();
    }

    void handleAsyncUpdate() override
    {
        if (const auto flags = pendingFlags.exchange (0); flags != 0)
            restartOnMessageThread (flags);
    }

    tresult restartOnMessageThread (int32 flags)
    {
        if ((flags & Vst::kParamValuesChanged) != 0)
            resyncValues();

        return host.restartComponent (flags);
    }

    // setComponentState copies every value from the processor into the controller (and
    // asks for a restart itself, which the request in hand already covers). Copies taken
    // since the latest replacement are current already.
    void resyncValues()
    {
        const auto replaced = changestamps::lastValuesReplaced();
        if (syncedAt > replaced && syncedAt != 0)
            return;

        resyncing = true;
        controller.setComponentState (nullptr);
        hostEdits->restoreNewerThan (replaced, controller);
        resyncing = false;
        syncedAt = changestamps::next();
    }

    Vst::IComponentHandler& host;
    Vst::IEditController& controller; // owns this handler, so it outlives every call
    std::shared_ptr<HostEdits> hostEdits; // shared with the forwarding controller
    std::atomic<int32> pendingFlags { 0 };
    bool resyncing = false;           // message thread only
    std::uint64_t syncedAt = 0;       // message thread only
};

// What the host holds instead of JUCE's controller. Interfaces other than the edit
// controller itself (connection point, unit info, MIDI mapping, ...) are JUCE's own.
class ForwardingController final : public Vst::IEditController
{
public:
    explicit ForwardingController (Vst::IEditController* juceController) : inner (juceController) {}

    ForwardingController (const ForwardingController&) = delete;
    ForwardingController& operator= (const ForwardingController&) = delete;

    tresult PLUGIN_API queryInterface (const TUID queried, void** obj) override
    {
        if (sameIid (queried, FUnknown::iid) || sameIid (queried, IPluginBase::iid) || sameIid (queried, Vst::IEditController::iid))
        {
            addRef();
            *obj = static_cast<Vst::IEditController*> (this);
            return kResultOk;
        }

        return inner->queryInterface (queried, obj);
    }

    DUNSKARA_VST3_REFCOUNT

    tresult PLUGIN_API initialize (FUnknown* context) override { return inner->initialize (context); }

    tresult PLUGIN_API terminate() override
    {
        detachHandler();
        return inner->terminate();
    }

    tresult PLUGIN_API setComponentState (IBStream* state) override { return inner->setComponentState (state); }
    tresult PLUGIN_API setState (IBStream* state) override          { return inner->setState (state); }
    tresult PLUGIN_API getState (IBStream* state) override          { return inner->getState (state); }
    int32 PLUGIN_API getParameterCount() override                   { return inner->getParameterCount(); }

    // JUCE's controller has its parameters only once connected to the component; the
    // program-change parameter is learnt as the host reads it.
    tresult PLUGIN_API getParameterInfo (int32 index, Vst::ParameterInfo& info) override
    {
        const auto result = inner->getParameterInfo (index, info);
        if (result == kResultOk && (info.flags & Vst::ParameterInfo::kIsProgramChange) != 0)
            programParameter.store (info.id);
        return result;
    }

    tresult PLUGIN_API getParamStringByValue (Vst::ParamID id, Vst::ParamValue v, Vst::String128 text) override
    {
        return inner->getParamStringByValue (id, v, text);
    }

    tresult PLUGIN_API getParamValueByString (Vst::ParamID id, Vst::TChar* text, Vst::ParamValue& v) override
    {
        return inner->getParamValueByString (id, text, v);
    }

    Vst::ParamValue PLUGIN_API normalizedParamToPlain (Vst::ParamID id, Vst::ParamValue v) override
    {
        return inner->normalizedParamToPlain (id, v);
    }

    Vst::ParamValue PLUGIN_API plainParamToNormalized (Vst::ParamID id, Vst::ParamValue v) override
    {
        return inner->plainParamToNormalized (id, v);
    }

    Vst::ParamValue PLUGIN_API getParamNormalized (Vst::ParamID id) override        { return inner->getParamNormalized (id); }
    tresult PLUGIN_API setParamNormalized (Vst::ParamID id, Vst::ParamValue v) override
    {
        // A host may pass a program change on its audio thread (Ardour does for a MIDI
        // program change). Switching programs there would wait for the state lock and
        // call out to the host; the same change reaches the component in the process
        // data, which hands it to the message thread (Vst3ProgramChanges.cpp).
        if (dunskara::vst3::isRealtimeThread())
            return id == programParameter.load() ? kResultOk : inner->setParamNormalized (id, v);

        hostEdits->record (id, v);
        return inner->setParamNormalized (id, v);
    }
    IPlugView* PLUGIN_API createView (FIDString name) override                      { return inner->createView (name); }

    tresult PLUGIN_API setComponentHandler (Vst::IComponentHandler* handler) override
    {
        detachHandler();

        if (handler == nullptr)
            return inner->setComponentHandler (nullptr);

        auto* resyncing = new ResyncingHandler (*handler, *inner, hostEdits);
        const auto result = inner->setComponentHandler (resyncing); // takes its own reference
        resyncing->release();
        if (result == kResultOk)
        {
            resyncing->addRef();
            currentHandler = resyncing;
        }
        return result;
    }

private:
    ~ForwardingController()
    {
        detachHandler();
        inner->release();
    }

    void detachHandler()
    {
        if (currentHandler == nullptr)
            return;

        currentHandler->detach();
        currentHandler->release();
        currentHandler = nullptr;
    }

    Vst::IEditController* inner;                // owned reference
    std::atomic<Vst::ParamID> programParameter { Vst::kNoParamId };
    std::shared_ptr<HostEdits> hostEdits = std::make_shared<HostEdits>();
    ResyncingHandler* currentHandler = nullptr; // our reference, to cancel what it has pending
};

// Creates JUCE's objects, wrapping each edit controller; everything else is forwarded.
class ForwardingFactory final : public IPluginFactory3
{
public:
    explicit ForwardingFactory (IPluginFactory* juceFactoryObject) : inner (juceFactoryObject)
    {
        // The host asks for whichever version it knows; JUCE's factory offers all three.
        void* obj = nullptr;
        if (inner->queryInterface (IPluginFactory3::iid, &obj) == kResultOk)
            inner3 = static_cast<IPluginFactory3*> (obj);
        if (inner->queryInterface (IPluginFactory2::iid, &obj) == kResultOk)
            inner2 = static_cast<IPluginFactory2*> (obj);
    }

    ForwardingFactory (const ForwardingFactory&) = delete;
    ForwardingFactory& operator= (const ForwardingFactory&) = delete;

    tresult PLUGIN_API queryInterface (const TUID queried, void** obj) override
    {
        const bool offered = sameIid (queried, FUnknown::iid) || sameIid (queried, IPluginFactory::iid)
                          || (sameIid (queried, IPluginFactory2::iid) && inner2 != nullptr)
                          || (sameIid (queried, IPluginFactory3::iid) && inner3 != nullptr);
        if (! offered)
        {
            *obj = nullptr;
            return kNoInterface;
        }

        addRef();
        *obj = static_cast<IPluginFactory3*> (this);
        return kResultOk;
    }

    DUNSKARA_VST3_REFCOUNT

    tresult PLUGIN_API getFactoryInfo (PFactoryInfo* info) override        { return inner->getFactoryInfo (info); }
    int32 PLUGIN_API countClasses() override                              { return inner->countClasses(); }
    tresult PLUGIN_API getClassInfo (int32 index, PClassInfo* info) override { return inner->getClassInfo (index, info); }

    tresult PLUGIN_API getClassInfo2 (int32 index, PClassInfo2* info) override
    {
        return inner2 != nullptr ? inner2->getClassInfo2 (index, info) : kNotImplemented;
    }

    tresult PLUGIN_API getClassInfoUnicode (int32 index, PClassInfoW* info) override
    {
        return inner3 != nullptr ? inner3->getClassInfoUnicode (index, info) : kNotImplemented;
    }

    tresult PLUGIN_API setHostContext (FUnknown* context) override
    {
        return inner3 != nullptr ? inner3->setHostContext (context) : kNotImplemented;
    }

    tresult PLUGIN_API createInstance (FIDString cid, FIDString wanted, void** obj) override
    {
        if (obj == nullptr)
            return kInvalidArgument;

        if (isClass (cid, kVstAudioEffectClass))
            return createComponent (cid, wanted, obj);

        if (! isClass (cid, kVstComponentControllerClass))
            return inner->createInstance (cid, wanted, obj);

        *obj = nullptr;
        void* created = nullptr;
        const auto result = inner->createInstance (cid, Vst::IEditController::iid, &created);
        if (result != kResultOk || created == nullptr)
            return result != kResultOk ? result : kNoInterface;

        auto* controller = new ForwardingController (static_cast<Vst::IEditController*> (created));
        const auto answer = controller->queryInterface (wanted, obj);
        controller->release();
        return answer;
    }

private:
    ~ForwardingFactory()
    {
        if (inner3 != nullptr) inner3->release();
        if (inner2 != nullptr) inner2->release();
        inner->release();
    }

    // JUCE's component, behind ours (Vst3ProgramChanges.h).
    tresult createComponent (FIDString cid, FIDString wanted, void** obj)
    {
        *obj = nullptr;
        void* created = nullptr;
        const auto result = inner->createInstance (cid, Vst::IComponent::iid, &created);
        auto* processor = dunskara::format::takeProcessorCreatedOnThisThread();
        if (result != kResultOk || created == nullptr)
            return result != kResultOk ? result : kNoInterface;

        auto* component = dunskara::vst3::wrapComponent (static_cast<Vst::IComponent*> (created), processor);
        const auto answer = component->queryInterface (wanted, obj);
        component->release();
        return answer;
    }

    bool isClass (FIDString cid, const char* category)
    {
        if (cid == nullptr)
            return false;

        for (int32 i = 0; i < inner->countClasses(); ++i)
        {
            PClassInfo info {};
            if (inner->getClassInfo (i, &info) == kResultOk
                && FUnknownPrivate::iidEqual (info.cid, cid)
                && std::strcmp (info.category, category) == 0)
                return true;
        }

        return false;
    }

    IPluginFactory* inner;
    IPluginFactory2* inner2 = nullptr;
    IPluginFactory3* inner3 = nullptr;
};

#undef DUNSKARA_VST3_REFCOUNT
} // namespace

// One factory for the module's lifetime, like JUCE's own; each call hands out a reference.
extern "C" SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory()
{
    static auto* const factory = []
    {
        auto* juce = juceFactory(); // a reference of our own
        return juce != nullptr ? new ForwardingFactory (juce) : nullptr;
    }();

    if (factory != nullptr)
        factory->addRef();
    return factory;
}

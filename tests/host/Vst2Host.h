#pragma once

// A minimal VST 2.4 host for tests: loads a built plug-in (.so), calls its
// entry point with a recording host callback, and wraps the dispatcher,
// parameter and processing calls that tests need. Header-only so that any
// test file can include it without extra build wiring; link with
// ${CMAKE_DL_LIBS}.
//
// Not real-time safe on the host side (it records every host call under a
// mutex); that is fine for tests and keeps the plug-in side untouched.

#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Included by relative path, and inside namespace Vst2 exactly as JUCE's
// wrapper does, so the tests always see the project's own declarations and
// never another header pair that happens to be on the include path.
namespace Vst2
{
#include "../../vst2/pluginterfaces/vst2.x/aeffect.h"
#include "../../vst2/pluginterfaces/vst2.x/aeffectx.h"
}

#if ! defined (DUNSKARA_CLEANROOM_VST2)
 #error "Vst2Host.h must be built against the project's own VST 2.4 headers in vst2/"
#endif

namespace testhost
{

class Vst2Host final
{
public:
    enum class Entry
    {
        vstPluginMain,  // "VSTPluginMain", what current hosts look up first
        legacyMain      // "main", kept for old hosts
    };

    struct HostCall
    {
        Vst2::VstInt32 opcode = 0;
        Vst2::VstInt32 index = 0;
        Vst2::VstIntPtr value = 0;
        float opt = 0.0f;
        bool hadEffect = false;  // false when the plug-in passed a null AEffect*
        std::string text;        // query text of audioMasterCanDo
    };

    struct StringReply
    {
        Vst2::VstIntPtr result = 0;
        std::string text;              // up to the first NUL
        std::size_t bytesTouched = 0;  // extent of the bytes the plug-in wrote
        bool overran = false;          // wrote past the nominal buffer size
    };

    static constexpr Vst2::VstInt32 effectMagic = 0x56737450;  // 'VstP'
    static constexpr Vst2::VstIntPtr currentHostVersion = kVstVersion;
    static constexpr Vst2::VstIntPtr processLevelRealtime = 2;
    static constexpr Vst2::VstIntPtr processLevelOffline = 4;

    // Loads the library; the entry point is not called yet.
    explicit Vst2Host (std::string libraryPath)
        : path (std::move (libraryPath))
    {
        library = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);

        if (library == nullptr)
            if (const char* message = dlerror())
                loadError = message;
    }

    ~Vst2Host()
    {
        close();

        if (library != nullptr && unloadOnDestruction)
            dlclose (library);
    }

    Vst2Host (const Vst2Host&) = delete;
    Vst2Host& operator= (const Vst2Host&) = delete;

    bool isLibraryLoaded() const noexcept              { return library != nullptr; }
    const std::string& getLoadError() const noexcept   { return loadError; }
    bool hasEntryPoint (Entry entry) const             { return findEntry (entry) != nullptr; }

    // Keeps the library mapped after destruction (some plug-ins leave threads
    // or atexit handlers behind that must not outlive their code).
    void setUnloadOnDestruction (bool shouldUnload) noexcept { unloadOnDestruction = shouldUnload; }

    //==========================================================================
    // Host behaviour. Change these between plug-in calls, not during them.

    // Answer to audioMasterVersion: 2400, or 0 to act as a pre-2.x host.
    void setHostVersion (Vst2::VstIntPtr version) noexcept          { hostVersion.store (version, std::memory_order_relaxed); }
    void setProcessLevel (Vst2::VstIntPtr level) noexcept           { processLevel.store (level, std::memory_order_relaxed); }

    // Answered to audioMasterGetTime until cleared (a null answer otherwise).
    void setTimeInfo (const Vst2::VstTimeInfo& info) noexcept       { timeInfo = info; hasTimeInfo = true; }
    void clearTimeInfo() noexcept                                   { hasTimeInfo = false; }

    // Answer to audioMasterCanDo for one query text (0, "don't know", otherwise).
    void setHostCanDo (const std::string& query, Vst2::VstIntPtr answer)
    {
        const std::lock_guard<std::mutex> lock (callsMutex);
        canDoAnswers[query] = answer;
    }

    //==========================================================================
    // Calls the entry point. Returns the plug-in's AEffect, or nullptr when the
    // entry point is missing or refuses (e.g. for a host version of 0). An
    // effect created earlier by this host is closed first.
    Vst2::AEffect* instantiate (Entry entry = Entry::vstPluginMain)
    {
        close();

        const auto entryProc = findEntry (entry);

        if (entryProc == nullptr)
            return nullptr;

        {
            // Only one instantiation at a time may own the null-effect calls.
            const std::lock_guard<std::mutex> lock (instantiationMutex());
            instantiatingHost().store (this);
            effect = entryProc (&hostCallback);
            instantiatingHost().store (nullptr);
        }

        // resvd1 belongs to the host: it routes later callbacks to this object.
        if (effect != nullptr)
            effect->resvd1 = reinterpret_cast<Vst2::VstIntPtr> (this);

        return effect;
    }

    // instantiate() followed by effOpen.
    Vst2::AEffect* instantiateAndOpen (Entry entry = Entry::vstPluginMain)
    {
        if (instantiate (entry) != nullptr)
            dispatch (Vst2::effOpen);

        return effect;
    }

    // Sends effClose; the plug-in may delete itself, so the pointer is dropped.
    void close()
    {
        if (effect == nullptr)
            return;

        auto* closing = effect;
        effect = nullptr;
        closing->dispatcher (closing, Vst2::effClose, 0, 0, nullptr, 0.0f);
    }

    Vst2::AEffect* getEffect() const noexcept { return effect; }

    //==========================================================================
    // Raw dispatcher call; 0 without an effect. effClose goes through close().
    Vst2::VstIntPtr dispatch (Vst2::VstInt32 opcode, Vst2::VstInt32 index = 0, Vst2::VstIntPtr value = 0,
                              void* ptr = nullptr, float opt = 0.0f)
    {
        if (effect == nullptr)
            return 0;

        if (opcode == Vst2::effClose)
        {
            close();
            return 1;
        }

        return effect->dispatcher (effect, opcode, index, value, ptr, opt);
    }

    // effSetSampleRate, effSetBlockSize, then effMainsChanged(1).
    void resume (double sampleRate, int maxBlockSize)
    {
        dispatch (Vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float> (sampleRate));
        dispatch (Vst2::effSetBlockSize, 0, maxBlockSize);
        dispatch (Vst2::effMainsChanged, 0, 1);
    }

    void suspend() { dispatch (Vst2::effMainsChanged, 0, 0); }

    //==========================================================================
    // Text answers. The buffer is prefilled with a marker byte so that the
    // extent of the plug-in's writes (and any write past `bufferSize`) shows.
    StringReply queryString (Vst2::VstInt32 opcode, Vst2::VstInt32 index = 0, std::size_t bufferSize = 256)
    {
        constexpr std::size_t guardBytes = 1024;
        constexpr unsigned char marker = 0xA5;
        std::vector<char> buffer (bufferSize + guardBytes, static_cast<char> (marker));

        StringReply reply;
        reply.result = dispatch (opcode, index, 0, buffer.data());

        for (std::size_t i = buffer.size(); i > 0; --i)
        {
            if (static_cast<unsigned char> (buffer[i - 1]) != marker)
            {
                reply.bytesTouched = i;
                break;
            }
        }

        reply.overran = reply.bytesTouched > bufferSize;
        const auto* end = static_cast<const char*> (std::memchr (buffer.data(), 0, reply.bytesTouched));
        reply.text.assign (buffer.data(), end != nullptr ? static_cast<std::size_t> (end - buffer.data())
                                                         : reply.bytesTouched);
        return reply;
    }

    std::string getEffectName()                 { return queryString (Vst2::effGetEffectName).text; }
    std::string getVendorString()               { return queryString (Vst2::effGetVendorString).text; }
    std::string getProductString()              { return queryString (Vst2::effGetProductString).text; }
    std::string getProgramName()                { return queryString (Vst2::effGetProgramName).text; }
    std::string getParamName (int index)        { return queryString (Vst2::effGetParamName, index).text; }
    std::string getParamLabel (int index)       { return queryString (Vst2::effGetParamLabel, index).text; }
    std::string getParamDisplay (int index)     { return queryString (Vst2::effGetParamDisplay, index).text; }
    std::string getProgramNameIndexed (int index) { return queryString (Vst2::effGetProgramNameIndexed, index).text; }

    // 1 = yes, -1 = no, 0 = don't know.
    Vst2::VstIntPtr canDo (const std::string& query)
    {
        std::vector<char> text (query.begin(), query.end());
        text.push_back ('\0');
        return dispatch (Vst2::effCanDo, 0, 0, text.data());
    }

    //==========================================================================
    // State as opaque chunks: index 0 = whole bank, 1 = current program only.
    // The plug-in owns the buffer; hosts copy the bytes at once, or a little later
    // (afterYield gives other threads the chance to save or load meanwhile).
    enum class ChunkCopy { atOnce, afterYield };

    std::vector<unsigned char> getChunk (bool currentProgramOnly = false, ChunkCopy when = ChunkCopy::atOnce)
    {
        void* data = nullptr;
        const auto size = dispatch (Vst2::effGetChunk, currentProgramOnly ? 1 : 0, 0, &data);

        if (data == nullptr || size <= 0)
            return {};

        if (when == ChunkCopy::afterYield)
            std::this_thread::yield();

        const auto* bytes = static_cast<const unsigned char*> (data);
        return { bytes, bytes + size };
    }

    Vst2::VstIntPtr setChunk (const void* data, std::size_t size, bool currentProgramOnly = false)
    {
        // Hand the plug-in a private copy: it may not treat the data as const.
        std::vector<unsigned char> copy (static_cast<const unsigned char*> (data),
                                         static_cast<const unsigned char*> (data) + (data != nullptr ? size : 0));
        return dispatch (Vst2::effSetChunk, currentProgramOnly ? 1 : 0, static_cast<Vst2::VstIntPtr> (size),
                         copy.empty() ? nullptr : copy.data());
    }

    Vst2::VstIntPtr setChunk (const std::vector<unsigned char>& data, bool currentProgramOnly = false)
    {
        return setChunk (data.data(), data.size(), currentProgramOnly);
    }

    //==========================================================================
    float getParameter (int index)
    {
        return effect != nullptr ? effect->getParameter (effect, index) : 0.0f;
    }

    void setParameter (int index, float value)
    {
        if (effect != nullptr)
            effect->setParameter (effect, index, value);
    }

    //==========================================================================
    // processReplacing with one channel pointer per plug-in input and output.
    // Returns false, without calling the plug-in, when there is no effect, no
    // processReplacing, too few channels, or a channel shorter than numFrames.
    bool processReplacing (std::vector<std::vector<float>>& inputs,
                           std::vector<std::vector<float>>& outputs, int numFrames)
    {
        if (effect == nullptr || numFrames < 0)
            return false;

        std::vector<float*> in, out;

        if (! collectChannels (inputs, effect->numInputs, numFrames, in)
            || ! collectChannels (outputs, effect->numOutputs, numFrames, out))
            return false;

        return processReplacing (in.data(), out.data(), numFrames);
    }

    // Same buffers for input and output, as many hosts pass them: inputs are
    // the first numInputs channels, outputs the first numOutputs.
    bool processInPlace (std::vector<std::vector<float>>& channels, int numFrames)
    {
        if (effect == nullptr || numFrames < 0)
            return false;

        std::vector<float*> in, out;

        if (! collectChannels (channels, effect->numInputs, numFrames, in)
            || ! collectChannels (channels, effect->numOutputs, numFrames, out))
            return false;

        return processReplacing (in.data(), out.data(), numFrames);
    }

    bool processReplacing (float** inputs, float** outputs, int numFrames)
    {
        if (effect == nullptr || effect->processReplacing == nullptr)
            return false;

        effect->processReplacing (effect, inputs, outputs, numFrames);
        return true;
    }

    bool processDoubleReplacing (double** inputs, double** outputs, int numFrames)
    {
        if (effect == nullptr || effect->processDoubleReplacing == nullptr)
            return false;

        effect->processDoubleReplacing (effect, inputs, outputs, numFrames);
        return true;
    }

    //==========================================================================
    // Record of the calls the plug-in made to the host (any thread).
    std::vector<HostCall> getHostCalls() const
    {
        const std::lock_guard<std::mutex> lock (callsMutex);
        return hostCalls;
    }

    std::size_t countHostCalls (Vst2::VstInt32 opcode) const
    {
        const std::lock_guard<std::mutex> lock (callsMutex);
        std::size_t count = 0;

        for (const auto& call : hostCalls)
            if (call.opcode == opcode)
                ++count;

        return count;
    }

    void clearHostCalls()
    {
        const std::lock_guard<std::mutex> lock (callsMutex);
        hostCalls.clear();
    }

private:
    using EntryProc = Vst2::AEffect* (*) (Vst2::audioMasterCallback);

    EntryProc findEntry (Entry entry) const
    {
        if (library == nullptr)
            return nullptr;

        void* symbol = dlsym (library, entry == Entry::vstPluginMain ? "VSTPluginMain" : "main");
        EntryProc proc = nullptr;

        if (symbol != nullptr)
            std::memcpy (&proc, &symbol, sizeof (proc));  // object-to-function pointer, as POSIX allows

        return proc;
    }

    static bool collectChannels (std::vector<std::vector<float>>& channels, int count, int numFrames,
                                 std::vector<float*>& pointers)
    {
        if (count < 0 || channels.size() < static_cast<std::size_t> (count))
            return false;

        for (std::size_t i = 0; i < static_cast<std::size_t> (count); ++i)
        {
            if (channels[i].size() < static_cast<std::size_t> (numFrames))
                return false;

            pointers.push_back (channels[i].data());
        }

        return true;
    }

    static std::mutex& instantiationMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    static std::atomic<Vst2Host*>& instantiatingHost()
    {
        static std::atomic<Vst2Host*> host { nullptr };
        return host;
    }

    static Vst2::VstIntPtr hostCallback (Vst2::AEffect* fx, Vst2::VstInt32 opcode, Vst2::VstInt32 index,
                                         Vst2::VstIntPtr value, void* ptr, float opt)
    {
        // Calls made before instantiate() has stamped resvd1 (the version query
        // inside the entry point, or anything from the plug-in's constructor)
        // belong to the host that is instantiating.
        auto* host = (fx != nullptr && fx->resvd1 != 0) ? reinterpret_cast<Vst2Host*> (fx->resvd1)
                                                        : instantiatingHost().load();

        if (host == nullptr)
            return opcode == Vst2::audioMasterVersion ? currentHostVersion : 0;

        return host->handleHostCall (fx, opcode, index, value, ptr, opt);
    }

    Vst2::VstIntPtr handleHostCall (Vst2::AEffect* fx, Vst2::VstInt32 opcode, Vst2::VstInt32 index,
                                    Vst2::VstIntPtr value, void* ptr, float opt)
    {
        HostCall call;
        call.opcode = opcode;
        call.index = index;
        call.value = value;
        call.opt = opt;
        call.hadEffect = fx != nullptr;

        if (opcode == Vst2::audioMasterCanDo && ptr != nullptr)
            call.text = static_cast<const char*> (ptr);

        Vst2::VstIntPtr canDoAnswer = 0;

        {
            const std::lock_guard<std::mutex> lock (callsMutex);
            hostCalls.push_back (call);

            if (opcode == Vst2::audioMasterCanDo)
            {
                const auto found = canDoAnswers.find (call.text);
                if (found != canDoAnswers.end())
                    canDoAnswer = found->second;
            }
        }

        switch (opcode)
        {
            case Vst2::audioMasterVersion:                return hostVersion.load (std::memory_order_relaxed);
            case Vst2::audioMasterGetCurrentProcessLevel: return processLevel.load (std::memory_order_relaxed);
            case Vst2::audioMasterCanDo:                  return canDoAnswer;
            case Vst2::audioMasterGetTime:
                return hasTimeInfo ? reinterpret_cast<Vst2::VstIntPtr> (&timeInfo) : 0;
            default:                                      return 0;
        }
    }

    std::string path;
    std::string loadError;
    void* library = nullptr;
    bool unloadOnDestruction = true;
    Vst2::AEffect* effect = nullptr;

    // Atomic: JUCE may call the host from its own message thread.
    std::atomic<Vst2::VstIntPtr> hostVersion { currentHostVersion };
    std::atomic<Vst2::VstIntPtr> processLevel { processLevelRealtime };
    Vst2::VstTimeInfo timeInfo {};
    bool hasTimeInfo = false;

    mutable std::mutex callsMutex;
    std::vector<HostCall> hostCalls;
    std::map<std::string, Vst2::VstIntPtr> canDoAnswers;
};

} // namespace testhost

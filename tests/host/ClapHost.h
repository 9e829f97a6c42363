#pragma once

// A small CLAP host for tests: loads a built .clap, initialises its entry, creates
// plug-ins with a host object that records what the plug-in asks of it, and offers
// event lists and streams of chosen piece sizes. Built on the project's own CLAP
// declarations. Header-only; link with ${CMAKE_DL_LIBS}.

#include "formats/clap/ClapExtensions.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace testhost
{
class ClapHost final
{
public:
    explicit ClapHost (const std::string& path)
    {
        library = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
        {
            loadError = dlerror();
            return;
        }
        entry = static_cast<const clap_plugin_entry_t*> (dlsym (library, "clap_entry"));
        if (entry != nullptr && entry->init (path.c_str()))
            factory = static_cast<const clap_plugin_factory_t*> (entry->get_factory (CLAP_PLUGIN_FACTORY_ID));
    }

    ~ClapHost()
    {
        if (entry != nullptr && factory != nullptr)
            entry->deinit();
        // The plug-in's threads are gone with its last instance; unloading is safe.
        if (library != nullptr)
            dlclose (library);
    }

    ClapHost (const ClapHost&) = delete;
    ClapHost& operator= (const ClapHost&) = delete;

    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;
    std::string loadError;

    // What the plug-in did to its host, and how the host answers.
    struct Record
    {
        std::atomic<int> flushRequests { 0 }, callbackRequests { 0 }, valueRescans { 0 }, errors { 0 };
        std::atomic<bool> claimMainThread { true }; // the thread-check's answer
    };

    // A plug-in instance with its own host object; init has run when `plugin` is set.
    class Instance
    {
    public:
        Instance (const clap_plugin_factory_t* factory, const char* id = "com.quorvane.dunskara")
        {
            host.host_data = this;
            if (factory != nullptr)
                plugin = factory->create_plugin (factory, &host, id);
            if (plugin != nullptr && ! plugin->init (plugin))
            {
                plugin->destroy (plugin);
                plugin = nullptr;
            }
        }

        ~Instance()
        {
            if (plugin != nullptr)
                plugin->destroy (plugin);
        }

        Instance (const Instance&) = delete;
        Instance& operator= (const Instance&) = delete;

        template <typename Table>
        const Table* extension (const char* id) const
        {
            return plugin != nullptr ? static_cast<const Table*> (plugin->get_extension (plugin, id)) : nullptr;
        }

        const clap_plugin_t* plugin = nullptr;
        Record record;
        clap_host_t host {
            { 1, 2, 10 }, nullptr, "dunskara-test-host", "Quorvane", "", "1.0",
            getExtension, [] (const clap_host_t*) {}, [] (const clap_host_t*) {},
            [] (const clap_host_t* h) { ++self (h).record.callbackRequests; },
        };

    private:
        static Instance& self (const clap_host_t* h) { return *static_cast<Instance*> (h->host_data); }

        static const void* getExtension (const clap_host_t*, const char* id)
        {
            static const clap_host_params_t params {
                [] (const clap_host_t* h, uint32_t flags) { if (flags & CLAP_PARAM_RESCAN_VALUES) ++self (h).record.valueRescans; },
                [] (const clap_host_t*, clap_id, uint32_t) {},
                [] (const clap_host_t* h) { ++self (h).record.flushRequests; },
            };
            static const clap_host_log_t log {
                [] (const clap_host_t* h, int32_t severity, const char*) { if (severity >= CLAP_LOG_ERROR) ++self (h).record.errors; },
            };
            static const clap_host_thread_check_t threadCheck {
                [] (const clap_host_t* h) { return self (h).record.claimMainThread.load(); },
                [] (const clap_host_t* h) { return ! self (h).record.claimMainThread.load(); },
            };
            if (std::strcmp (id, CLAP_EXT_PARAMS) == 0) return &params;
            if (std::strcmp (id, CLAP_EXT_LOG) == 0) return &log;
            if (std::strcmp (id, CLAP_EXT_THREAD_CHECK) == 0) return &threadCheck;
            return nullptr;
        }
    };

private:
    void* library = nullptr;
};

//==============================================================================
// Input events the test lays out; output events it collects.
struct EventList
{
    std::vector<std::vector<unsigned char>> events;
    std::size_t capacity = 1000; // output lists refuse events beyond this

    void addValue (uint32_t time, clap_id id, double value)
    {
        clap_event_param_value_t e {};
        e.header = { sizeof (e), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0 };
        e.param_id = id;
        e.note_id = -1;
        e.port_index = e.channel = e.key = -1;
        e.value = value;
        add (&e.header);
    }

    void add (const clap_event_header_t* header)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*> (header);
        events.emplace_back (bytes, bytes + header->size);
    }

    const clap_event_header_t* at (std::size_t i) const
    {
        return reinterpret_cast<const clap_event_header_t*> (events[i].data());
    }

    clap_input_events_t input() const
    {
        return { const_cast<EventList*> (this),
                 [] (const clap_input_events_t* l) { return (uint32_t) static_cast<EventList*> (l->ctx)->events.size(); },
                 [] (const clap_input_events_t* l, uint32_t i) { return static_cast<EventList*> (l->ctx)->at (i); } };
    }

    clap_output_events_t output()
    {
        return { this, [] (const clap_output_events_t* l, const clap_event_header_t* e) {
                     auto& list = *static_cast<EventList*> (l->ctx);
                     if (list.events.size() >= list.capacity)
                         return false;
                     list.add (e);
                     return true;
                 } };
    }
};

// Streams that move at most `piece` bytes per call, as hosts may.
struct ByteStream
{
    std::vector<unsigned char> bytes;
    std::size_t readPosition = 0, piece = 1 << 20;
    bool failReads = false;

    clap_ostream_t writer()
    {
        return { this, [] (const clap_ostream_t* s, const void* data, uint64_t size) -> int64_t {
                     auto& self = *static_cast<ByteStream*> (s->ctx);
                     const auto n = std::min<uint64_t> (size, self.piece);
                     self.bytes.insert (self.bytes.end(), static_cast<const unsigned char*> (data),
                                        static_cast<const unsigned char*> (data) + n);
                     return (int64_t) n;
                 } };
    }

    clap_istream_t reader()
    {
        return { this, [] (const clap_istream_t* s, void* data, uint64_t size) -> int64_t {
                     auto& self = *static_cast<ByteStream*> (s->ctx);
                     if (self.failReads)
                         return -1;
                     const auto n = std::min<uint64_t> ({ size, self.piece, self.bytes.size() - self.readPosition });
                     if (n > 0) // an empty stream has no bytes to copy from
                         std::memcpy (data, self.bytes.data() + self.readPosition, n);
                     self.readPosition += n;
                     return (int64_t) n;
                 } };
    }
};
} // namespace testhost

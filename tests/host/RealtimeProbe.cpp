#include "RealtimeProbe.h"

#if defined (__SANITIZE_ADDRESS__) || defined (__SANITIZE_THREAD__)

namespace rtprobe
{
bool isAvailable() noexcept { return false; }
bool watch (const std::string&) { return false; }
Window::Window() noexcept = default;
Window::~Window() = default;
Counts counted() noexcept { return {}; }
std::string describe() { return {}; }
void reset() noexcept {}
} // namespace rtprobe

#else

#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

extern "C"
{
void* __libc_malloc (size_t);
void* __libc_calloc (size_t, size_t);
void* __libc_realloc (void*, size_t);
void* __libc_memalign (size_t, size_t);
void __libc_free (void*);
}

namespace
{
std::atomic<std::uintptr_t> watchedStart { 0 }, watchedEnd { 0 };
std::atomic<std::uintptr_t> hostStart { 0 }, hostEnd { 0 };   // the test executable

std::atomic<int> allocations { 0 }, locks { 0 }, writes { 0 };
constexpr int maxMutexes = 64;
std::atomic<const void*> mutexes[maxMutexes] {};
std::atomic<int> distinctMutexes { 0 };

// The first call stacks counted, for the failure message.
constexpr int maxStacks = 12, stackDepth = 24;
void* stacks[maxStacks][stackDepth];
int stackSizes[maxStacks];
char stackKinds[maxStacks];
std::atomic<int> stacksKept { 0 };

void keepStack (char kind) noexcept
{
    const int slot = stacksKept.fetch_add (1);
    if (slot >= maxStacks)
        return;
    stackKinds[slot] = kind;
    stackSizes[slot] = backtrace (stacks[slot], stackDepth);
}

thread_local int openWindows = 0;
thread_local bool inProbe = false;  // the probe's own calls are not counted

// True when the call was made by the watched binary: the innermost frame that lies in
// it or in the host's executable (below the interposer itself) lies in it. Frames in
// system libraries (operator new, the C library) are passed over, and so the host's
// own code, even when the plug-in called it back, does not count.
bool calledFromWatched() noexcept
{
    const auto start = watchedStart.load (std::memory_order_relaxed);
    const auto end = watchedEnd.load (std::memory_order_relaxed);
    const auto hostFirst = hostStart.load (std::memory_order_relaxed);
    const auto hostLast = hostEnd.load (std::memory_order_relaxed);
    if (start == end)
        return false;

    void* frames[48];
    const int n = backtrace (frames, 48);
    for (int i = 2; i < n; ++i) // 0: here, 1: the interposer
    {
        const auto address = reinterpret_cast<std::uintptr_t> (frames[i]);
        if (address >= start && address < end)
            return true;
        if (address >= hostFirst && address < hostLast)
            return false;
    }
    return false;
}

// Whether this call counts: a window is open here and the watched binary is on the stack.
struct Counting
{
    bool counts = false;

    Counting() noexcept
    {
        if (openWindows > 0 && ! inProbe)
        {
            inProbe = true;
            counts = calledFromWatched();
            inProbe = false;
        }
    }
};

// Keeps the call stack of a counted event without counting the probe's own calls.
void keepOwnStack (char kind) noexcept
{
    inProbe = true;
    keepStack (kind);
    inProbe = false;
}

// Counts an event of one kind when the watched binary made the call.
void note (std::atomic<int>& counter, char kind) noexcept
{
    if (! Counting().counts)
        return;
    counter.fetch_add (1);
    keepOwnStack (kind);
}

void noteAllocation() noexcept { note (allocations, 'a'); }
void noteWrite() noexcept      { note (writes, 'w'); }

void noteLock (const void* lock) noexcept
{
    if (! Counting().counts)
        return;

    locks.fetch_add (1);
    for (auto& slot : mutexes)
    {
        const void* expected = nullptr;
        if (slot.load() == lock)
            return;
        if (slot.compare_exchange_strong (expected, lock))
        {
            distinctMutexes.fetch_add (1);
            keepOwnStack ('l');
            return;
        }
        if (expected == lock)
            return;
    }
}

template <typename Function>
Function real (Function& cached, const char* name) noexcept
{
    if (cached == nullptr)
        cached = reinterpret_cast<Function> (dlsym (RTLD_NEXT, name));
    return cached;
}

int (*realMutexLock) (pthread_mutex_t*) = nullptr;
int (*realMutexTrylock) (pthread_mutex_t*) = nullptr;
int (*realRwlockRdlock) (pthread_rwlock_t*) = nullptr;
int (*realRwlockWrlock) (pthread_rwlock_t*) = nullptr;
int (*realSpinLock) (pthread_spinlock_t*) = nullptr;
ssize_t (*realWrite) (int, const void*, size_t) = nullptr;
ssize_t (*realWritev) (int, const struct iovec*, int) = nullptr;
ssize_t (*realSend) (int, const void*, size_t, int) = nullptr;
ssize_t (*realSendto) (int, const void*, size_t, int, const struct sockaddr*, socklen_t) = nullptr;
ssize_t (*realSendmsg) (int, const struct msghdr*, int) = nullptr;

// Resolved before main, and backtrace's one-time set-up (it loads the unwinder) done.
__attribute__ ((constructor)) void resolveEverything()
{
    real (realMutexLock, "pthread_mutex_lock");
    real (realMutexTrylock, "pthread_mutex_trylock");
    real (realRwlockRdlock, "pthread_rwlock_rdlock");
    real (realRwlockWrlock, "pthread_rwlock_wrlock");
    real (realSpinLock, "pthread_spin_lock");
    real (realWrite, "write");
    real (realWritev, "writev");
    real (realSend, "send");
    real (realSendto, "sendto");
    real (realSendmsg, "sendmsg");
    void* frames[4];
    backtrace (frames, 4);
}
} // namespace

extern "C"
{
void* malloc (size_t size)                 { noteAllocation(); return __libc_malloc (size); }
void* calloc (size_t n, size_t size)       { noteAllocation(); return __libc_calloc (n, size); }
void* realloc (void* p, size_t size)       { noteAllocation(); return __libc_realloc (p, size); }
void free (void* p)                        { if (p != nullptr) noteAllocation(); __libc_free (p); }
void* memalign (size_t a, size_t size)     { noteAllocation(); return __libc_memalign (a, size); }
void* aligned_alloc (size_t a, size_t size) { noteAllocation(); return __libc_memalign (a, size); }

int posix_memalign (void** out, size_t a, size_t size)
{
    noteAllocation();
    void* p = __libc_memalign (a, size);
    if (p == nullptr)
        return 12; // ENOMEM
    *out = p;
    return 0;
}

int pthread_mutex_lock (pthread_mutex_t* m)    { noteLock (m); return real (realMutexLock, "pthread_mutex_lock") (m); }
int pthread_mutex_trylock (pthread_mutex_t* m) { noteLock (m); return real (realMutexTrylock, "pthread_mutex_trylock") (m); }
int pthread_rwlock_rdlock (pthread_rwlock_t* l) { noteLock (l); return real (realRwlockRdlock, "pthread_rwlock_rdlock") (l); }
int pthread_rwlock_wrlock (pthread_rwlock_t* l) { noteLock (l); return real (realRwlockWrlock, "pthread_rwlock_wrlock") (l); }
int pthread_spin_lock (pthread_spinlock_t* l)  { noteLock ((const void*) l); return real (realSpinLock, "pthread_spin_lock") (l); }

ssize_t write (int fd, const void* data, size_t size) { noteWrite(); return real (realWrite, "write") (fd, data, size); }
ssize_t writev (int fd, const struct iovec* v, int n) { noteWrite(); return real (realWritev, "writev") (fd, v, n); }
ssize_t send (int fd, const void* data, size_t size, int flags) { noteWrite(); return real (realSend, "send") (fd, data, size, flags); }

ssize_t sendto (int fd, const void* data, size_t size, int flags, const struct sockaddr* to, socklen_t length)
{
    noteWrite();
    return real (realSendto, "sendto") (fd, data, size, flags, to, length);
}

ssize_t sendmsg (int fd, const struct msghdr* message, int flags)
{
    noteWrite();
    return real (realSendmsg, "sendmsg") (fd, message, flags);
}
} // extern "C"

namespace rtprobe
{
bool isAvailable() noexcept { return true; }

bool watch (const std::string& binaryPathEnding)
{
    struct Range
    {
        std::uintptr_t start = 0, end = 0;

        void add (const dl_phdr_info& info)
        {
            for (int i = 0; i < info.dlpi_phnum; ++i)
            {
                const auto& segment = info.dlpi_phdr[i];
                if (segment.p_type != PT_LOAD)
                    continue;
                const auto first = info.dlpi_addr + segment.p_vaddr;
                start = start == 0 ? first : std::min<std::uintptr_t> (start, first);
                end = std::max<std::uintptr_t> (end, first + segment.p_memsz);
            }
        }
    };

    struct Search
    {
        const std::string& ending;
        Range watched, host;
    } search { binaryPathEnding, {}, {} };

    dl_iterate_phdr ([] (dl_phdr_info* info, size_t, void* data)
    {
        auto& s = *static_cast<Search*> (data);
        const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
        if (name.empty() && s.host.start == 0)
            s.host.add (*info); // the executable comes first, without a name
        else if (name.size() >= s.ending.size() && name.compare (name.size() - s.ending.size(), s.ending.size(), s.ending) == 0)
            s.watched.add (*info);
        return 0;
    }, &search);

    hostStart.store (search.host.start);
    hostEnd.store (search.host.end);
    watchedStart.store (search.watched.start);
    watchedEnd.store (search.watched.end);
    return search.watched.start != search.watched.end;
}

Window::Window() noexcept  { ++openWindows; }
Window::~Window()          { --openWindows; }

Counts counted() noexcept
{
    return { allocations.load(), locks.load(), distinctMutexes.load(), writes.load() };
}

std::string describe()
{
    std::string text;
    const int kept = std::min (stacksKept.load(), maxStacks);
    for (int s = 0; s < kept; ++s)
    {
        text += stackKinds[s] == 'a' ? "allocation:\n" : stackKinds[s] == 'l' ? "new lock:\n" : "write:\n";
        if (char** symbols = backtrace_symbols (stacks[s], stackSizes[s]))
        {
            for (int f = 0; f < stackSizes[s]; ++f)
                text += std::string ("  ") + symbols[f] + "\n";
            free (symbols);
        }
    }
    return text;
}

void reset() noexcept
{
    stacksKept.store (0);
    allocations.store (0);
    locks.store (0);
    writes.store (0);
    distinctMutexes.store (0);
    for (auto& slot : mutexes)
        slot.store (nullptr);
}
} // namespace rtprobe

#endif

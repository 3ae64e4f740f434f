#include "allocation_counter.h"

#include <dlfcn.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>

// glibc's own allocator, under names that stay reachable when malloc is replaced. Calling these
// instead of dlsym(RTLD_NEXT, "malloc") needs no bootstrap: dlsym itself may call calloc.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void* __libc_valloc(std::size_t size);
void* __libc_pvalloc(std::size_t size);
}

namespace allocation_counter {

namespace {

// Constant-initialized, so reading them from inside malloc allocates nothing.
thread_local bool watched = false;
thread_local bool failing = false;
thread_local long allowance = 0;  // allocations still granted before failing starts
// Set while this thread resolves the pthread functions: dlsym must not find itself waiting.
thread_local bool resolving = false;

std::atomic<long> counts[kFunctionCount];
std::atomic<long> refusals{0};

constexpr int kCallerSlots = 64;
std::atomic<int> callerCount{0};
void* callerSlots[kCallerSlots];

// Counts a call; answers whether it must fail.
inline bool counted(Function function, void* caller) {
    if (!watched) {
        return false;
    }
    counts[function].fetch_add(1, std::memory_order_relaxed);
    if (function != kFree && function != kDelete && function != kDeleteArray &&
        function < kMutexLock) {
        const int slot = callerCount.fetch_add(1, std::memory_order_relaxed);
        if (slot < kCallerSlots) {
            callerSlots[slot] = caller;
        }
        if (!failing) {
            return false;
        }
        if (allowance > 0) {
            --allowance;
            return false;
        }
        refusals.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    return false;
}

#define CALLER __builtin_return_address(0)

bool validAlignment(std::size_t alignment) {
    return alignment >= sizeof(void*) && (alignment & (alignment - 1)) == 0;
}

void* allocateOrNull(std::size_t size, Function function, void* caller) noexcept {
    return counted(function, caller) ? nullptr : __libc_malloc(size ? size : 1);
}

void* allocateAlignedOrNull(std::size_t size, std::align_val_t alignment, Function function,
                            void* caller) noexcept {
    return counted(function, caller)
               ? nullptr
               : __libc_memalign(static_cast<std::size_t>(alignment), size ? size : 1);
}

void* allocate(std::size_t size, Function function, void* caller) {
    if (void* p = allocateOrNull(size, function, caller))
        return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment, Function function,
                      void* caller) {
    if (void* p = allocateAlignedOrNull(size, alignment, function, caller))
        return p;
    throw std::bad_alloc();
}

void release(void* p, Function function) noexcept {
    counted(function, nullptr);
    __libc_free(p);
}

// The next definition of a pthread function: the C library's. Resolved once; a call made while
// dlsym runs on this thread (glibc takes its loader lock internally, so none is expected) would
// find the pointer still null and answers success without locking.
template <typename F>
F resolved(std::atomic<F>& cell, const char* symbol, const char* version) {
    F f = cell.load(std::memory_order_acquire);
    if (f || resolving) {
        return f;
    }
    resolving = true;
    // The condition-variable functions exist in two versions: dlsym would find the old one.
    void* found = version ? dlvsym(RTLD_NEXT, symbol, version) : dlsym(RTLD_NEXT, symbol);
    resolving = false;
    f = reinterpret_cast<F>(found);
    cell.store(f, std::memory_order_release);
    return f;
}

using MutexFunction = int (*)(pthread_mutex_t*);
using CondWait = int (*)(pthread_cond_t*, pthread_mutex_t*);
using CondTimedwait = int (*)(pthread_cond_t*, pthread_mutex_t*, const struct timespec*);
std::atomic<MutexFunction> realMutexLock{nullptr};
std::atomic<MutexFunction> realMutexTrylock{nullptr};
std::atomic<CondWait> realCondWait{nullptr};
std::atomic<CondTimedwait> realCondTimedwait{nullptr};

}  // namespace

const char* name(Function function) {
    static const char* const names[kFunctionCount] = {"malloc",
                                                      "calloc",
                                                      "realloc",
                                                      "free",
                                                      "aligned_alloc",
                                                      "posix_memalign",
                                                      "memalign",
                                                      "valloc",
                                                      "pvalloc",
                                                      "operator new",
                                                      "operator new[]",
                                                      "operator delete",
                                                      "operator delete[]",
                                                      "pthread_mutex_lock",
                                                      "pthread_mutex_trylock",
                                                      "pthread_cond_wait",
                                                      "pthread_cond_timedwait"};
    return function >= 0 && function < kFunctionCount ? names[function] : "?";
}

long Tally::total() const {
    long sum = 0;
    for (long n : calls) {
        sum += n;
    }
    return sum;
}

std::string Tally::describe() const {
    std::string text;
    for (int f = 0; f < kFunctionCount; ++f) {
        if (calls[f] != 0) {
            text += (text.empty() ? "" : ", ") + std::string(name(static_cast<Function>(f))) +
                    " x " + std::to_string(calls[f]);
        }
    }
    return text.empty() ? "none" : text;
}

Tally tally() {
    Tally t;
    for (int f = 0; f < kFunctionCount; ++f) {
        t.calls[f] = counts[f].load(std::memory_order_relaxed);
    }
    return t;
}

void reset() {
    for (auto& count : counts) {
        count.store(0, std::memory_order_relaxed);
    }
    callerCount.store(0, std::memory_order_relaxed);
    refusals.store(0, std::memory_order_relaxed);
}

long refused() {
    return refusals.load(std::memory_order_relaxed);
}

std::vector<void*> callers() {
    const int n = std::min(callerCount.load(std::memory_order_relaxed), kCallerSlots);
    return std::vector<void*>(callerSlots, callerSlots + n);
}

Watch::Watch(bool failAllocations, long allowed) {
    failing = failAllocations;
    allowance = allowed;
    watched = true;
}

Watch::~Watch() {
    watched = false;
    failing = false;
}

}  // namespace allocation_counter

using namespace allocation_counter;

extern "C" {

void* malloc(std::size_t size) {
    if (counted(kMalloc, CALLER)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    if (counted(kCalloc, CALLER)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) {
    if (counted(kRealloc, CALLER)) {
        errno = ENOMEM;
        return nullptr;  // the old block stays the caller's, as on a real failure
    }
    return __libc_realloc(pointer, size);
}

void free(void* pointer) {
    counted(kFree, nullptr);
    __libc_free(pointer);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    if (counted(kAlignedAlloc, CALLER)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** pointer, std::size_t alignment, std::size_t size) {
    if (counted(kPosixMemalign, CALLER)) {
        return ENOMEM;
    }
    if (!validAlignment(alignment)) {
        return EINVAL;
    }
    void* p = __libc_memalign(alignment, size);
    if (!p) {
        return ENOMEM;
    }
    *pointer = p;
    return 0;
}

void* memalign(std::size_t alignment, std::size_t size) {
    if (counted(kMemalign, CALLER)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_memalign(alignment, size);
}

void* valloc(std::size_t size) {
    if (counted(kValloc, CALLER)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_valloc(size);
}

void* pvalloc(std::size_t size) {
    if (counted(kPvalloc, CALLER)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_pvalloc(size);
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
    counted(kMutexLock, nullptr);
    const auto real = resolved(realMutexLock, "pthread_mutex_lock", nullptr);
    return real ? real(mutex) : 0;
}

int pthread_mutex_trylock(pthread_mutex_t* mutex) {
    counted(kMutexTrylock, nullptr);
    const auto real = resolved(realMutexTrylock, "pthread_mutex_trylock", nullptr);
    return real ? real(mutex) : 0;
}

int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
    counted(kCondWait, nullptr);
    const auto real = resolved(realCondWait, "pthread_cond_wait", "GLIBC_2.3.2");
    return real ? real(condition, mutex) : 0;
}

int pthread_cond_timedwait(pthread_cond_t* condition, pthread_mutex_t* mutex,
                           const struct timespec* until) {
    counted(kCondTimedwait, nullptr);
    const auto real = resolved(realCondTimedwait, "pthread_cond_timedwait", "GLIBC_2.3.2");
    return real ? real(condition, mutex, until) : 0;
}

}  // extern "C"

void* operator new(std::size_t size) {
    return allocate(size, kNew, CALLER);
}
void* operator new[](std::size_t size) {
    return allocate(size, kNewArray, CALLER);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, kNew, CALLER);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, kNewArray, CALLER);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocateAligned(size, alignment, kNew, CALLER);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocateAligned(size, alignment, kNewArray, CALLER);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateAlignedOrNull(size, alignment, kNew, CALLER);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateAlignedOrNull(size, alignment, kNewArray, CALLER);
}

void operator delete(void* p) noexcept {
    release(p, kDelete);
}
void operator delete[](void* p) noexcept {
    release(p, kDeleteArray);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p, kDelete);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p, kDeleteArray);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p, kDelete);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p, kDeleteArray);
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p, kDelete);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p, kDeleteArray);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    release(p, kDelete);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    release(p, kDeleteArray);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p, kDelete);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p, kDeleteArray);
}

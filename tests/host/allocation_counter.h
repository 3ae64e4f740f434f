// Counts the calls a thread makes to the allocator and to blocking pthread functions while it is
// watched. The program that links allocation_counter.cpp defines malloc, operator new,
// pthread_mutex_lock and their kin itself, so a module it loads calls these definitions too.
// Watched allocations can also be made to fail, as they do when memory runs out.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace allocation_counter {

enum Function {
    kMalloc,
    kCalloc,
    kRealloc,
    kFree,
    kAlignedAlloc,
    kPosixMemalign,
    kMemalign,
    kValloc,
    kPvalloc,
    kNew,
    kNewArray,
    kDelete,
    kDeleteArray,
    kMutexLock,
    kMutexTrylock,
    kCondWait,
    kCondTimedwait,
    kFunctionCount
};

const char* name(Function function);

// What the watched threads called since the last reset.
struct Tally {
    std::array<long, kFunctionCount> calls{};
    long total() const;
    // "malloc x 2, operator new x 1", or "none".
    std::string describe() const;
};

Tally tally();
void reset();

// The return addresses of the first watched allocations since the last reset: where they were
// called from.
std::vector<void*> callers();

// Allocations refused since the last reset.
long refused();

// Watches the calling thread while alive; `failAllocations`: every allocation after the first
// `allowed` answers null, or throws std::bad_alloc from a throwing operator new. Not nestable.
class Watch {
  public:
    explicit Watch(bool failAllocations = false, long allowed = 0);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
};

}  // namespace allocation_counter

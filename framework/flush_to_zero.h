// Keeps denormal results out of audio processing for one scope: sets the flush-to-zero bit
// (bit 15) of MXCSR and puts that bit back as it was when the scope ends, on every exit.
// No other bit is touched; denormals-are-zero stays as the host has it.
#pragma once

#include <xmmintrin.h>

namespace corvane::vst {

class ScopedFlushToZero {
  public:
    static constexpr unsigned int kFlushToZeroBit = 0x8000;

    ScopedFlushToZero() noexcept : previous(_mm_getcsr() & kFlushToZeroBit) {
        _mm_setcsr(_mm_getcsr() | kFlushToZeroBit);
    }
    ~ScopedFlushToZero() { _mm_setcsr((_mm_getcsr() & ~kFlushToZeroBit) | previous); }

    ScopedFlushToZero(const ScopedFlushToZero&) = delete;
    ScopedFlushToZero& operator=(const ScopedFlushToZero&) = delete;

  private:
    unsigned int previous;
};

}  // namespace corvane::vst

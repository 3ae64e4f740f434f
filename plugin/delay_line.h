// One channel's delay: an integer number of samples, no interpolation.
//
// The buffer is linear and written downwards, so a read at the write position plus the delay
// never wraps: with 3 x maxDelay entries, one copy of maxDelay samples every 2 x maxDelay
// samples replaces all index arithmetic modulo the length. Samples are stored as float, also
// in 64-bit processing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pluginterfaces/base/ftypes.h"

namespace quenvale {

// How a stretch of samples is mixed: the same delay and shares for every sample (steady
// parameters), or one of each per sample (while the smoothers glide), or a gliding delay with
// steady shares.
struct SteadyMix {
    Steinberg::int32 delay;
    float dry;
    float wet;
    Steinberg::int32 delayAt(Steinberg::int32) const noexcept { return delay; }
    float dryAt(Steinberg::int32) const noexcept { return dry; }
    float wetAt(Steinberg::int32) const noexcept { return wet; }
    // True when every read of a stretch of `count` samples lies before the stretch.
    bool readsBefore(Steinberg::int32 count) const noexcept { return delay >= count; }
};

struct GlidingMix {
    const Steinberg::int32* delay;
    const float* dry;
    const float* wet;
    Steinberg::int32 delayAt(Steinberg::int32 i) const noexcept { return delay[i]; }
    float dryAt(Steinberg::int32 i) const noexcept { return dry[i]; }
    float wetAt(Steinberg::int32 i) const noexcept { return wet[i]; }
    bool readsBefore(Steinberg::int32) const noexcept { return false; }
};

// The delay glides while the shares stay as they are (the usual case under delay automation).
struct GlidingDelayMix {
    const Steinberg::int32* delay;
    float dry;
    float wet;
    Steinberg::int32 delayAt(Steinberg::int32 i) const noexcept { return delay[i]; }
    float dryAt(Steinberg::int32) const noexcept { return dry; }
    float wetAt(Steinberg::int32) const noexcept { return wet; }
    bool readsBefore(Steinberg::int32) const noexcept { return false; }
};

struct DelayLine {
    using int32 = Steinberg::int32;

    // The double product of 0.4 and 1.1: 400 ms and a tenth more.
    static constexpr double kMaxDelaySeconds = 0.4 * 1.1;

    int32 maxDelay = 0;
    int32 delaySamples = 0;
    int32 writePos = -1;  // index of the most recent write
    std::vector<float> buffer;

    static int32 maxDelayFor(int32 sampleRate) noexcept {
        return sampleRate > 0 ? static_cast<int32>(sampleRate * kMaxDelaySeconds) : 0;
    }

    DelayLine() = default;
    explicit DelayLine(int32 sampleRate)
        : maxDelay(maxDelayFor(sampleRate)),
          delaySamples(maxDelay),
          writePos(2 * maxDelay - 1),
          buffer(std::size_t{3} * static_cast<std::size_t>(maxDelay), 0.0f) {}

    // Renders `count` samples: out = dry x in + line x wet, the line read `delay` (0..maxDelay)
    // samples back. In the 32-bit variant all in float; in the 64-bit one dry x in is computed
    // in double. `in` and `out` may be the same buffer: every input sample is read before its
    // output is written.
    template <typename Sample, typename Mix>
    void render(const Sample* in, Sample* out, int32 count, const Mix& mix) noexcept {
        if (maxDelay == 0) {
            for (int32 i = 0; i < count; ++i) {
                out[i] = mixSample(mix.dryAt(i), in[i], static_cast<float>(in[i]), mix.wetAt(i));
            }
            return;
        }
        for (int32 done = 0; done < count;) {
            if (writePos == 0) {
                wrapAround();
            }
            const int32 n = std::min(count - done, writePos);
            // Sample done + i is written at writePos - 1 - i. Writing the whole stretch before
            // reading is the same as alternating: a read at p + d (d >= 0) sees only samples
            // written at or before its own, since later ones go below p.
            float* const at = buffer.data() + (writePos - 1);
            if (mix.readsBefore(n)) {
                // Every read lies above this stretch's writes: one pass does both.
                const float* const read = at + mix.delayAt(done);
                for (int32 i = 0; i < n; ++i) {
                    const int32 k = done + i;
                    const Sample x = in[k];
                    at[-i] = static_cast<float>(x);
                    out[k] = mixSample(mix.dryAt(k), x, read[-i], mix.wetAt(k));
                }
                writePos -= n;
                done += n;
                continue;
            }
            int32 i = 0;
            if constexpr (std::is_same_v<Mix, GlidingDelayMix>) {
                i = gatherMix(in + done, out + done, at, mix.delay + done, n, mix.dry, mix.wet);
            }
            for (int32 k = i; k < n; ++k) {
                at[-k] = static_cast<float>(in[done + k]);
            }
            for (; i < n; ++i) {
                const int32 k = done + i;
                out[k] = mixSample(mix.dryAt(k), in[k], at[mix.delayAt(k) - i], mix.wetAt(k));
            }
            writePos -= n;
            done += n;
        }
        if (count > 0) {
            delaySamples = mix.delayAt(count - 1);
        }
    }

  private:
    // A gliding delay with steady shares, four samples at a time: their writes (at[-i], below
    // the earlier ones), then their reads with the same operations in the same order as
    // mixSample on each lane. Answers how many samples it rendered (a multiple of four); the
    // caller writes and renders the rest.
    static int32 gatherMix(const float* in, float* out, float* at, const int32* delay,
                           int32 count, float dry, float wet) noexcept {
        int32 i = 0;
#if defined(__SSE2__)
        const __m128 dryShare = _mm_set1_ps(dry);
        const __m128 wetShare = _mm_set1_ps(wet);
        for (; i + 4 <= count; i += 4) {
            const __m128 x = _mm_loadu_ps(in + i);
            _mm_storeu_ps(at - i - 3, _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 1, 2, 3)));
            const __m128 y = gather(at - i, delay + i);
            _mm_storeu_ps(out + i,
                          _mm_add_ps(_mm_mul_ps(dryShare, x), _mm_mul_ps(y, wetShare)));
        }
#else
        (void)in, (void)out, (void)at, (void)delay, (void)count, (void)dry, (void)wet;
#endif
        return i;
    }
    static int32 gatherMix(const double* in, double* out, float* at, const int32* delay,
                           int32 count, float dry, float wet) noexcept {
        int32 i = 0;
#if defined(__SSE2__)
        const __m128d dryShare = _mm_set1_pd(static_cast<double>(dry));
        const __m128 wetShare = _mm_set1_ps(wet);
        for (; i + 4 <= count; i += 4) {
            const __m128d x0 = _mm_loadu_pd(in + i);
            const __m128d x1 = _mm_loadu_pd(in + i + 2);
            const __m128 narrow = _mm_movelh_ps(_mm_cvtpd_ps(x0), _mm_cvtpd_ps(x1));
            _mm_storeu_ps(at - i - 3, _mm_shuffle_ps(narrow, narrow, _MM_SHUFFLE(0, 1, 2, 3)));
            const __m128 yw = _mm_mul_ps(gather(at - i, delay + i), wetShare);
            _mm_storeu_pd(out + i, _mm_add_pd(_mm_mul_pd(dryShare, x0), _mm_cvtps_pd(yw)));
            _mm_storeu_pd(out + i + 2, _mm_add_pd(_mm_mul_pd(dryShare, x1),
                                                  _mm_cvtps_pd(_mm_movehl_ps(yw, yw))));
        }
#else
        (void)in, (void)out, (void)at, (void)delay, (void)count, (void)dry, (void)wet;
#endif
        return i;
    }
#if defined(__SSE2__)
    // Lane m reads at[delay[m] - m], as the scalar loop reads sample m.
    static __m128 gather(const float* at, const int32* delay) noexcept {
        return _mm_setr_ps(at[delay[0]], at[delay[1] - 1], at[delay[2] - 2], at[delay[3] - 3]);
    }
#endif

    // The most recent maxDelay samples move to the top; writing goes on below them.
    void wrapAround() noexcept {
        const std::size_t size = buffer.size();
        std::copy_n(buffer.begin(), maxDelay, buffer.begin() + (size - maxDelay));
        writePos = static_cast<int32>(size) - maxDelay;
    }

    static float mixSample(float dry, float in, float y, float wet) noexcept {
        return dry * in + y * wet;
    }
    static double mixSample(float dry, double in, float y, float wet) noexcept {
        return static_cast<double>(dry) * in + static_cast<double>(y * wet);
    }
};

}  // namespace quenvale

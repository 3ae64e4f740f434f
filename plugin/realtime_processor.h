// The signal path: ramps follow the host's automation, two one-pole smoothers glide the bypass
// gain and the delay time, and every channel runs through its own delay line.
//
// Threads: construction, destruction, published(id).take() and mailbox().post() on the main
// thread; processParameterChanges and processBlock on the audio thread, which allocates
// nothing, locks nothing and throws nothing. Callers keep flush-to-zero on while rendering.
// tests/host/realtime_safety_test.cpp checks on every run that the loaded module's process
// (and so these two) allocates, frees, locks and waits for nothing.
#pragma once

#include <algorithm>
#include <vector>

#include "delay_line.h"
#include "param_ramp.h"
#include "parameters.h"
#include "processor_state.h"
#include "published_value.h"
#include "state_mailbox.h"

namespace quenvale {

class RealtimeProcessor {
  public:
    // Allocates 3 x 0.44 s of float samples per channel; throws std::bad_alloc.
    explicit RealtimeProcessor(const RealtimeConfig& config);
    RealtimeProcessor(const RealtimeProcessor&) = delete;
    RealtimeProcessor& operator=(const RealtimeProcessor&) = delete;

    // First in every process call: takes a posted state, then this block's points.
    void processParameterChanges(Steinberg::Vst::IParameterChanges* changes) noexcept;

    // Instead of processBlock when a call renders nothing (no samples, no audio bus, or refused):
    // the ramps reach every point of this call's queues at once, so that values a host flushes
    // while it is not streaming are not lost. The smoothers glide there from the next sample.
    void reachPoints() noexcept {
        bypassRamp.reachAllPoints();
        delayRamp.reachAllPoints();
    }

    // Renders one block; `channels` must not exceed the engine's channel count (more are not
    // rendered). Input and output buffers may be the same.
    void processBlock(const float* const* inputs, float* const* outputs, int32 channels,
                      int32 samples) noexcept;
    void processBlock(const double* const* inputs, double* const* outputs, int32 channels,
                      int32 samples) noexcept;

    // The last automation value received for parameter 0 or 1.
    PublishedValue& published(Parameters::Id id) noexcept { return publishedValues[id]; }
    StateMailbox& mailbox() noexcept { return stateMailbox; }

    const RealtimeConfig& configuration() const noexcept { return config; }
    // The smoothed delay an engine built from `config` starts with, in milliseconds.
    static float initialDelayMs(const RealtimeConfig& config) noexcept {
        return Parameters::delayMsFromNormalized(config.state.delay);
    }

    // The latency a host must be told for an engine built from `config`: the engine never
    // delays by a negative amount, so a negative delay is reported instead and the host's delay
    // compensation plays the track that much earlier.
    static int32 latencyFor(const RealtimeConfig& config) noexcept {
        return std::max(-Parameters::delaySamples(config.state.delay, config.sampleRate), 0);
    }
    int32 maxDelaySamples() const noexcept { return maxDelay; }

    // Smoothing coefficient per sample: a time constant of about 10 ms, at most 1 so that the
    // smoothers cannot diverge at absurdly low rates.
    static float smoothingCoefficient(int32 sampleRate) noexcept;

  private:
    template <typename Sample>
    void render(const Sample* const* inputs, Sample* const* outputs, int32 channels,
                int32 samples) noexcept;

    // How many of the next `limit` samples leave the bypass smoother, or the delay smoother, as
    // it is.
    int32 settledBypassSamples(int32 limit) const noexcept;
    int32 settledDelaySamples(int32 limit) const noexcept;
    // Advances ramps and smoothers over `count` samples, recording each sample's delay and mix;
    // kBypassSettled: the bypass stays settled throughout, and its shares are not recorded.
    template <bool kBypassSettled>
    void glide(int32 count, int32* delays, float* dry, float* wet) noexcept;
    // The smoothed delay as whole samples, 0..maxDelay.
    int32 delaySamplesFor(float delayMs) const noexcept;

    ParamRamp bypassRamp;
    ParamRamp delayRamp;
    StateMailbox stateMailbox;
    PublishedValue publishedValues[Parameters::kParamCount];
    RealtimeConfig config;
    float smoothedBypass;  // share of the dry signal, 0..1
    float bypassCoef;
    float smoothedDelayMs;
    float delayCoef;
    int32 maxDelay;  // of every line
    std::vector<DelayLine> lines;
};

}  // namespace quenvale

#include "realtime_processor.h"

#include <algorithm>

namespace quenvale {

namespace {

// Samples whose delay and mix are computed one by one before the engine looks again whether
// it can render a steady stretch; their values live on the stack.
constexpr int32 kGlidePass = 64;

}  // namespace

RealtimeProcessor::RealtimeProcessor(const RealtimeConfig& configuration)
    : config(configuration),
      smoothedBypass(static_cast<float>(Parameters::bypassFromNormalized(config.state.bypass))),
      bypassCoef(smoothingCoefficient(config.sampleRate)),
      smoothedDelayMs(initialDelayMs(config)),
      delayCoef(bypassCoef),
      maxDelay(DelayLine::maxDelayFor(config.sampleRate)),
      lines(static_cast<std::size_t>(std::max(config.channels, 0)), DelayLine(config.sampleRate)) {
    bypassRamp.restart(config.state.bypass, nullptr);
    delayRamp.restart(config.state.delay, nullptr);
}

float RealtimeProcessor::smoothingCoefficient(int32 sampleRate) noexcept {
    if (sampleRate <= 0) {
        return 1.0f;
    }
    return static_cast<float>(std::min(100.0 / sampleRate, 1.0));
}

void RealtimeProcessor::processParameterChanges(
    Steinberg::Vst::IParameterChanges* changes) noexcept {
    Steinberg::Vst::IParamValueQueue* queues[Parameters::kParamCount] = {};
    if (changes) {
        const int32 count = changes->getParameterCount();
        for (int32 i = 0; i < count; ++i) {
            Steinberg::Vst::IParamValueQueue* queue = changes->getParameterData(i);
            if (!queue) {
                continue;
            }
            const Steinberg::Vst::ParamID id = queue->getParameterId();
            const int32 points = queue->getPointCount();
            if (id >= static_cast<Steinberg::Vst::ParamID>(Parameters::kParamCount) ||
                points <= 0) {
                continue;
            }
            queues[id] = queue;  // a later queue for the same id wins
            int32 offset = 0;
            Steinberg::Vst::ParamValue value = 0.0;
            if (queue->getPoint(points - 1, offset, value) == Steinberg::kResultOk) {
                publishedValues[id].publish(static_cast<float>(value));
            }
        }
    }
    if (const auto posted = stateMailbox.take()) {
        bypassRamp.restart(posted->bypass, queues[Parameters::kParamBypass]);
        delayRamp.restart(posted->delay, queues[Parameters::kParamDelay]);
    } else {
        bypassRamp.setQueue(queues[Parameters::kParamBypass]);
        delayRamp.setQueue(queues[Parameters::kParamDelay]);
    }
}

namespace {

// One step of a one-pole smoother, in single precision; `keep` is 1 - coef, for loops that
// compute it once.
inline float smooth(float target, float coef, float keep, float current) noexcept {
    return target * coef + keep * current;
}

inline float smooth(float target, float coef, float current) noexcept {
    return smooth(target, coef, 1.0f - coef, current);
}

inline float bypassTarget(double rampValue) noexcept {
    return static_cast<float>(Parameters::bypassFromNormalized(static_cast<float>(rampValue)));
}

inline float delayTarget(double rampValue) noexcept {
    return Parameters::delayMsFromNormalized(static_cast<float>(rampValue));
}

// The delay smoother's single-precision steps come to rest short of their target, by more the
// higher the rate (at 384 kHz a glide to 400 ms stops 36 samples early), and a smoother built
// exactly on its target can drift off it. So a smoother on its target stays there, and a step
// that leaves it where it was means it has arrived: the delay heard is the target's.
inline bool delayArrived(float target, float coef, float smoothed) noexcept {
    return smoothed == target || smooth(target, coef, smoothed) == smoothed;
}

// One sample of the delay smoother; answers the delay heard, in milliseconds.
// `keep` is 1 - coef, computed once.
inline float glideDelay(float target, float coef, float keep, float& smoothed) noexcept {
    // A branch, not a select: it is almost never taken while gliding, and a select would
    // lengthen the chain of dependent steps that bounds the smoother's speed.
    if (__builtin_expect(smoothed == target, 0)) {
        return target;
    }
    const float next = smooth(target, coef, keep, smoothed);
    const float heard = next == smoothed ? target : next;
    smoothed = next;
    return heard;
}

}  // namespace

int32 RealtimeProcessor::delaySamplesFor(float delayMs) const noexcept {
    // A negative delay is no delay here: it is reported to the host as latency instead.
    const double seconds = std::max(static_cast<double>(delayMs) * 0.001, 0.0);
    const auto samples = static_cast<int32>(seconds * config.sampleRate);
    return std::max(std::min(samples, maxDelay), 0);
}

// A smoother is settled when one more step would leave it exactly where it is; with a flat
// ramp it then stays there.
int32 RealtimeProcessor::settledBypassSamples(int32 limit) const noexcept {
    const bool settled =
        smooth(bypassTarget(bypassRamp.value), bypassCoef, smoothedBypass) == smoothedBypass;
    return settled ? std::min(limit, bypassRamp.flatSamples()) : 0;
}

int32 RealtimeProcessor::settledDelaySamples(int32 limit) const noexcept {
    const bool settled = delayArrived(delayTarget(delayRamp.value), delayCoef, smoothedDelayMs);
    return settled ? std::min(limit, delayRamp.flatSamples()) : 0;
}

template <bool kBypassSettled>
void RealtimeProcessor::glide(int32 count, int32* delays, float* dry, float* wet) noexcept {
    // Locals throughout: the stores into the arrays could otherwise alias the members and force
    // a reload on every sample.
    float bypass = smoothedBypass;
    float delayMs = smoothedDelayMs;
    float heardMs[kGlidePass];  // count <= kGlidePass
    const float bypassSmoothing = bypassCoef;
    const float delaySmoothing = delayCoef;
    const float delayKeep = 1.0f - delaySmoothing;
    const auto record = [&](int32 i, float heard) {
        if (!kBypassSettled) {
            dry[i] = bypass;
            wet[i] = 1.0f - bypass;
        }
        heardMs[i] = heard;
    };
    if (kBypassSettled) {
        // The bypass ramp reaches no point in this stretch and its smoother stays put.
        bypassRamp.skip(count);
    }
    for (int32 i = 0; i < count;) {
        // Until a ramp reaches its next point it only adds its step.
        const int32 linear =
            std::min({count - i, kBypassSettled ? count : bypassRamp.samplesBeforeNextPoint(),
                      delayRamp.samplesBeforeNextPoint()});
        double bypassValue = bypassRamp.value;
        double delayValue = delayRamp.value;
        const double bypassStep = bypassRamp.step;
        const double delayStep = delayRamp.step;
        const int32 end = i + linear;
        for (; i < end; ++i) {
            if (!kBypassSettled) {
                bypassValue += bypassStep;
                bypass = smooth(bypassTarget(bypassValue), bypassSmoothing, bypass);
            }
            delayValue += delayStep;
            record(i, glideDelay(delayTarget(delayValue), delaySmoothing, delayKeep, delayMs));
        }
        delayRamp.value = delayValue;
        delayRamp.sampleIndex += linear;
        if (!kBypassSettled) {
            bypassRamp.value = bypassValue;
            bypassRamp.sampleIndex += linear;
        }
        if (i < count) {  // a ramp reaches its point on this sample
            if (!kBypassSettled) {
                bypassRamp.advance();
                bypass = smooth(bypassTarget(bypassRamp.value), bypassSmoothing, bypass);
            }
            delayRamp.advance();
            record(i, glideDelay(delayTarget(delayRamp.value), delaySmoothing, delayKeep,
                                 delayMs));
            ++i;
        }
    }
    smoothedBypass = bypass;
    smoothedDelayMs = delayMs;
    // Whole samples in a pass of their own, off the smoothers' chain of dependent steps.
    const double rate = config.sampleRate;
    const int32 longest = maxDelay;
    for (int32 i = 0; i < count; ++i) {
        // A negative delay is no delay here: it is reported to the host as latency instead.
        const double seconds = std::max(static_cast<double>(heardMs[i]) * 0.001, 0.0);
        delays[i] = std::max(std::min(static_cast<int32>(seconds * rate), longest), 0);
    }
}

template <typename Sample>
void RealtimeProcessor::render(const Sample* const* inputs, Sample* const* outputs, int32 channels,
                               int32 samples) noexcept {
    channels = std::max(std::min(channels, static_cast<int32>(lines.size())), 0);
    for (int32 done = 0; done < samples;) {
        // While no point is reached and both smoothers sit exactly on their targets, every
        // sample has the same delay and mix: nothing per sample needs computing.
        const int32 bypassSettled = settledBypassSamples(samples - done);
        if (const int32 steady = settledDelaySamples(bypassSettled); steady > 0) {
            bypassRamp.skip(steady);
            delayRamp.skip(steady);
            const SteadyMix mix{delaySamplesFor(delayTarget(delayRamp.value)), smoothedBypass,
                                1.0f - smoothedBypass};
            for (int32 j = 0; j < channels; ++j) {
                lines[j].render(inputs[j] + done, outputs[j] + done, steady, mix);
            }
            done += steady;
            continue;
        }
        const int32 n = std::min(kGlidePass, samples - done);
        int32 delays[kGlidePass];
        float dry[kGlidePass];
        float wet[kGlidePass];
        if (bypassSettled >= n) {
            glide<true>(n, delays, dry, wet);
            const GlidingDelayMix mix{delays, smoothedBypass, 1.0f - smoothedBypass};
            for (int32 j = 0; j < channels; ++j) {
                lines[j].render(inputs[j] + done, outputs[j] + done, n, mix);
            }
        } else {
            glide<false>(n, delays, dry, wet);
            const GlidingMix mix{delays, dry, wet};
            for (int32 j = 0; j < channels; ++j) {
                lines[j].render(inputs[j] + done, outputs[j] + done, n, mix);
            }
        }
        done += n;
    }
}

void RealtimeProcessor::processBlock(const float* const* inputs, float* const* outputs,
                                     int32 channels, int32 samples) noexcept {
    render(inputs, outputs, channels, samples);
}

void RealtimeProcessor::processBlock(const double* const* inputs, double* const* outputs,
                                     int32 channels, int32 samples) noexcept {
    render(inputs, outputs, channels, samples);
}

}  // namespace quenvale

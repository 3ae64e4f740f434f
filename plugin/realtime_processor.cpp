#include "realtime_processor.h"

#include <algorithm>

namespace quenvale {

namespace {

// Samples rendered per pass: the per-sample parameters of one pass live on the stack.
constexpr int32 kPassLength = 64;

}  // namespace

RealtimeProcessor::RealtimeProcessor(const RealtimeConfig& configuration)
    : config(configuration),
      smoothedBypass(static_cast<float>(Parameters::bypassFromNormalized(config.state.bypass))),
      bypassCoef(smoothingCoefficient(config.sampleRate)),
      smoothedDelayMs(Parameters::delayMsFromNormalized(config.state.delay)),
      delayCoef(bypassCoef),
      lines(static_cast<std::size_t>(std::max(config.channels, 0)),
            DelayLine(config.sampleRate)) {
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

float RealtimeProcessor::nextBypass() const noexcept {
    const int32 target = Parameters::bypassFromNormalized(static_cast<float>(bypassRamp.value));
    return static_cast<float>(target) * bypassCoef + (1.0f - bypassCoef) * smoothedBypass;
}

float RealtimeProcessor::nextDelayMs() const noexcept {
    const float target = Parameters::delayMsFromNormalized(static_cast<float>(delayRamp.value));
    return target * delayCoef + (1.0f - delayCoef) * smoothedDelayMs;
}

int32 RealtimeProcessor::delaySamplesFor(float delayMs) const noexcept {
    // A negative delay is no delay here: it is reported to the host as latency instead.
    const double seconds = std::max(static_cast<double>(delayMs) * 0.001, 0.0);
    return static_cast<int32>(seconds * config.sampleRate);
}

template <typename Sample>
void RealtimeProcessor::render(const Sample* const* inputs, Sample* const* outputs,
                               int32 channels, int32 samples) noexcept {
    channels = std::min(channels, static_cast<int32>(lines.size()));
    int32 delays[kPassLength];
    float dry[kPassLength];
    float wet[kPassLength];
    for (int32 done = 0; done < samples;) {
        const int32 n = std::min(kPassLength, samples - done);
        // When no point is reached and both smoothers sit exactly on their targets, every
        // sample of the pass has the same delay and mix: nothing per sample needs computing.
        const bool steady = bypassRamp.isFlatFor(n) && delayRamp.isFlatFor(n) &&
                            nextBypass() == smoothedBypass && nextDelayMs() == smoothedDelayMs;
        if (steady) {
            bypassRamp.skip(n);
            delayRamp.skip(n);
            const SteadyMix mix{delaySamplesFor(smoothedDelayMs), smoothedBypass,
                                1.0f - smoothedBypass};
            for (int32 j = 0; j < channels; ++j) {
                lines[j].render(inputs[j] + done, outputs[j] + done, n, mix);
            }
        } else {
            for (int32 i = 0; i < n; ++i) {
                bypassRamp.advance();
                delayRamp.advance();
                smoothedBypass = nextBypass();
                smoothedDelayMs = nextDelayMs();
                dry[i] = smoothedBypass;
                wet[i] = 1.0f - smoothedBypass;
                delays[i] = delaySamplesFor(smoothedDelayMs);
            }
            const VaryingMix mix{delays, dry, wet};
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

#include "processor.h"

#include <cstring>

namespace quenvale {

using Steinberg::kResultFalse;
using Steinberg::kResultOk;

tresult PLUGIN_API Processor::notify(Steinberg::Vst::IMessage* message) {
    return corvane::vst::contain([&]() -> tresult {
        if (!message) {
            return Steinberg::kInvalidArgument;
        }
        const char* id = message->getMessageID();
        if (id && std::strcmp(id, "u0") == 0) {
            double delay = 0.0;  // a message without the value counts as 0
            if (Steinberg::Vst::IAttributeList* attributes = message->getAttributes()) {
                attributes->getFloat("uk0", delay);
            }
            updateLatency(static_cast<float>(delay));
            return kResultOk;
        }
        if (id && std::strcmp(id, "b2") == 0) {
            followAutomation();
            return kResultOk;
        }
        return Base::notify(message);
    });
}

tresult PLUGIN_API Processor::setState(Steinberg::IBStream* stream) {
    const tresult result = Base::setState(stream);
    if (result == kResultOk) {
        corvane::vst::contain([&]() -> tresult {
            updateLatency(state.delay);
            return kResultOk;
        });
    }
    return result;
}

tresult PLUGIN_API Processor::setupProcessing(Steinberg::Vst::ProcessSetup& setup) {
    const Steinberg::Vst::ProcessSetup previous = processSetup;
    if (Base::setupProcessing(setup) != kResultOk) {
        return kResultFalse;
    }
    // Automation the engine received since the latency was last computed is the newest word.
    if (state.delay != stateDelayAtLatency) {
        latencyDelay = state.delay;
    }
    const tresult result = corvane::vst::contain([&]() -> tresult {
        const int32 channels = outputChannels();
        if (channels == 0) {
            return kResultFalse;
        }
        const RealtimeConfig config{static_cast<int32>(setup.sampleRate), channels, state};
        realtimeProcessor = std::make_unique<RealtimeProcessor>(config);
        // Hosts load a project's state before the first set-up, at the default rate, and may
        // change the delay through the controller while processing is off: the latency must
        // follow the newest delay at the rate the engine now runs at. Hosts read it after
        // activation, so no "b1" is sent here.
        ProcessorState latencyState = state;
        latencyState.delay = latencyDelay;
        latencySamples = RealtimeProcessor::latencyFor({config.sampleRate, channels, latencyState});
        return kResultOk;
    });
    if (result != kResultOk) {
        processSetup = previous;  // the previous engine, if any, stays in use
        return result;
    }
    corvane::vst::contain([&]() -> tresult {
        corvane::vst::sendMessage(*this, "b3", [&](Steinberg::Vst::IAttributeList& attributes) {
            attributes.setFloat("b3", setup.sampleRate);
        });
        return kResultOk;
    });
    return result;
}

Steinberg::uint32 PLUGIN_API Processor::getTailSamples() {
    return static_cast<Steinberg::uint32>(processSetup.sampleRate * 2.0);
}

void Processor::updateLatency(float delay) {
    const int32 channels = outputChannels();
    if (channels == 0) {
        return;
    }
    // Automation the engine received before this value is older than it: taken into the state
    // now, so that only automation arriving later can replace this value at the next set-up.
    takePublished(state);
    ProcessorState latencyState = state;
    latencyState.delay = delay;
    latencySamples = RealtimeProcessor::latencyFor(
        {static_cast<int32>(processSetup.sampleRate), channels, latencyState});
    latencyDelay = delay;
    stateDelayAtLatency = state.delay;
    announceLatency();
}

void Processor::announceLatency() {
    const int32 heard = heardLatency.exchange(latencySamples, std::memory_order_relaxed);
    latencyUntold = false;
    if (heard == latencySamples || corvane::vst::sendMessage(*this, "b1"))
        return;
    // Not told after all (no message object: memory ran out, or no controller): unless the host
    // has read the latency meanwhile, the next poll tries again.
    int32 expected = latencySamples;
    latencyUntold =
        heardLatency.compare_exchange_strong(expected, heard, std::memory_order_relaxed);
}

void Processor::followAutomation() {
    takePublished(state);
    if (state.delay != stateDelayAtLatency) {
        updateLatency(state.delay);
    } else if (latencyUntold) {
        announceLatency();
    }
}

Steinberg::uint32 PLUGIN_API Processor::getLatencySamples() {
    const int32 latency = latencySamples;
    heardLatency.store(latency, std::memory_order_relaxed);
    return static_cast<Steinberg::uint32>(latency);
}

}  // namespace quenvale

// The plug-in's audio processor: builds the delay engine for every set-up, reports a tail of two
// seconds, and turns a negative delay into latency that the host's delay compensation takes off
// the track. Speaks its side of the processor/controller messages:
//   "b0" (to the controller, int "b0": 1 activated, 0 deactivated), on every setActive;
//   "b1" (to the controller, no attributes), when the latency changed from what the host last
//        heard (told or read): hosts may stop and restart processing for every such request;
//   "b3" (to the controller, float "b3": the sample rate), after every accepted setupProcessing,
//        so that the editor can show the delay in the samples the engine applies;
//   "u0" (from the controller, float "uk0": the delay's normalized value) recomputes it;
//   "b2" (from the controller, periodically on its user-interface thread) recomputes it when
//        automation the engine received changed the delay: hosts may send automation to the
//        processor alone.
// process runs on the audio thread and allocates, frees, locks and waits for nothing;
// tests/host/realtime_safety_test.cpp checks this on every run.
#pragma once

#include <atomic>

#include "parameters.h"
#include "processor_base.h"
#include "processor_state.h"
#include "realtime_processor.h"

namespace quenvale {

using Steinberg::tresult;

class Processor
    : public corvane::vst::ProcessorBase<Processor, Parameters, ProcessorState, RealtimeProcessor> {
  public:
    using Base =
        corvane::vst::ProcessorBase<Processor, Parameters, ProcessorState, RealtimeProcessor>;

    static constexpr const Steinberg::Vst::TChar* kInputBusName = STR16("Stereo In");
    static constexpr const Steinberg::Vst::TChar* kOutputBusName = STR16("Stereo Out");

    tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;
    tresult PLUGIN_API setState(Steinberg::IBStream* stream) override;
    tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::uint32 PLUGIN_API getTailSamples() override;

    Steinberg::uint32 PLUGIN_API getLatencySamples() override;

    // Recomputes the reported latency for a normalized delay value and tells the controller
    // ("b1") when it changed, unless output bus 0 has no speakers.
    void updateLatency(float delay);

    // Recomputes the latency when automation the engine received changed the delay.
    void followAutomation();

    // For tests and tools: the current state and engine.
    const ProcessorState& currentState() const { return state; }
    const RealtimeProcessor* engine() const { return realtimeProcessor.get(); }

  private:
    // Sends "b1" when the latency differs from what the host last heard; when it cannot be sent,
    // the next poll tries again.
    void announceLatency();

    // The normalized delay the latency was last computed from ("u0" or a load), and the saved
    // delay at that moment: a set-up that finds the saved delay changed since (automation the
    // engine received) takes that as the newer value.
    float latencyDelay = Parameters::kDefaultDelay;
    float stateDelayAtLatency = Parameters::kDefaultDelay;
    // The latency the host last heard of, through "b1" or by reading it. Hosts may read it on
    // any thread.
    std::atomic<int32> heardLatency{0};
    // A changed latency whose "b1" could not be sent (no message object, or no controller to
    // take it): sent again at the next poll ("b2").
    bool latencyUntold = false;
};

}  // namespace quenvale

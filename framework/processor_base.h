// ProcessorBase: the generic half of a VST 3 audio processor built on a realtime engine.
//
// It owns the persisted parameter values (`state`), the engine (`realtimeProcessor`, rebuilt by
// the derived processor in every setupProcessing) and the latency it reports. It accepts one
// input and one output bus of the same arrangement, 32- and 64-bit samples, runs `process` with
// flush-to-zero on, saves and loads the state document, and hands parameter values between the
// threads: automation the engine received is taken back into `state` (setupProcessing,
// getState), a loaded state is posted to the engine (setState).
//
// Threads: `process` on the audio thread; everything else on the main thread. No host-facing
// operation lets an exception escape.
//
// Processor provides: kInputBusName, kOutputBusName (UTF-16), and builds the engine.
// Parameters: see StateDocument. ProcessorState: {bypass, delay} floats. RealtimeProcessor:
// processParameterChanges, processBlock (32/64), published(id), mailbox(), configuration().
#pragma once

#include <cmath>
#include <memory>

#include "audio_effect.h"
#include "contain.h"
#include "flush_to_zero.h"
#include "messages.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "state_document.h"

namespace corvane::vst {

using Steinberg::int32;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::tresult;

template <class Processor, class Parameters, class ProcessorState, class RealtimeProcessor>
class ProcessorBase : public Steinberg::Vst::AudioEffect {
  public:
    using Document = StateDocument<Parameters>;

    // Sample rates outside (0, kMaxSampleRate] are refused by setupProcessing.
    static constexpr double kMaxSampleRate = 10'000'000.0;

    tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override {
        return contain([&]() -> tresult {
            const tresult result = AudioEffect::initialize(context);
            // After an initialize without a context the SDK accepts another one: the buses
            // exist already then.
            if (result != kResultOk || !audioInputs.empty()) {
                return result;
            }
            addAudioInput(Processor::kInputBusName, Steinberg::Vst::SpeakerArr::kStereo);
            addAudioOutput(Processor::kOutputBusName, Steinberg::Vst::SpeakerArr::kStereo);
            return result;
        });
    }

    // Hosts reach ComponentBase's text-message handling through here; a message without an
    // attribute list is refused instead of followed into a null pointer.
    tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override {
        return contain([&]() -> tresult {
            if (message && !message->getAttributes()) {
                return kResultFalse;
            }
            return AudioEffect::notify(message);
        });
    }

    tresult PLUGIN_API setActive(Steinberg::TBool active) override {
        return contain([&]() -> tresult {
            corvane::vst::sendMessage(*this, "b0", [&](Steinberg::Vst::IAttributeList& attributes) {
                attributes.setInt("b0", active ? 1 : 0);
            });
            return kResultOk;
        });
    }

    tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, int32 numIns,
                                          Steinberg::Vst::SpeakerArrangement* outputs,
                                          int32 numOuts) override {
        return contain([&]() -> tresult {
            if (numIns != 1 || numOuts != 1 || !inputs || !outputs || inputs[0] != outputs[0]) {
                return kResultFalse;
            }
            return AudioEffect::setBusArrangements(inputs, numIns, outputs, numOuts);
        });
    }

    tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override {
        return symbolicSampleSize == Steinberg::Vst::kSample32 ||
                       symbolicSampleSize == Steinberg::Vst::kSample64
                   ? kResultOk
                   : kResultFalse;
    }

    Steinberg::uint32 PLUGIN_API getLatencySamples() override {
        return static_cast<Steinberg::uint32>(latencySamples);
    }

    // Steps shared by every processor: the set-up stored, the output arrangement checked, the
    // automation the current engine received taken into `state`. The derived processor then
    // builds the new engine. A refused set-up changes nothing.
    tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override {
        return contain([&]() -> tresult {
            if (!(setup.sampleRate > 0.0 && setup.sampleRate <= kMaxSampleRate)) {
                return kResultFalse;  // also NaN
            }
            const Steinberg::Vst::ProcessSetup previous = processSetup;
            if (AudioEffect::setupProcessing(setup) != kResultOk) {
                return kResultFalse;
            }
            if (outputChannels() == 0) {
                processSetup = previous;
                return kResultFalse;
            }
            takePublished(state);
            return kResultOk;
        });
    }

    tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override {
        if (!realtimeProcessor) {
            return kResultFalse;
        }
        const ScopedFlushToZero flushToZero;
        realtimeProcessor->processParameterChanges(data.inputParameterChanges);
        bool rendered = false;
        const tresult result = renderAudio(data, rendered);
        // Hosts flush parameter changes with calls that render nothing while they are not
        // streaming: the engine must still arrive at those values.
        if (!rendered) {
            realtimeProcessor->reachPoints();
        }
        return result;
    }

    tresult PLUGIN_API getState(Steinberg::IBStream* stream) override {
        return contain([&]() -> tresult {
            if (!stream) {
                return kResultFalse;
            }
            takePublished(state);
            return Document::write(*stream, {state.bypass, state.delay}) ? kResultOk : kResultFalse;
        });
    }

    tresult PLUGIN_API setState(Steinberg::IBStream* stream) override {
        return contain([&]() -> tresult {
            if (!stream) {
                return kResultFalse;
            }
            const auto values = Document::read(*stream);
            if (!values) {
                return kResultFalse;
            }
            // Automation that reached the engine before the load must not replace the loaded
            // values at the next save or set-up.
            ProcessorState discarded;
            takePublished(discarded);
            state.bypass = static_cast<float>((*values)[Parameters::kParamBypass]);
            state.delay = static_cast<float>((*values)[Parameters::kParamDelay]);
            if (realtimeProcessor) {
                realtimeProcessor->mailbox().post(state);
            }
            return kResultOk;
        });
    }

  protected:
    // Speakers of output bus 0, or 0 when it has none or cannot be read.
    int32 outputChannels() {
        Steinberg::Vst::SpeakerArrangement arrangement = 0;
        if (getBusArrangement(Steinberg::Vst::kOutput, 0, arrangement) != kResultOk) {
            return 0;
        }
        return Steinberg::Vst::SpeakerArr::getChannelCount(arrangement);
    }

    // Takes the engine's last automation values, bypass first, into `into`. An infinite value
    // (only a misbehaving host sends one) is taken but not kept: it could never be saved.
    void takePublished(ProcessorState& into) {
        if (!realtimeProcessor) {
            return;
        }
        const auto bypass = realtimeProcessor->published(Parameters::kParamBypass).take();
        if (bypass && std::isfinite(*bypass)) {
            into.bypass = *bypass;
        }
        const auto delay = realtimeProcessor->published(Parameters::kParamDelay).take();
        if (delay && std::isfinite(*delay)) {
            into.delay = *delay;
        }
    }

    ProcessorState state;
    std::unique_ptr<RealtimeProcessor> realtimeProcessor;
    int32 latencySamples = 0;

  private:
    // The audio of one process call; `rendered` tells whether the engine rendered it.
    tresult renderAudio(Steinberg::Vst::ProcessData& data, bool& rendered) {
        if (data.numSamples <= 0 || data.numInputs < 1 || data.numOutputs < 1) {
            return kResultOk;
        }
        if (!data.inputs || !data.outputs) {
            return kResultFalse;
        }
        const int32 channels = data.inputs[0].numChannels;
        if (channels > realtimeProcessor->configuration().channels) {
            return kResultFalse;
        }
        if (data.symbolicSampleSize == Steinberg::Vst::kSample32) {
            return render(data.inputs[0].channelBuffers32, data.outputs[0].channelBuffers32,
                          data.outputs[0].numChannels, channels, data.numSamples, rendered);
        }
        if (data.symbolicSampleSize != Steinberg::Vst::kSample64) {
            return kResultFalse;  // buffers of an unknown type are not touched
        }
        return render(data.inputs[0].channelBuffers64, data.outputs[0].channelBuffers64,
                      data.outputs[0].numChannels, channels, data.numSamples, rendered);
    }

    template <typename Sample>
    tresult render(Sample** inputs, Sample** outputs, int32 outputCount, int32 channels,
                   int32 samples, bool& rendered) {
        // The host must hand over every channel buffer that is read or written.
        if (channels > 0 && (!inputs || !outputs || outputCount < channels)) {
            return kResultFalse;
        }
        for (int32 j = 0; j < channels; ++j) {
            if (!inputs[j] || !outputs[j]) {
                return kResultFalse;
            }
        }
        realtimeProcessor->processBlock(inputs, outputs, channels, samples);
        rendered = true;
        return kResultOk;
    }
};

}  // namespace corvane::vst

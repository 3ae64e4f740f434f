// Feeds arbitrary bytes as a saved state to the processor (setState) and to the controller
// (setComponentState, setState), and then as a host's calls on a connected pair. Whatever the
// bytes, nothing may crash, leak or allocate without bound; a refused state must leave the saved
// state as it was; an accepted one must save again, and that save must load to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controller.h"
#include "fuzz_support.h"
#include "host_parameter_changes.h"
#include "processor.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace {

using Steinberg::IPtr;
using Steinberg::kResultOk;
using Steinberg::MemoryStream;

template <class Part>
std::string savedState(Part& part) {
    IPtr<MemoryStream> stream(new MemoryStream, false);
    if (part.getState(stream) != kResultOk) {
        return {};
    }
    return std::string(stream->getData(), static_cast<std::size_t>(stream->getSize()));
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

IPtr<MemoryStream> streamOf(const void* data, std::size_t size) {
    return IPtr<MemoryStream>(
        new MemoryStream(const_cast<void*>(data), static_cast<Steinberg::TSize>(size)), false);
}

// The controller: a refused state changes no parameter; an accepted one saves and reloads to
// the same document.
void fuzzController(Steinberg::FUnknown* host, const std::uint8_t* data, std::size_t size) {
    IPtr<quenvale::Controller> controller(new quenvale::Controller, false);
    controller->initialize(host);
    for (const bool own : {false, true}) {
        const std::string before = savedState(*controller);
        auto input = streamOf(data, size);
        const auto result =
            own ? controller->setState(input) : controller->setComponentState(input);
        if (result != kResultOk) {
            check(savedState(*controller) == before);
            continue;
        }
        const std::string after = savedState(*controller);
        check(!after.empty());  // stored values are clamped to 0..1, always finite
        auto again = streamOf(after.data(), after.size());
        check(controller->setState(again) == kResultOk);
        check(savedState(*controller) == after);
    }
    controller->terminate();
}

// The same bytes as a host's calls on a connected pair, nine bytes a call (what, then a double):
// the controller's setters with any value, states holding any number, the processor's automation
// and a call that renders nothing. After every call both halves must still save.
void fuzzSetters(Steinberg::FUnknown* host, const std::uint8_t* data, std::size_t size) {
    IPtr<quenvale::Processor> processor(new quenvale::Processor, false);
    IPtr<quenvale::Controller> controller(new quenvale::Controller, false);
    processor->initialize(host);
    controller->initialize(host);
    processor->connect(controller);
    controller->connect(processor);
    Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, Steinberg::Vst::kSample32, 64,
                                       8000.0};
    processor->setupProcessing(setup);
    processor->setActive(true);
    fuzzing::FuzzInput input(data, size);
    for (int call = 0; call < 64 && !input.exhausted(); ++call) {
        const std::uint8_t what = input.u8();
        const double value = input.f64();
        const auto id = static_cast<Steinberg::Vst::ParamID>(what & 1);
        switch ((what >> 1) % 5) {
            case 0:
                controller->setParamNormalized(id, value);
                break;
            case 1: {  // a document holding the number as text ("nan" and "inf" are no JSON)
                char json[80];
                std::snprintf(json, sizeof json, "{\"%s\":%.17g}", id ? "delay" : "bypass", value);
                const std::string text = json;
                const auto n = static_cast<std::uint32_t>(text.size());
                const std::string bytes =
                    std::string({char(n), char(n >> 8), char(n >> 16), char(n >> 24)}) + text;
                auto stream = streamOf(bytes.data(), bytes.size());
                if (what & 2) {
                    controller->setComponentState(stream);
                } else {
                    controller->setState(stream);
                }
                stream = streamOf(bytes.data(), bytes.size());
                processor->setState(stream);
                break;
            }
            case 2:
            case 3: {  // automation in a block that renders, or in a flush that renders nothing
                quenvale::hosting::HostParameterChanges changes;
                changes.add(id, static_cast<Steinberg::int32>(what >> 4), value);
                float left[64] = {}, right[64] = {};
                float* channels[2] = {left, right};
                Steinberg::Vst::AudioBusBuffers bus{};
                bus.numChannels = 2;
                bus.channelBuffers32 = channels;
                Steinberg::Vst::ProcessData process;
                process.symbolicSampleSize = Steinberg::Vst::kSample32;
                process.numSamples = (what >> 1) % 5 == 2 ? 64 : 0;
                process.numInputs = process.numOutputs = 1;
                process.inputs = process.outputs = &bus;
                process.inputParameterChanges = &changes;
                processor->process(process);
                break;
            }
            case 4: {  // the controller's latency poll, and the delay message with this value
                IPtr<Steinberg::Vst::IMessage> tick(new Steinberg::Vst::HostMessage, false);
                tick->setMessageID(what & 2 ? "b2" : "u0");
                tick->getAttributes()->setFloat("uk0", value);
                processor->notify(tick);
                break;
            }
        }
        check(!savedState(*controller).empty());
        check(!savedState(*processor).empty());
    }
    processor->setActive(false);
    controller->terminate();
    processor->terminate();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* host = new Steinberg::Vst::HostApplication;
    IPtr<quenvale::Processor> processor(new quenvale::Processor, false);
    processor->initialize(host);
    Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, Steinberg::Vst::kSample32, 64,
                                       8000.0};
    processor->setupProcessing(setup);

    const std::string before = savedState(*processor);
    const auto latencyBefore = processor->getLatencySamples();

    auto input = streamOf(data, size);
    if (processor->setState(input) != kResultOk) {
        check(savedState(*processor) == before);
        check(processor->getLatencySamples() == latencyBefore);
    } else {
        const std::string after = savedState(*processor);
        check(!after.empty());  // values beyond the float range load as the default
        auto again = streamOf(after.data(), after.size());
        check(processor->setState(again) == kResultOk);
        check(savedState(*processor) == after);
    }
    processor->terminate();
    fuzzController(host, data, size);
    fuzzSetters(host, data, size);
    return 0;
}

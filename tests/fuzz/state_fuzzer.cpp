// Feeds arbitrary bytes as a saved state to the processor (setState) and to the controller
// (setComponentState, setState). Whatever the bytes, nothing may crash, leak or allocate
// without bound; a refused state must leave the saved state as it was; an accepted one must
// save again, and that save must load to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controller.h"
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
        // Values beyond the float range load as infinity and cannot be saved: that refusal is
        // the expected answer, not a fault.
        if (!after.empty()) {
            auto again = streamOf(after.data(), after.size());
            check(processor->setState(again) == kResultOk);
            check(savedState(*processor) == after);
        }
    }
    processor->terminate();
    fuzzController(host, data, size);
    return 0;
}

// Feeds arbitrary bytes to the processor as a saved state. Whatever the bytes, nothing may
// crash, leak or allocate without bound; a refused state must leave the saved state as it was;
// an accepted one must save again, and that save must load to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "processor.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace {

using Steinberg::IPtr;
using Steinberg::MemoryStream;
using Steinberg::kResultOk;

std::string savedState(quenvale::Processor& processor) {
    IPtr<MemoryStream> stream(new MemoryStream, false);
    if (processor.getState(stream) != kResultOk) {
        return {};
    }
    return std::string(stream->getData(), static_cast<std::size_t>(stream->getSize()));
}

void check(bool condition) {
    if (!condition) std::abort();
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

    IPtr<MemoryStream> input(new MemoryStream(const_cast<std::uint8_t*>(data),
                                              static_cast<Steinberg::TSize>(size)),
                             false);
    if (processor->setState(input) != kResultOk) {
        check(savedState(*processor) == before);
        check(processor->getLatencySamples() == latencyBefore);
    } else {
        const std::string after = savedState(*processor);
        // Values beyond the float range load as infinity and cannot be saved: that refusal is
        // the expected answer, not a fault.
        if (!after.empty()) {
            IPtr<MemoryStream> again(new MemoryStream, false);
            again->write(const_cast<char*>(after.data()), static_cast<Steinberg::int32>(after.size()),
                         nullptr);
            again->seek(0, Steinberg::IBStream::kIBSeekSet, nullptr);
            check(processor->setState(again) == kResultOk);
            check(savedState(*processor) == after);
        }
    }
    processor->terminate();
    return 0;
}

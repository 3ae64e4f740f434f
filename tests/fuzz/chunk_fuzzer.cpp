// Hands arbitrary bytes to the VST 2 effect as a chunk (effSetChunk), as a VST 2 host does when
// it loads a project, once to an effect that is suspended and once to one that is processing.
// Whatever the bytes, nothing may crash, leak or read outside them, and:
// - both effects give the same answer;
// - a refused chunk changes nothing: the effect's next chunk and its parameters are those it
//   had before;
// - an accepted chunk saves again (effGetChunk) to the values a processor and a controller of
//   their own make of its two parts, loaded as the effect loads them; that saved chunk loads
//   again, into this effect and into a fresh one, and saves to the same bytes;
// - processing after the load leaves the controller's values as loaded, and a second time
//   changes nothing.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "class_ids.h"
#include "controller.h"
#include "fuzz_support.h"
#include "plugin_factory.h"
#include "processor.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "vst2_wrapper.h"

namespace {

using Steinberg::IPtr;
using Steinberg::kResultOk;
using Steinberg::MemoryStream;
using Steinberg::Vst::Vst2Wrapper;

Steinberg::FUnknown* createProcessor(void*) {
    auto* processor = new quenvale::Processor;
    processor->setControllerClass(quenvale::controllerClassId());
    return static_cast<Steinberg::Vst::IAudioProcessor*>(processor);
}

Steinberg::FUnknown* createController(void*) {
    return static_cast<Steinberg::Vst::IEditController*>(new quenvale::Controller);
}

// The plug-in's two classes, registered as the module registers them.
Steinberg::IPluginFactory* makeFactory() {
    auto* factory = new Steinberg::CPluginFactory(
        Steinberg::PFactoryInfo("Fuzz", "", "", Steinberg::PFactoryInfo::kUnicode));
    const Steinberg::PClassInfo2 processor(
        quenvale::processorClassId().toTUID(), Steinberg::PClassInfo::kManyInstances,
        kVstAudioEffectClass, quenvale::kProcessorName, 0, "Fx", "", "1.0.0", kVstVersionString);
    const Steinberg::PClassInfo2 controller(quenvale::controllerClassId().toTUID(),
                                            Steinberg::PClassInfo::kManyInstances,
                                            kVstComponentControllerClass, quenvale::kControllerName,
                                            0, "", "", "1.0.0", kVstVersionString);
    FUZZ_CHECK(factory->registerClass(&processor, createProcessor));
    FUZZ_CHECK(factory->registerClass(&controller, createController));
    return factory;
}

VstIntPtr host(AEffect*, int opcode, int, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Effect {
  public:
    explicit Effect(bool processing) {
        static Steinberg::IPluginFactory* factory = makeFactory();
        Vst2Wrapper* wrapper = Vst2Wrapper::create(factory, quenvale::processorClassId().toTUID(),
                                                   quenvale::vst2UniqueId(), host);
        FUZZ_CHECK(wrapper != nullptr);
        effect = wrapper->getAeffect();
        if (processing) {
            dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
            dispatch(effSetBlockSize, 0, kBlock);
            dispatch(effMainsChanged, 0, 1);
        }
    }
    ~Effect() { dispatch(effClose, 0, 0); }
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    VstIntPtr dispatch(int opcode, int index, VstIntPtr value, void* ptr = nullptr,
                       float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    std::string chunk() {
        void* data = nullptr;
        const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
        FUZZ_CHECK(size > 0 && data != nullptr);  // a state of finite values always saves
        return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
    }

    VstIntPtr load(const void* bytes, std::size_t size) {
        // The effect must not keep or write through the host's pointer.
        return dispatch(effSetChunk, 0, static_cast<VstIntPtr>(size), const_cast<void*>(bytes));
    }

    std::vector<float> parameters() {
        std::vector<float> values;
        for (int i = 0; i < effect->numParams; ++i)
            values.push_back(effect->getParameter(effect, i));
        return values;
    }

    void setParameter(int index, float value) { effect->setParameter(effect, index, value); }

    void process() {
        std::vector<float> left(kBlock, 0.25f), right(kBlock, -0.25f);
        std::vector<float> outLeft(kBlock), outRight(kBlock);
        float* inputs[] = {left.data(), right.data()};
        float* outputs[] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, kBlock);
    }

  private:
    static constexpr int kBlock = 64;
    AEffect* effect = nullptr;
};

std::uint32_t readSize(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// The two parts of a chunk: [4-byte LE size][processor state][4-byte LE size][controller state].
struct Parts {
    std::string processor;
    std::string controller;
};

Parts partsOf(const std::string& chunk) {
    FUZZ_CHECK(chunk.size() >= 8);
    const std::uint32_t processorSize = readSize(chunk, 0);
    FUZZ_CHECK(processorSize <= chunk.size() - 8);
    const std::uint32_t controllerSize = readSize(chunk, 4 + processorSize);
    FUZZ_CHECK(8 + std::size_t{processorSize} + controllerSize == chunk.size());
    return {chunk.substr(4, processorSize), chunk.substr(8 + processorSize)};
}

IPtr<MemoryStream> streamOf(const std::string& bytes) {
    return IPtr<MemoryStream>(new MemoryStream(const_cast<char*>(bytes.data()),
                                               static_cast<Steinberg::TSize>(bytes.size())),
                              false);
}

template <class Part>
std::string savedState(Part& part) {
    IPtr<MemoryStream> stream(new MemoryStream, false);
    FUZZ_CHECK(part.getState(stream) == kResultOk);
    return std::string(stream->getData(), static_cast<std::size_t>(stream->getSize()));
}

// What the chunk's parts make of a processor and a controller of their own, loaded in the
// effect's order: the processor's part into both, then the controller's own part if any.
Parts expectedAfterLoading(const Parts& loaded) {
    static auto* context = new Steinberg::Vst::HostApplication;
    IPtr<quenvale::Processor> processor(new quenvale::Processor, false);
    IPtr<quenvale::Controller> controller(new quenvale::Controller, false);
    FUZZ_CHECK(processor->initialize(context) == kResultOk);
    FUZZ_CHECK(controller->initialize(context) == kResultOk);
    FUZZ_CHECK(processor->setState(streamOf(loaded.processor)) == kResultOk);
    FUZZ_CHECK(controller->setComponentState(streamOf(loaded.processor)) == kResultOk);
    if (!loaded.controller.empty())
        FUZZ_CHECK(controller->setState(streamOf(loaded.controller)) == kResultOk);
    Parts parts{savedState(*processor), savedState(*controller)};
    controller->terminate();
    processor->terminate();
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The host's copy: what the effect is given must come back unchanged.
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    Effect idle(false);
    Effect busy(true);
    // Values other than the defaults, so that a partial load would show.
    for (Effect* effect : {&idle, &busy}) {
        effect->setParameter(0, 1.0f);
        effect->setParameter(1, 0.125f);
        effect->process();
    }
    // (The suspended effect's processor has not been given the values yet.)
    const std::string idleBefore = idle.chunk();
    const std::string busyBefore = busy.chunk();
    const std::vector<float> parametersBefore = idle.parameters();
    FUZZ_CHECK(busy.parameters() == parametersBefore);

    const VstIntPtr accepted = idle.load(bytes.data(), bytes.size());
    FUZZ_CHECK(busy.load(bytes.data(), bytes.size()) == accepted);
    FUZZ_CHECK(std::equal(bytes.begin(), bytes.end(), reinterpret_cast<const char*>(data)));

    if (!accepted) {
        FUZZ_CHECK(idle.chunk() == idleBefore);
        FUZZ_CHECK(idle.parameters() == parametersBefore);
        busy.process();
        FUZZ_CHECK(busy.chunk() == busyBefore);
        FUZZ_CHECK(busy.parameters() == parametersBefore);
        return 0;
    }

    // Only a well-framed chunk whose parts are states can have been accepted.
    const Parts loaded = partsOf(bytes);
    const Parts expected = expectedAfterLoading(loaded);
    const std::string saved = idle.chunk();
    const Parts savedParts = partsOf(saved);
    FUZZ_CHECK(savedParts.processor == expected.processor);
    FUZZ_CHECK(savedParts.controller == expected.controller);
    FUZZ_CHECK(busy.chunk() == saved);

    // Processing hands the controller's restored values, reported as edits, to the processor;
    // the controller's values stay, and once handed over nothing changes any more.
    busy.process();
    const std::string processed = busy.chunk();
    FUZZ_CHECK(partsOf(processed).controller == savedParts.controller);
    busy.process();
    FUZZ_CHECK(busy.chunk() == processed);

    FUZZ_CHECK(idle.load(saved.data(), saved.size()) == 1);
    FUZZ_CHECK(idle.chunk() == saved);
    Effect fresh(false);
    FUZZ_CHECK(fresh.load(saved.data(), saved.size()) == 1);
    FUZZ_CHECK(fresh.chunk() == saved);
    return 0;
}

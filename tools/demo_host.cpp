// A small host: loads the built module as a DAW does, creates the processor and the controller,
// connects them, sets the delay to +100 ms and then to -100 ms through the controller (as the
// host plays automation), processes a test signal (a click every 100 ms) after each change,
// prints the latency the plug-in reports, and writes the input and both outputs as WAV files.
//
// usage: demo_host MODULE OUTPUT_FOLDER
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host_parameter_changes.h"
#include "module_loader.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using quenvale::hosting::HostParameterChanges;
using quenvale::hosting::LoadedModule;

namespace {

constexpr double kSampleRate = 48000.0;
constexpr int32 kBlock = 512;
constexpr int32 kChannels = 2;
constexpr int32 kLength = 48000;  // one second
constexpr int32 kClickPeriod = 4800;
constexpr ParamID kDelayId = 1;

// The host side of the controller: edits go into the next block's parameter changes, and a
// latency restart is noted so that the host reads the new latency.
class ComponentHandler : public IComponentHandler {
  public:
    HostParameterChanges pending;
    int32 latencyRestarts = 0;

    tresult PLUGIN_API beginEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
        pending.add(id, 0, value);
        return kResultOk;
    }
    tresult PLUGIN_API endEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API restartComponent(int32 flags) override {
        if (flags & kLatencyChanged)
            ++latencyRestarts;
        return kResultOk;
    }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (FUnknownPrivate::iidEqual(iid, IComponentHandler::iid) ||
            FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }  // lives as long as the host
    uint32 PLUGIN_API release() override { return 1; }
};

void writeWav(const std::string& path, const std::vector<std::vector<float>>& channels) {
    const auto frames = static_cast<std::uint32_t>(channels.front().size());
    const std::uint32_t dataBytes = frames * kChannels * 4;
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(3);  // IEEE float
    u16(kChannels);
    u32(static_cast<std::uint32_t>(kSampleRate));
    u32(static_cast<std::uint32_t>(kSampleRate) * kChannels * 4);
    u16(kChannels * 4);
    u16(32);
    out.write("data", 4);
    u32(dataBytes);
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (const auto& channel : channels)
            out.write(reinterpret_cast<const char*>(&channel[i]), 4);
    }
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

template <class T>
IPtr<T> create(IPluginFactory& factory, const TUID cid) {
    T* object = nullptr;
    if (factory.createInstance(cid, T::iid, reinterpret_cast<void**>(&object)) != kResultOk ||
        !object) {
        throw std::runtime_error("the factory did not create a class");
    }
    return IPtr<T>(object, false);
}

class DemoHost {
  public:
    explicit DemoHost(const std::string& modulePath) : module(modulePath) {
        IPtr<IPluginFactory> factory(module.factory(), false);
        if (!factory)
            throw std::runtime_error("no factory");
        PClassInfo info;
        TUID processorId{};
        for (int32 i = 0; i < factory->countClasses(); ++i) {
            if (factory->getClassInfo(i, &info) == kResultOk &&
                std::strcmp(info.category, kVstAudioEffectClass) == 0) {
                std::memcpy(processorId, info.cid, sizeof(TUID));
            }
        }
        component = create<IComponent>(*factory, processorId);
        TUID controllerId{};
        component->getControllerClassId(controllerId);
        controller = create<IEditController>(*factory, controllerId);
        processor = FUnknownPtr<IAudioProcessor>(component);
        if (!processor)
            throw std::runtime_error("the processor is no IAudioProcessor");

        component->initialize(&context);
        controller->initialize(&context);
        FUnknownPtr<IConnectionPoint> processorPoint(component);
        FUnknownPtr<IConnectionPoint> controllerPoint(controller);
        processorPoint->connect(controllerPoint);
        controllerPoint->connect(processorPoint);
        controller->setComponentHandler(&handler);
        IPtr<MemoryStream> state(new MemoryStream, false);
        component->getState(state);
        state->seek(0, IBStream::kIBSeekSet, nullptr);
        controller->setComponentState(state);

        SpeakerArrangement stereo = SpeakerArr::kStereo;
        processor->setBusArrangements(&stereo, 1, &stereo, 1);
        ProcessSetup setup{kRealtime, kSample32, kBlock, kSampleRate};
        processor->setupProcessing(setup);
        component->setActive(true);
        processor->setProcessing(true);
    }

    ~DemoHost() {
        processor->setProcessing(false);
        component->setActive(false);
        FUnknownPtr<IConnectionPoint>(component)->disconnect(
            FUnknownPtr<IConnectionPoint>(controller));
        FUnknownPtr<IConnectionPoint>(controller)
            ->disconnect(FUnknownPtr<IConnectionPoint>(component));
        controller->terminate();
        component->terminate();
    }

    // Sets the delay as a host plays automation: the controller gets the value (and tells the
    // processor, which reports its latency), and the next block carries it to the processor.
    void setDelay(ParamValue normalized) {
        controller->setParamNormalized(kDelayId, normalized);
        handler.pending.add(kDelayId, 0, normalized);
    }

    int32 latency() const { return static_cast<int32>(processor->getLatencySamples()); }
    int32 restarts() const { return handler.latencyRestarts; }
    std::string delayText() {
        String128 text{};
        controller->getParamStringByValue(kDelayId, controller->getParamNormalized(kDelayId), text);
        std::string narrow;
        for (int i = 0; text[i] != 0; ++i)
            narrow.push_back(static_cast<char>(text[i]));
        return narrow;
    }

    std::vector<std::vector<float>> process(const std::vector<std::vector<float>>& input) {
        std::vector<std::vector<float>> output(kChannels, std::vector<float>(input[0].size()));
        for (std::size_t start = 0; start < input[0].size(); start += kBlock) {
            const auto n =
                static_cast<int32>(std::min<std::size_t>(kBlock, input[0].size() - start));
            float* in[kChannels];
            float* out[kChannels];
            for (int32 j = 0; j < kChannels; ++j) {
                in[j] = const_cast<float*>(input[j].data()) + start;
                out[j] = output[j].data() + start;
            }
            AudioBusBuffers inBus{};
            inBus.numChannels = kChannels;
            inBus.channelBuffers32 = in;
            AudioBusBuffers outBus{};
            outBus.numChannels = kChannels;
            outBus.channelBuffers32 = out;
            ProcessData data{};
            data.processMode = kRealtime;
            data.symbolicSampleSize = kSample32;
            data.numSamples = n;
            data.numInputs = 1;
            data.numOutputs = 1;
            data.inputs = &inBus;
            data.outputs = &outBus;
            data.inputParameterChanges = &handler.pending;
            if (processor->process(data) != kResultOk)
                throw std::runtime_error("process failed");
            handler.pending.clear();
        }
        return output;
    }

  private:
    LoadedModule module;
    HostApplication context;
    ComponentHandler handler;
    IPtr<IComponent> component;
    IPtr<IEditController> controller;
    FUnknownPtr<IAudioProcessor> processor;
};

void report(const char* what, DemoHost& host, const std::vector<std::vector<float>>& output) {
    std::printf("%s: delay %s ms, latency reported %d samples (%.2f ms), %d latency restart(s)\n",
                what, host.delayText().c_str(), host.latency(),
                1000.0 * host.latency() / kSampleRate, host.restarts());
    int32 shown = 0;
    for (std::size_t i = 0; i < output[0].size() && shown < 3; ++i) {
        if (std::fabs(output[0][i]) > 0.5f) {
            const int32 sent = (shown + 1) * kClickPeriod;  // the first click sits at 4800
            const auto heard = static_cast<int32>(i) - host.latency();
            std::printf("  click at %6d -> output %6zu, on the host's timeline %6d (%+.2f ms)\n",
                        sent, i, heard, 1000.0 * (heard - sent) / kSampleRate);
            ++shown;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: demo_host MODULE OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        const std::string folder = argv[2];
        std::vector<std::vector<float>> input(kChannels, std::vector<float>(kLength, 0.0f));
        for (int32 i = kClickPeriod; i < kLength; i += kClickPeriod) {
            input[0][i] = 1.0f;
            input[1][i] = -1.0f;
        }
        writeWav(folder + "/input.wav", input);

        DemoHost host(argv[1]);
        std::printf("loaded %s at %.0f Hz; default: latency %d samples\n", argv[1], kSampleRate,
                    host.latency());
        // After each change a second of silence lets the smoothed delay glide to its new value.
        const std::vector<std::vector<float>> silence(kChannels, std::vector<float>(kLength, 0.0f));
        host.setDelay(0.625);  // +100 ms
        host.process(silence);
        auto plus = host.process(input);
        report("+100 ms", host, plus);
        writeWav(folder + "/output-plus-100ms.wav", plus);

        host.setDelay(0.375);  // -100 ms
        host.process(silence);
        auto minus = host.process(input);
        report("-100 ms", host, minus);
        writeWav(folder + "/output-minus-100ms.wav", minus);
        std::printf("wrote input.wav, output-plus-100ms.wav, output-minus-100ms.wav to %s\n",
                    folder.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo_host: %s\n", e.what());
        return 1;
    }
}

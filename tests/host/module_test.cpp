// The built module as a host sees it: loaded from disk, reached only through its exported entry
// points and the VST 3 interfaces (on Windows also the VST 2 entry). Nothing of the plug-in's
// own code is linked in. The module path is compiled in and can be given as the first argument.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "host_rig.h"
#include "pluginterfaces/vst/vstspeaker.h"

#ifdef _WIN32
#include "editor_rig.h"
#include "fst.h"
#endif

namespace {

using namespace host_test;

constexpr int32 kBlock = 512;

std::string ascii(const char16* text) {
    std::string out;
    for (; *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

std::string text(const char8* s) {
    return s;
}
std::string text(const char16* s) {
    return ascii(s);
}

// Everything one of the factory's views of a class tells, in one line.
template <class Info>
std::string described(const Info& c) {
    std::string line = cidText(c.cid) + " " + std::to_string(c.cardinality) + " " + c.category +
                       " " + text(c.name);
    if constexpr (!std::is_same_v<Info, PClassInfo>) {
        line += " " + std::to_string(c.classFlags) + " " + c.subCategories + " " + text(c.vendor) +
                " " + text(c.version) + " " + text(c.sdkVersion);
    }
    return line;
}

tresult setUp(IAudioProcessor& processor, double rate, int32 sampleSize = kSample32) {
    ProcessSetup setup{kRealtime, sampleSize, kBlock, rate};
    return processor.setupProcessing(setup);
}

// One block of stereo through the processor: a unit impulse at its first sample or silence on
// both channels. Returns the left output; the right one must match it. Outputs start as
// garbage so that skipped samples show.
template <typename Sample>
std::vector<Sample> processBlock(IAudioProcessor& processor, bool impulse,
                                 IParameterChanges* changes = nullptr) {
    std::array<std::vector<Sample>, 2> in{std::vector<Sample>(kBlock), std::vector<Sample>(kBlock)};
    std::array<std::vector<Sample>, 2> out{std::vector<Sample>(kBlock, Sample(7)),
                                           std::vector<Sample>(kBlock, Sample(7))};
    in[0][0] = in[1][0] = impulse ? Sample(1) : Sample(0);
    Sample* ins[2] = {in[0].data(), in[1].data()};
    Sample* outs[2] = {out[0].data(), out[1].data()};
    AudioBusBuffers inBus{}, outBus{};
    inBus.numChannels = outBus.numChannels = 2;
    if constexpr (std::is_same_v<Sample, float>) {
        inBus.channelBuffers32 = ins;
        outBus.channelBuffers32 = outs;
    } else {
        inBus.channelBuffers64 = ins;
        outBus.channelBuffers64 = outs;
    }
    ProcessData data;
    data.processMode = kRealtime;
    data.symbolicSampleSize = std::is_same_v<Sample, float> ? kSample32 : kSample64;
    data.numSamples = kBlock;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = changes;
    EXPECT_EQ(processor.process(data), kResultOk);
    EXPECT_EQ(out[0], out[1]);
    return out[0];
}

// An impulse and then silence, `blocks` blocks long; `firstBlock` automates the first one.
template <typename Sample>
std::vector<Sample> impulseResponse(IAudioProcessor& processor, int blocks,
                                    IParameterChanges* firstBlock = nullptr) {
    std::vector<Sample> result;
    for (int b = 0; b < blocks; ++b) {
        const auto out = processBlock<Sample>(processor, b == 0, b == 0 ? firstBlock : nullptr);
        result.insert(result.end(), out.begin(), out.end());
    }
    return result;
}

// Where `signal` is not silent.
template <typename Sample>
std::vector<std::size_t> sounding(const std::vector<Sample>& signal) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        if (signal[i] != Sample(0))
            at.push_back(i);
    }
    return at;
}

using Factory = ModuleFixture;
using Host = ModuleFixture;

TEST_F(Factory, EachCallHandsOutANewFactoryHoldingOneReference) {
    IPluginFactory* first = module->factory();
    IPluginFactory* second = module->factory();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    for (IPluginFactory* f : {first, second}) {
        EXPECT_EQ(f->addRef(), 2u);
        EXPECT_EQ(f->release(), 1u);
        EXPECT_EQ(f->release(), 0u);
    }
}

TEST_F(Factory, DescribesTheVendorAndTheProcessorThenTheControllerClass) {
    PFactoryInfo info;
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STRNE(info.vendor, "");
    EXPECT_STRNE(info.url, "");
    EXPECT_STRNE(info.email, "");
    EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);

    FUnknownPtr<IPluginFactory3> factory3(factory);
    ASSERT_TRUE(factory3);
    ASSERT_EQ(factory3->countClasses(), 2);
    const char* const categories[] = {"Audio Module Class", "Component Controller Class"};
    const char* const names[] = {"Quenvale64", "Quenvale64Controller"};
    const int32 flags[] = {kDistributable, 0};
    const char* const subCategories[] = {"Fx|Delay|Tools", ""};
    PClassInfo2 both[2];
    for (int32 i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[i]);
        PClassInfo plain;
        PClassInfo2& full = both[i];
        PClassInfoW wide;
        ASSERT_EQ(factory3->getClassInfo(i, &plain), kResultOk);
        ASSERT_EQ(factory3->getClassInfo2(i, &full), kResultOk);
        ASSERT_EQ(factory3->getClassInfoUnicode(i, &wide), kResultOk);
        EXPECT_STREQ(full.category, categories[i]);
        EXPECT_STREQ(full.name, names[i]);
        EXPECT_EQ(full.cardinality, PClassInfo::kManyInstances);
        EXPECT_EQ(full.classFlags, static_cast<uint32>(flags[i]));
        EXPECT_STREQ(full.subCategories, subCategories[i]);
        EXPECT_STRNE(full.version, "");
        EXPECT_STRNE(full.sdkVersion, "");
        EXPECT_EQ(described(wide), described(full));
        EXPECT_EQ(described(plain),
                  described(PClassInfo(full.cid, full.cardinality, full.category, full.name)));
    }
    EXPECT_STREQ(both[0].version, both[1].version);
    EXPECT_STREQ(both[0].sdkVersion, both[1].sdkVersion);
    PClassInfo beyond;
    EXPECT_NE(factory3->getClassInfo(2, &beyond), kResultOk);
    EXPECT_NE(factory3->getClassInfo(-1, &beyond), kResultOk);
}

// Saved projects find the plug-in by these IDs.
TEST_F(Factory, GivesEveryFactoryThePinnedClassIds) {
    EXPECT_EQ(cidText(processorClass), "4811D2C1261ABAB4A019AAE77656136D");
    EXPECT_EQ(cidText(controllerClass), "972D77008D93EFA87AF819ADF0BCFBA7");
    IPtr<IPluginFactory> another = owned(module->factory());
    PClassInfo info;
    ASSERT_EQ(another->getClassInfo(0, &info), kResultOk);
    EXPECT_EQ(cidText(info.cid), cidText(processorClass));
    ASSERT_EQ(another->getClassInfo(1, &info), kResultOk);
    EXPECT_EQ(cidText(info.cid), cidText(controllerClass));
}

// An instance left behind shows as a leak in the sanitizer build.
TEST_F(Factory, RefusesUnknownClassesAndInterfacesAClassLacks) {
    const TUID unknown = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    void* obj = this;
    EXPECT_NE(factory->createInstance(unknown, IComponent::iid, &obj), kResultOk);
    EXPECT_EQ(obj, nullptr);
    obj = this;
    EXPECT_EQ(factory->createInstance(processorClass, IEditController::iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    obj = this;
    EXPECT_EQ(factory->createInstance(controllerClass, IAudioProcessor::iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(Factory, MakesProcessorsThatNameTheControllerClass) {
    IPtr<IComponent> component = create<IComponent>(*factory, processorClass);
    ASSERT_TRUE(component);
    TUID named = {};
    ASSERT_EQ(component->getControllerClassId(named), kResultOk);
    EXPECT_EQ(cidText(named), cidText(controllerClass));
}

TEST_F(Host, RunsTheWholeLifecycleAndGivesBackEveryHostObject) {
    HostContext context;
    RecordingHandler handler;
    {
        auto plugin = instance(&context);
        ASSERT_TRUE(plugin->ready);
        IComponent& component = *plugin->component;
        IAudioProcessor& processor = *plugin->processor;
        IEditController& controller = *plugin->controller;
        ASSERT_EQ(controller.setComponentHandler(&handler), kResultOk);
        MemoryStream processorState;
        fill(processorState, saved(component));
        EXPECT_EQ(controller.setComponentState(&processorState), kResultOk);
        EXPECT_EQ(controller.getParameterCount(), 2);

        // Buses: stereo in, stereo out, nothing else; only matching arrangements are taken.
        EXPECT_EQ(component.getBusCount(kAudio, kInput), 1);
        EXPECT_EQ(component.getBusCount(kAudio, kOutput), 1);
        EXPECT_EQ(component.getBusCount(kEvent, kInput), 0);
        for (BusDirection direction : {kInput, kOutput}) {
            BusInfo bus{};
            ASSERT_EQ(component.getBusInfo(kAudio, direction, 0, bus), kResultOk);
            EXPECT_EQ(bus.channelCount, 2);
            EXPECT_EQ(bus.busType, kMain);
            EXPECT_TRUE(bus.flags & BusInfo::kDefaultActive);
            EXPECT_EQ(component.activateBus(kAudio, direction, 0, true), kResultOk);
        }
        SpeakerArrangement stereo = SpeakerArr::kStereo, mono = SpeakerArr::kMono;
        EXPECT_NE(processor.setBusArrangements(&stereo, 1, &mono, 1), kResultOk);
        EXPECT_EQ(processor.setBusArrangements(&stereo, 1, &stereo, 1), kResultOk);
        SpeakerArrangement now = 0;
        ASSERT_EQ(processor.getBusArrangement(kOutput, 0, now), kResultOk);
        EXPECT_EQ(now, SpeakerArr::kStereo);

        // A negative delay set in the controller reaches the processor as latency.
        ASSERT_EQ(setUp(processor, 44100), kResultOk);
        handler.restarts.clear();
        EXPECT_EQ(controller.setParamNormalized(1, 0.375), kResultOk);
        EXPECT_EQ(handler.restarts, std::vector<int32>{kLatencyChanged});
        EXPECT_EQ(processor.getLatencySamples(), 4410u);

        // The host forwards the value with every block; at -100 ms the sound itself passes
        // straight through, and each set-up reports the latency for its rate.
        Automation hold(1, {{0, 0.375}});
        plugin->activate(true);
        impulseResponse<float>(processor, 1, &hold);
        plugin->activate(false);
        for (double rate : {48000.0, 96000.0, 192000.0, 44100.0}) {
            for (int32 size : {kSample32, kSample64}) {
                SCOPED_TRACE(testing::Message() << rate << " Hz, sample size " << size);
                ASSERT_EQ(setUp(processor, rate, size), kResultOk);
                EXPECT_EQ(processor.getLatencySamples(), static_cast<uint32>(rate / 10));
                plugin->activate(true);
                const std::vector<std::size_t> at =
                    size == kSample32 ? sounding(impulseResponse<float>(processor, 2, &hold))
                                      : sounding(impulseResponse<double>(processor, 2, &hold));
                EXPECT_EQ(at, std::vector<std::size_t>{0});
                plugin->activate(false);
            }
        }

        // Automation to +100 ms is what the processor saves and sets up with next.
        ASSERT_EQ(setUp(processor, 48000, kSample64), kResultOk);
        Automation rise(1, {{0, 0.4}, {100, 0.5}, {kBlock - 1, 0.625}});
        plugin->activate(true);
        impulseResponse<double>(processor, 1, &rise);
        plugin->activate(false);
        const std::string state = saved(component);
        EXPECT_NE(state.find("\"delay\":0.625"), std::string::npos) << state;
        ASSERT_EQ(setUp(processor, 48000), kResultOk);
        EXPECT_EQ(processor.getLatencySamples(), 0u);
        plugin->activate(true);
        EXPECT_EQ(sounding(impulseResponse<float>(processor, 10)), std::vector<std::size_t>{4800});
        plugin->activate(false);

        // Both halves reload what they saved unchanged, and save the same document.
        MemoryStream reload;
        fill(reload, state);
        EXPECT_EQ(component.setState(&reload), kResultOk);
        EXPECT_EQ(saved(component), state);
        fill(reload, state);
        EXPECT_EQ(controller.setComponentState(&reload), kResultOk);
        EXPECT_EQ(controller.getParamNormalized(1), 0.625);
        const std::string controllerState = saved(controller);
        EXPECT_EQ(controllerState, state);
        MemoryStream again;
        fill(again, controllerState);
        EXPECT_EQ(controller.setState(&again), kResultOk);
        EXPECT_EQ(saved(controller), controllerState);
    }
    EXPECT_EQ(handler.references, 1);
    EXPECT_EQ(context.references, 1);
}

// A delay of whole samples is heard exactly, as the latency of the same negative delay is.
TEST_F(Host, DelaysAnImpulseByExactlyTheLoadedTime) {
    struct Case {
        const char* delay;  // normalized
        double rate;
        std::size_t samples;
    };
    for (const Case& c :
         {Case{"0.625", 48000, 4800}, Case{"0.75", 44100, 8820}, Case{"0.509765625", 48000, 375}}) {
        SCOPED_TRACE(testing::Message() << c.delay << " at " << c.rate << " Hz");
        HostContext context;
        auto plugin = instance(&context);
        ASSERT_TRUE(plugin->ready);
        MemoryStream state;
        fill(state, document(std::string("{\"bypass\":0,\"delay\":") + c.delay + "}"));
        ASSERT_EQ(plugin->component->setState(&state), kResultOk);
        ASSERT_EQ(setUp(*plugin->processor, c.rate), kResultOk);
        EXPECT_EQ(plugin->processor->getLatencySamples(), 0u);
        plugin->activate(true);
        const std::vector<float> out = impulseResponse<float>(*plugin->processor, 18);
        ASSERT_EQ(sounding(out), std::vector<std::size_t>{c.samples});
        EXPECT_EQ(out[c.samples], 1.0f);
        plugin->activate(false);
    }
}

// Automation glides the delay onto its new time, which it then holds exactly.
TEST_F(Host, SettlesExactlyOnAnAutomatedDelay) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    ASSERT_EQ(setUp(*plugin->processor, 48000), kResultOk);
    plugin->activate(true);
    Automation toHundredMs(1, {{0, 0.625}});
    processBlock<float>(*plugin->processor, false, &toHundredMs);
    for (int b = 0; b < 48000 / kBlock; ++b)
        processBlock<float>(*plugin->processor, false);
    EXPECT_EQ(sounding(impulseResponse<float>(*plugin->processor, 10)),
              std::vector<std::size_t>{4800});
    plugin->activate(false);
}

// The user turns the knob while the host is not streaming; the host flushes the change with a
// call that renders nothing (no samples, no buses, or one it cannot take) and starts again: the
// track must play at the new delay, not the old one.
TEST_F(Host, AKnobTurnFlushedWhileNotStreamingIsHeardWhenPlaybackStarts) {
    enum Flush { kNoSamples, kNoBuses, kRefused };
    for (Flush flush : {kNoSamples, kNoBuses, kRefused}) {
        SCOPED_TRACE(flush);
        HostContext context;
        auto plugin = instance(&context);
        ASSERT_TRUE(plugin->ready);
        ASSERT_EQ(setUp(*plugin->processor, 48000), kResultOk);
        plugin->activate(true);
        Automation toHundredMs(1, {{0, 0.6}, {0, 0.7}, {10, 0.625}});  // the second one unusable
        ProcessData data;
        data.numSamples = flush == kNoSamples ? 0 : kBlock;
        data.symbolicSampleSize = flush == kRefused ? 7 : kSample32;
        AudioBusBuffers silent[1]{};
        if (flush != kNoBuses) {
            data.numInputs = data.numOutputs = 1;
            data.inputs = data.outputs = silent;
        }
        data.inputParameterChanges = &toHundredMs;
        EXPECT_EQ(plugin->processor->process(data), flush == kRefused ? kResultFalse : kResultOk);
        for (int b = 0; b < 48000 / kBlock; ++b)  // the glide there
            processBlock<float>(*plugin->processor, false);
        EXPECT_EQ(sounding(impulseResponse<float>(*plugin->processor, 10)),
                  std::vector<std::size_t>{4800});
        plugin->activate(false);
    }
}

// Hosts may stop and restart processing on every latency restart: a knob turned between 0 and
// +400 ms (where the latency stays 0) must not ask for any; the step into a negative delay asks
// once, as does a project loaded with another negative delay.
TEST_F(Host, TurningTheKnobAsksForALatencyRestartOnlyWhenTheLatencyChanges) {
    HostContext context;
    RecordingHandler handler;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    IEditController& controller = *plugin->controller;
    ASSERT_EQ(controller.setComponentHandler(&handler), kResultOk);
    ASSERT_EQ(setUp(*plugin->processor, 48000), kResultOk);
    for (double delay : {0.625, 0.75, 1.0, 0.5})
        EXPECT_EQ(controller.setParamNormalized(1, delay), kResultOk);
    EXPECT_TRUE(handler.restarts.empty());
    EXPECT_EQ(controller.setParamNormalized(1, 0.375), kResultOk);
    EXPECT_EQ(handler.restarts, std::vector<int32>{kLatencyChanged});
    EXPECT_EQ(plugin->processor->getLatencySamples(), 4800u);
    EXPECT_EQ(load(*plugin->component, document(R"({"delay":0.375})")), kResultOk);
    EXPECT_EQ(handler.restarts.size(), 1u);
    EXPECT_EQ(load(*plugin->component, document(R"({"delay":0.25})")), kResultOk);
    EXPECT_EQ(handler.restarts.size(), 2u);
    EXPECT_EQ(plugin->processor->getLatencySamples(), 9600u);
    ASSERT_EQ(controller.setComponentHandler(nullptr), kResultOk);
}

// A host that saves while a NaN it sent is still the controller's value must not lose the
// project's settings; a saved delay no float can hold loads as the default in both halves.
TEST_F(Host, ProjectsStillSaveAfterANaNAndBothHalvesAgreeOnACorruptDelay) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    IEditController& controller = *plugin->controller;
    ASSERT_EQ(controller.setParamNormalized(1, 0.25), kResultOk);
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        for (ParamID id : {0u, 1u})
            EXPECT_EQ(controller.setParamNormalized(id, bad), kResultFalse);
    }
    EXPECT_EQ(controller.getParamNormalized(1), 0.25);
    EXPECT_EQ(saved(controller),
              document(R"({"bypass":0,"delay":0.25,"format":1,"product":"Quenvale"})"));

    const std::string corrupt = document(R"({"delay":-1e300,"bypass":1e39})");
    ASSERT_EQ(load(*plugin->component, corrupt), kResultOk);
    MemoryStream stream;
    fill(stream, corrupt);
    ASSERT_EQ(controller.setComponentState(&stream), kResultOk);
    EXPECT_EQ(controller.getParamNormalized(1), static_cast<double>(0.5025f));  // +2 ms
    EXPECT_EQ(controller.getParamNormalized(0), 0.0);
    EXPECT_EQ(plugin->processor->getLatencySamples(), 0u);
    EXPECT_EQ(saved(*plugin->component), saved(controller));
}

#ifdef _WIN32
// Automation played into a negative delay while the plug-in's window is closed: the host hands
// the values to the processor alone and pumps its user-interface thread. The host must still
// hear of the new latency, soon, and once.
TEST_F(Host, AutomationAloneIntoANegativeDelayIsReportedAsLatency) {
    HostContext context;
    RecordingHandler handler;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    ASSERT_EQ(plugin->controller->setComponentHandler(&handler), kResultOk);
    ASSERT_EQ(setUp(*plugin->processor, 48000), kResultOk);
    plugin->activate(true);
    EXPECT_EQ(plugin->processor->getLatencySamples(), 0u);
    Automation toMinusHundredMs(1, {{0, 0.5}, {kBlock - 1, 0.375}});
    processBlock<float>(*plugin->processor, false, &toMinusHundredMs);
    // Generous for a busy machine; the poll itself comes every 50 ms.
    for (int waited = 0; waited < 10000 && handler.restarts.empty(); waited += 10)
        gui_test::pump(10);
    EXPECT_EQ(handler.restarts, std::vector<int32>{kLatencyChanged});
    EXPECT_EQ(plugin->processor->getLatencySamples(), 4800u);
    gui_test::pump(300);  // several more polls: nothing new to report
    EXPECT_EQ(handler.restarts.size(), 1u);
    plugin->activate(false);
    ASSERT_EQ(plugin->controller->setComponentHandler(nullptr), kResultOk);
}
#endif

// Side by side, block by block, every pair sounds exactly as it does alone, and each
// controller's messages reach its own processor only.
TEST_F(Host, RunsSixtyFourInstancesSideBySideAsIfEachWereAlone) {
    constexpr int kCount = 64;
    constexpr int kBlocks = 5;
    HostContext context;
    const auto start = [&](int k) {  // +k * 0.78125 ms
        auto plugin = instance(&context);
        char json[64];
        std::snprintf(json, sizeof json, "{\"delay\":%.10f}", 0.5 + k / 1024.0);
        MemoryStream state;
        fill(state, document(json));
        EXPECT_EQ(plugin->component->setState(&state), kResultOk);
        EXPECT_EQ(setUp(*plugin->processor, 48000), kResultOk);
        plugin->activate(true);
        return plugin;
    };
    std::vector<std::vector<float>> alone;
    for (int k = 1; k <= kCount; ++k) {
        auto plugin = start(k);
        ASSERT_TRUE(plugin->ready);
        alone.push_back(impulseResponse<float>(*plugin->processor, kBlocks));
        ASSERT_EQ(sounding(alone.back()).size(), 1u) << k;
        plugin->activate(false);
    }
    std::vector<std::unique_ptr<Instance>> plugins;
    for (int k = 1; k <= kCount; ++k) {
        plugins.push_back(start(k));
        ASSERT_TRUE(plugins.back()->ready);
    }
    std::vector<std::vector<float>> together(kCount);
    for (int b = 0; b < kBlocks; ++b) {
        for (int i = 0; i < kCount; ++i) {
            const auto block = processBlock<float>(*plugins[i]->processor, b == 0);
            together[i].insert(together[i].end(), block.begin(), block.end());
        }
    }
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(together[i], alone[i]) << i + 1;
        plugins[i]->activate(false);
        EXPECT_EQ(plugins[i]->controller->setParamNormalized(1, 0.5 - (i + 1) / 1024.0), kResultOk);
    }
    for (int i = 0; i < kCount; ++i) {  // -k * 0.78125 ms: k * 37.5 samples, truncated
        EXPECT_EQ(plugins[i]->processor->getLatencySamples(), uint32(75 * (i + 1) / 2)) << i + 1;
    }
}

#ifdef _WIN32
// The editor as a host shows it: made by the controller, attached to the host's window, moved
// and resized with it, removed and released; fifty times over, leaving nothing behind.
TEST_F(Host, OpensTheEditorInAWindowFiftyTimesWithoutLeaking) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    ASSERT_NE(gui_test::parentWindow(), nullptr);
    EXPECT_EQ(plugin->controller->createView("not an editor"), nullptr);

    auto show = [&] {
        showEditor(*plugin->controller, true, [](IPlugView& view) {
            EXPECT_EQ(view.isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
            ViewRect size;
            ASSERT_EQ(view.getSize(&size), kResultTrue);
            EXPECT_EQ(size.getWidth(), 246);
            EXPECT_EQ(size.getHeight(), 160);
            ViewRect wanted(0, 0, 400, 400);
            EXPECT_EQ(view.checkSizeConstraint(&wanted), kResultOk);
            EXPECT_EQ(wanted.getWidth(), 296);
            EXPECT_EQ(wanted.getHeight(), 210);
            SetWindowPos(gui_test::parentWindow(), nullptr, 0, 0, wanted.getWidth(),
                         wanted.getHeight(), SWP_NOMOVE | SWP_NOZORDER);
            view.onSize(&wanted);
        });
    };
    constexpr int kWindow = 25;
    const gui_test::SteadyGrowth growth = gui_test::steadyGrowth(5, kWindow, show);
    std::printf("editors: %s\n", growth.summary(kWindow).c_str());
    expectNoEditorLeak(growth);
}
#endif

// A host scanning plug-ins, or opening and closing projects: the module loaded, an instance
// made, set up, run for a block (on Windows also with its editor shown) and taken down, the
// module unloaded; a hundred times. What the module registers with the system must go with it.
TEST(ModuleLoading, LoadsRunsAndUnloadsAHundredTimesInARow) {
    int round = 0;
    const auto loadAndRun = [&] {
        SCOPED_TRACE(round);
        LoadedModule module(modulePath());
        IPtr<IPluginFactory> factory = owned(module.factory());
        ASSERT_TRUE(factory);
        ASSERT_EQ(factory->countClasses(), 2);
        PClassInfo processorInfo, controllerInfo;
        ASSERT_EQ(factory->getClassInfo(0, &processorInfo), kResultOk);
        ASSERT_EQ(factory->getClassInfo(1, &controllerInfo), kResultOk);
        HostContext context;
        {
            Instance plugin(*factory, processorInfo.cid, controllerInfo.cid, &context);
            ASSERT_TRUE(plugin.ready);
            ASSERT_EQ(setUp(*plugin.processor, 44100), kResultOk);
            plugin.activate(true);
            EXPECT_EQ(sounding(processBlock<float>(*plugin.processor, true)),
                      std::vector<std::size_t>{88});  // the default +2 ms
            plugin.activate(false);
#ifdef _WIN32
            showEditor(*plugin.controller, round % 25 == 0);
#endif
        }
        EXPECT_EQ(context.references, 1);
        ++round;
    };
#ifdef _WIN32
    constexpr int kWindow = 40;
    const gui_test::SteadyGrowth growth = gui_test::steadyGrowth(20, kWindow, loadAndRun);
    std::printf("loads: %s\n", growth.summary(kWindow).c_str());
    EXPECT_EQ(growth.gdiObjects, 0.0);
    // The static MinGW runtime never closes the four handles of its thread support that each
    // load of the module opens; more would be ours. Under Wine each load also keeps about 80 KB
    // of heap (120 KB in all) in the loader and the runtime: the bounds catch what an instance
    // holds (its delay lines alone take 460 KB); the editor tests catch smaller leaks.
    EXPECT_LE(growth.handles, 4.0);
    EXPECT_LT(growth.heapBytes, 160 * 1024);
    EXPECT_LT(growth.privateBytes, 256 * 1024);
#else
    while (round < 100 && !HasFatalFailure())
        loadAndRun();
#endif
}

#ifdef _WIN32

VstIntPtr oldHost(AEffect*, int, int, VstIntPtr, void*, float) {
    return 0;
}

VstIntPtr currentHost(AEffect*, int opcode, int, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST_F(Host, OffersTheVst2EntryToVersion2400HostsOnly) {
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(module->symbol("VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(module->symbol("main"), module->symbol("VSTPluginMain"));
    EXPECT_EQ(entry(oldHost), nullptr);

    AEffect* effect = entry(currentHost);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numParams, 2);
    EXPECT_EQ(effect->uniqueID, static_cast<int32>(0x97CF428Cu));
    ASSERT_NE(effect->processReplacing, nullptr);

    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect->setParameter(effect, 1, 0.625f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    // A second of silence lets the delay glide onto +100 ms before the impulse.
    std::vector<float> in[2], out[2];
    std::vector<float> response;
    for (int b = 0; b < 48000 / kBlock + 10; ++b) {
        const bool impulse = b == 48000 / kBlock;
        for (int c = 0; c < 2; ++c) {
            in[c].assign(kBlock, 0.0f);
            in[c][0] = impulse ? 1.0f : 0.0f;
            out[c].assign(kBlock, 7.0f);
        }
        float* ins[2] = {in[0].data(), in[1].data()};
        float* outs[2] = {out[0].data(), out[1].data()};
        effect->processReplacing(effect, ins, outs, kBlock);
        EXPECT_EQ(out[0], out[1]);
        if (b >= 48000 / kBlock)
            response.insert(response.end(), out[0].begin(), out[0].end());
    }
    EXPECT_EQ(sounding(response), std::vector<std::size_t>{4800});
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

#endif

}  // namespace

int main(int argc, char** argv) {
    return host_test::runHostTests(argc, argv);
}

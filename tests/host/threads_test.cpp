// The threads hosts use: an audio thread that processes without pause while the user-interface
// thread saves and loads states, exchanges messages, sets parameters and (on Windows) opens and
// closes the editor. Bounded in time; QUENVALE_TORTURE_SECONDS lengthens the runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <type_traits>

#include "host_rig.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "torture_support.h"

#ifdef _WIN32
#include "editor_rig.h"
#endif

namespace {

using namespace host_test;
using Clock = std::chrono::steady_clock;

// The host's audio thread: stereo blocks of varying size with hostile automation, one after
// the other until stopped. What goes wrong is counted; the test's thread asserts on it.
template <typename Sample>
class AudioThread {
  public:
    AudioThread(IAudioProcessor& processor, std::uint32_t seed)
        : processor(processor), signal(seed), buffers(2, kLongest), random(seed) {}
    ~AudioThread() { stop(); }

    void start() {
        running = true;
        thread = std::thread([this] { run(); });
    }
    void stop() {
        running = false;
        if (thread.joinable())
            thread.join();
    }

    std::atomic<bool> running{false};
    std::atomic<long long> blocks{0};
    std::atomic<long long> refused{0};
    std::atomic<long long> faults{0};
    std::string firstFault;  // read once the thread has stopped

  private:
    static constexpr int32 kLongest = 2048;

    void run() {
        const int32 sampleSize = std::is_same_v<Sample, float> ? kSample32 : kSample64;
        std::uniform_int_distribution<int32> length(0, kLongest);
        while (running) {
            const int32 samples =
                random() % 4 == 0 ? 1 + static_cast<int32>(random() % 8) : length(random);
            IParameterChanges* automation =
                changes.randomize(random, std::max(samples, 1), random() % 3 == 0);
            signal.fill(buffers, samples, random);
            ProcessData data = buffers.data(samples, sampleSize, kRealtime, automation);
            if (processor.process(data) != kResultOk)
                ++refused;
            const std::string fault = buffers.outputFault(samples);
            if (!fault.empty() && faults++ == 0)
                firstFault = fault;
            ++blocks;
        }
    }

    IAudioProcessor& processor;
    torture::Signal<Sample> signal;
    torture::Buffers<Sample> buffers;
    torture::HostileChanges changes;
    std::mt19937 random;
    std::thread thread;
};

// A message from the host's message factory, with `id` (none when null).
IPtr<IMessage> message(const char* id) {
    IPtr<IMessage> made = owned(static_cast<IMessage*>(new HostMessage));
    if (id)
        made->setMessageID(id);
    return made;
}

using Threads = ModuleFixture;

TEST_F(Threads, ProcessWithoutPauseWhileTheUserInterfaceThreadSavesLoadsAndEdits) {
    HostContext context;
    RecordingHandler handler;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    IComponent& component = *plugin->component;
    IAudioProcessor& processor = *plugin->processor;
    IEditController& controller = *plugin->controller;
    ASSERT_EQ(controller.setComponentHandler(&handler), kResultOk);
    MemoryStream processorState;
    fill(processorState, saved(component));
    ASSERT_EQ(controller.setComponentState(&processorState), kResultOk);
    constexpr double kRate = 48000;
    ProcessSetup setup{kRealtime, kSample32, 2048, kRate};
    ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
    plugin->activate(true);

    std::mt19937 random(torture::seed(20240611));
    double hostDelay = controller.getParamNormalized(1);
    // Once the user-interface thread has pumped messages, the controller's latency poll may
    // have made the processor follow the audio thread's automation instead: the latency is
    // known again after the next load or delay message.
    bool latencyKnown = true;
    const auto latencyFollows = [&](const char* after) {
        if (!latencyKnown)
            return;
        EXPECT_EQ(processor.getLatencySamples(), torture::expectedLatency(kRate, hostDelay))
            << "after " << after << ", delay " << hostDelay;
    };
    // "u0" as the controller sends it; absent value: 0.
    const auto delayMessage = [&](const double* value) {
        IPtr<IMessage> m = message("u0");
        if (value)
            m->getAttributes()->setFloat("uk0", *value);
        EXPECT_EQ(plugin->processorPoint->notify(m), kResultOk);
    };

    AudioThread<float> audio(processor, torture::seed(7));
    audio.start();
    const auto end = Clock::now() + std::chrono::duration<double>(torture::seconds(2.0));
    long long actions = 0, editors = 0;
    while (Clock::now() < end && !HasFailure()) {
        ++actions;
        switch (random() % 11) {
            case 0:
                saved(component);
                break;
            case 1: {  // a project loaded: the processor's state, then the controller's copy
                const auto [json, delay] = torture::randomState(random);
                ASSERT_EQ(load(component, document(json)), kResultOk) << json;
                MemoryStream stream;
                fill(stream, document(json));
                ASSERT_EQ(controller.setComponentState(&stream), kResultOk) << json;
                hostDelay = delay;
                latencyKnown = true;
                latencyFollows("project load");
                break;
            }
            case 2: {
                const double previous = hostDelay;
                hostDelay = torture::normalizedValue(random);
                EXPECT_EQ(controller.setParamNormalized(1, hostDelay), kResultOk);
                latencyKnown = latencyKnown || hostDelay != previous;  // the same value: no "u0"
                latencyFollows("delay set");
                break;
            }
            case 3:
                EXPECT_EQ(controller.setParamNormalized(0, torture::normalizedValue(random)),
                          kResultOk);
                break;
            case 4: {  // the controller's own state, saved and restored
                const std::string state = saved(controller);
                ASSERT_EQ(load(controller, state), kResultOk);
                EXPECT_EQ(saved(controller), state);
                hostDelay = controller.getParamNormalized(1);
                latencyFollows("controller state");
                break;
            }
            case 5: {  // the processor's messages, as hosts and stray senders pass them
                const double other = torture::normalizedValue(random);
                delayMessage(&other);
                EXPECT_EQ(processor.getLatencySamples(), torture::expectedLatency(kRate, other));
                delayMessage(nullptr);
                EXPECT_EQ(processor.getLatencySamples(), torture::expectedLatency(kRate, 0.0));
                EXPECT_EQ(plugin->processorPoint->notify(message("b2")), kResultOk);
                EXPECT_EQ(plugin->processorPoint->notify(message("u0x")), kResultFalse);
                EXPECT_EQ(plugin->processorPoint->notify(message(nullptr)), kResultFalse);
                EXPECT_EQ(plugin->processorPoint->notify(nullptr), kInvalidArgument);
                delayMessage(&hostDelay);
                latencyKnown = true;
                latencyFollows("messages");
                break;
            }
            case 6: {  // the controller's messages
                IPtr<IMessage> active = message("b0");
                active->getAttributes()->setInt("b0", random() % 2);
                EXPECT_EQ(plugin->controllerPoint->notify(active), kResultOk);
                EXPECT_EQ(plugin->controllerPoint->notify(message("b0")), kResultFalse);
                EXPECT_EQ(plugin->controllerPoint->notify(message("b1")), kResultOk);
                EXPECT_EQ(plugin->controllerPoint->notify(message(nullptr)), kResultFalse);
                break;
            }
            case 7: {
                String128 text{};
                const ParamID id = random() % 3;
                EXPECT_EQ(controller.getParamStringByValue(id, torture::hostileValue(random), text),
                          id < 2 ? kResultOk : kResultFalse);
                ParameterInfo info{};
                EXPECT_EQ(controller.getParameterInfo(static_cast<int32>(id), info),
                          id < 2 ? kResultOk : kResultFalse);
                break;
            }
            case 8:
                EXPECT_EQ(processor.getTailSamples(), static_cast<uint32>(2 * kRate));
                latencyFollows("nothing");
                break;
            default:
#ifdef _WIN32
                if (actions % 8 == 0) {
                    showEditor(controller, false);
                    latencyKnown = false;
                    ++editors;
                }
#endif
                std::this_thread::yield();
                break;
        }
    }
    audio.stop();
    EXPECT_GT(audio.blocks.load(), 0);
    EXPECT_EQ(audio.refused.load(), 0);
    EXPECT_EQ(audio.faults.load(), 0) << audio.firstFault;
    std::printf("%lld blocks processed during %lld user-interface actions (%lld editors)\n",
                audio.blocks.load(), actions, editors);

    // Processing stopped: what is saved reloads as it was.
    plugin->activate(false);
    const std::string state = saved(component);
    ASSERT_EQ(load(component, state), kResultOk);
    EXPECT_EQ(saved(component), state);
    EXPECT_FALSE(handler.restarts.empty());
    controller.setComponentHandler(nullptr);
}

#ifdef _WIN32
// Five hundred editors, one after the other, while the audio thread processes: once warm, an
// editor keeps no GDI object, handle or heap, and no more memory than Wine's GDI+ keeps of the
// fonts each editor adds from memory.
TEST_F(Threads, OpenTheEditorFiveHundredTimesWhileProcessingWithoutLeaking) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    ProcessSetup setup{kRealtime, kSample64, 2048, 96000};
    ASSERT_EQ(plugin->processor->setupProcessing(setup), kResultOk);
    plugin->activate(true);
    AudioThread<double> audio(*plugin->processor, torture::seed(11));
    audio.start();

    int i = 0;
    const auto show = [&] {
        // Now and then an edit for the editor to follow, and long enough for its timer.
        const bool edit = i % 50 == 0;
        showEditor(*plugin->controller, edit, [&](IPlugView&) {
            if (edit) {
                EXPECT_EQ(plugin->controller->setParamNormalized(1, (i % 100) / 100.0), kResultOk);
            }
        });
        ++i;
    };
    constexpr int kWindow = 245;
    const gui_test::SteadyGrowth growth = gui_test::steadyGrowth(10, kWindow, show);
    audio.stop();
    plugin->activate(false);

    EXPECT_GT(audio.blocks.load(), 0);
    EXPECT_EQ(audio.refused.load(), 0);
    EXPECT_EQ(audio.faults.load(), 0) << audio.firstFault;
    expectNoEditorLeak(growth);
    std::printf("%d editors while %lld blocks were processed: %s\n", i, audio.blocks.load(),
                growth.summary(kWindow).c_str());
}
#endif

}  // namespace

// The module under a host at its worst: every sample rate, block size, sample size and layout
// with hostile automation, re-set-ups in between and saved states reloaded; arrangements it
// must refuse. The latency is checked after every change against the delay the host set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "host_rig.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "torture_support.h"

namespace {

using namespace host_test;

constexpr double kRates[] = {8000, 22050, 44100, 48000, 88200, 96000, 176400, 192000, 384000};
// Block sizes the host delivers; kOversized: blocks larger than the maximum it announced.
constexpr int32 kOversized = -1;
constexpr int32 kBlockSizes[] = {0, 1, 7, 64, 511, 4096, kOversized};

struct Layout {
    const char* name;
    SpeakerArrangement arrangement;
    int32 channels;
};
constexpr Layout kLayouts[] = {{"mono", SpeakerArr::kMono, 1}, {"stereo", SpeakerArr::kStereo, 2}};

// One instance of the plug-in driven through a sequence of set-ups. Keeps what the host last
// told the controller about the delay: the latency must always follow it.
class Session {
  public:
    Session(Instance& plugin, double rate, std::uint32_t seed)
        : plugin(plugin), processor(*plugin.processor), rate(rate), random(seed) {
        EXPECT_EQ(plugin.controller->setComponentHandler(&handler), kResultOk);
        hostDelay = plugin.controller->getParamNormalized(1);
    }
    ~Session() { plugin.controller->setComponentHandler(nullptr); }

    // Deactivates, takes the layout and the set-up, checks the latency, activates.
    void setUp(const Layout& layout, int32 sampleSize, int32 maxBlock, int32 mode) {
        plugin.activate(false);
        SpeakerArrangement in = layout.arrangement, out = layout.arrangement;
        ASSERT_EQ(processor.setBusArrangements(&in, 1, &out, 1), kResultOk);
        SpeakerArrangement now = 0;
        ASSERT_EQ(processor.getBusArrangement(kOutput, 0, now), kResultOk);
        ASSERT_EQ(now, layout.arrangement);
        ASSERT_EQ(processor.canProcessSampleSize(sampleSize), kResultOk);
        if (random() % 2 == 0)
            turnKnob();  // the user, while processing is off
        ProcessSetup setup{mode, sampleSize, maxBlock, rate};
        ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
        latencyRate = rate;
        checkLatency("set-up");
        EXPECT_EQ(processor.getTailSamples(), static_cast<uint32>(rate * 2));
        plugin.activate(true);
    }

    // The user turns the delay knob: the controller hears it, the processor's latency follows.
    void turnKnob() {
        const double value = torture::normalizedValue(random);
        ASSERT_EQ(plugin.controller->setParamNormalized(1, value), kResultOk);
        hostDelay = value;
        checkLatency("knob");
    }

    // The host forwards the delay automation it played to the controller as well.
    void automated(double value) {
        if (!std::isfinite(value))
            return;  // a host has no business telling the controller that
        ASSERT_EQ(plugin.controller->setParamNormalized(1, value), kResultOk);
        hostDelay = value;
        checkLatency("automation");
    }

    // A project loaded: the processor's state, then the same document to the controller.
    void loadProject() {
        const auto [json, delay] = torture::randomState(random);
        ASSERT_EQ(load(*plugin.component, document(json)), kResultOk) << json;
        MemoryStream stream;
        fill(stream, document(json));
        ASSERT_EQ(plugin.controller->setComponentState(&stream), kResultOk) << json;
        hostDelay = delay;
        checkLatency("project load");
    }

    // Save, load and save again: both halves write the same document the second time.
    void roundTrip() {
        const std::string first = saved(*plugin.component);
        ASSERT_EQ(load(*plugin.component, first), kResultOk);
        EXPECT_EQ(saved(*plugin.component), first);
        MemoryStream stream;
        fill(stream, first);
        ASSERT_EQ(plugin.controller->setComponentState(&stream), kResultOk);
        const std::string controllerFirst = saved(*plugin.controller);
        ASSERT_EQ(load(*plugin.controller, controllerFirst), kResultOk);
        EXPECT_EQ(saved(*plugin.controller), controllerFirst);
        hostDelay = plugin.controller->getParamNormalized(1);
        checkLatency("state reloaded");
    }

    void checkLatency(const char* after) {
        ASSERT_EQ(processor.getLatencySamples(), torture::expectedLatency(latencyRate, hostDelay))
            << "after " << after << ", delay " << hostDelay << " at " << latencyRate << " Hz";
    }

    Instance& plugin;
    IAudioProcessor& processor;
    double rate;  // of the next set-up
    std::mt19937 random;
    RecordingHandler handler;
    double hostDelay = 0.0;
    // The rate the latency is reckoned at: the processor's default until its first set-up.
    double latencyRate = 44100.0;
};

// Blocks of `block` samples (kOversized: beyond the announced maximum) with hostile automation
// until the delay lines have wrapped at least once (or for `share` of that), with the host's
// usual interruptions in between: knob turns, project loads and a fresh set-up.
template <typename Sample>
void torment(Session& session, const Layout& layout, int32 block, double share = 1.0) {
    const int32 announced = block == kOversized ? 1024 : std::max(block, 1);
    const int32 sampleSize = std::is_same_v<Sample, float> ? kSample32 : kSample64;
    const int32 modes[] = {kRealtime, kOffline, kPrefetch};
    const int32 mode = modes[session.random() % 3];
    session.setUp(layout, sampleSize, announced, mode);
    if (::testing::Test::HasFatalFailure())
        return;

    // At full length, until every line has been written past its end: 2 x 0.44 s, and more.
    const auto maxDelay = static_cast<int64_t>(session.rate * 0.4 * 1.1);
    const auto full = static_cast<double>(2 * maxDelay + 2 * std::max(announced, 4096));
    const int64_t wanted =
        block == 0 ? 64
                   : std::max(static_cast<int64_t>(full * share * torture::scale()), int64_t{8192});
    const int64_t resetAt = wanted / 2;
    bool reset = false;
    torture::Signal<Sample> signal(session.random());
    torture::Buffers<Sample> buffers(layout.channels, 40000);
    torture::HostileChanges changes;
    std::uniform_int_distribution<int32> oversized(1025, 40000);

    for (int64_t done = 0, calls = 0; done < wanted; ++calls) {
        const int32 samples = block == kOversized ? oversized(session.random) : block;
        // Automation on some blocks only: one-sample blocks carry it now and then.
        const bool automate = session.random() % (block == 1 ? 16 : 2) == 0;
        IParameterChanges* automation =
            changes.randomize(session.random, std::max(samples, 1), automate);
        signal.fill(buffers, samples, session.random);
        ProcessData data = buffers.data(samples, sampleSize, mode, automation);
        if (block == 0)
            buffers.withoutAudio(data, calls);
        ASSERT_EQ(session.processor.process(data), kResultOk) << samples << " samples";
        if (samples > 0) {
            const std::string fault = buffers.outputFault(samples);
            ASSERT_EQ(fault, "") << samples << " samples, call " << calls;
        }
        if (const auto played = automation ? changes.publishedDelay() : std::nullopt) {
            session.automated(*played);
        }
        switch (session.random() % 64) {
            case 0:
                session.turnKnob();
                break;
            case 1:
                session.loadProject();
                break;
            default:
                break;
        }
        if (::testing::Test::HasFatalFailure())
            return;
        done += block == 0 ? 1 : samples;
        if (!reset && done >= resetAt) {
            reset = true;  // a host re-applying its set-up mid-session
            session.setUp(layout, sampleSize, announced, mode);
            if (::testing::Test::HasFatalFailure())
                return;
        }
    }
    session.plugin.activate(false);
    session.roundTrip();
}

class EveryBlockSizeLayoutAndSampleSize : public ModuleFixture,
                                          public ::testing::WithParamInterface<double> {};

TEST_P(EveryBlockSizeLayoutAndSampleSize, RendersCleanAudioAndReportsTheSetLatency) {
    const double rate = GetParam();
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    Session session(*plugin, rate, torture::seed(static_cast<std::uint32_t>(rate)));
    for (const Layout& layout : kLayouts) {
        for (const bool doubles : {false, true}) {
            for (const int32 block : kBlockSizes) {
                SCOPED_TRACE(::testing::Message()
                             << layout.name << ", " << (doubles ? 64 : 32) << " bit, blocks of "
                             << (block == kOversized ? "more than announced" : "")
                             << (block == kOversized ? "" : std::to_string(block)));
                if (doubles)
                    torment<double>(session, layout, block);
                else
                    torment<float>(session, layout, block);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HostTorture, EveryBlockSizeLayoutAndSampleSize,
                         ::testing::ValuesIn(kRates),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return std::to_string(static_cast<int>(info.param)) + "Hz";
                         });

using SampleRateChanges = ModuleFixture;

// One instance taken from rate to rate, sample size to sample size and layout to layout, as
// hosts do when a project's settings change: each set-up reports the latency of the delay set
// at its own rate, and renders clean audio.
TEST_F(SampleRateChanges, ReportTheLatencyOfTheSetDelayAtEachNewRate) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    Session session(*plugin, 44100, torture::seed(1));
    for (int change = 0; change < 40; ++change) {
        session.rate = kRates[session.random() % std::size(kRates)];
        const Layout& layout = kLayouts[session.random() % std::size(kLayouts)];
        const int32 block = kBlockSizes[session.random() % std::size(kBlockSizes)];
        const bool doubles = session.random() % 2 == 0;
        SCOPED_TRACE(::testing::Message() << session.rate << " Hz, " << layout.name << ", "
                                          << (doubles ? 64 : 32) << " bit, blocks of " << block);
        if (doubles)
            torment<double>(session, layout, block, 0.02);
        else
            torment<float>(session, layout, block, 0.02);
        if (HasFatalFailure())
            return;
    }
}

using Latency = ModuleFixture;

// Automation played and passed on to the controller, then the user turns the knob while
// processing is off: the next set-up reports the knob's delay, not the automation's older one.
// Automation the processor alone receives after that is newer and wins.
TEST_F(Latency, FollowsTheNewestDelayThroughTheNextSetUp) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    IAudioProcessor& processor = *plugin->processor;
    ProcessSetup setup{kRealtime, kSample32, 256, 48000};
    torture::Buffers<float> buffers(2, 256);
    const auto play = [&](double delay) {
        Automation automation(1, {{0, delay}});
        ProcessData data = buffers.data(256, kSample32, kRealtime, &automation);
        plugin->activate(true);
        EXPECT_EQ(processor.process(data), kResultOk);
        plugin->activate(false);
    };
    ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
    play(0.25);  // -200 ms
    ASSERT_EQ(plugin->controller->setParamNormalized(1, 0.25), kResultOk);
    EXPECT_EQ(processor.getLatencySamples(), 9600u);
    ASSERT_EQ(plugin->controller->setParamNormalized(1, 0.75), kResultOk);
    EXPECT_EQ(processor.getLatencySamples(), 0u);
    ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
    EXPECT_EQ(processor.getLatencySamples(), 0u);

    play(0.375);  // -100 ms
    ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
    EXPECT_EQ(processor.getLatencySamples(), 4800u);
    EXPECT_NE(saved(*plugin->component).find("\"delay\":0.375"), std::string::npos);
}

using Arrangements = ModuleFixture;

// Input and output of the same arrangement are taken; anything else is refused and leaves the
// buses as they were. A layout without speakers is taken but cannot be set up.
TEST_F(Arrangements, TakesOnlyOneInputAndOneOutputOfTheSameLayout) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    IAudioProcessor& processor = *plugin->processor;
    ProcessData refused;
    EXPECT_EQ(processor.process(refused), kResultFalse);  // before any set-up

    SpeakerArrangement mono = SpeakerArr::kMono, stereo = SpeakerArr::kStereo,
                       surround = SpeakerArr::k51, none = SpeakerArr::kEmpty;
    SpeakerArrangement two[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    const auto both = [&](SpeakerArrangement expected) {
        for (BusDirection direction : {kInput, kOutput}) {
            SpeakerArrangement now = 0;
            ASSERT_EQ(processor.getBusArrangement(direction, 0, now), kResultOk);
            EXPECT_EQ(now, expected) << direction;
        }
    };
    ASSERT_EQ(processor.setBusArrangements(&mono, 1, &mono, 1), kResultOk);
    both(SpeakerArr::kMono);
    EXPECT_NE(processor.setBusArrangements(&stereo, 1, &mono, 1), kResultOk);
    EXPECT_NE(processor.setBusArrangements(&mono, 1, &stereo, 1), kResultOk);
    EXPECT_NE(processor.setBusArrangements(two, 2, two, 2), kResultOk);
    EXPECT_NE(processor.setBusArrangements(two, 2, &stereo, 1), kResultOk);
    EXPECT_NE(processor.setBusArrangements(nullptr, 0, &stereo, 1), kResultOk);
    EXPECT_NE(processor.setBusArrangements(&stereo, 1, nullptr, 0), kResultOk);
    EXPECT_NE(processor.setBusArrangements(nullptr, 1, nullptr, 1), kResultOk);
    EXPECT_NE(processor.setBusArrangements(&stereo, -1, &stereo, 1), kResultOk);
    both(SpeakerArr::kMono);

    // Six channels: taken, set up and rendered, each channel on its own.
    ASSERT_EQ(processor.setBusArrangements(&surround, 1, &surround, 1), kResultOk);
    both(SpeakerArr::k51);
    ProcessSetup setup{kRealtime, kSample32, 256, 48000};
    ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
    plugin->activate(true);
    torture::Buffers<float> six(6, 256);
    for (int32 c = 0; c < 6; ++c)
        six.in[c].assign(256, static_cast<float>(c + 1));
    ProcessData data = six.data(256, kSample32, kRealtime, nullptr);
    ASSERT_EQ(processor.process(data), kResultOk);
    EXPECT_EQ(six.outputFault(256), "");
    for (int32 c = 1; c < 6; ++c) {
        for (int32 i = 0; i < 256; ++i)
            ASSERT_EQ(six.out[c][i], six.out[0][i] * static_cast<float>(c + 1)) << c << " " << i;
    }
    // More input channels than the engine has, fewer output buffers than inputs, a missing
    // channel buffer: refused, nothing written.
    torture::Buffers<float> seven(7, 256);
    data = seven.data(256, kSample32, kRealtime, nullptr);
    EXPECT_EQ(processor.process(data), kResultFalse);
    data = six.data(256, kSample32, kRealtime, nullptr);
    data.outputs[0].numChannels = 5;
    EXPECT_EQ(processor.process(data), kResultFalse);
    data = six.data(256, kSample32, kRealtime, nullptr);
    data.inputs[0].channelBuffers32[3] = nullptr;
    EXPECT_EQ(processor.process(data), kResultFalse);
    data = six.data(256, kSample32, kRealtime, nullptr);
    data.outputs[0].channelBuffers32 = nullptr;
    EXPECT_EQ(processor.process(data), kResultFalse);
    // Fewer channels than the engine has: those are rendered, the rest left alone.
    torture::Buffers<float> one(1, 256);
    one.in[0].assign(256, 0.25f);
    data = one.data(256, kSample32, kRealtime, nullptr);
    ASSERT_EQ(processor.process(data), kResultOk);
    EXPECT_EQ(one.outputFault(256), "");
    plugin->activate(false);

    // No speakers: the arrangement is taken, the set-up refused, the engine before it stays.
    ASSERT_EQ(processor.setBusArrangements(&none, 1, &none, 1), kResultOk);
    EXPECT_NE(processor.setupProcessing(setup), kResultOk);
    ASSERT_EQ(processor.setBusArrangements(&stereo, 1, &stereo, 1), kResultOk);
    both(SpeakerArr::kStereo);
    // Sample sizes and rates it cannot take.
    EXPECT_NE(processor.canProcessSampleSize(2), kResultOk);
    for (double rate : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(), 1e12}) {
        ProcessSetup bad{kRealtime, kSample32, 256, rate};
        EXPECT_NE(processor.setupProcessing(bad), kResultOk) << rate;
    }
    ProcessSetup badSize{kRealtime, 2, 256, 48000};
    EXPECT_NE(processor.setupProcessing(badSize), kResultOk);
    ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
    plugin->activate(true);
    torture::Buffers<float> stereoBuffers(2, 256);
    data = stereoBuffers.data(256, kSample32, kRealtime, nullptr);
    EXPECT_EQ(processor.process(data), kResultOk);
    EXPECT_EQ(stereoBuffers.outputFault(256), "");
    plugin->activate(false);
}

}  // namespace

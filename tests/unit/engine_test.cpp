// End-to-end behaviour of the delay engine: what a host hears for fixed settings, automation,
// posted states, both sample formats, odd rates and channel counts; plus the ramp's handling
// of a parameter that stays without points for a very long time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "fake_parameter_changes.h"
#include "flush_to_zero.h"
#include "realtime_processor.h"

namespace quenvale {
namespace {

using Steinberg::Vst::IParameterChanges;
using testing::FakeChanges;
using testing::FakeQueue;

template <typename S>
using Channels = std::vector<std::vector<S>>;

std::vector<float> randomSignal(std::size_t length, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> signal(length);
    for (auto& x : signal)
        x = uniform(rng);
    return signal;
}

// Feeds `input` through the engine in calls of `block` samples; call k gets changes[k] (null
// beyond the list), as a host would send them.
template <typename S>
Channels<S> run(RealtimeProcessor& engine, const Channels<S>& input, int32 block,
                const std::vector<IParameterChanges*>& changes = {}, bool inPlace = false) {
    const std::size_t length = input[0].size();
    Channels<S> output = inPlace ? input : Channels<S>(input.size(), std::vector<S>(length));
    std::vector<const S*> in(input.size());
    std::vector<S*> out(input.size());
    std::size_t call = 0;
    for (std::size_t done = 0; done < length; done += block, ++call) {
        for (std::size_t j = 0; j < input.size(); ++j) {
            in[j] = (inPlace ? output : input)[j].data() + done;
            out[j] = output[j].data() + done;
        }
        const corvane::vst::ScopedFlushToZero flushToZero;
        engine.processParameterChanges(call < changes.size() ? changes[call] : nullptr);
        engine.processBlock(in.data(), out.data(), static_cast<int32>(input.size()),
                            static_cast<int32>(std::min<std::size_t>(block, length - done)));
    }
    return output;
}

template <typename S>
std::vector<S> run(RealtimeProcessor& engine, const std::vector<S>& input, int32 block,
                   const std::vector<IParameterChanges*>& changes = {}, bool inPlace = false) {
    return run(engine, Channels<S>{input}, block, changes, inPlace)[0];
}

// out[i] is in[i - delay] (silence before the input arrives), bit for bit, for i >= from.
template <typename S>
::testing::AssertionResult isDelayed(const std::vector<S>& in, const std::vector<S>& out,
                                     std::size_t delay, std::size_t from = 0) {
    for (std::size_t i = from; i < out.size(); ++i) {
        const S expected = i >= delay ? in[i - delay] : S(0);
        if (out[i] != expected) {
            return ::testing::AssertionFailure()
                   << "sample " << i << " is " << out[i] << ", expected " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(DelayEngine, PlusFourHundredMillisecondsAt44kOutputs17640ZerosThenTheInputOnBothChannels) {
    RealtimeProcessor engine({44100, 2, {0.0f, 1.0f}});
    EXPECT_EQ(19404, engine.maxDelaySamples());
    EXPECT_EQ(21120, RealtimeProcessor({48000, 2, {}}).maxDelaySamples());
    std::vector<float> ramp(40000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = -static_cast<float>(i + 1) / 32768;
    const Channels<float> in{randomSignal(40000, 1), ramp};
    const auto out = run(engine, in, 512);
    EXPECT_TRUE(isDelayed(in[0], out[0], 17640));
    EXPECT_TRUE(isDelayed(in[1], out[1], 17640));
}

TEST(DelayEngine, ZeroAndNegativeDelaysPassTheInputBitForBitAlsoInPlace) {
    const auto in = randomSignal(3000, 2);
    for (const float delay : {0.5f, 0.375f, 0.0f}) {  // 0 ms, -100 ms, -400 ms
        for (const bool inPlace : {false, true}) {
            RealtimeProcessor engine({44100, 1, {0.0f, delay}});
            EXPECT_TRUE(isDelayed(in, run(engine, in, 256, {}, inPlace), 0)) << delay;
        }
    }
}

TEST(DelayEngine, ConstantDelayStaysBitExactAcrossManyLineCopiesWithOddBlockSizes) {
    // At 8 kHz the line holds 3 x 3520 samples and copies every 7040: 24000 samples cross
    // three copies. 100 ms reads before each 333-sample block, 12.5 ms reads inside it.
    const Channels<float> in{randomSignal(24000, 4), randomSignal(24000, 5)};
    for (const auto& [delay, samples] : {std::pair{0.625f, 800}, std::pair{0.515625f, 100}}) {
        RealtimeProcessor engine({8000, 2, {0.0f, delay}});
        ASSERT_EQ(3520, engine.maxDelaySamples());
        const auto out = run(engine, in, 333);
        EXPECT_TRUE(isDelayed(in[0], out[0], samples)) << samples;
        EXPECT_TRUE(isDelayed(in[1], out[1], samples)) << samples;
    }
}

TEST(DelayEngine, SixtyFourBitProcessingDelaysExactlyLikeThirtyTwoBit) {
    const auto in = randomSignal(6000, 6);
    const std::vector<double> inDouble(in.begin(), in.end());
    FakeChanges changes;  // the delay glides from +100 ms to +400 ms
    changes.add(Parameters::kParamDelay, {{0, 1.0}});
    RealtimeProcessor single({8000, 1, {0.0f, 0.625f}});
    RealtimeProcessor twice({8000, 1, {0.0f, 0.625f}});
    const auto out = run(single, in, 300, {&changes});
    const auto outDouble = run(twice, inDouble, 300, {&changes});
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(out[i], static_cast<float>(outDouble[i])) << "sample " << i;
    }
}

TEST(DelayEngine, SixtyFourBitDryShareIsComputedInDoublePrecision) {
    // While the bypass glides in, the delayed part is still silent: the output is the dry part.
    FakeChanges bypassOn;
    bypassOn.add(Parameters::kParamBypass, {{0, 1.0}});
    RealtimeProcessor single({8000, 1, {0.0f, 1.0f}});
    const auto dry = run(single, std::vector<float>(1000, 1.0f), 100, {&bypassOn});
    RealtimeProcessor twice({8000, 1, {0.0f, 1.0f}});
    const double tenth = 0.1;  // no float
    const auto out = run(twice, std::vector<double>(1000, tenth), 100, {&bypassOn});
    int notFloats = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(static_cast<double>(dry[i]) * tenth, out[i]) << "sample " << i;
        notFloats += static_cast<double>(static_cast<float>(out[i])) != out[i];
    }
    EXPECT_GT(notFloats, 500);
}

TEST(DelayEngine, Below100HzTheSmoothersJumpToTheirTargetsAndTheOutputStaysFinite) {
    EXPECT_EQ(1.0f, RealtimeProcessor::smoothingCoefficient(50));
    EXPECT_EQ(1.0f, RealtimeProcessor::smoothingCoefficient(0));
    EXPECT_EQ(static_cast<float>(100.0 / 48000), RealtimeProcessor::smoothingCoefficient(48000));
    RealtimeProcessor engine({50, 1, {0.0f, 0.5f}});
    ASSERT_EQ(22, engine.maxDelaySamples());
    FakeChanges toPlus400;
    toPlus400.add(Parameters::kParamDelay, {{0, 1.0}});
    const auto in = randomSignal(200, 7);
    EXPECT_TRUE(isDelayed(in, run(engine, in, 50, {&toPlus400}), 20));

    std::mt19937 rng(8);
    std::uniform_real_distribution<double> value(-0.5, 1.5);
    for (int call = 0; call < 50; ++call) {
        FakeChanges changes;
        changes.add(Parameters::kParamBypass, {{3, value(rng)}, {9, value(rng)}});
        changes.add(Parameters::kParamDelay, {{0, value(rng)}, {5, value(rng)}});
        for (const float x : run(engine, randomSignal(10, call), 10, {&changes})) {
            ASSERT_TRUE(std::isfinite(x)) << "call " << call;
        }
    }
}

TEST(DelayEngine, AtAFewHertzTheLineDelaysByItsFullLengthOrWithoutRoomPassesTheInput) {
    // At 5 Hz +400 ms are the line's 2 samples: every read goes to its oldest entry.
    const auto in = randomSignal(500, 9);
    for (const auto& [rate, length] : {std::pair{5, 2}, std::pair{2, 0}, std::pair{0, 0}}) {
        RealtimeProcessor engine({rate, 1, {0.0f, 1.0f}});
        EXPECT_EQ(length, engine.maxDelaySamples());
        EXPECT_TRUE(isDelayed(in, run(engine, in, 7), static_cast<std::size_t>(length)))
            << rate << " Hz";
    }
}

TEST(DelayEngine, RendersOnlyTheChannelsItIsGivenAndNothingForZeroSamples) {
    RealtimeProcessor engine({8000, 2, {0.0f, 0.5f}});
    const auto in = randomSignal(100, 10);
    std::vector<float> left(100, 7.0f), right(100, 7.0f), extra(100, 7.0f);
    const float* inputs[] = {in.data(), in.data(), in.data()};
    float* outputs[] = {left.data(), right.data(), extra.data()};
    const corvane::vst::ScopedFlushToZero flushToZero;
    engine.processParameterChanges(nullptr);
    engine.processBlock(inputs, outputs, 1, 100);
    EXPECT_EQ(in, left);
    EXPECT_EQ(std::vector<float>(100, 7.0f), right);
    engine.processParameterChanges(nullptr);
    engine.processBlock(inputs, outputs, 3, 100);  // more than the engine has
    EXPECT_EQ(in, right);
    EXPECT_EQ(std::vector<float>(100, 7.0f), extra);
    left.assign(100, 5.0f);
    engine.processParameterChanges(nullptr);
    engine.processBlock(inputs, outputs, 2, 0);
    EXPECT_EQ(std::vector<float>(100, 5.0f), left);
}

TEST(DelayEngine, ParametersKeepGlidingWhileNoChannelIsRendered) {
    RealtimeProcessor engine({8000, 1, {0.0f, 1.0f}});
    FakeChanges toZero;
    toZero.add(Parameters::kParamDelay, {{0, 0.5}});
    {
        const corvane::vst::ScopedFlushToZero flushToZero;
        for (int call = 0; call < 8; ++call) {  // 4000 samples: +400 ms has glided to 0 ms
            engine.processParameterChanges(call == 0 ? &toZero : nullptr);
            engine.processBlock(static_cast<const float* const*>(nullptr), nullptr, 0, 500);
        }
    }
    const auto in = randomSignal(500, 11);
    EXPECT_TRUE(isDelayed(in, run(engine, in, 500), 0));
}

TEST(DelayEngineAutomation, BypassGlidesToTheDrySignalAndNeverJumps) {
    // Constant 1.0 delayed by +400 ms is still silent: the output is the dry share.
    RealtimeProcessor engine({48000, 1, {0.0f, 1.0f}});
    FakeChanges bypassOn;
    bypassOn.add(Parameters::kParamBypass, {{0, 1.0}});
    const auto out = run(engine, std::vector<float>(4800, 1.0f), 480, {&bypassOn});
    const float c = RealtimeProcessor::smoothingCoefficient(48000);
    float previous = 0.0f;
    for (std::size_t m = 0; m < out.size(); ++m) {
        ASSERT_NEAR(1.0 - std::pow(1.0 - c, static_cast<double>(m + 1)), out[m], 1e-4) << m;
        ASSERT_LE(out[m] - previous, c * 1.0001f) << "sample " << m;
        previous = out[m];
    }
    EXPECT_GT(out.back(), 0.9999f);
}

TEST(DelayEngineAutomation, RampRunsLinearlyFromThePreviousPointAndReachesItsValueAtTheOffset) {
    // The bypass engages where its ramp reaches 0.5: the first sample with a dry share c.
    const float c = RealtimeProcessor::smoothingCoefficient(8000);
    for (const auto& [value, engagesAt] : {std::pair{0.8, 62}, std::pair{0.5, 99}}) {
        RealtimeProcessor engine({8000, 1, {0.0f, 1.0f}});
        FakeChanges first, second;
        first.add(Parameters::kParamBypass, {{20, 0.0}});
        second.add(Parameters::kParamBypass, {{99, value}});
        const auto out = run(engine, std::vector<float>(200, 1.0f), 100, {&first, &second});
        EXPECT_EQ(0.0f, out[100 + engagesAt - 1]) << value;
        EXPECT_EQ(c, out[100 + engagesAt]) << value;
    }
}

TEST(DelayEngineAutomation, AutomatedDelaySettlesWithinHalfASampleOfItsLastPoint) {
    // The smoother stops a hair short of its target; 25 ms at 44.1 kHz are 1102.5 samples.
    const auto in = randomSignal(8000, 12);
    FakeChanges first, up;
    first.add(Parameters::kParamDelay, {{10, 0.5}});
    up.add(Parameters::kParamDelay, {{99, 0.53125}});
    RealtimeProcessor rising({44100, 1, {0.0f, 0.5f}});
    EXPECT_TRUE(isDelayed(in, run(rising, in, 100, {&first, &up}), 1102, 6000));

    FakeChanges down, toZero;  // +400 ms to +100 ms, then to 0 ms
    down.add(Parameters::kParamDelay, {{0, 0.75}, {99, 0.625}});
    toZero.add(Parameters::kParamDelay, {{0, 0.5}});
    RealtimeProcessor falling({8000, 1, {0.0f, 1.0f}});
    const auto out = run(falling, in, 100, {&down});
    EXPECT_TRUE(isDelayed(in, out, 800, 2000));
    EXPECT_TRUE(isDelayed(in, run(falling, in, 100, {&toZero}), 0, 2000));
}

TEST(DelayEngineAutomation, AGlideEndsOnExactlyTheSamplesOfItsTargetAtEveryRate) {
    // Where the smoother's float steps come to rest short of the target, the target still
    // decides the delay heard: +400 ms at 384 kHz would otherwise stop 36 samples early.
    for (const int32 rate : {48000, 96000, 192000, 384000}) {
        FakeChanges first, up;
        first.add(Parameters::kParamDelay, {{10, 0.5}});
        up.add(Parameters::kParamDelay, {{99, 1.0}});
        RealtimeProcessor engine({rate, 1, {0.0f, 0.5f}});
        const auto in = randomSignal(rate / 2 * 5, 21);  // 2.5 s
        const auto out = run(engine, in, 512, {&first, &up});
        EXPECT_TRUE(isDelayed(in, out, rate / 10 * 4, rate * 2)) << rate << " Hz";
    }
}

TEST(DelayEngine, ADelayBuiltOnItsTargetStaysThereWhereFloatStepsWouldDriftOff) {
    // +7.8125 ms at 48 kHz is 375 samples; a free-running smoother slides to 374.
    RealtimeProcessor engine({48000, 1, {0.0f, 0.509765625f}});
    const auto in = randomSignal(4000, 22);
    EXPECT_TRUE(isDelayed(in, run(engine, in, 256), 375));
}

TEST(DelayEngineAutomation, APointAtTheOffsetOfThePreviousOneIsSkippedButPublished) {
    RealtimeProcessor engine({8000, 1, {0.0f, 1.0f}});
    FakeChanges changes;
    changes.add(Parameters::kParamDelay, {{10, 0.5}, {10, 1.0}});
    const auto in = randomSignal(4000, 13);
    EXPECT_TRUE(isDelayed(in, run(engine, in, 100, {&changes}), 0, 2000));
    EXPECT_EQ(1.0f, engine.published(Parameters::kParamDelay).take());
}

TEST(DelayEngineAutomation, UnreadablePointsUnknownIdsNullEntriesAndEmptyQueuesChangeNothing) {
    RealtimeProcessor engine({8000, 1, {0.0f, 1.0f}});
    FakeChanges changes;
    changes.addNull();
    changes.add(7, {{0, 0.0}, {50, 1.0}});
    changes.add(Parameters::kParamBypass);
    changes.add(Parameters::kParamDelay, {{5, 0.5, true}});  // misread: 0.0, no delay
    const auto in = randomSignal(6000, 15);
    EXPECT_TRUE(isDelayed(in, run(engine, in, 100, {&changes, &changes}), 3200));
    EXPECT_FALSE(engine.published(Parameters::kParamBypass).take());
    EXPECT_FALSE(engine.published(Parameters::kParamDelay).take());
}

TEST(DelayEnginePublished, TakeGivesEachQueuesLastValueAsFloatOnceAlsoFromACallWithoutSamples) {
    RealtimeProcessor engine({8000, 1, {}});
    EXPECT_FALSE(engine.published(Parameters::kParamBypass).take());
    EXPECT_FALSE(engine.published(Parameters::kParamDelay).take());
    FakeChanges changes;
    changes.add(Parameters::kParamDelay, {{0, 0.2}, {50, 0.123456789}});
    changes.add(Parameters::kParamBypass, {{3, 1.0}});
    run(engine, std::vector<float>(100), 100, {&changes});
    EXPECT_EQ(static_cast<float>(0.123456789), engine.published(Parameters::kParamDelay).take());
    EXPECT_EQ(1.0f, engine.published(Parameters::kParamBypass).take());
    EXPECT_FALSE(engine.published(Parameters::kParamDelay).take());
    EXPECT_FALSE(engine.published(Parameters::kParamBypass).take());

    FakeChanges parametersOnly;
    parametersOnly.add(Parameters::kParamDelay, {{0, 0.7}});
    const corvane::vst::ScopedFlushToZero flushToZero;
    engine.processParameterChanges(&parametersOnly);
    engine.processBlock(static_cast<const float* const*>(nullptr), nullptr, 1, 0);
    EXPECT_EQ(0.7f, engine.published(Parameters::kParamDelay).take());
}

TEST(DelayEngineMailbox, APostedDelayRestartsTheRampAndTheSmootherGlidesThere) {
    RealtimeProcessor engine({8000, 1, {0.0f, 1.0f}});
    const auto before = randomSignal(4000, 16);
    ASSERT_TRUE(isDelayed(before, run(engine, before, 100), 3200));
    engine.mailbox().post({0.0f, 0.5f});
    const auto after = randomSignal(4000, 17);
    const auto out = run(engine, after, 100);
    EXPECT_NE(after[0], out[0]);  // still gliding
    EXPECT_TRUE(isDelayed(after, out, 0, 2000));
}

TEST(DelayEngineMailbox, APostedBypassGlidesToTheDrySignal) {
    RealtimeProcessor engine({8000, 1, {0.0f, 1.0f}});
    const std::vector<float> ones(400, 1.0f);
    ASSERT_EQ(std::vector<float>(400, 0.0f), run(engine, ones, 100));
    engine.mailbox().post({1.0f, 1.0f});
    const auto out = run(engine, std::vector<float>(2000, 1.0f), 100);
    EXPECT_EQ(RealtimeProcessor::smoothingCoefficient(8000), out[0]);
    EXPECT_NEAR(1.0f, out.back(), 1e-5f);
}

TEST(DelayEngineMailbox, OfTwoPostsBeforeOneCallTheLaterApplies) {
    RealtimeProcessor engine({8000, 1, {0.0f, 0.75f}});
    engine.mailbox().post({0.0f, 1.0f});
    engine.mailbox().post({0.0f, 0.5f});
    const auto in = randomSignal(4000, 18);
    EXPECT_TRUE(isDelayed(in, run(engine, in, 100), 0, 2000));
}

TEST(ParamRamp, TwelveHoursWithoutPointsStopAtTheOldestOffsetAndAPointIsStillTaken) {
    ParamRamp ramp;
    ramp.restart(0.25, nullptr);
    for (int call = 0; call < 530000; ++call) {  // 12 h at 48 kHz in 4096-sample calls
        ramp.skip(4096);
        ramp.setQueue(nullptr);
        ASSERT_GE(ramp.lastOffset, ParamRamp::kOldestOffset) << "call " << call;
    }
    EXPECT_EQ(ParamRamp::kOldestOffset, ramp.lastOffset);
    FakeQueue queue(Parameters::kParamDelay, {{0, 1.0}});
    ramp.setQueue(&queue);
    EXPECT_EQ(0, ramp.nextOffset);
    EXPECT_EQ(1.0, ramp.target);
    ramp.advance();
    EXPECT_EQ(1.0, ramp.value);
}

}  // namespace
}  // namespace quenvale

// The audio processor as a host drives it: buses and arrangements, sample sizes and set-ups,
// the messages to and from the controller, the reported latency and tail, and process calls.
#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <limits>
#include <optional>
#include <tuple>
#include <utility>

#include "fake_parameter_changes.h"
#include "test_host.h"

namespace quenvale::testing {
namespace {

using TString = std::basic_string<TChar>;

SpeakerArrangement arrangementOf(Processor& processor, BusDirection direction) {
    SpeakerArrangement arrangement = 0;
    EXPECT_EQ(processor.getBusArrangement(direction, 0, arrangement), kResultOk);
    return arrangement;
}

TEST(ProcessorLifecycle, InitializeAddsOneStereoMainBusEachWayOnceAndProcessWaitsForASetup) {
    TestHost host;
    Processor& processor = *host.processor;
    for (const auto& [direction, name] : {std::pair{kInput, TString(STR16("Stereo In"))},
                                          {kOutput, TString(STR16("Stereo Out"))}}) {
        EXPECT_EQ(processor.getBusCount(kAudio, direction), 1);
        EXPECT_EQ(processor.getBusCount(kEvent, direction), 0);
        BusInfo info{};
        ASSERT_EQ(processor.getBusInfo(kAudio, direction, 0, info), kResultOk);
        EXPECT_EQ(info.busType, kMain);
        EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
        EXPECT_EQ(TString(info.name), name);
        EXPECT_EQ(arrangementOf(processor, direction), SpeakerArr::kStereo);
    }
    HostApplication other;
    EXPECT_EQ(processor.initialize(&other), kResultFalse);
    EXPECT_EQ(processor.getBusCount(kAudio, kInput), 1);
    ProcessData data;
    EXPECT_EQ(processor.process(data), kResultFalse);
}

TEST(ProcessorLifecycle, AnInitializeWithoutContextThenWithOneAddsTheBusesOnce) {
    Steinberg::IPtr<Processor> processor(new Processor, false);
    processor->initialize(nullptr);
    HostApplication host;
    processor->initialize(&host);
    EXPECT_EQ(processor->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(processor->getBusCount(kAudio, kOutput), 1);
    processor->terminate();
}

TEST(ProcessorLifecycle, IsAnAudioEffectComponentThatNeedsNoProcessContext) {
    TestHost host;
    Processor& processor = *host.processor;
    for (const Steinberg::FUID* iid : {&IAudioProcessor::iid, &IProcessContextRequirements::iid}) {
        void* object = nullptr;
        ASSERT_EQ(processor.queryInterface(iid->toTUID(), &object), kResultOk);
        static_cast<Steinberg::FUnknown*>(object)->release();
    }
    EXPECT_EQ(processor.getProcessContextRequirements(), 0u);
    EXPECT_STREQ(processor.isA(), "AudioEffect");
    EXPECT_TRUE(processor.isA("AudioEffect"));
    EXPECT_FALSE(processor.isA("Component"));
    EXPECT_TRUE(processor.isTypeOf("Component"));
    EXPECT_TRUE(processor.isTypeOf("FObject"));
}

TEST(ProcessorArrangements, OnlyOneInputAndOneOutputOfTheSameArrangementAreAccepted) {
    TestHost host;
    Processor& processor = *host.processor;
    SpeakerArrangement stereo[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    SpeakerArrangement mono = SpeakerArr::kMono;
    EXPECT_EQ(processor.setBusArrangements(stereo, 1, &mono, 1), kResultFalse);
    EXPECT_EQ(processor.setBusArrangements(stereo, 2, stereo, 1), kResultFalse);
    EXPECT_EQ(processor.setBusArrangements(nullptr, 1, stereo, 1), kResultFalse);
    EXPECT_EQ(processor.setBusArrangements(stereo, 1, nullptr, 1), kResultFalse);
    EXPECT_EQ(arrangementOf(processor, kInput), SpeakerArr::kStereo);
    EXPECT_EQ(arrangementOf(processor, kOutput), SpeakerArr::kStereo);

    ASSERT_EQ(processor.setBusArrangements(&mono, 1, &mono, 1), kResultOk);
    EXPECT_EQ(arrangementOf(processor, kInput), SpeakerArr::kMono);
    EXPECT_EQ(arrangementOf(processor, kOutput), SpeakerArr::kMono);
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    EXPECT_EQ(processor.engine()->configuration().channels, 1);
}

// An impulse on two channels at 48 kHz with the default settings (about +2 ms).
template <typename S>
void expectDefaultDelayOf95Samples(int32 sampleSize) {
    TestHost host;
    ASSERT_EQ(host.setup(48000.0, sampleSize), kResultOk);
    Channels<S> input(2, std::vector<S>(300, S(0)));
    input[0][0] = input[1][0] = S(1);
    for (const auto& channel : render(*host.processor, input, 64)) {
        for (std::size_t i = 0; i < channel.size(); ++i) {
            ASSERT_EQ(channel[i], i == 95 ? S(1) : S(0)) << "sample " << i;
        }
    }
}

TEST(ProcessorSampleSizes, ThirtyTwoAndSixtyFourBitBothDelayTheDefaultBy95SamplesAt48k) {
    TestHost host;
    EXPECT_EQ(host.processor->canProcessSampleSize(kSample32), kResultOk);
    EXPECT_EQ(host.processor->canProcessSampleSize(kSample64), kResultOk);
    EXPECT_EQ(host.processor->canProcessSampleSize(2), kResultFalse);
    expectDefaultDelayOf95Samples<float>(kSample32);
    expectDefaultDelayOf95Samples<double>(kSample64);
}

// Hosts may stop and restart processing for every latency restart: "b1" only for a change.
TEST(ProcessorLatency, EachDelayMessageSetsTheLatencyOfANegativeDelayAndSendsB1OnlyForAChange) {
    TestHost host;  // no set-up yet: 44100 Hz
    const std::tuple<std::optional<double>, uint32, bool> steps[] = {{0.5, 0u, false},
                                                                     {0.0, 17640u, true},
                                                                     {0.5, 0u, true},
                                                                     {1.0, 0u, false},
                                                                     {0.25, 8820u, true},
                                                                     {0.25, 8820u, false},
                                                                     {std::nullopt, 17640u, true}};
    std::size_t sent = 0;
    for (const auto& [delay, latency, told] : steps) {
        EXPECT_EQ(host.sendDelay(delay), kResultOk);
        EXPECT_EQ(host.processor->getLatencySamples(), latency);
        sent += told ? 1 : 0;
        ASSERT_EQ(host.peer.messages.size(), sent);
        if (told) {
            EXPECT_EQ(host.peer.messages.back().id, "b1");
        }
    }
}

TEST(ProcessorLatency, ASetupRecomputesTheLatencyForItsRateAndTellsTheControllerOnlyTheRate) {
    TestHost host;
    ASSERT_EQ(host.loadText(R"({"delay":0.375})"), kResultOk);  // -100 ms
    EXPECT_EQ(host.processor->getLatencySamples(), 4410u);
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    EXPECT_EQ(host.processor->getLatencySamples(), 4800u);
    ASSERT_EQ(host.peer.messages.size(), 2u);  // the load's "b1", the set-up's "b3"
    EXPECT_EQ(host.peer.messages[1].id, "b3");
    EXPECT_EQ(host.peer.messages[1].b3, 48000.0);
    host.sendDelay(0.0);
    EXPECT_EQ(host.processor->getLatencySamples(), 19200u);
}

TEST(ProcessorLatency, ADelayChangedWhileProcessingIsOffKeepsItsLatencyAcrossASetup) {
    TestHost host;
    ASSERT_EQ(host.setup(44100.0), kResultOk);
    host.sendDelay(0.375);  // -100 ms, told by the controller; no block has run since
    EXPECT_EQ(host.processor->getLatencySamples(), 4410u);
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    EXPECT_EQ(host.processor->getLatencySamples(), 4800u);
}

TEST(ProcessorLatency, WithoutOutputSpeakersNeitherDelayMessagesNorSetupsChangeAnything) {
    TestHost host;
    host.sendDelay(0.0);
    host.peer.messages.clear();
    SpeakerArrangement none = SpeakerArr::kEmpty;
    ASSERT_EQ(host.processor->setBusArrangements(&none, 1, &none, 1), kResultOk);
    host.sendDelay(0.5);
    EXPECT_EQ(host.processor->getLatencySamples(), 17640u);
    EXPECT_TRUE(host.peer.messages.empty());
    EXPECT_EQ(host.setup(48000.0), kResultFalse);
    EXPECT_EQ(host.processor->engine(), nullptr);
    EXPECT_EQ(host.processor->getTailSamples(), 88200u);
}

TEST(ProcessorMessages, UnknownNullAndAttributeLessMessagesAreHandledWithoutSideEffects) {
    TestHost host;
    Steinberg::IPtr<IMessage> other = Steinberg::owned(new HostMessage);
    other->setMessageID("b3");
    other->getAttributes()->setFloat("uk0", 0.0);
    EXPECT_EQ(host.processor->notify(other), kResultFalse);
    EXPECT_EQ(host.processor->notify(nullptr), Steinberg::kInvalidArgument);
    MessageWithoutAttributes text("TextMessage");
    EXPECT_EQ(host.processor->notify(&text), kResultFalse);
    EXPECT_EQ(host.processor->getLatencySamples(), 0u);
    EXPECT_TRUE(host.peer.messages.empty());

    MessageWithoutAttributes delayWithoutValue("u0");  // counts as a delay of 0: -400 ms
    EXPECT_EQ(host.processor->notify(&delayWithoutValue), kResultOk);
    EXPECT_EQ(host.processor->getLatencySamples(), 17640u);
    EXPECT_EQ(host.peer.messages.size(), 1u);
}

TEST(ProcessorMessages, ActivationAndDeactivationEachSendB0WithOneOrZero) {
    TestHost host;
    EXPECT_EQ(host.processor->setActive(true), kResultOk);
    EXPECT_EQ(host.processor->setActive(false), kResultOk);
    ASSERT_EQ(host.peer.messages.size(), 2u);
    EXPECT_EQ(host.peer.messages[0].id + host.peer.messages[1].id, "b0b0");
    EXPECT_EQ(host.peer.messages[0].b0, 1);
    EXPECT_EQ(host.peer.messages[1].b0, 0);
}

TEST(ProcessorSetup, TheTailIsTwoSecondsAtTheSetUpRateAndARefusedSetupKeepsEverything) {
    TestHost host;
    EXPECT_EQ(host.processor->getTailSamples(), 88200u);
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    EXPECT_EQ(host.processor->getTailSamples(), 96000u);
    host.sendDelay(0.0);
    const RealtimeProcessor* engine = host.processor->engine();
    for (const double rate : {std::numeric_limits<double>::quiet_NaN(), 0.0, -1.0, 2e7}) {
        EXPECT_EQ(host.setup(rate), kResultFalse) << rate;
    }
    EXPECT_EQ(host.setup(44100.0, 2), kResultFalse);
    EXPECT_EQ(host.processor->engine(), engine);
    EXPECT_EQ(host.processor->getTailSamples(), 96000u);
    EXPECT_EQ(host.processor->getLatencySamples(), 19200u);
    EXPECT_EQ(host.peer.messages.size(), 2u);  // "b3" of the accepted set-up, "b1"
}

TEST(ProcessorProcess, MalformedBuffersAreRefusedWithoutTouchingMemory) {
    TestHost host;
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    float a[16] = {}, b[16] = {}, c[16] = {}, x[16], y[16], z[16];
    for (float* out : {x, y, z})
        std::fill(out, out + 16, 7.0f);
    float* inputs[3] = {a, b, c};
    float* outputs[3] = {x, y, z};
    float* withNull[2] = {a, nullptr};
    AudioBusBuffers in, out;
    ProcessData data;
    data.numSamples = 16;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &in;
    data.outputs = &out;
    const auto expectRefused = [&](int32 ins, float** inBuffers, int32 outs, float** outBuffers) {
        in.numChannels = ins;
        in.channelBuffers32 = inBuffers;
        out.numChannels = outs;
        out.channelBuffers32 = outBuffers;
        EXPECT_EQ(host.processor->process(data), kResultFalse) << ins << " in, " << outs << " out";
    };
    expectRefused(3, inputs, 3, outputs);  // more channels than the stereo engine
    expectRefused(2, withNull, 2, outputs);
    expectRefused(2, inputs, 2, withNull);
    expectRefused(2, nullptr, 2, outputs);
    expectRefused(2, inputs, 2, nullptr);
    expectRefused(2, inputs, 1, outputs);
    data.symbolicSampleSize = 2;  // neither 32 nor 64 bit: the buffers' type is unknown
    expectRefused(2, inputs, 2, outputs);
    data.symbolicSampleSize = kSample32;
    data.outputs = nullptr;
    expectRefused(2, inputs, 2, outputs);
    for (float* written : {x, y, z}) {
        EXPECT_TRUE(std::all_of(written, written + 16, [](float s) { return s == 7.0f; }));
    }
    data.numSamples = 0;  // nothing to render: the buffers are not looked at
    EXPECT_EQ(host.processor->process(data), kResultOk);
}

// Notes MXCSR when the engine asks for the parameter changes, which it does inside process.
struct CsrRecordingChanges : FakeChanges {
    int32 PLUGIN_API getParameterCount() override {
        csr = _mm_getcsr();
        return FakeChanges::getParameterCount();
    }
    unsigned int csr = 0;
};

TEST(ProcessorProcess, FlushToZeroIsOnInsideProcessAndAsBeforeAfterIt) {
    constexpr unsigned int kFlushToZero = 0x8000;
    constexpr unsigned int kExceptionFlags = 0x3F;  // sticky, may be raised while rendering
    TestHost host;
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    const unsigned int original = _mm_getcsr();
    for (const unsigned int before : {original & ~kFlushToZero, original | kFlushToZero}) {
        _mm_setcsr(before);
        CsrRecordingChanges changes;
        render(*host.processor, Channels<float>(2, std::vector<float>(64, 0.25f)), 64, &changes);
        ProcessData refused;  // and a call refused for want of buses
        refused.numSamples = refused.numInputs = refused.numOutputs = 1;
        const tresult result = host.processor->process(refused);
        const unsigned int after = _mm_getcsr();
        _mm_setcsr(original);
        EXPECT_EQ(result, kResultFalse);
        EXPECT_NE(changes.csr & kFlushToZero, 0u) << std::hex << before;
        EXPECT_EQ(after & ~kExceptionFlags, before & ~kExceptionFlags) << std::hex << before;
    }
}

}  // namespace
}  // namespace quenvale::testing

// The audio thread's rules, checked on the loaded module: process allocates, frees, locks and
// waits for nothing, whatever the host sends it. This program defines the allocator and the
// pthread locking functions itself (allocation_counter.cpp), so the module's calls to them land
// there and are counted while a process call runs. Allocations made to fail show that the
// set-up and a load answer kResultFalse and leave a working processor.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <type_traits>

#include "allocation_counter.h"
#include "host_rig.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "torture_support.h"

namespace {

using namespace host_test;
namespace counter = allocation_counter;

constexpr double kRates[] = {8000, 22050, 44100, 48000, 88200, 96000, 176400, 192000, 384000};
constexpr int32 kMaxBlocks[] = {1, 64, 512, 4096};
constexpr int32 kBlockSizes[] = {1, 2, 3, 7, 31, 64, 127, 511, 512, 1000, 2048, 4096};

// The module's file name, for telling its code from the program's.
std::string moduleFile(const LoadedModule& module) {
    Dl_info info{};
    return dladdr(module.symbol("GetPluginFactory"), &info) && info.dli_fname ? info.dli_fname : "";
}

// A host's audio thread: every process call watched, and nothing else.
class AudioThread {
  public:
    explicit AudioThread(IAudioProcessor& processor) : processor(processor) {}

    tresult process(ProcessData& data) {
        ++calls;
        samples += std::max(data.numSamples, 0);
        const counter::Watch watch;
        return processor.process(data);
    }

    IAudioProcessor& processor;
    long calls = 0;
    std::int64_t samples = 0;
};

// One set-up of `plugin` played the way hosts play: blocks of every size up to the announced
// maximum, calls without samples or buses, steady automation, sweeps across 0 ms both ways and to
// the ends of the range, bypass toggles, hostile automation, projects loaded between blocks and
// the processor switched off and on. Runs until the delay lines have wrapped.
template <typename Sample>
void play(Instance& plugin, AudioThread& audio, double rate, SpeakerArrangement layout,
          int32 maxBlock, std::mt19937& random) {
    const int32 sampleSize = std::is_same_v<Sample, float> ? kSample32 : kSample64;
    const int32 channels = SpeakerArr::getChannelCount(layout);
    plugin.activate(false);
    SpeakerArrangement in = layout, out = layout;
    ASSERT_EQ(audio.processor.setBusArrangements(&in, 1, &out, 1), kResultOk);
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, rate};
    ASSERT_EQ(audio.processor.setupProcessing(setup), kResultOk);
    plugin.activate(true);

    torture::Buffers<Sample> buffers(channels, maxBlock);
    torture::Signal<Sample> signal(random());
    torture::HostileChanges hostile;
    quenvale::hosting::HostParameterChanges changes;
    const auto wanted = static_cast<std::int64_t>(rate * 0.9);  // past 2 x the 0.44 s lines
    const std::int64_t start = audio.samples;
    for (long call = 0; call < 120 || audio.samples - start < wanted; ++call) {
        const int32 size = call < 120 ? kBlockSizes[random() % std::size(kBlockSizes)] : maxBlock;
        const int32 samples = std::min(size, maxBlock);
        IParameterChanges* automation = nullptr;
        changes.clear();
        switch (random() % 5) {
            case 0:  // steady: one point a block
                changes.add(1, 0, 0.5 + 0.25 * std::sin(0.01 * static_cast<double>(call)));
                automation = &changes;
                break;
            case 1:  // a sweep across 0 ms both ways and to both ends, with the bypass toggled
                for (int32 i = 0; i < 32; ++i) {
                    const double values[] = {0.0, 0.49, 0.51, 1.0, 0.5, 0.3, 0.7};
                    changes.add(1, samples * i / 32, values[(i + call) % std::size(values)]);
                }
                changes.add(0, 0, static_cast<double>(call % 2));
                changes.add(0, samples - 1, static_cast<double>((call + 1) % 2));
                automation = &changes;
                break;
            case 2:
                automation = hostile.randomize(random, samples, true);
                break;
            default:
                break;
        }
        signal.fill(buffers, samples, random);
        ProcessData data = buffers.data(samples, sampleSize, kRealtime, automation);
        switch (random() % 16) {
            case 0:  // a flush: parameters, no samples
                data.numSamples = 0;
                audio.process(data);
                break;
            case 1:  // no buses at all, or buses without buffers
                data.numSamples = random() % 2 ? 0 : samples;
                torture::Buffers<Sample>::withoutAudio(data, static_cast<int64_t>(random() % 2));
                if (data.inputs)
                    data.inputs[0].channelBuffers64 = data.outputs[0].channelBuffers64 = nullptr;
                audio.process(data);
                break;
            default:
                ASSERT_EQ(audio.process(data), kResultOk) << samples << " samples";
                break;
        }
        switch (random() % 32) {
            case 0: {  // a project loaded while playing
                const std::string json = torture::randomState(random).first;
                ASSERT_EQ(load(*plugin.component, document(json)), kResultOk) << json;
                break;
            }
            case 1:  // switched off and on
                plugin.activate(false);
                plugin.activate(true);
                break;
            default:
                break;
        }
    }
    plugin.activate(false);
}

// Where the first audio sample above zero is in the next `length` samples of output, after an
// impulse at the first of them; -1 if none.
int64_t impulseAt(AudioThread& audio, int64_t length) {
    torture::Buffers<float> buffers(2, 512);
    for (int64_t done = 0; done < length; done += 512) {
        for (auto& channel : buffers.in) {
            std::fill(channel.begin(), channel.end(), 0.0f);
            channel[0] = done == 0 ? 1.0f : 0.0f;
        }
        ProcessData data = buffers.data(512, kSample32, kRealtime, nullptr);
        if (audio.process(data) != kResultOk)
            return -2;
        for (int32 i = 0; i < 512; ++i) {
            if (buffers.out[0][i] > 0.5f && buffers.out[1][i] > 0.5f)
                return done + i;
        }
    }
    return -1;
}

class RealtimeSafety : public ModuleFixture {
  protected:
    void SetUp() override {
        ModuleFixture::SetUp();
        counter::reset();
    }
};

// The counter sees what the module itself calls, not only this program's calls: a set-up and a
// save allocate inside the module, and the callers lie in its code.
TEST_F(RealtimeSafety, CountsTheModulesOwnAllocations) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    ProcessSetup setup{kRealtime, kSample32, 512, 48000};
    MemoryStream stream;
    {
        const counter::Watch watch;
        plugin->processor->setupProcessing(setup);
        plugin->component->getState(&stream);
    }
    const counter::Tally seen = counter::tally();
    EXPECT_GT(seen.calls[counter::kNew] + seen.calls[counter::kMalloc], 0) << seen.describe();
    const std::string module = moduleFile(*this->module);
    ASSERT_NE(module, "");
    int inModule = 0;
    for (void* caller : counter::callers()) {
        Dl_info info{};
        if (dladdr(caller, &info) && info.dli_fname && module == info.dli_fname)
            ++inModule;
    }
    EXPECT_GT(inModule, 0) << "no counted allocation was called from " << module << " ("
                           << seen.describe() << ")";
}

// A host playing sessions at every rate from 8 to 384 kHz, mono and stereo, 32 and 64 bit,
// with every block size up to the announced maximum, automation at its worst, bypass toggles,
// loads and restarts: no process call allocates, frees, locks or waits.
TEST_F(RealtimeSafety, ProcessNeverAllocatesLocksOrWaits) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    AudioThread audio(*plugin->processor);
    std::mt19937 random(torture::seed(2024));
    for (const double rate : kRates) {
        for (const SpeakerArrangement layout : {SpeakerArr::kMono, SpeakerArr::kStereo}) {
            for (const bool doubles : {false, true}) {
                const int32 maxBlock = kMaxBlocks[random() % std::size(kMaxBlocks)];
                SCOPED_TRACE(::testing::Message()
                             << rate << " Hz, " << SpeakerArr::getChannelCount(layout)
                             << " channel(s), " << (doubles ? 64 : 32) << " bit, blocks up to "
                             << maxBlock);
                if (doubles)
                    play<double>(*plugin, audio, rate, layout, maxBlock, random);
                else
                    play<float>(*plugin, audio, rate, layout, maxBlock, random);
                const counter::Tally seen = counter::tally();
                ASSERT_EQ(seen.total(), 0)
                    << "process called: " << seen.describe() << " in " << audio.calls << " calls";
            }
        }
    }
    std::printf("%ld process calls, %lld samples: no allocation, free or lock\n", audio.calls,
                static_cast<long long>(audio.samples));
}

// Memory runs out while the host sets up or loads a project, at the call's first allocation and
// then at each later one in turn: the call answers kResultFalse when it could not do its work
// (always when nothing could be allocated), nothing crashes, and once memory is back the
// processor delays by exactly what was set, before the call or by it.
TEST_F(RealtimeSafety, SetUpAndLoadSurviveMemoryRunningOut) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    IAudioProcessor& processor = *plugin->processor;
    AudioThread audio(processor);
    ProcessSetup setup{kRealtime, kSample32, 512, 48000};
    ProcessSetup faster{kRealtime, kSample32, 512, 96000};
    const auto starved = [](long allowed, auto&& call) {
        counter::reset();
        const counter::Watch watch(true, allowed);
        return call();
    };
    const auto delays = [&](double rate, int64_t ms) {
        EXPECT_EQ(processor.getTailSamples(), static_cast<uint32>(2 * rate));
        plugin->activate(true);
        EXPECT_EQ(impulseAt(audio, 65536), static_cast<int64_t>(rate) * ms / 1000);
        plugin->activate(false);
    };

    // Nothing to be had at the first set-up: no engine, and process refuses.
    EXPECT_EQ(starved(0, [&] { return processor.setupProcessing(setup); }), kResultFalse);
    EXPECT_GT(counter::refused(), 0);
    torture::Buffers<float> buffers(2, 512);
    ProcessData data = buffers.data(512, kSample32, kRealtime, nullptr);
    EXPECT_EQ(processor.process(data), kResultFalse);

    const std::string plus100 = document("{\"bypass\":0,\"delay\":0.625}");
    const std::string minus100 = document("{\"bypass\":0,\"delay\":0.375}");
    ASSERT_EQ(load(*plugin->component, plus100), kResultOk);
    ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
    delays(48000, 100);

    // From 48 to 96 kHz.
    for (long allowed = 0;; ++allowed) {
        SCOPED_TRACE(::testing::Message() << "set-up, " << allowed << " allocation(s) granted");
        const tresult result = starved(allowed, [&] { return processor.setupProcessing(faster); });
        const bool completed = counter::refused() == 0;
        if (allowed == 0) {
            EXPECT_EQ(result, kResultFalse);
        }
        ASSERT_TRUE(result == kResultOk || result == kResultFalse) << result;
        EXPECT_EQ(processor.getLatencySamples(), 0u);
        delays(result == kResultOk ? 96000 : 48000, 100);
        if (completed || HasFailure())
            break;
        ASSERT_LT(allowed, 1000);
        ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
    }

    // From +100 to -100 ms: a latency the host is told of, once, even when memory ran out just
    // as the processor told the controller (then at the controller's next poll), and no delay in
    // the engine after the next set-up.
    RecordingHandler handler;
    ASSERT_EQ(plugin->controller->setComponentHandler(&handler), kResultOk);
    for (long allowed = 0;; ++allowed) {
        SCOPED_TRACE(::testing::Message() << "load, " << allowed << " allocation(s) granted");
        ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
        MemoryStream stream;
        fill(stream, minus100);
        handler.restarts.clear();
        const tresult result =
            starved(allowed, [&] { return plugin->component->setState(&stream); });
        const bool completed = counter::refused() == 0;
        if (allowed == 0) {
            EXPECT_EQ(result, kResultFalse);
        }
        ASSERT_TRUE(result == kResultOk || result == kResultFalse) << result;
        IPtr<IMessage> poll = owned(new HostMessage);
        poll->setMessageID("b2");
        plugin->processorPoint->notify(poll);
        EXPECT_EQ(handler.restarts.size(), result == kResultOk ? 1u : 0u);
        EXPECT_EQ(processor.getLatencySamples(), result == kResultOk ? 4800u : 0u);
        ASSERT_EQ(processor.setupProcessing(setup), kResultOk);
        delays(48000, result == kResultOk ? 0 : 100);
        EXPECT_NE(saved(*plugin->component)
                      .find(result == kResultOk ? "\"delay\":0.375" : "\"delay\":0.625"),
                  std::string::npos);
        if (completed || HasFailure())
            break;
        ASSERT_LT(allowed, 1000);
        ASSERT_EQ(load(*plugin->component, plus100), kResultOk);
    }
    ASSERT_EQ(plugin->controller->setComponentHandler(nullptr), kResultOk);
}

}  // namespace

int main(int argc, char** argv) {
    return host_test::runHostTests(argc, argv);
}

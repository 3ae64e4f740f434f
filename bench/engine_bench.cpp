// Cost of the delay engine per stereo frame at 48 kHz, next to two baselines: a plain copy of
// the same buffers (the floor) and a straightforward modulo-indexed delay with per-sample
// smoothing (what the engine's design is meant to beat under automation).
//
// Arguments of every engine and reference benchmark: block length, then 0 for a constant delay
// (no parameter changes, smoothers settled) or 1 for one delay point per block at its last
// offset, values drawn at random from 0..1 so that ramp and smoother never settle. The engine
// is also timed on denormal input against normal input (BM_EngineInput).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "flush_to_zero.h"
#include "realtime_processor.h"

namespace {

using quenvale::Parameters;
using Steinberg::int32;

constexpr int32 kSampleRate = 48000;
constexpr int32 kChannels = 2;
constexpr float kConstantDelay = 0.75f;  // +200 ms
constexpr int32 kWarmUpSamples = 2 * kSampleRate;

// Random automation values, drawn once so that every benchmark sees the same sequence.
class AutomationValues {
  public:
    AutomationValues() {
        std::uint32_t x = 12345u;
        for (double& v : values) {
            x = x * 1664525u + 1013904223u;
            v = static_cast<double>(x >> 8) / 16777216.0;
        }
    }
    double next() noexcept { return values[index++ % values.size()]; }

  private:
    std::array<double, 4096> values{};
    std::size_t index = 0;
};

// The host's parameter changes for one block: a single delay point, rewritten every block
// without allocating. Reference counting is not exercised: the benchmark owns both objects.
class OnePointQueue : public Steinberg::Vst::IParamValueQueue {
  public:
    int32 offset = 0;
    double value = 0.0;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return Parameters::kParamDelay; }
    int32 PLUGIN_API getPointCount() override { return 1; }
    Steinberg::tresult PLUGIN_API getPoint(int32 index, int32& pointOffset,
                                           Steinberg::Vst::ParamValue& pointValue) override {
        if (index != 0) {
            return Steinberg::kResultFalse;
        }
        pointOffset = offset;
        pointValue = value;
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API addPoint(int32, Steinberg::Vst::ParamValue, int32&) override {
        return Steinberg::kResultFalse;
    }
};

class OnePointChanges : public Steinberg::Vst::IParameterChanges {
  public:
    OnePointQueue queue;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
    int32 PLUGIN_API getParameterCount() override { return 1; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
        return index == 0 ? &queue : nullptr;
    }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID&,
                                                                  int32&) override {
        return nullptr;
    }
};

// What the input holds: full-scale noise, or noise scaled down to subnormal numbers of the
// sample type (as a signal decaying into silence ends up), or, for double samples, noise that
// is normal as a double but subnormal once the delay line narrows it to float.
enum class Signal : std::int64_t { kNormal = 0, kDenormal = 1, kFloatDenormal = 2 };

template <typename Sample>
Sample scaledFor(Signal signal, float noise) {
    const Sample sign = noise < 0 ? Sample(-1) : Sample(1);
    const Sample magnitude = static_cast<Sample>(std::fabs(noise));
    switch (signal) {
        case Signal::kDenormal:  // from the smallest subnormal up to half the smallest normal
            return sign * (std::numeric_limits<Sample>::denorm_min() +
                           magnitude * (std::numeric_limits<Sample>::min() / 2));
        case Signal::kFloatDenormal:  // 1e-44 to 1e-39, a float's subnormal range
            return sign * static_cast<Sample>(1e-44 + static_cast<double>(magnitude) * 1e-39);
        default:
            return static_cast<Sample>(noise);
    }
}

// Persistent stereo buffers: noise in, separate out. Each buffer starts in its own quarter of
// a 4 KiB page, so that no output shares the low 12 address bits with its input: with buffers
// packed back to back, such 4K aliasing made copying 64 doubles per channel three times slower
// than with the buffers apart.
template <typename Sample>
struct StereoBuffers {
    static constexpr std::size_t kPage = 4096;

    std::vector<unsigned char> storage;
    std::array<const Sample*, kChannels> in{};
    std::array<Sample*, kChannels> out{};

    explicit StereoBuffers(int32 samples, Signal signal = Signal::kNormal) {
        const std::size_t bytes = static_cast<std::size_t>(samples) * sizeof(Sample);
        const std::size_t stride = (bytes + kPage - 1) / kPage * kPage + kPage / 4;
        storage.resize(2 * kChannels * stride + kPage);
        const auto base = reinterpret_cast<std::uintptr_t>(storage.data());
        const std::size_t start = (kPage - base % kPage) % kPage;
        auto buffer = [&](int32 k) {
            return reinterpret_cast<Sample*>(storage.data() + start + k * stride);
        };
        std::uint32_t x = 1u;
        for (int32 j = 0; j < kChannels; ++j) {
            Sample* input = buffer(j);
            for (int32 i = 0; i < samples; ++i) {
                x = x * 1664525u + 1013904223u;
                input[i] =
                    scaledFor<Sample>(signal, static_cast<float>(x >> 8) / 8388608.0f - 1.0f);
            }
            in[j] = input;
            out[j] = buffer(kChannels + j);
        }
    }
};

// CPU time per stereo frame, and seconds of audio rendered per second of CPU.
void reportFrames(benchmark::State& state, int32 samples) {
    const double frames = static_cast<double>(state.iterations()) * samples;
    state.counters["frame_time"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] =
        benchmark::Counter(frames / kSampleRate, benchmark::Counter::kIsRate);
}

// The textbook delay: one circular buffer per channel read modulo its length, and per sample a
// linear ramp to the block's point, a one-pole smoother on the delay in ms and one on the dry
// share. Same delay range, coefficient and truncation as the engine, buffers in Sample.
template <typename Sample>
class ReferenceDelay {
  public:
    ReferenceDelay() {
        const int32 maxDelay = static_cast<int32>(kSampleRate * 0.44);
        size = maxDelay + 1;
        for (auto& line : lines) {
            line.buffer.assign(static_cast<std::size_t>(size), Sample(0));
        }
    }

    // Ramp towards `value` over the block, reaching it at the last sample; a constant delay is
    // the same call with an unchanged value.
    void process(const Sample* const* in, Sample* const* out, int32 samples, double value) {
        const double step = (value - rampValue) / samples;
        for (int32 i = 0; i < samples; ++i) {
            rampValue = i == samples - 1 ? value : rampValue + step;
            const float n = static_cast<float>(rampValue);
            const float targetMs = (n + n - 1.0f) * Parameters::kMaxDelayMs;
            smoothedMs = targetMs * kCoef + (1.0f - kCoef) * smoothedMs;
            smoothedBypass = kBypassTarget * kCoef + (1.0f - kCoef) * smoothedBypass;
            const int32 d = std::min(
                static_cast<int32>(std::max(smoothedMs, 0.0f) * 0.001f * kSampleRate), size - 1);
            for (int32 j = 0; j < kChannels; ++j) {
                Line& line = lines[j];
                line.buffer[line.write] = in[j][i];
                const Sample y = line.buffer[(line.write + size - d) % size];
                out[j][i] = smoothedBypass * in[j][i] + (1.0f - smoothedBypass) * y;
                line.write = (line.write + 1) % size;
            }
        }
    }

  private:
    static constexpr float kCoef = 100.0f / kSampleRate;
    static constexpr float kBypassTarget = 0.0f;  // delay heard

    struct Line {
        std::vector<Sample> buffer;
        int32 write = 0;
    };
    std::array<Line, kChannels> lines;
    int32 size = 0;
    double rampValue = kConstantDelay;
    float smoothedMs = (kConstantDelay * 2.0f - 1.0f) * Parameters::kMaxDelayMs;
    float smoothedBypass = kBypassTarget;
};

// Times the engine on `buffers`: a block of `samples` per iteration, the delay constant or
// automated by one point per block, after the lines have filled and the smoothers settled.
template <typename Sample>
void timeEngine(benchmark::State& state, StereoBuffers<Sample>& buffers, int32 samples,
                bool automated) {
    AutomationValues values;
    OnePointChanges changes;
    changes.queue.offset = samples - 1;
    quenvale::RealtimeConfig config;
    config.sampleRate = kSampleRate;
    config.channels = kChannels;
    config.state.delay = kConstantDelay;
    quenvale::RealtimeProcessor engine(config);
    corvane::vst::ScopedFlushToZero ftz;

    auto renderBlock = [&] {
        if (automated) {
            changes.queue.value = values.next();
            engine.processParameterChanges(&changes);
        } else {
            engine.processParameterChanges(nullptr);
        }
        engine.processBlock(buffers.in.data(), buffers.out.data(), kChannels, samples);
    };
    for (int32 done = 0; done < kWarmUpSamples; done += samples) {
        renderBlock();
    }
    for (auto _ : state) {
        renderBlock();
        benchmark::ClobberMemory();
    }
    reportFrames(state, samples);
}

template <typename Sample>
void BM_Engine(benchmark::State& state) {
    const auto samples = static_cast<int32>(state.range(0));
    StereoBuffers<Sample> buffers(samples);
    timeEngine(state, buffers, samples, state.range(1) != 0);
}

// The engine on normal and on denormal input, everything else the same: a 512-sample block,
// the delay constant (0) or automated (1), flush-to-zero on as the processor has it. Denormals
// must cost no more than normal numbers.
template <typename Sample>
void BM_EngineInput(benchmark::State& state) {
    constexpr int32 samples = 512;
    const auto signal = static_cast<Signal>(state.range(0));
    const bool automated = state.range(1) != 0;
    StereoBuffers<Sample> buffers(samples, signal);
    for (const Sample* channel : buffers.in) {
        const bool allDenormal = std::all_of(channel, channel + samples, [](Sample x) {
            return std::fpclassify(static_cast<float>(x)) == FP_SUBNORMAL ||
                   std::fpclassify(x) == FP_SUBNORMAL;
        });
        if (allDenormal != (signal != Signal::kNormal)) {
            state.SkipWithError("the input is not what the benchmark says");
            return;
        }
    }
    timeEngine(state, buffers, samples, automated);
}

void signalsAndModes(benchmark::internal::Benchmark* b, bool wide) {
    b->ArgNames({"denormal", "automated"});
    for (const Signal signal : {Signal::kNormal, Signal::kDenormal, Signal::kFloatDenormal}) {
        if (signal == Signal::kFloatDenormal && !wide) {
            continue;
        }
        for (const std::int64_t automated : {0, 1}) {
            b->Args({static_cast<std::int64_t>(signal), automated});
        }
    }
}

template <typename Sample>
void BM_Reference(benchmark::State& state) {
    const auto samples = static_cast<int32>(state.range(0));
    const bool automated = state.range(1) != 0;
    StereoBuffers<Sample> buffers(samples);
    AutomationValues values;
    ReferenceDelay<Sample> reference;
    corvane::vst::ScopedFlushToZero ftz;

    auto renderBlock = [&] {
        const double value = automated ? values.next() : kConstantDelay;
        reference.process(buffers.in.data(), buffers.out.data(), samples, value);
    };
    for (int32 done = 0; done < kWarmUpSamples; done += samples) {
        renderBlock();
    }
    for (auto _ : state) {
        renderBlock();
        benchmark::ClobberMemory();
    }
    reportFrames(state, samples);
}

template <typename Sample>
void BM_Memcpy(benchmark::State& state) {
    const auto samples = static_cast<int32>(state.range(0));
    StereoBuffers<Sample> buffers(samples);
    corvane::vst::ScopedFlushToZero ftz;
    for (auto _ : state) {
        for (int32 j = 0; j < kChannels; ++j) {
            benchmark::DoNotOptimize(buffers.out[j]);
            std::memcpy(buffers.out[j], buffers.in[j], sizeof(Sample) * samples);
        }
        benchmark::ClobberMemory();
    }
    reportFrames(state, samples);
}

void blocksAndModes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "automated"});
    for (const std::int64_t block : {64, 512}) {
        for (const std::int64_t automated : {0, 1}) {
            b->Args({block, automated});
        }
    }
}

}  // namespace

BENCHMARK_TEMPLATE(BM_Memcpy, float)->ArgName("block")->Arg(64)->Arg(512);
BENCHMARK_TEMPLATE(BM_Memcpy, double)->ArgName("block")->Arg(64)->Arg(512);
BENCHMARK_TEMPLATE(BM_Engine, float)->Apply(blocksAndModes);
BENCHMARK_TEMPLATE(BM_Engine, double)->Apply(blocksAndModes);
BENCHMARK_TEMPLATE(BM_EngineInput, float)->Apply([](benchmark::internal::Benchmark* b) {
    signalsAndModes(b, false);
});
BENCHMARK_TEMPLATE(BM_EngineInput, double)->Apply([](benchmark::internal::Benchmark* b) {
    signalsAndModes(b, true);
});
BENCHMARK_TEMPLATE(BM_Reference, float)->Apply(blocksAndModes);
BENCHMARK_TEMPLATE(BM_Reference, double)->Apply(blocksAndModes);

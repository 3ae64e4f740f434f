// The host-torture tests' tools: hostile automation, test signals with their output checks,
// audio buffers as a host hands them over, random saved states, and the latency a host must be
// told for the delay it set.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

namespace torture {

using Steinberg::int32;
using Steinberg::uint32;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;

// A positive number from the environment variable `name`, or `standard`.
inline double setting(const char* name, double standard) {
    if (const char* text = std::getenv(name)) {
        const double given = std::atof(text);
        if (given > 0.0)
            return given;
    }
    return standard;
}

// How long the timed runs last: `standard` seconds, or QUENVALE_TORTURE_SECONDS.
inline double seconds(double standard) {
    return setting("QUENVALE_TORTURE_SECONDS", standard);
}

// Seeds of the random host behaviour: `base`, moved by QUENVALE_TORTURE_SEED for other runs.
inline std::uint32_t seed(std::uint32_t base) {
    return base + static_cast<std::uint32_t>(setting("QUENVALE_TORTURE_SEED", 0.0));
}

// The share of its full length each combination of the sweep runs for: the build's default
// (slow sanitizers run less), or QUENVALE_TORTURE_SCALE.
inline double scale() {
#ifdef QUENVALE_TORTURE_SCALE
    return setting("QUENVALE_TORTURE_SCALE", QUENVALE_TORTURE_SCALE);
#else
    return setting("QUENVALE_TORTURE_SCALE", 1.0);
#endif
}

// The latency the processor must report while the host's delay setting is `normalized`, at
// `rate`: a negative delay is played early by the host's delay compensation, trunc(rate x |d|)
// samples for d seconds. The delay in milliseconds is the parameter's own mapping: clamped to
// 0..1 in single precision (NaN counts as 1), 2c - 1 in single precision, times 400 in double.
inline uint32 expectedLatency(double rate, double normalized) {
    const auto n = static_cast<float>(normalized);
    float c = n < 1.0f ? n : 1.0f;
    c = c > 0.0f ? c : 0.0f;
    const auto ms = static_cast<float>(static_cast<double>(c + c - 1.0f) * 400.0);
    const double ahead = std::max(-static_cast<double>(ms) * 0.001, 0.0);
    return static_cast<uint32>(static_cast<int32>(static_cast<int32>(rate) * ahead));
}

// A normalized value as a host might send one: mostly 0..1, sometimes the ends, values beyond
// them, huge, infinite, NaN or subnormal.
template <class Random>
double hostileValue(Random& random) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    switch (random() % 20) {
        case 0:
            return 0.0;
        case 1:
            return 1.0;
        case 2:
            return -0.0;
        case 3:
            return std::uniform_real_distribution<double>(-2.0, 3.0)(random);
        case 4:
            return (random() % 2 ? 1 : -1) * 1e300;
        case 5:
            return random() % 2 ? inf : -inf;
        case 6:
            return std::numeric_limits<double>::quiet_NaN();
        case 7:
            return 1e-310;
        case 8:
            return 0.5;
        default:
            return std::uniform_real_distribution<double>(0.0, 1.0)(random);
    }
}

// A value a host passes to the controller: finite, mostly 0..1, sometimes beyond.
template <class Random>
double normalizedValue(Random& random) {
    switch (random() % 8) {
        case 0:
            return std::uniform_real_distribution<double>(-1.0, 2.0)(random);
        case 1:
            return static_cast<double>(random() % 3) * 0.5;
        default:
            return std::uniform_real_distribution<double>(0.0, 1.0)(random);
    }
}

// A saved state a host hands back: the document's JSON text and the delay it sets, as the
// controller reads it (members missing or not numbers read as their defaults).
template <class Random>
std::pair<std::string, double> randomState(Random& random) {
    constexpr double kDefaultDelay = 0.5024999976158142;
    char text[160];
    const double bypass = normalizedValue(random);
    double delay = normalizedValue(random);
    switch (random() % 6) {
        case 0:
            std::snprintf(text, sizeof text, "{\"bypass\":%.17g}", bypass);
            delay = kDefaultDelay;
            break;
        case 1:
            std::snprintf(text, sizeof text, "{\"delay\":\"%.3f\",\"bypass\":%.17g}", delay,
                          bypass);
            delay = kDefaultDelay;
            break;
        case 2: {
            char number[32];
            std::snprintf(number, sizeof number, "%.9g", delay);
            std::snprintf(text, sizeof text,
                          "{\"product\":\"x\",\"delay\":%s,\"format\":7,\"extra\":[1,{}]}", number);
            delay = std::strtod(number, nullptr);
            break;
        }
        default:
            std::snprintf(text, sizeof text, "{\"bypass\":%.17g,\"delay\":%.17g}", bypass, delay);
            break;
    }
    return {text, delay};
}

// A host's parameter changes at their worst: queues for ids that are no parameters, several
// queues for one id, empty queues, entries the host cannot give, points that cannot be read,
// offsets repeated, out of order, negative or beyond the block, values from hostileValue.
class HostileChanges : public Steinberg::Vst::IParameterChanges {
  public:
    struct Queue : Steinberg::Vst::IParamValueQueue {
        ParamID id = 0;
        int32 count = 0;
        int32 unreadable = -1;  // the point whose reading fails
        std::array<int32, 16> offsets{};
        std::array<ParamValue, 16> values{};

        Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
            *obj = nullptr;
            return Steinberg::kNoInterface;
        }
        uint32 PLUGIN_API addRef() override { return 1; }
        uint32 PLUGIN_API release() override { return 1; }
        ParamID PLUGIN_API getParameterId() override { return id; }
        int32 PLUGIN_API getPointCount() override { return count; }
        Steinberg::tresult PLUGIN_API getPoint(int32 index, int32& offset,
                                               ParamValue& value) override {
            if (index < 0 || index >= count || index == unreadable)
                return Steinberg::kResultFalse;
            offset = offsets[index];
            value = values[index];
            return Steinberg::kResultOk;
        }
        Steinberg::tresult PLUGIN_API addPoint(int32, ParamValue, int32&) override {
            return Steinberg::kResultFalse;
        }
    };

    // New changes for a block of `length` samples; answers what to hand to process: null (no
    // changes at all) half the time when `automate` is false.
    template <class Random>
    IParameterChanges* randomize(Random& random, int32 length, bool automate) {
        used = 0;
        if (!automate)
            return random() % 2 ? this : nullptr;
        const int32 wanted = 1 + static_cast<int32>(random() % kQueues);
        for (; used < wanted; ++used) {
            Queue& q = queues[used];
            missing[used] = random() % 16 == 0;
            const uint32 pick = random() % 16;
            q.id = pick < 7 ? 1 : pick < 12 ? 0 : pick < 14 ? 2 : 0xFFFFFFFFu;
            q.count = static_cast<int32>(random() % 8 == 0 ? 0 : 1 + random() % 6);
            q.unreadable = random() % 8 == 0 ? static_cast<int32>(random() % 6) : -1;
            // Reckoned wide: an extreme offset is followed by more points.
            int64_t offset = static_cast<int64_t>(random() % std::max(length / 2, 1));
            for (int32 i = 0; i < q.count; ++i) {
                switch (random() % 12) {
                    case 0:
                        break;  // the same offset again
                    case 1:
                        offset -= 1 + static_cast<int64_t>(random() % 4);
                        break;
                    case 2:
                        offset = -1 - static_cast<int64_t>(random() % 100);
                        break;
                    case 3:
                        offset = length + static_cast<int64_t>(random() % 100);
                        break;
                    case 4:
                        offset = random() % 2 ? std::numeric_limits<int32>::max()
                                              : std::numeric_limits<int32>::min();
                        break;
                    default:
                        offset += 1 + static_cast<int64_t>(random() % std::max(length / 4, 1));
                        break;
                }
                offset = std::clamp<int64_t>(offset, std::numeric_limits<int32>::min(),
                                             std::numeric_limits<int32>::max());
                q.offsets[i] = static_cast<int32>(offset);
                q.values[i] = hostileValue(random);
            }
        }
        return this;
    }

    // The delay value the processor takes from these changes, as the host sent it: the last
    // point of the last readable queue of the delay, if any.
    std::optional<double> publishedDelay() {
        std::optional<double> value;
        for (int32 i = 0; i < used; ++i) {
            Queue& q = queues[i];
            int32 offset = 0;
            ParamValue last = 0.0;
            if (!missing[i] && q.id == 1 && q.count > 0 &&
                q.getPoint(q.count - 1, offset, last) == Steinberg::kResultOk) {
                value = last;
            }
        }
        return value;
    }

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    int32 PLUGIN_API getParameterCount() override { return used; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
        return index >= 0 && index < used && !missing[index] ? &queues[index] : nullptr;
    }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const ParamID&, int32&) override {
        return nullptr;
    }

  private:
    static constexpr int32 kQueues = 5;
    std::array<Queue, kQueues> queues;
    std::array<bool, kQueues> missing{};
    int32 used = 0;
};

// Audio buffers as a host hands them to process(): one input and one output bus of `channels`
// channels. Outputs start as NaN, so a sample left unwritten shows.
template <typename Sample>
struct Buffers {
    Buffers(int32 channels, int32 capacity)
        : in(static_cast<std::size_t>(channels), std::vector<Sample>(capacity)),
          out(static_cast<std::size_t>(channels), std::vector<Sample>(capacity)),
          inPointers(static_cast<std::size_t>(channels)),
          outPointers(static_cast<std::size_t>(channels)) {}

    Steinberg::Vst::ProcessData data(int32 samples, int32 sampleSize, int32 mode,
                                     Steinberg::Vst::IParameterChanges* changes) {
        for (std::size_t c = 0; c < in.size(); ++c) {
            std::fill_n(out[c].begin(), std::max(samples, 0),
                        std::numeric_limits<Sample>::quiet_NaN());
            inPointers[c] = in[c].data();
            outPointers[c] = out[c].data();
        }
        inBus = {};
        outBus = {};
        inBus.numChannels = outBus.numChannels = static_cast<int32>(in.size());
        if constexpr (std::is_same_v<Sample, float>) {
            inBus.channelBuffers32 = inPointers.data();
            outBus.channelBuffers32 = outPointers.data();
        } else {
            inBus.channelBuffers64 = inPointers.data();
            outBus.channelBuffers64 = outPointers.data();
        }
        Steinberg::Vst::ProcessData data;
        data.processMode = mode;
        data.symbolicSampleSize = sampleSize;
        data.numSamples = samples;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        data.inputParameterChanges = changes;
        return data;
    }

    // The ways hosts call process without audio: no buses, or buses without channel buffers.
    static void withoutAudio(Steinberg::Vst::ProcessData& data, int64_t call) {
        switch (call % 3) {
            case 0:
                data.numInputs = data.numOutputs = 0;
                data.inputs = data.outputs = nullptr;
                break;
            case 1:
                data.inputs[0].channelBuffers32 = nullptr;
                data.outputs[0].channelBuffers32 = nullptr;
                break;
            default:
                break;
        }
    }

    // What is wrong with the output of the last `samples` samples: a sample not finite or
    // subnormal, or (for `mirrored` input) a second channel that is not the first negated.
    std::string outputFault(int32 samples) const {
        for (std::size_t c = 0; c < out.size(); ++c) {
            for (int32 i = 0; i < samples; ++i) {
                const Sample y = out[c][i];
                if (!std::isfinite(y) || std::fpclassify(y) == FP_SUBNORMAL) {
                    return describe("output", c, i, y);
                }
                if (mirrored && c == 1 && !(y == -out[0][i])) {
                    return describe("right channel not the left negated", c, i, y);
                }
            }
        }
        return "";
    }

    std::string describe(const char* what, std::size_t c, int32 i, Sample y) const {
        char text[160];
        std::snprintf(text, sizeof text, "%s: channel %zu, sample %d: %.9g (input %.9g)", what, c,
                      i, static_cast<double>(y), static_cast<double>(in[c][i]));
        return text;
    }

    std::vector<std::vector<Sample>> in;
    std::vector<std::vector<Sample>> out;
    std::vector<Sample*> inPointers;
    std::vector<Sample*> outPointers;
    Steinberg::Vst::AudioBusBuffers inBus{};
    Steinberg::Vst::AudioBusBuffers outBus{};
    bool mirrored = false;
};

// Finite test input: tones, noise and silence, sometimes loud (1e30), quiet (1e-30) or
// subnormal; the second channel is the first negated, so each channel's output is the other's
// negated as well. The delay line keeps samples as float: 64-bit input beyond the float range
// (about 1e38, some 770 dB above full scale) is outside what the plug-in takes.
template <typename Sample>
class Signal {
  public:
    explicit Signal(uint32 seed) : pattern(kLength) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        for (std::size_t i = 0; i < kLength;) {
            const std::size_t run = std::min<std::size_t>(kLength - i, 1 + random() % 2000);
            const uint32 kind = random() % 8;
            const double scale = kind == 4 ? 1e30 : kind == 5 ? 1e-30 : 1.0;
            const double cycle = 10.0 + random() % 500;
            for (std::size_t k = 0; k < run; ++k, ++i) {
                double x = 0.0;
                switch (kind) {
                    case 0:
                        x = 0.0;
                        break;
                    case 1:
                        x = std::sin(6.283185307179586 * static_cast<double>(i) / cycle);
                        break;
                    case 6:
                        x = noise(random) * 1e-40;
                        break;  // subnormal as float
                    case 7:
                        x = noise(random) *
                            (std::is_same_v<Sample, float> ? 1e-40 : 1e-310);  // subnormal
                        break;
                    default:
                        x = noise(random) * scale;
                        break;
                }
                pattern[i] = static_cast<Sample>(x);
            }
        }
    }

    // The next `samples` samples into every channel's input, from a random place.
    template <class Random>
    void fill(Buffers<Sample>& buffers, int32 samples, Random& random) const {
        if (samples <= 0)
            return;
        const auto n = static_cast<std::size_t>(samples);
        for (std::size_t i = 0; i < n;) {
            const std::size_t from = random() % kLength;
            const std::size_t run = std::min(n - i, kLength - from);
            std::copy_n(pattern.begin() + static_cast<std::ptrdiff_t>(from), run,
                        buffers.in[0].begin() + static_cast<std::ptrdiff_t>(i));
            i += run;
        }
        for (std::size_t c = 1; c < buffers.in.size(); ++c) {
            std::transform(buffers.in[0].begin(), buffers.in[0].begin() + samples,
                           buffers.in[c].begin(), [](Sample x) { return -x; });
        }
        buffers.mirrored = buffers.in.size() == 2;
    }

  private:
    static constexpr std::size_t kLength = 1 << 16;
    std::vector<Sample> pattern;
};

}  // namespace torture

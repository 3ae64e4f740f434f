// The engine renders steady stretches and automated stretches differently for speed. Here a
// plain sample-by-sample model of the same signal path runs beside it over long random
// sessions, and every output bit must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "fake_parameter_changes.h"
#include "flush_to_zero.h"
#include "realtime_processor.h"

namespace quenvale {
namespace {

using testing::FakeChanges;
using testing::FakePoint;

// One parameter's automation, one sample at a time.
struct ModelRamp {
    explicit ModelRamp(double start) : value(start) {}
    double value;
    std::vector<FakePoint> points;  // this block's
    std::size_t next = 0;
    bool hadPoints = false;
    double step = 0.0, target = 0.0;
    std::int64_t lastOffset = -1, nextOffset = -1;
    std::int64_t index = -1;

    void aim() {
        while (next < points.size()) {
            const FakePoint p = points[next++];
            if (p.fails || p.offset <= lastOffset)
                continue;
            target = p.value;
            step = (target - value) / static_cast<double>(p.offset - lastOffset);
            nextOffset = lastOffset = p.offset;
            return;
        }
        step = 0.0;
        target = value;
        nextOffset = -1;
    }
    void startBlock(std::vector<FakePoint> blockPoints) {
        lastOffset = hadPoints ? -1 : std::max<std::int64_t>(lastOffset - (index + 1), -(1 << 30));
        points = std::move(blockPoints);
        hadPoints = !points.empty();
        next = 0;
        index = -1;
        aim();
    }
    void advance() {
        value += step;
        if (++index == nextOffset) {
            value = target;
            aim();
        }
    }
};

float clamp01(float x) {
    return x < 1.0f ? (x > 0.0f ? x : 0.0f) : 1.0f;
}

struct Model {
    ModelRamp bypass, delay;
    float smoothedBypass, smoothedDelay, coef;
    int32 rate, maxDelay;
    std::vector<std::vector<float>> history;  // per channel, every sample ever written

    Model(int32 sampleRate, int32 channels, ProcessorState start)
        : bypass(start.bypass), delay(start.delay), rate(sampleRate) {
        coef = static_cast<float>(std::min(100.0 / sampleRate, 1.0));
        smoothedBypass = std::floor(static_cast<double>(clamp01(start.bypass)) + 0.5);
        smoothedDelay = toMs(start.delay);
        maxDelay = static_cast<int32>(sampleRate * 0.44000000000000006);
        history.assign(channels, std::vector<float>(maxDelay, 0.0f));  // the line starts silent
    }
    static float toMs(double v) {
        const float c = clamp01(static_cast<float>(v));
        return static_cast<float>(static_cast<double>(c + c - 1.0f) * 400.0);
    }
    template <typename S>
    void render(std::vector<std::vector<S>>& io, int32 channels, int32 samples) {
        for (int32 i = 0; i < samples; ++i) {
            bypass.advance();
            delay.advance();
            const float t =
                std::floor(static_cast<double>(clamp01(static_cast<float>(bypass.value))) + 0.5);
            smoothedBypass = t * coef + (1.0f - coef) * smoothedBypass;
            // The delay smoother holds on its target; a step that changes nothing means it has
            // arrived, and the target is what is heard.
            const float target = toMs(delay.value);
            const float next = smoothedDelay == target
                                   ? smoothedDelay
                                   : target * coef + (1.0f - coef) * smoothedDelay;
            const float heard = next == smoothedDelay ? target : next;
            smoothedDelay = next;
            const float dry = smoothedBypass, wet = 1.0f - smoothedBypass;
            const auto k =
                static_cast<int32>(std::max(static_cast<double>(heard) * 0.001, 0.0) * rate);
            const int32 d = std::max(std::min(k, maxDelay), 0);
            for (int32 j = 0; j < channels; ++j) {
                auto& h = history[j];
                h.push_back(static_cast<float>(io[j][i]));
                const float y = h[h.size() - 1 - d];
                if constexpr (sizeof(S) == 4) {
                    io[j][i] = dry * io[j][i] + y * wet;
                } else {
                    io[j][i] = static_cast<double>(dry) * io[j][i] + static_cast<double>(y * wet);
                }
            }
        }
    }
};

template <typename S>
void runSession(std::uint32_t seed, int32 sampleRate, int32 channels, int32 blocks) {
    std::mt19937 rng(seed);
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<>(lo, hi)(rng);
    };
    auto chance = [&](double p) { return uniform(0.0, 1.0) < p; };
    auto count = [&](int32 lo, int32 hi) {
        return std::uniform_int_distribution<int32>(lo, hi)(rng);
    };

    const ProcessorState start{chance(0.2) ? 1.0f : 0.0f, static_cast<float>(uniform(0, 1))};
    RealtimeProcessor engine({sampleRate, channels, start});
    Model model(sampleRate, channels, start);
    const corvane::vst::ScopedFlushToZero flushToZero;

    for (int32 block = 0; block < blocks; ++block) {
        // Long quiet stretches (steady rendering) alternate with bursts of automation.
        const bool automate = chance(0.3);
        std::vector<FakePoint> points[2];
        FakeChanges changes;
        for (int32 id = 0; id < 2 && automate; ++id) {
            if (chance(id == 0 ? 0.15 : 0.8)) {
                for (int32 p = count(1, 4); p > 0; --p) {
                    const double value = chance(0.05) ? uniform(-0.5, 1.5) : uniform(0, 1);
                    points[id].push_back({count(-2, 600), value, chance(0.05)});
                }
                changes.add(id, points[id]);
            }
        }
        const int32 samples = chance(0.1) ? count(0, 3) : count(1, 700);
        if (chance(0.02)) {
            const ProcessorState posted{static_cast<float>(uniform(0, 1)),
                                        static_cast<float>(uniform(0, 1))};
            engine.mailbox().post(posted);
            model.bypass.value = posted.bypass;
            model.delay.value = posted.delay;
            model.bypass.hadPoints = model.delay.hadPoints = false;
        }
        engine.processParameterChanges(&changes);
        model.bypass.startBlock(points[0]);
        model.delay.startBlock(points[1]);

        std::vector<std::vector<S>> signal(channels, std::vector<S>(samples));
        for (auto& channel : signal) {
            for (auto& x : channel)
                x = static_cast<S>(uniform(-1, 1));
        }
        auto expected = signal;
        std::vector<const S*> in;
        std::vector<S*> out;
        for (auto& channel : signal) {
            in.push_back(channel.data());
            out.push_back(channel.data());  // in place, as many hosts do
        }
        engine.processBlock(in.data(), out.data(), channels, samples);
        model.render(expected, channels, samples);
        for (int32 j = 0; j < channels && samples > 0; ++j) {
            ASSERT_EQ(0, std::memcmp(expected[j].data(), signal[j].data(), samples * sizeof(S)))
                << "seed " << seed << " block " << block << " channel " << j;
        }
    }
}

TEST(FastPath, MatchesASampleBySampleModelOverLongRandomSessions32Bit) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        runSession<float>(seed, seed % 2 ? 48000 : 8000, 2, 600);
    }
}

TEST(FastPath, MatchesASampleBySampleModelOverLongRandomSessions64Bit) {
    for (std::uint32_t seed = 11; seed <= 14; ++seed) {
        runSession<double>(seed, seed % 2 ? 44100 : 2000, seed % 3 == 0 ? 1 : 2, 600);
    }
}

}  // namespace
}  // namespace quenvale

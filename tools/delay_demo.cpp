// Feeds a click every 100 ms through the delay engine at several settings and prints where the
// clicks land and what latency a host would be told.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "flush_to_zero.h"
#include "realtime_processor.h"

using quenvale::int32;
using quenvale::Parameters;
using quenvale::RealtimeConfig;
using quenvale::RealtimeProcessor;

namespace {

constexpr int32 kSampleRate = 48000;
constexpr int32 kBlock = 512;
constexpr int32 kClickPeriod = kSampleRate / 10;  // 100 ms
constexpr int32 kLength = kSampleRate;            // one second

void run(float normalized) {
    RealtimeConfig config;
    config.sampleRate = kSampleRate;
    config.channels = 1;
    config.state.delay = normalized;
    RealtimeProcessor engine(config);

    std::vector<float> input(kLength, 0.0f), output(kLength, 0.0f);
    for (int32 i = 0; i < kLength; i += kClickPeriod)
        input[i] = 1.0f;

    for (int32 start = 0; start < kLength; start += kBlock) {
        const int32 n = std::min(kBlock, kLength - start);
        const float* in[] = {input.data() + start};
        float* out[] = {output.data() + start};
        engine.processParameterChanges(nullptr);
        engine.processBlock(in, out, 1, n);
    }

    const int32 latency = RealtimeProcessor::latencyFor(engine.configuration());
    std::printf("delay %s ms (normalized %.4f): latency reported to the host %d samples\n",
                Parameters::delayText(normalized).c_str(), normalized, latency);
    // Clicks come out in the order they went in: the n-th one heard is the n-th one sent.
    int32 shown = 0;
    for (int32 i = 0; i < kLength && shown < 3; ++i) {
        if (output[i] > 0.5f) {
            const int32 clickAt = shown * kClickPeriod;
            const int32 heard = i - latency;  // where the host's compensation places it
            std::printf(
                "  click at sample %6d -> output sample %6d, on the timeline %6d (%+.3f ms)\n",
                clickAt, i, heard, 1000.0 * (heard - clickAt) / kSampleRate);
            ++shown;
        }
    }
}

}  // namespace

int main() {
    const corvane::vst::ScopedFlushToZero flushToZero;  // as the processor renders
    std::printf("Quenvale delay engine at %d Hz, a click every 100 ms\n", kSampleRate);
    for (const float setting : {0.375f, 0.5f, Parameters::kDefaultDelay, 1.0f}) {
        run(setting);
    }
    return 0;
}

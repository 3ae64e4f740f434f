// Replays the recorded engine scenarios (tests/data/golden, see its README) and compares every
// output bit and the published values at the end.
#include <gtest/gtest.h>
#include <picojson.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "fake_parameter_changes.h"
#include "flush_to_zero.h"
#include "realtime_processor.h"

namespace quenvale {
namespace {

using testing::FakeChanges;
using testing::FakePoint;

std::string dataPath(const std::string& name) {
    return std::string(QUENVALE_TEST_DATA_DIR) + "/golden/" + name;
}

std::vector<char> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint64_t hexBits(const picojson::value& v) {
    return std::stoull(v.get<std::string>(), nullptr, 16);
}

float floatOf(const picojson::value& number) {
    const auto bits = static_cast<std::uint32_t>(hexBits(number.get("bits")));
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

double doubleOf(const picojson::value& number) {
    const std::uint64_t bits = hexBits(number.get("bits"));
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

ProcessorState stateOf(const picojson::value& v) {
    return {floatOf(v.get("bypass")), floatOf(v.get("delay"))};
}

std::uint32_t bitsOf(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

template <typename Sample>
void replay(const picojson::value& scenario, const std::vector<char>& inputBytes,
            std::vector<char>& outputBytes, RealtimeProcessor& engine) {
    const auto* input = reinterpret_cast<const Sample*>(inputBytes.data());
    std::size_t consumed = 0;
    for (const auto& call : scenario.get("calls").get<picojson::array>()) {
        for (const auto& post : call.get("posts").get<picojson::array>()) {
            engine.mailbox().post(stateOf(post));
        }
        FakeChanges changes;
        for (const auto& queue : call.get("queues").get<picojson::array>()) {
            if (queue.is<picojson::null>()) {
                changes.addNull();
                continue;
            }
            std::vector<FakePoint> points;
            for (const auto& point : queue.get("points").get<picojson::array>()) {
                if (point.contains("fails")) {
                    points.push_back({0, 0.0, true});
                } else {
                    points.push_back({static_cast<int32>(point.get("offset").get<double>()),
                                      doubleOf(point), false});
                }
            }
            changes.add(static_cast<Steinberg::Vst::ParamID>(queue.get("id").get<double>()),
                        points);
        }
        const auto samples = static_cast<int32>(call.get("samples").get<double>());
        const auto channels = static_cast<int32>(call.get("channels").get<double>());

        const corvane::vst::ScopedFlushToZero flushToZero;
        engine.processParameterChanges(call.get("nullChanges").get<bool>() ? nullptr : &changes);
        if (!call.get("renders").get<bool>()) {
            engine.reachPoints();
            continue;
        }

        std::vector<std::vector<Sample>> in(channels, std::vector<Sample>(samples));
        std::vector<std::vector<Sample>> out(channels, std::vector<Sample>(samples));
        for (int32 i = 0; i < samples; ++i) {
            for (int32 j = 0; j < channels; ++j)
                in[j][i] = input[consumed++];
        }
        const bool inPlace = call.get("inPlace").get<bool>();
        std::vector<const Sample*> inPtrs;
        std::vector<Sample*> outPtrs;
        for (int32 j = 0; j < channels; ++j) {
            inPtrs.push_back(in[j].data());
            outPtrs.push_back(inPlace ? in[j].data() : out[j].data());
        }
        engine.processBlock(inPtrs.data(), outPtrs.data(), channels, samples);
        for (int32 i = 0; i < samples; ++i) {
            for (int32 j = 0; j < channels; ++j) {
                const Sample s = outPtrs[j][i];
                const char* bytes = reinterpret_cast<const char*>(&s);
                outputBytes.insert(outputBytes.end(), bytes, bytes + sizeof s);
            }
        }
    }
    ASSERT_EQ(consumed * sizeof(Sample), inputBytes.size());
}

class GoldenScenario : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenScenario, EngineReproducesEveryOutputBitAndThePublishedValues) {
    const std::string name = GetParam();
    const std::vector<char> text = readFile(dataPath(name + ".json"));
    picojson::value scenario;
    const std::string error = picojson::parse(scenario, std::string(text.begin(), text.end()));
    ASSERT_TRUE(error.empty()) << error;

    const auto& engineSpec = scenario.get("engine");
    RealtimeConfig config;
    config.sampleRate = static_cast<int32>(engineSpec.get("sampleRate").get<double>());
    config.channels = static_cast<int32>(engineSpec.get("channels").get<double>());
    config.state = stateOf(engineSpec.get("start"));
    RealtimeProcessor engine(config);

    const bool is64 = scenario.get("processing").get<std::string>() == "64-bit";
    const std::vector<char> input =
        readFile(dataPath(scenario.get("input").get("file").get<std::string>()));
    const std::vector<char> expected =
        readFile(dataPath(scenario.get("output").get("file").get<std::string>()));
    std::vector<char> output;
    if (is64) {
        replay<double>(scenario, input, output, engine);
    } else {
        replay<float>(scenario, input, output, engine);
    }

    ASSERT_EQ(output.size(), expected.size());
    const std::size_t width = is64 ? 8 : 4;
    for (std::size_t at = 0; at < output.size(); at += width) {
        if (std::memcmp(output.data() + at, expected.data() + at, width) != 0) {
            FAIL() << "first differing value at index " << at / width;
        }
    }

    const auto& published = scenario.get("publishedAtEnd");
    const Parameters::Id ids[] = {Parameters::kParamBypass, Parameters::kParamDelay};
    for (const Parameters::Id id : ids) {
        const auto& cell = published.get(Parameters::stateKey(id));
        const auto taken = engine.published(id).take();
        if (cell.is<std::string>()) {
            EXPECT_FALSE(taken.has_value()) << "parameter " << id;
        } else {
            ASSERT_TRUE(taken.has_value()) << "parameter " << id;
            EXPECT_EQ(bitsOf(*taken), bitsOf(floatOf(cell))) << "parameter " << id;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Recorded, GoldenScenario, ::testing::Values("a", "b", "c", "d", "e"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace quenvale

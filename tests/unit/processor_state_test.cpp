// The processor's saved state: the exact bytes it writes, loading them back, automation and
// loads meeting the engine, and how corrupt, hostile or merely unusual documents are taken.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <random>
#include <string>

#include "fake_parameter_changes.h"
#include "test_host.h"

namespace quenvale::testing {
namespace {

std::string objectsNested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += R"({"a":)";
    return text + "0" + std::string(static_cast<std::size_t>(depth), '}');
}

std::string paddedTo(std::size_t size, std::string text) {
    text.resize(size, ' ');
    return text;
}

TEST(SavedState, IsTheCompactDocumentBehindItsByteCountAndSurvivesALoadUnchanged) {
    TestHost host;
    const std::string text =
        R"({"bypass":0,"delay":0.50249999761581421,"format":1,"product":"Quenvale"})";
    EXPECT_EQ(host.save(), std::string("\x48\0\0\0", 4) + text);

    ASSERT_EQ(host.loadText(R"({"bypass":1,"delay":0.1})"), kResultOk);
    const std::string saved = host.save();
    TestHost other;
    ASSERT_EQ(other.load(saved), kResultOk);
    EXPECT_EQ(other.save(), saved);
    EXPECT_EQ(other.processor->currentState().bypass, 1.0f);
    EXPECT_EQ(other.processor->currentState().delay, 0.1f);
}

TEST(SavedState, TakesAutomationAlsoFromACallWithoutSamplesButALaterLoadWins) {
    TestHost host;
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    FakeChanges changes;
    changes.add(Parameters::kParamDelay, {{0, 0.25}, {7, 0.7123456789}});
    changes.add(Parameters::kParamBypass, {{3, 1.0}});
    ProcessData data;
    data.inputParameterChanges = &changes;
    ASSERT_EQ(host.processor->process(data), kResultOk);
    const std::string automated = host.save();
    EXPECT_NE(automated.find(R"({"bypass":1,"delay":0.7123456597328186,)"), std::string::npos)
        << automated.substr(4);

    ASSERT_EQ(host.processor->process(data), kResultOk);
    ASSERT_EQ(host.loadText(R"({"delay":0.25})"), kResultOk);
    EXPECT_NE(host.save().find(R"({"bypass":0,"delay":0.25,)"), std::string::npos);
}

TEST(SavedState, ASetupBuildsTheNewEngineFromTheFiniteAutomatedValues) {
    TestHost host;
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    FakeChanges changes;
    changes.add(Parameters::kParamDelay, {{0, 0.0}});     // -400 ms
    changes.add(Parameters::kParamBypass, {{0, 1e300}});  // infinite as float: not kept
    render(*host.processor, Channels<float>(2, std::vector<float>(32)), 32, &changes);
    ASSERT_EQ(host.setup(44100.0), kResultOk);
    EXPECT_EQ(host.processor->engine()->configuration().state.delay, 0.0f);
    EXPECT_EQ(host.processor->engine()->configuration().state.bypass, 0.0f);
    EXPECT_EQ(host.processor->getLatencySamples(), 17640u);
}

TEST(SavedState, ALoadSetsTheLatencyOnceAndReachesARunningEngineAtItsNextBlock) {
    TestHost host;
    ASSERT_EQ(host.loadText(R"({"delay":1})"), kResultOk);  // +400 ms
    ASSERT_EQ(host.loadText(R"({"delay":0})"), kResultOk);  // -400 ms
    EXPECT_EQ(host.processor->getLatencySamples(), 17640u);
    EXPECT_EQ(host.peer.messages.size(), 1u);  // +400 ms kept the latency at 0: no "b1"

    ASSERT_EQ(host.loadText(R"({"delay":1})"), kResultOk);
    ASSERT_EQ(host.setup(48000.0), kResultOk);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    Channels<float> head(2, std::vector<float>(4800)), tail(2, std::vector<float>(43200));
    for (auto* part : {&head, &tail}) {
        for (auto& channel : *part) {
            std::generate(channel.begin(), channel.end(), [&] { return uniform(rng); });
        }
    }
    render(*host.processor, head, 480);
    ASSERT_EQ(host.loadText(R"({"delay":0.5})"), kResultOk);  // no delay
    const Channels<float> output = render(*host.processor, tail, 480);
    for (std::size_t j = 0; j < 2; ++j) {
        // At +400 ms nothing could be heard before sample 19200.
        EXPECT_TRUE(std::any_of(output[j].begin(), output[j].begin() + 9600,
                                [](float s) { return s != 0.0f; }));
        EXPECT_TRUE(std::equal(output[j].end() - 4800, output[j].end(), tail[j].end() - 4800));
    }
}

TEST(SavedState, ACorruptOrHostileDocumentIsRefusedAndChangesNothing) {
    const std::string valid = R"({"bypass":0,"delay":0.25})";
    const std::pair<const char*, std::string> cases[] = {
        {"three bytes", std::string("\x05\0\0", 3)},
        {"count beyond the bytes", stateBytes(valid, 40)},
        {"count of 0xFFFFFFF0", stateBytes(valid, 0xFFFFFFF0u)},
        {"text one byte over 1 MiB", stateBytes(paddedTo((1u << 20) + 1, valid))},
        {"empty text", stateBytes("")},
        {"an array", stateBytes("[0.25]")},
        {"unterminated object", stateBytes(R"({"delay":0.25)")},
        {"bad number", stateBytes(R"({"delay":.25})")},
        {"number beyond double", stateBytes(R"({"delay":1e999})")},
        {"objects 65 deep", stateBytes(objectsNested(65))},
        {"objects 100000 deep", stateBytes(objectsNested(100000))},
        {"arrays 100000 deep", stateBytes(R"({"a":)" + std::string(100000, '['))},
    };
    const std::string before =
        stateBytes(R"({"bypass":1,"delay":0.375,"format":1,"product":"Quenvale"})");
    for (const auto& [name, bytes] : cases) {
        TestHost host;
        ASSERT_EQ(host.load(before), kResultOk);
        ASSERT_EQ(host.setup(44100.0), kResultOk);
        const RealtimeProcessor* engine = host.processor->engine();
        host.peer.messages.clear();
        EXPECT_EQ(host.load(bytes), kResultFalse) << name;
        EXPECT_EQ(host.processor->engine(), engine) << name;
        EXPECT_EQ(host.processor->getLatencySamples(), 4410u) << name;
        EXPECT_TRUE(host.peer.messages.empty()) << name;
        EXPECT_EQ(host.save(), before) << name;
    }
    TestHost host;
    BrokenStream failing(true, 0);
    EXPECT_EQ(host.processor->setState(&failing), kResultFalse);
    EXPECT_EQ(host.processor->setState(nullptr), kResultFalse);
    EXPECT_TRUE(host.peer.messages.empty());
}

TEST(SavedState, UnusualButReadableDocumentsLoadWithDefaultsForWhatIsMissing) {
    struct Case {
        const char* name;
        std::string bytes;
        float bypass, delay;
    };
    const Case cases[] = {
        {"empty object", stateBytes("{}"), 0.0f, 0.5025f},
        {"bypass as text", stateBytes(R"({"bypass":"1","delay":0.25})"), 0.0f, 0.25f},
        {"text after the object", stateBytes(R"({"delay":0.25} ]{ junk)"), 0.0f, 0.25f},
        {"bytes after the counted text", stateBytes(R"({"delay":0.25})") + "{]", 0.0f, 0.25f},
        {"other members",
         stateBytes(R"({"a":[1,{"b":null}],"bypass":1,"c":"x","delay":0.25,"product":7})"), 1.0f,
         0.25f},
        {"values outside 0..1", stateBytes(R"({"bypass":-3,"delay":1.7})"), -3.0f, 1.7f},
        {"beyond float: defaults", stateBytes(R"({"bypass":1e39,"delay":-1e300})"), 0.0f, 0.5025f},
        {"objects 64 deep", stateBytes(objectsNested(64)), 0.0f, 0.5025f},
        {"text of exactly 1 MiB", stateBytes(paddedTo(1u << 20, R"({"delay":0.25})")), 0.0f, 0.25f},
    };
    for (const Case& c : cases) {
        TestHost host;
        ASSERT_EQ(host.loadText(R"({"bypass":1,"delay":0.1})"), kResultOk);
        EXPECT_EQ(host.load(c.bytes), kResultOk) << c.name;
        EXPECT_EQ(host.processor->currentState().bypass, c.bypass) << c.name;
        EXPECT_EQ(host.processor->currentState().delay, c.delay) << c.name;
        host.save();  // must still succeed
    }
}

TEST(SavedState, SavingToANullFailingOrFullStreamFails) {
    TestHost host;
    EXPECT_EQ(host.processor->getState(nullptr), kResultFalse);
    for (BrokenStream stream : {BrokenStream(true, 1000), BrokenStream(false, 0),
                                BrokenStream(false, 4), BrokenStream(false, 4 + 71)}) {
        EXPECT_EQ(host.processor->getState(&stream), kResultFalse) << stream.room;
    }
    BrokenStream enough(false, 4 + 72);
    EXPECT_EQ(host.processor->getState(&enough), kResultOk);
}

TEST(SavedState, ACommaDecimalLocaleChangesNeitherTheSavedTextNorReading) {
    const char* locale = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
                             "de-DE", "German_Germany.1252", "German"}) {
        if (std::setlocale(LC_ALL, name) &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            locale = name;
            break;
        }
    }
    if (!locale) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    TestHost host;
    const std::string saved = host.save();
    const tresult loaded = host.loadText(R"({"bypass":0.75,"delay":0.25})");
    std::setlocale(LC_ALL, "C");
    EXPECT_NE(saved.find(R"("delay":0.50249999761581421,)"), std::string::npos) << locale;
    EXPECT_EQ(loaded, kResultOk) << locale;
    EXPECT_EQ(host.processor->currentState().bypass, 0.75f) << locale;
    EXPECT_EQ(host.processor->currentState().delay, 0.25f) << locale;
}

}  // namespace
}  // namespace quenvale::testing

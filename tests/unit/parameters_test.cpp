// Parameter descriptions, normalized-value conversions, display texts and state keys.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "parameters.h"

namespace {

using quenvale::Parameters;
using Steinberg::Vst::ParameterInfo;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(DelayConversion, HalfIsZeroMillisecondsAndTheEndsAreMinusAndPlus400) {
    EXPECT_EQ(Parameters::delayMsFromNormalized(0.5f), 0.0f);
    EXPECT_EQ(Parameters::delayMsFromNormalized(0.0f), -400.0f);
    EXPECT_EQ(Parameters::delayMsFromNormalized(1.0f), 400.0f);
    EXPECT_EQ(Parameters::delayMsFromNormalized(0.25f), -200.0f);
    EXPECT_EQ(Parameters::delayMsFromNormalized(0.75f), 200.0f);
}

TEST(DelayConversion, TheDefaultIsJustUnderTwoMillisecondsInSinglePrecision) {
    EXPECT_EQ(static_cast<double>(Parameters::kDefaultDelay), 0.5024999976158142);
    // 2 * 0.5025f - 1 rounds to 0.004999995f in single precision before scaling.
    EXPECT_EQ(Parameters::delayMsFromNormalized(Parameters::kDefaultDelay), 1.99999809f);
}

TEST(DelayConversion, OutOfRangeAndNaNInputsConvertLikeTheNearestEnd) {
    for (float n : {1.0000001f, 1.5f, 1e30f, kInf, kNaN}) {
        EXPECT_EQ(Parameters::delayMsFromNormalized(n), 400.0f) << n;
    }
    for (float n : {-0.0f, -1e-30f, -0.5f, -1e30f, -kInf}) {
        EXPECT_EQ(Parameters::delayMsFromNormalized(n), -400.0f) << n;
    }
}

TEST(BypassConversion, EngagesFromExactlyHalfUpwardAndForNaN) {
    EXPECT_EQ(Parameters::bypassFromNormalized(std::nextafter(0.5f, 0.0f)), 0);
    EXPECT_EQ(Parameters::bypassFromNormalized(0.49999997f), 0);
    EXPECT_EQ(Parameters::bypassFromNormalized(0.0f), 0);
    EXPECT_EQ(Parameters::bypassFromNormalized(-7.0f), 0);
    EXPECT_EQ(Parameters::bypassFromNormalized(-kInf), 0);
    EXPECT_EQ(Parameters::bypassFromNormalized(0.5f), 1);
    EXPECT_EQ(Parameters::bypassFromNormalized(1.0f), 1);
    EXPECT_EQ(Parameters::bypassFromNormalized(1e30f), 1);
    EXPECT_EQ(Parameters::bypassFromNormalized(kInf), 1);
    EXPECT_EQ(Parameters::bypassFromNormalized(kNaN), 1);
}

// The text rounds the raw value without clamping; any value that does not round to zero,
// however large or undefined, reads as engaged.
TEST(BypassText, ReadsOnUnlessTheValueRoundsToZero) {
    for (float n : {0.5f, 1.0f, 0.51f, kNaN, -kNaN, 1e30f, kInf, -kInf, -0.6f, -1e30f}) {
        EXPECT_EQ(Parameters::bypassText(n), "On") << n;
    }
    for (float n : {0.0f, -0.0f, 0.49f, std::nextafter(0.5f, 0.0f), -0.4f, -0.5f}) {
        EXPECT_EQ(Parameters::bypassText(n), "Off") << n;
    }
}

TEST(DelayText, ShowsMillisecondsWithTwoDecimalsAndNoUnit) {
    EXPECT_EQ(Parameters::delayText(Parameters::kDefaultDelay), "2.00");
    EXPECT_EQ(Parameters::delayText(0.5f), "0.00");
    EXPECT_EQ(Parameters::delayText(0.0f), "-400.00");
    EXPECT_EQ(Parameters::delayText(1.0f), "400.00");
    EXPECT_EQ(Parameters::delayText(0.25f), "-200.00");
    EXPECT_EQ(Parameters::delayText(kNaN), "400.00");
    EXPECT_EQ(Parameters::delayText(-3.0f), "-400.00");
}

TEST(DelayText, ASingleSampleAt192kHzIsVisibleOnEitherSideOfZero) {
    const float oneSampleMs = 1000.0f / 192000.0f;
    const float above = 0.5f + oneSampleMs / 800.0f;
    const float below = 0.5f - oneSampleMs / 800.0f;
    // Normalized values near 0.5 step by 2^-24, about 0.00005 ms.
    ASSERT_NEAR(Parameters::delayMsFromNormalized(above), oneSampleMs, 5e-5);
    EXPECT_EQ(Parameters::delayText(above), "0.01");
    EXPECT_EQ(Parameters::delayText(below), "-0.01");
}

TEST(DelayText, IsUnaffectedByACommaDecimalLocale) {
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
                             "de-DE", "German_Germany.1252", "German"}) {
        if (std::setlocale(LC_ALL, name) != nullptr &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            found = name;
            break;
        }
    }
    if (found == nullptr) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const std::string defaultText = Parameters::delayText(Parameters::kDefaultDelay);
    const std::string negativeText = Parameters::delayText(0.0f);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(defaultText, "2.00") << found;
    EXPECT_EQ(negativeText, "-400.00") << found;
}

TEST(ParameterInfo, BypassIsAnAutomatableSwitchMarkedAsTheBypassAndOffByDefault) {
    const Parameters::Info& info = Parameters::info(Parameters::kParamBypass);
    EXPECT_STREQ(info.title, "Bypass");
    EXPECT_STREQ(info.shortTitle, "");
    EXPECT_STREQ(info.units, "");
    EXPECT_EQ(info.stepCount, 1);
    EXPECT_EQ(info.defaultNormalizedValue, 0.0);
    EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass);
    EXPECT_EQ(info.flags, 65537);
    EXPECT_EQ(info.unitId, Steinberg::Vst::kRootUnitId);
}

TEST(ParameterInfo, DelayIsAContinuousAutomatableValueInMillisecondsDefaultingToTwo) {
    const Parameters::Info& info = Parameters::info(Parameters::kParamDelay);
    EXPECT_STREQ(info.title, "Delay");
    EXPECT_STREQ(info.shortTitle, "");
    EXPECT_STREQ(info.units, "ms");
    EXPECT_EQ(info.stepCount, 0);
    EXPECT_EQ(info.defaultNormalizedValue, static_cast<double>(0.5025f));
    EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate);
    EXPECT_EQ(info.unitId, 0);
}

TEST(ParameterIds, EveryParameterHasItsOwnStateKey) {
    EXPECT_STREQ(Parameters::stateKey(Parameters::kParamBypass), "bypass");
    EXPECT_STREQ(Parameters::stateKey(Parameters::kParamDelay), "delay");
}

TEST(ParameterIds, IdsOutsideTheParametersThrowOutOfRange) {
    for (Steinberg::int32 id : {2, 3, -1, std::numeric_limits<Steinberg::int32>::min(),
                                std::numeric_limits<Steinberg::int32>::max()}) {
        EXPECT_THROW(Parameters::info(id), std::out_of_range) << id;
        EXPECT_THROW(Parameters::stateKey(id), std::out_of_range) << id;
    }
}

}  // namespace

TEST(DelayReadout, ShowsTheDisplayTextWithItsUnitATypographicMinusAndNoNegativeZero) {
    EXPECT_EQ(Parameters::delayReadout(0.375f),
              "\xE2\x88\x92"
              "100.00 ms");
    EXPECT_EQ(Parameters::delayReadout(0.5f), "0.00 ms");
    EXPECT_EQ(Parameters::delayReadout(std::nextafter(0.5f, 0.0f)), "0.00 ms");
    EXPECT_EQ(Parameters::delayReadout(Parameters::kDefaultDelay), "2.00 ms");
    EXPECT_EQ(Parameters::delaySamplesReadout(0.375f, 48000.0),
              "\xE2\x88\x92"
              "4800 smp");
    EXPECT_EQ(Parameters::delaySamplesReadout(0.625f, 44100.0), "4410 smp");
    EXPECT_EQ(Parameters::delaySamplesReadout(0.5f, 48000.0), "0 smp");
}

TEST(DelayTyped, EveryAcceptedFormLandsOnTheNearestNormalizedValue) {
    const float minusThreeAndAHalf = static_cast<float>(0.5 - 3.5 / 800.0);
    for (const char* text : {"-3.5", "-3,5", " -3.5 ms ",
                             "\xE2\x88\x92"
                             "3.50 ms",
                             "-3.5ms", "- 3.5 MS"}) {
        EXPECT_EQ(Parameters::delayFromText(text, 0.0), minusThreeAndAHalf) << text;
    }
    EXPECT_EQ(Parameters::delayFromText("+1", 0.0), static_cast<float>(0.5 + 1.0 / 800.0));
    EXPECT_EQ(Parameters::delayFromText("0", 0.0), 0.5f);
    EXPECT_EQ(Parameters::delayFromText(".5", 0.0), static_cast<float>(0.5 + 0.5 / 800.0));
    EXPECT_EQ(Parameters::delayFromText("1000", 0.0), 1.0f);  // clamped to +400 ms
    EXPECT_EQ(Parameters::delayFromText("-400.01 ms", 0.0), 0.0f);
    EXPECT_EQ(Parameters::delayFromText(std::string(400, '9'), 0.0), 1.0f);  // beyond double
    for (const char* refused : {"", " ", "ms", "-", "1.2.3", "1e3", "abc", "12 s", "nan", "inf",
                                "1,5,", "12 ms x", "0x10", "4800 smp"}) {
        EXPECT_EQ(Parameters::delayFromText(refused, 0.0), std::nullopt) << refused;
    }
}

TEST(DelayTyped, EverySampleCountTypedIsTheCountTheEngineApplies) {
    for (const double rate : {44100.0, 48000.0, 96000.0, 192000.0, 8000.0}) {
        const auto most = static_cast<int>(rate * 0.4);
        for (int samples = -most; samples <= most; samples += (rate > 48000 ? 7 : 1)) {
            const std::string text = std::to_string(samples) + " smp";
            const auto n = Parameters::delayFromText(text, rate);
            ASSERT_TRUE(n) << text;
            ASSERT_EQ(Parameters::delaySamples(*n, rate), samples) << text << " at " << rate;
        }
        EXPECT_EQ(Parameters::delayFromText(std::to_string(most + 1) + " samples", rate), 1.0f);
    }
    EXPECT_EQ(Parameters::delayFromText("4800.9 samples", 48000.0),
              Parameters::delayFromText("4800 smp", 48000.0));
}

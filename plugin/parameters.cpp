#include "parameters.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace quenvale {

namespace {

using Steinberg::Vst::kRootUnitId;
using Steinberg::Vst::ParameterInfo;

const Parameters::Info kInfos[Parameters::kParamCount] = {
    {"Bypass", "", "", 1, static_cast<double>(Parameters::kDefaultBypass),
     ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass, kRootUnitId},
    {"Delay", "", "ms", 0, static_cast<double>(Parameters::kDefaultDelay),
     ParameterInfo::kCanAutomate, kRootUnitId},
};

const char* const kStateKeys[Parameters::kParamCount] = {"bypass", "delay"};

const char* const kBypassEngaged = "On";
const char* const kBypassOff = "Off";

// Two decimals show a single sample even at 192 kHz (5.2 microseconds rounds to 0.01 ms).
constexpr int kDelayTextDecimals = 2;

void checkId(int32 id) {
    if (id < 0 || id >= Parameters::kParamCount) {
        throw std::out_of_range("invalid parameter id");
    }
}

}  // namespace

const Parameters::Info& Parameters::info(int32 id) {
    checkId(id);
    return kInfos[id];
}

std::string Parameters::bypassText(float n) {
    // No clamping here, and no conversion to an integer: NaN and values of any size compare
    // as "not zero" and read as engaged.
    const double rounded = std::floor(static_cast<double>(n) + 0.5);
    return rounded != 0.0 ? kBypassEngaged : kBypassOff;
}

std::string Parameters::delayText(float n) {
    char text[256];
    const double ms = static_cast<double>(delayMsFromNormalized(n));
    const auto result =
        std::to_chars(text, text + sizeof text, ms, std::chars_format::fixed, kDelayTextDecimals);
    return std::string(text, result.ptr);
}

namespace {

constexpr const char* kMinusSign = "\xE2\x88\x92";  // U+2212

// "-0.00" reads "0.00"; any other leading hyphen becomes the typographic minus.
std::string withMinusSign(std::string text) {
    if (text.empty() || text[0] != '-')
        return text;
    if (text.find_first_not_of("-0.") == std::string::npos)
        return text.substr(1);
    return kMinusSign + text.substr(1);
}

// The normalized value nearest to `ms`, clamped to the range.
float normalizedFromMs(double ms) {
    const double clamped =
        std::clamp(ms, -double(Parameters::kMaxDelayMs), double(Parameters::kMaxDelayMs));
    return static_cast<float>(0.5 + clamped / (2.0 * Parameters::kMaxDelayMs));
}

float fromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// The normalized value that the engine applies as exactly `samples` at `rate`, nearest to zero
// milliseconds: the sample count grows with the value, so a bisection over the floats of 0..1
// (ordered as their bit patterns) finds the first of them that counts that many. Counts beyond
// the range give its nearest end.
float normalizedFromSamples(double samples, int32 rate) {
    const double maxSamples = std::floor(double(Parameters::kMaxDelayMs) * 0.001 * rate);
    if (std::fabs(samples) > maxSamples)
        return normalizedFromMs(samples * 1000.0 / rate);
    const auto wanted = static_cast<int32>(samples);
    std::uint32_t low = 0;            // 0.0f
    std::uint32_t high = 0x3F800000;  // 1.0f
    if (wanted >= 0) {
        // the first value counting at least `wanted`
        while (low < high) {
            const std::uint32_t middle = low + (high - low) / 2;
            if (Parameters::delaySamples(fromBits(middle), rate) >= wanted)
                high = middle;
            else
                low = middle + 1;
        }
        return fromBits(low);
    }
    // the last value counting at most `wanted` (a negative count)
    while (low < high) {
        const std::uint32_t middle = low + (high - low + 1) / 2;
        if (Parameters::delaySamples(fromBits(middle), rate) <= wanted)
            low = middle;
        else
            high = middle - 1;
    }
    return fromBits(low);
}

std::string lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

int32 Parameters::delaySamples(float n, double sampleRate) noexcept {
    if (!(sampleRate >= 1.0 && sampleRate < 2147483648.0))
        return 0;
    const double rate = static_cast<int32>(sampleRate);
    const double ms = static_cast<double>(delayMsFromNormalized(n));
    // The same products as the engine's delay lines and its latency.
    if (ms >= 0.0)
        return static_cast<int32>(std::max(ms * 0.001, 0.0) * rate);
    return -static_cast<int32>(rate * std::max(-ms * 0.001, 0.0));
}

std::string Parameters::delayReadout(float n) {
    return withMinusSign(delayText(n)) + " " + info(kParamDelay).units;
}

std::string Parameters::delaySamplesReadout(float n, double sampleRate) {
    return withMinusSign(std::to_string(delaySamples(n, sampleRate))) + " smp";
}

std::optional<float> Parameters::delayFromText(const std::string& typed, double sampleRate) {
    std::string text = typed;
    for (std::size_t at; (at = text.find(kMinusSign)) != std::string::npos;)
        text.replace(at, 3, "-");
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t at = 0;
    const auto skipSpaces = [&] {
        while (at < text.size() && isSpace(text[at]))
            ++at;
    };
    skipSpaces();
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
        skipSpaces();
    }
    std::string number;
    bool point = false;
    std::size_t digits = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            number.push_back(c);
            ++digits;
        } else if ((c == '.' || c == ',') && !point) {
            number.push_back('.');
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    skipSpaces();
    std::string unit = lowered(text.substr(at));
    while (!unit.empty() && isSpace(unit.back()))
        unit.pop_back();
    double value = 0.0;
    const auto parsed = std::from_chars(number.data(), number.data() + number.size(), value);
    if (parsed.ec == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity();
    else if (parsed.ec != std::errc() || parsed.ptr != number.data() + number.size())
        return std::nullopt;
    if (negative)
        value = -value;
    if (unit.empty() || unit == "ms")
        return normalizedFromMs(value);
    if ((unit == "smp" || unit == "samples") && sampleRate >= 1.0 && sampleRate < 2147483648.0) {
        // Samples are whole: a fraction counts the samples it completes, as the engine does.
        return normalizedFromSamples(std::trunc(value), static_cast<int32>(sampleRate));
    }
    return std::nullopt;
}

const char* Parameters::stateKey(int32 id) {
    checkId(id);
    return kStateKeys[id];
}

}  // namespace quenvale

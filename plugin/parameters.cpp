#include "parameters.h"

#include <charconv>
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

const char* Parameters::stateKey(int32 id) {
    checkId(id);
    return kStateKeys[id];
}

}  // namespace quenvale

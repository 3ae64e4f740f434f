// The plug-in's two parameters: ids, what the host is told about them, their defaults, the
// conversions from the normalized value, their display texts and their keys in saved state.
// Processor, engine, controller and editor all read this one header.
#pragma once

#include <cmath>
#include <optional>
#include <string>

#include "pluginterfaces/base/ftypes.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstunits.h"

namespace quenvale {

using Steinberg::int32;

struct Parameters {
    enum Id : int32 {
        kParamBypass = 0,
        kParamDelay = 1,
        kParamCount = 2,  // ids from here upward are not parameters
    };

    // What the controller registers with the host for one parameter. Texts are UTF-8.
    struct Info {
        const char* title;
        const char* shortTitle;
        const char* units;
        int32 stepCount;
        double defaultNormalizedValue;
        int32 flags;
        int32 unitId;
    };

    static constexpr float kDefaultBypass = 0.0f;
    // About +2 ms, not zero: 0.5 is the zero-delay setting.
    static constexpr float kDefaultDelay = 0.5025f;

    static constexpr float kMaxDelayMs = 400.0f;

    // The description of parameter `id`; throws std::out_of_range for ids from kParamCount up.
    static const Info& info(int32 id);

    // Clamps to 0..1 in single precision; NaN becomes 1.
    static float clamp01(float n) noexcept {
        const float c = n < 1.0f ? n : 1.0f;
        return c > 0.0f ? c : 0.0f;
    }

    // 0 (delay heard) below 0.5, 1 (bypassed) from 0.5 upward: floor(c + 0.5) with the addition
    // in double, so 0.5 - 2^-25 still gives 0. For c in 0..1 the floor is 1 exactly when the sum
    // reaches 1, which spares the audio thread a call to floor.
    static int32 bypassFromNormalized(float n) noexcept {
        return static_cast<double>(clamp01(n)) + 0.5 >= 1.0 ? 1 : 0;
    }

    // -400 ms at 0, 0 ms at 0.5, +400 ms at 1, linear: 2c - 1 in single precision, scaled in
    // double and narrowed.
    static float delayMsFromNormalized(float n) noexcept {
        const float c = clamp01(n);
        const float d = c + c - 1.0f;
        return static_cast<float>(static_cast<double>(d) * static_cast<double>(kMaxDelayMs));
    }

    // Display texts, independent of the process locale. The delay text carries the number
    // only; the unit is the parameter's units.
    static std::string bypassText(float n);
    static std::string delayText(float n);

    // The delay in whole samples as the engine applies it at `sampleRate` (truncated to whole
    // hertz, as the engine takes it): a positive delay as the delay lines hold it, a negative one
    // as the latency reported, negated.
    static int32 delaySamples(float n, double sampleRate) noexcept;

    // What the editor's readout shows: the display text with its unit, a typographic minus and
    // no negative zero ("−100.00 ms", "0.00 ms"), and the same delay in samples ("−4800 smp").
    static std::string delayReadout(float n);
    static std::string delaySamplesReadout(float n, double sampleRate);

    // A delay typed by the user, as the normalized value to set: a number with a decimal point
    // or comma, an optional sign (+, - or −) and an optional unit ("ms"; "smp" or "samples"
    // when sampleRate > 0, chosen so that the engine applies exactly that many samples), with
    // spaces anywhere around the parts. Times beyond ±400 ms give the nearest end. Nothing for
    // text that is no such value.
    static std::optional<float> delayFromText(const std::string& text, double sampleRate);

    // The member key of parameter `id` in the saved state; throws std::out_of_range for ids
    // from kParamCount up.
    static const char* stateKey(int32 id);

    // The saved state's two other members, written for whoever reads a saved project by hand
    // and ignored on reading.
    static constexpr const char* kStateFormatKey = "format";
    static constexpr double kStateFormat = 1;
    static constexpr const char* kStateProductKey = "product";
    static constexpr const char* kStateProduct = "Quenvale";
};

}  // namespace quenvale

// The saved state of a plug-in: a 32-bit little-endian byte count, then that many bytes of
// compact JSON holding each parameter's normalized value under its state key, plus a format
// number and a product text that readers ignore. Members are written in key order; on reading,
// anything after the first JSON value, unknown members and members of the wrong type are
// ignored (a missing or non-numeric parameter member, or a number beyond the float range, reads
// as its default).
//
// Parameters supplies kParamCount, stateKey(id), info(id).defaultNormalizedValue,
// kStateFormatKey, kStateFormat, kStateProductKey and kStateProduct.
#pragma once

#include <picojson.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "bounded_json.h"
#include "pluginterfaces/base/ibstream.h"

namespace corvane::vst {

template <class Parameters>
class StateDocument {
  public:
    // Normalized values by parameter id, as the document holds them.
    using Values = std::array<double, Parameters::kParamCount>;

    // A state is a few dozen bytes; a larger count is a corrupt or hostile stream, refused
    // before anything is allocated.
    static constexpr std::uint32_t kMaxTextBytes = 1u << 20;
    static constexpr std::size_t kMaxDepth = 64;

    static Values defaults() {
        Values values{};
        for (int id = 0; id < Parameters::kParamCount; ++id) {
            values[id] = Parameters::info(id).defaultNormalizedValue;
        }
        return values;
    }

    // The JSON text. Throws std::overflow_error for values that are not finite.
    static std::string serialize(const Values& values) {
        picojson::object members;
        for (int id = 0; id < Parameters::kParamCount; ++id) {
            members[Parameters::stateKey(id)] = picojson::value(values[id]);
        }
        members[Parameters::kStateFormatKey] = picojson::value(Parameters::kStateFormat);
        members[Parameters::kStateProductKey] =
            picojson::value(std::string(Parameters::kStateProduct));
        return picojson::value(members).serialize();
    }

    // True when the count and the text were written in full.
    static bool write(Steinberg::IBStream& stream, const Values& values) {
        const std::string text = serialize(values);
        const auto size = static_cast<std::uint32_t>(text.size());
        const char prefix[4] = {static_cast<char>(size), static_cast<char>(size >> 8),
                                static_cast<char>(size >> 16), static_cast<char>(size >> 24)};
        return writeAll(stream, prefix, 4) && writeAll(stream, text.data(), size);
    }

    // The values read, or nothing for a short stream, an oversized count, text that is not a
    // JSON object, or nesting deeper than kMaxDepth. Throws for numbers beyond double.
    static std::optional<Values> read(Steinberg::IBStream& stream) {
        unsigned char prefix[4];
        if (!readAll(stream, prefix, 4)) {
            return std::nullopt;
        }
        const std::uint32_t size = prefix[0] | (prefix[1] << 8) | (prefix[2] << 16) |
                                   (static_cast<std::uint32_t>(prefix[3]) << 24);
        if (size > kMaxTextBytes) {
            return std::nullopt;
        }
        std::string text(size, '\0');
        if (!readAll(stream, text.data(), size)) {
            return std::nullopt;
        }
        picojson::value document;
        if (!parseFirstJsonValue(document, text.begin(), text.end(), kMaxDepth) ||
            !document.is<picojson::object>()) {
            return std::nullopt;
        }
        const picojson::object& members = document.get<picojson::object>();
        Values values = defaults();
        for (int id = 0; id < Parameters::kParamCount; ++id) {
            const auto member = members.find(Parameters::stateKey(id));
            if (member != members.end() && member->second.template is<double>()) {
                // Both halves keep values in single precision somewhere: one a float cannot
                // hold would become infinity there and could never be saved again.
                const double value = member->second.template get<double>();
                if (std::isfinite(static_cast<float>(value))) {
                    values[id] = value;
                }
            }
        }
        return values;
    }

  private:
    static bool writeAll(Steinberg::IBStream& stream, const void* data, std::uint32_t size) {
        Steinberg::int32 written = 0;
        return stream.write(const_cast<void*>(data), static_cast<Steinberg::int32>(size),
                            &written) == Steinberg::kResultOk &&
               written == static_cast<Steinberg::int32>(size);
    }

    static bool readAll(Steinberg::IBStream& stream, void* data, std::uint32_t size) {
        Steinberg::int32 got = 0;
        return stream.read(data, static_cast<Steinberg::int32>(size), &got) ==
                   Steinberg::kResultOk &&
               got == static_cast<Steinberg::int32>(size);
    }
};

}  // namespace corvane::vst

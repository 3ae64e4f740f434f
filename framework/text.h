// Text at the VST 3 boundary: the plug-in's texts are UTF-8; the host's are 16-bit units.
#pragma once

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "pluginterfaces/vst/vsttypes.h"

namespace corvane::vst {

using TString = std::basic_string<Steinberg::Vst::TChar>;

// UTF-8 to 16-bit units, one unit per character. Invalid UTF-8 and characters beyond U+FFFF
// throw std::range_error("bad conversion"), on every compiler.
inline TString utf8ToUtf16(std::string_view text) {
    const auto fail = [] { throw std::range_error("bad conversion"); };
    TString out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::uint32_t code = 0;
        std::size_t length = 0;
        if (lead < 0x80) {
            code = lead;
            length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1F;
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0F;
            length = 3;
        } else {
            fail();  // a stray continuation byte, or a character beyond U+FFFF
        }
        if (i + length > text.size())
            fail();
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                fail();
            code = (code << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 2 && code < 0x80) || (length == 3 && code < 0x800);
        if (overlong || (code >= 0xD800 && code <= 0xDFFF))
            fail();
        out.push_back(static_cast<Steinberg::Vst::TChar>(code));
        i += length;
    }
    return out;
}

// 16-bit units to UTF-8, the reverse of utf8ToUtf16: surrogates (halves of characters beyond
// U+FFFF) throw std::range_error("bad conversion").
inline std::string utf16ToUtf8(const TString& units) {
    std::string out;
    out.reserve(units.size());
    for (const auto unit : units) {
        const auto code = static_cast<std::uint32_t>(unit) & 0xFFFF;
        if (code >= 0xD800 && code <= 0xDFFF)
            throw std::range_error("bad conversion");
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | code >> 6));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | code >> 12));
            out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

// Widens an 8-bit text into a host string, one byte to one unit, at most 127 units and a
// terminating zero; longer texts are cut.
inline void widenInto(Steinberg::Vst::String128 target, std::string_view text) {
    std::size_t n = 0;
    for (; n < text.size() && n < 127 && text[n] != '\0'; ++n) {
        target[n] = static_cast<Steinberg::Vst::TChar>(static_cast<unsigned char>(text[n]));
    }
    target[n] = 0;
}

// Reads the number at the start of a host text the way C's "%lf" reads it, whatever the
// process locale: leading blanks skipped, a comma taken as the decimal point, an optional
// sign, then a decimal or hexadecimal number, "inf" or "nan". Nothing if the text does not
// start with a number.
inline std::optional<double> leadingNumber(const Steinberg::Vst::TChar* text) {
    if (!text)
        return std::nullopt;
    std::string ascii;
    for (std::size_t i = 0; text[i] != 0 && i < 1024; ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]);
        if (unit >= 0x80)
            break;  // no number continues past a non-ASCII character
        ascii.push_back(unit == ',' ? '.' : static_cast<char>(unit));
    }
    std::size_t at = ascii.find_first_not_of(" \t\n\v\f\r");
    if (at == std::string::npos)
        return std::nullopt;
    bool negative = false;
    if (ascii[at] == '+' || ascii[at] == '-') {
        negative = ascii[at] == '-';
        ++at;
    }
    const char* first = ascii.data() + at;
    const char* last = ascii.data() + ascii.size();
    auto format = std::chars_format::general;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        const char* digits = first + 2;
        if (std::isxdigit(static_cast<unsigned char>(*digits)) ||
            (*digits == '.' && digits + 1 < last &&
             std::isxdigit(static_cast<unsigned char>(digits[1])))) {
            first = digits;
            format = std::chars_format::hex;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, format);
    if (result.ec == std::errc::invalid_argument) {
        return std::nullopt;
    }
    // Out of range: "%lf" gives infinity for too large and zero for too small magnitudes; only
    // a negative exponent makes a number too small.
    if (result.ec == std::errc::result_out_of_range) {
        const std::string_view number(first, static_cast<std::size_t>(result.ptr - first));
        const std::size_t exponent =
            number.find_first_of(format == std::chars_format::hex ? "pP" : "eE");
        const bool tiny = exponent != std::string_view::npos && exponent + 1 < number.size() &&
                          number[exponent + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

}  // namespace corvane::vst

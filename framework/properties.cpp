#include "properties.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "error_texts.h"
#include "tick_mark.h"

namespace corvane::vst {

namespace {

// picojson's get<T>() throws its own type-mismatch text, which is the text we want.
double number(const picojson::value& json) {
    return json.get<double>();
}

// Truncated toward zero and clamped to [Int::min, Int::max]; NaN reads as 0. The bounds are
// powers of two, so the comparisons are exact and the cast is always in range. (The extra
// parentheses keep <windows.h>'s min and max macros out.)
template <class Int>
Int truncateClamped(double x) {
    constexpr double high = -static_cast<double>((std::numeric_limits<Int>::min)());  // max + 1
    if (std::isnan(x))
        return 0;
    if (x >= high)
        return (std::numeric_limits<Int>::max)();
    if (x <= -high)
        return (std::numeric_limits<Int>::min)();
    return static_cast<Int>(x);
}

BYTE channel(const picojson::value& json) {
    const auto wide = static_cast<std::uint64_t>(truncateClamped<std::int64_t>(number(json)));
    return static_cast<BYTE>(wide & 0xFFu);
}

Gdiplus::Color readColor(const picojson::value& json) {
    const auto& array = json.get<picojson::array>();
    const Gdiplus::ARGB alpha = channel(elementAt(array, 0));
    const Gdiplus::ARGB red = channel(elementAt(array, 1));
    const Gdiplus::ARGB green = channel(elementAt(array, 2));
    const Gdiplus::ARGB blue = channel(elementAt(array, 3));
    return Gdiplus::Color(alpha << 24 | red << 16 | green << 8 | blue);
}

VSTGUI::CPoint readPoint(const picojson::value& json) {
    const auto& array = json.get<picojson::array>();
    const double x = number(elementAt(array, 0));
    const double y = number(elementAt(array, 1));
    return {x, y};
}

}  // namespace

void IntProperty::setFromJson(const picojson::value& json) {
    set(truncateClamped<std::int32_t>(number(json)));
}

void DoubleProperty::setFromJson(const picojson::value& json) {
    set(number(json));
}

void StringProperty::setFromJson(const picojson::value& json) {
    set(json.get<std::string>());
}

void ColorProperty::setFromJson(const picojson::value& json) {
    set(readColor(json));
}

void PointProperty::setFromJson(const picojson::value& json) {
    set(readPoint(json));
}

void RectProperty::setFromJson(const picojson::value& json) {
    const auto& array = json.get<picojson::array>();
    const double left = number(elementAt(array, 0));
    const double top = number(elementAt(array, 1));
    const double right = number(elementAt(array, 2));
    const double bottom = number(elementAt(array, 3));
    set(VSTGUI::CRect(left, top, right, bottom));
}

void AlignmentProperty::setFromJson(const picojson::value& json) {
    const auto& name = json.get<std::string>();
    if (name == "center") {
        set(Gdiplus::StringAlignmentCenter);
    } else if (name == "near") {
        set(Gdiplus::StringAlignmentNear);
    } else if (name == "far") {
        set(Gdiplus::StringAlignmentFar);
    } else {
        throwUnknownAlignment(name);
    }
}

void PathPrimitiveProperty::setFromJson(const picojson::value& json) {
    const auto& members = json.get<picojson::object>();
    PathPrimitive primitive;
    // The kind first: a bad kind is reported even when the points are bad too.
    const auto& kind = memberAt(members, "kind").get<std::string>();
    if (kind == "lines") {
        primitive.kind = PathPrimitive::lines;
    } else if (kind == "beziers") {
        primitive.kind = PathPrimitive::beziers;
    } else {
        throwUnknownPathKind(kind);
    }
    ArrayProperty<PointProperty> points;
    points.setFromJson(memberAt(members, "points"));
    primitive.points = points.get();
    set(primitive);
}

void TickMarkProperty::setFromJson(const picojson::value& json) {
    const auto& members = json.get<picojson::object>();
    TickMark mark = get();
    const auto read = [&members](const char* name, auto&& assign) {
        const auto found = members.find(name);
        if (found != members.end())
            assign(found->second);
    };
    read("width", [&mark](const picojson::value& v) { mark.width = number(v); });
    read("startRadius", [&mark](const picojson::value& v) { mark.startRadius = number(v); });
    read("endRadius", [&mark](const picojson::value& v) { mark.endRadius = number(v); });
    read("color", [&mark](const picojson::value& v) { mark.color = readColor(v); });
    set(mark);
}

}  // namespace corvane::vst

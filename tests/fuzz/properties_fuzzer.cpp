// Feeds JSON values to every property class's setFromJson and to a widget's property lookup
// (setPropertyFrom, with the common "size"), built natively over a stand-in for the few GDI+
// types they use. The input is JSON text; the value it holds is given to every class, and so
// is every member or element of it, as a layout gives values to a widget's properties.
//
// For every class and value: nothing crashes; only the failures the layout reader knows are
// thrown, with their texts; a failure leaves the value as it was and calls no listener; a
// success calls each listener once, accepts only the JSON type the class reads, keeps numbers
// and strings as the JSON has them (integers truncated, colour channels cut to their low 8
// bits), and assigning the JSON of the new value again gives the same value.
#include <picojson.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounded_json.h"
#include "fuzz_support.h"
#include "properties.h"
#include "property_target.h"
#include "tick_mark.h"

namespace {

using namespace corvane::vst;
using picojson::array;
using picojson::object;
using picojson::value;

// The JSON of a property value, written independently of the readers.
value json(const PathPrimitive& p);
value json(const TickMark& m);
value json(int v) {
    return value(static_cast<double>(v));
}
value json(double v) {
    return value(v);
}
value json(const std::string& v) {
    return value(v);
}
value json(const Gdiplus::Color& c) {
    return value(array{value(double(c.GetA())), value(double(c.GetR())), value(double(c.GetG())),
                       value(double(c.GetB()))});
}
value json(const VSTGUI::CPoint& p) {
    return value(array{value(p.x), value(p.y)});
}
value json(const VSTGUI::CRect& r) {
    return value(array{value(r.left), value(r.top), value(r.right), value(r.bottom)});
}
value json(Gdiplus::StringAlignment a) {
    return value(std::string(a == Gdiplus::StringAlignmentNear     ? "near"
                             : a == Gdiplus::StringAlignmentCenter ? "center"
                                                                   : "far"));
}
template <class T>
value json(const std::vector<T>& items) {
    array elements;
    for (const T& item : items)
        elements.push_back(json(item));
    return value(elements);
}
value json(const PathPrimitive& p) {
    FUZZ_CHECK(p.kind == PathPrimitive::lines || p.kind == PathPrimitive::beziers);
    return value(
        object{{"kind", value(std::string(p.kind == PathPrimitive::lines ? "lines" : "beziers"))},
               {"points", json(p.points)}});
}
value json(const TickMark& m) {
    return value(object{{"width", value(m.width)},
                        {"startRadius", value(m.startRadius)},
                        {"endRadius", value(m.endRadius)},
                        {"color", json(m.color)}});
}

// Exact equality, numbers compared bit for bit (JSON has no NaN, but it has -0).
bool same(const PathPrimitive& a, const PathPrimitive& b);
bool same(const TickMark& a, const TickMark& b);
bool same(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
bool same(int a, int b) {
    return a == b;
}
bool same(const std::string& a, const std::string& b) {
    return a == b;
}
bool same(const Gdiplus::Color& a, const Gdiplus::Color& b) {
    return a.GetValue() == b.GetValue();
}
bool same(const VSTGUI::CPoint& a, const VSTGUI::CPoint& b) {
    return same(a.x, b.x) && same(a.y, b.y);
}
bool same(const VSTGUI::CRect& a, const VSTGUI::CRect& b) {
    return same(a.left, b.left) && same(a.top, b.top) && same(a.right, b.right) &&
           same(a.bottom, b.bottom);
}
bool same(Gdiplus::StringAlignment a, Gdiplus::StringAlignment b) {
    return a == b;
}
template <class T>
bool same(const std::vector<T>& a, const std::vector<T>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!same(a[i], b[i]))
            return false;
    }
    return true;
}
bool same(const PathPrimitive& a, const PathPrimitive& b) {
    return a.kind == b.kind && same(a.points, b.points);
}
bool same(const TickMark& a, const TickMark& b) {
    return same(a.width, b.width) && same(a.startRadius, b.startRadius) &&
           same(a.endRadius, b.endRadius) && same(a.color, b.color);
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The failures a property may report, and nothing else.
void checkFailure() {
    try {
        throw;
    } catch (const std::out_of_range& e) {
        const std::string text = e.what();
        FUZZ_CHECK(text == "invalid vector<T> subscript" || text == "invalid map<K, T> key");
    } catch (const std::runtime_error& e) {
        const std::string text = e.what();
        const std::string mismatch = "\"type mismatch! call is<type>() before get<type>()\" && ";
        FUZZ_CHECK(text == mismatch + "is<double>()" || text == mismatch + "is<std::string>()" ||
                   text == mismatch + "is<array>()" || text == mismatch + "is<object>()");
    } catch (const std::logic_error& e) {
        const std::string text = e.what();
        FUZZ_CHECK(startsWith(text, "unknown alignment ") ||
                   startsWith(text, "unknown path kind "));
    } catch (...) {
        FUZZ_CHECK(!"an exception the layout reader does not know");
    }
}

// What a JSON number becomes when truncated toward zero, for numbers where that is defined.
bool truncates(double x, double limit) {
    return x > -limit && x < limit;
}
std::uint8_t channelOf(const value& v) {
    return static_cast<std::uint8_t>(static_cast<std::int64_t>(v.get<double>()));
}
bool channelMatches(const value& v, BYTE channel) {
    const double x = v.get<double>();
    return !truncates(x, 9223372036854775808.0) || channelOf(v) == channel;
}

// What a success must have read, beyond the round trip.
void checkRead(const IntProperty& p, const value& v) {
    FUZZ_CHECK(v.is<double>());
    const double x = v.get<double>();
    if (truncates(x, 2147483648.0))
        FUZZ_CHECK(p.get() == static_cast<int>(x));
    else
        FUZZ_CHECK(p.get() == (x > 0 ? 2147483647 : -2147483647 - 1));
}
void checkRead(const DoubleProperty& p, const value& v) {
    FUZZ_CHECK(v.is<double>() && same(p.get(), v.get<double>()));
}
void checkRead(const StringProperty& p, const value& v) {
    FUZZ_CHECK(v.is<std::string>() && p.get() == v.get<std::string>());
}
void checkRead(const ColorProperty& p, const value& v) {
    FUZZ_CHECK(v.is<array>() && v.get<array>().size() >= 4);
    const array& a = v.get<array>();
    const Gdiplus::Color c = p.get();
    FUZZ_CHECK(channelMatches(a[0], c.GetA()) && channelMatches(a[1], c.GetR()) &&
               channelMatches(a[2], c.GetG()) && channelMatches(a[3], c.GetB()));
}
void checkRead(const PointProperty& p, const value& v) {
    FUZZ_CHECK(v.is<array>() && v.get<array>().size() >= 2);
    const array& a = v.get<array>();
    FUZZ_CHECK(same(p.get(), VSTGUI::CPoint(a[0].get<double>(), a[1].get<double>())));
}
void checkRead(const RectProperty& p, const value& v) {
    FUZZ_CHECK(v.is<array>() && v.get<array>().size() >= 4);
    const array& a = v.get<array>();
    FUZZ_CHECK(same(p.get(), VSTGUI::CRect(a[0].get<double>(), a[1].get<double>(),
                                           a[2].get<double>(), a[3].get<double>())));
}
void checkRead(const AlignmentProperty&, const value& v) {
    FUZZ_CHECK(v.is<std::string>());
}
void checkRead(const PathPrimitiveProperty& p, const value& v) {
    FUZZ_CHECK(v.is<object>());
    FUZZ_CHECK(p.get().points.size() == v.get<object>().at("points").get<array>().size());
}
// Members present replace their field; the others keep the value the property had.
void checkRead(const TickMarkProperty& p, const value& v, const TickMark& initial) {
    FUZZ_CHECK(v.is<object>());
    const object& members = v.get<object>();
    const auto field = [&members](const char* name, double now, double before) {
        const auto found = members.find(name);
        return same(now, found == members.end() ? before : found->second.get<double>());
    };
    const TickMark& mark = p.get();
    FUZZ_CHECK(field("width", mark.width, initial.width));
    FUZZ_CHECK(field("startRadius", mark.startRadius, initial.startRadius));
    FUZZ_CHECK(field("endRadius", mark.endRadius, initial.endRadius));
    if (members.count("color") == 0)
        FUZZ_CHECK(same(mark.color, initial.color));
}
template <class E>
void checkRead(const ArrayProperty<E>& p, const value& v) {
    FUZZ_CHECK(v.is<array>() && p.get().size() == v.get<array>().size());
}

template <class P>
void checkRead(const P& p, const value& v, const typename P::value_type&) {
    checkRead(p, v);
}

// Gives `v` to a property of class P holding `initial`, and checks the outcome.
template <class P>
void assign(const value& v, const typename P::value_type& initial) {
    P property(initial);
    int calls = 0;
    property.addListener([&calls] { ++calls; });
    bool accepted = false;
    try {
        property.setFromJson(v);
        accepted = true;
    } catch (...) {
        checkFailure();
    }
    if (!accepted) {
        FUZZ_CHECK(calls == 0);
        FUZZ_CHECK(same(property.get(), initial));
        return;
    }
    FUZZ_CHECK(calls == 1);
    checkRead(property, v, initial);
    P again(initial);
    again.setFromJson(json(property.get()));
    FUZZ_CHECK(same(again.get(), property.get()));
}

const TickMark kMark{2, 34, 40, Gdiplus::Color(0xFFFFFFFFu)};
const PathPrimitive kPiece{PathPrimitive::beziers, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}};

void assignToEveryClass(const value& v) {
    assign<IntProperty>(v, 9);
    assign<DoubleProperty>(v, -120.5);
    assign<StringProperty>(v, "fonts/DejaVuSans-subset.ttf");
    assign<ColorProperty>(v, Gdiplus::Color(0x50000000u));
    assign<PointProperty>(v, VSTGUI::CPoint(123, 93));
    assign<RectProperty>(v, VSTGUI::CRect(0, 0, 246, 160));
    assign<AlignmentProperty>(v, Gdiplus::StringAlignmentFar);
    assign<PathPrimitiveProperty>(v, kPiece);
    assign<TickMarkProperty>(v, kMark);
    assign<ArrayProperty<PointProperty>>(v, {{24, 30.5}, {222, 30.5}});
    assign<ArrayProperty<PathPrimitiveProperty>>(v, {kPiece, PathPrimitive{}});
    assign<ArrayProperty<TickMarkProperty>>(v, std::vector<TickMark>(9, kMark));
}

// A widget's side of the layout: its own properties by name, and the view's common "size".
class Widget {
  public:
    Widget() {
        properties = {{"int", &integer},     {"double", &number}, {"string", &text},
                      {"color", &color},     {"point", &point},   {"rect", &rect},
                      {"align", &alignment}, {"piece", &piece},   {"tickMark", &mark},
                      {"points", &points},   {"path", &path},     {"tickMarks", &marks}};
    }

    // The view operations the common properties use.
    const VSTGUI::CRect& getViewSize() const { return size; }
    void invalid() { ++invalidations; }
    void setViewSize(const VSTGUI::CRect& next, bool invalidate) {
        FUZZ_CHECK(invalidate && invalidations == resizes + 1);
        size = next;
        ++resizes;
    }

    void setProperty(const std::string& name, const value& v) {
        const VSTGUI::CRect before = size;
        const int invalidatedBefore = invalidations;
        const int resizedBefore = resizes;
        try {
            setPropertyFrom(properties, *this, name, v);
        } catch (const std::logic_error& e) {
            if (properties.count(name) == 0 && name != "size") {
                // what() ends at the first NUL, which a name may hold.
                const std::string text = "setProperty " + name + " " + v.serialize() + " not found";
                FUZZ_CHECK(std::string(e.what()) == text.c_str());
            } else {
                checkFailure();
            }
            FUZZ_CHECK(same(size, before) && resizes == resizedBefore &&
                       invalidations == invalidatedBefore);
            return;
        } catch (...) {
            checkFailure();
            FUZZ_CHECK(same(size, before) && resizes == resizedBefore &&
                       invalidations == invalidatedBefore);
            return;
        }
        FUZZ_CHECK(properties.count(name) != 0 || name == "size");
        if (name == "size") {
            // Unchanged: no redraw at all; changed: the old area redrawn, then the new size.
            const int expected = same(before, size) ? 0 : 1;
            FUZZ_CHECK(resizes == resizedBefore + expected);
            FUZZ_CHECK(invalidations == invalidatedBefore + expected);
        }
    }

  private:
    IntProperty integer;
    DoubleProperty number;
    StringProperty text;
    ColorProperty color;
    PointProperty point;
    RectProperty rect;
    AlignmentProperty alignment;
    PathPrimitiveProperty piece;
    TickMarkProperty mark;
    ArrayProperty<PointProperty> points;
    ArrayProperty<PathPrimitiveProperty> path;
    ArrayProperty<TickMarkProperty> marks;
    std::map<std::string, Property*> properties;
    VSTGUI::CRect size{10, 10, 20, 20};
    int invalidations = 0;
    int resizes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    value document;
    try {
        if (!parseFirstJsonValue(document, text.begin(), text.end(), 32))
            return 0;
    } catch (const std::overflow_error&) {
        return 0;  // a number beyond double
    }
    assignToEveryClass(document);
    if (document.is<array>()) {
        for (const value& element : document.get<array>())
            assignToEveryClass(element);
    }
    if (document.is<object>()) {
        Widget widget;
        for (const auto& member : document.get<object>()) {
            assignToEveryClass(member.second);
            widget.setProperty(member.first, member.second);
        }
    }
    return 0;
}

// The layout's JSON conversions, their exact failure texts, and what listeners see.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "error_texts.h"
#include "properties.h"
#include "property_target.h"
#include "tick_mark.h"

namespace corvane::vst {
namespace {

// picojson's own type-mismatch texts.
const std::string notNumber =
    R"x("type mismatch! call is<type>() before get<type>()" && is<double>())x";
const std::string notString =
    R"x("type mismatch! call is<type>() before get<type>()" && is<std::string>())x";
const std::string notArray =
    R"x("type mismatch! call is<type>() before get<type>()" && is<array>())x";
const std::string notObject =
    R"x("type mismatch! call is<type>() before get<type>()" && is<object>())x";

picojson::value json(const std::string& text) {
    picojson::value out;
    const std::string error = picojson::parse(out, text);
    EXPECT_EQ(error, "") << text;
    return out;
}

// Exactly Exception, not a class derived from it, with exactly this text.
template <class Exception>
void expectThrows(const std::function<void()>& call, const std::string& text) {
    try {
        call();
        ADD_FAILURE() << "nothing thrown, expected: " << text;
    } catch (const std::exception& e) {
        EXPECT_TRUE(typeid(e) == typeid(Exception)) << "thrown: " << typeid(e).name();
        EXPECT_EQ(std::string(e.what()), text);
    }
}

// Counts its listener's calls.
template <class P>
struct Watched {
    P property;
    int calls = 0;
    explicit Watched(typename P::value_type initial = {}) : property(initial) {
        property.addListener([this] { ++calls; });
    }
    template <class Exception>
    void expectFailure(const std::string& text, const std::string& input) {
        const auto before = calls;
        expectThrows<Exception>([&] { property.setFromJson(json(input)); }, text);
        EXPECT_EQ(calls, before) << input;
    }
};

TEST(IntProperty, TruncatesTowardZeroAndClampsToTheInt32Range) {
    IntProperty p;
    const std::pair<const char*, int> cases[] = {{"2.9", 2},
                                                 {"-2.9", -2},
                                                 {"2147483647.9", 2147483647},
                                                 {"2147483648", 2147483647},
                                                 {"1e300", 2147483647},
                                                 {"-2147483648.5", -2147483647 - 1},
                                                 {"-1e300", -2147483647 - 1}};
    for (const auto& [input, expected] : cases) {
        p.setFromJson(json(input));
        EXPECT_EQ(p.get(), expected) << input;
    }
    Watched<IntProperty> w(7);
    w.expectFailure<std::runtime_error>(notNumber, R"("3")");
    EXPECT_EQ(w.property.get(), 7);
}

TEST(ColorProperty, ReadsArgbUsingTheLowEightBitsOfEachTruncatedChannel) {
    ColorProperty p;
    const std::pair<const char*, Gdiplus::ARGB> cases[] = {
        {"[255, 0, 128, 255]", 0xFF0080FF},  {"[256, 0, 0, 0]", 0x00000000},
        {"[-1, 0, 0, 0]", 0xFF000000},       {"[255, 0, 0, 0, 7]", 0xFF000000},
        {"[1.9, 2.9, -0.9, 3]", 0x01020003}, {"[1e300, -1e300, 0, 0]", 0xFF000000},
        {"[255, 511, 0, 0]", 0xFFFF0000},    {"[9223372036854775808, 0, 0, 0]", 0xFF000000}};
    for (const auto& [input, expected] : cases) {
        p.setFromJson(json(input));
        EXPECT_EQ(p.get().GetValue(), expected) << input;
    }
}

TEST(ColorProperty, FailsOnShortArraysAndNonNumbersKeepingTheOldColour) {
    Watched<ColorProperty> w(Gdiplus::Color(0x12345678));
    w.expectFailure<std::out_of_range>("invalid vector<T> subscript", "[0, 0, 0]");
    w.expectFailure<std::runtime_error>(notNumber, R"([255, "0", 0, 0])");
    w.expectFailure<std::runtime_error>(notArray, R"({"a": 1})");
    EXPECT_EQ(w.property.get().GetValue(), 0x12345678u);
}

TEST(PointAndRectProperty, ReadTheirLeadingNumbersAndIgnoreTheRest) {
    PointProperty point;
    point.setFromJson(json("[1.5, 2.5, 9]"));
    EXPECT_EQ(point.get(), VSTGUI::CPoint(1.5, 2.5));
    RectProperty rect;
    rect.setFromJson(json("[1, 2, 30, 40, 50]"));
    EXPECT_EQ(rect.get(), VSTGUI::CRect(1, 2, 30, 40));
    EXPECT_EQ(rect.get().getWidth(), 29);
    EXPECT_EQ(rect.get().getHeight(), 38);

    Watched<PointProperty> p({3, 4});
    p.expectFailure<std::out_of_range>("invalid vector<T> subscript", "[1]");
    Watched<RectProperty> r({1, 2, 3, 4});
    r.expectFailure<std::runtime_error>(notArray, R"({"left": 0})");
    r.expectFailure<std::out_of_range>("invalid vector<T> subscript", "[1, 2, 3]");
    EXPECT_EQ(p.property.get(), VSTGUI::CPoint(3, 4));
    EXPECT_EQ(r.property.get(), VSTGUI::CRect(1, 2, 3, 4));
}

TEST(StringAndDoubleProperty, TakeOnlyTheirOwnJsonType) {
    StringProperty s;
    s.setFromJson(json(R"("Gr\u00fc\u00dfe")"));
    EXPECT_EQ(s.get(),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
    DoubleProperty d;
    d.setFromJson(json("-0.25"));
    EXPECT_EQ(d.get(), -0.25);

    Watched<StringProperty> ws("kept");
    ws.expectFailure<std::runtime_error>(notString, "1");
    Watched<DoubleProperty> wd(1.0);
    wd.expectFailure<std::runtime_error>(notNumber, "true");
    EXPECT_EQ(ws.property.get(), "kept");
    EXPECT_EQ(wd.property.get(), 1.0);
}

TEST(AlignmentProperty, KnowsCenterNearAndFarOnly) {
    AlignmentProperty p;
    p.setFromJson(json(R"("far")"));
    EXPECT_EQ(p.get(), Gdiplus::StringAlignmentFar);
    p.setFromJson(json(R"("center")"));
    EXPECT_EQ(p.get(), Gdiplus::StringAlignmentCenter);
    p.setFromJson(json(R"("near")"));
    EXPECT_EQ(p.get(), Gdiplus::StringAlignmentNear);

    Watched<AlignmentProperty> w(Gdiplus::StringAlignmentFar);
    w.expectFailure<std::logic_error>("unknown alignment Center", R"("Center")");
    w.expectFailure<std::runtime_error>(notString, "1");
    EXPECT_EQ(w.property.get(), Gdiplus::StringAlignmentFar);
}

TEST(TickMarkProperty, ReplacesOnlyTheMembersPresent) {
    Watched<TickMarkProperty> w(TickMark{1, 2, 3, Gdiplus::Color(0x11223344)});
    w.property.setFromJson(json("{}"));
    EXPECT_EQ(w.calls, 1);
    EXPECT_EQ(w.property.get().width, 1);
    EXPECT_EQ(w.property.get().color.GetValue(), 0x11223344u);

    w.property.setFromJson(json(R"({"width": 2.5, "color": [255, 1, 2, 3], "angle": 9})"));
    const TickMark& mark = w.property.get();
    EXPECT_EQ(mark.width, 2.5);
    EXPECT_EQ(mark.startRadius, 2);
    EXPECT_EQ(mark.endRadius, 3);
    EXPECT_EQ(mark.color.GetValue(), 0xFF010203u);

    w.expectFailure<std::runtime_error>(notObject, "[]");
    w.expectFailure<std::runtime_error>(notNumber, R"({"width": 4, "endRadius": "5"})");
    w.expectFailure<std::out_of_range>("invalid vector<T> subscript",
                                       R"({"startRadius": 4, "color": [1]})");
    EXPECT_EQ(w.property.get().width, 2.5);
    EXPECT_EQ(w.property.get().startRadius, 2);
}

TEST(PathPrimitiveProperty, ReadsKindThenPoints) {
    PathPrimitiveProperty p;
    p.setFromJson(json(R"({"kind": "beziers", "points": [[1, 2], [3, 4]], "note": 0})"));
    EXPECT_EQ(p.get().kind, 1);
    EXPECT_EQ(p.get().points, (std::vector<VSTGUI::CPoint>{{1, 2}, {3, 4}}));
    p.setFromJson(json(R"({"kind": "lines", "points": []})"));
    EXPECT_EQ(p.get().kind, 0);
    EXPECT_TRUE(p.get().points.empty());

    Watched<PathPrimitiveProperty> w(PathPrimitive{1, {{5, 6}}});
    w.expectFailure<std::out_of_range>("invalid map<K, T> key", R"({"kind": "lines"})");
    w.expectFailure<std::out_of_range>("invalid map<K, T> key", R"({"points": []})");
    w.expectFailure<std::logic_error>("unknown path kind arc", R"({"kind": "arc", "points": []})");
    w.expectFailure<std::logic_error>("unknown path kind arc", R"({"kind": "arc"})");
    w.expectFailure<std::logic_error>("unknown path kind arc", R"({"kind": "arc", "points": 1})");
    w.expectFailure<std::runtime_error>(notString, R"({"kind": 0, "points": []})");
    w.expectFailure<std::out_of_range>("invalid vector<T> subscript",
                                       R"({"kind": "lines", "points": [[1]]})");
    EXPECT_EQ(w.property.get().kind, 1);
    EXPECT_EQ(w.property.get().points, (std::vector<VSTGUI::CPoint>{{5, 6}}));
}

TEST(ArrayProperty, ReadsEveryElementFromTheElementTypesZeroValue) {
    ArrayProperty<TickMarkProperty> marks({TickMark{1, 2, 3, Gdiplus::Color(0xFFFFFFFF)}});
    marks.setFromJson(json("[{}]"));
    ASSERT_EQ(marks.get().size(), 1u);
    EXPECT_EQ(marks.get()[0].width, 0);
    EXPECT_EQ(marks.get()[0].startRadius, 0);
    EXPECT_EQ(marks.get()[0].endRadius, 0);
    EXPECT_EQ(marks.get()[0].color.GetValue(), 0u);
    marks.setFromJson(json("[]"));
    EXPECT_TRUE(marks.get().empty());

    ArrayProperty<PathPrimitiveProperty> paths;
    paths.setFromJson(
        json(R"([{"kind": "beziers", "points": [[1, 1]]}, {"kind": "lines", "points": []}])"));
    ASSERT_EQ(paths.get().size(), 2u);
    EXPECT_EQ(paths.get()[0].kind, 1);
    EXPECT_EQ(paths.get()[1].kind, 0);
}

TEST(ArrayProperty, KeepsTheOldVectorWhenOneElementFails) {
    Watched<ArrayProperty<PointProperty>> w({{7, 8}, {9, 10}});
    w.expectFailure<std::out_of_range>("invalid vector<T> subscript", "[[0, 0], [1]]");
    w.expectFailure<std::runtime_error>(notArray, "[[0, 0], 1]");
    w.expectFailure<std::runtime_error>(notArray, R"({"0": [0, 0]})");
    EXPECT_EQ(w.property.get(), (std::vector<VSTGUI::CPoint>{{7, 8}, {9, 10}}));
}

TEST(SimpleProperty, CallsEveryListenerInOrderOnEveryAssignment) {
    IntProperty p;
    std::vector<int> order;
    p.addListener([&] { order.push_back(1); });
    p.addListener([&] { order.push_back(2); });
    p.set(5);
    p.setFromJson(json("5"));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 1, 2}));

    StringProperty s("same");
    int calls = 0;
    s.addListener([&] { ++calls; });
    s.set(s.get());
    EXPECT_EQ(s.get(), "same");
    EXPECT_EQ(calls, 1);

    s.addListener(std::function<void()>());
    EXPECT_THROW(s.set("other"), std::bad_function_call);
    EXPECT_EQ(calls, 2);
}

// Records what the layout does to a view.
struct FakeView {
    VSTGUI::CRect size{0, 0, 100, 50};
    std::vector<std::string> calls;
    VSTGUI::CRect getViewSize() const { return size; }
    void invalid() { calls.push_back("invalid"); }
    void setViewSize(const VSTGUI::CRect& rect, bool invalidate) {
        calls.push_back(invalidate ? "setViewSize invalidating" : "setViewSize");
        size = rect;
    }
};

TEST(PropertyTarget, SizeMovesTheViewOnlyWhenItChanges) {
    FakeView view;
    setCommonProperty(view, "size", json("[0, 0, 100, 50, 1]"));
    EXPECT_TRUE(view.calls.empty());
    setCommonProperty(view, "size", json("[10, 20, 110, 70]"));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"invalid", "setViewSize invalidating"}));
    EXPECT_EQ(view.size, VSTGUI::CRect(10, 20, 110, 70));

    FakeView untouched;
    expectThrows<std::runtime_error>([&] { setCommonProperty(untouched, "size", json("{}")); },
                                     notArray);
    expectThrows<std::out_of_range>(
        [&] { setCommonProperty(untouched, "size", json("[1, 2, 3]")); },
        "invalid vector<T> subscript");
    EXPECT_TRUE(untouched.calls.empty());
}

TEST(PropertyTarget, UnknownNamesFailWithTheNameAndCompactValue) {
    FakeView view;
    expectThrows<std::logic_error>([&] { setCommonProperty(view, "foo", json(R"({ "a" : 1 })")); },
                                   R"(setProperty foo {"a":1} not found)");
    expectThrows<std::logic_error>([&] { setCommonProperty(view, "x", json("[0.5, \"t\"]")); },
                                   R"(setProperty x [0.5,"t"] not found)");
}

TEST(PropertyTarget, OwnPropertiesComeBeforeTheCommonOnes) {
    FakeView view;
    IntProperty count;
    RectProperty size;  // shadows the common "size"
    std::map<std::string, Property*> properties{{"count", &count}, {"size", &size}};
    setPropertyFrom(properties, view, "count", json("3"));
    setPropertyFrom(properties, view, "size", json("[1, 2, 3, 4]"));
    EXPECT_EQ(count.get(), 3);
    EXPECT_EQ(size.get(), VSTGUI::CRect(1, 2, 3, 4));
    EXPECT_TRUE(view.calls.empty());

    std::map<std::string, Property*> none;
    setPropertyFrom(none, view, "size", json("[1, 2, 3, 4]"));
    EXPECT_EQ(view.size, VSTGUI::CRect(1, 2, 3, 4));
    expectThrows<std::logic_error>([&] { setPropertyFrom(none, view, "count", json("3")); },
                                   "setProperty count 3 not found");
}

}  // namespace
}  // namespace corvane::vst

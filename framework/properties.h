// Typed values that widgets own and that the JSON layout assigns by name. A property keeps its
// value and the listeners to call after every assignment; setFromJson converts the layout's
// JSON and assigns it, or throws and leaves value and listeners untouched.
#pragma once

#include "gdiplus_api.h"

#include <picojson.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "geometry.h"

namespace corvane::vst {

class Property {
  public:
    virtual void setFromJson(const picojson::value& json) = 0;
    virtual void addListener(std::function<void()> listener) = 0;

  protected:
    // Properties are members of their widgets, never deleted through this base.
    ~Property() = default;
};

template <class T>
class SimpleProperty : public Property {
  public:
    using value_type = T;

    explicit SimpleProperty(T initial = T()) : value(std::move(initial)) {}

    const T& get() const { return value; }

    // Listeners run after every assignment, also when the value did not change.
    void set(const T& next) {
        if (&next != &value)
            value = next;
        // By index: a listener may add another, which moves the vector.
        for (std::size_t i = 0; i < listeners.size(); ++i)
            listeners[i]();
    }

    void addListener(std::function<void()> listener) override {
        listeners.push_back(std::move(listener));
    }

  protected:
    ~SimpleProperty() = default;

    T value;
    std::vector<std::function<void()>> listeners;
};

// Numbers are truncated toward zero; values beyond the int32 range clamp to it.
class IntProperty : public SimpleProperty<int> {
  public:
    using SimpleProperty::SimpleProperty;
    void setFromJson(const picojson::value& json) override;
};

// The layer shared by the double and string properties; it adds nothing of its own.
template <class T>
class SimplePropertyWithSet : public SimpleProperty<T> {
  public:
    using SimpleProperty<T>::SimpleProperty;

  protected:
    ~SimplePropertyWithSet() = default;
};

class DoubleProperty : public SimplePropertyWithSet<double> {
  public:
    using SimplePropertyWithSet::SimplePropertyWithSet;
    void setFromJson(const picojson::value& json) override;
};

// UTF-8 bytes as the layout has them.
class StringProperty : public SimplePropertyWithSet<std::string> {
  public:
    using SimplePropertyWithSet::SimplePropertyWithSet;
    void setFromJson(const picojson::value& json) override;
};

// [alpha, red, green, blue, ...]: each number truncated toward zero (saturating at the int64
// range) and cut to its low 8 bits, so 256 is 0 and -1 is 255. Further elements are ignored.
class ColorProperty : public SimpleProperty<Gdiplus::Color> {
  public:
    using SimpleProperty::SimpleProperty;
    void setFromJson(const picojson::value& json) override;
};

// [x, y, ...]
class PointProperty : public SimpleProperty<VSTGUI::CPoint> {
  public:
    using SimpleProperty::SimpleProperty;
    void setFromJson(const picojson::value& json) override;
};

// [left, top, right, bottom, ...]
class RectProperty : public SimpleProperty<VSTGUI::CRect> {
  public:
    using SimpleProperty::SimpleProperty;
    void setFromJson(const picojson::value& json) override;
};

// "center", "near" or "far".
class AlignmentProperty : public SimpleProperty<Gdiplus::StringAlignment> {
  public:
    using SimpleProperty::SimpleProperty;
    void setFromJson(const picojson::value& json) override;
};

// One piece of an outline: a polyline, or cubic Béziers (start, then three points per curve).
struct PathPrimitive {
    static constexpr std::int32_t lines = 0;
    static constexpr std::int32_t beziers = 1;

    std::int32_t kind = lines;
    std::vector<VSTGUI::CPoint> points;
};

// {"kind": "lines" | "beziers", "points": [[x, y], ...]}; both members required.
class PathPrimitiveProperty : public SimpleProperty<PathPrimitive> {
  public:
    using SimpleProperty::SimpleProperty;
    void setFromJson(const picojson::value& json) override;
};

// A JSON array whose elements E reads, each from the element type's zero value. One failing
// element fails the whole array.
template <class E>
class ArrayProperty : public SimpleProperty<std::vector<typename E::value_type>> {
  public:
    using SimpleProperty<std::vector<typename E::value_type>>::SimpleProperty;

    void setFromJson(const picojson::value& json) override {
        std::vector<typename E::value_type> items;
        for (const auto& element : json.get<picojson::array>()) {
            E item;
            item.setFromJson(element);
            items.push_back(item.get());
        }
        this->set(items);
    }
};

}  // namespace corvane::vst

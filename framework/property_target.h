// How the layout reaches a widget: by property name and JSON value, so the toolkit itself never
// sees JSON.
#pragma once

#include <picojson.h>

#include <map>
#include <string>

#include "error_texts.h"
#include "properties.h"

namespace corvane::vst {

class IPropertyTarget {
  public:
    // Throws what the property's setFromJson throws, or std::logic_error for an unknown name.
    virtual void setProperty(const std::string& name, const picojson::value& value) = 0;

  protected:
    ~IPropertyTarget() = default;
};

// The properties every widget has. "size" is the view rectangle, read as RectProperty reads.
template <class View>
void setCommonProperty(View& view, const std::string& name, const picojson::value& value) {
    if (name == "size") {
        RectProperty size;
        size.setFromJson(value);
        if (size.get() == view.getViewSize())
            return;
        view.invalid();  // the area the view leaves must be redrawn too
        view.setViewSize(size.get(), true);
        return;
    }
    throwPropertyNotFound(name, value.serialize());
}

// properties: the widget's own, by name (std::map<std::string, Property*>); names not there are
// the common ones.
template <class Map, class View>
void setPropertyFrom(Map& properties, View& view, const std::string& name,
                     const picojson::value& value) {
    const auto found = properties.find(name);
    if (found != properties.end()) {
        found->second->setFromJson(value);
        return;
    }
    setCommonProperty(view, name, value);
}

}  // namespace corvane::vst

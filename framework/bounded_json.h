// Parsing JSON text from outside the plug-in (saved state, layout files) with a limit on how
// deeply arrays and objects may nest, so that hostile input cannot exhaust the stack. picojson's
// own context limits the depth of arrays only.
#pragma once

#include <picojson.h>

#include <cstddef>
#include <string>

namespace corvane::vst {

class BoundedParseContext {
  public:
    BoundedParseContext(picojson::value* out, std::size_t depthLeft)
        : out(out), depthLeft(depthLeft) {}
    BoundedParseContext(const BoundedParseContext&) = delete;
    BoundedParseContext& operator=(const BoundedParseContext&) = delete;

    bool set_null() {
        *out = picojson::value();
        return true;
    }
    bool set_bool(bool b) {
        *out = picojson::value(b);
        return true;
    }
    bool set_number(double f) {
        *out = picojson::value(f);  // throws std::overflow_error for numbers beyond double
        return true;
    }
    template <typename Iter>
    bool parse_string(picojson::input<Iter>& in) {
        *out = picojson::value(picojson::string_type, false);
        return picojson::_parse_string(out->get<std::string>(), in);
    }
    bool parse_array_start() {
        if (depthLeft == 0)
            return false;
        *out = picojson::value(picojson::array_type, false);
        return true;
    }
    template <typename Iter>
    bool parse_array_item(picojson::input<Iter>& in, std::size_t) {
        picojson::array& a = out->get<picojson::array>();
        a.push_back(picojson::value());
        BoundedParseContext item(&a.back(), depthLeft - 1);
        return picojson::_parse(item, in);
    }
    bool parse_array_stop(std::size_t) { return true; }
    bool parse_object_start() {
        if (depthLeft == 0)
            return false;
        *out = picojson::value(picojson::object_type, false);
        return true;
    }
    template <typename Iter>
    bool parse_object_item(picojson::input<Iter>& in, const std::string& key) {
        picojson::object& o = out->get<picojson::object>();
        BoundedParseContext item(&o[key], depthLeft - 1);
        return picojson::_parse(item, in);
    }
    bool parse_object_stop() { return true; }

  private:
    picojson::value* out;
    std::size_t depthLeft;
};

// Parses the first JSON value of [first, last); what follows it is ignored. Answers false for
// a syntax error or nesting deeper than maxDepth; numbers beyond the double range throw.
template <typename Iter>
bool parseFirstJsonValue(picojson::value& out, Iter first, Iter last, std::size_t maxDepth) {
    BoundedParseContext context(&out, maxDepth);
    picojson::input<Iter> in(first, last);
    return picojson::_parse(context, in);
}

}  // namespace corvane::vst

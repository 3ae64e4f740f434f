// The exact failure texts of the layout reader. The standard library words its own at() and
// map lookup failures differently on every implementation, so we throw ours.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace corvane::vst {

[[noreturn]] inline void throwSubscriptOutOfRange() {
    throw std::out_of_range("invalid vector<T> subscript");
}

[[noreturn]] inline void throwKeyNotFound() {
    throw std::out_of_range("invalid map<K, T> key");
}

[[noreturn]] inline void throwUnknownAlignment(const std::string& name) {
    throw std::logic_error("unknown alignment " + name);
}

[[noreturn]] inline void throwUnknownPathKind(const std::string& name) {
    throw std::logic_error("unknown path kind " + name);
}

// serializedValue: the value as compact JSON.
[[noreturn]] inline void throwPropertyNotFound(const std::string& name,
                                               const std::string& serializedValue) {
    throw std::logic_error("setProperty " + name + " " + serializedValue + " not found");
}

// vector.at(index) with our text.
template <class Vector>
const typename Vector::value_type& elementAt(const Vector& vector, std::size_t index) {
    if (index >= vector.size())
        throwSubscriptOutOfRange();
    return vector[index];
}

// map.at(key) with our text.
template <class Map>
const typename Map::mapped_type& memberAt(const Map& map, const typename Map::key_type& key) {
    const auto found = map.find(key);
    if (found == map.end())
        throwKeyNotFound();
    return found->second;
}

}  // namespace corvane::vst

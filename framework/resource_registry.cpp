#include "resource_registry.h"

namespace corvane::vst {

void scramble(unsigned char* data, std::size_t size) {
    std::uint32_t state = kResourceKey;  // uint32_t arithmetic wraps mod 2^32
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 24691u;
        data[i] = static_cast<unsigned char>(data[i] ^ (state >> 24));
    }
}

void scramble(std::vector<unsigned char>& bytes) {
    scramble(bytes.data(), bytes.size());
}

void ResourceRegistry::registerResource(const std::string& name, const unsigned char* data,
                                        std::int32_t size) {
    entries[name] = Entry{data, data != nullptr && size > 0 ? size : 0};
}

std::vector<unsigned char> ResourceRegistry::loadResource(const std::string& name) const {
    const auto found = entries.find(name);
    if (found == entries.end() || found->second.size == 0)
        return {};
    const Entry& entry = found->second;
    std::vector<unsigned char> bytes(entry.data, entry.data + entry.size);
    scramble(bytes);
    return bytes;
}

std::string ResourceRegistry::loadResourceText(const std::string& name) const {
    const std::vector<unsigned char> bytes = loadResource(name);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> ResourceRegistry::names() const {
    std::vector<std::string> result;
    result.reserve(entries.size());
    for (const auto& entry : entries)
        result.push_back(entry.first);
    return result;
}

// Function-local statics: built by the first caller, other threads wait for it.
const ResourceRegistry& editorResources() {
    static const ResourceRegistry registry = [] {
        ResourceRegistry r;
        registerEditorResources(r);
        return r;
    }();
    return registry;
}

const ResourceRegistry& manualResources() {
    static const ResourceRegistry registry = [] {
        ResourceRegistry r;
        registerManualResources(r);
        return r;
    }();
    return registry;
}

}  // namespace corvane::vst

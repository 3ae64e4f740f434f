// Named byte resources compiled into the module. The bytes are stored scrambled so the module
// does not carry the editor's files and the manual as plain text; they are unscrambled into a
// fresh copy on every lookup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace corvane::vst {

// Seed of the scrambling key stream. tools/pack_resources.py reads it from this line, and the
// code it generates checks the value it used against this constant.
constexpr std::uint32_t kResourceKey = 0x7C3A91E5u;

// XORs `size` bytes with the key stream started at kResourceKey. Applying it twice restores
// the bytes.
void scramble(unsigned char* data, std::size_t size);
void scramble(std::vector<unsigned char>& bytes);

class ResourceRegistry {
  public:
    struct Entry {
        const unsigned char* data;  // scrambled, not owned: must outlive the registry
        std::int32_t size;
    };
    // std::string compares as unsigned char, so names are in byte order.
    using Entries = std::map<std::string, Entry>;

    // Adds `name`, or points an existing name at the new bytes.
    void registerResource(const std::string& name, const unsigned char* data, std::int32_t size);

    // The unscrambled bytes of `name`; empty if there is no such resource.
    std::vector<unsigned char> loadResource(const std::string& name) const;
    std::string loadResourceText(const std::string& name) const;

    bool contains(const std::string& name) const { return entries.count(name) != 0; }
    std::size_t size() const { return entries.size(); }
    std::vector<std::string> names() const;

    // Iteration in name order; the entries hold the scrambled bytes.
    Entries::const_iterator begin() const { return entries.begin(); }
    Entries::const_iterator end() const { return entries.end(); }

  private:
    Entries entries;
};

// The plug-in's editor files and manual pages, registered on first use (thread-safe).
const ResourceRegistry& editorResources();
const ResourceRegistry& manualResources();

// Defined by the plug-in's generated resource source (tools/pack_resources.py).
void registerEditorResources(ResourceRegistry& registry);
void registerManualResources(ResourceRegistry& registry);

}  // namespace corvane::vst

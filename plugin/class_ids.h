// The plug-in's class IDs and VST 2 unique ID, derived from the class names so that they
// never need to be typed in and cannot drift between the factory, the tests and the installer.
#pragma once

#include <string>
#include <string_view>

#include "pluginterfaces/base/funknown.h"

namespace quenvale {

inline constexpr char kProcessorName[] = "Quenvale64";
inline constexpr char kControllerName[] = "Quenvale64Controller";

// The salt mixed into every ID; assembled at run time so it is not one string in the binary.
std::string classIdSalt();

// SHA-256 of name, salt and suffix, concatenated; digest bytes 0..15 read as four
// little-endian 32-bit words l1..l4 make FUID(l1, l2, l3, l4).
Steinberg::FUID makeClassId(std::string_view name, std::string_view suffix);

Steinberg::FUID processorClassId();
Steinberg::FUID controllerClassId();

// l1 of makeClassId(kProcessorName, "vst2").
Steinberg::int32 vst2UniqueId();

}  // namespace quenvale

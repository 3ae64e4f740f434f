// Writes a built module's moduleinfo.json: loads the module as a host does and describes its
// factory and classes in the JSON layout that VST 3 hosts read to list a plug-in without
// loading it. Run by the build for every bundle, so the file always matches the module.
// Hosts' readers refuse a file with a key they do not know, so only the documented keys are
// written: the factory's licence-check flag, for one, has none.
//
// usage: module_info MODULE OUTPUT_JSON
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "module_loader.h"
#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/ipluginbase.h"

using namespace Steinberg;
using quenvale::hosting::LoadedModule;

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

const char* boolean(bool value) {
    return value ? "true" : "false";
}

std::string cidText(const TUID cid) {
    char8 text[33] = {};
    FUID::fromTUID(cid).toString(text);
    return text;
}

// "Fx|Delay|Tools" -> ["Fx", "Delay", "Tools"]; an empty text is an empty list.
std::string subCategories(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, '|');) {
        if (!part.empty())
            parts.push_back(quoted(part));
    }
    std::string out = "[";
    for (std::size_t i = 0; i < parts.size(); ++i)
        out += (i ? ", " : "") + parts[i];
    return out + "]";
}

// The module's name is its file name without folder and extension.
std::string moduleName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string describe(const std::string& modulePath) {
    LoadedModule module(modulePath);
    IPtr<IPluginFactory> factory(module.factory(), false);
    if (!factory)
        throw std::runtime_error("the module gives no factory");
    FUnknownPtr<IPluginFactory2> factory2(factory);
    if (!factory2)
        throw std::runtime_error("the factory has no IPluginFactory2");
    PFactoryInfo info{};
    if (factory->getFactoryInfo(&info) != kResultOk)
        throw std::runtime_error("the factory gives no factory info");

    std::ostringstream classes;
    std::string version;
    for (int32 i = 0; i < factory->countClasses(); ++i) {
        PClassInfo2 c{};
        if (factory2->getClassInfo2(i, &c) != kResultOk)
            throw std::runtime_error("the factory gives no info for class " + std::to_string(i));
        if (version.empty())
            version = c.version;
        classes << (i ? ",\n" : "") << "    {\n"
                << "      \"CID\": " << quoted(cidText(c.cid)) << ",\n"
                << "      \"Category\": " << quoted(c.category) << ",\n"
                << "      \"Name\": " << quoted(c.name) << ",\n"
                << "      \"Vendor\": " << quoted(c.vendor) << ",\n"
                << "      \"Version\": " << quoted(c.version) << ",\n"
                << "      \"SDKVersion\": " << quoted(c.sdkVersion) << ",\n"
                << "      \"Sub Categories\": " << subCategories(c.subCategories) << ",\n"
                << "      \"Class Flags\": " << c.classFlags << ",\n"
                << "      \"Cardinality\": " << c.cardinality << ",\n"
                << "      \"Snapshots\": []\n"
                << "    }";
    }

    std::ostringstream out;
    out << "{\n"
        << "  \"Name\": " << quoted(moduleName(modulePath)) << ",\n"
        << "  \"Version\": " << quoted(version) << ",\n"
        << "  \"Factory Info\": {\n"
        << "    \"Vendor\": " << quoted(info.vendor) << ",\n"
        << "    \"URL\": " << quoted(info.url) << ",\n"
        << "    \"E-Mail\": " << quoted(info.email) << ",\n"
        << "    \"Flags\": {\n"
        << "      \"Unicode\": " << boolean(info.flags & PFactoryInfo::kUnicode) << ",\n"
        << "      \"Classes Discardable\": "
        << boolean(info.flags & PFactoryInfo::kClassesDiscardable) << ",\n"
        << "      \"Component Non Discardable\": "
        << boolean(info.flags & PFactoryInfo::kComponentNonDiscardable) << "\n"
        << "    }\n"
        << "  },\n"
        << "  \"Compatibility\": [],\n"
        << "  \"Classes\": [\n"
        << classes.str() << "\n  ]\n"
        << "}\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: module_info MODULE OUTPUT_JSON\n");
        return 2;
    }
    try {
        const std::string json = describe(argv[1]);
        std::ofstream out(argv[2], std::ios::binary);
        out << json;
        out.close();
        if (!out)
            throw std::runtime_error(std::string("cannot write ") + argv[2]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "module_info: %s\n", e.what());
        return 1;
    }
}

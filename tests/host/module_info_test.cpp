// The bundle's moduleinfo.json, which hosts read instead of loading the module, must say what
// the module's factory says, class by class.
#include <gtest/gtest.h>
#include <picojson.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host_rig.h"

namespace {

using namespace host_test;

picojson::value readJson(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    picojson::value json;
    const std::string error = picojson::parse(json, text.str());
    EXPECT_TRUE(error.empty()) << path << ": " << error;
    return json;
}

// A host's reader refuses the whole file for one key it does not know.
void expectOnlyKeys(const picojson::value& object, const std::set<std::string>& known) {
    ASSERT_TRUE(object.is<picojson::object>());
    for (const auto& [key, value] : object.get<picojson::object>())
        EXPECT_TRUE(known.count(key)) << "a key hosts do not read: " << key;
}

TEST(ModuleInfo, TheBundlesModuleinfoJsonDescribesTheFactoryOfTheBuiltModule) {
    const picojson::value info = readJson(QUENVALE_MODULE_INFO_PATH);
    ASSERT_TRUE(info.is<picojson::object>());
    LoadedModule module(QUENVALE_MODULE_PATH);
    IPtr<IPluginFactory> factory(module.factory(), false);
    ASSERT_TRUE(factory);
    FUnknownPtr<IPluginFactory2> factory2(factory);
    ASSERT_TRUE(factory2);

    PFactoryInfo factoryInfo{};
    ASSERT_EQ(factory->getFactoryInfo(&factoryInfo), kResultOk);
    EXPECT_EQ(info.get("Name").get<std::string>(), "Quenvale64");
    const picojson::value& vendor = info.get("Factory Info");
    EXPECT_EQ(vendor.get("Vendor").get<std::string>(), factoryInfo.vendor);
    EXPECT_EQ(vendor.get("URL").get<std::string>(), factoryInfo.url);
    EXPECT_EQ(vendor.get("E-Mail").get<std::string>(), factoryInfo.email);
    const picojson::value& flags = vendor.get("Flags");
    expectOnlyKeys(info, {"Name", "Version", "Factory Info", "Compatibility", "Classes"});
    expectOnlyKeys(vendor, {"Vendor", "URL", "E-Mail", "Flags"});
    expectOnlyKeys(flags, {"Unicode", "Classes Discardable", "Component Non Discardable"});
    EXPECT_EQ(flags.get("Unicode").get<bool>(), (factoryInfo.flags & PFactoryInfo::kUnicode) != 0);
    EXPECT_EQ(flags.get("Classes Discardable").get<bool>(),
              (factoryInfo.flags & PFactoryInfo::kClassesDiscardable) != 0);
    EXPECT_EQ(flags.get("Component Non Discardable").get<bool>(),
              (factoryInfo.flags & PFactoryInfo::kComponentNonDiscardable) != 0);
    EXPECT_TRUE(info.get("Compatibility").is<picojson::array>());

    const auto& classes = info.get("Classes").get<picojson::array>();
    ASSERT_EQ(static_cast<int32>(classes.size()), factory->countClasses());
    for (int32 i = 0; i < factory->countClasses(); ++i) {
        PClassInfo2 expected{};
        ASSERT_EQ(factory2->getClassInfo2(i, &expected), kResultOk);
        const picojson::value& c = classes[static_cast<std::size_t>(i)];
        SCOPED_TRACE(expected.name);
        expectOnlyKeys(c, {"CID", "Category", "Name", "Vendor", "Version", "SDKVersion",
                           "Sub Categories", "Class Flags", "Cardinality", "Snapshots"});
        EXPECT_EQ(c.get("CID").get<std::string>(), cidText(expected.cid));
        EXPECT_EQ(c.get("Category").get<std::string>(), expected.category);
        EXPECT_EQ(c.get("Name").get<std::string>(), expected.name);
        EXPECT_EQ(c.get("Vendor").get<std::string>(), expected.vendor);
        EXPECT_EQ(c.get("Version").get<std::string>(), expected.version);
        EXPECT_EQ(c.get("SDKVersion").get<std::string>(), expected.sdkVersion);
        std::string subCategories;
        for (const auto& sub : c.get("Sub Categories").get<picojson::array>())
            subCategories += (subCategories.empty() ? "" : "|") + sub.get<std::string>();
        EXPECT_EQ(subCategories, expected.subCategories);
        EXPECT_EQ(c.get("Class Flags").get<double>(), expected.classFlags);
        EXPECT_EQ(c.get("Cardinality").get<double>(), expected.cardinality);
        EXPECT_TRUE(c.get("Snapshots").get<picojson::array>().empty());
        // The module's version is its classes' version: the project's.
        EXPECT_EQ(info.get("Version").get<std::string>(), expected.version);
        EXPECT_EQ(std::string(expected.version), QUENVALE_PROJECT_VERSION);
    }
}

}  // namespace

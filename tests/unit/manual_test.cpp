// The manual written to a fresh temporary folder and opened; on Linux also the desktop's opener
// really started and the user's settings read from the environment.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#if !defined(_WIN32)
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <thread>
#endif

#include "manual.h"
#include "resource_registry.h"

namespace corvane::vst {
namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string nativePath(std::string path) {
    for (char& c : path) {
        if (c == '/')
            c = kSeparator;
    }
    return path;
}

struct FakeSystem {
    std::string temporary;
    unsigned short language = 1033;
    bool opens = true;
    std::vector<std::string> opened;
    ManualSystem system() {
        ManualSystem s;
        s.temporaryFolder = [this] { return temporary; };
        s.userLanguage = [this] { return language; };
        s.open = [this](const std::string& path) {
            opened.push_back(path);
            return opens;
        };
        return s;
    }
};

TEST(Manual, EachOpeningWritesEveryPageIntoAFreshFolderAndOpensThePageOfTheLanguage) {
    FakeSystem fake;
    fake.temporary = ManualSystem::native().temporaryFolder();
    ASSERT_FALSE(fake.temporary.empty());
    ASSERT_EQ(fake.temporary.back(), kSeparator);
    const ResourceRegistry& manual = manualResources();
    ASSERT_TRUE(manual.contains(kManualPageEnglish));
    ASSERT_TRUE(manual.contains(kManualPageJapanese));

    const std::string english = openManual(manual, fake.system());
    fake.language = kLanguageJapanese;
    const std::string japanese = openManual(manual, fake.system());
    ASSERT_EQ(fake.opened, (std::vector<std::string>{english, japanese}));
    EXPECT_NE(english.find(nativePath("/en/index.html")), std::string::npos) << english;
    EXPECT_NE(japanese.find(nativePath("/ja/index.html")), std::string::npos) << japanese;

    const std::string firstFolder = english.substr(0, english.size() - 14);
    const std::string secondFolder = japanese.substr(0, japanese.size() - 14);
    EXPECT_NE(firstFolder, secondFolder);
    EXPECT_EQ(firstFolder.size(), fake.temporary.size() + 32);
    for (const std::string& folder : {firstFolder, secondFolder}) {
        for (const auto& entry : manual) {
            const std::string path = folder + nativePath("/" + entry.first);
            EXPECT_EQ(readFile(path), manual.loadResourceText(entry.first)) << path;
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

TEST(Manual, WithoutATemporaryFolderNothingIsWrittenOrOpened) {
    FakeSystem fake;
    EXPECT_EQ(openManual(manualResources(), fake.system()), "");
    EXPECT_TRUE(fake.opened.empty());
}

TEST(Manual, APageThatCannotBeOpenedOrNoOpenerAnswersNoPath) {
    FakeSystem fake;
    fake.temporary = ManualSystem::native().temporaryFolder();
    fake.opens = false;
    EXPECT_EQ(openManual(manualResources(), fake.system()), "");
    ASSERT_EQ(fake.opened.size(), 1u);
    std::error_code ignored;
    std::filesystem::remove_all(fake.opened[0].substr(0, fake.opened[0].size() - 14), ignored);
    ManualSystem system = fake.system();
    system.open = nullptr;
    EXPECT_EQ(openManual(manualResources(), system), "");
}

TEST(Manual, FolderNamesAreThirtyTwoFreshCharactersValidInAPath) {
    const std::string a = randomFolderName(), b = randomFolderName();
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789"), std::string::npos);
}

#if !defined(_WIN32)
// Sets variables for one test and puts the old values back.
class Environment {
  public:
    void set(const char* name, const char* value) {
        if (saved.count(name) == 0) {
            const char* old = getenv(name);
            saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~Environment() {
        for (const auto& [name, value] : saved) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }

  private:
    std::map<std::string, std::optional<std::string>> saved;
};

struct ScratchFolder {
    std::string path = ManualSystem::linux().temporaryFolder() + "manual-test-XXXXXX";
    ScratchFolder() {
        if (!mkdtemp(path.data()))
            path.clear();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

TEST(Manual, OnLinuxTheDesktopOpenerGetsThePageDetachedAndAMissingOneIsAnError) {
    ScratchFolder bin, empty;
    ASSERT_FALSE(bin.path.empty());
    ASSERT_FALSE(empty.path.empty());
    const std::string record = bin.path + "/arguments";
    std::ofstream(bin.path + "/xdg-open")
        << "#!/bin/sh\nprintf '%s\\n' \"$PPID\" \"$@\" > '" << record << "'\n";
    ASSERT_EQ(chmod((bin.path + "/xdg-open").c_str(), 0755), 0);
    Environment environment;
    environment.set("PATH", bin.path.c_str());

    // What a shell would act on must arrive untouched, as one argument.
    const std::string page = bin.path + "/a page $HOME 'x'; true/index.html";
    EXPECT_TRUE(ManualSystem::linux().open(page));
    // The opener's parent and its arguments, one a line.
    std::string got;
    const auto arguments = [&] { return got.substr(std::min(got.find('\n'), got.size())); };
    for (int i = 0; i < 1000 && arguments() != "\n" + page + "\n"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        got = readFile(record);
    }
    EXPECT_EQ(arguments(), "\n" + page + "\n");
    EXPECT_NE(got.substr(0, got.find('\n')), std::to_string(getpid())) << "not detached";
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child of ours is left";
    EXPECT_EQ(errno, ECHILD);

    environment.set("PATH", empty.path.c_str());
    EXPECT_FALSE(ManualSystem::linux().open(page));
    ManualSystem system = ManualSystem::linux();
    system.temporaryFolder = [&] { return empty.path + "/"; };
    EXPECT_EQ(openManual(manualResources(), system), "");
}

TEST(Manual, OnLinuxTheLanguageAndTheTemporaryFolderComeFromTheEnvironment) {
    const char* const kSet[][3] = {
        {nullptr, nullptr, nullptr},       {nullptr, nullptr, "de_DE"},
        {nullptr, nullptr, "ja_JP.UTF-8"}, {nullptr, "de_DE", "ja_JP.UTF-8"},
        {"ja_JP.UTF-8", "de_DE", "de_DE"}, {"", "", "ja_JP.UTF-8"}};
    const unsigned short kExpected[] = {1033, 1033, 1041, 1033, 1041, 1041};
    Environment environment;
    for (int i = 0; i < 6; ++i) {
        environment.set("LC_ALL", kSet[i][0]);
        environment.set("LC_MESSAGES", kSet[i][1]);
        environment.set("LANG", kSet[i][2]);
        EXPECT_EQ(ManualSystem::linux().userLanguage(), kExpected[i]) << "case " << i;
    }
    environment.set("TMPDIR", "/some/where");
    EXPECT_EQ(ManualSystem::linux().temporaryFolder(), "/some/where/");
    environment.set("TMPDIR", "");
    EXPECT_EQ(ManualSystem::linux().temporaryFolder(), "/tmp/");
    environment.set("TMPDIR", nullptr);
    EXPECT_EQ(ManualSystem::linux().temporaryFolder(), "/tmp/");
}
#endif

}  // namespace
}  // namespace corvane::vst

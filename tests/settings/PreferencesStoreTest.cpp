#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/apps/ApplicationInfo.h"
#include "settings/PreferencesError.h"
#include "settings/PreferencesJSON.h"
#include "settings/PreferencesLocation.h"
#include "settings/PreferencesStore.h"
#include "tests/settings/RandomPreferences.h"

namespace velmora::settings {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void writeFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

// Makes any write that would grow a file beyond `bytes` fail with EFBIG, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

class PreferencesStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "velmora-settings-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string loadError(PreferencesStore& store) {
    try {
      store.load();
    } catch (const PreferencesError& error) {
      return loadFailureMessage(error);
    }
    return "(loaded)";
  }
  std::string saveError(PreferencesStore& store, const Preferences& p) {
    try {
      store.save(p);
    } catch (const PreferencesError& error) {
      return saveFailureMessage(error);
    }
    return "(saved)";
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
  fs::path file_ = "settings.json";
};

TEST(PreferencesLocation, SettingsDirectoryFollowsEnvironmentAndApplicationInfo) {
  const auto environment = [](std::optional<std::string> config, std::optional<std::string> home) {
    return [=](const char* name) { return std::string(name) == "XDG_CONFIG_HOME" ? config : home; };
  };
  const auto dataDirectory = [](platform::ApplicationInfo::Value value) {
    return platform::ApplicationInfo({{kDataDirectoryInfoKey, value}}).string(kDataDirectoryInfoKey);
  };
  EXPECT_EQ(defaultPreferencesLocation(environment("/x/config", "/home/u"), std::nullopt),
            "/x/config/Ombrel/settings.json");
  EXPECT_EQ(defaultPreferencesLocation(environment("relative", "/home/u"), dataDirectory("Test")),
            "/home/u/.config/Test/settings.json");
  EXPECT_EQ(defaultPreferencesLocation(environment(std::nullopt, "/home/u"), dataDirectory(int64_t{3})),
            "/home/u/.config/Ombrel/settings.json");
  EXPECT_EQ(defaultPreferencesLocation(environment("/c", "/h"), dataDirectory("/abs")), "/c/abs/settings.json");
  EXPECT_THROW(defaultPreferencesLocation(environment("", "home"), std::nullopt), PreferencesError);
}

TEST_F(PreferencesStoreTest, FirstStartIsFreshAndTheFileAppearsOnlyAtTheFirstSave) {
  PreferencesStore store(root_ / "Ombrel" / "settings.json");
  EXPECT_EQ(store.load(), Preferences{});
  EXPECT_FALSE(fs::exists(root_ / "Ombrel"));
  store.save(Preferences{});
  EXPECT_EQ(readFile(store.url()), encodePreferences(Preferences{}));
  EXPECT_EQ(store.load(), Preferences{});
}

TEST_F(PreferencesStoreTest, EverySavedRecordLoadsBackWithSwitchesAndClampsApplied) {
  PreferencesStore store(root_ / file_);
  testing::RandomPreferences random(3);
  for (int i = 0; i < 100; ++i) {
    const Preferences p = random.preferences();
    Preferences expected = p;
    if (!p.rememberApps) expected.apps.clear();
    if (!p.rememberDevices) expected.deviceVolumes.clear();
    for (auto& [key, level] : expected.apps) level.volume = std::clamp(level.volume, 0.0f, 1.0f);
    for (auto& [key, volume] : expected.deviceVolumes) volume = std::clamp(volume, 0.0f, 1.0f);
    store.save(p);
    ASSERT_EQ(store.load(), expected) << readFile(store.url());
  }
  EXPECT_EQ(entries(), std::vector<std::string>{"settings.json"});
}

TEST_F(PreferencesStoreTest, UnreadableFileIsKeptAsANumberedCopyNamedInTheMessage) {
  PreferencesStore store(root_ / file_);
  const std::string broken = "{\n  \"version\": 1,\n  oops\n";
  writeFile(store.url(), broken);
  EXPECT_EQ(loadError(store), "读取设置失败：第 3 行第 3 列，在“o”处：无法识别的内容：字符串须加双引号，true、false、null 须小写；"
                              "原文件已另存为 " + (root_ / "settings.json.unreadable").string() + "。本次使用默认设置。");
  store.save(Preferences{});
  EXPECT_EQ(readFile(root_ / "settings.json.unreadable"), broken);

  // A second, different broken file gets its own copy; the same one again reuses it.
  writeFile(store.url(), "{\"version\": 1}");
  EXPECT_NE(loadError(store).find("缺少必需的键 processingEnabled；原文件已另存为 " + store.url().string() + ".unreadable-2。"),
            std::string::npos);
  EXPECT_NE(loadError(store).find(".unreadable-2。"), std::string::npos);
  EXPECT_EQ(readFile(root_ / "settings.json.unreadable"), broken);
  EXPECT_EQ(entries(), (std::vector<std::string>{"settings.json", "settings.json.unreadable", "settings.json.unreadable-2"}));
}

TEST_F(PreferencesStoreTest, UnreadableFileThatCannotBeCopiedIsNeverOverwritten) {
  PreferencesStore store(root_ / file_);
  const std::string broken = "{" + std::string(8192, ' ');
  writeFile(store.url(), broken);
  {
    FileSizeLimit limit(4096);
    EXPECT_NE(loadError(store).find("原文件无法另存副本（无法写入副本"), std::string::npos);
    EXPECT_NE(saveError(store, Preferences{}).find("为免丢失不会覆盖它"), std::string::npos);
  }
  EXPECT_EQ(readFile(store.url()), broken);
  store.save(Preferences{});  // the copy can be made now, and only then is the file replaced
  EXPECT_EQ(readFile(root_ / "settings.json.unreadable"), broken);
  EXPECT_EQ(store.load(), Preferences{});
}

TEST_F(PreferencesStoreTest, FailedSaveLeavesThePreviousFileByteForByte) {
  PreferencesStore store(root_ / file_);
  Preferences previous;
  previous.deviceVolumes["uid"] = 0.7f;
  store.save(previous);
  const std::string before = readFile(store.url());

  Preferences bigger;
  for (int i = 0; i < 200; ++i) bigger.apps["app" + std::to_string(i)] = AppLevel{};
  {
    FileSizeLimit limit(before.size() + 100);  // the write fails halfway
    EXPECT_EQ(saveError(store, bigger).rfind("保存设置失败：写入临时文件 " + root_.string() + "/.settings.json.", 0), 0u);
  }
  Preferences notFinite;
  notFinite.deviceVolumes["uid"] = INFINITY;
  EXPECT_EQ(saveError(store, notFinite), "保存设置失败：deviceVolumes.uid 的值不是有限数（inf），JSON 无法表示");
  EXPECT_EQ(readFile(store.url()), before);
  EXPECT_EQ(entries(), std::vector<std::string>{"settings.json"});

  // The rename itself fails: a directory stands where the file should be.
  PreferencesStore blocked(root_ / "occupied");
  fs::create_directories(root_ / "occupied" / "keep");
  EXPECT_NE(saveError(blocked, previous).find("无法用新内容替换"), std::string::npos);
  EXPECT_NE(loadError(blocked).find("是一个目录，不是设置文件。本次使用默认设置。"), std::string::npos);
  EXPECT_EQ(entries(), (std::vector<std::string>{"occupied", "settings.json"}));

  PreferencesStore underFile(root_ / "settings.json" / "settings.json");
  EXPECT_NE(saveError(underFile, previous).find("无法创建目录"), std::string::npos);
}

TEST_F(PreferencesStoreTest, OddThingsInTheFilesPlaceGiveTheReadFailureNeverAHang) {
  PreferencesStore store(root_ / file_);
  ASSERT_EQ(mkfifo(store.url().c_str(), 0600), 0);
  EXPECT_NE(loadError(store).find("不是普通文件"), std::string::npos);
  fs::remove(store.url());

  fs::resize_file((writeFile(store.url(), "{"), store.url()), 17 << 20);
  EXPECT_NE(loadError(store).find("超过 16 MiB"), std::string::npos);

  writeFile(store.url(), "");
  EXPECT_NE(loadError(store).find("读取设置失败：文件是空的；"), std::string::npos);
}

}  // namespace
}  // namespace velmora::settings

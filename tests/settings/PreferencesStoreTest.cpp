#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/apps/ApplicationInfo.h"
#include "settings/PreferencesError.h"
#include "settings/PreferencesJSON.h"
#include "settings/PreferencesLocation.h"
#include "settings/PreferencesStore.h"
#include "tests/settings/RandomPreferences.h"

namespace velmora::settings {
namespace {

namespace fs = std::filesystem;
constexpr auto npos = std::string::npos;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void writeFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

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

// Makes any write that would grow a file beyond `bytes` fail with EFBIG, as a full disk would.
struct FileSizeLimit {
  rlimit saved{};
  explicit FileSizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{bytes, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

fs::path temporaryDirectory() {
  std::string pattern = (fs::temp_directory_path() / "velmora-settings-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

class PreferencesStoreTest : public ::testing::Test {
 protected:
  ~PreferencesStoreTest() override { fs::remove_all(root_); }
  size_t entryCount() const {
    return std::distance(fs::directory_iterator(root_), fs::directory_iterator());
  }

  const fs::path root_ = temporaryDirectory();
  PreferencesStore store{root_ / "settings.json"};
};

TEST(PreferencesLocation, SettingsDirectoryFollowsEnvironmentAndApplicationInfo) {
  const auto location = [](const std::optional<std::string>& config, const std::string& home,
                           platform::ApplicationInfo::Value name) {
    const auto environment = [=](const char* variable) {
      return variable == std::string("XDG_CONFIG_HOME") ? config : home;
    };
    return defaultPreferencesLocation(
        environment,
        platform::ApplicationInfo({{kDataDirectoryInfoKey, name}}).string(kDataDirectoryInfoKey));
  };
  EXPECT_EQ(location("/x/config", "/home/u", int64_t{3}),
            "/x/config/Ombrel/settings.json");  // not text: the default
  EXPECT_EQ(location("relative", "/home/u", "Test"), "/home/u/.config/Test/settings.json");
  EXPECT_EQ(location(std::nullopt, "/home/u", "Test"), "/home/u/.config/Test/settings.json");
  EXPECT_EQ(location("/c", "/h", "/abs"), "/c/abs/settings.json");
  EXPECT_THROW(location("", "home", "Test"), PreferencesError);
}

TEST_F(PreferencesStoreTest, FirstStartIsFreshAndTheFileAppearsOnlyAtTheFirstSave) {
  PreferencesStore nested(root_ / "Ombrel" / "settings.json");
  EXPECT_EQ(nested.load(), Preferences{});
  EXPECT_FALSE(fs::exists(root_ / "Ombrel"));
  nested.save(Preferences{});
  EXPECT_EQ(readFile(nested.url()), encodePreferences(Preferences{}));
}

TEST_F(PreferencesStoreTest, EverySavedRecordLoadsBackWithSwitchesAndClampsApplied) {
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
  EXPECT_EQ(entryCount(), 1u);  // no temporary file left behind
}

TEST_F(PreferencesStoreTest, UnreadableFileIsKeptAsANumberedCopyNamedInTheMessage) {
  const std::string broken = "{\n  \"version\": 1,\n  oops\n";
  writeFile(store.url(), broken);
  EXPECT_EQ(loadError(store),
            "读取设置失败：第 3 行第 3 "
            "列，在“o”处：无法识别的内容：字符串须加双引号，true、false、null 须小写；"
            "原文件已另存为 " +
                store.url().string() + ".unreadable。本次使用默认设置。");
  store.save(Preferences{});
  // A second, different broken file gets its own copy; the same one again reuses it.
  writeFile(store.url(), "{\"version\": 1}");
  EXPECT_NE(loadError(store).find("缺少必需的键 processingEnabled；原文件已另存为 " +
                                  store.url().string() + ".unreadable-2。"),
            npos);
  EXPECT_NE(loadError(store).find(".unreadable-2。"), npos);
  EXPECT_EQ(readFile(root_ / "settings.json.unreadable"), broken);
  EXPECT_EQ(entryCount(), 3u);
}

TEST_F(PreferencesStoreTest, UnreadableFileThatCannotBeCopiedIsNeverOverwritten) {
  const std::string broken = "{" + std::string(8192, ' ');
  writeFile(store.url(), broken);
  {
    FileSizeLimit limit(4096);
    EXPECT_NE(loadError(store).find("原文件无法另存副本（无法写入副本"), npos);
    EXPECT_NE(saveError(store, Preferences{}).find("为免丢失不会覆盖它"), npos);
  }
  EXPECT_EQ(readFile(store.url()), broken);
  store.save(Preferences{});  // the copy can be made now, and only then is the file replaced
  EXPECT_EQ(readFile(root_ / "settings.json.unreadable"), broken);
  EXPECT_EQ(store.load(), Preferences{});
}

TEST_F(PreferencesStoreTest, FailedSaveLeavesThePreviousFileByteForByte) {
  Preferences previous, infinite, badBand, badText;
  previous.deviceVolumes["uid"] = 0.7f;
  store.save(previous);
  const std::string before = readFile(store.url());
  infinite.deviceVolumes["uid"] = INFINITY;
  badBand.advanced = AdvancedPreferences{};
  badBand.advanced->equalizers["audio:x"] = DeviceEQ{true, {0, 0, -INFINITY}};
  badText.apps["bad\xFF"] = AppLevel{};
  const std::pair<const Preferences&, std::string> cases[] = {
      {previous, "保存设置失败：写入临时文件 " + root_.string() +
                     "/.settings.json."},  // the write fails halfway
      {infinite, "保存设置失败：deviceVolumes.uid 的值不是有限数（inf），JSON 无法表示"},
      {badBand, "保存设置失败：advanced.equalizers[\"audio:x\"].bands[2] 的值不是有限数"},
      {badText, "保存设置失败：apps[\"bad\xEF\xBF\xBD\"] 中的文字"},
  };
  for (const auto& [p, message] : cases) {
    FileSizeLimit limit(10);
    const std::string error = saveError(store, p);
    EXPECT_EQ(error.rfind(message, 0), 0u) << error;
  }
  EXPECT_EQ(readFile(store.url()), before);
  EXPECT_EQ(entryCount(), 1u);

  // The rename itself fails: a directory stands where the file should be.
  PreferencesStore blocked(root_ / "occupied");
  fs::create_directories(root_ / "occupied" / "keep");
  EXPECT_NE(saveError(blocked, previous).find("无法用新内容替换"), npos);
  EXPECT_NE(loadError(blocked).find("是一个目录，不是设置文件。本次使用默认设置。"), npos);
  EXPECT_EQ(entryCount(), 2u);
  PreferencesStore underFile(root_ / "settings.json" / "settings.json");
  EXPECT_NE(saveError(underFile, previous).find("无法创建目录"), npos);
}

TEST_F(PreferencesStoreTest, OddThingsInTheFilesPlaceGiveTheReadFailureNeverAHang) {
  ASSERT_EQ(mkfifo(store.url().c_str(), 0600), 0);
  EXPECT_NE(loadError(store).find("不是普通文件"), npos);
  fs::remove(store.url());
  fs::resize_file((writeFile(store.url(), "{"), store.url()), 17 << 20);
  EXPECT_NE(loadError(store).find("超过 16 MiB"), npos);
  writeFile(store.url(), "");
  EXPECT_NE(loadError(store).find("读取设置失败：文件是空的；"), npos);
}

}  // namespace
}  // namespace velmora::settings

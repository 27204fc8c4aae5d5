// The settings file: its JSON (every record read back, bad documents rejected whole with the
// place named) and its store (never lost, never half-written).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>

#include "platform/apps/ApplicationInfo.h"
#include "settings/PreferencesError.h"
#include "settings/PreferencesJSON.h"
#include "settings/PreferencesLocation.h"
#include "settings/PreferencesStore.h"

namespace velmora::settings {
namespace {

namespace fs = std::filesystem;
constexpr auto npos = std::string::npos;

// The one positive float whose shortest text ("7.038531e-26"), read as a double first, narrows
// to a neighbour; it is written as the exact double instead.
constexpr float kAwkward = std::bit_cast<float>(0x15ae43fdu);

// Settings records with every optional field randomly present or absent, floats of any bit
// pattern and strings that need escaping or are not ASCII.
class RandomPreferences {
 public:
  explicit RandomPreferences(uint32_t seed) : random_(seed) {}

  float number() {
    static constexpr float kOdd[] = {kAwkward, std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::denorm_min(), -0.0f};
    const float any = std::bit_cast<float>(static_cast<uint32_t>(random_()));
    return chance() || !std::isfinite(any) ? kOdd[below(std::size(kOdd))] : any;
  }
  std::string text() {
    static const char* kTexts[] = {"", "客厅 🎧 音箱", "a.b[\"c\"] \\", "tab\tnew\nline\x01"};
    return kTexts[below(std::size(kTexts))] + (chance() ? std::to_string(random_() % 100) : "");
  }
  bool chance() { return random_() % 2 == 0; }
  size_t below(size_t n) { return random_() % n; }
  template <typename T>
  std::optional<T> maybe(T value) {
    return chance() ? std::optional<T>(std::move(value)) : std::nullopt;
  }
  template <typename Make>
  auto list(Make make) {
    std::vector<decltype(make())> values(below(4));
    for (auto& value : values) value = make();
    return values;
  }
  template <typename Make>
  auto map(Make make) {
    std::map<std::string, decltype(make())> values;
    for (size_t n = below(4); n > 0; --n) values[text()] = make();
    return values;
  }

  std::map<std::string, AppLevel> levels() {
    return map([&] { return AppLevel{number(), chance(), maybe(text()), maybe(chance())}; });
  }
  std::map<std::string, DeviceEQ> equalizers() {
    return map([&] { return DeviceEQ{chance(), list([&] { return number(); })}; });
  }
  std::optional<std::map<std::string, bool>> boosts() {
    return maybe(map([&] { return chance(); }));
  }
  MultiOutputSettings multiOutput() {
    return {chance(), list([&] { return text(); }), map([&] { return number(); })};
  }
  AudioScene scene() {
    return {text(),          text(),        maybe(text()), maybe(text()), number(),
            maybe(number()), chance(),      chance(),      levels(),      chance(),
            equalizers(),    multiOutput(), boosts()};
  }
  DeviceBookmark bookmark() {
    return {text(),   text(),   text(),   maybe(text()), maybe(text()), maybe(text()),
            chance(), chance(), chance(), chance(),      maybe(text())};
  }
  Preferences preferences() {
    const auto texts = [&] { return maybe(list([&] { return text(); })); };
    const auto scenes = list([&] { return scene(); });
    const auto bookmarks = list([&] { return bookmark(); });
    const InterfaceSettings ui{chance(), chance(), chance(), chance(),
                               chance(), chance(), text(),   text()};
    const AdvancedPreferences advanced{chance(),     chance(),      texts(), texts(), ui,
                                       equalizers(), multiOutput(), scenes,  boosts()};
    const auto shortcuts = map([&] {
      return Shortcut{uint32_t(random_()), uint32_t(random_()), text()};
    });
    const auto volumes = map([&] { return number(); });
    const std::optional<DeviceListPreferences> deviceList = maybe(DeviceListPreferences{bookmarks});
    const int64_t version = chance() ? 1 : static_cast<int64_t>(random_()) - (int64_t{1} << 31);
    return {version, chance(),   chance(),        chance(), levels(),
            volumes, deviceList, maybe(advanced), shortcuts};
  }

 private:
  std::mt19937 random_;
};

// The message of the PreferencesError `action` throws, as `message` words it.
template <typename Action>
std::string failure(Action action, std::string (*message)(const std::exception&) = nullptr) {
  try {
    action();
  } catch (const PreferencesError& error) {
    return message ? message(error) : error.what();
  }
  return "(succeeded)";
}
std::string loadError(PreferencesStore& store) {
  return failure([&] { store.load(); }, loadFailureMessage);
}
std::string saveError(PreferencesStore& store, const Preferences& p) {
  return failure([&] { store.save(p); }, saveFailureMessage);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void writeFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
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

TEST(PreferencesJSON, BadDocumentsAreRejectedWholeNamingThePlaceOrLineAndColumn) {
  Preferences p;
  p.apps["com.example.player"] = AppLevel{0.5f, false, "audio:x", true};
  p.deviceVolumes["x"] = -kAwkward;
  p.setEQ("audio:x", DeviceEQ{true, {1, 2}});
  p.advanced->scenes.emplace_back().name = "Night";
  const std::string valid = encodePreferences(p);
  ASSERT_EQ(decodePreferences(valid), p);
  const auto edit = [&](std::string_view from,
                        std::string_view to) {  // throws when `from` is missing
    return std::string(valid).replace(valid.find(from), from.size(), to);
  };
  const std::pair<std::string, std::string_view> cases[] = {
      {edit("\"hudStyle\": \"glass\"", "\"hudStile\": \"glass\""),
       "缺少必需的键 advanced.interface.hudStyle"},
      {edit("\"name\": \"Night\"", "\"name\": null"),
       "advanced.scenes[0].name 应为字符串，实际是 null"},
      {edit("2\n", "\"2\"\n"), "advanced.equalizers[\"audio:x\"].bands[1] 应为数字，实际是字符串"},
      {edit("\"key\": 46", "\"key\": 4294967296"),
       "shortcuts.panel.key 应为 0 到 4294967295 之间的整数"},
      {edit("\"version\": 1", "\"version\": 1.5"), "version 应为整数，实际是数字 1.5"},
      {edit("\"version\": 1", "\"version\": 9223372036854775808"),
       "version 的值 9223372036854775808 超出整数范围"},
      {edit("0.5", "3.5e38"),
       "apps[\"com.example.player\"].volume 的值 3.5e+38 超出 32 位浮点数的范围"},
      {" \n\t", "文件是空的"},
      {encodePreferences({}).substr(0, 120), "第 7 行第 1 列：文件在此处意外结束"},
      {"[1, 2]", "文件内容应为一个 JSON 对象（以 { 开始），实际是数组"},
      {"{\n  \"apps\": {},\n  \"音量\" 1}", "第 3 行第 8 列，在“\"音量\" 1”处：键名后应为冒号"},
      {"{\"a\": \"\xC3\x28\"}",
       "第 1 行第 9 列，在“{\"a\": \"\xEF\xBF\xBD(”处：有不是有效 UTF-8 的字节"},
      {"{\"a\": 1e999}", "第 1 行第 11 列，在“{\"a\": 1e999”处：数字超出可表示的范围"},
      {"{\"a\": [1 2]}", "第 1 行第 10 列，在“{\"a\": [1 2”处：数组的元素之间应为逗号"},
      {"{} {}", "第 1 行第 4 列，在“{} {”处：文档在此之前已经结束"},
      {"{\"unknown\":" + std::string(50'000, '[') + std::string(50'000, ']') + "}",
       "第 1 行第 267 列，在“…[[[[[[[[[[[[[[[[[[[[[[[[”处：嵌套超过 256 层"},
  };
  for (const auto& [document, expected] : cases) {
    const std::string& text = document;  // a structured binding is not captured
    const std::string message = failure([&] { decodePreferences(text); });
    EXPECT_EQ(message.rfind(expected, 0), 0u) << message;
  }
}

TEST(PreferencesJSON, NullOptionalsAndUnknownKeysReadAsAbsentAndAreNotWrittenBack) {
  const Preferences read =
      decodePreferences(R"({"version": 1, "processingEnabled": false, "rememberApps": true,
    "rememberDevices": true, "deviceList": null, "advanced": null, "extra": {"deep": [1, {"x": null}]},
    "apps": {"a": {"volume": 1, "muted": false, "outputDeviceID": null, "comment": "hi"}},
    "deviceVolumes": {}, "shortcuts": {"panel": {"key": 46, "modifiers": 2304, "label": "M", "x": 0}}})");
  Preferences expected;
  expected.apps["a"] = AppLevel{};
  EXPECT_EQ(read, expected);
  // Absent optionals are left out.
  EXPECT_EQ(encodePreferences(read).find("null"), std::string::npos);
}

TEST(PreferencesLocation, SettingsDirectoryFollowsEnvironmentAndApplicationInfo) {
  const auto location = [](const std::optional<std::string>& config, const std::string& home,
                           platform::ApplicationInfo::Value name) {
    const platform::ApplicationInfo info({{kDataDirectoryInfoKey, name}});
    return defaultPreferencesLocation(
        [=](const char* key) { return key == std::string("HOME") ? std::optional(home) : config; },
        info.string(kDataDirectoryInfoKey));
  };
  EXPECT_EQ(location("/c", "/h", int64_t{3}), "/c/Ombrel/settings.json");  // not text: the default
  EXPECT_EQ(location("c", "/h", "T"), "/h/.config/T/settings.json");
  EXPECT_EQ(location("/c", "/h", "/abs"), "/c/abs/settings.json");
  EXPECT_THROW(location("", "h", "T"), PreferencesError);
}

TEST_F(PreferencesStoreTest, FirstStartIsFreshAndTheFileAppearsOnlyAtTheFirstSave) {
  PreferencesStore nested(root_ / "Ombrel" / "settings.json");
  EXPECT_EQ(nested.load(), Preferences{});
  EXPECT_FALSE(fs::exists(root_ / "Ombrel"));
  nested.save(Preferences{});
  EXPECT_EQ(nested.load(), Preferences{});
}

// Random records, floats of any bit pattern in every field, read back from the text and the file.
TEST_F(PreferencesStoreTest, EverySavedRecordLoadsBackWithSwitchesAndClampsApplied) {
  RandomPreferences random(3);
  for (int i = 0; i < 200; ++i) {
    const Preferences p = random.preferences();
    const std::string text = encodePreferences(p);
    ASSERT_EQ(decodePreferences(text), p) << text;
    ASSERT_EQ(encodePreferences(decodePreferences(text)), text);  // also tells -0.0 from 0
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
  const std::string copy = store.url().string() + ".unreadable";
  const std::string message = loadError(store);
  EXPECT_TRUE(message.starts_with("读取设置失败：第 3 行第 3 列") &&
              message.ends_with("须小写；原文件已另存为 " + copy + "。本次使用默认设置。"))
      << message;
  store.save(Preferences{});
  // A second, different broken file gets its own copy; the same one again reuses it.
  writeFile(store.url(), "{\"version\": 1}");
  EXPECT_NE(loadError(store).find("processingEnabled；原文件已另存为 " + copy + "-2。"), npos);
  EXPECT_NE(loadError(store).find(copy + "-2。"), npos);
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
  Preferences previous, infinite;
  previous.deviceVolumes["uid"] = 0.7f;
  store.save(previous);
  const std::string before = readFile(store.url());
  infinite.deviceVolumes["uid"] = INFINITY;
  const std::pair<const Preferences&, std::string> cases[] = {
      // The write fails halfway.
      {previous, "保存设置失败：写入临时文件 " + root_.string() + "/.settings.json."},
      {infinite, "保存设置失败：deviceVolumes.uid 的值不是有限数（inf），JSON 无法表示"},
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
  writeFile(store.url(), "{");
  fs::resize_file(store.url(), 17 << 20);
  EXPECT_NE(loadError(store).find("超过 16 MiB"), npos);
}

}  // namespace
}  // namespace velmora::settings

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include "settings/JSONWriter.h"
#include "settings/PreferencesError.h"
#include "settings/PreferencesJSON.h"
#include "tests/settings/RandomPreferences.h"

namespace velmora::settings {
namespace {

std::string decodeError(std::string_view text) {
  try {
    decodePreferences(text);
  } catch (const PreferencesError& error) {
    return error.what();
  }
  return "(accepted)";
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(PreferencesJSON, FreshSettingsWriteTheDocumentOfAFirstStart) {
  EXPECT_EQ(encodePreferences(Preferences{}), R"({
  "apps": {},
  "deviceVolumes": {},
  "processingEnabled": false,
  "rememberApps": true,
  "rememberDevices": true,
  "shortcuts": {
    "panel": {
      "key": 46,
      "label": "M",
      "modifiers": 2304
    }
  },
  "version": 1
}
)");
  Preferences p;
  p.apps["player"] = AppLevel{0.7f, false, std::nullopt, std::nullopt};
  EXPECT_NE(encodePreferences(p).find("\"player\": {\n      \"muted\": false,\n      \"volume\": 0.7\n    }"),
            std::string::npos);
}

TEST(PreferencesJSON, FloatsAreWrittenShortestAndReadBackToTheSameFloat) {
  EXPECT_EQ(formatFloat(0.7f), "0.7");
  EXPECT_EQ(formatFloat(0.1f), "0.1");
  EXPECT_EQ(formatFloat(1e-7f), "1e-07");
  EXPECT_EQ(formatFloat(1.0f), "1");
  EXPECT_EQ(formatFloat(std::numeric_limits<float>::max()), "3.4028235e+38");
  EXPECT_EQ(formatFloat(std::numeric_limits<float>::denorm_min()), "1e-45");

  // The one positive float whose shortest text ("7.038531e-26"), read as a double first,
  // narrows to a neighbour; it is written as the exact double instead.
  const float awkward = std::bit_cast<float>(0x15ae43fdu);
  EXPECT_EQ(formatFloat(awkward), "7.038530691851209e-26");
  Preferences p;
  p.deviceVolumes["x"] = -awkward;
  EXPECT_EQ(decodePreferences(encodePreferences(p)), p);

  std::mt19937 random(7);
  for (int i = 0; i < 1'000'000; ++i) {
    const float value = std::bit_cast<float>(static_cast<uint32_t>(random()));
    if (!std::isfinite(value)) continue;
    const std::string text = formatFloat(value);
    double readBack = 0;
    std::from_chars(text.data(), text.data() + text.size(), readBack);
    ASSERT_EQ(static_cast<float>(readBack), value) << text;
  }
}

TEST(PreferencesJSON, EveryRandomRecordReadsBackEqual) {
  testing::RandomPreferences random(42);
  for (int i = 0; i < 500; ++i) {
    const Preferences p = random.preferences();
    const std::string text = encodePreferences(p);
    ASSERT_EQ(decodePreferences(text), p) << text;
    ASSERT_EQ(encodePreferences(decodePreferences(text)), text);
  }
}

TEST(PreferencesJSON, AnyMissingKeyOrWrongTypeRejectsTheWholeDocumentNamingThePlace) {
  Preferences p;
  p.apps["com.example.player"] = AppLevel{0.5f, false, "audio:x", true};
  p.setEQ("audio:x", DeviceEQ{true, {1, 2}});
  AudioScene scene;
  scene.id = "s1";
  scene.name = "Night";
  p.advanced->scenes.push_back(scene);
  const std::string valid = encodePreferences(p);
  ASSERT_EQ(decodePreferences(valid), p);

  const struct {
    std::string_view from, to, message;
  } cases[] = {
      {"\"rememberApps\": true,", "", "缺少必需的键 rememberApps"},
      {"\"hudStyle\": \"glass\"", "\"hudStile\": \"glass\"", "缺少必需的键 advanced.interface.hudStyle"},
      {"\"hudStyle\": \"glass\"", "\"hudStyle\": 3", "advanced.interface.hudStyle 应为字符串，实际是数字 3"},
      {"\"name\": \"Night\"", "\"name\": null", "advanced.scenes[0].name 应为字符串，实际是 null"},
      {"\"muted\": false", "\"muted\": \"no\"", "apps[\"com.example.player\"].muted 应为布尔值"},
      {"2\n", "\"2\"\n", "advanced.equalizers[\"audio:x\"].bands[1] 应为数字，实际是字符串"},
      {"\"key\": 46", "\"key\": -1", "shortcuts.panel.key 应为 0 到 4294967295 之间的整数，实际是 -1"},
      {"\"key\": 46", "\"key\": 4294967296", "shortcuts.panel.key 应为 0 到 4294967295 之间的整数"},
      {"\"key\": 46", "\"key\": 46.0", "shortcuts.panel.key 应为 0 到 4294967295 之间的整数，实际是数字"},
      {"\"version\": 1", "\"version\": 1.5", "version 应为整数，实际是数字 1.5"},
      {"\"version\": 1", "\"version\": 9223372036854775808", "version 的值 9223372036854775808 超出整数范围"},
      {"\"volume\": 0.5", "\"volume\": 3.5e38", "apps[\"com.example.player\"].volume 的值 3.5e+38 超出 32 位浮点数的范围"},
      {"\"scenes\": [", "\"scenes\": {}, \"x\": [", "advanced.scenes 应为数组，实际是对象"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decodeError(replaced(valid, c.from, c.to)).rfind(c.message, 0), 0u)
        << c.to << " -> " << decodeError(replaced(valid, c.from, c.to));
  }
  // The largest float's shortest form lies above it and must still read.
  EXPECT_EQ(decodePreferences(replaced(valid, "\"volume\": 0.5", "\"volume\": 3.4028235e38")).apps.begin()->second.volume,
            std::numeric_limits<float>::max());
}

TEST(PreferencesJSON, BadTextIsRejectedWithLineAndColumn) {
  const std::string valid = encodePreferences(Preferences{});
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"", "文件是空的"},
      {" \n\t", "文件是空的"},
      {valid.substr(0, valid.size() / 2), "第 7 行第 1 列：文件在此处意外结束"},
      {"settings", "第 1 行第 1 列，在“s”处：无法识别的内容"},
      {"[1, 2]", "文件内容应为一个 JSON 对象（以 { 开始），实际是数组"},
      {"{\n  \"apps\": {},\n  \"音量\" 1}", "第 3 行第 8 列，在“\"音量\" 1”处：键名后应为冒号"},
      {"{\"a\": \"\xC3\x28\"}", "第 1 行第 9 列，在“{\"a\": \"\xEF\xBF\xBD(”处：有不是有效 UTF-8 的字节"},
      {"{\"a\": 1e999}", "第 1 行第 11 列，在“{\"a\": 1e999”处：数字超出可表示的范围"},
      {"{\"a\": [1 2]}", "第 1 行第 10 列，在“{\"a\": [1 2”处：数组的元素之间应为逗号"},
      {"{} {}", "第 1 行第 4 列，在“{} {”处：文档在此之前已经结束"},
      {std::string(50'000, '['), "第 1 行第 257 列，在“…[[[[[[[[[[[[[[[[[[[[[[[[”处：嵌套超过 256 层"},
      {"{\"unknown\":" + std::string(50'000, '[') + std::string(50'000, ']') + "}", "嵌套超过 256 层"},
  };
  for (const auto& c : cases) {
    const std::string message = decodeError(c.text);
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
  }
}

TEST(PreferencesJSON, NullOptionalsAndUnknownKeysAreTheSameAsAbsentAndAreNotWrittenBack) {
  const std::string handWritten = R"({"version": 7, "processingEnabled": true, "rememberApps": false,
    "rememberDevices": true, "deviceList": null, "advanced": null, "extra": {"deep": [1, {"x": null}]},
    "apps": {"a": {"volume": 0.25, "muted": true, "outputDeviceID": null, "comment": "hi"}},
    "deviceVolumes": {"uid": 2}, "shortcuts": {"custom": {"key": 1, "modifiers": 256, "label": "A", "x": 0}}})";
  Preferences expected;
  expected.version = 7;
  expected.processingEnabled = true;
  expected.rememberApps = false;
  expected.apps["a"] = AppLevel{0.25f, true, std::nullopt, std::nullopt};
  expected.deviceVolumes["uid"] = 2;  // clamping is the store's business
  expected.shortcuts = {{"custom", Shortcut{1, 256, "A"}}};
  const Preferences read = decodePreferences(handWritten);
  EXPECT_EQ(read, expected);
  const std::string written = encodePreferences(read);
  EXPECT_EQ(written.find("extra"), std::string::npos);
  EXPECT_EQ(written.find("comment"), std::string::npos);
  EXPECT_EQ(written.find("null"), std::string::npos);
  EXPECT_EQ(decodePreferences(written), expected);
}

TEST(PreferencesJSON, ValuesJSONCannotHoldFailTheWriteNamingTheField) {
  const auto encodeError = [](const Preferences& p) -> std::string {
    try {
      encodePreferences(p);
    } catch (const PreferencesError& error) {
      return error.what();
    }
    return "(written)";
  };
  Preferences p;
  p.deviceVolumes["uid"] = NAN;
  EXPECT_EQ(encodeError(p), "deviceVolumes.uid 的值不是有限数（nan），JSON 无法表示");
  p = Preferences{};
  p.setEQ("audio:x", DeviceEQ{true, {0, 0, -INFINITY}});
  EXPECT_EQ(encodeError(p).rfind("advanced.equalizers[\"audio:x\"].bands[2] 的值不是有限数", 0), 0u);
  p = Preferences{};
  p.apps["bad\xFF"] = AppLevel{};
  EXPECT_EQ(encodeError(p).rfind("apps[\"bad\xEF\xBF\xBD\"] 中的文字", 0), 0u);
}

}  // namespace
}  // namespace velmora::settings

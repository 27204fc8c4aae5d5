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

// The one positive float whose shortest text ("7.038531e-26"), read as a double first, narrows
// to a neighbour; it is written as the exact double instead.
const float kAwkward = std::bit_cast<float>(0x15ae43fdu);

std::string decodeError(std::string_view text) {
  try {
    decodePreferences(text);
  } catch (const PreferencesError& error) {
    return error.what();
  }
  return "(accepted)";
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
}

TEST(PreferencesJSON, FloatsAreWrittenShortestAndReadBackToTheSameFloat) {
  const std::pair<float, std::string_view> cases[] = {
      {0.7f, "0.7"},
      {1e-7f, "1e-07"},
      {1.0f, "1"},
      {-0.0f, "-0.0"},
      {kAwkward, "7.038530691851209e-26"},
      {std::numeric_limits<float>::max(), "3.4028235e+38"},
      {std::numeric_limits<float>::denorm_min(), "1e-45"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(formatFloat(value), text);

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
  for (int i = 0; i < 200; ++i) {
    const Preferences p = random.preferences();
    const std::string text = encodePreferences(p);
    ASSERT_EQ(decodePreferences(text), p) << text;
    ASSERT_EQ(encodePreferences(decodePreferences(text)), text);  // also tells -0.0 from 0
  }
}

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
  // The largest float's shortest form lies above it and must still read.
  EXPECT_EQ(decodePreferences(edit("0.5", "3.4028235e38")).apps.begin()->second.volume,
            std::numeric_limits<float>::max());

  const std::pair<std::string, std::string_view> cases[] = {
      {edit("\"rememberApps\": true,", ""), "缺少必需的键 rememberApps"},
      {edit("\"hudStyle\": \"glass\"", "\"hudStile\": \"glass\""),
       "缺少必需的键 advanced.interface.hudStyle"},
      {edit("\"hudStyle\": \"glass\"", "\"hudStyle\": 3"),
       "advanced.interface.hudStyle 应为字符串，实际是数字 3"},
      {edit("\"name\": \"Night\"", "\"name\": null"),
       "advanced.scenes[0].name 应为字符串，实际是 null"},
      {edit("\"muted\": false", "\"muted\": \"no\""),
       "apps[\"com.example.player\"].muted 应为布尔值"},
      {edit("2\n", "\"2\"\n"), "advanced.equalizers[\"audio:x\"].bands[1] 应为数字，实际是字符串"},
      {edit("\"key\": 46", "\"key\": -1"),
       "shortcuts.panel.key 应为 0 到 4294967295 之间的整数，实际是 -1"},
      {edit("\"key\": 46", "\"key\": 4294967296"),
       "shortcuts.panel.key 应为 0 到 4294967295 之间的整数"},
      {edit("\"key\": 46", "\"key\": 46.0"),
       "shortcuts.panel.key 应为 0 到 4294967295 之间的整数，实际是数字"},
      {edit("\"version\": 1", "\"version\": 1.5"), "version 应为整数，实际是数字 1.5"},
      {edit("\"version\": 1", "\"version\": 9223372036854775808"),
       "version 的值 9223372036854775808 超出整数范围"},
      {edit("0.5", "3.5e38"),
       "apps[\"com.example.player\"].volume 的值 3.5e+38 超出 32 位浮点数的范围"},
      {edit("\"scenes\": [", "\"scenes\": {}, \"x\": ["), "advanced.scenes 应为数组，实际是对象"},
      {"", "文件是空的"},
      {" \n\t", "文件是空的"},
      {encodePreferences({}).substr(0, 120), "第 7 行第 1 列：文件在此处意外结束"},
      {"settings", "第 1 行第 1 列，在“s”处：无法识别的内容"},
      {"[1, 2]", "文件内容应为一个 JSON 对象（以 { 开始），实际是数组"},
      {"{\n  \"apps\": {},\n  \"音量\" 1}", "第 3 行第 8 列，在“\"音量\" 1”处：键名后应为冒号"},
      {"{\"a\": \"\xC3\x28\"}",
       "第 1 行第 9 列，在“{\"a\": \"\xEF\xBF\xBD(”处：有不是有效 UTF-8 的字节"},
      {"{\"a\": 1e999}", "第 1 行第 11 列，在“{\"a\": 1e999”处：数字超出可表示的范围"},
      {"{\"a\": [1 2]}", "第 1 行第 10 列，在“{\"a\": [1 2”处：数组的元素之间应为逗号"},
      {"{} {}", "第 1 行第 4 列，在“{} {”处：文档在此之前已经结束"},
      {std::string(50'000, '['),
       "第 1 行第 257 列，在“…[[[[[[[[[[[[[[[[[[[[[[[[”处：嵌套超过 256 层"},
      {"{\"unknown\":" + std::string(50'000, '[') + std::string(50'000, ']') + "}",
       "第 1 行第 267 列，在“…[[[[[[[[[[[[[[[[[[[[[[[[”处：嵌套超过 256 层"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string message = decodeError(text);
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
  EXPECT_EQ(encodePreferences(read).find("null"),
            std::string::npos);  // absent optionals are left out
}

}  // namespace
}  // namespace velmora::settings

// Builds settings records with every optional field randomly present or absent, awkward floats
// and strings that need escaping or are not ASCII.
#pragma once

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "settings/Preferences.h"

namespace velmora::settings::testing {

class RandomPreferences {
 public:
  explicit RandomPreferences(uint32_t seed) : random_(seed) {}

  // A finite float: a value with no short exact form, a signed zero, an extreme, or any bit
  // pattern.
  float number() {
    using L = std::numeric_limits<float>;
    static constexpr float kOdd[] = {0.0f,      -0.0f,    0.1f,           0.7f,
                                     1e-7f,     1.0f / 3, -12.5f,         L::max(),
                                     -L::max(), L::min(), L::denorm_min()};
    const float any = std::bit_cast<float>(static_cast<uint32_t>(random_()));
    return chance() || !std::isfinite(any) ? kOdd[below(std::size(kOdd))] : any;
  }
  std::string text() {
    static const char* kTexts[] = {
        "",           "audio:BuiltInSpeakerDevice", "com.example.player", "耳机",   "客厅 🎧 音箱",
        "a.b[\"c\"]", "quote \" back \\ slash",     "tab\tnew\nline\x01", "Ünïcödé"};
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

  AppLevel level() { return {number(), chance(), maybe(text()), maybe(chance())}; }
  DeviceEQ equalizer() {
    return {chance(), list([&] { return number(); })};
  }
  MultiOutputSettings multiOutput() {
    return {chance(), list([&] { return text(); }), map([&] { return number(); })};
  }
  AudioScene scene() {
    return {text(),
            text(),
            maybe(text()),
            maybe(text()),
            number(),
            maybe(number()),
            chance(),
            chance(),
            map([&] { return level(); }),
            chance(),
            map([&] { return equalizer(); }),
            multiOutput(),
            maybe(map([&] { return chance(); }))};
  }
  AdvancedPreferences advanced() {
    const auto texts = [&] { return maybe(list([&] { return text(); })); };
    return {chance(),
            chance(),
            texts(),
            texts(),
            InterfaceSettings{chance(), chance(), chance(), chance(), chance(), chance(), text(),
                              text()},
            map([&] { return equalizer(); }),
            multiOutput(),
            list([&] { return scene(); }),
            maybe(map([&] { return chance(); }))};
  }
  // Last: the helpers above deduce their return types, so they must be defined first.
  Preferences preferences() {
    const auto bookmark = [&] {
      return DeviceBookmark{text(),        text(),        text(),       maybe(text()),
                            maybe(text()), maybe(text()), chance(),     chance(),
                            chance(),      chance(),      maybe(text())};
    };
    const auto shortcut = [&] {
      return Shortcut{uint32_t(random_()), uint32_t(random_()), text()};
    };
    return {chance() ? 1 : static_cast<int64_t>(random_()) - (int64_t{1} << 31),
            chance(),
            chance(),
            chance(),
            map([&] { return level(); }),
            map([&] { return number(); }),
            maybe(DeviceListPreferences{list(bookmark)}),
            maybe(advanced()),
            map(shortcut)};
  }

 private:
  std::mt19937 random_;
};

}  // namespace velmora::settings::testing

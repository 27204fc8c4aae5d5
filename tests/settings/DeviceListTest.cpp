// The device list's own rules: display names, merging bookmarks, and the automatic priority lists
// that follow a device from its "audio:" to its "bluetooth:" identity.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/AdvancedPreferences.h"
#include "settings/DeviceBookmark.h"

namespace velmora::settings {
namespace {

using IDs = std::vector<std::string>;

// Builds a bookmark field by field, so each case names only what matters to it.
struct Entry {
  DeviceBookmark b;
  explicit Entry(std::string id) { b.id = std::move(id); b.name = b.id; }
  Entry& in(std::string uid) { b.inputUID = std::move(uid); b.supportsInput = b.showInput = true; return *this; }
  Entry& out(std::string uid) { b.outputUID = std::move(uid); b.supportsOutput = b.showOutput = true; return *this; }
  Entry& address(std::string a) { b.bluetoothAddress = std::move(a); return *this; }
  Entry& named(std::string n, std::string symbol) { b.name = std::move(n); b.symbol = std::move(symbol); return *this; }
  Entry& alias(std::string a) { b.alias = std::move(a); return *this; }
  Entry& supports(bool input, bool output) { b.supportsInput = input; b.supportsOutput = output; return *this; }
  Entry& shown(bool input, bool output) { b.showInput = input; b.showOutput = output; return *this; }
  operator DeviceBookmark() const { return b; }
};

void PrintTo(const std::optional<std::string>& text, std::ostream* out) {
  *out << (text ? "\"" + *text + "\"" : "-");
}

}  // namespace

// Readable failures: one line per entry.
void PrintTo(const DeviceBookmark& b, std::ostream* out) {
  *out << "{" << b.id << " \"" << b.name << "\" " << b.symbol << " in=";
  PrintTo(b.inputUID, out);
  *out << " out=";
  PrintTo(b.outputUID, out);
  *out << " bt=";
  PrintTo(b.bluetoothAddress, out);
  *out << " supports=" << b.supportsInput << b.supportsOutput << " shown=" << b.showInput << b.showOutput
       << " alias=";
  PrintTo(b.alias, out);
  *out << "}";
}

namespace {

std::vector<DeviceBookmark> list(std::initializer_list<Entry> entries) {
  return std::vector<DeviceBookmark>(entries.begin(), entries.end());
}

TEST(DeviceBookmark, DisplayNameIsTheAliasUnlessItIsOnlyWhiteSpace) {
  const struct {
    std::optional<std::string> alias;
    std::string expected;
  } cases[] = {
      {std::nullopt, "AirBuds"},
      {"", "AirBuds"},
      {"   ", "AirBuds"},
      {"\t\n\r\v\f", "AirBuds"},
      {"\u3000", "AirBuds"},                       // ideographic space
      {"\u00A0\u2003\u2028\u0085", "AirBuds"},     // no-break, em space, line separator, next line
      {"  我的耳机\u3000", "  我的耳机\u3000"},    // returned as typed, not trimmed
      {"\u200B", "\u200B"},                        // zero-width space is not white space
      {"\xE3\x80", "\xE3\x80"},                    // a cut sequence is text, not white space
  };
  for (const auto& c : cases) {
    DeviceBookmark bookmark = Entry("audio:x").named("AirBuds", "headphones");
    bookmark.alias = c.alias;
    EXPECT_EQ(bookmark.displayName(), c.expected) << (c.alias ? *c.alias : "(none)");
  }
}

TEST(DeviceListPreferences, MergeUpdatesTheSameDeviceAndKeepsTheUsersChoices) {
  const struct {
    const char* story;
    std::vector<DeviceBookmark> before;
    DeviceBookmark merged;
    std::vector<DeviceBookmark> after;
  } cases[] = {
      {"a new device is appended at the end",
       list({Entry("audio:mic").in("mic")}),
       Entry("audio:dac").out("dac"),
       list({Entry("audio:mic").in("mic"), Entry("audio:dac").out("dac")})},
      {"a known device gets its new name and symbol but keeps alias, place and hidden list",
       list({Entry("audio:dac").out("dac").named("DAC", "cable.connector").alias("书房").shown(false, false),
             Entry("audio:mic").in("mic")}),
       Entry("audio:dac").out("dac").named("DAC 2", "speaker.wave.2"),
       list({Entry("audio:dac").out("dac").named("DAC 2", "speaker.wave.2").alias("书房").shown(false, false),
             Entry("audio:mic").in("mic")})},
      {"an audio entry recognised as Bluetooth takes the new id in place, with alias and visibility",
       list({Entry("audio:spk").out("spk"),
             Entry("audio:aa:bb").in("aa:bb").out("aa:bb").alias("耳机").shown(false, true),
             Entry("audio:mic").in("mic")}),
       Entry("bluetooth:AA").in("aa:bb").out("aa:bb").address("AA").named("Buds", "headphones"),
       list({Entry("audio:spk").out("spk"),
             Entry("bluetooth:AA").in("aa:bb").out("aa:bb").address("AA").named("Buds", "headphones")
                 .alias("耳机").shown(false, true),
             Entry("audio:mic").in("mic")})},
      {"audio entries of a device already listed as Bluetooth are stale duplicates and go",
       list({Entry("audio:old-out").out("o"), Entry("bluetooth:AA").address("AA").supports(false, true).shown(false, false),
             Entry("audio:old-in").in("i"), Entry("audio:mic").in("mic")}),
       Entry("bluetooth:AA").in("i").out("o").address("AA"),
       list({Entry("bluetooth:AA").in("i").out("o").address("AA").shown(true, false),
             Entry("audio:mic").in("mic")})},
      {"of two audio entries sharing the device's UIDs, the first is upgraded, the second dropped",
       list({Entry("audio:a").out("o"), Entry("audio:b").in("i")}),
       Entry("bluetooth:AA").in("i").out("o").address("AA"),
       list({Entry("bluetooth:AA").in("i").out("o").address("AA").supports(true, true).shown(true, true)})},
      {"a Bluetooth entry sharing a UID is updated under its own id when the address changes",
       list({Entry("bluetooth:OLD").out("o").address("OLD").alias("旧")}),
       Entry("bluetooth:NEW").out("o").address("NEW").named("Buds", "headphones"),
       list({Entry("bluetooth:OLD").out("o").address("NEW").named("Buds", "headphones").alias("旧")})},
      {"an audio bookmark never takes over another audio entry, even sharing a UID",
       list({Entry("audio:x").out("o")}),
       Entry("audio:y").out("o"),
       list({Entry("audio:x").out("o"), Entry("audio:y").out("o")})},
      {"a paired bookmark without UIDs keeps the entry's UIDs and the user's hidden output",
       list({Entry("bluetooth:AA").in("i").out("o").address("AA").shown(true, false).named("Buds", "headphones")}),
       Entry("bluetooth:AA").address("AA").supports(false, true).shown(false, false).named("Buds Pro", "headphones"),
       list({Entry("bluetooth:AA").in("i").out("o").address("AA").shown(true, false).named("Buds Pro", "headphones")})},
      {"a direction the entry gains brings its default visibility; a known one keeps the user's",
       list({Entry("bluetooth:AA").address("AA").supports(false, true).shown(false, false)}),
       Entry("bluetooth:AA").in("i").out("o").address("AA"),
       list({Entry("bluetooth:AA").in("i").out("o").address("AA").shown(true, false)})},
  };
  for (const auto& c : cases) {
    DeviceListPreferences preferences{c.before};
    preferences.merge(c.merged);
    EXPECT_EQ(preferences.devices, c.after) << c.story;
  }
}

TEST(AdvancedPreferences, SeedingFillsOnlyAnAbsentListWithTheShownDevicesOfThatDirection) {
  const std::vector<DeviceBookmark> catalogue =
      list({Entry("audio:hidden").out("h").in("h").shown(false, false), Entry("audio:spk").out("spk"),
            Entry("audio:mic").in("mic"), Entry("bluetooth:AA").in("i").out("o").address("AA"),
            Entry("audio:spk").out("spk"),  // a repeat is listed once
            Entry("audio:flag").shown(true, true)});  // shown but supporting nothing
  const struct {
    bool input;
    std::optional<IDs> stored;
    std::optional<IDs> seeded;
  } cases[] = {
      {false, std::nullopt, IDs{"audio:spk", "bluetooth:AA"}},
      {true, std::nullopt, IDs{"audio:mic", "bluetooth:AA"}},
      {false, IDs{}, IDs{}},  // the user removed everything: stays empty
      {true, IDs{"audio:gone"}, IDs{"audio:gone"}},
  };
  for (const auto& c : cases) {
    AdvancedPreferences advanced;
    (c.input ? advanced.automaticInputIDs : advanced.automaticOutputIDs) = c.stored;
    advanced.seedAutomaticDevices(c.input, catalogue);
    EXPECT_EQ(c.input ? advanced.automaticInputIDs : advanced.automaticOutputIDs, c.seeded) << c.input;
    EXPECT_FALSE(c.input ? advanced.automaticOutputIDs : advanced.automaticInputIDs) << "other direction untouched";
  }
}

TEST(AdvancedPreferences, RemappingMovesAnUpgradedDeviceToItsBluetoothIdInPlace) {
  const std::vector<DeviceBookmark> previous =
      list({Entry("audio:spk").out("spk"), Entry("audio:buds").in("buds").out("buds"),
            Entry("bluetooth:BB").out("bb").address("BB"), Entry("audio:usb").out("usb")});
  const std::vector<DeviceBookmark> current =
      list({Entry("audio:spk").out("spk"), Entry("bluetooth:AA").in("buds").out("buds").address("AA"),
            Entry("audio:usb").out("usb")});
  const struct {
    const char* story;
    std::optional<IDs> stored;
    std::optional<IDs> remapped;
  } cases[] = {
      {"the new id takes the old one's place", IDs{"audio:usb", "audio:buds", "audio:spk"},
       IDs{"audio:usb", "bluetooth:AA", "audio:spk"}},
      {"the device is listed once, at its better rank", IDs{"audio:buds", "audio:spk", "bluetooth:AA"},
       IDs{"bluetooth:AA", "audio:spk"}},
      {"ids unknown before, or Bluetooth ids that went, stay", IDs{"audio:never", "bluetooth:BB"},
       IDs{"audio:never", "bluetooth:BB"}},
      {"repeats go even when nothing is re-mapped", IDs{"audio:spk", "audio:usb", "audio:spk"},
       IDs{"audio:spk", "audio:usb"}},
      {"an absent list stays absent", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    AdvancedPreferences advanced;
    advanced.automaticOutputIDs = c.stored;
    advanced.automaticInputIDs = c.stored;
    advanced.remapAutomaticDevices(previous, current);
    EXPECT_EQ(advanced.automaticOutputIDs, c.remapped) << c.story;
    EXPECT_EQ(advanced.automaticInputIDs, c.remapped) << c.story;
  }
}

TEST(AdvancedPreferences, RemappingNeedsAUIDSharedInTheSameDirection) {
  // The old entry was output-only; the Bluetooth entry has that UID only as its input.
  const std::vector<DeviceBookmark> previous = list({Entry("audio:x").out("x")});
  const std::vector<DeviceBookmark> current = list({Entry("bluetooth:AA").in("x").address("AA")});
  AdvancedPreferences advanced;
  advanced.automaticOutputIDs = IDs{"audio:x"};
  advanced.remapAutomaticDevices(previous, current);
  EXPECT_EQ(advanced.automaticOutputIDs, IDs{"audio:x"});
}

TEST(UniqueIDs, KeepsTheFirstOccurrenceInOrder) {
  const std::pair<IDs, IDs> cases[] = {
      {{}, {}},
      {{"b", "a", "b", "c", "a"}, {"b", "a", "c"}},
      {{"a", "a", "a"}, {"a"}},
      {{"audio:x", "audio:X"}, {"audio:x", "audio:X"}},  // ids are case-sensitive
  };
  for (const auto& [ids, unique] : cases) EXPECT_EQ(uniqueIDs(ids), unique);
}

}  // namespace
}  // namespace velmora::settings

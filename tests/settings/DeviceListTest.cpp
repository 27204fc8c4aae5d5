// The device list's own rules: display names, merging bookmarks, and the automatic priority lists
// that follow a device from its "audio:" to its "bluetooth:" identity.
#include <gtest/gtest.h>

#include "settings/AdvancedPreferences.h"

namespace velmora::settings {
namespace {

using IDs = std::vector<std::string>;

// A bookmark from a short spec: id, then optional "in=UID", "out=UID", "bt=ADDR", "~alias",
// "hide=in" / "hide=out" / "hide=both", "name=TEXT". A UID makes its direction supported and shown.
DeviceBookmark entry(std::string id, std::initializer_list<std::string> fields = {}) {
  DeviceBookmark b;
  b.id = b.name = std::move(id);
  for (const std::string& f : fields) {
    const std::string value = f.substr(f.find_first_of("=~") + 1);
    if (f.starts_with("in=")) b.inputUID = value, b.supportsInput = b.showInput = true;
    if (f.starts_with("out=")) b.outputUID = value, b.supportsOutput = b.showOutput = true;
    if (f.starts_with("bt=")) b.bluetoothAddress = value;
    if (f.starts_with("~")) b.alias = value;
    if (f.starts_with("name=")) b.name = b.symbol = value;
    if (f == "hide=in" || f == "hide=both") b.showInput = false;
    if (f == "hide=out" || f == "hide=both") b.showOutput = false;
    if (f == "output") b.supportsOutput = true;
  }
  return b;
}

// One line per entry; a direction reads "I" supported and shown, "i" supported but hidden, "-".
std::string summary(const std::vector<DeviceBookmark>& list) {
  std::string s;
  for (const DeviceBookmark& b : list) {
    s += b.id + (b.name != b.id ? " '" + b.name + "'#" + b.symbol : "") +
         (b.alias ? " ~" + *b.alias : "");
    s += (b.inputUID ? " in=" + *b.inputUID : "") + (b.outputUID ? " out=" + *b.outputUID : "");
    s += (b.bluetoothAddress ? " bt=" + *b.bluetoothAddress : "") + " ";
    s += b.supportsInput ? (b.showInput ? "I" : "i") : "-";
    s += b.supportsOutput ? (b.showOutput ? "O" : "o") : "-";
    s += "; ";
  }
  return s;
}

TEST(DeviceBookmark, DisplayNameIsTheAliasUnlessItIsOnlyWhiteSpace) {
  const std::pair<std::optional<std::string>, std::string> cases[] = {
      {std::nullopt, "Buds"},
      {"", "Buds"},
      {" \t\n\r", "Buds"},
      {"\u3000", "Buds"},                      // ideographic space
      {"\u00A0\u2003\u2028\u0085", "Buds"},    // no-break, em space, line separator, next line
      {" 我的耳机\u3000", " 我的耳机\u3000"},  // returned as typed, not trimmed
      {"\u200B", "\u200B"},                    // zero-width space is not white space
      {"\xE3\x80", "\xE3\x80"},                // a cut sequence is text
  };
  for (const auto& [alias, shown] : cases) {
    DeviceBookmark b = entry("audio:x", {"name=Buds"});
    b.alias = alias;
    EXPECT_EQ(b.displayName(), shown) << alias.value_or("(none)");
  }
}

TEST(DeviceListPreferences, MergeUpdatesTheSameDeviceAndKeepsTheUsersChoices) {
  const struct {
    const char* story;
    std::vector<DeviceBookmark> before;
    DeviceBookmark merged;
    const char* after;
  } cases[] = {
      {"new device appended",
       {entry("audio:mic", {"in=m"})},
       entry("audio:dac", {"out=d"}),
       "audio:mic in=m I-; audio:dac out=d -O; "},
      {"known device renamed, alias and hidden list kept",
       {entry("audio:dac", {"out=d", "~书房", "hide=out"}), entry("audio:mic", {"in=m"})},
       entry("audio:dac", {"out=d", "name=DAC 2"}),
       "audio:dac 'DAC 2'#DAC 2 ~书房 out=d -o; audio:mic in=m I-; "},
      {"audio entry recognised as Bluetooth: new id in place, alias and visibility kept",
       {entry("audio:spk", {"out=s"}), entry("audio:x", {"in=x", "out=x", "~耳机", "hide=in"}),
        entry("audio:mic", {"in=m"})},
       entry("bluetooth:AA", {"in=x", "out=x", "bt=AA"}),
       "audio:spk out=s -O; bluetooth:AA ~耳机 in=x out=x bt=AA iO; audio:mic in=m I-; "},
      {"audio entries of a device listed as Bluetooth are stale duplicates",
       {entry("audio:o", {"out=o"}), entry("bluetooth:AA", {"bt=AA", "output", "hide=both"}),
        entry("audio:i", {"in=i"}), entry("audio:mic", {"in=m"})},
       entry("bluetooth:AA", {"in=i", "out=o", "bt=AA"}),
       "bluetooth:AA in=i out=o bt=AA Io; audio:mic in=m I-; "},
      {"of two audio entries of the device, the first is upgraded, the second dropped",
       {entry("audio:o", {"out=o", "~A"}), entry("audio:i", {"in=i", "~B"})},
       entry("bluetooth:AA", {"in=i", "out=o", "bt=AA"}),
       "bluetooth:AA ~A in=i out=o bt=AA IO; "},
      {"Bluetooth entry sharing a UID keeps its id when the address changes",
       {entry("bluetooth:OLD", {"out=o", "bt=OLD"})},
       entry("bluetooth:NEW", {"out=o", "bt=NEW"}),
       "bluetooth:OLD 'bluetooth:NEW'# out=o bt=NEW -O; "},
      {"an audio bookmark never takes over another audio entry",
       {entry("audio:x", {"out=o"})},
       entry("audio:y", {"out=o"}),
       "audio:x out=o -O; audio:y out=o -O; "},
      {"a bookmark without UIDs clears none; a known direction keeps the user's hiding",
       {entry("bluetooth:AA", {"in=i", "out=o", "bt=AA", "hide=out"})},
       entry("bluetooth:AA", {"bt=AA", "output"}),
       "bluetooth:AA in=i out=o bt=AA Io; "},
  };
  for (const auto& c : cases) {
    DeviceListPreferences list{c.before};
    list.merge(c.merged);
    EXPECT_EQ(summary(list.devices), c.after) << c.story;
  }
}

TEST(AdvancedPreferences, SeedingFillsOnlyAnAbsentListWithTheShownDevicesOfThatDirection) {
  const std::vector<DeviceBookmark> catalogue = {
      entry("audio:hidden", {"in=h", "out=h", "hide=both"}), entry("audio:spk", {"out=s"}),
      entry("audio:mic", {"in=m"}), entry("bluetooth:AA", {"in=a", "out=a", "bt=AA"}),
      entry("audio:spk", {"out=s"})};
  const struct {
    bool input;
    std::optional<IDs> stored, seeded;
  } cases[] = {
      {false, std::nullopt, IDs{"audio:spk", "bluetooth:AA"}},
      {true, std::nullopt, IDs{"audio:mic", "bluetooth:AA"}},
      {false, IDs{}, IDs{}},  // the user removed every device: stays empty
      {true, IDs{"audio:gone"}, IDs{"audio:gone"}},
  };
  for (const auto& c : cases) {
    AdvancedPreferences advanced;
    (c.input ? advanced.automaticInputIDs : advanced.automaticOutputIDs) = c.stored;
    advanced.seedAutomaticDevices(c.input ? AudioDirection::input : AudioDirection::output,
                                  catalogue);
    EXPECT_EQ(c.input ? advanced.automaticInputIDs : advanced.automaticOutputIDs, c.seeded);
    EXPECT_FALSE(c.input ? advanced.automaticOutputIDs : advanced.automaticInputIDs)
        << "other direction untouched";
  }
}

TEST(AdvancedPreferences, RemappingPutsTheBluetoothIdWhereTheAudioIdStood) {
  const std::vector<DeviceBookmark> previous = {
      entry("audio:spk", {"out=s"}), entry("audio:x", {"in=x", "out=x"}),
      entry("bluetooth:BB", {"out=b", "bt=BB"}), entry("audio:in", {"in=y"})};
  const std::vector<DeviceBookmark> current = {entry("audio:spk", {"out=s"}),
                                               entry("bluetooth:AA", {"in=x", "out=x", "bt=AA"}),
                                               entry("bluetooth:CC", {"out=y", "bt=CC"})};
  const std::pair<std::optional<IDs>, std::optional<IDs>> cases[] = {
      {IDs{"audio:spk", "audio:x"}, IDs{"audio:spk", "bluetooth:AA"}},
      {IDs{"audio:x", "audio:spk", "bluetooth:AA"},
       IDs{"bluetooth:AA", "audio:spk"}},  // once, at the better rank
      {IDs{"audio:never", "bluetooth:BB"},
       IDs{"audio:never", "bluetooth:BB"}},  // unknown or Bluetooth: stay
      {IDs{"audio:in"}, IDs{"audio:in"}},    // shares a UID only in the other direction
      {IDs{"audio:spk", "audio:spk"}, IDs{"audio:spk"}},
      {std::nullopt, std::nullopt},
  };
  for (const auto& [stored, remapped] : cases) {
    AdvancedPreferences advanced;
    advanced.automaticOutputIDs = advanced.automaticInputIDs = stored;
    advanced.remapAutomaticDevices(previous, current);
    EXPECT_EQ(advanced.automaticOutputIDs, remapped);
    EXPECT_EQ(advanced.automaticInputIDs, remapped);
  }
}

TEST(UniqueIDs, KeepsTheFirstOccurrenceInOrder) {
  EXPECT_EQ(uniqueIDs({"b", "a", "b", "c", "a"}), (IDs{"b", "a", "c"}));
  EXPECT_EQ(uniqueIDs({"audio:x", "audio:X"}), (IDs{"audio:x", "audio:X"}));
}

}  // namespace
}  // namespace velmora::settings

// The device list's own rules: display names, merging bookmarks, and the automatic priority lists
// (candidates, including and excluding, moving, following a device from "audio:" to "bluetooth:").
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "settings/AdvancedPreferences.h"

namespace velmora::settings {
namespace {

using IDs = std::vector<std::string>;
constexpr AudioDirection kOut = AudioDirection::output;
constexpr AudioDirection kIn = AudioDirection::input;

// A bookmark from "id field…": "in=UID" and "out=UID" make the direction supported and shown;
// "bt=ADDR", "~alias", "name=TEXT", "hide=in|out|both", "output" (supported, no UID).
DeviceBookmark entry(const std::string& fields) {
  std::istringstream words(fields);
  DeviceBookmark b;
  words >> b.id;
  b.name = b.id;
  for (std::string f; words >> f;) {
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

// Entries separated by commas.
std::vector<DeviceBookmark> entries(const std::string& text) {
  std::vector<DeviceBookmark> list;
  std::istringstream in(text);
  for (std::string one; std::getline(in, one, ',');) list.push_back(entry(one));
  return list;
}

TEST(DeviceBookmark, DisplayNameIsTheAliasUnlessItIsOnlyWhiteSpace) {
  const std::pair<std::optional<std::string>, std::string> cases[] = {
      {std::nullopt, "Buds"},
      {"\u3000", "Buds"},                      // ideographic space
      {"\u00A0\u2003\u2028\u0085", "Buds"},    // no-break, em space, line separator, next line
      {" 我的耳机\u3000", " 我的耳机\u3000"},  // returned as typed, not trimmed
      {"\u200B", "\u200B"},                    // zero-width space is not white space
      {"\xE3\x80", "\xE3\x80"},                // a cut sequence is text
  };
  for (const auto& [alias, shown] : cases) {
    DeviceBookmark b = entry("audio:x name=Buds");
    b.alias = alias;
    EXPECT_EQ(b.displayName(), shown) << alias.value_or("(none)");
  }
}

TEST(DeviceListPreferences, MergeUpdatesTheSameDeviceAndKeepsTheUsersChoices) {
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"new device appended", "audio:mic in=m", "audio:dac out=d",
       "audio:mic in=m, audio:dac out=d"},
      {"known device renamed, alias and hidden list kept",
       "audio:dac out=d ~书房 hide=out, audio:mic in=m", "audio:dac out=d name=DAC2",
       "audio:dac out=d name=DAC2 ~书房 hide=out, audio:mic in=m"},
      {"audio entry recognised as Bluetooth: new id in place, alias and visibility kept",
       "audio:spk out=s, audio:x in=x out=x ~耳机 hide=in, audio:mic in=m",
       "bluetooth:AA in=x out=x bt=AA",
       "audio:spk out=s, bluetooth:AA in=x out=x bt=AA ~耳机 hide=in, audio:mic in=m"},
      {"audio entries of a device listed as Bluetooth are stale duplicates",
       "audio:o out=o, bluetooth:AA bt=AA output hide=both, audio:i in=i, audio:mic in=m",
       "bluetooth:AA in=i out=o bt=AA", "bluetooth:AA in=i out=o bt=AA hide=out, audio:mic in=m"},
      {"of two audio entries of the device, the first is upgraded, the second dropped",
       "audio:o out=o ~A, audio:i in=i ~B", "bluetooth:AA in=i out=o bt=AA",
       "bluetooth:AA in=i out=o bt=AA ~A"},
      {"Bluetooth entry sharing a UID keeps its id when the address changes",
       "bluetooth:OLD out=o bt=OLD", "bluetooth:NEW out=o bt=NEW name=Buds",
       "bluetooth:OLD out=o bt=NEW name=Buds"},
      {"an audio bookmark never takes over another audio entry", "audio:x out=o", "audio:y out=o",
       "audio:x out=o, audio:y out=o"},
      {"a bookmark without UIDs clears none; a known direction keeps the user's hiding",
       "bluetooth:AA in=i out=o bt=AA hide=out", "bluetooth:AA bt=AA output",
       "bluetooth:AA in=i out=o bt=AA hide=out"},
  };
  for (const auto& [story, before, merged, after] : cases) {
    DeviceListPreferences list{entries(before)};
    list.merge(entry(merged));
    EXPECT_EQ(list.devices, entries(after)) << story;
  }
}

// "mic" is input only, "hidden" an output the user hid, "gone" not in the catalogue; "a" is
// listed twice.
const std::vector<DeviceBookmark> kCatalog =
    entries("a out=a, mic in=m, b out=b, hidden out=h hide=out, c in=c out=c, a out=a");

TEST(AutomaticDevices, CandidatesSeedingIncludingAndExcludingFollowTheCatalogueAndDirection) {
  AdvancedPreferences advanced;
  advanced.seedAutomaticDevices(kOut, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, (IDs{"a", "b", "c"})) << "the shown outputs, once each";
  advanced.automaticOutputIDs = IDs{"gone", "c", "mic", "a", "c", "hidden"};
  const std::vector candidates{kCatalog[4], kCatalog[0], kCatalog[3]};
  EXPECT_EQ(advanced.automaticDevices(kOut, kCatalog), candidates);
  EXPECT_TRUE(advanced.automaticDevices(kIn, kCatalog).empty()) << "absent list: none";

  // Including seeds the absent input list first, from the shown input bookmarks.
  advanced.setAutomaticDevice("a", kIn, true, kCatalog);
  EXPECT_EQ(advanced.automaticInputIDs, (IDs{"mic", "c"})) << "an output-only id is not included";
  advanced.setAutomaticDevice("c", kIn, true, kCatalog);
  EXPECT_EQ(advanced.automaticInputIDs, (IDs{"mic", "c"})) << "already listed: not appended again";

  // Excluding removes every occurrence and drops repeats; unknown ids stay.
  advanced.setAutomaticDevice("c", kOut, false, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, (IDs{"gone", "mic", "a", "hidden"}));
  advanced.setAutomaticDevice("b", kOut, true, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, (IDs{"gone", "mic", "a", "hidden", "b"}));

  // The last id removed: an empty list is the user's and is not seeded again.
  advanced.automaticOutputIDs = IDs{"a"};
  advanced.setAutomaticDevice("a", kOut, false, kCatalog);
  advanced.setAutomaticDevice("gone", kOut, true, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, IDs{});
  advanced.seedAutomaticDevices(kOut, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, IDs{});
}

TEST(AutomaticDevices, MovingStepsAmongCandidatesOnlyAndClampsAtTheEnds) {
  const std::tuple<std::optional<IDs>, std::string, int, std::optional<IDs>> cases[] = {
      // Non-candidates ("gone", "mic") are no neighbours and keep their relative places.
      {IDs{"a", "gone", "mic", "b", "c"}, "a", 1, IDs{"gone", "mic", "b", "a", "c"}},
      {IDs{"a", "gone", "b", "c"}, "c", -9, IDs{"c", "a", "gone", "b"}},  // clamped to the top
      {IDs{"a", "gone", "b", "c"}, "a", 9, IDs{"gone", "b", "c", "a"}},   // clamped to the bottom
      {IDs{"a", "b", "c", "gone"}, "c", 1, IDs{"a", "b", "c", "gone"}},   // last candidate: nothing
      {IDs{"a", "b"}, "mic", -1, IDs{"a", "b"}},                          // not a candidate
      {IDs{"b", "a", "b"}, "a", -1, IDs{"a", "b"}},  // repeats dropped on a move
      {std::nullopt, "c", -1, IDs{"a", "c", "b"}},   // seeded once each from the shown outputs
  };
  for (const auto& [stored, id, offset, moved] : cases) {
    AdvancedPreferences advanced;
    advanced.automaticOutputIDs = stored;
    advanced.moveAutomaticDevice(id, kOut, offset, kCatalog);
    EXPECT_EQ(advanced.automaticOutputIDs, moved) << id << " by " << offset;
    EXPECT_FALSE(advanced.automaticInputIDs) << "the other direction is not seeded";
  }
}

TEST(AutomaticDevices, RemappingPutsTheBluetoothIdWhereTheAudioIdStood) {
  const auto previous = entries(
      "audio:spk out=s, audio:x in=x out=x, bluetooth:BB out=b bt=BB, "
      "audio:in in=y");
  const auto current = entries(
      "audio:spk out=s, bluetooth:AA in=x out=x bt=AA, "
      "bluetooth:CC out=y bt=CC");
  const std::pair<std::optional<IDs>, std::optional<IDs>> cases[] = {
      {IDs{"audio:spk", "audio:x"}, IDs{"audio:spk", "bluetooth:AA"}},
      {IDs{"audio:x", "audio:spk", "bluetooth:AA"}, IDs{"bluetooth:AA", "audio:spk"}},  // once
      {IDs{"audio:never", "bluetooth:BB"}, IDs{"audio:never", "bluetooth:BB"}},  // these stay
      {IDs{"audio:in"}, IDs{"audio:in"}},  // shares a UID only in the other direction
      {IDs{"audio:spk", "audio:spk", "audio:SPK"}, IDs{"audio:spk", "audio:SPK"}},
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

}  // namespace
}  // namespace velmora::settings

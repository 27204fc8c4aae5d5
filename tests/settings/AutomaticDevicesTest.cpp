// The priority lists' editing: candidates, including and excluding, moving with clamped steps.
#include <gtest/gtest.h>

#include "settings/AdvancedPreferences.h"

using velmora::settings::AudioDirection;

namespace velmora::settings {
namespace {

using IDs = std::vector<std::string>;

DeviceBookmark entry(std::string id, bool output, bool input = false, bool shown = true) {
  DeviceBookmark b;
  b.id = b.name = std::move(id);
  b.supportsOutput = output;
  b.supportsInput = input;
  b.showOutput = output && shown;
  b.showInput = input && shown;
  return b;
}

IDs ids(const std::vector<DeviceBookmark>& bookmarks) {
  IDs result;
  for (const DeviceBookmark& b : bookmarks) result.push_back(b.id);
  return result;
}

// "mic" supports only input, "hidden" is an output the user hid, "gone" is not in the catalogue.
const std::vector<DeviceBookmark> kCatalog = {entry("a", true), entry("mic", false, true),
                                              entry("b", true), entry("hidden", true, false, false),
                                              entry("c", true, true)};

TEST(AutomaticDevices, CandidatesAndIncludingFollowTheCatalogueAndTheDirection) {
  AdvancedPreferences advanced;
  advanced.automaticOutputIDs = IDs{"gone", "c", "mic", "a", "c", "hidden"};
  EXPECT_EQ(ids(advanced.automaticDevices(AudioDirection::output, kCatalog)),
            (IDs{"c", "a", "hidden"}));
  EXPECT_EQ(ids(advanced.automaticDevices(AudioDirection::input, kCatalog)), IDs{})
      << "absent list: no candidates";

  // Including seeds the absent input list first, from the shown input bookmarks.
  advanced.setAutomaticDevice("a", AudioDirection::input, true, kCatalog);
  EXPECT_EQ(advanced.automaticInputIDs, (IDs{"mic", "c"})) << "an output-only id is not included";
  advanced.setAutomaticDevice("c", AudioDirection::input, true, kCatalog);
  EXPECT_EQ(advanced.automaticInputIDs, (IDs{"mic", "c"})) << "already listed: not appended again";

  // Excluding removes every occurrence and drops repeats; unknown ids stay.
  advanced.setAutomaticDevice("c", AudioDirection::output, false, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, (IDs{"gone", "mic", "a", "hidden"}));
  advanced.setAutomaticDevice("b", AudioDirection::output, true, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, (IDs{"gone", "mic", "a", "hidden", "b"}));

  // The last id removed: an empty list is the user's and is not seeded again.
  advanced.automaticOutputIDs = IDs{"a"};
  advanced.setAutomaticDevice("a", AudioDirection::output, false, kCatalog);
  advanced.setAutomaticDevice("gone", AudioDirection::output, true, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, IDs{});
  advanced.seedAutomaticDevices(AudioDirection::output, kCatalog);
  EXPECT_EQ(advanced.automaticOutputIDs, IDs{});
}

TEST(AutomaticDevices, MovingStepsAmongCandidatesOnlyAndClampsAtTheEnds) {
  const struct {
    std::optional<IDs> stored;
    std::string id;
    int offset;
    std::optional<IDs> moved;
  } cases[] = {
      // Non-candidates ("gone", "mic") are no neighbours and keep their relative places.
      {IDs{"a", "gone", "mic", "b", "c"}, "a", 1, IDs{"gone", "mic", "b", "a", "c"}},
      {IDs{"a", "gone", "mic", "b", "c"}, "c", -1, IDs{"a", "gone", "mic", "c", "b"}},
      {IDs{"a", "gone", "b", "c"}, "c", -9, IDs{"c", "a", "gone", "b"}},  // clamped to the top
      {IDs{"a", "gone", "b", "c"}, "a", 9, IDs{"gone", "b", "c", "a"}},   // clamped to the bottom
      {IDs{"a", "b", "c", "gone"}, "c", 1, IDs{"a", "b", "c", "gone"}},   // last candidate: nothing
      {IDs{"a", "b", "c"}, "a", 0, IDs{"a", "b", "c"}},
      {IDs{"a", "b"}, "mic", -1, IDs{"a", "b"}},     // not a candidate
      {IDs{"b", "a", "b"}, "a", -1, IDs{"a", "b"}},  // repeats dropped on a move
      {std::nullopt, "c", -1, IDs{"a", "c", "b"}},   // seeded from the shown outputs first
  };
  for (const auto& c : cases) {
    AdvancedPreferences advanced;
    advanced.automaticOutputIDs = c.stored;
    advanced.moveAutomaticDevice(c.id, AudioDirection::output, c.offset, kCatalog);
    EXPECT_EQ(advanced.automaticOutputIDs, c.moved) << c.id << " by " << c.offset;
    EXPECT_FALSE(advanced.automaticInputIDs) << "the other direction is not seeded";
  }
}

}  // namespace
}  // namespace velmora::settings

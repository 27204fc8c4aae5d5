#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "model/HotkeyManager.h"
#include "platform/sim/ScenarioFile.h"
#include "platform/sim/SimulatedHotkeys.h"
#include "platform/sim/SimulatedMachine.h"
#include "settings/Preferences.h"

namespace velmora::model {
namespace {

using platform::HotKeyEventResult;
using platform::HotKeyID;
using platform::sim::SimulatedHotkeys;
using settings::HotkeyAction;
using settings::Shortcut;
using Refusal = SimulatedHotkeys::Refusal;

constexpr uint32_t kControlOption = settings::kControlKey | settings::kOptionKey;
const Shortcut kPanelM{46, settings::kOptionKey | settings::kCommandKey, "M"};
const Shortcut kLouderUp{126, kControlOption, "↑"};
const Shortcut kNextN{45, kControlOption, "n"};

// (key, modifiers, id) of every held registration, oldest first; all must carry our signature.
std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> held(const SimulatedHotkeys& hotkeys) {
  std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> out;
  for (const auto& r : hotkeys.registrations()) {
    EXPECT_EQ(r.id.signature, HotkeyManager::kSignature);
    out.emplace_back(r.key, r.modifiers, r.id.id);
  }
  return out;
}

TEST(HotkeyManager, ApplyRegistersBoundActionsInTableOrderUnderFixedIds) {
  SimulatedHotkeys hotkeys;
  HotkeyManager manager(hotkeys);
  // The map's own order (louder, nextOutput, panel) is not the registration order.
  EXPECT_TRUE(manager.apply({{"nextOutput", kNextN}, {"panel", kPanelM}, {"louder", kLouderUp},
                             {"unknown", Shortcut{1, 0x100, "S"}}})
                  .empty());
  EXPECT_EQ(held(hotkeys), (decltype(held(hotkeys)){
                               {46, 0x900, 1}, {126, kControlOption, 4}, {45, kControlOption, 5}}));
}

TEST(HotkeyManager, RefusedCombinationsAreReportedAndTheOthersStillRegister) {
  const struct {
    Refusal refusal;
  } cases[] = {{Refusal::held}, {Refusal::emptyReference}};
  for (const auto& c : cases) {
    SimulatedHotkeys hotkeys;
    hotkeys.refuse(kLouderUp.key, kLouderUp.modifiers, c.refusal);
    hotkeys.refuse(kPanelM.key, kPanelM.modifiers, c.refusal);
    HotkeyManager manager(hotkeys);
    EXPECT_EQ(manager.apply({{"louder", kLouderUp}, {"panel", kPanelM}, {"nextOutput", kNextN}}),
              (std::vector<std::string>{"打开 / 关闭面板：⌥⌘M 已被占用或无法注册。",
                                        "提高系统音量：⌃⌥↑ 已被占用或无法注册。"}));
    EXPECT_EQ(held(hotkeys), (decltype(held(hotkeys)){{45, kControlOption, 5}}));
  }
}

TEST(HotkeyManager, WithoutAHotkeyServiceEveryBindingIsReported) {
  HotkeyManager manager(platform::hotkeyService());
  EXPECT_EQ(manager.apply(settings::Preferences{}.shortcuts),
            (std::vector<std::string>{"打开 / 关闭面板：⌥⌘M 已被占用或无法注册。"}));
}

TEST(HotkeyManager, ReapplyReleasesEveryHeldHotKeyFirst) {
  SimulatedHotkeys hotkeys;
  HotkeyManager manager(hotkeys);
  hotkeys.refuse(kNextN.key, kNextN.modifiers);
  EXPECT_EQ(manager.apply({{"panel", kPanelM}, {"nextOutput", kNextN}}).size(), 1u);

  // The simulated system refuses a combination still held, so this fails unless apply released
  // the first registration; a combination refused before registers once it is free.
  hotkeys.accept(kNextN.key, kNextN.modifiers);
  EXPECT_TRUE(manager.apply({{"panel", kPanelM}, {"nextOutput", kNextN}}).empty());
  EXPECT_EQ(held(hotkeys), (decltype(held(hotkeys)){{46, 0x900, 1}, {45, kControlOption, 5}}));

  // The same combination moved to another action is held under that action's id.
  EXPECT_TRUE(manager.apply({{"mute", kPanelM}}).empty());
  EXPECT_EQ(held(hotkeys), (decltype(held(hotkeys)){{46, 0x900, 2}}));

  EXPECT_TRUE(manager.apply({}).empty());
  EXPECT_TRUE(hotkeys.registrations().empty());
}

TEST(HotkeyManager, DestructionReleasesEveryHotKeyAndTheHandler) {
  SimulatedHotkeys hotkeys;
  {
    HotkeyManager manager(hotkeys);
    manager.apply({{"panel", kPanelM}, {"louder", kLouderUp}});
    ASSERT_EQ(hotkeys.registrations().size(), 2u);
    ASSERT_EQ(hotkeys.handlerCount(), 1u);
  }
  EXPECT_TRUE(hotkeys.registrations().empty());
  EXPECT_EQ(hotkeys.handlerCount(), 0u);
  EXPECT_EQ(hotkeys.press(HotKeyID{HotkeyManager::kSignature, 1}), HotKeyEventResult::notHandled);
}

TEST(HotkeyManager, DispatchRunsOwnValidIdsAndPassesEverythingElseOn) {
  constexpr uint32_t kOurs = HotkeyManager::kSignature;
  const struct {
    std::optional<HotKeyID> pressed;
    std::optional<HotkeyAction> action;  // absent: not ours, passed on
  } cases[] = {
      {HotKeyID{kOurs, 1}, HotkeyAction::panel},
      {HotKeyID{kOurs, 2}, HotkeyAction::mute},
      {HotKeyID{kOurs, 3}, HotkeyAction::quieter},
      {HotKeyID{kOurs, 4}, HotkeyAction::louder},
      {HotKeyID{kOurs, 5}, HotkeyAction::nextOutput},
      {HotKeyID{kOurs, 0}, std::nullopt},
      {HotKeyID{kOurs, 6}, std::nullopt},
      {HotKeyID{kOurs ^ 0x20, 1}, std::nullopt},  // 'Vlmr' with one letter's case changed
      {HotKeyID{0, 1}, std::nullopt},
      {std::nullopt, std::nullopt},  // event without a readable id
  };
  SimulatedHotkeys hotkeys;
  // An older handler standing for another program: it sees what the manager passes on.
  std::vector<std::optional<HotKeyID>> passedOn;
  hotkeys.installPressedHandler([&](std::optional<HotKeyID> pressed) {
    passedOn.push_back(pressed);
    return HotKeyEventResult::handled;
  });
  HotkeyManager manager(hotkeys);
  std::vector<HotkeyAction> performed;
  manager.onAction = [&](HotkeyAction action) { performed.push_back(action); };

  for (const auto& c : cases) {
    performed.clear();
    passedOn.clear();
    hotkeys.press(c.pressed);
    if (c.action) {
      EXPECT_EQ(performed, std::vector<HotkeyAction>{*c.action});
      EXPECT_TRUE(passedOn.empty());
    } else {
      EXPECT_TRUE(performed.empty());
      EXPECT_EQ(passedOn, std::vector<std::optional<HotKeyID>>{c.pressed});
    }
  }
}

TEST(HotkeyManager, PressingARegisteredCombinationRunsItsAction) {
  SimulatedHotkeys hotkeys;
  HotkeyManager manager(hotkeys);
  std::vector<HotkeyAction> performed;
  manager.onAction = [&](HotkeyAction action) { performed.push_back(action); };
  manager.apply({{"louder", kLouderUp}, {"nextOutput", kNextN}});

  EXPECT_EQ(hotkeys.pressCombination(kNextN.key, kNextN.modifiers), HotKeyEventResult::handled);
  EXPECT_EQ(hotkeys.pressCombination(kLouderUp.key, kLouderUp.modifiers),
            HotKeyEventResult::handled);
  EXPECT_EQ(hotkeys.pressCombination(kPanelM.key, kPanelM.modifiers),
            HotKeyEventResult::notHandled);
  EXPECT_EQ(performed, (std::vector{HotkeyAction::nextOutput, HotkeyAction::louder}));

  manager.onAction = nullptr;  // still ours, so still handled
  EXPECT_EQ(hotkeys.pressCombination(kNextN.key, kNextN.modifiers), HotKeyEventResult::handled);
}

TEST(SimulatedMachine, InstallsItsHotKeysAndLoginItemForItsLifetime) {
  {
    platform::sim::SimulatedMachine machine(platform::sim::builtInScenario());
    EXPECT_EQ(&platform::hotkeyService(), &machine.hotkeys());
    EXPECT_EQ(&platform::loginItemService(), &machine.loginItem());
  }
  // Back to the neutral services: nothing registers, no login item, changes refused.
  EXPECT_FALSE(platform::hotkeyService().registerHotKey(46, 0x900, 1, 1).succeeded());
  EXPECT_EQ(platform::loginItemService().status(), platform::LoginItemStatus::notFound);
  EXPECT_TRUE(platform::loginItemService().registerMainApp().has_value());
}

}  // namespace
}  // namespace velmora::model

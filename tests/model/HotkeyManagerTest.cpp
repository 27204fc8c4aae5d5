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

namespace velmora::model {
namespace {

using platform::HotKeyEventResult;
using platform::HotKeyID;
using platform::sim::SimulatedHotkeys;
using settings::HotkeyAction;
using settings::Shortcut;
using Refusal = SimulatedHotkeys::Refusal;
using Held = std::vector<std::tuple<uint32_t, uint32_t, uint32_t>>;

constexpr uint32_t kCtrlOpt = settings::kControlKey | settings::kOptionKey;
const Shortcut kPanelM{46, settings::kOptionKey | settings::kCommandKey, "M"};
const Shortcut kLouderUp{126, kCtrlOpt, "↑"};
const Shortcut kNextN{45, kCtrlOpt, "n"};

// (key, modifiers, id) of every held registration, oldest first; all must carry our signature.
Held held(const SimulatedHotkeys& hotkeys) {
  Held out;
  for (const auto& r : hotkeys.registrations()) {
    EXPECT_EQ(r.id.signature, HotkeyManager::kSignature);
    out.emplace_back(r.key, r.modifiers, r.id.id);
  }
  return out;
}

// A refused combination is reported and registers once it is free; re-applying releases what the
// manager held first (the simulated system refuses a combination still held), and so does its end.
TEST(HotkeyManager, ApplyRegistersInTableOrderUnderFixedIdsAndReportsRefusals) {
  for (const auto refusal : {Refusal::held, Refusal::emptyReference}) {
    SimulatedHotkeys hotkeys;
    hotkeys.refuse(kLouderUp.key, kLouderUp.modifiers, refusal);
    hotkeys.refuse(kPanelM.key, kPanelM.modifiers, refusal);
    {
      HotkeyManager manager(hotkeys);
      // The map's own order (louder, nextOutput, panel, unknown) is not the registration order.
      const std::map<std::string, Shortcut> table{{"nextOutput", kNextN},
                                                  {"panel", kPanelM},
                                                  {"louder", kLouderUp},
                                                  {"unknown", Shortcut{1, 0x100, "S"}}};
      EXPECT_EQ(manager.apply(table),
                (std::vector<std::string>{"打开 / 关闭面板：Ctrl+Alt+M 已被占用或无法注册。",
                                          "提高系统音量：Alt+Super+↑ 已被占用或无法注册。"}));
      EXPECT_EQ(held(hotkeys), (Held{{45, kCtrlOpt, 5}}));
      hotkeys.accept(kLouderUp.key, kLouderUp.modifiers);
      hotkeys.accept(kPanelM.key, kPanelM.modifiers);
      EXPECT_TRUE(manager.apply(table).empty());
      EXPECT_EQ(held(hotkeys), (Held{{46, 0x900, 1}, {126, kCtrlOpt, 4}, {45, kCtrlOpt, 5}}));
    }
    EXPECT_TRUE(hotkeys.registrations().empty());
    EXPECT_EQ(hotkeys.handlerCount(), 0u);
  }
}

// What the manager does not handle the system passes on to the next program's handler.
TEST(HotkeyManager, DispatchRunsOwnValidIdsAndPassesEverythingElseOn) {
  constexpr uint32_t kOurs = HotkeyManager::kSignature;
  using enum HotkeyAction;
  const std::pair<std::optional<HotKeyID>, std::optional<HotkeyAction>> cases[] = {
      // The first and last of ours; the model tests press the mute shortcut end to end.
      {HotKeyID{kOurs, 1}, panel},
      {HotKeyID{kOurs, 5}, nextOutput},
      // Not ours: 'Vlmr' with one letter's case changed, a foreign signature, no readable id.
      {HotKeyID{kOurs, 0}, {}},
      {HotKeyID{kOurs, 6}, {}},
      {HotKeyID{kOurs ^ 0x20, 1}, {}},
      {HotKeyID{0, 1}, {}},
      {std::nullopt, {}}};
  SimulatedHotkeys hotkeys;
  HotkeyManager manager(hotkeys);
  std::vector<HotkeyAction> performed;
  manager.onAction = [&](HotkeyAction action) { performed.push_back(action); };
  for (const auto& [pressed, action] : cases) {
    performed.clear();
    EXPECT_EQ(hotkeys.press(pressed),
              action ? HotKeyEventResult::handled : HotKeyEventResult::notHandled);
    EXPECT_EQ(performed, action ? std::vector{*action} : std::vector<HotkeyAction>{});
  }
  manager.onAction = nullptr;  // still ours, so still handled
  EXPECT_EQ(hotkeys.press(HotKeyID{kOurs, 5}), HotKeyEventResult::handled);
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

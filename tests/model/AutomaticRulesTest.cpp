// The automatic device rules on the simulated machine, in virtual time: stability, manual
// choices, selections under way, forced runs, editing and failed writes.
#include <gtest/gtest.h>

#include "audio/HAL.h"
#include "tests/model/ModelHarness.h"

using velmora::settings::AudioDirection;

namespace velmora::model {
namespace {

using velmora::test::ModelHarness;
using IDs = std::vector<std::string>;
using namespace velmora::platform::sim;

ScenarioDevice simpleDevice(std::string uid, bool input) {
  ScenarioDevice d;
  d.uid = uid;
  d.name = std::move(uid);
  (input ? d.input : d.output).streams = {2};
  return d;
}

// Outputs speakers (default), dac, hdmi; inputs mic (default), usbmic. No applications, so the
// engine makes no calls of its own.
Scenario rulesMachine() {
  Scenario s = velmora::test::modelMachine();
  s.processes.clear();
  s.devices.push_back(simpleDevice("hdmi", false));
  s.devices.push_back(simpleDevice("usbmic", true));
  return s;
}

AudioObjectID systemDefault(bool input) {
  return *audio::HAL::value<AudioObjectID>(
      kAudioObjectSystemObject,
      input ? kAudioHardwarePropertyDefaultInputDevice : kAudioHardwarePropertyDefaultOutputDevice);
}

TEST(ModelRules, PriorityWinsOnStableTopologyAManualChoiceHoldsAndSelectionsUnderWayBlock) {
  Scenario machine = rulesMachine();
  machine.pairedDevices = velmora::test::withHeadphones().pairedDevices;  // switched off
  ModelHarness h(machine);
  auto id = [&](const std::string& uid) { return h.machine.audio().deviceID(uid); };
  h.model->updateAdvanced([](settings::AdvancedPreferences& advanced) {
    advanced.autoOutput = true;
    advanced.automaticOutputIDs = IDs{"audio:hdmi", "audio:dac", "audio:speakers"};
  });
  h.advance(0.0);  // the paired headphones join the list
  const auto headphones = h.bookmark(velmora::test::kHeadphonesID);
  h.machine.audio().removeDevice("hdmi");  // [A, B, C] with only B and C present

  h.advance(1.5);
  EXPECT_EQ(systemDefault(false), id("speakers"))
      << "topology changed at this refresh: not stable yet";
  h.advance(1.5);
  EXPECT_EQ(systemDefault(false), id("dac"));
  EXPECT_EQ(h.state().outputID, id("dac"));
  EXPECT_FALSE(h.state().errorMessage);

  h.model->selectDevice(id("speakers"), AudioDirection::output);
  h.advance(4.5);
  EXPECT_EQ(systemDefault(false), id("speakers")) << "a manual choice holds while nothing changes";
  h.machine.audio().addDevice(simpleDevice("headset", false));
  h.advance(1.5);
  EXPECT_EQ(systemDefault(false), id("speakers"));
  h.advance(1.5);
  EXPECT_EQ(systemDefault(false), id("dac")) << "a device arrived: the priority applies again";

  h.model->selectDevice(id("speakers"), AudioDirection::output);
  h.machine.bluetooth().holdConnections(true);
  h.model->selectBookmark(headphones, AudioDirection::output);
  h.machine.audio().removeDevice("headset");
  h.advance(4.5);
  EXPECT_EQ(systemDefault(false), id("speakers"))
      << "nothing is switched while a connection is pending";
  h.model->cancelConnection(AudioDirection::output);
  h.advance(1.5);
  EXPECT_EQ(systemDefault(false), id("dac")) << "the change seen meanwhile was not accepted";
}

TEST(ModelRules, SeedingEditingForcedRunsAndFailedWrites) {
  ModelHarness h(rulesMachine());
  auto id = [&](const std::string& uid) { return h.machine.audio().deviceID(uid); };
  const auto stored = [&](bool input) {
    const auto& advanced = *h.state().preferences.advanced;
    return input ? advanced.automaticInputIDs : advanced.automaticOutputIDs;
  };
  IDs outputs, inputs;
  for (const auto& bookmark : h.model->bookmarks())
    (bookmark.supportsInput ? inputs : outputs).push_back(bookmark.id);
  EXPECT_EQ(outputs.size(), 3u);
  EXPECT_EQ(stored(false), outputs) << "seeded in list order";
  EXPECT_EQ(stored(true), inputs);
  h.model->updateAdvanced([](settings::AdvancedPreferences& advanced) {
    advanced.automaticOutputIDs = IDs{"audio:speakers", "audio:dac", "audio:hdmi"};
    advanced.automaticInputIDs = IDs{"audio:mic", "audio:usbmic"};
  });

  // Editing never switches; enabling switches at once but leaves the accepted topology alone,
  // so the first stable evaluation still counts as a change.
  h.model->moveAutomaticDevice("audio:dac", AudioDirection::output, -1);
  h.model->setAutomaticDevice("audio:mic", AudioDirection::output,
                              true);  // not an output: no effect
  EXPECT_EQ(stored(false), (IDs{"audio:dac", "audio:speakers", "audio:hdmi"}));
  EXPECT_EQ(systemDefault(false), id("speakers"));
  h.model->setAutomatic(AudioDirection::output, true);
  EXPECT_TRUE(h.state().preferences.advanced->autoOutput);
  EXPECT_EQ(systemDefault(false), id("dac"));
  EXPECT_EQ(systemDefault(true), id("mic")) << "only the enabled direction runs";
  h.model->moveAutomaticDevice("audio:hdmi", AudioDirection::output, -5);
  EXPECT_EQ(stored(false), (IDs{"audio:hdmi", "audio:dac", "audio:speakers"}));
  EXPECT_EQ(systemDefault(false), id("dac"));
  h.advance(1.5);
  EXPECT_EQ(systemDefault(false), id("hdmi"));

  // A failed write is reported, leaves that default and is not retried; input is still done.
  h.model->selectDevice(id("speakers"), AudioDirection::output);
  h.model->moveAutomaticDevice("audio:usbmic", AudioDirection::input, -1);
  h.model->updateAdvanced(
      [](settings::AdvancedPreferences& advanced) { advanced.autoInput = true; });
  h.machine.audio().addDevice(simpleDevice("headset", false));
  h.machine.audio().failCall(platform::sim::SimulatedCall::setPropertyData, -50, 1);
  h.advance(3.0);
  EXPECT_EQ(h.state().errorMessage, "自动切换失败：设置音频属性失败（Core Audio -50）");
  EXPECT_EQ(systemDefault(false), id("speakers"));
  EXPECT_EQ(h.state().outputID, id("speakers"));
  EXPECT_EQ(systemDefault(true), id("usbmic"));
  h.advance(3.0);
  EXPECT_EQ(systemDefault(false), id("speakers"));

  // No candidate online: nothing written, nothing reported. Then an emptied list stays empty.
  h.model->setAutomaticDevice("audio:hdmi", AudioDirection::output, false);
  h.model->setAutomaticDevice("audio:dac", AudioDirection::output, false);
  h.model->setAutomaticDevice("audio:speakers", AudioDirection::output, false);
  h.model->setAutomaticDevice("audio:headset", AudioDirection::output, true);
  h.machine.audio().removeDevice("headset");
  h.machine.audio().setDefaultDevice("dac", false);
  h.model->selectDevice(id("speakers"), AudioDirection::output);
  h.advance(3.0);
  EXPECT_EQ(stored(false), IDs{"audio:headset"});
  EXPECT_EQ(systemDefault(false), id("speakers"));
  EXPECT_EQ(h.state().errorMessage, "自动切换失败：设置音频属性失败（Core Audio -50）")
      << "unchanged";
  h.model->setAutomaticDevice("audio:headset", AudioDirection::output, false);
  h.model->flush();
  h.model.reset();
  h.startModel();
  EXPECT_EQ(stored(false), IDs{});
}

}  // namespace
}  // namespace velmora::model

// The automatic device rules on the simulated machine, in virtual time: stability, manual
// choices, selections under way, forced runs, editing and failed writes.
#include <gtest/gtest.h>

#include "tests/model/ModelHarness.h"

namespace velmora::test {
namespace {

// Outputs speakers (default), dac, hdmi; inputs mic (default), usbmic. No applications, so the
// engine makes no calls of its own.
Scenario rulesMachine() {
  Scenario s = modelMachine();
  s.processes.clear();
  s.devices.push_back(simDevice("hdmi", "hdmi", {2}));
  s.devices.push_back(simDevice("usbmic", "usbmic", {}, {2}));
  return s;
}

TEST(ModelRules, PriorityWinsOnStableTopologyAManualChoiceHoldsAndSelectionsUnderWayBlock) {
  Scenario machine = rulesMachine();
  machine.pairedDevices = withHeadphones().pairedDevices;  // switched off
  ModelHarness h(machine);
  h.automaticOutputs({"audio:hdmi", "audio:dac", "audio:speakers"});
  h.advance(0.0);  // the paired headphones join the list
  const auto headphones = h.bookmark(kHeadphonesID);
  h.machine.audio().removeDevice("hdmi");  // [A, B, C] with only B and C present

  h.advance(1.5);
  EXPECT_EQ(h.systemDefault(), h.id("speakers")) << "the topology changed at this refresh";
  h.advance(1.5);
  EXPECT_EQ(h.systemDefault(), h.id("dac"));
  EXPECT_EQ(h.state().outputID, h.id("dac"));

  h.select("speakers");
  h.advance(4.5);
  EXPECT_EQ(h.systemDefault(), h.id("speakers")) << "a manual choice holds while nothing changes";
  h.machine.audio().addDevice(simDevice("headset", "headset", {2}));
  h.advance(1.5);
  EXPECT_EQ(h.systemDefault(), h.id("speakers"));
  h.advance(1.5);
  EXPECT_EQ(h.systemDefault(), h.id("dac")) << "a device arrived: the priority applies again";
  h.machine.audio().addDevice(simDevice("tv", "tv", {2}));
  h.advance(1.5);
  h.select("speakers");
  h.advance(3.0);
  EXPECT_EQ(h.systemDefault(), h.id("speakers")) << "a choice accepts the change seen before it";

  h.select("speakers");
  h.machine.bluetooth().holdConnections(true);
  h.model->selectBookmark(headphones, AudioDirection::output);
  h.machine.audio().removeDevice("headset");
  h.advance(4.5);
  EXPECT_EQ(h.systemDefault(), h.id("speakers")) << "nothing switches while a connection waits";
  h.model->cancelConnection(AudioDirection::output);
  h.advance(1.5);
  EXPECT_EQ(h.systemDefault(), h.id("dac")) << "the change seen meanwhile was not accepted";
}

TEST(ModelRules, SeedingEditingForcedRunsAndFailedWrites) {
  ModelHarness h(rulesMachine());
  const auto stored = [&] { return h.state().preferences.advanced->automaticOutputIDs; };
  h.model->updateAdvanced([](settings::AdvancedPreferences& advanced) {
    advanced.automaticOutputIDs = IDs{"audio:speakers", "audio:dac", "audio:hdmi"};
    advanced.automaticInputIDs = IDs{"audio:mic", "audio:usbmic"};
  });

  // Editing never switches; enabling switches at once but leaves the accepted topology alone,
  // so the first stable evaluation still counts as a change.
  h.model->moveAutomaticDevice("audio:dac", AudioDirection::output, -1);
  EXPECT_EQ(h.systemDefault(), h.id("speakers"));
  h.model->setAutomatic(AudioDirection::output, true);
  EXPECT_EQ(h.systemDefault(), h.id("dac"));
  EXPECT_EQ(h.systemDefault(AudioDirection::input), h.id("mic")) << "only that direction runs";
  h.model->moveAutomaticDevice("audio:hdmi", AudioDirection::output, -5);
  EXPECT_EQ(h.systemDefault(), h.id("dac"));
  h.advance(1.5);
  EXPECT_EQ(h.systemDefault(), h.id("hdmi"));

  // A failed write is reported, leaves that default and is not retried; input is still done.
  const std::string failed = "自动切换失败：设置音频属性失败（Core Audio -50）";
  h.select("speakers");
  h.model->moveAutomaticDevice("audio:usbmic", AudioDirection::input, -1);
  h.model->updateAdvanced(
      [](settings::AdvancedPreferences& advanced) { advanced.autoInput = true; });
  h.machine.audio().addDevice(simDevice("headset", "headset", {2}));
  h.failWrites(1);
  h.advance(3.0);
  EXPECT_EQ(h.state().errorMessage, failed);
  EXPECT_EQ(h.systemDefault(), h.id("speakers"));
  EXPECT_EQ(h.state().outputID, h.id("speakers"));
  EXPECT_EQ(h.systemDefault(AudioDirection::input), h.id("usbmic"));
  h.advance(3.0);
  EXPECT_EQ(h.systemDefault(), h.id("speakers"));

  // No candidate online: nothing written, nothing reported.
  for (const char* id : {"audio:hdmi", "audio:dac", "audio:speakers"})
    h.model->setAutomaticDevice(id, AudioDirection::output, false);
  h.model->setAutomaticDevice("audio:headset", AudioDirection::output, true);
  h.machine.audio().removeDevice("headset");
  h.machine.audio().setDefaultDevice("dac", false);
  h.select("speakers");
  h.advance(3.0);
  EXPECT_EQ(stored(), IDs{"audio:headset"});
  EXPECT_EQ(h.systemDefault(), h.id("speakers"));
  EXPECT_EQ(h.state().errorMessage, failed) << "unchanged";
}

}  // namespace
}  // namespace velmora::test

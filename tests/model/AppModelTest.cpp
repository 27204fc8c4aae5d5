// The application model end to end on the simulated machine, in virtual time.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "ModelHarness.h"

namespace velmora::test {
namespace {

using model::AppAudioPresentation;
using Phase = model::AppAudioPresentation::Phase;

TEST(AppModel, FirstSaveWaitsChangesAreDebouncedAndShutdownWritesAtOnce) {
  ModelHarness h;
  EXPECT_FALSE(std::filesystem::exists(h.file())) << "written only after the save delay";
  h.advance(0.35);
  EXPECT_TRUE(h.saved().advanced->automaticOutputIDs && h.saved().advanced->automaticInputIDs);

  std::filesystem::remove(h.file());
  for (int i = 0; i < 10; ++i) {
    h.model->setAppVolume(kMusic, 0.1f * float(i));
    h.mainQueue.advance(0.1);
  }
  h.mainQueue.advance(0.24);
  EXPECT_FALSE(std::filesystem::exists(h.file())) << "not before 0.35 s after the last change";
  h.mainQueue.advance(0.01);
  EXPECT_FLOAT_EQ(h.saved().apps.at(kMusic).volume, 0.9f);

  h.model->setAppVolume(kMusic, 0.25f);
  h.advance(0.0);
  const auto statuses = h.state().statuses;
  ASSERT_FALSE(statuses.empty());
  h.model->shutdown();
  EXPECT_EQ(h.saved().apps.at(kMusic).volume, 0.25f);
  EXPECT_EQ(h.machine.audio().liveProcessingObjects(), 0u);
  h.mainQueue.runPending();
  EXPECT_EQ(h.state().statuses, statuses) << "what the engine says after shutdown is ignored";
}

TEST(AppModel, AnApplicationsVolumeIsHeardLowerUntilSleepOrProcessingOff) {
  ModelHarness h;
  h.model->setAppVolume(kMusic, 0.5f);  // switches processing on
  h.advance(0.0);
  h.machine.audio().render(4);
  h.advance(1.5);
  EXPECT_EQ(h.model->appPresentation(kMusic),
            (AppAudioPresentation{Phase::running, "独立音量", std::nullopt}));
  // The speakers play at 0.5: the application's tone of 0.5 at half volume arrives at 0.125.
  EXPECT_NEAR(h.tone("speakers", 440.0), 0.125, 0.01);

  h.machine.power().sleep();
  EXPECT_EQ(h.machine.audio().liveProcessingObjects(), 0u);
  h.machine.audio().removeDevice("dac");
  h.advance(3.0);
  EXPECT_EQ(h.machine.audio().liveProcessingObjects(), 0u) << "a tick while asleep does nothing";
  EXPECT_EQ(h.state().devices.size(), 3u) << "not even a refresh";
  h.machine.power().wake();
  h.advance(0.0);
  EXPECT_GT(h.machine.audio().liveProcessingObjects(), 0u);
  EXPECT_EQ(h.state().devices.size(), 2u);

  h.model->setProcessing(false);
  EXPECT_TRUE(h.state().statuses.empty());
  EXPECT_EQ(h.model->appPresentation(kMusic).phase, Phase::paused);
  h.advance(0.0);
  EXPECT_EQ(h.machine.audio().liveProcessingObjects(), 0u);
  EXPECT_NEAR(h.tone("speakers", 440.0), 0.25, 0.01) << "its own sound again";
  h.advance(1.5);
  EXPECT_TRUE(h.state().statuses.empty()) << "statuses stay empty while processing is off";
}

TEST(AppModel, OutputVolumesAreRememberedWithinLimitsAndRestoredWhenTheOutputReturns) {
  ModelHarness h;
  h.setVolumeOutside("speakers", 0.502f);
  h.advance(1.5);
  EXPECT_FLOAT_EQ(h.state().preferences.deviceVolumes.at("speakers"), 0.502f);

  h.select("dac");
  EXPECT_FLOAT_EQ(h.state().systemVolume, 0.8f);
  h.model->setSystemVolume(0.3f);
  h.select("speakers");
  EXPECT_FLOAT_EQ(h.state().systemVolume, 0.502f);
  // Someone else turns the DAC up while it is not the default; choosing it again restores 0.3.
  h.setVolumeOutside("dac", 1.0f);
  h.machine.audio().setDefaultDevice("dac", false);
  h.advance(1.5);
  EXPECT_FLOAT_EQ(h.state().systemVolume, 0.3f);

  h.model->toggleSolo("com.example.game");
  h.machine.audio().removeProcess(200);
  h.advance(1.5);
  EXPECT_FALSE(h.state().soloAppID.has_value()) << "a soloed application that left ends the solo";

  h.machine.audio().removeDevice("speakers");
  h.machine.audio().removeDevice("dac");
  h.advance(1.5);
  EXPECT_FALSE(h.state().volumeSupported || h.state().muteSupported || h.state().systemMuted);
  EXPECT_FLOAT_EQ(h.state().systemVolume, 0.3f) << "the last volume stays";
}

// Names and paths from the system, and values from a caller, that the file cannot hold as they
// are: each is cleaned where it enters, so the next ordinary change still reaches the disk.
TEST(AppModel, BytesThatAreNoTextAndNumbersThatAreNoneNeverStopSaving) {
  auto machine = modelMachine();
  machine.devices[1].name = "DAC \xFF";
  machine.processes.push_back({300, "", "/opt/m\xE9sique", {{660.0, 0.5f}}, true, {}});
  ModelHarness h(machine);
  const std::string key = "process:/opt/m\\xE9sique";
  ASSERT_FALSE(h.model->appPresentation(key).statusText.empty()) << "listed under its key";
  EXPECT_EQ(h.bookmark("audio:dac").name, "DAC \uFFFD");

  h.model->setAppVolume(key, 0.5f);
  h.model->renameDevice("audio:dac", "\xC0客厅");
  h.model->setEQ("audio:speakers", {true, {std::nanf(""), 3.0f, INFINITY, 0.0f, 0.0f}});
  h.model->setSystemVolume(0.4f);
  h.advance(0.35);
  const auto read = h.saved();
  EXPECT_EQ(read.apps.at(key).volume, 0.5f);
  EXPECT_EQ(h.bookmark("audio:dac").alias, "\uFFFD客厅");
  EXPECT_EQ(read.deviceList, h.state().preferences.deviceList);
  EXPECT_EQ(read.advanced->equalizers.at("audio:speakers").bands,
            (std::vector<float>{0.0f, 3.0f, 0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(read.deviceVolumes.at("speakers"), 0.4f) << "the last change reached the file";
}

TEST(AppModel, ACorruptSettingsFileIsReportedAndFreshSettingsAreWritten) {
  ModelHarness h(modelMachine(), false);
  { std::ofstream(h.file()) << "{\"version\": 1,"; }
  h.startModel();
  EXPECT_TRUE(h.state().errorMessage.value_or("").starts_with("读取设置失败："));
  h.advance(0.35);
  EXPECT_TRUE(h.saved().deviceList) << "fresh settings written";
}

}  // namespace
}  // namespace velmora::test

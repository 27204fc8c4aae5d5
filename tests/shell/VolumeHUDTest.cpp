// The volume display offscreen in virtual time: where it goes, what it shows, and that it stays
// up while changes keep coming and goes 1.3 s after the last.
#include <gtest/gtest.h>

#include "platform/dispatch/ManualScheduler.h"
#include "shell/VolumeHUD.h"

namespace velmora::shell {
namespace {

using settings::AudioDirection;

TEST(VolumeHUD, PlacedCentredNearTheTopInTheMiddleOrAboveTheBottomOfAnyScreen) {
  const QRect primary(0, 32, 1920, 1048), second(1920, 0, 1280, 1024);
  const std::tuple<QRect, std::string, QRect> cases[] = {
      {primary, "top", {820, 68, 280, 84}},
      {primary, "center", {820, 514, 280, 84}},
      {primary, "bottom", {820, 936, 280, 84}},
      {primary, "sideways", {820, 936, 280, 84}},  // an unknown value is the bottom
      {second, "center", {2420, 470, 280, 84}},
  };
  for (const auto& [available, position, frame] : cases) {
    EXPECT_EQ(hudFrame(available, position), frame) << position;
  }
}

TEST(VolumeHUD, OneWindowStaysWhileChangesComeAndHidesAfterTheLast) {
  platform::ManualClock clock;
  platform::ManualScheduler queue(clock);
  VolumeHUDController hud(queue);
  settings::InterfaceSettings settings;
  settings.hudEnabled = false;
  hud.show("扬声器", 0.5f, false, AudioDirection::output, settings);
  EXPECT_EQ(hud.window(), nullptr) << "switched off: nothing appears";

  settings.hudEnabled = true;
  for (const float volume : {0.4f, 0.45f, 0.505f}) {
    hud.show("扬声器", volume, false, AudioDirection::output, settings);
    queue.advance(0.3);
  }
  VolumeHUDView* window = hud.window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->valueText(), "51%");
  EXPECT_EQ(window->symbol(), "speaker.wave.2.fill");
  EXPECT_TRUE(window->windowFlags() & Qt::WindowTransparentForInput);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowDoesNotAcceptFocus);
  queue.advance(0.99);
  EXPECT_TRUE(window->isVisible()) << "1.29 s after the last change";
  queue.advance(0.01);
  EXPECT_FALSE(window->isVisible());

  hud.show("麦克风", 0.8f, true, AudioDirection::input, settings);
  EXPECT_EQ(hud.window(), window) << "the window is reused";
  EXPECT_EQ(window->valueText(), "静音");
  EXPECT_EQ(window->symbol(), "mic.slash.fill");
  hud.hide();
  EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace velmora::shell

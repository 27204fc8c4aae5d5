// The tray program's own behaviour offscreen, on the simulated machine in virtual time: the first
// launch opens the panel, scrolling on the icon steps the volume, compact resizes the pop-over,
// the panel's buttons open the settings window, the volume display comes and goes, and an output
// without volume says so.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QScreen>
#include <filesystem>

#include "platform/dispatch/ManualScheduler.h"
#include "platform/sim/SimulatedMachine.h"
#include "shell/AppDelegate.h"
#include "shell/Popover.h"
#include "shell/VolumeHUD.h"
#include "tests/model/ModelHarness.h"
#include "ui/MainPanel.h"
#include "ui/PanelTheme.h"
#include "ui/SettingsWindow.h"

namespace velmora::shell {
namespace {

class Program {
 public:
  Program()
      : machine(test::modelMachine()),
        folder(std::filesystem::temp_directory_path() /
               ("velmora-delegate-" + std::to_string(::getpid()))),
        queue(clock) {
    std::filesystem::remove_all(folder);
  }
  ~Program() {
    delegate.reset();
    std::filesystem::remove_all(folder);
  }
  void start(bool show) {
    delegate.reset();
    AppDelegate::Options options;
    options.settingsFile = folder / "settings.json";
    options.shellSettingsFile = folder / "shell.conf";
    options.show = show;
    options.trayWaitMs = 1 << 30;  // no tray here, and no fallback either
    delegate = std::make_unique<AppDelegate>(queue, options);
  }
  void advance(double seconds) {
    queue.advance(seconds);
    delegate->model().engine().queue().sync([] {});
    queue.runPending();
    QCoreApplication::processEvents();
  }
  float volume() const { return delegate->model().state().systemVolume; }

  platform::sim::SimulatedMachine machine;
  std::filesystem::path folder;
  platform::ManualClock clock;
  platform::ManualScheduler queue;
  std::unique_ptr<AppDelegate> delegate;
};

QAbstractButton* button(QWidget* root, const QString& name) {
  for (auto* b : root->findChildren<QAbstractButton*>()) {
    if ((b->accessibleName() == name || b->text() == name) && b->isVisibleTo(root)) return b;
  }
  ADD_FAILURE() << "no button " << name.toStdString();
  return nullptr;
}

TEST(AppDelegate, LaunchesScrollsOpensSettingsShowsTheVolumeAndMeetsAnOutputWithoutOne) {
  Program program;
  // The first launch opens the panel; later ones only when asked.
  const std::pair<bool, bool> launches[] = {{false, true}, {false, false}, {true, true}};
  for (const auto& [show, opens] : launches) {
    program.start(show);
    program.advance(0.4);
    EXPECT_EQ(program.delegate->popover().isVisible(), opens) << show;
  }
  AppDelegate& delegate = *program.delegate;
  program.advance(1.0);
  // The step sizes are the gesture's; here the wheel's notches are gathered from partial deltas.
  const float start = program.volume();
  delegate.scroll(60);
  EXPECT_FLOAT_EQ(program.volume(), start) << "half a notch waits for the rest";
  delegate.scroll(60);
  delegate.scroll(-240);
  EXPECT_FLOAT_EQ(program.volume(), start - 0.0625f) << "a notch, then two at once";
  delegate.model().updateAdvanced([](settings::AdvancedPreferences& advanced) {
    advanced.interface.scrollVolume = false;
    advanced.interface.compact = true;
  });
  delegate.scroll(120);
  EXPECT_FLOAT_EQ(program.volume(), start - 0.0625f) << "scrolling switched off";
  EXPECT_EQ(delegate.popover().height(), ui::PanelTheme::compactHeight);

  // The panel opens one settings window, where it asks.
  ui::MainPanel* panel = delegate.popover().panel();
  button(panel, "打开设置窗口")->click();
  ui::SettingsWindow* window = delegate.settingsWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(delegate.popover().isVisible());
  EXPECT_EQ(window->navigation().section(), ui::SettingsSection::general);
  window->close();
  delegate.show();
  panel->setDestination(ui::PanelDestination{ui::PanelDestination::Kind::app, "com.example.music"});
  QCoreApplication::processEvents();
  button(panel, "管理多输出")->click();
  EXPECT_EQ(delegate.settingsWindow(), window) << "made once, kept";
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->navigation().section(), ui::SettingsSection::devices);
  EXPECT_EQ(window->navigation().deviceTab(), ui::DeviceSettingsTab::multi);

  // The volume display stays while changes come and goes 1.3 s after the last; the same window
  // shows the microphone's mute. It never takes the focus.
  delegate.model().setSystemVolume(0.3f);
  program.advance(1.0);
  delegate.model().setSystemVolume(0.505f);
  VolumeHUDView* hud = delegate.hud().window();
  ASSERT_TRUE(hud && hud->isVisible());
  EXPECT_EQ(hud->valueText(), "51%");
  EXPECT_EQ(hud->windowFlags() & (Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
            Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
  program.advance(1.29);
  EXPECT_TRUE(hud->isVisible());
  program.advance(0.01);
  EXPECT_FALSE(hud->isVisible());
  delegate.model().toggleInputMute();
  EXPECT_EQ(delegate.hud().window(), hud);
  EXPECT_TRUE(hud->isVisible());
  EXPECT_EQ(hud->valueText(), "静音");
  EXPECT_EQ(hud->symbol(), "mic.slash.fill");

  // The display's options in the settings window reach it.
  delegate.openSettings(ui::SettingsSection::general, ui::DeviceSettingsTab::favorites);
  button(window, "显示音量浮窗")->click();
  EXPECT_FALSE(hud->isVisible()) << "switched off, gone at once";
  delegate.model().setSystemVolume(0.4f);
  EXPECT_FALSE(hud->isVisible()) << "switched off, nothing appears";
  button(window, "显示音量浮窗")->click();
  program.advance(0.0);
  button(window, "屏幕中央")->click();
  button(window, "预览浮窗")->click();
  EXPECT_TRUE(hud->isVisible());
  EXPECT_TRUE(hud->symbol().startsWith("speaker")) << "the output's volume";
  EXPECT_EQ(hud->geometry(),
            hudFrame(QGuiApplication::primaryScreen()->availableGeometry(), "center"));

  // An output without volume: scrolling says so and opens the panel.
  program.machine.audio().addDevice(test::simDevice("plain", "Plain", {2}));
  program.machine.audio().setDefaultDevice("plain", false);
  delegate.model().updateAdvanced([](auto& advanced) { advanced.interface.scrollVolume = true; });
  program.advance(1.0);
  delegate.popover().hide();
  delegate.scroll(120);
  EXPECT_EQ(delegate.model().state().errorMessage,
            "当前设备不支持系统音量调节，请使用设备自身的音量控制。");
  EXPECT_TRUE(delegate.popover().isVisible());
}

TEST(VolumeHUD, PlacedCentredNearTheTopInTheMiddleOrAboveTheBottomOfAnyScreen) {
  const QRect primary(0, 32, 1920, 1048), second(1920, 0, 1280, 1024);
  EXPECT_EQ(hudFrame(second, "top"), QRect(2420, 36, 280, 84));
  EXPECT_EQ(hudFrame(primary, "center"), QRect(820, 514, 280, 84));
  EXPECT_EQ(hudFrame(primary, "sideways"), QRect(820, 936, 280, 84)) << "as at the bottom";
}

}  // namespace
}  // namespace velmora::shell

#include "shell/AppDelegate.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QMenu>
#include <QSettings>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <iostream>

#include "platform/dispatch/Clock.h"
#include "shell/Popover.h"
#include "shell/StatusNotifierItem.h"
#include "ui/ModelBridge.h"
#include "ui/PanelIcons.h"
#include "ui/SceneViews.h"
#include "ui/SettingsWindow.h"

namespace velmora::shell {
namespace {

constexpr double kFirstShowDelay = 0.4;
constexpr int kScrollNotch = 120;
constexpr const char* kToolTip = "Velmora — 音量与设备";
constexpr const char* kSimulatedNotice = "未连接到系统音频服务，显示的是模拟设备。";
constexpr const char* kNoVolumeOnScroll = "当前设备不支持系统音量调节，请使用设备自身的音量控制。";

// Drawn in the desktop's text colour, the nearest thing to the tray's own tint.
QImage trayImage() {
  return ui::panelIcon(QStringLiteral("waveform"), qApp->palette().color(QPalette::WindowText), 64)
      .toImage();
}

}  // namespace

AppDelegate::AppDelegate(platform::MainQueue& queue, Options options)
    : queue_(queue), options_(std::move(options)) {
  // The icon first: the tray hears of the program before the model and the panel are built.
  // Its signals arrive through the event loop, once everything below exists.
  menu_ = new QMenu();
  menu_->addAction(QStringLiteral("退出 Velmora"), qApp, &QCoreApplication::quit);
  createTray();
  model_ = std::make_unique<model::AppModel>(
      true, settings::PreferencesStore(options_.settingsFile),
      model::AppModel::Services{queue_, audio::AudioEngine::sleepingPause()});
  bridge_ = std::make_unique<ui::ModelBridge>(*model_);
  popover_ = std::make_unique<Popover>(
      *bridge_,
      [this](ui::SettingsSection section, ui::DeviceSettingsTab tab) {
        openSettings(section, tab);
      },
      options_.simulated ? QString::fromUtf8(kSimulatedNotice) : QString());

  hud_ = std::make_unique<VolumeHUDController>(queue_);
  model_->togglePanel = [this] { toggle(std::nullopt); };
  model_->onVolumeHUD = [this](const std::string& name, float volume, bool muted,
                               settings::AudioDirection direction) {
    hud_->show(name, volume, muted, direction, interface());
  };
  model_->onInterfaceChanged = [this] {
    popover_->applyInterface();
    if (!interface().hudEnabled) hud_->hide();
  };

  QSettings shellSettings(QString::fromStdString(options_.shellSettingsFile.string()),
                          QSettings::IniFormat);
  if (options_.show || !shellSettings.value(QStringLiteral("hasLaunched"), false).toBool()) {
    queue_.after(kFirstShowDelay, [this] { show(); });
  }
  shellSettings.setValue(QStringLiteral("hasLaunched"), true);
}

AppDelegate::~AppDelegate() {
  model_->togglePanel = nullptr;
  model_->onVolumeHUD = nullptr;
  model_->onInterfaceChanged = nullptr;
  hud_->hide();
  settingsWindow_.reset();
  model_->shutdown();
  popover_.reset();
  delete menu_;
}

void AppDelegate::createTray() {
  statusItem_ = new StatusNotifierItem(
      QDBusConnection::sessionBus(), QStringLiteral("com.local.Ombrel"), QStringLiteral("Velmora"),
      QString::fromUtf8(kToolTip), trayImage(), this);
  connect(statusItem_, &StatusNotifierItem::activated, this,
          [this](int x, int y) { toggle(QPoint(x, y)); });
  connect(statusItem_, &StatusNotifierItem::scrolled, this, &AppDelegate::scroll);
  connect(statusItem_, &StatusNotifierItem::contextMenuRequested, this,
          [this](int x, int y) { menu_->popup(QPoint(x, y)); });
  connect(statusItem_, &StatusNotifierItem::registeredWithWatcher, this, [this] {
    // A tray that comes late replaces the stand-in.
    if (fallbackIcon_ != nullptr) fallbackIcon_->hide();
  });
  // At login the program often starts before the desktop's tray.
  QTimer::singleShot(options_.trayWaitMs, this, [this] {
    if (!statusItem_->registered()) fallBackWithoutWatcher();
  });
}

void AppDelegate::fallBackWithoutWatcher() {
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    // Qt's tray icon gives neither the click position nor scrolling: clicks only.
    fallbackIcon_ = new QSystemTrayIcon(QIcon(QPixmap::fromImage(trayImage())), this);
    fallbackIcon_->setToolTip(QString::fromUtf8(kToolTip));
    fallbackIcon_->setContextMenu(menu_);
    connect(fallbackIcon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              if (reason == QSystemTrayIcon::Trigger) toggle(std::nullopt);
            });
    fallbackIcon_->show();
    return;
  }
  std::cerr << "velmora: the desktop shows no tray icons; the panel opens as a window.\n";
  popover_->becomeWindow();
  popover_->showAt(std::nullopt);
}

settings::InterfaceSettings AppDelegate::interface() const {
  const auto& advanced = model_->state().preferences.advanced;
  return advanced ? advanced->interface : settings::InterfaceSettings {};
}

void AppDelegate::openSettings(ui::SettingsSection section, ui::DeviceSettingsTab tab) {
  popover_->hide();
  if (!settingsWindow_) {
    settingsWindow_ = std::make_unique<ui::SettingsWindow>(
        *bridge_, QString::fromStdString(options_.shellSettingsFile.string()));
    settingsWindow_->setScenesSection(
        new ui::ScenesSection(*bridge_, settingsWindow_->navigation()));
  }
  settingsWindow_->open(section, tab);
}

void AppDelegate::show() { popover_->showAt(std::nullopt); }

void AppDelegate::toggle(std::optional<QPoint> anchor) { popover_->toggle(anchor); }

bool AppDelegate::perform(const QString& action) {
  const auto parsed = settings::hotkeyActionFromRawValue(action.toStdString());
  if (!parsed) return false;
  model_->perform(*parsed);
  return true;
}

void AppDelegate::scroll(int delta) {
  // A wheel sends one notch per 120; a fine-grained device sends less at a time.
  scrollRemainder_ += delta;
  while (scrollRemainder_ >= kScrollNotch || scrollRemainder_ <= -kScrollNotch) {
    const int direction = scrollRemainder_ > 0 ? 1 : -1;
    scrollRemainder_ -= direction * kScrollNotch;
    scrollStep(direction);
  }
}

void AppDelegate::scrollStep(int direction) {
  const auto advanced = model_->state().preferences.advanced;
  if (advanced && !advanced->interface.scrollVolume) return;
  auto [device, volume] = model_->hardwareDefaultOutput();
  if (device != model_->state().outputID) {
    model_->refresh(true);
    gesture_.reset();
  }
  if (!volume) {
    model_->reportError(kNoVolumeOnScroll);
    show();
    return;
  }
  if (const auto next =
          gesture_.next(direction, false, false, false, device, *volume, queue_.clock().now())) {
    model_->setSystemVolume(*next);
  }
}

}  // namespace velmora::shell

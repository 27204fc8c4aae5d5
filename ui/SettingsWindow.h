// The settings window: a sidebar with the sections general, devices and scenes, the error
// banner, and the section's content. It is an ordinary decorated window, made on first use and
// kept for the program's run: closing it only hides it. Its frame is remembered in a settings
// file and restored; a remembered frame that meets no screen any more is centred instead.
//
// The scenes section's content (the scene list and a scene's page) comes from outside through
// setScenesSection(); the window draws the subtitle over the list and the back button over a
// scene, both following navigation().sceneID().
//
// Threading: the main thread.
#pragma once

#include <QString>
#include <QWidget>
#include <array>

#include "ui/SettingsNavigation.h"

class QAbstractButton;
class QLabel;
class QScrollArea;
class QStackedWidget;

namespace velmora::ui {

class ErrorBanner;
class ModelBridge;
class PanelIconButton;
class SegmentedPicker;

class SettingsWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 700;
  static constexpr int kHeight = 650;
  static constexpr int kMinimumWidth = 660;
  static constexpr int kMinimumHeight = 520;
  // The key of the remembered frame in `frameFile`.
  static constexpr const char* kFrameKey = "Ombrel.Settings";

  // `frameFile` is the settings file (INI) the frame is kept in.
  SettingsWindow(ModelBridge& bridge, QString frameFile, QWidget* parent = nullptr);
  ~SettingsWindow() override;

  // Shows the window at a section and device tab, back at the scene list, raised and active.
  void open(SettingsSection section, DeviceSettingsTab tab);

  SettingsNavigation& navigation() { return navigation_; }
  // Places the scenes section's content; the window takes it over (and deletes the one before).
  // It sits in a scroll area that gives it the content's width.
  void setScenesSection(QWidget* scenes);
  QWidget* scenesSection() const { return scenes_; }
  // The content of one device tab (for tests and pictures).
  QWidget* devicePage(DeviceSettingsTab tab) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void follow();
  void applyAppearance();
  void restoreFrame();
  void saveFrame() const;
  QWidget* buildSidebar();
  QWidget* buildDevicesPage();
  QWidget* buildScenesPage();

  ModelBridge& bridge_;
  QString frameFile_;
  SettingsNavigation navigation_;
  std::array<QAbstractButton*, 3> sidebar_{};
  ErrorBanner* banner_ = nullptr;
  QStackedWidget* sections_ = nullptr;
  SegmentedPicker* tabs_ = nullptr;
  QStackedWidget* tabPages_ = nullptr;
  std::array<QWidget*, 3> tabContent_{};
  QLabel* scenesSubtitle_ = nullptr;
  PanelIconButton* scenesBack_ = nullptr;
  QScrollArea* scenesScroll_ = nullptr;
  QWidget* scenes_ = nullptr;
};

}  // namespace velmora::ui

// The panel's home page: the current output and input with the other devices of the list, then
// one row per audio application.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/DeviceWidgets.h"

class QLabel;
class QVBoxLayout;

namespace velmora::ui {

class AppMuteButton;
class AppOfflineNotice;
class AppSoloButton;
class AppVolumeControl;
class ModelBridge;

using AppCallback = std::function<void(const std::string& appID)>;

// The route button of an application row: the route caption and a small chevron.
class RouteButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit RouteButton(QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class AppVolumeRow : public QWidget {
  Q_OBJECT
 public:
  AppVolumeRow(ModelBridge& bridge, const audio::AudioApp& app, std::function<void()> open,
               QWidget* parent = nullptr);
  const std::string& appID() const { return app_.id; }
  void setApp(const audio::AudioApp& app);
  void setDivider(bool divider);
  void refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ModelBridge& bridge_;
  audio::AudioApp app_;
  std::function<void()> open_;
  bool divider_ = false;
  bool ownIcon_ = false;
  QLabel* icon_;
  QLabel* name_;
  QLabel* caption_;
  AppVolumeControl* volume_;
  AppMuteButton* mute_;
  AppSoloButton* solo_;
  RouteButton* route_;
  AppOfflineNotice* offline_;
};

// One device section (output or input): the current device's card, or the empty texts, then
// the rows of the other shown devices.
class DeviceSection : public QWidget {
  Q_OBJECT
 public:
  DeviceSection(ModelBridge& bridge, AudioDirection direction, BookmarkCallback effects,
                QWidget* parent = nullptr);
  void refresh();

 private:
  ModelBridge& bridge_;
  AudioDirection direction_;
  BookmarkCallback effects_;
  CurrentDeviceCard* card_;
  QLabel* empty_;
  QLabel* hint_;
  QVBoxLayout* rowsLayout_;
  std::vector<DeviceRow*> rows_;
};

class MixerView : public QWidget {
  Q_OBJECT
 public:
  MixerView(ModelBridge& bridge, BookmarkCallback effects, AppCallback openApp,
            QWidget* parent = nullptr);
  void refresh();
  // The row of one application, for tests and the benchmark.
  AppVolumeRow* row(const std::string& appID) const;

 private:
  ModelBridge& bridge_;
  AppCallback openApp_;
  DeviceSection* output_;
  DeviceSection* input_;
  QVBoxLayout* appsLayout_;
  std::vector<AppVolumeRow*> rows_;
};

}  // namespace velmora::ui

// The device widgets of the mixer's device sections: the current-device card with its volume
// controls, and the rows of the other devices in the user's list.
#pragma once

#include <QAbstractButton>
#include <QFrame>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "model/AppModel.h"
#include "settings/DeviceBookmark.h"

class QLabel;

namespace velmora::ui {

class ModelBridge;
class PanelIconButton;
class PanelPercentage;
class VolumeSlider;

using model::AudioDirection;
using BookmarkCallback = std::function<void(const std::string& bookmarkID)>;

// Mute button and volume slider of the current device of one direction.
class CurrentDeviceControls : public QWidget {
  Q_OBJECT
 public:
  CurrentDeviceControls(ModelBridge& bridge, AudioDirection direction, bool onDark,
                        bool showPercentage, QWidget* parent = nullptr);
  void refresh();

 private:
  void muteToggled(bool muted);
  void sliderMoved(int value);

  ModelBridge& bridge_;
  AudioDirection direction_;
  PanelIconButton* mute_;
  VolumeSlider* slider_;
  PanelPercentage* percentage_ = nullptr;
  QLabel* noVolume_;
};

// The card of the current device: caption, name, volume controls and, for the output, the boost
// and effects buttons.
class CurrentDeviceCard : public QFrame {
  Q_OBJECT
 public:
  CurrentDeviceCard(ModelBridge& bridge, AudioDirection direction, BookmarkCallback effects,
                    QWidget* parent = nullptr);
  void setBookmark(const settings::DeviceBookmark& bookmark);
  void refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void boostToggled(bool on);

  ModelBridge& bridge_;
  AudioDirection direction_;
  BookmarkCallback effects_;
  settings::DeviceBookmark bookmark_;
  QLabel* caption_;
  QLabel* name_;
  CurrentDeviceControls* controls_;
  PanelIconButton* boost_ = nullptr;
  PanelIconButton* effectsButton_ = nullptr;
};

// The face of a device row: symbol, name and what the row's state says on the right.
class DeviceRowButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit DeviceRowButton(QWidget* parent = nullptr);
  void present(const QString& symbol, const QString& name, const QString& trailing, bool current);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString symbol_;
  QString trailing_;
  bool current_ = false;
};

// One device of the list besides the current one: selecting it makes it the default (connecting
// a Bluetooth device first); while it connects, a cancel button follows.
class DeviceRow : public QWidget {
  Q_OBJECT
 public:
  DeviceRow(ModelBridge& bridge, AudioDirection direction, BookmarkCallback effects,
            bool showEffects, QWidget* parent = nullptr);
  void setBookmark(const settings::DeviceBookmark& bookmark);
  const settings::DeviceBookmark& bookmark() const { return bookmark_; }
  void refresh();

 private:
  ModelBridge& bridge_;
  AudioDirection direction_;
  BookmarkCallback effects_;
  settings::DeviceBookmark bookmark_;
  DeviceRowButton* button_;
  PanelIconButton* cancel_;
  PanelIconButton* effectsButton_ = nullptr;
};

}  // namespace velmora::ui

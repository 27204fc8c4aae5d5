// The per-application controls shared by the mixer's rows and the application detail page.
#pragma once

#include <QHBoxLayout>
#include <QLabel>
#include <QWidget>
#include <string>

#include "model/AppModel.h"
#include "ui/PanelIconButton.h"

namespace velmora::ui {

class ModelBridge;
class PanelPercentage;
class VolumeSlider;

// The application's own icon when the interface shows application icons and it has one, else the
// generic application symbol.
QPixmap appIcon(const audio::AudioApp& app, bool ownIcon, int size, qreal ratio);

// The head of a mixer row and of the detail page: the icon, the name as plain text and a caption
// under it in the secondary colour.
struct AppTitle {
  QHBoxLayout* layout;
  QLabel* icon;
  QLabel* name;
  QLabel* caption;
};
AppTitle makeAppTitle(const QString& name, int iconSize, QWidget* parent);

// Slider 0…1 with the application's stored level (1 when none) and its percentage.
class AppVolumeControl : public QWidget {
  Q_OBJECT
 public:
  AppVolumeControl(ModelBridge& bridge, std::string appID, const QString& name,
                   QWidget* parent = nullptr);
  void refresh();
  VolumeSlider* slider() const { return slider_; }

 private:
  ModelBridge& bridge_;
  std::string appID_;
  VolumeSlider* slider_;
  PanelPercentage* percentage_;
};

class AppMuteButton : public PanelIconButton {
  Q_OBJECT
 public:
  AppMuteButton(ModelBridge& bridge, std::string appID, QWidget* parent = nullptr);
  void refresh();

 private:
  ModelBridge& bridge_;
  std::string appID_;
};

class AppSoloButton : public PanelIconButton {
  Q_OBJECT
 public:
  AppSoloButton(ModelBridge& bridge, std::string appID, const QString& name,
                QWidget* parent = nullptr);
  void refresh();

 private:
  ModelBridge& bridge_;
  std::string appID_;
};

// Shown under an application whose chosen output is offline, with what it does meanwhile.
class AppOfflineNotice : public QLabel {
  Q_OBJECT
 public:
  explicit AppOfflineNotice(QWidget* parent = nullptr);
  void setFollowsSystem(bool followsSystem);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace velmora::ui

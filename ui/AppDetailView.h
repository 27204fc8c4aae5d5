// The detail page of one application: its processing state, what to do when processing failed,
// and where its sound goes.
#pragma once

#include <QRadioButton>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace velmora::ui {

class AppMuteButton;
class AppSoloButton;
class AppVolumeControl;
class ModelBridge;

// One output choice: a radio mark, the target's name and, when it is offline, the tag "离线".
class RouteChoice : public QRadioButton {
  Q_OBJECT
 public:
  explicit RouteChoice(QWidget* parent = nullptr);
  void present(const QString& name, bool offline);
  const std::string& key() const { return key_; }
  void setKey(std::string key) { key_ = std::move(key); }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string key_;  // the bookmark id; empty for the system-following choice
  bool offline_ = false;
};

class AppDetailView : public QWidget {
  Q_OBJECT
 public:
  AppDetailView(ModelBridge& bridge, std::string appID, std::function<void()> manageDevices,
                std::function<void()> openMulti, QWidget* parent = nullptr);
  void refresh();

 private:
  void choose(const std::string& key);

  ModelBridge& bridge_;
  std::string appID_;
  std::string shownName_;
  QLabel* icon_;
  QLabel* name_;
  QLabel* caption_;
  AppVolumeControl* volume_ = nullptr;
  AppMuteButton* mute_ = nullptr;
  AppSoloButton* solo_ = nullptr;
  QLabel* unavailable_;
  QWidget* errorBox_;
  QLabel* errorText_;
  QPushButton* permission_;
  QVBoxLayout* choicesLayout_;
  RouteChoice* systemChoice_;
  std::vector<RouteChoice*> choices_;
  QLabel* chosen_;
  QLabel* savedNote_;
  QPushButton* bluetooth_;
  QCheckBox* fallback_;
};

}  // namespace velmora::ui

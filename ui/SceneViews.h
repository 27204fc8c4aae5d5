// The scenes of the settings window: the list with its field to save the current configuration,
// and the page of one scene to apply, update or delete it. The model saves, applies and judges
// scenes; these views present it and hold only the new name and the open confirmations.
#pragma once

#include <QFrame>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/AudioScene.h"

class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QVBoxLayout;

namespace velmora::model {
class AppModel;
}

namespace velmora::ui {

class ModelBridge;
class PanelIconButton;
class SettingsNavigation;

// What a scene's summary says, line by line. A device line is absent when the scene saved no
// device for that direction.
struct SceneSummaryText {
  std::optional<QString> output;
  std::optional<QString> input;
  QString settings;
  QString multiOutput;
  bool operator==(const SceneSummaryText&) const = default;
};
SceneSummaryText sceneSummaryText(const model::AppModel& model, const settings::AudioScene& scene);

// Whether a device the scene names is not here now: no longer in the device list, or not present.
bool sceneDeviceMissing(const model::AppModel& model, const settings::AudioScene& scene);

// "设备控制" and the summary's lines.
class SceneSummary : public QWidget {
  Q_OBJECT
 public:
  explicit SceneSummary(QWidget* parent = nullptr);
  void present(const SceneSummaryText& text);

 private:
  QLabel* output_;
  QLabel* input_;
  QLabel* settings_;
  QLabel* multiOutput_;
};

// Apply, or while the scene is applied, the stop action.
class SceneApplyControl : public QWidget {
  Q_OBJECT
 public:
  SceneApplyControl(ModelBridge& bridge, std::string sceneID, QWidget* parent = nullptr);
  void refresh();

 private:
  ModelBridge& bridge_;
  std::string sceneID_;
  QPushButton* apply_;
  QLabel* applying_;
  QPushButton* stop_;
  QLabel* missing_;
};

// One scene of the list.
class SceneRow : public QFrame {
  Q_OBJECT
 public:
  SceneRow(ModelBridge& bridge, std::string sceneID, std::function<void(std::string)> openScene,
           QWidget* parent = nullptr);
  const std::string& sceneID() const { return sceneID_; }
  void refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ModelBridge& bridge_;
  std::string sceneID_;
  QLabel* name_;
  QLabel* caption_;
  SceneSummary* summary_;
  SceneApplyControl* apply_;
  PanelIconButton* details_;
};

class ScenesView : public QWidget {
  Q_OBJECT
 public:
  ScenesView(ModelBridge& bridge, std::function<void(std::string)> openScene,
             QWidget* parent = nullptr);
  void refresh();

 private:
  void save();

  ModelBridge& bridge_;
  std::function<void(std::string)> openScene_;
  QLineEdit* name_;
  QWidget* empty_;
  QVBoxLayout* rowsLayout_;
  std::vector<SceneRow*> rows_;
};

class SceneDetailView : public QWidget {
  Q_OBJECT
 public:
  SceneDetailView(ModelBridge& bridge, std::string sceneID, QWidget* parent = nullptr);
  const std::string& sceneID() const { return sceneID_; }
  void refresh();
  // The open confirmation, if any (tests and assistive technology reach its buttons here).
  QMessageBox* confirmation() const { return confirmation_; }

 private:
  std::optional<settings::AudioScene> scene() const;
  void confirmUpdate();
  void confirmDeletion();
  void ask(const QString& title, const QString& message, const QString& action,
           std::function<void(const settings::AudioScene&)> confirmed);

  ModelBridge& bridge_;
  std::string sceneID_;
  QLabel* gone_;
  QWidget* body_;
  QLabel* name_;
  QLabel* caption_;
  SceneSummary* summary_;
  SceneApplyControl* apply_;
  QLabel* applyingNote_;
  QVBoxLayout* multiLayout_;
  std::vector<QLabel*> multiLabels_;
  QMessageBox* confirmation_ = nullptr;
};

// The settings window's scenes content: the list, or with a scene open in the window's
// navigation, that scene's page. The window draws the subtitle and the back button around it.
class ScenesSection : public QWidget {
  Q_OBJECT
 public:
  ScenesSection(ModelBridge& bridge, SettingsNavigation& navigation, QWidget* parent = nullptr);
  SceneDetailView* detail() const { return detail_; }

 private:
  void follow();

  ModelBridge& bridge_;
  SettingsNavigation& navigation_;
  ScenesView* list_;
  SceneDetailView* detail_ = nullptr;
  QVBoxLayout* layout_;
};

}  // namespace velmora::ui

// The content of the tray pop-over: the header, the error banner, and one page: the mixer, the
// output effects of one device, or the detail page of one application.
#pragma once

#include <QFrame>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "ui/SettingsNavigation.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace velmora::ui {

class MixerView;
class ModelBridge;
class PanelIconButton;

// The page shown besides the mixer.
struct PanelDestination {
  enum class Kind { outputEffects, app };
  Kind kind;
  std::string id;  // the device bookmark id, or the application id
  bool operator==(const PanelDestination&) const = default;
};

// The banner that shows the model's error message until it is closed or replaced.
class ErrorBanner : public QFrame {
  Q_OBJECT
 public:
  explicit ErrorBanner(ModelBridge& bridge, QWidget* parent = nullptr);
  void refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ModelBridge& bridge_;
  QLabel* icon_;
  QLabel* message_;
  QPushButton* bluetooth_;
  PanelIconButton* close_;
};

class MainPanel : public QWidget {
  Q_OBJECT
 public:
  // Builds the output effects page of a bookmark id; the panel's own unless replaced, and left
  // empty when set to nothing.
  using EffectsPage = std::function<QWidget*(const std::string& bookmarkID)>;

  MainPanel(ModelBridge& bridge, OpenSettings openSettings, QWidget* parent = nullptr);
  void setEffectsPage(EffectsPage effectsPage) { effectsPage_ = std::move(effectsPage); }

  const std::optional<PanelDestination>& destination() const { return destination_; }
  void setDestination(std::optional<PanelDestination> destination);
  MixerView* mixer() const { return mixer_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void refresh();
  void applyAppearance();
  void toggleCompact(bool compact);

  ModelBridge& bridge_;
  OpenSettings openSettings_;
  EffectsPage effectsPage_;
  std::optional<PanelDestination> destination_;
  PanelIconButton* compact_;
  ErrorBanner* banner_;
  QWidget* backHeader_;
  QLabel* pageTitle_;
  QScrollArea* scroll_;
  MixerView* mixer_;
  QWidget* detail_ = nullptr;
  int height_ = 0;
};

}  // namespace velmora::ui

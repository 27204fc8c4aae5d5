// The multi-output tab of the settings window: the switch, the counts of chosen outputs, one row
// per output with its choice and software level, chosen outputs the list no longer knows, and
// the notes.
#pragma once

#include <QWidget>
#include <map>
#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace velmora::ui {

class ModelBridge;
class PanelPercentage;
class ToggleSwitch;
class VolumeSlider;

class MultiOutputView : public QWidget {
  Q_OBJECT
 public:
  explicit MultiOutputView(ModelBridge& bridge, QWidget* parent = nullptr);
  void refresh();

 private:
  void rebuild(const std::vector<std::string>& unknown);

  struct Level {
    VolumeSlider* slider;
    PanelPercentage* percentage;
  };

  ModelBridge& bridge_;
  ToggleSwitch* enabled_;
  QLabel* paused_;
  QLabel* summary_;
  QVBoxLayout* rows_;
  std::vector<std::string> shown_;
  std::map<std::string, Level> levels_;
};

}  // namespace velmora::ui

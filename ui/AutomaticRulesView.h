// The automatic switching tab of the settings window: per direction the switch, the candidates
// in priority order with their moves, and the devices that can be added; a button that applies
// the priorities now.
#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "model/AppModel.h"

class QVBoxLayout;

namespace velmora::ui {

class ModelBridge;
class ToggleSwitch;

class AutomaticRulesView : public QWidget {
  Q_OBJECT
 public:
  explicit AutomaticRulesView(ModelBridge& bridge, QWidget* parent = nullptr);
  void refresh();

 private:
  struct Section {
    model::AudioDirection direction = model::AudioDirection::output;
    ToggleSwitch* enabled = nullptr;
    QVBoxLayout* candidates = nullptr;
    QVBoxLayout* others = nullptr;
    // What the two lists show now, so that they are rebuilt only when it changes.
    std::vector<std::string> shown;
  };
  QWidget* buildSection(Section& section);
  void fill(Section& section);

  ModelBridge& bridge_;
  // Output first, then input.
  std::array<Section, 2> sections_;
};

}  // namespace velmora::ui

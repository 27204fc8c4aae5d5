// A volume as a whole percentage, right-aligned in a 42-pixel box.
#pragma once

#include <QLabel>

namespace velmora::ui {

class PanelPercentage : public QLabel {
  Q_OBJECT
 public:
  explicit PanelPercentage(QWidget* parent = nullptr);
  void setValue(float value);
  // value × 100 rounded in 32-bit float, as the slider's value is held: 0.505 gives "51%", where
  // the same sum in double gives 50.
  static QString text(float value);
};

}  // namespace velmora::ui

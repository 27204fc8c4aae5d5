// An on/off switch in the panel's colours: a rounded track with a round knob, checkable, and read
// by assistive technology as a check box with the on/off description.
#pragma once

#include <QAbstractButton>

namespace velmora::ui {

class PanelSwitch : public QAbstractButton {
  Q_OBJECT
 public:
  explicit PanelSwitch(QWidget* parent = nullptr);
  // Sets the state from the model without the toggled signal.
  void showModelState(bool on);
  QSize sizeHint() const override { return {38, 22}; }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void checkStateSet() override;
};

}  // namespace velmora::ui

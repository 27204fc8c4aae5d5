// A volume slider 0…1 that the model can move without being told back, and never under the
// user's pointer.
#pragma once

#include <QSlider>

namespace velmora::ui {

class VolumeSlider : public QSlider {
  Q_OBJECT
 public:
  static constexpr int kSteps = 1000;
  explicit VolumeSlider(QWidget* parent = nullptr);

  // Shows a value published by the model: no valueChanged, and nothing while the user drags.
  void showModelValue(float value);
  float volume() const { return float(value()) / kSteps; }

 signals:
  // Every change not made by showModelValue: pointer, keyboard, wheel, assistive technology.
  void volumeChanged(float value);
};

}  // namespace velmora::ui

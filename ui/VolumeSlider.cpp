#include "ui/VolumeSlider.h"

#include <QSignalBlocker>
#include <cmath>

namespace velmora::ui {

VolumeSlider::VolumeSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setRange(0, kSteps);
  setSingleStep(kSteps / 100);
  setPageStep(kSteps / 10);
  setMinimumWidth(60);
  connect(this, &QSlider::valueChanged, this,
          [this](int value) { emit volumeChanged(float(value) / kSteps); });
}

void VolumeSlider::showModelValue(float value) {
  if (isSliderDown()) return;
  const int position = std::isfinite(value) ? int(std::lround(value * kSteps)) : 0;
  const QSignalBlocker blocker(this);
  setValue(position);
}

}  // namespace velmora::ui

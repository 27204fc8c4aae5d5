#include "ui/PanelPercentage.h"

#include <cmath>

#include "ui/PanelTheme.h"

namespace velmora::ui {

PanelPercentage::PanelPercentage(QWidget* parent) : QLabel(parent) {
  setFixedWidth(42);
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setTextFormat(Qt::PlainText);
  setTextRole(this, PanelColor::textSecondary);
}

void PanelPercentage::setValue(float value) { setText(text(value)); }

QString PanelPercentage::text(float value) {
  const float scaled = value * 100.0f;
  return QString::number(std::isfinite(scaled) ? std::lroundf(scaled) : 0L) + '%';
}

}  // namespace velmora::ui

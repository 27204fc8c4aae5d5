#include "ui/PanelSwitch.h"

#include <QPainter>
#include <QSignalBlocker>

#include "ui/PanelTheme.h"

namespace velmora::ui {

PanelSwitch::PanelSwitch(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setAccessibleDescription(QStringLiteral("已关闭"));
}

void PanelSwitch::showModelState(bool on) {
  const QSignalBlocker blocker(this);
  setChecked(on);
}

void PanelSwitch::checkStateSet() {
  setAccessibleDescription(isChecked() ? QStringLiteral("已开启") : QStringLiteral("已关闭"));
  update();
}

void PanelSwitch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF track = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
  const double radius = track.height() / 2.0;
  QColor fill = PanelTheme::color(isChecked() ? PanelColor::accent : PanelColor::border);
  if (!isEnabled()) fill.setAlphaF(0.5f);
  painter.setPen(hasFocus() ? QPen(PanelTheme::color(PanelColor::accent), 1.5) : Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(track, radius, radius);
  const double knob = track.height() - 4.0;
  const double x = isChecked() ? track.right() - 2.0 - knob : track.left() + 2.0;
  painter.setPen(Qt::NoPen);
  // Off, the knob takes the secondary text colour so it stands out of a pale or dark track alike.
  painter.setBrush(PanelTheme::color(isChecked() ? PanelColor::card : PanelColor::textSecondary));
  painter.drawEllipse(QRectF(x, track.top() + 2.0, knob, knob));
}

}  // namespace velmora::ui

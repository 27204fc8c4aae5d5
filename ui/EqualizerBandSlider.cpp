#include "ui/EqualizerBandSlider.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "ui/PanelTheme.h"

namespace velmora::ui {
namespace {

constexpr int kSteps = int(EqualizerBandSlider::kMaximumGain / EqualizerBandSlider::kStep);

int stepsOf(double gain) { return int(std::lround(EqualizerBandSlider::snapped(gain) * 2.0)); }

class EqualizerBandAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit EqualizerBandAccessible(EqualizerBandSlider* slider)
      : QAccessibleWidget(slider, QAccessible::Slider) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return EqualizerBandSlider::gainText(slider()->gain());
    return QAccessibleWidget::text(t);
  }

  QVariant currentValue() const override { return slider()->gain(); }
  void setCurrentValue(const QVariant& value) override {
    if (!slider()->isEnabled()) return;
    bool ok = false;
    const double gain = value.toDouble(&ok);
    if (ok) slider()->setValue(stepsOf(gain));
  }
  QVariant maximumValue() const override { return EqualizerBandSlider::kMaximumGain; }
  QVariant minimumValue() const override { return -EqualizerBandSlider::kMaximumGain; }
  QVariant minimumStepSize() const override { return EqualizerBandSlider::kStep; }

  QStringList actionNames() const override {
    return QAccessibleWidget::actionNames() << QAccessibleActionInterface::increaseAction()
                                            << QAccessibleActionInterface::decreaseAction();
  }
  void doAction(const QString& action) override {
    if (action == QAccessibleActionInterface::increaseAction()) {
      if (slider()->isEnabled()) slider()->stepBy(1);
    } else if (action == QAccessibleActionInterface::decreaseAction()) {
      if (slider()->isEnabled()) slider()->stepBy(-1);
    } else {
      QAccessibleWidget::doAction(action);
    }
  }

 private:
  EqualizerBandSlider* slider() const { return static_cast<EqualizerBandSlider*>(widget()); }
};

QAccessibleInterface* equalizerAccessible(const QString&, QObject* object) {
  if (auto* slider = qobject_cast<EqualizerBandSlider*>(object)) {
    return new EqualizerBandAccessible(slider);
  }
  return nullptr;
}

}  // namespace

void installEqualizerAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(equalizerAccessible);
    return true;
  }();
  (void)installed;
}

double EqualizerBandSlider::snapped(double gain) {
  if (std::isnan(gain)) return 0.0;
  // Adding zero turns a minus zero into plus zero.
  return std::clamp(std::round(gain * 2.0) / 2.0, -kMaximumGain, kMaximumGain) + 0.0;
}

double EqualizerBandSlider::gainAt(double y, double height) {
  const double fraction = std::clamp((y - kInset) / std::max(height - 2.0 * kInset, 1.0), 0.0, 1.0);
  return snapped((1.0 - fraction) * 2.0 * kMaximumGain - kMaximumGain);
}

QString EqualizerBandSlider::gainText(double gain) {
  return QString::asprintf("%+.1f dB", snapped(gain));
}

EqualizerBandSlider::EqualizerBandSlider(const QString& label, QWidget* parent)
    : QAbstractSlider(parent) {
  installEqualizerAccessibility();
  setOrientation(Qt::Vertical);
  setRange(-kSteps, kSteps);
  setSingleStep(1);
  setPageStep(4);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(label);
  setToolTip(gainText(0.0));
  connect(this, &QAbstractSlider::valueChanged, this, [this](int) {
    setToolTip(gainText(gain()));
    update();
    emit gainChanged(gain());
  });
}

void EqualizerBandSlider::showModelGain(double value) {
  if (isSliderDown()) return;
  const QSignalBlocker blocker(this);
  setValue(stepsOf(value));
  setToolTip(gainText(gain()));
  update();
}

void EqualizerBandSlider::stepBy(int steps) { setValue(value() + steps); }

void EqualizerBandSlider::followPointer(double y) { setValue(stepsOf(gainAt(y, height()))); }

void EqualizerBandSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  setFocus(Qt::MouseFocusReason);
  setSliderDown(true);
  followPointer(event->position().y());
  event->accept();
}

void EqualizerBandSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!isSliderDown()) return;
  followPointer(event->position().y());
  event->accept();
}

void EqualizerBandSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !isSliderDown()) return;
  followPointer(event->position().y());
  setSliderDown(false);
  event->accept();
}

void EqualizerBandSlider::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
      stepBy(-1);
      break;
    case Qt::Key_Right:
    case Qt::Key_Up:
      stepBy(1);
      break;
    default:
      QAbstractSlider::keyPressEvent(event);
      return;
  }
  event->accept();
}

double gainToY(double gain, double height) {
  const double limited =
      std::clamp(gain, -EqualizerBandSlider::kMaximumGain, EqualizerBandSlider::kMaximumGain);
  const double span = 2.0 * EqualizerBandSlider::kMaximumGain;
  return EqualizerBandSlider::kInset +
         (1.0 - (limited + EqualizerBandSlider::kMaximumGain) / span) *
             std::max(height - 2.0 * EqualizerBandSlider::kInset, 1.0);
}

void EqualizerBandSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double h = height();
  const double centre = width() / 2.0;
  const QColor accent = PanelTheme::color(PanelColor::accent);
  QColor ink = isEnabled() ? accent : PanelTheme::color(PanelColor::textSecondary);
  if (!isEnabled()) ink.setAlphaF(0.55f);

  // The track, the part between 0 dB and the knob, then the knob.
  const double top = kInset;
  const double bottom = std::max(h - kInset, top + 1.0);
  painter.setPen(Qt::NoPen);
  painter.setBrush(PanelTheme::color(PanelColor::border));
  painter.drawRoundedRect(QRectF(centre - 2.0, top, 4.0, bottom - top), 2.0, 2.0);
  const double zero = gainToY(0.0, h);
  const double knob = gainToY(gain(), h);
  painter.setBrush(ink);
  painter.drawRoundedRect(QRectF(centre - 2.0, std::min(zero, knob), 4.0, std::abs(zero - knob)),
                          2.0, 2.0);
  painter.setPen(QPen(ink, 1.5));
  painter.setBrush(PanelTheme::color(PanelColor::card));
  const double radius = kKnobDiameter / 2.0;
  painter.drawEllipse(QPointF(centre, knob), radius, radius);
  if (hasFocus()) {
    painter.setPen(QPen(accent, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(centre, knob), radius + 3.0, radius + 3.0);
  }
}

}  // namespace velmora::ui

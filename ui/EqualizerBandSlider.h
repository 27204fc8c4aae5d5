// One band of the equaliser: a vertical slider from −12 to +12 dB in half-decibel steps. It is held
// as whole half-decibels, so no value can be minus zero and every value prints as "%+.1f" exactly.
// Pointer, arrow keys and assistive technology all move it; the model moves it silently.
#pragma once

#include <QAbstractSlider>
#include <QString>

namespace velmora::ui {

class EqualizerBandSlider : public QAbstractSlider {
  Q_OBJECT
 public:
  static constexpr double kMaximumGain = 12.0;
  static constexpr double kStep = 0.5;
  // Margin above and below the track, and the knob's size.
  static constexpr double kInset = 6.0;
  static constexpr double kKnobDiameter = 10.0;

  explicit EqualizerBandSlider(const QString& label, QWidget* parent = nullptr);

  // To the nearest half decibel within ±12; NaN gives 0.
  static double snapped(double gain);
  // The gain a pointer at height `y` of a track `height` high stands for (Qt's y grows down, so
  // the top is +12). The divisor is at least 1, so a track shorter than its insets still spans
  // the whole range.
  static double gainAt(double y, double height);
  // "+3.5 dB"; a gain that would print as "-0.0" prints "+0.0".
  static QString gainText(double gain);

  double gain() const { return value() * kStep; }
  // Shows a gain from the model: no signal, and nothing while the user drags.
  void showModelGain(double gain);
  // Moves by whole steps as the user would, with the change signal.
  void stepBy(int steps);

  QSize sizeHint() const override { return {28, 128}; }
  QSize minimumSizeHint() const override { return {28, 24}; }

 signals:
  // Every change the user makes: pointer, keys, wheel, assistive technology.
  void gainChanged(double gain);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void followPointer(double y);
};

// Where `gain` (limited to ±12) sits on a track `height` high: the top inset is +12 dB, the bottom
// one −12 dB, and the span is at least 1.
double gainToY(double gain, double height);

// Lets assistive technology read the slider's gain and step it by half decibels.
void installEqualizerAccessibility();

}  // namespace velmora::ui

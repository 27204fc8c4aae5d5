// The output effects page of the panel: why the settings may not be heard now, then the five-band
// equaliser of one output (switch, presets, reset, gain curve, band sliders). It edits the stored
// record through the model and keeps nothing of its own.
#pragma once

#include <QFrame>
#include <QPointF>
#include <QSizeF>
#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "settings/DeviceEQ.h"

class QLabel;
class QPushButton;

namespace velmora::ui {

class EqualizerBandSlider;
class ModelBridge;
class ToggleSwitch;

using BandGains = std::array<float, settings::DeviceEQ::frequencies.size()>;

struct EqualizerPreset {
  QString name;
  BandGains gains;
};

// "平直", "低音增强", "人声清晰", "柔和", in menu order.
const std::vector<EqualizerPreset>& equalizerPresets();
// "预设 · " and the first preset whose gains equal `gains` exactly, else "预设 · 自定".
QString presetLabel(const BandGains& gains);

// One point per band over an area of `size`: x at the middle of the band's column, y as the band
// slider places the gain (top = +12 dB), so the curve runs through the knobs below it.
std::array<QPointF, settings::DeviceEQ::frequencies.size()> gainCurvePoints(const BandGains& gains,
                                                                            QSizeF size);

// The line above the equaliser while its settings cannot be heard; none when they can.
struct EffectsStatus {
  QString symbol;
  QString text;
  bool operator==(const EffectsStatus&) const = default;
};
std::optional<EffectsStatus> effectsStatus(bool devicePresent, bool processingEnabled);

class EqualizerGainCurve : public QWidget {
  Q_OBJECT
 public:
  explicit EqualizerGainCurve(QWidget* parent = nullptr);
  void present(const BandGains& gains, bool enabled);
  QSize sizeHint() const override { return {300, 64}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BandGains gains_{};
  bool enabled_ = false;
};

class EqualizerView : public QFrame {
  Q_OBJECT
 public:
  EqualizerView(ModelBridge& bridge, std::string deviceID, QWidget* parent = nullptr);
  void refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  settings::DeviceEQ record() const;
  void choosePreset(const EqualizerPreset& preset);
  void changeBand(size_t band, double gain);

  ModelBridge& bridge_;
  std::string deviceID_;
  ToggleSwitch* switch_;
  QPushButton* presets_;
  QPushButton* reset_;
  EqualizerGainCurve* curve_;
  std::array<QLabel*, settings::DeviceEQ::frequencies.size()> values_{};
  std::array<EqualizerBandSlider*, settings::DeviceEQ::frequencies.size()> sliders_{};
};

class OutputEffectsView : public QWidget {
  Q_OBJECT
 public:
  OutputEffectsView(ModelBridge& bridge, std::string deviceID, QWidget* parent = nullptr);
  void refresh();

 private:
  ModelBridge& bridge_;
  std::string deviceID_;
  QWidget* status_;
  QLabel* statusIcon_;
  QLabel* statusText_;
  EqualizerView* equalizer_;
};

}  // namespace velmora::ui

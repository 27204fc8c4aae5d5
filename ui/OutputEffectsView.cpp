#include "ui/OutputEffectsView.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "model/AppModel.h"
#include "ui/EqualizerBandSlider.h"
#include "ui/ModelBridge.h"
#include "ui/PanelIcons.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/SettingsKit.h"

namespace velmora::ui {
namespace {

constexpr size_t kBands = settings::DeviceEQ::frequencies.size();
const std::array<const char*, kBands> kBandNames{"80 Hz", "250 Hz", "1 kHz", "4 kHz", "12 kHz"};

QLabel* caption(const QString& text, QWidget* parent) {
  auto* label = plainLabel(text, parent);
  QFont small = label->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  label->setFont(small);
  setTextRole(label, PanelColor::textSecondary);
  return label;
}

}  // namespace

const std::vector<EqualizerPreset>& equalizerPresets() {
  static const std::vector<EqualizerPreset> presets{
      {QStringLiteral("平直"), {0, 0, 0, 0, 0}},
      {QStringLiteral("低音增强"), {5, 3, 0, 0, 0}},
      {QStringLiteral("人声清晰"), {-2, -1, 3, 2, 0}},
      {QStringLiteral("柔和"), {1, 0, 0, -2, -4}},
  };
  return presets;
}

QString presetLabel(const BandGains& gains) {
  for (const EqualizerPreset& preset : equalizerPresets()) {
    if (preset.gains == gains) return QStringLiteral("预设 · ") + preset.name;
  }
  return QStringLiteral("预设 · 自定");
}

std::array<QPointF, kBands> gainCurvePoints(const BandGains& gains, QSizeF size) {
  std::array<QPointF, kBands> points;
  for (size_t i = 0; i < kBands; ++i) {
    points[i] = QPointF((double(i) + 0.5) * size.width() / double(kBands),
                        gainToY(double(gains[i]), size.height()));
  }
  return points;
}

std::optional<EffectsStatus> effectsStatus(bool devicePresent, bool processingEnabled) {
  if (!devicePresent) {
    return EffectsStatus{QStringLiteral("wifi.slash"),
                         processingEnabled ? QStringLiteral("设备离线 · 设置已保存")
                                           : QStringLiteral("设备离线 · 处理已暂停 · 设置已保存")};
  }
  if (!processingEnabled) {
    return EffectsStatus{QStringLiteral("pause.circle"),
                         QStringLiteral("处理已暂停 · 设置已保存，尚未生效")};
  }
  return std::nullopt;
}

// ---- EqualizerGainCurve

EqualizerGainCurve::EqualizerGainCurve(QWidget* parent) : QWidget(parent) {
  setMinimumHeight(48);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void EqualizerGainCurve::present(const BandGains& gains, bool enabled) {
  if (gains == gains_ && enabled == enabled_) return;
  gains_ = gains;
  enabled_ = enabled;
  update();
}

void EqualizerGainCurve::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QSizeF area = size();
  // The 0 dB line, faint and dashed, under the curve.
  const double zero = gainToY(0.0, area.height());
  painter.setPen(QPen(PanelTheme::color(PanelColor::border), 1.0, Qt::DashLine));
  painter.drawLine(QPointF(0, zero), QPointF(area.width(), zero));

  QColor ink = PanelTheme::color(enabled_ ? PanelColor::accent : PanelColor::textSecondary);
  if (!enabled_) ink.setAlphaF(0.55f);
  QPen pen(ink, 1.5);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  painter.setPen(pen);
  const auto points = gainCurvePoints(gains_, area);
  painter.drawPolyline(points.data(), int(points.size()));
}

// ---- EqualizerView

EqualizerView::EqualizerView(ModelBridge& bridge, std::string deviceID, QWidget* parent)
    : QFrame(parent), bridge_(bridge), deviceID_(std::move(deviceID)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 12, 14, 12);
  layout->setSpacing(10);

  // 1. Title and switch.
  auto* top = new QHBoxLayout();
  auto* title = plainLabel(QStringLiteral("均衡器"), this);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  top->addWidget(title);
  top->addStretch(1);
  switch_ = new ToggleSwitch(QStringLiteral("启用此设备的均衡器"), this);
  switch_->setToolTip(QStringLiteral("启用此设备的均衡器"));
  connect(switch_, &QAbstractButton::toggled, this, [this](bool on) {
    settings::DeviceEQ eq = record();
    if (eq.enabled == on) return;
    const BandGains bands = eq.normalizedBands();
    bridge_.model().setEQ(deviceID_, settings::DeviceEQ{on, {bands.begin(), bands.end()}});
  });
  top->addWidget(switch_);
  layout->addLayout(top);

  // 2, 3. Presets and reset.
  auto* actions = new QHBoxLayout();
  presets_ = new QPushButton(this);
  presets_->setCursor(Qt::PointingHandCursor);
  auto* menu = new QMenu(presets_);
  for (const EqualizerPreset& preset : equalizerPresets()) {
    QAction* action = menu->addAction(preset.name);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, preset] { choosePreset(preset); });
  }
  presets_->setMenu(menu);
  actions->addWidget(presets_);
  actions->addStretch(1);
  reset_ = new QPushButton(QStringLiteral("恢复平直"), this);
  reset_->setToolTip(QStringLiteral("仅清零五段增益，保留均衡器与总处理开关"));
  connect(reset_, &QPushButton::clicked, this, [this] { bridge_.model().resetEQ(deviceID_); });
  actions->addWidget(reset_);
  layout->addLayout(actions);

  // 4. The curve with its captions.
  auto* captions = new QHBoxLayout();
  captions->addWidget(caption(QStringLiteral("频段增益"), this));
  captions->addStretch(1);
  captions->addWidget(caption(QStringLiteral("±12 dB"), this));
  layout->addLayout(captions);
  auto* curveRow = new QHBoxLayout();
  curveRow->setSpacing(4);
  auto* zeroCaption = caption(QStringLiteral("0 dB"), this);
  curveRow->addWidget(zeroCaption, 0, Qt::AlignVCenter);
  curve_ = new EqualizerGainCurve(this);
  curve_->setFixedHeight(56);
  curveRow->addWidget(curve_, 1);
  layout->addLayout(curveRow);

  // 5. The bands, in columns as wide as the curve's, so each knob sits under its point.
  auto* bands = new QHBoxLayout();
  bands->setSpacing(0);
  bands->setContentsMargins(zeroCaption->sizeHint().width() + curveRow->spacing(), 0, 0, 0);
  QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  digits.setPointSizeF(title->font().pointSizeF() * 0.9);
  for (size_t i = 0; i < kBands; ++i) {
    auto* column = new QVBoxLayout();
    column->setSpacing(4);
    values_[i] = plainLabel({}, this);
    values_[i]->setFont(digits);
    values_[i]->setAlignment(Qt::AlignHCenter);
    column->addWidget(values_[i]);
    const QString frequency = QString::number(settings::DeviceEQ::frequencies[i]);
    sliders_[i] = new EqualizerBandSlider(QStringLiteral("均衡器 ") + frequency + " Hz", this);
    sliders_[i]->setFixedSize(28, 128);
    connect(sliders_[i], &EqualizerBandSlider::gainChanged, this,
            [this, i](double gain) { changeBand(i, gain); });
    column->addWidget(sliders_[i], 0, Qt::AlignHCenter);
    auto* name = caption(QString::fromUtf8(kBandNames[i]), this);
    name->setAlignment(Qt::AlignHCenter);
    column->addWidget(name);
    bands->addLayout(column, 1);
  }
  layout->addLayout(bands);

  connect(&bridge, &ModelBridge::changed, this, &EqualizerView::refresh);
  refresh();
}

settings::DeviceEQ EqualizerView::record() const {
  const auto& advanced = bridge_.state().preferences.advanced;
  if (!advanced) return {};
  const auto found = advanced->equalizers.find(deviceID_);
  return found != advanced->equalizers.end() ? found->second : settings::DeviceEQ{};
}

void EqualizerView::choosePreset(const EqualizerPreset& preset) {
  // "平直" keeps the switch as it is; any other preset turns the equaliser on.
  if (preset.gains == BandGains{}) {
    bridge_.model().resetEQ(deviceID_);
    return;
  }
  bridge_.model().setEQ(deviceID_,
                        settings::DeviceEQ{true, {preset.gains.begin(), preset.gains.end()}});
}

void EqualizerView::changeBand(size_t band, double gain) {
  const settings::DeviceEQ eq = record();
  BandGains bands = eq.normalizedBands();
  bands[band] = float(EqualizerBandSlider::snapped(gain));
  if (bands == eq.normalizedBands() && eq.bands.size() == kBands) return;
  bridge_.model().setEQ(deviceID_, settings::DeviceEQ{eq.enabled, {bands.begin(), bands.end()}});
}

void EqualizerView::refresh() {
  const settings::DeviceEQ eq = record();
  const BandGains bands = eq.normalizedBands();
  {
    const QSignalBlocker blocker(switch_);
    switch_->setChecked(eq.enabled);
  }
  switch_->setAccessibleDescription(eq.enabled ? QStringLiteral("已开启")
                                               : QStringLiteral("已关闭"));
  const QString label = presetLabel(bands);
  presets_->setText(label);
  presets_->setAccessibleName(label);
  for (QAction* action : presets_->menu()->actions()) {
    action->setChecked(label.endsWith(QStringLiteral(" · ") + action->text()));
  }
  curve_->present(bands, eq.enabled);
  for (size_t i = 0; i < kBands; ++i) {
    sliders_[i]->setEnabled(eq.enabled);
    sliders_[i]->showModelGain(bands[i]);
    values_[i]->setText(QString::asprintf("%+.1f", EqualizerBandSlider::snapped(bands[i])));
    setTextRole(values_[i], eq.enabled ? PanelColor::accent : PanelColor::textSecondary);
  }
}

void EqualizerView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(PanelTheme::color(PanelColor::border), 1.0));
  painter.setBrush(PanelTheme::color(PanelColor::card));
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

// ---- OutputEffectsView

OutputEffectsView::OutputEffectsView(ModelBridge& bridge, std::string deviceID, QWidget* parent)
    : QWidget(parent), bridge_(bridge), deviceID_(std::move(deviceID)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 4, 12, 12);
  layout->setSpacing(10);
  status_ = new QWidget(this);
  auto* statusLayout = new QHBoxLayout(status_);
  statusLayout->setContentsMargins(4, 0, 4, 0);
  statusLayout->setSpacing(6);
  statusIcon_ = new QLabel(status_);
  statusIcon_->setFixedSize(16, 16);
  statusLayout->addWidget(statusIcon_, 0, Qt::AlignTop);
  statusText_ = plainLabel({}, status_);
  statusText_->setWordWrap(true);
  setTextRole(statusText_, PanelColor::warning);
  statusLayout->addWidget(statusText_, 1);
  layout->addWidget(status_);
  equalizer_ = new EqualizerView(bridge, deviceID_, this);
  layout->addWidget(equalizer_);
  layout->addStretch(1);
  connect(&bridge, &ModelBridge::changed, this, &OutputEffectsView::refresh);
  connect(&PanelTheme::instance(), &PanelTheme::changed, this, &OutputEffectsView::refresh);
  refresh();
}

void OutputEffectsView::refresh() {
  model::AppModel& model = bridge_.model();
  bool present = false;
  for (const settings::DeviceBookmark& bookmark : model.bookmarks()) {
    if (bookmark.id != deviceID_) continue;
    present = model.presentDevice(bookmark, model::AudioDirection::output).has_value();
    break;
  }
  const auto status = effectsStatus(present, bridge_.state().preferences.processingEnabled);
  status_->setVisible(status.has_value());
  if (!status) return;
  statusText_->setText(status->text);
  statusIcon_->setPixmap(
      panelIcon(status->symbol, PanelTheme::color(PanelColor::warning), 16, devicePixelRatioF()));
}

}  // namespace velmora::ui

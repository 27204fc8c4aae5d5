#include "ui/DeviceWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/ModelBridge.h"
#include "ui/PanelIconButton.h"
#include "ui/PanelIcons.h"
#include "ui/PanelPercentage.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/VolumeSlider.h"

namespace velmora::ui {
namespace {

bool isInputSide(AudioDirection direction) { return direction == AudioDirection::input; }

QString directionWord(AudioDirection direction) {
  return isInputSide(direction) ? QStringLiteral("输入") : QStringLiteral("输出");
}

}  // namespace

// ---- CurrentDeviceControls

CurrentDeviceControls::CurrentDeviceControls(ModelBridge& bridge, AudioDirection direction,
                                             bool onDark, bool showPercentage, QWidget* parent)
    : QWidget(parent), bridge_(bridge), direction_(direction) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  mute_ = new PanelIconButton(QString(), 28, this);
  mute_->setCheckable(true);
  mute_->setOnDark(onDark);
  layout->addWidget(mute_);
  auto* slider = new VolumeSlider(this);
  slider_ = slider;
  slider->setAccessibleName(isInputSide(direction) ? QStringLiteral("输入音量")
                                                   : QStringLiteral("系统输出音量"));
  layout->addWidget(slider, 1);
  if (showPercentage) {
    percentage_ = new PanelPercentage(this);
    if (onDark) setTextRole(percentage_, PanelColor::outputSecondary);
    layout->addWidget(percentage_);
  }
  noVolume_ = plainLabel(QStringLiteral("音量由设备控制"), this);
  setTextRole(noVolume_, onDark ? PanelColor::outputSecondary : PanelColor::textSecondary);
  layout->addWidget(noVolume_, 1);
  if (onDark) {
    QPalette palette = slider->palette();
    palette.setColor(QPalette::Highlight, PanelTheme::color(PanelColor::outputSecondary));
    palette.setColor(QPalette::Button, PanelTheme::color(PanelColor::outputHighlight));
    slider->setPalette(palette);
  }
  // A button that toggles acts on its new state, so assistive technology can check it too.
  connect(mute_, &QAbstractButton::toggled, this, &CurrentDeviceControls::muteToggled);
  connect(slider, &VolumeSlider::volumeChanged, this, [this](float value) {
    if (percentage_) percentage_->setValue(value);
    model::AppModel& model = bridge_.model();
    if (isInputSide(direction_))
      model.setInputVolume(value);
    else
      model.setSystemVolume(value);
  });
  refresh();
}

void CurrentDeviceControls::muteToggled(bool muted) {
  const model::ModelState& state = bridge_.state();
  const bool input = isInputSide(direction_);
  if (muted == (input ? state.inputMuted : state.systemMuted)) return;
  if (input)
    bridge_.model().toggleInputMute();
  else
    bridge_.model().toggleSystemMute();
}

void CurrentDeviceControls::refresh() {
  const model::ModelState& state = bridge_.state();
  const bool input = isInputSide(direction_);
  const bool muted = input ? state.inputMuted : state.systemMuted;
  {
    const QSignalBlocker blocker(mute_);
    mute_->setChecked(muted);
  }
  mute_->setSymbol(input ? (muted ? "mic.slash.fill" : "mic.fill")
                         : (muted ? "speaker.slash.fill" : "speaker.wave.2.fill"));
  const QString action = directionWord(direction_) + (muted ? "取消静音" : "静音");
  mute_->setToolTip(action);
  mute_->setAccessibleName(action);

  const bool hasVolume = input ? state.inputVolume.has_value() : state.volumeSupported;
  const float volume = input ? state.inputVolume.value_or(0.0f) : state.systemVolume;
  VolumeSlider* slider = slider_;
  slider->setVisible(hasVolume);
  if (percentage_) percentage_->setVisible(hasVolume);
  noVolume_->setVisible(!hasVolume);
  if (hasVolume) {
    slider->showModelValue(volume);
    if (percentage_ && !slider->isSliderDown()) percentage_->setValue(volume);
  }
}

// ---- CurrentDeviceCard

CurrentDeviceCard::CurrentDeviceCard(ModelBridge& bridge, AudioDirection direction,
                                     BookmarkCallback effects, QWidget* parent)
    : QFrame(parent), bridge_(bridge), direction_(direction), effects_(std::move(effects)) {
  const bool output = !isInputSide(direction);
  auto* layout = new QVBoxLayout(this);
  const int padding = output ? 14 : 10;
  layout->setContentsMargins(padding, padding, padding, padding);
  layout->setSpacing(output ? 10 : 4);

  auto* top = new QHBoxLayout();
  top->setSpacing(8);
  auto* titles = new QVBoxLayout();
  titles->setSpacing(1);
  caption_ = plainLabel("当前" + directionWord(direction), this);
  setTextRole(caption_, output ? PanelColor::outputSecondary : PanelColor::textSecondary);
  QFont small = caption_->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  caption_->setFont(small);
  name_ = plainLabel({}, this);
  setTextRole(name_, output ? PanelColor::outputText : PanelColor::textPrimary);
  QFont bold = name_->font();
  bold.setBold(true);
  name_->setFont(bold);
  name_->setMinimumWidth(40);
  titles->addWidget(caption_);
  titles->addWidget(name_);
  top->addLayout(titles, 1);
  if (output) {
    boost_ = new PanelIconButton("bolt", 28, this);
    boost_->setCheckable(true);
    boost_->setOnDark(true);
    boost_->setAccessibleName(QStringLiteral("音量增强"));
    connect(boost_, &QAbstractButton::toggled, this, &CurrentDeviceCard::boostToggled);
    effectsButton_ = new PanelIconButton("slider.horizontal.3", 28, this);
    effectsButton_->setOnDark(true);
    connect(effectsButton_, &QAbstractButton::clicked, this, [this] {
      if (effects_) effects_(bookmark_.id);
    });
    top->addWidget(boost_);
    top->addWidget(effectsButton_);
  }
  layout->addLayout(top);
  controls_ = new CurrentDeviceControls(bridge, direction, output, true, this);
  layout->addWidget(controls_);
}

void CurrentDeviceCard::setBookmark(const settings::DeviceBookmark& bookmark) {
  bookmark_ = bookmark;
  refresh();
}

void CurrentDeviceCard::boostToggled(bool on) {
  model::AppModel& model = bridge_.model();
  if (on != model.boostEnabled(bookmark_.id)) model.toggleBoost(bookmark_.id);
}

void CurrentDeviceCard::refresh() {
  const QString name = qstr(bookmark_.displayName());
  name_->setText(name);
  name_->setToolTip(plainToolTip(name));
  setAccessibleName("当前" + directionWord(direction_) + "：" + name);
  if (boost_) {
    const bool on = bridge_.model().boostEnabled(bookmark_.id);
    {
      const QSignalBlocker blocker(boost_);
      boost_->setChecked(on);
    }
    boost_->setActive(on);
    boost_->setOnOffDescription(on);
    boost_->setToolTip(on ? QStringLiteral("关闭音量增强")
                          : QStringLiteral("开启音量增强（约 +6 dB）"));
    effectsButton_->setAccessibleName(name + " 音效");
    effectsButton_->setToolTip(plainToolTip(name + " 音效"));
  }
  controls_->refresh();
}

void CurrentDeviceCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool output = !isInputSide(direction_);
  const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  painter.setBrush(PanelTheme::color(output ? PanelColor::outputSurface : PanelColor::card));
  painter.setPen(
      QPen(PanelTheme::color(output ? PanelColor::outputBorder : PanelColor::border), 1));
  painter.drawRoundedRect(box, 14, 14);
}

// ---- DeviceRowButton

DeviceRowButton::DeviceRowButton(QWidget* parent) : QAbstractButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setMinimumHeight(28);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DeviceRowButton::present(const QString& symbol, const QString& name, const QString& trailing,
                              bool current) {
  if (symbol_ == symbol && text() == name && trailing_ == trailing && current_ == current) return;
  symbol_ = symbol;
  trailing_ = trailing;
  current_ = current;
  setText(name);
  setAccessibleName(name);
  setAccessibleDescription(trailing);
  setToolTip(plainToolTip(name));
  update();
}

QSize DeviceRowButton::sizeHint() const { return {200, qMax(32, fontMetrics().height() + 12)}; }

void DeviceRowButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if ((underMouse() && isEnabled()) || isDown()) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(PanelTheme::color(PanelColor::subdued));
    painter.drawRoundedRect(QRectF(rect()), 7, 7);
  }
  if (hasFocus()) {
    painter.setPen(QPen(PanelTheme::color(PanelColor::accent), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 7, 7);
  }
  QColor ink = PanelTheme::color(PanelColor::textPrimary);
  QColor secondary = PanelTheme::color(current_ ? PanelColor::accent : PanelColor::textSecondary);
  if (!isEnabled()) {
    ink = PanelTheme::color(PanelColor::textSecondary);
  }
  const int glyph = 16;
  const int y = (height() - glyph) / 2;
  painter.drawPixmap(
      8, y,
      panelIcon(symbol_, PanelTheme::color(PanelColor::textSecondary), glyph, devicePixelRatioF()));
  int right = width() - 8;
  if (current_) {
    painter.drawPixmap(right - 14, (height() - 14) / 2,
                       panelIcon("checkmark", secondary, 14, devicePixelRatioF()));
    right -= 18;
  }
  if (!trailing_.isEmpty()) {
    const int w = fontMetrics().horizontalAdvance(trailing_);
    painter.setPen(secondary);
    painter.drawText(QRect(right - w, 0, w, height()), Qt::AlignVCenter | Qt::AlignRight,
                     trailing_);
    right -= w + 8;
  }
  const int left = 8 + glyph + 8;
  painter.setPen(ink);
  const QString elided = fontMetrics().elidedText(text(), Qt::ElideRight, qMax(0, right - left));
  painter.drawText(QRect(left, 0, right - left, height()), Qt::AlignVCenter | Qt::AlignLeft,
                   elided);
}

// ---- DeviceRow

DeviceRow::DeviceRow(ModelBridge& bridge, AudioDirection direction, BookmarkCallback effects,
                     bool showEffects, QWidget* parent)
    : QWidget(parent), bridge_(bridge), direction_(direction), effects_(std::move(effects)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  button_ = new DeviceRowButton(this);
  layout->addWidget(button_, 1);
  cancel_ = new PanelIconButton("xmark", 28, this);
  layout->addWidget(cancel_);
  if (showEffects) {
    effectsButton_ = new PanelIconButton("slider.horizontal.3", 28, this);
    layout->addWidget(effectsButton_);
    connect(effectsButton_, &QAbstractButton::clicked, this, [this] {
      if (effects_) effects_(bookmark_.id);
    });
  }
  // The model publishes inside these calls; the bridge delivers later, so no row is deleted
  // while its own click is on the stack.
  connect(button_, &QAbstractButton::clicked, this,
          [this] { bridge_.model().selectBookmark(bookmark_, direction_); });
  connect(cancel_, &QAbstractButton::clicked, this,
          [this] { bridge_.model().cancelConnection(direction_); });
}

void DeviceRow::setBookmark(const settings::DeviceBookmark& bookmark) {
  bookmark_ = bookmark;
  refresh();
}

void DeviceRow::refresh() {
  const model::ModelState& state = bridge_.state();
  model::AppModel& model = bridge_.model();
  const QString name = qstr(bookmark_.displayName());
  const auto device = model.presentDevice(bookmark_, direction_);
  const AudioObjectID currentID = isInputSide(direction_) ? state.inputID : state.outputID;
  const bool current = device && device->id == currentID;
  const bool bluetooth = bookmark_.bluetoothAddress.has_value();
  const auto label = state.connectionLabels.find(model::connectionKey(direction_, bookmark_.id));
  const bool connecting = label != state.connectionLabels.end();

  QString trailing;
  if (connecting)
    trailing = qstr(label->second);
  else if (current)
    trailing = QStringLiteral("当前");
  else if (!device)
    trailing = bluetooth ? QStringLiteral("连接蓝牙") : QStringLiteral("离线");
  button_->present(qstr(bookmark_.symbol), name, trailing, current && !connecting);
  button_->setEnabled(!connecting && (device || bluetooth));
  cancel_->setVisible(connecting);
  cancel_->setAccessibleName("取消连接 " + name);
  cancel_->setToolTip(plainToolTip("取消连接 " + name));
  if (effectsButton_) {
    effectsButton_->setAccessibleName(name + " 音效");
    effectsButton_->setToolTip(plainToolTip(name + " 音效"));
  }
}

}  // namespace velmora::ui

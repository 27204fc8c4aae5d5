#include "shell/VolumeHUD.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "ui/PanelIcons.h"
#include "ui/PanelPercentage.h"
#include "ui/PanelTheme.h"

namespace velmora::shell {

using ui::PanelColor;
using ui::PanelTheme;

QRect hudFrame(const QRect& available, const std::string& position) {
  const int x = available.x() + available.width() / 2 - VolumeHUDView::kWidth / 2;
  int y = available.y() + available.height() - 60 - VolumeHUDView::kHeight;
  if (position == "top") y = available.y() + 36;
  if (position == "center") y = available.y() + available.height() / 2 - VolumeHUDView::kHeight / 2;
  return {x, y, VolumeHUDView::kWidth, VolumeHUDView::kHeight};
}

VolumeHUDView::VolumeHUDView(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                          Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TranslucentBackground);
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(kWidth, kHeight);
}

void VolumeHUDView::setContent(QString device, float volume, bool muted,
                               settings::AudioDirection direction, bool dark) {
  device_ = std::move(device);
  volume_ = volume;
  muted_ = muted;
  direction_ = direction;
  dark_ = dark;
  setAccessibleName(device_ + QLatin1Char(' ') + valueText());
  update();
}

QString VolumeHUDView::valueText() const {
  return muted_ ? QStringLiteral("静音") : ui::PanelPercentage::text(volume_);
}

QString VolumeHUDView::symbol() const {
  if (settings::isInput(direction_)) {
    return muted_ ? QStringLiteral("mic.slash.fill") : QStringLiteral("mic.fill");
  }
  return muted_ ? QStringLiteral("speaker.slash.fill") : QStringLiteral("speaker.wave.2.fill");
}

void VolumeHUDView::paintEvent(QPaintEvent*) {
  ui::Appearance appearance = PanelTheme::appearance();
  if (dark_) appearance.dark = true;
  const auto color = [&](PanelColor c) { return PanelTheme::color(c, appearance); };
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // Without a compositor there is no translucency: the solid card keeps the text legible.
  QColor background = color(PanelColor::card);
  if (!dark_ && !appearance.increasedContrast && QGuiApplication::platformName() != "offscreen")
    background.setAlphaF(0.94);
  QPainterPath outline;
  outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
  painter.fillPath(outline, background);
  painter.setPen(QPen(color(PanelColor::border), 1));
  painter.drawPath(outline);

  const QRect content = rect().adjusted(18, 18, -18, -18);
  const QColor text = color(PanelColor::textPrimary);
  painter.drawPixmap(content.x(), content.center().y() - 8,
                     ui::panelIcon(symbol(), text, 16, devicePixelRatioF()));

  QFont valueFont = font();
  valueFont.setPixelSize(13);
  valueFont.setWeight(QFont::DemiBold);
  const int valueWidth = QFontMetrics(valueFont).horizontalAdvance(QStringLiteral("100%")) + 4;
  const QRect value(content.right() - valueWidth, content.y(), valueWidth, content.height());
  painter.setFont(valueFont);
  painter.setPen(text);
  painter.drawText(value, Qt::AlignRight | Qt::AlignVCenter, valueText());

  const int left = content.x() + 28;
  const int right = value.x() - 12;
  QFont nameFont = font();
  nameFont.setPixelSize(13);
  nameFont.setWeight(QFont::Medium);
  painter.setFont(nameFont);
  const QFontMetrics metrics(nameFont);
  const QRect name(left, content.y() + 4, right - left, metrics.height());
  painter.drawText(name, Qt::AlignLeft | Qt::AlignVCenter,
                   metrics.elidedText(device_, Qt::ElideRight, name.width()));

  const QRectF track(left, name.bottom() + 10, right - left, 6);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color(PanelColor::subdued));
  painter.drawRoundedRect(track, 3, 3);
  const float level = std::clamp(volume_, 0.0f, 1.0f);
  if (level > 0.0f) {
    painter.setBrush(color(PanelColor::accent));
    painter.drawRoundedRect(QRectF(track.x(), track.y(), track.width() * level, track.height()), 3,
                            3);
  }
}

VolumeHUDController::~VolumeHUDController() { hideTask_.cancel(); }

void VolumeHUDController::show(const std::string& device, float volume, bool muted,
                               settings::AudioDirection direction,
                               const settings::InterfaceSettings& settings) {
  if (!settings.hudEnabled) return;
  hideTask_.cancel();
  if (!window_) window_ = std::make_unique<VolumeHUDView>();
  window_->setContent(QString::fromStdString(device), volume, muted, direction,
                      settings.hudStyle == "dark");
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  window_->setGeometry(hudFrame(screen->availableGeometry(), settings.hudPosition));
  window_->show();
  window_->raise();
  hideTask_ = queue_.after(kHideDelay, [this] {
    if (window_) window_->hide();
  });
}

void VolumeHUDController::hide() {
  hideTask_.cancel();
  if (window_) window_->hide();
}

}  // namespace velmora::shell

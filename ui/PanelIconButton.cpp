#include "ui/PanelIconButton.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/PanelIcons.h"
#include "ui/PanelTheme.h"

namespace velmora::ui {

PanelIconButton::PanelIconButton(const QString& symbol, int size, QWidget* parent)
    : QToolButton(parent), symbol_(symbol), size_(size) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setAutoRaise(true);
}

void PanelIconButton::setSymbol(const QString& symbol) {
  if (symbol_ == symbol) return;
  symbol_ = symbol;
  update();
}

void PanelIconButton::setActive(bool active) {
  if (active_ == active) return;
  active_ = active;
  update();
}

void PanelIconButton::setOnDark(bool onDark) {
  if (onDark_ == onDark) return;
  onDark_ = onDark;
  update();
}

void PanelIconButton::setOnOffDescription(bool on) {
  setAccessibleDescription(on ? QStringLiteral("已开启") : QStringLiteral("已关闭"));
}

QSize PanelIconButton::sizeHint() const {
  if (text().isEmpty()) return {size_, size_};
  const int textWidth = fontMetrics().horizontalAdvance(text());
  return {size_ + textWidth + 4, size_};
}

void PanelIconButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool hovered = underMouse() && isEnabled();
  QColor surface = Qt::transparent;
  QColor ink;
  if (onDark_) {
    if (active_ || hovered || isDown()) surface = PanelTheme::color(PanelColor::outputHighlight);
    ink = PanelTheme::color(active_ ? PanelColor::outputSecondary : PanelColor::outputText);
  } else {
    if (active_)
      surface = PanelTheme::color(PanelColor::accentSurface);
    else if (hovered || isDown())
      surface = PanelTheme::color(PanelColor::subdued);
    ink = PanelTheme::color(active_ ? PanelColor::accent : PanelColor::textSecondary);
  }
  if (!isEnabled()) ink.setAlphaF(0.4f);
  const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  if (surface.alpha() > 0) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(surface);
    painter.drawRoundedRect(box, 7, 7);
  }
  if (hasFocus()) {
    painter.setPen(
        QPen(PanelTheme::color(onDark_ ? PanelColor::outputSecondary : PanelColor::accent), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box, 7, 7);
  }
  const int glyph = qRound(size_ * 0.57);
  const QPixmap icon = panelIcon(symbol_, ink, glyph, devicePixelRatioF());
  const int top = (height() - glyph) / 2;
  if (text().isEmpty()) {
    painter.drawPixmap((width() - glyph) / 2, top, icon);
  } else {
    const int left = (size_ - glyph) / 2;
    painter.drawPixmap(left, top, icon);
    painter.setPen(ink);
    painter.drawText(QRect(left + glyph + 3, 0, width() - left - glyph - 3, height()),
                     Qt::AlignVCenter | Qt::AlignLeft, text());
  }
}

}  // namespace velmora::ui

#include "ui/SettingsKit.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/PanelIcons.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"

namespace velmora::ui {

// ---- SettingsCard

SettingsCard::SettingsCard(const QString& title, const QString& symbol, QWidget* parent)
    : QFrame(parent), symbol_(symbol) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 14);
  layout->setSpacing(10);
  if (!title.isEmpty()) {
    auto* header = new QHBoxLayout();
    header->setSpacing(8);
    if (!symbol.isEmpty()) {
      symbolLabel_ = new QLabel(this);
      symbolLabel_->setFixedSize(16, 16);
      header->addWidget(symbolLabel_);
      paintSymbol();
    }
    header->addWidget(headingLabel(title, 1.0, this), 1);
    layout->addLayout(header);
  }
  body_ = new QVBoxLayout();
  body_->setSpacing(8);
  layout->addLayout(body_);
}

void SettingsCard::paintSymbol() {
  if (symbolLabel_ != nullptr) {
    symbolLabel_->setPixmap(
        panelIcon(symbol_, PanelTheme::color(PanelColor::accent), 16, devicePixelRatioF()));
  }
}

void SettingsCard::changeEvent(QEvent* event) {
  // The window re-applies its palette when the appearance changes.
  if (event->type() == QEvent::PaletteChange) paintSymbol();
  QFrame::changeEvent(event);
}

void SettingsCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(PanelTheme::color(PanelColor::border), 1));
  painter.setBrush(PanelTheme::color(PanelColor::card));
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

// ---- ToggleSwitch

ToggleSwitch::ToggleSwitch(const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent) {
  setCheckable(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(accessibleName);
  setFixedSize(sizeHint());
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
  // Off is the secondary text colour, thinned: it stays visible on a white card and a dark one.
  QColor fill = PanelTheme::color(isChecked() ? PanelColor::accent : PanelColor::textSecondary);
  if (!isChecked()) fill.setAlphaF(0.45f);
  if (!isEnabled()) fill.setAlphaF(fill.alphaF() * 0.45f);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);
  const qreal knob = track.height() - 4;
  const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
  painter.setPen(Qt::NoPen);
  painter.setBrush(isChecked() ? PanelTheme::color(PanelColor::card) : QColor(Qt::white));
  painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
  if (hasFocus()) {
    painter.setPen(QPen(PanelTheme::color(PanelColor::accent), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), height() / 2.0,
                            height() / 2.0);
  }
}

// ---- SegmentedPicker

SegmentedPicker::SegmentedPicker(const QString& accessibleName, const QStringList& titles,
                                 QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
  setAccessibleName(accessibleName);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (int i = 0; i < titles.size(); ++i) {
    auto* button = new QPushButton(titles[i], this);
    button->setCheckable(true);
    button->setAccessibleName(titles[i]);
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty("segment", i == 0 ? "first" : (i == titles.size() - 1 ? "last" : "middle"));
    group_->addButton(button, i);
    layout->addWidget(button);
  }
  group_->setExclusive(true);
  // A styled widget keeps its own palette, so it follows the appearance itself.
  connect(&PanelTheme::instance(), &PanelTheme::changed, this, &SegmentedPicker::restyle);
  connect(group_, &QButtonGroup::idClicked, this, &SegmentedPicker::picked);
  restyle();
  setCurrent(0);
}

void SegmentedPicker::restyle() {
  const auto hex = [](PanelColor color) { return PanelTheme::color(color).name(); };
  const QString sheet =
      QStringLiteral(
          "QPushButton { padding: 5px 14px; border: 1px solid %1; background: %2; color: %3; }"
          "QPushButton[segment=\"first\"] { border-top-left-radius: 7px;"
          " border-bottom-left-radius: 7px; }"
          "QPushButton[segment=\"last\"] { border-top-right-radius: 7px;"
          " border-bottom-right-radius: 7px; }"
          "QPushButton:checked { background: %4; color: %2; border-color: %4; }"
          "QPushButton:disabled { color: %5; }")
          .arg(hex(PanelColor::border), hex(PanelColor::card), hex(PanelColor::textPrimary),
               hex(PanelColor::accent), hex(PanelColor::textSecondary));
  if (sheet != styleSheet()) setStyleSheet(sheet);
}

int SegmentedPicker::current() const { return group_->checkedId(); }

void SegmentedPicker::setCurrent(int index) {
  if (QAbstractButton* b = group_->button(index)) b->setChecked(true);
}

QAbstractButton* SegmentedPicker::button(int index) const { return group_->button(index); }

// ---- helpers

QWidget* settingRow(const QString& title, QWidget* control, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 2, 0, 2);
  layout->setSpacing(12);
  auto* label = plainLabel(title, row);
  label->setWordWrap(true);
  layout->addWidget(label, 1);
  layout->addWidget(control, 0, Qt::AlignVCenter);
  return row;
}

QLabel* noteLabel(const QString& text, QWidget* parent) {
  auto* label = plainLabel(text, parent);
  label->setWordWrap(true);
  setTextRole(label, PanelColor::textSecondary);
  return label;
}

QLabel* headingLabel(const QString& text, qreal scale, QWidget* parent) {
  auto* label = plainLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * scale);
  label->setFont(font);
  return label;
}

QFrame* divider(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFixedHeight(1);
  line->setAutoFillBackground(true);
  line->setBackgroundRole(QPalette::Mid);
  return line;
}

}  // namespace velmora::ui

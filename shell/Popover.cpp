#include "shell/Popover.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "shell/PopoverPlacement.h"
#include "ui/MainPanel.h"
#include "ui/ModelBridge.h"
#include "ui/PanelTheme.h"

namespace velmora::shell {

Popover::Popover(ui::ModelBridge& bridge, ui::OpenSettings openSettings, const QString& notice)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      bridge_(bridge) {
  setWindowTitle(QStringLiteral("Velmora"));
  setAccessibleName(QStringLiteral("Velmora"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  notice_ = new QLabel(notice, this);
  notice_->setTextFormat(Qt::PlainText);
  notice_->setWordWrap(true);
  notice_->setAlignment(Qt::AlignCenter);
  notice_->setContentsMargins(10, 6, 10, 6);
  notice_->setStyleSheet(QStringLiteral("background: #FFF3DF; color: #8A4B0B;"));
  notice_->setVisible(!notice.isEmpty());
  layout->addWidget(notice_);
  panel_ = new ui::MainPanel(bridge, std::move(openSettings), this);
  layout->addWidget(panel_, 1);
  resize(wantedSize());
}

QSize Popover::wantedSize() const {
  const auto& advanced = bridge_.state().preferences.advanced;
  const bool compact = advanced && advanced->interface.compact;
  return {ui::PanelTheme::width, compact ? ui::PanelTheme::compactHeight : ui::PanelTheme::height};
}

void Popover::applyInterface() {
  const QSize size = wantedSize();
  if (window_) {
    resize(size);
    return;
  }
  setFixedSize(size);
}

void Popover::showAt(std::optional<QPoint> anchor) {
  if (anchor) lastAnchor_ = anchor;
  applyInterface();
  if (!window_) {
    const std::optional<QPoint> place = anchor ? anchor : lastAnchor_;
    QScreen* screen = place ? QGuiApplication::screenAt(*place) : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
      move(popoverFrame(place, screen->geometry(), screen->availableGeometry(), size()).topLeft());
    }
  }
  show();
  raise();
  activateWindow();
}

void Popover::toggle(std::optional<QPoint> anchor) {
  if (isVisible()) {
    hide();
  } else {
    showAt(anchor);
  }
}

void Popover::becomeWindow() {
  window_ = true;
  setWindowFlags(Qt::Window);
  setMinimumSize(ui::PanelTheme::width, ui::PanelTheme::compactHeight);
  resize(wantedSize());
}

bool Popover::event(QEvent* event) {
  // A click anywhere else takes the focus away: the pop-over closes, as a menu would.
  if (event->type() == QEvent::WindowDeactivate && !window_ && isVisible()) hide();
  return QWidget::event(event);
}

void Popover::keyPressEvent(QKeyEvent* event) {
  // The panel goes back from a detail page itself; on the mixer Escape closes the pop-over.
  if (event->key() == Qt::Key_Escape && !window_) {
    hide();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace velmora::shell

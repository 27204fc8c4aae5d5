#include "ui/PanelIcons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>
#include <utility>

namespace velmora::ui {
namespace {

// Symbol names as the views and the device list store them -> the icon set's file names. The set
// is outline only, so a ".fill" symbol differs from its outline by the button's state, not here.
const QHash<QString, QString>& symbolFiles() {
  static const QHash<QString, QString> files{
      {"waveform", "audio-waveform"},
      {"speaker.wave.2", "volume-2"},
      {"speaker.wave.2.fill", "volume-2"},
      {"speaker.slash.fill", "volume-x"},
      {"mic", "mic"},
      {"mic.fill", "mic"},
      {"mic.slash.fill", "mic-off"},
      {"gearshape", "settings"},
      {"headphones", "headphones"},
      {"chevron.left", "chevron-left"},
      {"chevron.right", "chevron-right"},
      {"checkmark", "check"},
      {"checkmark.circle.fill", "circle-check"},
      {"circle", "circle"},
      {"exclamationmark.circle", "circle-alert"},
      {"exclamationmark.circle.fill", "circle-alert"},
      {"xmark", "x"},
      {"rectangle.compress.vertical", "fold-vertical"},
      {"rectangle.expand.vertical", "unfold-vertical"},
      {"slider.horizontal.3", "sliders-horizontal"},
      {"app.fill", "app-window"},
      {"laptopcomputer", "laptop"},
      {"display", "monitor"},
      {"cable.connector", "cable"},
      {"bolt", "zap"},
      {"pause.circle", "circle-pause"},
      {"wifi.slash", "wifi-off"},
      {"square.stack", "square-stack"},
      {"keyboard", "keyboard"},
      {"switch.2", "toggle-right"},
      {"chevron.up", "chevron-up"},
      {"chevron.down", "chevron-down"},
      {"xmark.circle.fill", "circle-x"},
  };
  return files;
}

QByteArray tinted(const QString& file, const QColor& color) {
  QFile svg(":/icons/" + file + ".svg");
  if (!svg.open(QIODevice::ReadOnly)) return {};
  QByteArray data = svg.readAll();
  data.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
  return data;
}

}  // namespace

QPixmap panelIcon(const QString& symbol, const QColor& color, int size, qreal ratio) {
  static QHash<QString, QPixmap> cache;
  const QString key = symbol + '|' + color.name(QColor::HexArgb) + '|' + QString::number(size) +
                      '|' + QString::number(ratio);
  if (const auto found = cache.constFind(key); found != cache.constEnd()) return *found;

  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QString file = symbolFiles().value(symbol);
  QSvgRenderer renderer(file.isEmpty() ? QByteArray() : tinted(file, color));
  if (renderer.isValid()) {
    renderer.render(&painter, QRectF(0, 0, size, size));
  } else {
    // Unknown symbol: a small rounded square in the same colour keeps the layout and says nothing.
    QPen pen(color, qMax(1.0, size / 12.0));
    painter.setPen(pen);
    const qreal inset = size * 0.25;
    painter.drawRoundedRect(QRectF(inset, inset, size - 2 * inset, size - 2 * inset), 2, 2);
  }
  painter.end();
  cache.insert(key, pixmap);
  return pixmap;
}

}  // namespace velmora::ui

// The panel's symbols: the names the views use, drawn from the vendored SVG icon set and tinted
// with one colour. An unknown name draws a neutral placeholder rather than nothing.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace velmora::ui {

// `symbol` at `size` logical pixels in `color`, for a device pixel ratio of `ratio`. Cached.
QPixmap panelIcon(const QString& symbol, const QColor& color, int size, qreal ratio = 1.0);

}  // namespace velmora::ui

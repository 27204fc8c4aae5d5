// Where the pop-over opens: under (or, with the tray at the bottom, above) the click, inside the
// screen's available area; without a click, at the last click's place, else in the corner next
// to the desktop's panel.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

namespace velmora::shell {

// `screen` is the whole screen holding the anchor, `available` its area without the desktop's
// panels.
QRect popoverFrame(std::optional<QPoint> anchor, const QRect& screen, const QRect& available,
                   const QSize& size);

}  // namespace velmora::shell

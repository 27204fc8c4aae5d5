#include "shell/PopoverPlacement.h"

#include <algorithm>

namespace velmora::shell {
namespace {

constexpr int kGap = 4;  // between the click and the pop-over

int clampInto(int start, int length, int areaStart, int areaLength) {
  return std::max(areaStart, std::min(start, areaStart + areaLength - length));
}

}  // namespace

QRect popoverFrame(std::optional<QPoint> anchor, const QRect& screen, const QRect& available,
                   const QSize& size) {
  QPoint origin;
  if (anchor) {
    // A click in the lower half comes from a panel at the bottom: open upwards.
    const bool upwards = anchor->y() > screen.center().y();
    origin = {anchor->x() - size.width() / 2,
              upwards ? anchor->y() - kGap - size.height() : anchor->y() + kGap};
  } else {
    const bool panelAtBottom = available.bottom() < screen.bottom();
    origin = {
        available.right() + 1 - size.width() - kGap,
        panelAtBottom ? available.bottom() + 1 - size.height() - kGap : available.top() + kGap};
  }
  return {clampInto(origin.x(), size.width(), available.left(), available.width()),
          clampInto(origin.y(), size.height(), available.top(), available.height()), size.width(),
          size.height()};
}

}  // namespace velmora::shell

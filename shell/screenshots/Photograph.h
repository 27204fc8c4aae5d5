// Writes a window as the screen shows it, light and dark: FOLDER/NAME-light.png and -dark.png.
#pragma once

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <functional>
#include <iostream>
#include <stdexcept>

#include "ui/PanelTheme.h"

namespace velmora::screenshots {

// `arrange` runs after each change of appearance, once the new layout has settled.
inline void photograph(QWidget& window, const QString& folder, const QString& name,
                       const std::function<void()>& arrange = {}) {
  for (const bool dark : {false, true}) {
    ui::PanelTheme::setOverride(ui::Appearance{dark, false});
    // New rows are laid out and shown over a few turns of the event loop; let them all pass.
    for (int turn = 0; turn < 5; ++turn) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
    if (arrange) {
      arrange();
      QCoreApplication::processEvents();
    }
    window.repaint();
    // The X server shows the new pixels a moment later; a grab at once may catch the old ones.
    QTest::qWait(300);
    QPixmap picture = window.screen()->grabWindow(window.winId());
    if (picture.isNull()) picture = window.grab();
    const QString file = folder + "/" + name + (dark ? "-dark" : "-light") + ".png";
    if (!picture.save(file)) throw std::runtime_error("cannot write " + file.toStdString());
    std::cout << file.toStdString() << "\n";
  }
}

}  // namespace velmora::screenshots

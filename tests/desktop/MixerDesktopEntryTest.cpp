// The mixer on the simulated machine with the desktop's application knowledge: a process the
// audio server names "org.example.Player" shows that desktop entry's translated name and icon.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>

#include "platform/desktop/DesktopApplicationServices.h"
#include "tests/ui/PanelHarness.h"

namespace velmora::platform {
namespace {

const QString kFixtures = QStringLiteral(VELMORA_DESKTOP_FIXTURES);

TEST(MixerDesktopEntry, ARowShowsTheNameAndIconOfTheApplicationsDesktopEntry) {
  QIcon::setThemeSearchPaths({kFixtures + "/system/icons"});
  QIcon::setThemeName("hicolor");
  test::PanelHarness h;
  const auto client = [](int32_t pid) {
    return pid == 100 ? AudioClientApplication{"org.example.Player", "player", ""}
                      : AudioClientApplication{};
  };
  DesktopApplicationServices applications(
      DesktopEntries({(kFixtures + "/system/applications").toStdString()}, "zh_CN.UTF-8"), client);
  ApplicationServices* previous = installApplicationServices(&applications);
  h.settle(1.5);
  installApplicationServices(previous);

  QLabel* name = h.find<QLabel>("示例播放器");
  ASSERT_NE(name, nullptr);
  QImage icon;
  for (const QLabel* label : name->parentWidget()->findChildren<QLabel*>())
    if (!label->pixmap().isNull()) icon = label->pixmap().toImage();
  ASSERT_FALSE(icon.isNull());
  // The entry's icon is a magenta tile; the generic application icon is grey.
  const QColor left = icon.pixelColor(icon.width() / 8, icon.height() / 2);
  EXPECT_GT(left.red(), 160) << left.name().toStdString();
  EXPECT_LT(left.green(), 100) << left.name().toStdString();
}

}  // namespace
}  // namespace velmora::platform

// The pieces every panel view shares: percentages, colours and symbols.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "ui/PanelIcons.h"
#include "ui/PanelPercentage.h"
#include "ui/PanelTheme.h"

namespace {

using velmora::ui::PanelColor;

TEST(PanelKit, PercentagesRoundAsTheSliderHoldsThemAndEveryAppearanceHasEveryColour) {
  const std::pair<float, const char*> cases[] = {{0.505f, "51%"}, {0.504f, "50%"}, {NAN, "0%"}};
  for (const auto& [value, shown] : cases) {
    EXPECT_EQ(velmora::ui::PanelPercentage::text(value).toStdString(), shown) << value;
  }
  const auto rgb = [](PanelColor color, bool dark, bool contrast) {
    return velmora::ui::PanelTheme::color(color, {dark, contrast}).rgb();
  };
  for (int c = 0; c <= int(PanelColor::outputSecondary); ++c) {
    for (const bool dark : {false, true}) {
      for (const bool contrast : {false, true}) {
        EXPECT_NE(rgb(PanelColor(c), dark, contrast), QColor(Qt::magenta).rgb()) << c;
      }
    }
  }
  // Increased contrast uses its own value where there is one, else the plain one.
  EXPECT_NE(rgb(PanelColor::accent, true, true), rgb(PanelColor::accent, true, false));
  EXPECT_EQ(rgb(PanelColor::background, true, true), rgb(PanelColor::background, true, false));
}

// Symbols are drawn in the tint and nothing else; an unknown name still draws something neutral.
TEST(PanelKit, SymbolsAreDrawnOnlyInTheirTint) {
  const QColor tint(0x28, 0x6B, 0x60);
  for (const char* symbol : {"speaker.wave.2", "mic.slash.fill", "bolt", "no.such.symbol"}) {
    const QImage image = velmora::ui::panelIcon(symbol, tint, 24).toImage();
    int matching = 0;
    int other = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QColor pixel = image.pixelColor(x, y);
        if (pixel.alpha() == 255) (pixel.rgb() == tint.rgb() ? matching : other) += 1;
      }
    }
    EXPECT_GT(matching, 10) << symbol;
    EXPECT_EQ(other, 0) << symbol;
  }
}

}  // namespace

// The pieces every panel view shares: percentages, colours and symbols.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "ui/PanelIcons.h"
#include "ui/PanelPercentage.h"
#include "ui/PanelTheme.h"

namespace {

using velmora::ui::Appearance;
using velmora::ui::PanelColor;
using velmora::ui::PanelTheme;

TEST(PanelKit, PercentagesRoundAsTheSliderHoldsThem) {
  const std::pair<float, const char*> cases[] = {
      {0.505f, "51%"}, {0.504f, "50%"}, {0.999f, "100%"}, {0.004f, "0%"},
      {0.0f, "0%"},    {1.0f, "100%"},  {NAN, "0%"},
  };
  for (const auto& [value, shown] : cases) {
    EXPECT_EQ(velmora::ui::PanelPercentage::text(value).toStdString(), shown) << value;
  }
}

// The values are the theme's table; what is tested is how an appearance picks among them.
TEST(PanelKit, ColoursFollowAppearanceAndContrast) {
  const auto rgb = [](PanelColor color, bool dark, bool contrast) {
    return PanelTheme::color(color, {dark, contrast}).rgb();
  };
  for (int c = 0; c <= int(PanelColor::outputSecondary); ++c) {
    const auto color = PanelColor(c);
    for (const bool dark : {false, true}) {
      for (const bool contrast : {false, true}) {
        EXPECT_NE(rgb(color, dark, contrast), QColor(Qt::magenta).rgb()) << c << " is in the table";
      }
    }
    if (color >= PanelColor::outputSurface) {
      EXPECT_EQ(rgb(color, false, false), rgb(color, true, true)) << c << " is fixed";
    }
  }
  EXPECT_NE(rgb(PanelColor::background, false, false), rgb(PanelColor::background, true, false));
  EXPECT_EQ(rgb(PanelColor::background, true, true), rgb(PanelColor::background, true, false))
      << "no contrast variant: the plain value";
  EXPECT_NE(rgb(PanelColor::accent, true, true), rgb(PanelColor::accent, true, false));
  PanelTheme::setOverride(Appearance{true, false});
  EXPECT_EQ(PanelTheme::color(PanelColor::card).rgb(), rgb(PanelColor::card, true, false));
  PanelTheme::setOverride(std::nullopt);
}

// The share of a symbol's pixels drawn in `color` (any alpha), and whether anything else shows.
std::pair<int, int> inked(const QString& symbol, const QColor& color) {
  const QImage image = velmora::ui::panelIcon(symbol, color, 24).toImage();
  int matching = 0;
  int other = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (pixel.alpha() != 255) continue;
      (pixel.rgb() == color.rgb() ? matching : other) += 1;
    }
  }
  return {matching, other};
}

TEST(PanelKit, EverySymbolTheViewsAndDeviceListUseIsDrawnInItsTint) {
  const QColor tint(0x28, 0x6B, 0x60);
  const QStringList symbols =
      QString(
          "waveform speaker.wave.2 speaker.wave.2.fill speaker.slash.fill mic mic.fill "
          "mic.slash.fill gearshape headphones chevron.left chevron.right checkmark "
          "checkmark.circle.fill circle exclamationmark.circle.fill xmark "
          "rectangle.compress.vertical rectangle.expand.vertical slider.horizontal.3 app.fill "
          "laptopcomputer display cable.connector bolt")
          .split(' ');
  for (const QString& symbol : symbols) {
    SCOPED_TRACE(symbol.toStdString());
    EXPECT_FALSE(velmora::ui::iconFile(symbol).isEmpty());
    const auto [matching, other] = inked(symbol, tint);
    EXPECT_GT(matching, 10);
    EXPECT_EQ(other, 0);
  }
  // An unknown name still draws something neutral in the tint instead of failing.
  EXPECT_TRUE(velmora::ui::iconFile("no.such.symbol").isEmpty());
  EXPECT_GT(inked("no.such.symbol", tint).first, 10);
}

}  // namespace

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

TEST(PanelKit, ColoursFollowAppearanceAndContrast) {
  struct Case {
    PanelColor color;
    Appearance appearance;
    QRgb rgb;
  };
  const Case cases[] = {
      {PanelColor::background, {false, false}, 0xF2F3EF},
      {PanelColor::background, {true, false}, 0x181E1D},
      {PanelColor::background, {true, true}, 0x181E1D},  // no contrast variant: the dark value
      {PanelColor::danger, {false, true}, 0xB32635},
      {PanelColor::accent, {false, true}, 0x145448},
      {PanelColor::accent, {true, true}, 0xB8EBD9},
      {PanelColor::textSecondary, {true, false}, 0xA8B9AD},
      {PanelColor::outputBorder, {true, false}, 0x466659},
      {PanelColor::outputBorder, {false, true}, 0xB5DFC9},
      {PanelColor::outputText, {true, true}, qRgb(243, 248, 245)},  // fixed in every appearance
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PanelTheme::color(c.color, c.appearance).rgb() & 0xFFFFFF, c.rgb & 0xFFFFFF)
        << int(c.color) << " dark " << c.appearance.dark << " contrast "
        << c.appearance.increasedContrast;
  }
  PanelTheme::setOverride(Appearance{true, false});
  EXPECT_EQ(PanelTheme::color(PanelColor::card).rgb() & 0xFFFFFF, 0x232B29u);
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
  for (const char* symbol : {"waveform",
                             "speaker.wave.2",
                             "speaker.wave.2.fill",
                             "speaker.slash.fill",
                             "mic",
                             "mic.fill",
                             "mic.slash.fill",
                             "gearshape",
                             "headphones",
                             "chevron.left",
                             "chevron.right",
                             "checkmark",
                             "checkmark.circle.fill",
                             "circle",
                             "exclamationmark.circle.fill",
                             "xmark",
                             "rectangle.compress.vertical",
                             "rectangle.expand.vertical",
                             "slider.horizontal.3",
                             "app.fill",
                             "laptopcomputer",
                             "display",
                             "cable.connector",
                             "bolt"}) {
    EXPECT_FALSE(velmora::ui::iconFile(symbol).isEmpty()) << symbol;
    const auto [matching, other] = inked(symbol, tint);
    EXPECT_GT(matching, 10) << symbol;
    EXPECT_EQ(other, 0) << symbol;
  }
  // An unknown name still draws something neutral in the tint instead of failing.
  EXPECT_TRUE(velmora::ui::iconFile("no.such.symbol").isEmpty());
  EXPECT_GT(inked("no.such.symbol", tint).first, 10);
}

}  // namespace

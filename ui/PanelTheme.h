// The colour set of the panel and settings views, light and dark, with increased-contrast
// variants for four colours. A colour is looked up when it is drawn, so a change of the desktop's
// appearance shows at the next paint.
#pragma once

#include <QColor>
#include <QObject>
#include <optional>

class QDBusVariant;
class QWidget;

namespace velmora::ui {

enum class PanelColor {
  background,
  card,
  subdued,
  textPrimary,
  accentSurface,
  warning,
  warningSurface,
  danger,
  border,
  textSecondary,
  accent,
  outputBorder,
  // The output card's own colours, the same in every appearance.
  outputSurface,
  outputHighlight,
  outputText,
  outputSecondary,
};

struct Appearance {
  bool dark = false;
  bool increasedContrast = false;
  bool operator==(const Appearance&) const = default;
};

class PanelTheme : public QObject {
  Q_OBJECT
 public:
  static constexpr int width = 420;
  static constexpr int height = 610;
  static constexpr int compactHeight = 510;

  static QColor color(PanelColor color, Appearance appearance);
  // In the appearance the desktop asks for now.
  static QColor color(PanelColor color) { return PanelTheme::color(color, appearance()); }

  // The override when one is set; else dark when the desktop's colour-scheme setting says so
  // (when it publishes one), else when the palette's window colour is dark. Increased contrast
  // has no desktop-wide setting here, so it is off unless overridden.
  static Appearance appearance();
  // Screenshots and tests pick the appearance; nothing restores the desktop's.
  static void setOverride(std::optional<Appearance> appearance);

  // The one watcher of the desktop's setting; `changed` follows any change of appearance.
  static PanelTheme& instance();
 signals:
  void changed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PanelTheme();
  void readPortal();

 private slots:
  // QtDBus delivers bus signals only to slots named by their signature.
  void portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

 private:
  std::optional<bool> portalDark_;
  std::optional<Appearance> override_;
};

// Gives `widget` the panel's palette for the current appearance: window = background, text =
// textPrimary, base = card, button = subdued, highlight = accent.
void applyPanelPalette(QWidget* widget);

// Sets the text colour of one label-like widget to `color`, and keeps it when the appearance
// changes (the panel re-applies every such role).
void setTextRole(QWidget* widget, PanelColor color);
void reapplyTextRoles(QWidget* root);

}  // namespace velmora::ui

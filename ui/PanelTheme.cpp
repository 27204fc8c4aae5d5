#include "ui/PanelTheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QPalette>
#include <QWidget>
#include <array>

namespace velmora::ui {
namespace {

// light, dark, increased-contrast light, increased-contrast dark; 0 = no such variant.
struct Entry {
  PanelColor color;
  std::array<QRgb, 4> values;
};

constexpr std::array<Entry, 12> kAdaptive{{
    {PanelColor::background, {0xF2F3EF, 0x181E1D, 0, 0}},
    {PanelColor::card, {0xFFFFFF, 0x232B29, 0, 0}},
    {PanelColor::subdued, {0xE6EBE6, 0x303B36, 0, 0}},
    {PanelColor::textPrimary, {0x24322D, 0xF0F5F1, 0, 0}},
    {PanelColor::accentSurface, {0xE5F0E9, 0x30483E, 0, 0}},
    {PanelColor::warning, {0x8A4B0B, 0xF2BA6B, 0, 0}},
    {PanelColor::warningSurface, {0xFFF3DF, 0x3E3326, 0, 0}},
    {PanelColor::danger, {0xB32635, 0xFF9C9F, 0, 0}},
    {PanelColor::border, {0xDAE1DB, 0x39483F, 0x687A70, 0x91A69A}},
    {PanelColor::textSecondary, {0x637269, 0xA8B9AD, 0x43584B, 0xD5E2D8}},
    {PanelColor::accent, {0x286B60, 0x91CABA, 0x145448, 0xB8EBD9}},
    {PanelColor::outputBorder, {0x466659, 0x466659, 0xB5DFC9, 0xB5DFC9}},
}};

const char* const kTextRole = "velmoraTextRole";

}  // namespace

QColor PanelTheme::color(PanelColor color, Appearance appearance) {
  switch (color) {
    case PanelColor::outputSurface:
      return QColor::fromRgbF(0.094f, 0.161f, 0.145f);
    case PanelColor::outputHighlight:
      return QColor::fromRgbF(0.141f, 0.231f, 0.208f);
    case PanelColor::outputText:
      return QColor::fromRgbF(0.953f, 0.973f, 0.961f);
    case PanelColor::outputSecondary:
      return QColor::fromRgbF(0.71f, 0.875f, 0.788f);
    default:
      break;
  }
  for (const Entry& entry : kAdaptive) {
    if (entry.color != color) continue;
    const size_t side = appearance.dark ? 1 : 0;
    const QRgb contrast = entry.values[side + 2];
    return QColor(appearance.increasedContrast && contrast != 0 ? contrast : entry.values[side]);
  }
  return QColor(Qt::magenta);  // every colour is in the table; this marks one that is not
}

PanelTheme::PanelTheme() {
  readPortal();
  QDBusConnection::sessionBus().connect("org.freedesktop.portal.Desktop",
                                        "/org/freedesktop/portal/desktop",
                                        "org.freedesktop.portal.Settings", "SettingChanged", this,
                                        SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
  if (qApp) qApp->installEventFilter(this);
}

bool PanelTheme::eventFilter(QObject* watched, QEvent* event) {
  // The palette decides when the desktop publishes no colour scheme.
  if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) emit changed();
  return QObject::eventFilter(watched, event);
}

PanelTheme& PanelTheme::instance() {
  static PanelTheme* theme = new PanelTheme();  // lives as long as the application
  return *theme;
}

void PanelTheme::readPortal() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop",
                                                     "/org/freedesktop/portal/desktop",
                                                     "org.freedesktop.portal.Settings", "Read");
  call << QString("org.freedesktop.appearance") << QString("color-scheme");
  // Once, at start: a desktop without the portal answers at once with an error.
  const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
  QVariant value = reply.arguments().first();
  // Read wraps the value in one or two variants depending on the portal's version.
  while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()) {
    value = value.value<QDBusVariant>().variant();
  }
  bool ok = false;
  const uint scheme = value.toUInt(&ok);
  // 0 = no preference (then the palette decides), 1 = dark, 2 = light.
  if (ok && scheme != 0) portalDark_ = scheme == 1;
}

void PanelTheme::portalSettingChanged(const QString& group, const QString& key,
                                      const QDBusVariant& value) {
  if (group != "org.freedesktop.appearance" || key != "color-scheme") return;
  const uint scheme = value.variant().toUInt();
  portalDark_ = scheme == 0 ? std::nullopt : std::optional<bool>(scheme == 1);
  emit changed();
}

Appearance PanelTheme::appearance() {
  PanelTheme& theme = instance();
  if (theme.override_) return *theme.override_;
  if (theme.portalDark_) return {*theme.portalDark_, false};
  const QColor window = QGuiApplication::palette().color(QPalette::Window);
  return {window.lightness() < 128, false};
}

void PanelTheme::setOverride(std::optional<Appearance> appearance) {
  PanelTheme& theme = instance();
  if (theme.override_ == appearance) return;
  theme.override_ = appearance;
  emit theme.changed();
}

void applyPanelPalette(QWidget* widget) {
  QPalette palette = widget->palette();
  const auto set = [&](QPalette::ColorRole role, PanelColor color) {
    palette.setColor(role, PanelTheme::color(color));
  };
  set(QPalette::Window, PanelColor::background);
  set(QPalette::WindowText, PanelColor::textPrimary);
  set(QPalette::Base, PanelColor::card);
  set(QPalette::AlternateBase, PanelColor::subdued);
  set(QPalette::Text, PanelColor::textPrimary);
  set(QPalette::Button, PanelColor::subdued);
  set(QPalette::ButtonText, PanelColor::textPrimary);
  set(QPalette::Highlight, PanelColor::accent);
  set(QPalette::HighlightedText, PanelColor::card);
  set(QPalette::PlaceholderText, PanelColor::textSecondary);
  set(QPalette::ToolTipBase, PanelColor::card);
  set(QPalette::ToolTipText, PanelColor::textPrimary);
  set(QPalette::Mid, PanelColor::border);
  set(QPalette::Dark, PanelColor::border);
  widget->setPalette(palette);
}

void setTextRole(QWidget* widget, PanelColor color) {
  widget->setProperty(kTextRole, int(color));
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, PanelTheme::color(color));
  palette.setColor(QPalette::Text, PanelTheme::color(color));
  widget->setPalette(palette);
}

void reapplyTextRoles(QWidget* root) {
  for (QWidget* child : root->findChildren<QWidget*>()) {
    const QVariant role = child->property(kTextRole);
    if (role.isValid()) setTextRole(child, PanelColor(role.toInt()));
  }
}

}  // namespace velmora::ui

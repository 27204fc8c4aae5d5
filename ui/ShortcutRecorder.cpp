#include "ui/ShortcutRecorder.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>

#include "settings/KeyPositions.h"

namespace velmora::ui {
namespace {

// Qt on Linux reports the keyboard's own key numbers (xkb keycodes), evdev codes + 8.
constexpr quint32 kEvdevOffset = 8;

QString labelOf(uint32_t key, const QKeyEvent& event) {
  using namespace settings;
  switch (key) {
    case kKeyLeft:
      return QStringLiteral("←");
    case kKeyRight:
      return QStringLiteral("→");
    case kKeyDown:
      return QStringLiteral("↓");
    case kKeyUp:
      return QStringLiteral("↑");
    case kKeySpace:
      return QStringLiteral("Space");
    case kKeyReturn:
      return QStringLiteral("↩");
    case kKeyTab:
      return QStringLiteral("⇥");
    default:
      break;
  }
  // What the key types without modifiers: Qt's key value is that character, upper case.
  const int qtKey = event.key();
  if (qtKey > 0x20 && qtKey < Qt::Key_Escape) {
    const char32_t character = char32_t(qtKey);
    return QString::fromUcs4(&character, 1).toUpper();
  }
  return QStringLiteral("Key %1").arg(key);
}

}  // namespace

ShortcutRecorder::ShortcutRecorder(Change onChange, std::function<void(bool)> pauseHotkeys,
                                   QWidget* parent)
    : QPushButton(parent), onChange_(std::move(onChange)), pauseHotkeys_(std::move(pauseHotkeys)) {
  setAccessibleName(QStringLiteral("录制快捷键"));
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPixelSize(12);
  mono.setWeight(QFont::Medium);
  setFont(mono);
  setMinimumWidth(102);
  connect(this, &QPushButton::clicked, this, &ShortcutRecorder::begin);
  showTitle();
}

ShortcutRecorder::~ShortcutRecorder() { finish(); }

void ShortcutRecorder::setShortcut(const std::optional<settings::Shortcut>& shortcut) {
  current_ = shortcut;
  showTitle();
}

void ShortcutRecorder::showTitle() {
  if (recording_) {
    setText(QStringLiteral("按下组合键…"));
  } else {
    setText(current_ ? QString::fromStdString(current_->display()) : QStringLiteral("点击设置"));
  }
}

void ShortcutRecorder::begin() {
  if (recording_) return;
  recording_ = true;
  qApp->installEventFilter(this);
  if (pauseHotkeys_) pauseHotkeys_(true);
  showTitle();
}

void ShortcutRecorder::finish() {
  if (!recording_) return;
  recording_ = false;
  qApp->removeEventFilter(this);
  if (pauseHotkeys_) pauseHotkeys_(false);
  showTitle();
}

void ShortcutRecorder::hideEvent(QHideEvent* event) {
  finish();
  QPushButton::hideEvent(event);
}

std::optional<settings::Shortcut> ShortcutRecorder::shortcutOf(const QKeyEvent& event) {
  const quint32 native = event.nativeScanCode();
  if (native < kEvdevOffset) return std::nullopt;
  const auto key = settings::storedKeyOfEvdev(uint16_t(native - kEvdevOffset));
  if (!key) return std::nullopt;
  const Qt::KeyboardModifiers held = event.modifiers();
  uint32_t modifiers = 0;
  if (held & Qt::ControlModifier) modifiers |= settings::kCommandKey;
  if (held & Qt::AltModifier) modifiers |= settings::kOptionKey;
  if (held & Qt::ShiftModifier) modifiers |= settings::kShiftKey;
  if (held & Qt::MetaModifier) modifiers |= settings::kControlKey;
  return settings::Shortcut{*key, modifiers, labelOf(*key, event).toStdString()};
}

void ShortcutRecorder::keyPressed(const QKeyEvent& event) {
  const auto shortcut = shortcutOf(event);
  if (shortcut && shortcut->key == settings::kKeyEscape) {
    finish();
    return;
  }
  if (shortcut &&
      (shortcut->key == settings::kKeyDelete || shortcut->key == settings::kKeyForwardDelete)) {
    if (onChange_) onChange_(std::nullopt);
    finish();
    return;
  }
  constexpr uint32_t kNeeded = settings::kCommandKey | settings::kOptionKey | settings::kControlKey;
  // Shift alone would take an ordinary letter from every program: not a combination.
  if (!shortcut || (shortcut->modifiers & kNeeded) == 0) {
    QApplication::beep();
    return;
  }
  if (onChange_) onChange_(shortcut);
  finish();
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event) {
  if (!recording_) return QPushButton::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // Accepted, so no shortcut of the program fires: the press comes as a key press next.
      event->accept();
      return true;
    case QEvent::KeyPress: {
      const auto& key = static_cast<const QKeyEvent&>(*event);
      // A bare modifier is the start of a combination, not a key of its own.
      if (key.key() == Qt::Key_Control || key.key() == Qt::Key_Alt || key.key() == Qt::Key_Shift ||
          key.key() == Qt::Key_Meta || key.key() == Qt::Key_Super_L || key.key() == Qt::Key_Super_R)
        return true;
      keyPressed(key);
      return true;
    }
    case QEvent::KeyRelease:
      return true;
    case QEvent::MouseButtonPress:
      finish();
      return false;  // the click goes on to what it was meant for
    default:
      return QPushButton::eventFilter(watched, event);
  }
}

}  // namespace velmora::ui

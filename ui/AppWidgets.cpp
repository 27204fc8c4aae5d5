#include "ui/AppWidgets.h"

#include <QHBoxLayout>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/ModelBridge.h"
#include "ui/PanelIcons.h"
#include "ui/PanelPercentage.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"
#include "ui/VolumeSlider.h"

namespace velmora::ui {
namespace {

settings::AppLevel levelOf(const model::ModelState& state, const std::string& appID) {
  const auto found = state.preferences.apps.find(appID);
  return found != state.preferences.apps.end() ? found->second : settings::AppLevel{};
}

}  // namespace

QPixmap appIcon(const audio::AudioApp& app, bool ownIcon, int size, qreal ratio) {
  if (ownIcon && app.icon) {
    // Loading an image file is slow next to a publish; each file is read once.
    static QHash<QString, QIcon> loaded;
    const QString key = qstr(app.icon->path) + '|' + qstr(app.icon->resourceName);
    auto found = loaded.find(key);
    if (found == loaded.end()) {
      QIcon icon;
      if (!app.icon->path.empty()) icon = QIcon(qstr(app.icon->path));
      if (icon.isNull() && !app.icon->resourceName.empty()) {
        icon = QIcon::fromTheme(qstr(app.icon->resourceName));
      }
      found = loaded.insert(key, icon);
    }
    if (!found->isNull()) {
      QPixmap pixmap = found->pixmap(QSize(size, size), ratio);  // not const: returned by moving
      if (!pixmap.isNull()) return pixmap;
    }
  }
  return panelIcon("app.fill", PanelTheme::color(PanelColor::textSecondary), size, ratio);
}

// ---- AppVolumeControl

AppTitle makeAppTitle(const QString& name, int iconSize, QWidget* parent) {
  AppTitle title{new QHBoxLayout(), new QLabel(parent), plainLabel(name, parent),
                 plainLabel({}, parent)};
  title.layout->setSpacing(8);
  title.icon->setFixedSize(iconSize, iconSize);
  title.layout->addWidget(title.icon);
  title.name->setMinimumWidth(40);
  setTextRole(title.caption, PanelColor::textSecondary);
  auto* lines = new QVBoxLayout();
  lines->setSpacing(0);
  lines->addWidget(title.name);
  lines->addWidget(title.caption);
  title.layout->addLayout(lines, 1);
  return title;
}

AppVolumeControl::AppVolumeControl(ModelBridge& bridge, std::string appID, const QString& name,
                                   QWidget* parent)
    : QWidget(parent), bridge_(bridge), appID_(std::move(appID)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  slider_ = new VolumeSlider(this);
  slider_->setAccessibleName(name + " 音量");
  percentage_ = new PanelPercentage(this);
  layout->addWidget(slider_, 1);
  layout->addWidget(percentage_);
  connect(slider_, &VolumeSlider::volumeChanged, this, [this](float value) {
    percentage_->setValue(value);
    bridge_.model().setAppVolume(appID_, value);
  });
  refresh();
}

void AppVolumeControl::refresh() {
  const model::ModelState& state = bridge_.state();
  const float volume = levelOf(state, appID_).volume;
  slider_->showModelValue(volume);
  if (!slider_->isSliderDown()) percentage_->setValue(volume);
  slider_->setToolTip(state.preferences.processingEnabled
                          ? QStringLiteral("调整应用音量")
                          : QStringLiteral("调整时开启应用音频处理"));
}

// ---- AppMuteButton

AppMuteButton::AppMuteButton(ModelBridge& bridge, std::string appID, QWidget* parent)
    : PanelIconButton("speaker.wave.2.fill", 28, parent),
      bridge_(bridge),
      appID_(std::move(appID)) {
  setCheckable(true);
  connect(this, &QAbstractButton::toggled, this, [this](bool muted) {
    if (muted != levelOf(bridge_.state(), appID_).muted) bridge_.model().toggleAppMute(appID_);
  });
  refresh();
}

void AppMuteButton::refresh() {
  const model::ModelState& state = bridge_.state();
  const bool muted = levelOf(state, appID_).muted;
  {
    const QSignalBlocker blocker(this);
    setChecked(muted);
  }
  setActive(muted);
  setSymbol(muted ? "speaker.slash.fill" : "speaker.wave.2.fill");
  const QString word = muted ? QStringLiteral("取消静音") : QStringLiteral("静音");
  setAccessibleName(word);
  setToolTip(state.preferences.processingEnabled ? word : "开启应用音频处理并" + word);
}

// ---- AppSoloButton

AppSoloButton::AppSoloButton(ModelBridge& bridge, std::string appID, const QString& name,
                             QWidget* parent)
    : PanelIconButton("headphones", 28, parent), bridge_(bridge), appID_(std::move(appID)) {
  setCheckable(true);
  setAccessibleName(name + " 独听");
  connect(this, &QAbstractButton::toggled, this, [this](bool soloed) {
    if (soloed != (bridge_.state().soloAppID == appID_)) bridge_.model().toggleSolo(appID_);
  });
  refresh();
}

void AppSoloButton::refresh() {
  const model::ModelState& state = bridge_.state();
  const bool soloed = state.soloAppID == appID_;
  {
    const QSignalBlocker blocker(this);
    setChecked(soloed);
  }
  setActive(soloed);
  setOnOffDescription(soloed);
  if (!state.preferences.processingEnabled)
    setToolTip(QStringLiteral("开启应用音频处理并独听此应用"));
  else if (soloed)
    setToolTip(QStringLiteral("结束独听"));
  else
    setToolTip(QStringLiteral("独听此应用，暂时静音其他应用"));
}

// ---- AppOfflineNotice

AppOfflineNotice::AppOfflineNotice(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setContentsMargins(8, 3, 8, 3);
  setTextRole(this, PanelColor::warning);
}

void AppOfflineNotice::setFollowsSystem(bool followsSystem) {
  setText(followsSystem ? QStringLiteral("指定输出离线 · 已设跟随系统")
                        : QStringLiteral("指定输出离线 · 已设静音"));
}

void AppOfflineNotice::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(PanelTheme::color(PanelColor::warningSurface));
    painter.drawRoundedRect(QRectF(rect()), 6, 6);
  }
  QLabel::paintEvent(event);
}

}  // namespace velmora::ui

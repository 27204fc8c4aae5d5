#include "ui/AppDetailView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "model/AppModel.h"
#include "ui/AppWidgets.h"
#include "ui/ModelBridge.h"
#include "ui/PanelIcons.h"
#include "ui/PanelTheme.h"
#include "ui/PlainText.h"

namespace velmora::ui {
namespace {

const audio::AudioApp* findApp(const model::ModelState& state, const std::string& appID) {
  for (const audio::AudioApp& app : state.apps) {
    if (app.id == appID) return &app;
  }
  return nullptr;
}

}  // namespace

// ---- RouteChoice

RouteChoice::RouteChoice(QWidget* parent) : QRadioButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RouteChoice::present(const QString& name, bool offline) {
  offline_ = offline;
  setText(name);
  setAccessibleName(offline ? name + "，离线" : name);
  setToolTip(plainToolTip(name));
  update();
}

QSize RouteChoice::sizeHint() const { return {200, qMax(30, fontMetrics().height() + 12)}; }

void RouteChoice::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (underMouse() || hasFocus()) {
    painter.setPen(hasFocus() ? QPen(PanelTheme::color(PanelColor::accent), 1.5) : Qt::NoPen);
    painter.setBrush(PanelTheme::color(PanelColor::subdued));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 7, 7);
  }
  const int mark = 16;
  const QColor markColor =
      PanelTheme::color(isChecked() ? PanelColor::accent : PanelColor::textSecondary);
  painter.drawPixmap(8, (height() - mark) / 2,
                     panelIcon(isChecked() ? "checkmark.circle.fill" : "circle", markColor, mark,
                               devicePixelRatioF()));
  int right = width() - 8;
  if (offline_) {
    const QString tag = QStringLiteral("离线");
    const int w = fontMetrics().horizontalAdvance(tag);
    painter.setPen(PanelTheme::color(PanelColor::warning));
    painter.drawText(QRect(right - w, 0, w, height()), Qt::AlignVCenter | Qt::AlignRight, tag);
    right -= w + 8;
  }
  const int left = 8 + mark + 8;
  painter.setPen(PanelTheme::color(PanelColor::textPrimary));
  painter.drawText(QRect(left, 0, right - left, height()), Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(text(), Qt::ElideRight, qMax(0, right - left)));
}

// ---- AppDetailView

AppDetailView::AppDetailView(ModelBridge& bridge, std::string appID,
                             std::function<void()> manageDevices, std::function<void()> openMulti,
                             QWidget* parent)
    : QWidget(parent), bridge_(bridge), appID_(std::move(appID)) {
  const audio::AudioApp* app = findApp(bridge.state(), appID_);
  shownName_ = app ? app->name : appID_;
  const QString name = qstr(shownName_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 8, 12, 12);
  layout->setSpacing(10);

  // 1. Who, how it is processed, and its level.
  const AppTitle title = makeAppTitle(name, 32, this);
  icon_ = title.icon;
  name_ = title.name;
  caption_ = title.caption;
  QFont bold = name_->font();
  bold.setBold(true);
  name_->setFont(bold);
  caption_->setWordWrap(true);
  layout->addLayout(title.layout);
  auto* controls = new QHBoxLayout();
  controls->setSpacing(4);
  volume_ = new AppVolumeControl(bridge, appID_, name, this);
  mute_ = new AppMuteButton(bridge, appID_, this);
  solo_ = new AppSoloButton(bridge, appID_, name, this);
  controls->addWidget(volume_, 1);
  controls->addWidget(mute_);
  controls->addWidget(solo_);
  layout->addLayout(controls);

  // 2. An application that is gone keeps its settings for its return.
  unavailable_ =
      plainLabel(QStringLiteral("应用当前不可用 · 下次出现时可使用已保存的配置。"), this);
  unavailable_->setWordWrap(true);
  setTextRole(unavailable_, PanelColor::warning);
  layout->addWidget(unavailable_);

  // 3. Processing failed.
  errorBox_ = new QWidget(this);
  auto* errorLayout = new QVBoxLayout(errorBox_);
  errorLayout->setContentsMargins(0, 0, 0, 0);
  errorLayout->setSpacing(6);
  errorText_ = plainLabel({}, errorBox_);
  errorText_->setWordWrap(true);
  errorText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  setTextRole(errorText_, PanelColor::danger);
  errorLayout->addWidget(errorText_);
  auto* errorButtons = new QHBoxLayout();
  auto* retry = new QPushButton(QStringLiteral("重试处理连接"), errorBox_);
  permission_ = new QPushButton(QStringLiteral("检查音频权限"), errorBox_);
  errorButtons->addWidget(retry);
  errorButtons->addWidget(permission_);
  errorButtons->addStretch(1);
  errorLayout->addLayout(errorButtons);
  layout->addWidget(errorBox_);
  connect(retry, &QPushButton::clicked, this, [this] { bridge_.model().retry(); });
  connect(permission_, &QPushButton::clicked, this,
          [this] { bridge_.model().openAudioPermission(); });

  // 4. Where its sound goes.
  choicesLayout_ = new QVBoxLayout();
  choicesLayout_->setSpacing(0);
  systemChoice_ = new RouteChoice(this);
  connect(systemChoice_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) choose({});
  });
  choicesLayout_->addWidget(systemChoice_);
  layout->addLayout(choicesLayout_);

  // 5. The chosen target and, while it is absent, what that means.
  chosen_ = plainLabel({}, this);
  chosen_->setWordWrap(true);
  setTextRole(chosen_, PanelColor::textSecondary);
  layout->addWidget(chosen_);
  savedNote_ =
      plainLabel(QStringLiteral("此处保存应用路由。连接设备后，该应用才可使用指定输出。"), this);
  savedNote_->setWordWrap(true);
  setTextRole(savedNote_, PanelColor::warning);
  layout->addWidget(savedNote_);
  bluetooth_ = new QPushButton(QStringLiteral("打开蓝牙设置"), this);
  connect(bluetooth_, &QPushButton::clicked, this,
          [this] { bridge_.model().openSettingsPage(model::AppModel::SettingsPage::bluetooth); });
  layout->addWidget(bluetooth_, 0, Qt::AlignLeft);

  // 6. What to do while the chosen output is offline.
  fallback_ = new QCheckBox(QStringLiteral("指定输出离线时跟随系统"), this);
  connect(fallback_, &QCheckBox::toggled, this, [this](bool followSystem) {
    fallback_->setAccessibleDescription(followSystem ? "已开启" : "已关闭");
    bridge_.model().setAppFallback(appID_, followSystem);
  });
  layout->addWidget(fallback_);

  // 7. The settings window's device pages.
  auto* manage = new QHBoxLayout();
  auto* devices = new QPushButton(QStringLiteral("管理设备"), this);
  auto* multi = new QPushButton(QStringLiteral("管理多输出"), this);
  connect(devices, &QPushButton::clicked, this, [manageDevices = std::move(manageDevices)] {
    if (manageDevices) manageDevices();
  });
  connect(multi, &QPushButton::clicked, this, [openMulti = std::move(openMulti)] {
    if (openMulti) openMulti();
  });
  manage->addWidget(devices);
  manage->addWidget(multi);
  manage->addStretch(1);
  layout->addLayout(manage);
  layout->addStretch(1);

  connect(&bridge, &ModelBridge::changed, this, &AppDetailView::refresh);
  refresh();
}

void AppDetailView::choose(const std::string& key) {
  const auto& apps = bridge_.state().preferences.apps;
  const auto level = apps.find(appID_);
  const std::optional<std::string> stored =
      level != apps.end() ? level->second.outputDeviceID : std::nullopt;
  const std::optional<std::string> wanted =
      key.empty() ? std::nullopt : std::optional<std::string>(key);
  if (stored != wanted) bridge_.model().setAppOutput(appID_, wanted);
}

void AppDetailView::refresh() {
  const model::ModelState& state = bridge_.state();
  model::AppModel& model = bridge_.model();
  const audio::AudioApp* app = findApp(state, appID_);
  const bool showOwnIcon =
      !state.preferences.advanced || state.preferences.advanced->interface.showAppIcons;
  icon_->setPixmap(app ? appIcon(*app, showOwnIcon, 32, devicePixelRatioF())
                       : appIcon(audio::AudioApp{}, false, 32, devicePixelRatioF()));
  const model::AppAudioPresentation presentation = model.appPresentation(appID_);
  caption_->setText(qstr(presentation.statusText));
  volume_->refresh();
  mute_->refresh();
  solo_->refresh();

  unavailable_->setVisible(app == nullptr);
  errorBox_->setVisible(presentation.errorText.has_value());
  if (presentation.errorText) errorText_->setText(qstr(*presentation.errorText));
  permission_->setEnabled(
      model.canOpenSettingsPage(model::AppModel::SettingsPage::audioCapturePermission));

  const auto levelFound = state.preferences.apps.find(appID_);
  const settings::AppLevel level =
      levelFound != state.preferences.apps.end() ? levelFound->second : settings::AppLevel{};
  const bool multi = state.preferences.advanced && state.preferences.advanced->multiOutput.enabled;
  systemChoice_->present(
      multi ? QStringLiteral("多输出组合（默认）") : QStringLiteral("跟随系统输出"), false);

  const std::vector<settings::DeviceBookmark> outputs = model.outputBookmarks();
  std::vector<RouteChoice*> wanted;
  std::optional<settings::DeviceBookmark> chosenBookmark;
  for (const settings::DeviceBookmark& bookmark : outputs) {
    RouteChoice* choice = nullptr;
    for (RouteChoice* existing : choices_) {
      if (existing->key() == bookmark.id) choice = existing;
    }
    if (!choice) {
      choice = new RouteChoice(this);
      choice->setKey(bookmark.id);
      connect(choice, &QRadioButton::toggled, this, [this, choice](bool on) {
        if (on) choose(choice->key());
      });
    }
    choice->present(qstr(bookmark.displayName()),
                    !model.presentDevice(bookmark, model::AudioDirection::output));
    wanted.push_back(choice);
    if (level.outputDeviceID == bookmark.id) chosenBookmark = bookmark;
  }
  for (RouteChoice* choice : choices_) {
    if (std::find(wanted.begin(), wanted.end(), choice) != wanted.end()) continue;
    choicesLayout_->removeWidget(choice);
    choice->hide();
    choice->deleteLater();
  }
  if (wanted != choices_) {
    for (RouteChoice* choice : choices_) choicesLayout_->removeWidget(choice);
    for (RouteChoice* choice : wanted) {
      choicesLayout_->addWidget(choice);
      choice->show();
    }
    choices_ = wanted;
  }
  // Radio buttons of one parent exclude each other; the model's choice is set without a signal.
  RouteChoice* checked = systemChoice_;
  if (level.outputDeviceID) {
    checked = nullptr;
    for (RouteChoice* choice : choices_) {
      if (choice->key() == *level.outputDeviceID) checked = choice;
    }
  }
  for (RouteChoice* choice : choices_) {
    const QSignalBlocker blocker(choice);
    choice->setAutoExclusive(false);
    choice->setChecked(choice == checked);
    choice->setAutoExclusive(true);
  }
  {
    const QSignalBlocker blocker(systemChoice_);
    systemChoice_->setAutoExclusive(false);
    systemChoice_->setChecked(systemChoice_ == checked);
    systemChoice_->setAutoExclusive(true);
  }

  const model::AppRoutePresentation route = model.appRoutePresentation(appID_);
  chosen_->setText("该应用输出设备 · 已设为 " + qstr(route.routeTitle));
  const bool chosenAbsent =
      level.outputDeviceID &&
      (!chosenBookmark || !model.presentDevice(*chosenBookmark, model::AudioDirection::output));
  savedNote_->setVisible(chosenAbsent);
  bluetooth_->setVisible(chosenAbsent && chosenBookmark && chosenBookmark->bluetoothAddress);
  bluetooth_->setEnabled(model.canOpenSettingsPage(model::AppModel::SettingsPage::bluetooth));

  const bool followSystem = level.followSystemWhenOffline.value_or(false);
  {
    const QSignalBlocker blocker(fallback_);
    fallback_->setChecked(followSystem);
  }
  fallback_->setAccessibleDescription(followSystem ? "已开启" : "已关闭");
}

}  // namespace velmora::ui
